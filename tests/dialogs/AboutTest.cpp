#include "dialogs/About.h"

#include "ui/Platform.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

TEST(AboutDialog, ShowsTheVersionAndNamesTheSystemFromItsVersionRecord)
{
    auto line = [](DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* servicePack) {
        OSVERSIONINFOW version = {sizeof(version), major, minor, build, platform, {}};
        wcscpy(version.szCSDVersion, servicePack);
        core::WideString text;
        dialogs::FormatOsLine(version, text);
        return std::wstring(text.Chars());
    };
    EXPECT_EQ(L"OS: Windows NT 5.0 (Build 2195) Service Pack 2", line(2, 5, 0, 2195, L"Service Pack 2"));
    // The Windows family keeps its version in the build number's high word.
    EXPECT_EQ(L"OS: Windows 95 4.0 (Build 950) ", line(1, 4, 0, 0x040003B6, L""));
    EXPECT_EQ(L"OS: Memphis 4.10 (Build 1500) ", line(1, 4, 10, 0x040A05DC, L""));
    EXPECT_EQ(L"OS: Windows 98 4.10 (Build 2222) ", line(1, 4, 10, 0x040A08AE, L""));

    ui::platform.instance = GetModuleHandleW(nullptr);
    HWND dialog = CreateDialogParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                                     dialogs::AboutDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"QUORLET Version 1.5", testing_support::WindowText(GetDlgItem(dialog, IDC_ABOUT_VERSION)));
    EXPECT_EQ(0u, testing_support::WindowText(GetDlgItem(dialog, IDC_ABOUT_OS)).find(L"OS: Windows NT "));
    DestroyWindow(dialog);
}
