// The right-click menu: machine, view options, the counters and their
// display formats, and the sub-menu of the row's process or thread.
#pragma once

#include "core/Handles.h"
#include "model/Records.h"

#include <windows.h>

namespace actions {

// The whole menu for the row's record (null: no row). Nothing is reported
// while it is built; the probe handles are closed before it returns.
core::Menu BuildContextMenu(const model::InstanceRecord* record);

// The "Selected Process" and "Selected Thread" sub-menus, appended to `menu`.
void AppendProcessMenu(HMENU menu, const model::InstanceRecord& record);
void AppendThreadMenu(HMENU menu, const model::InstanceRecord& record);

// Shows the menu at a point of the window's client area; the chosen command
// comes back to the window as WM_COMMAND.
void ShowContextMenu(HWND window, int x, int y, const model::InstanceRecord* record);

} // namespace actions
