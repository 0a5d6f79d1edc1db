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

} // namespace actions
