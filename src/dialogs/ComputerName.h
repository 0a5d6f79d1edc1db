// Choosing a remote machine: the system's computer browser, or where the
// system has none (as under Wine) a dialog that asks for the name.
#pragma once

#include <windows.h>

namespace dialogs {

// Fills `name` (18 characters) with two backslashes and the chosen computer.
bool BrowseForComputer(HWND owner, wchar_t* name);

// Browses, then connects to the chosen computer; true when both succeeded.
bool BrowseAndConnect(HWND owner);

// The dialog that asks for a computer name; lParam is the 18-character buffer
// that receives "\\" and at most 15 characters.
INT_PTR CALLBACK ComputerNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace dialogs
