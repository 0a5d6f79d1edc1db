// The About dialog: the program's version and the system it runs on.
#pragma once

#include "core/WideString.h"

#include <windows.h>

namespace dialogs {

// "OS: <platform> <major>.<minor> (Build <n>) <service pack>". The Windows
// family keeps its version in the build number's high word: only the low
// word is shown.
void FormatOsLine(const OSVERSIONINFOW& version, core::WideString& line);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void ShowAboutDialog(HWND owner);

} // namespace dialogs
