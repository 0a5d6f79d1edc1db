#include "dialogs/ComputerName.h"

#include "core/Handles.h"
#include "core/Module.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/Platform.h"

#include <cwchar>
#include <iterator>

namespace dialogs {

namespace {

using perf::COMPUTER_NAME_MAX;
using perf::MACHINE_NAME_CHARS;

// The browser's flags: servers only, in every kind of domain.
constexpr DWORD FOCUSDLG_SERVERS_ONLY = 0x0002;
constexpr DWORD FOCUSDLG_BROWSE_ALL_DOMAINS = 0x001F0000;

INT_PTR OnComputerNameOk(HWND dialog)
{
    auto* name = reinterpret_cast<wchar_t*>(GetWindowLongPtrW(dialog, DWLP_USER));
    wchar_t typed[64] = {};
    GetDlgItemTextW(dialog, IDC_COMPUTER_NAME, typed, static_cast<int>(std::size(typed)));
    const wchar_t* start = typed[0] == L'\\' && typed[1] == L'\\' ? typed + 2 : typed;
    if (!name || !perf::IsValidComputerName(start)) {
        MessageBeep(MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dialog, IDC_COMPUTER_NAME));
        return TRUE;
    }
    swprintf(name, MACHINE_NAME_CHARS, L"\\\\%ls", start);
    EndDialog(dialog, IDOK);
    return TRUE;
}

} // namespace

bool BrowseForComputer(HWND owner, wchar_t* name)
{
    using FocusDialog = UINT(WINAPI*)(HWND, UINT, LPWSTR, UINT, BOOL*, LPWSTR, DWORD);
    wchar_t chosen[MACHINE_NAME_CHARS] = {};
    BOOL confirmed = FALSE;
    core::Module library(core::LoadSystemLibrary(L"ntlanman.dll"));
    auto browse = core::FindExport<FocusDialog>(library.Get(), "I_SystemFocusDialog");
    if (browse) {
        browse(owner, FOCUSDLG_BROWSE_ALL_DOMAINS | FOCUSDLG_SERVERS_ONLY, chosen, MACHINE_NAME_CHARS, &confirmed, nullptr, 0);
    } else {
        confirmed = DialogBoxParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_COMPUTER_NAME), owner,
                                    ComputerNameDialogProc, reinterpret_cast<LPARAM>(chosen)) == IDOK;
    }
    if (confirmed)
        wcsncpy(name, chosen, MACHINE_NAME_CHARS);
    return confirmed != FALSE;
}

bool BrowseAndConnect(HWND owner)
{
    wchar_t name[MACHINE_NAME_CHARS] = {};
    if (!BrowseForComputer(owner, name))
        return false;
    name[MACHINE_NAME_CHARS - 1] = 0;
    return perf::ConnectToMachine(owner, name + 2);
}

INT_PTR CALLBACK ComputerNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_COMPUTER_NAME, EM_LIMITTEXT, COMPUTER_NAME_MAX, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            return OnComputerNameOk(dialog);
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace dialogs
