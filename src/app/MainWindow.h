// The main window's procedure.
#pragma once

#include <windows.h>

namespace app {

// Selects or focuses a row from the queue: wParam is the row, or -1 for the
// focused row; lParam holds SelectRow's flags.
constexpr UINT WM_SELECT_ROW = WM_USER + 1;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace app
