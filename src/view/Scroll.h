// Scrolling by whole rows, the focused and the selected row, and the thread
// rows shown under a process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace view {

// SelectRow's flags.
constexpr uint32_t SELECT = 0x1;
constexpr uint32_t FOCUS = 0x2;

enum ExpandMode : uint32_t {
    EXPAND_ROW = 0x10000,
    COLLAPSE_ROW = 0x20000,
    TOGGLE_ROW = 0x30000,
};

// SetScrollInfo on the vertical bar; `mask` holds the SIF_ flags of the fields set.
BOOL SetVerticalScroll(HWND window, UINT mask, int minimum, int maximum, unsigned page, int position, BOOL redraw);

// The rows listed.
int32_t RowCount();
// `row` kept inside the positions the bar's range and page allow for the top row.
int32_t ClampTopRow(const SCROLLINFO& info, int32_t row);

// Makes `row` the top row, as far as the scroll range allows.
void ScrollToRow(HWND window, int32_t row);
// Scrolls no further than needed for the whole row to show.
void ScrollIntoView(HWND window, int32_t row);
// The scroll bar follows the row count and the client height.
void UpdateScrollRange(HWND window);
void SelectRow(HWND window, int32_t row, uint32_t flags);
void ToggleThreads(HWND window, int32_t row, ExpandMode mode);
void SetAllExpanded(HWND window, ExpandMode mode);
// Lists the rows again from the records held and repaints them all.
void RelistRows(HWND window);

// A WM_VSCROLL message's request: lines, pages and the thumb.
void ScrollByBar(HWND window, WPARAM wParam);
enum ListOption { SHOW_TOTAL, SHOW_IDLE, SHOW_HIERARCHY };
// Shows or hides Total or Idle, or orders the processes by creator, and
// lists the rows again (with no window, only the choice is made).
void SetListOption(HWND window, ListOption option, bool on);
void ToggleListOption(HWND window, ListOption option);
// The column marks start again (the font or the ordering changed).
void ResetColumns();

// Whole rows that fit in the client area.
int32_t PageRows(HWND window);
// The row under a client-area y, which may lie past the last row.
int32_t RowAt(int y);
// Where a row is drawn, in client coordinates (outside the client area when
// scrolled out of view).
RECT RowBand(HWND window, int32_t row);

} // namespace view
