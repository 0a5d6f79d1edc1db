// The uniform failure box and the program's two process-wide locks.
#pragma once

#include <windows.h>

#include <cstdint>

namespace core {

// Shows "<operation> failed, <kind>=0x<code> (<code>)\n<detail>" under the
// caption "Error". Each text may be a string-table id; null counts as empty.
// Returns the box's result, or 0 when a report is already on screen on this
// thread (the nested report is dropped).
int ReportFailure(HWND owner, const wchar_t* operation, const wchar_t* detail, const wchar_t* kind,
                  uint32_t code, uint32_t style);

// ReportFailure with the system's text for a Win32 error; code 0 means the
// thread's last error.
int ReportWin32Failure(HWND owner, const wchar_t* operation, uint32_t code, uint32_t style);

// Orders the load generator dialog's Apply against its worker thread.
CRITICAL_SECTION& LoadGeneratorLock();

} // namespace core
