// The main window's commands: menu items, accelerator keys and the update
// that the window posts to itself.
#pragma once

#include <windows.h>

#include <cstdint>

namespace app {

// Routes the command in the low 16 bits of wParam; always 0.
LRESULT DispatchCommand(HWND window, unsigned notifyCode, WPARAM wParam, LPARAM lParam);

// Shows the counter at the 0-based position among the counters of the
// object with that title index; past the last, the default counter returns
// at the next update.
void SelectCounter(HWND window, uint32_t position, uint32_t objectIndex);

} // namespace app
