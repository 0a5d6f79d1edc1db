#include "dialogs/About.h"

#include "app/AppState.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

#include <string>

using dialogs::FormatOsLine;

namespace {

std::wstring OsLine(DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack)
{
    OSVERSIONINFOW version = {sizeof(version), major, minor, build, platform, {}};
    wcscpy(version.szCSDVersion, servicePack);
    core::WideString line;
    FormatOsLine(version, line);
    return line.Chars();
}

} // namespace

TEST(AboutDialog, NamesTheSystemFromItsVersionRecord)
{
    EXPECT_EQ(L"OS: Windows NT 5.0 (Build 2195) Service Pack 2", OsLine(2, 5, 0, 2195, L"Service Pack 2"));
    EXPECT_EQ(L"OS: Windows NT 10.0 (Build 22631) ", OsLine(2, 10, 0, 22631, L""));
    // The Windows family keeps its version in the build number's high word.
    EXPECT_EQ(L"OS: Windows 95 4.0 (Build 950) ", OsLine(1, 4, 0, 0x040003B6, L""));
    EXPECT_EQ(L"OS: Memphis 4.10 (Build 1500) ", OsLine(1, 4, 10, 0x040A05DC, L""));
    EXPECT_EQ(L"OS: Windows 98 4.10 (Build 2222)  A ", OsLine(1, 4, 10, 0x040A08AE, L" A "));
    EXPECT_EQ(L"OS: Win32s 3.10 (Build 0) ", OsLine(0, 3, 10, 0, L""));
    EXPECT_EQ(L"OS: Unknown 0.0 (Build 0) ", OsLine(7, 0, 0, 0, L""));
}

TEST(AboutDialog, ShowsTheVersionAndTheRunningSystem)
{
    app::state.instance = GetModuleHandleW(nullptr);
    HWND dialog = CreateDialogParamW(app::state.instance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                                     dialogs::AboutDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"QUORLET Version 1.5", testing_support::WindowText(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    std::wstring expected = L"OS: Windows NT " + std::to_wstring(version.dwMajorVersion) + L"." +
                            std::to_wstring(version.dwMinorVersion) + L" (Build " +
                            std::to_wstring(version.dwBuildNumber) + L") " + version.szCSDVersion;
    EXPECT_EQ(expected, testing_support::WindowText(GetDlgItem(dialog, IDC_ABOUT_OS)));
    DestroyWindow(dialog);
}
