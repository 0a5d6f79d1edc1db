#include "dialogs/About.h"

#include "resources/resource.h"
#include "ui/Platform.h"

namespace dialogs {

namespace {

const wchar_t* PlatformName(const OSVERSIONINFOW& version)
{
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return L"Win32s";
    case VER_PLATFORM_WIN32_WINDOWS:
        if (version.dwBuildNumber < 0x040A0000)
            return L"Windows 95";
        return LOWORD(version.dwBuildNumber) < 1543 ? L"Memphis" : L"Windows 98";
    case VER_PLATFORM_WIN32_NT:
        return L"Windows NT";
    }
    return L"Unknown";
}

void ShowSystem(HWND dialog)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996) // the manifest makes it tell the truth
#endif
    GetVersionExW(&version);
    core::WideString line;
    FormatOsLine(version, line);
    SetDlgItemTextW(dialog, IDC_ABOUT_OS, line.Chars());
}

} // namespace

void FormatOsLine(const OSVERSIONINFOW& version, core::WideString& line)
{
    DWORD build =
        version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(version.dwBuildNumber) : version.dwBuildNumber;
    // The field need not be terminated.
    constexpr size_t SERVICE_PACK_CHARS = sizeof(OSVERSIONINFOW::szCSDVersion) / sizeof(wchar_t);
    wchar_t servicePack[SERVICE_PACK_CHARS + 1] = {};
    wcsncpy(servicePack, version.szCSDVersion, SERVICE_PACK_CHARS);
    line.FormatResource(IDS_ABOUT_OS, PlatformName(version), static_cast<int>(version.dwMajorVersion),
                        static_cast<int>(version.dwMinorVersion), static_cast<int>(build), servicePack);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, L"QUORLET Version 1.5");
        ShowSystem(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void ShowAboutDialog(HWND owner)
{
    DialogBoxParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDialogProc, 0);
}

} // namespace dialogs
