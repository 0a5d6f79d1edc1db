// The rows as text on the clipboard: a row is its ID, name and value text,
// separated by tabs.
#pragma once

#include <windows.h>

#include <string>

namespace view {

// The selected row, one line; nothing when no row is selected.
void CopySelectedRow(HWND window);
// Every listed row in display order, one line each, under a line naming the
// counter and its display format.
void CopyAllRows(HWND window);

// The texts themselves.
std::wstring SelectedRowText();
std::wstring AllRowsText();

} // namespace view
