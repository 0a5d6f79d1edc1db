// Priority class, thread priority and priority boost: the menu items that show
// an object's current state, and the commands that change it.
#pragma once

#include <windows.h>

namespace actions {

// Appends the boost item and the "&Priority Class" sub-menu for a process
// opened with the probed `mask`. Nothing is added without query rights; the
// commands carry the grant offset when the mask allows only re-permissioning.
// `withMiddleClasses` offers Below Normal and Above Normal (Windows 2000 on).
void AppendProcessPriorityItems(HMENU menu, HANDLE process, DWORD mask, bool withMiddleClasses);
// The same for a thread: its boost item and its "Priority" sub-menu.
void AppendThreadPriorityItems(HMENU menu, HANDLE thread, DWORD mask);

// The platform's boost switches; tests record the flag handed to them, which
// some systems accept and then ignore.
struct BoostSetters {
    BOOL(WINAPI* process)(HANDLE, BOOL) = SetProcessPriorityBoost;
    BOOL(WINAPI* thread)(HANDLE, BOOL) = SetThreadPriorityBoost;
};
extern BoostSetters boostSetters;

// Performs a process boost or priority class command (without the grant
// offset) on the handle; a failing call is reported in a box owned by
// `owner`. Returns whether the change was made.
bool PerformProcessPriorityCommand(HWND owner, HANDLE process, unsigned command);
// The same for the thread boost and thread priority commands.
bool PerformThreadPriorityCommand(HWND owner, HANDLE thread, unsigned command);

} // namespace actions
