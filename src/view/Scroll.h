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

// Mask bits: 0x1 range, 0x2 page, 0x4 position, 0x8 disable instead of hiding.
BOOL SetVerticalScroll(HWND window, int bar, unsigned mask, int minimum, int maximum, unsigned page, int position,
                       BOOL redraw);

// Makes `row` the top row, as far as the scroll range allows.
void ScrollToRow(HWND window, int32_t row);
// The scroll bar follows the row count and the client height.
void UpdateScrollRange(HWND window);
void SelectRow(HWND window, int32_t row, uint32_t flags);
void ToggleThreads(HWND window, int32_t row, ExpandMode mode);
void SetAllExpanded(HWND window, ExpandMode mode);

// Whole rows that fit in the client area.
int32_t PageRows(HWND window);
// The row under a client-area y, which may lie past the last row.
int32_t RowAt(int y);

} // namespace view
