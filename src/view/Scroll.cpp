#include "view/Scroll.h"

#include "model/DisplayList.h"
#include "view/Accessible.h"
#include "view/ViewState.h"

#include <algorithm>
#include <utility>

namespace view {

static_assert(SELECT == model::selected && FOCUS == model::focused, "the marks are the records' own bits");

namespace {

using model::InstanceRecord;

void InvalidateRow(HWND window, int32_t row, BOOL erase)
{
    RECT band = RowBand(window, row);
    InvalidateRect(window, &band, erase);
}

} // namespace

void ScrollIntoView(HWND window, int32_t row)
{
    int32_t n = PageRows(window);
    if (row < viewState.topRow)
        ScrollToRow(window, row);
    else if (row >= viewState.topRow + n)
        ScrollToRow(window, row - n + 1);
}

BOOL SetVerticalScroll(HWND window, UINT mask, int minimum, int maximum, unsigned page, int position, BOOL redraw)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    info.nMin = minimum;
    info.nMax = maximum;
    info.nPage = page;
    info.nPos = position;
    return SetScrollInfo(window, SB_VERT, &info, redraw);
}

int32_t RowCount()
{
    return static_cast<int32_t>(model::modelState.displayCount());
}

int32_t ClampTopRow(const SCROLLINFO& info, int32_t row)
{
    int32_t largest = std::max(info.nMin, info.nMax - static_cast<int32_t>(info.nPage));
    return std::clamp(row, info.nMin, largest);
}

int32_t PageRows(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return client.bottom / RowHeight();
}

int32_t RowAt(int y)
{
    return y / RowHeight() + viewState.topRow;
}

RECT RowBand(HWND window, int32_t row)
{
    RECT client = {};
    GetClientRect(window, &client);
    int top = (row - viewState.topRow) * RowHeight();
    return {0, top, client.right, top + RowHeight()};
}

void ScrollToRow(HWND window, int32_t row)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(window, SB_VERT, &info);
    int32_t top = ClampTopRow(info, row);
    // Setting the bar redraws it, which costs more than the rest of a refresh.
    if (info.nPos != top)
        SetVerticalScroll(window, SIF_POS, 0, 0, 0, top, TRUE);
    int32_t old = std::exchange(viewState.topRow, top);
    if (old != top)
        ScrollWindow(window, 0, (old - top) * RowHeight(), nullptr, nullptr);
}

void UpdateScrollRange(HWND window)
{
    ScrollRange range = {RowCount(), PageRows(window)};
    if (range.maximum != viewState.scrollRange.maximum || range.page != viewState.scrollRange.page) {
        SetVerticalScroll(window, SIF_RANGE | SIF_PAGE, 0, range.maximum, range.page, 0, TRUE);
        viewState.scrollRange = range;
    }
    ScrollToRow(window, viewState.topRow);
}

void SelectRow(HWND window, int32_t row, uint32_t flags)
{
    const model::ModelState& s = model::modelState;
    flags &= SELECT | FOCUS;
    if (row < 0 || row >= RowCount() || flags == 0)
        return;
    // The rows that lose a mark are drawn again with their background.
    for (int32_t i = 0; i < RowCount(); ++i) {
        if (i != row && s.displayList[i]->Has(flags))
            InvalidateRow(window, i, TRUE);
    }
    // A reader announces a row when it gains a mark, not each time it is chosen again.
    bool gainsFocus = (flags & FOCUS) && s.focusRow != row;
    bool gainsSelection = (flags & SELECT) && !s.displayList[row]->Has(model::selected);
    model::MarkRow(model::modelState, row, flags);
    InvalidateRow(window, row, FALSE);
    ScrollIntoView(window, row);
    UpdateWindow(window);
    if (gainsFocus)
        NotifyRowEvent(window, EVENT_OBJECT_FOCUS, row);
    if (gainsSelection)
        NotifyRowEvent(window, EVENT_OBJECT_SELECTION, row);
}

