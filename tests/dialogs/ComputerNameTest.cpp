#include "dialogs/ComputerName.h"

#include "ui/Platform.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

using namespace dialogs;
using testing_support::MessageBoxCatcher;

TEST(ComputerNameDialog, ReturnsTheTypedNameWithTwoBackslashesAndRefusesOthers)
{
    wchar_t name[18] = L"unchanged";
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COMPUTER_NAME), nullptr,
                                     ComputerNameDialogProc, reinterpret_cast<LPARAM>(name));
    ASSERT_NE(nullptr, dialog);
    // An empty name and one of more than 15 characters are refused.
    for (auto [typed, result] : {std::pair{L"", L"unchanged"}, std::pair{L"SIXTEENCHARSLONG", L"unchanged"},
                                 std::pair{L"\\\\FIFTEENCHARSXX", L"\\\\FIFTEENCHARSXX"}}) {
        SetDlgItemTextW(dialog, IDC_COMPUTER_NAME, typed);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_STREQ(result, name) << typed;
    }
    DestroyWindow(dialog);
}

TEST(ComputerNameDialog, StandsInForTheSystemsComputerBrowser)
{
    // Wine has no network provider library, so browsing asks for the name.
    ui::platform.instance = GetModuleHandleW(nullptr);
    MessageBoxCatcher catcher;
    catcher.whileShown = [](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_COMPUTER_NAME, L"FARHOST");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
    wchar_t name[18] = {};
    EXPECT_TRUE(BrowseForComputer(nullptr, name));
    EXPECT_STREQ(L"\\\\FARHOST", name);

    catcher.whileShown = nullptr;
    catcher.answer = IDCANCEL;
    wchar_t untouched[18] = L"before";
    EXPECT_FALSE(BrowseAndConnect(nullptr)) << "cancelled: no connection attempt";
    EXPECT_FALSE(BrowseForComputer(nullptr, untouched));
    EXPECT_STREQ(L"before", untouched);
    EXPECT_EQ(3u, catcher.boxes.size());
    EXPECT_EQ(L"Remote Machine", catcher.boxes[0].caption);
}
