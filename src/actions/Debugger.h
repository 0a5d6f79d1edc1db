// Attaching the just-in-time debugger registered for this machine to the
// selected process.
#pragma once

#include "core/WideString.h"

#include <windows.h>

namespace actions {

// Whether a registered debugger command line may be used as a format: at most
// two conversions, each %d, %u, %x, %ld, %lu or %lx with optional flags and
// width, so that formatting reads nothing but the process id and the event.
bool IsSafeDebuggerFormat(const wchar_t* format);

// The registered debugger command line ([AeDebug] Debugger in win.ini), or
// empty when none is registered or the registration is not a safe format.
core::WideString ReadRegisteredDebugger();

// Starts the registered debugger on the selected process of the local machine
// (CMD_DEBUG_PROCESS, or its grant form, which first gives the current user
// every process right so that the debugger may open it fully), then waits,
// with the messages flowing and a Cancel dialog up, until the debugger
// signals that it has attached, or it ends, or Cancel is pressed. When the
// program is asked to end meanwhile, the wait ends and the request is passed
// on to the main loop.
void LaunchDebugger(HWND window, unsigned command);

// The wait dialog's procedure; its creation parameter is the event that
// Cancel signals.
INT_PTR CALLBACK WaitForDebuggerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace actions
