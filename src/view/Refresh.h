// One refresh: a new sample (or the samples held) turned into the rows.
#pragma once

#include <windows.h>

namespace view {

// Takes a new snapshot, chooses the Process object's default counter on first
// use, rebuilds and invalidates the window.
void UpdateNow(HWND window);
// Rebuilds the records and the rows from the snapshots held; the caller
// repaints.
void RefreshView(HWND window);

} // namespace view
