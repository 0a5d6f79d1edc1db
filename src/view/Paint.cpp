#include "view/Paint.h"

#include "core/Handles.h"
#include "core/WideString.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/DisplayResources.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace view {

namespace {

using model::InstanceRecord;

HBRUSH SystemBrush(int color)
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(color + 1));
}

// The rows drawn: from the top row to the last one the client area shows,
// even in part.
struct VisibleRows {
    int32_t first;
    int32_t end;
};

VisibleRows RowsIn(const RECT& client, const PaintInput& input)
{
    int64_t first = std::max<int32_t>(input.topRow, 0);
    int64_t end = std::min<int64_t>(input.rowCount, client.bottom / std::max(1, input.rowHeight) + first + 1);
    return {static_cast<int32_t>(first), static_cast<int32_t>(std::max(end, first))};
}

class RowPainter {
public:
    RowPainter(HDC dc, const RECT& client, const PaintInput& input, ColumnWidths& columns)
        : dc(dc), client(client), in(input), columns(columns), rows(RowsIn(client, input)),
          h(std::max(1, input.rowHeight)), g(input.glyphWidth), frame(input.frameWidth)
    {
    }

    void Paint();

private:
    const InstanceRecord& Row(int32_t i) const { return *in.rows[i]; }
    int Top(int32_t i) const { return (i - rows.first) * h; }
    int Indent(const InstanceRecord& r) const { return static_cast<int>(r.depth) * h; }
    RECT Band(int32_t i, int left, int right) const { return {left, Top(i), right, Top(i) + h}; }
    void TextColourFor(const InstanceRecord& r) const
    {
        SetTextColor(dc, GetSysColor(r.Has(model::selected) ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    }

    void FindRange();
    void PaintSelection() const;
    void PaintMarks() const;
    void PaintIds();
    void PaintNames(int x2);
    void PaintBars(int x3) const;
    void PaintValueTexts(int x3);
    void PaintFocus() const;

    HDC dc;
    const RECT& client;
    const PaintInput& in;
    ColumnWidths& columns;
    VisibleRows rows;
    int h, g, frame;
    double lo = 0, hi = 0;
    core::WideString valueText; // one buffer for every row's text
};

// Over every listed row, so that the bars keep their scale while scrolling.
void RowPainter::FindRange()
{
    for (uint32_t i = 0; i < in.rowCount; ++i) {
        const InstanceRecord& r = *in.rows[i];
        hi = std::max({hi, r.value, r.previousValue});
        lo = std::min({lo, r.value, r.previousValue});
    }
}

void RowPainter::PaintSelection() const
{
    for (int32_t i = rows.first; i < rows.end; ++i) {
        if (Row(i).Has(model::selected)) {
            RECT band = Band(i, Indent(Row(i)) + g, client.right);
            FillRect(dc, &band, SystemBrush(COLOR_HIGHLIGHT));
        }
    }
}

void RowPainter::PaintMarks() const
{
    core::SelectionGuard glyphs(dc, in.glyphFont);
    for (int32_t i = rows.first; i < rows.end; ++i) {
        const InstanceRecord& r = Row(i);
        const wchar_t* mark = r.threadCount == 0 ? L"i" : r.Has(model::expanded) ? L"6" : L"4";
        DrawTextAt(dc, Indent(r), Top(i), mark, nullptr);
    }
}

void RowPainter::PaintIds()
{
    wchar_t id[16];
    for (int32_t i = rows.first; i < rows.end; ++i) {
        const InstanceRecord& r = Row(i);
        FormatRowId(r.id, in.hexIds, id);
        TextColourFor(r);
        SIZE size = {};
        DrawTextAt(dc, Indent(r) + g, Top(i), id, &size);
        columns.id = std::max<int32_t>(columns.id, size.cx);
    }
}

void RowPainter::PaintNames(int x2)
{
    for (int32_t i = rows.first; i < rows.end; ++i) {
        const InstanceRecord& r = Row(i);
        TextColourFor(r);
        SIZE size = {};
        DrawTextAt(dc, Indent(r) + x2, Top(i), r.name, &size);
        columns.name = std::max<int32_t>(columns.name, Indent(r) + size.cx);
    }
}

void RowPainter::PaintBars(int x3) const
{
    if (!(hi > lo))
        return;
    double scale = (client.right - x3) / (hi - lo);
    for (int32_t i = rows.first; i < rows.end; ++i) {
        const InstanceRecord& r = Row(i);
        int a = static_cast<int>((r.value - lo) * scale + 0.5);
        int b = static_cast<int>((r.previousValue - lo) * scale + 0.5);
        HBRUSH base = r.Has(model::isThread) ? in.threadBrush : in.processBrush;
        RECT baseBar = Band(i, x3, x3 + std::min(a, b));
        FillRect(dc, &baseBar, base);
        if (a != b) {
            RECT change = Band(i, x3 + std::min(a, b), x3 + std::max(a, b));
            FillRect(dc, &change, a < b ? in.decreaseBrush : in.increaseBrush);
        }
    }
}

void RowPainter::PaintValueTexts(int x3)
{
    for (int32_t i = rows.first; i < rows.end; ++i) {
        const InstanceRecord& r = Row(i);
        TextColourFor(r);
        if (in.highContrast)
            SetBkColor(dc, GetSysColor(r.Has(model::selected) ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SIZE size = {};
        model::ValueText(r, valueText);
        DrawTextAt(dc, x3, Top(i), valueText.Chars(), &size);
        columns.valueText = std::max<int32_t>(columns.valueText, size.cx);
    }
}

void RowPainter::PaintFocus() const
{
    for (int32_t i = rows.first; i < rows.end; ++i) {
        if (Row(i).Has(model::focused)) {
            RECT band = Band(i, Indent(Row(i)) + g, client.right);
            DrawFocusRect(dc, &band);
            return;
        }
    }
}

void RowPainter::Paint()
{
    FindRange();
    PaintSelection();
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    PaintMarks();
    PaintIds();
    int x2 = g + frame + columns.id;
    PaintNames(x2);
    int x3 = x2 + frame + columns.name;
    PaintBars(x3);
    if (in.highContrast)
        SetBkMode(dc, OPAQUE);
    PaintValueTexts(x3);
    SetBkMode(dc, TRANSPARENT);
    PaintFocus();
}

} // namespace

void FormatRowId(uint32_t id, bool hex, wchar_t (&text)[16])
{
    swprintf(text, std::size(text), hex ? L"%x" : L"%d", static_cast<int>(id));
}

void DrawTextAt(HDC dc, int x, int y, const wchar_t* text, SIZE* extent)
{
    if (!text)
        text = L"<null>";
    int length = static_cast<int>(wcslen(text));
    TextOutW(dc, x, y, text, length);
    if (extent)
        GetTextExtentPoint32W(dc, text, length, extent);
}

void PaintContent(HDC dc, const RECT& client, const PaintInput& input, ColumnWidths& columns)
{
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    if (!input.rows || input.rowCount == 0) {
        core::WideString status;
        status.LoadResourceString(input.statusMessageId);
        DrawTextAt(dc, 0, 0, status.Chars(), nullptr);
        return;
    }
    RowPainter(dc, client, input, columns).Paint();
}

unsigned StatusMessage()
{
    // A query that did not succeed says why; after one that did, what the
    // last build of the records missed (the threads are built last).
    unsigned status = perf::perfData.statusMessageId;
    if (status != IDS_STATUS_PROCESSING)
        return status;
    for (const model::RecordArray* records : {&model::modelState.processRecords, &model::modelState.threadRecords}) {
        if (records->status)
            status = records->status;
    }
    return status;
}

PaintInput CurrentPaintInput()
{
    const DisplayResources& d = display;
    PaintInput input;
    input.rows = model::modelState.displayList.data();
    input.rowCount = model::modelState.displayCount();
    input.topRow = viewState.topRow;
    input.statusMessageId = StatusMessage();
    input.hexIds = ui::settings.hexIds != 0;
    input.glyphFont = d.glyphFont.Get();
    input.processBrush = d.processBrush.Get();
    input.threadBrush = d.threadBrush.Get();
    input.increaseBrush = d.increaseBrush.Get();
    input.decreaseBrush = d.decreaseBrush.Get();
    input.rowHeight = RowHeight();
    input.glyphWidth = d.glyphWidth;
    input.highContrast = d.highContrast;
    input.frameWidth = d.frameWidth;
    return input;
}

namespace {

// The canvas for a client area of that size: the last paint's while the size
// is the same; null when it cannot be made.
HDC PaintCanvas(HDC screen, int width, int height)
{
    DisplayResources& d = display;
    if (!d.canvasDc)
        d.canvasDc.Reset(CreateCompatibleDC(screen));
    if (!d.canvasBitmap || d.canvasSize.cx != width || d.canvasSize.cy != height) {
        d.canvasBitmap.Reset(CreateCompatibleBitmap(screen, width, height));
        d.canvasSize = d.canvasBitmap ? SIZE{width, height} : SIZE{};
    }
    return d.canvasDc && d.canvasBitmap ? d.canvasDc.Get() : nullptr;
}

} // namespace

void PaintView(HWND window)
{
    core::PaintDc paint(window);
    RECT client = {};
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    HDC canvas = PaintCanvas(paint.Get(), client.right, client.bottom);
    if (!canvas)
        return;
    core::SelectionGuard selected(canvas, display.canvasBitmap.Get());
    FillRect(canvas, &client, SystemBrush(COLOR_WINDOW));
    {
        core::SelectionGuard font(canvas, display.viewFont.Get());
        PaintContent(canvas, client, CurrentPaintInput(), viewState.columns);
    }
    const RECT& dirty = paint.Paint().rcPaint;
    BitBlt(paint.Get(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, canvas, dirty.left,
           dirty.top, SRCCOPY);
}

} // namespace view
