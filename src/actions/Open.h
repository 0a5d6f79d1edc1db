// Opening processes and threads: probing every right the user holds, and
// granting the user a right it may add to the object's access list.
#pragma once

#include "core/Handles.h"

#include <windows.h>

namespace actions {

// The shape of OpenProcess and OpenThread.
using OpenFunction = HANDLE(WINAPI*)(DWORD access, BOOL inherit, DWORD id);

// Finds, one right at a time, every right that can be obtained on the object
// (31 opens: every bit but MAXIMUM_ALLOWED), then opens it once more with all
// of them. `granted` is 0 and no handle comes back when nothing was obtained.
core::KernelHandle OpenWithProbedAccess(DWORD id, DWORD& granted, OpenFunction open);
core::KernelHandle OpenProcessProbed(DWORD processId, DWORD& granted);
// Without OpenThread on this system: no handle, and `granted` is not touched.
core::KernelHandle OpenThreadProbed(DWORD threadId, DWORD& granted);

// Adds an allow entry for the current user with `rights` to the object's
// access list (the handle needs WRITE_DAC), then replaces the handle by one
// with exactly extra | rights. On false the thread's last error says why and
// the handle is the one given.
bool GrantSelfAccess(core::KernelHandle& handle, DWORD extra, DWORD rights);

// Opens the object with MAXIMUM_ALLOWED, which includes WRITE_DAC when the
// list may be changed, and unless `rightToGrant` is 0 grants the user that
// right first. A failure is reported in a box owned by `window`, under
// `openFailure` or `grantFailure` (string ids), and no handle comes back.
core::KernelHandle OpenForAction(HWND window, DWORD id, OpenFunction open, unsigned openFailure,
                                 DWORD rightToGrant, unsigned grantFailure);

// Reports the thread's last error for the operation (a string id) in a box.
void ReportLastError(HWND window, unsigned operation);

} // namespace actions
