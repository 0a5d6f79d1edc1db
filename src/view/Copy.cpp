#include "view/Copy.h"

#include "core/Handles.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "resources/resource.h"
#include "ui/Settings.h"
#include "view/Paint.h"
#include "view/ViewState.h"

#include <cstring>

namespace view {

namespace {

void AppendRow(const model::InstanceRecord& record, core::WideString& value, std::wstring& text)
{
    wchar_t id[16];
    FormatRowId(record.id, ui::settings.hexIds != 0, id);
    model::ValueText(record, value);
    text.append(id).append(L"\t").append(record.name).append(L"\t").append(value.Chars());
}

// The counter's name and the display format's label, as the menus show them.
std::wstring CounterLine()
{
    const perf::CounterSelection& shown = viewState.counter;
    const wchar_t* name = shown.counterIndex ? perf::CounterName(shown.counterIndex) : nullptr;
    uint32_t format = shown.displayType == perf::DISPLAY_NATURAL ? shown.counterType : shown.displayType;
    return (name ? name : core::ProgramText(IDS_UNNAMED_COUNTER)) + L"\t" +
           core::ProgramText(perf::DisplayTypeLabel(format, shown.counterIndex));
}

// The clipboard, open while the scope lasts.
struct OpenClipboardScope {
    bool open;
    explicit OpenClipboardScope(HWND window) : open(OpenClipboard(window) != FALSE) {}
    ~OpenClipboardScope()
    {
        if (open)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// What failed and why; no operation when nothing did.
struct ClipboardFailure {
    unsigned operation = 0;
    DWORD code = 0;
};

ClipboardFailure FillClipboard(HWND window, const std::wstring& text)
{
    OpenClipboardScope clipboard(window);
    if (!clipboard.open)
        return {IDS_OP_OPEN_CLIPBOARD, GetLastError()};
    if (!EmptyClipboard())
        return {IDS_OP_EMPTY_CLIPBOARD, GetLastError()};
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    core::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    void* chars = block ? GlobalLock(block.Get()) : nullptr;
    if (!chars)
        return {IDS_OP_CLIPBOARD_MEMORY, GetLastError()};
    std::memcpy(chars, text.c_str(), bytes);
    GlobalUnlock(block.Get());
    if (!SetClipboardData(CF_UNICODETEXT, block.Get()))
        return {IDS_OP_SET_CLIPBOARD_DATA, GetLastError()};
    block.Release(); // the clipboard owns it now
    return {};
}

// The clipboard is closed again before a failure box is shown, so that other
// programs can use it while the box waits.
void PutOnClipboard(HWND window, const std::wstring& text)
{
    ClipboardFailure failure = FillClipboard(window, text);
    if (failure.operation)
        core::ReportWin32Failure(window, core::TextId(failure.operation), failure.code, MB_ICONEXCLAMATION);
}

} // namespace

std::wstring SelectedRowText()
{
    std::wstring text;
    core::WideString value;
    for (const model::InstanceRecord* record : model::modelState.displayList) {
        if (record->Has(model::selected)) {
            AppendRow(*record, value, text);
            break;
        }
    }
    return text;
}

std::wstring AllRowsText()
{
    std::wstring text = CounterLine();
    core::WideString value;
    for (const model::InstanceRecord* record : model::modelState.displayList) {
        text.append(L"\r\n");
        AppendRow(*record, value, text);
    }
    return text;
}

void CopySelectedRow(HWND window)
{
    std::wstring text = SelectedRowText();
    if (text.empty())
        MessageBeep(MB_OK);
    else
        PutOnClipboard(window, text);
}

void CopyAllRows(HWND window)
{
    PutOnClipboard(window, AllRowsText());
}

} // namespace view