void ToggleThreads(HWND window, int32_t row, ExpandMode mode)
{
    if (row < 0 || row >= RowCount())
        return;
    const InstanceRecord& r = *model::modelState.displayList[row];
    bool expanded = r.Has(model::expanded);
    if (mode == TOGGLE_ROW)
        mode = expanded ? COLLAPSE_ROW : EXPAND_ROW;
    if ((mode == EXPAND_ROW) == expanded)
        return;
    UpdateWindow(window);
    int32_t before = RowCount();
    model::SetExpanded(model::modelState, row, !expanded);
    model::BuildDisplayList(viewState.options);
    // The rows below move by as many rows as were listed or unlisted, no
    // further than the client area.
    RECT below = {};
    GetClientRect(window, &below);
    below.top = (row - viewState.topRow + 1) * RowHeight();
    int64_t moved = int64_t{RowCount() - before} * RowHeight();
    int dy = static_cast<int>(std::clamp<int64_t>(moved, -below.bottom, below.bottom));
    if (below.top < below.bottom && dy != 0)
        ScrollWindow(window, 0, dy, &below, &below);
    InvalidateRow(window, row, TRUE);
    UpdateScrollRange(window);
    UpdateWindow(window);
    NotifyRowEvent(window, EVENT_OBJECT_STATECHANGE, row);
    NotifyListChanged(window);
}

void SetAllExpanded(HWND window, ExpandMode mode)
{
    model::SetAllExpanded(model::modelState, mode == EXPAND_ROW);
    RelistRows(window);
}

void RelistRows(HWND window)
{
    model::BuildDisplayList(viewState.options);
    UpdateScrollRange(window);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    NotifyListChanged(window);
}

namespace {

// The thumb's row: the message's own while the range fits in its 16 bits,
// the bar's 32-bit track position beyond that.
int32_t ThumbPosition(HWND window, unsigned messageRow)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_TRACKPOS;
    GetScrollInfo(window, SB_VERT, &info);
    int32_t row = info.nMax <= 0xFFFF ? static_cast<int32_t>(messageRow) : info.nTrackPos;
    return ClampTopRow(info, row);
}

} // namespace

void ScrollByBar(HWND window, WPARAM wParam)
{
    int32_t top = viewState.topRow;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        ScrollToRow(window, top - 1);
        break;
    case SB_LINEDOWN:
        ScrollToRow(window, top + 1);
        break;
    case SB_PAGEUP:
        ScrollToRow(window, top - PageRows(window));
        break;
    case SB_PAGEDOWN:
        ScrollToRow(window, top + PageRows(window));
        break;
    case SB_THUMBTRACK: {
        // The bar moves itself while tracking; only the rows follow.
        int32_t p = ThumbPosition(window, HIWORD(wParam));
        ScrollWindow(window, 0, (top - p) * RowHeight(), nullptr, nullptr);
        viewState.topRow = p;
        break;
    }
    case SB_THUMBPOSITION:
        viewState.topRow = ThumbPosition(window, HIWORD(wParam));
        SetVerticalScroll(window, SIF_POS, 0, 0, 0, viewState.topRow, TRUE);
        break;
    }
}

namespace {

bool& OptionFlag(ListOption option)
{
    model::ListOptions& o = viewState.options;
    return option == SHOW_TOTAL ? o.showTotal : option == SHOW_IDLE ? o.showIdle : o.showHierarchy;
}

} // namespace

void ToggleListOption(HWND window, ListOption option)
{
    SetListOption(window, option, !OptionFlag(option));
}

void SetListOption(HWND window, ListOption option, bool on)
{
    bool& flag = OptionFlag(option);
    if (flag == on)
        return;
    flag = on;
    // The tree indents names: the name column is measured again.
    if (option == SHOW_HIERARCHY)
        ResetColumns();
    if (window)
        RelistRows(window);
}

void ResetColumns()
{
    viewState.columns = ColumnWidths();
}

} // namespace view
