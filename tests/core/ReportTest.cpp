#include "core/Report.h"
#include "core/WideString.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

using core::ReportFailure;
using core::ReportWin32Failure;
using core::TextId;
using testing_support::MessageBoxCatcher;

TEST(ReportFailure, ShowsOperationKindCodeAndDetailUnderErrorCaption)
{
    MessageBoxCatcher catcher;
    EXPECT_EQ(IDOK, ReportFailure(nullptr, TextId(IDS_OP_OPEN_PROCESS), L"Access is denied.",
                                  TextId(IDS_KIND_WIN32), 5, MB_OK));
    ReportFailure(nullptr, L"Op", nullptr, nullptr, 0xFFFFFFFF, MB_OK);
    SetLastError(ERROR_FILE_NOT_FOUND);
    ReportWin32Failure(nullptr, TextId(IDS_OP_TERMINATE_PROCESS), 0, MB_OK);
    ReportWin32Failure(nullptr, TextId(IDS_OP_OPEN_PROCESS), ERROR_BAD_EXE_FORMAT, MB_OK);

    ASSERT_EQ(4u, catcher.boxes.size());
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ(L"Open Process failed, Win32 Error=0x5 (5)\nAccess is denied.", catcher.boxes[0].text);
    EXPECT_EQ(L"Op failed, =0xffffffff (-1)\n", catcher.boxes[1].text);
    // The last error, with the system's own text for it.
    EXPECT_EQ(0u, catcher.boxes[2].text.find(L"Terminate Process failed, Win32 Error=0x2 (2)\n"));
    EXPECT_GT(catcher.boxes[2].text.size(), catcher.boxes[2].text.find(L'\n') + 1);
    EXPECT_EQ(L'\n', catcher.boxes[2].text.back()) << "the system's text whole, with its line break";
    // A system text with an insert keeps it, rather than losing the whole text.
    EXPECT_NE(std::wstring::npos, catcher.boxes[3].text.find(L"%1"));
}

namespace {

int nestedResult = -1;
HWND openBox = nullptr;

void CALLBACK ReportAgainFromTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    nestedResult = ReportFailure(nullptr, L"Refresh", L"again", L"Kind", 1, MB_OK);
    PostMessageW(openBox, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST(ReportFailure, DropsAReportMadeWhileTheFirstIsOnScreen)
{
    MessageBoxCatcher catcher;
    catcher.whileShown = [](HWND box) {
        openBox = box;
        SetTimer(nullptr, 0, 10, ReportAgainFromTimer);
    };
    EXPECT_EQ(IDOK, ReportFailure(nullptr, L"Refresh", L"first", L"Kind", 1, MB_OK));
    EXPECT_EQ(0, nestedResult);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Refresh failed, Kind=0x1 (1)\nfirst", catcher.boxes[0].text);

    // Once the box is closed, reports are shown again.
    catcher.whileShown = nullptr;
    ReportFailure(nullptr, L"Later", L"", L"Kind", 1, MB_OK);
    EXPECT_EQ(2u, catcher.boxes.size());
}
