// Quorlet in a Wine desktop on an X display, beside a burning process and a
// sleeping one. Its own start-up and message loop run on this thread; a timer
// acts as a user would, one step a tick once the step before shows its effect
// (ticks come in the debugger wait's own loop too), and notes what it saw.
#include "ui/Platform.h"
#include "app/AppTestSupport.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "e2e/Screenshot.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

using namespace testing_support;

namespace {

struct Run {
    const ChildProcess* sleeper = nullptr;
    std::unique_ptr<RegisteredDebugger> debugger;
    int step = 0, samples = 0, samplesAfterExpanding = 0;
    int64_t lastSample = 0;
    std::wstring busiestName, dialogText;
    double busiestValue = 0;
    LRESULT hit = 0;
    bool expandedWithThreads = false, clicked = false, cancelled = false, closedDuringWait = false;
    int screenshots = 0;
} run;

HWND WaitDialog()
{
    return FindProcessWindow(GetCurrentProcessId(), L"#32770");
}

// Clicks the process's row once it is listed.
bool ClickRow(DWORD id)
{
    for (uint32_t row = 0; row < model::modelState.displayCount(); ++row) {
        const model::InstanceRecord* r = model::modelState.displayList[row];
        if (r->id != id || !r->Has(model::isProcess))
            continue;
        LPARAM point = MAKELPARAM(300, (row - view::viewState.topRow) * view::RowHeight() + view::RowHeight() / 2);
        PostMessageW(ui::platform.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(ui::platform.mainWindow, WM_LBUTTONUP, 0, point);
        return true;
    }
    return false;
}

// The test debugger, told to hang, registered for the sleeper; then Debug.
void DebugTheSleeper()
{
    run.debugger.reset();
    run.debugger = std::make_unique<RegisteredDebugger>(L"%ld %ld " + std::to_wstring(run.sleeper->processId()) +
                                                        L" hang");
    PostMessageW(ui::platform.mainWindow, WM_COMMAND, CMD_DEBUG_PROCESS, 0);
}

bool DebuggerWaits()
{
    return WaitDialog() && run.debugger->Outcome() == L"waiting";
}

void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD)
{
    const perf::PerfDataBlockHeader* header = perf::BlockHeader(perf::perfData.currentSnapshot.View());
    int64_t sample = header ? perf::Value64(header->PerfTime100nSec) : 0;
    run.samples += sample != std::exchange(run.lastSample, sample);
    HWND window = ui::platform.mainWindow;
    auto rows = model::modelState.displayList.begin(), end = rows + model::modelState.displayCount();
    DWORD debuggerId = 0;
    if (run.step == 0 && run.samples >= 3) {
        MoveWindow(window, 0, 0, 600, 700, TRUE); // room for every row
        // The listed process with the largest value, leaving out Idle, _Total and the unlisted programs (ID 0).
        auto rank = [](const model::InstanceRecord* r) { return r->id && r->Has(model::isProcess) ? r->value : -1; };
        auto busiest = std::max_element(rows, end, [&](auto* a, auto* b) { return rank(a) < rank(b); });
        if (busiest != end) {
            run.busiestName = (*busiest)->name;
            run.busiestValue = (*busiest)->value;
            PostMessageW(window, app::WM_SELECT_ROW, busiest - rows, 3);
        }
        PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 1); // through the accelerators
        run.step = 1;
    } else if (run.step == 1) {
        int32_t focus = model::modelState.focusRow;
        run.expandedWithThreads = focus >= 0 && focus + 1 < end - rows && rows[focus]->Has(model::expanded) &&
                                  rows[focus + 1]->Has(model::isThread);
        run.samplesAfterExpanding = run.samples;
        PostMessageW(window, WM_KEYDOWN, VK_F5, 1);
        run.step = 2;
    } else if (run.step == 2 && run.samples > run.samplesAfterExpanding) {
        run.screenshots += SaveScreenshot(L"e2e-expanded.bmp");
        run.step = 3;
    } else if (run.step == 3 && ClickRow(run.sleeper->processId())) {
        run.step = 4;
    } else if (run.step == 4) {
        run.clicked = model::modelState.selectedRecord && model::modelState.selectedRecord->id == run.sleeper->processId();
        DebugTheSleeper();
        run.step = 5;
    } else if (run.step == 5 && DebuggerWaits()) {
        wchar_t text[128] = {};
        GetDlgItemTextW(WaitDialog(), IDC_DEBUG_WAIT_TEXT, text, 128);
        run.dialogText = text;
        run.hit = SendMessageW(WaitDialog(), WM_NCHITTEST, 0, 0); // the whole face drags
        run.screenshots += SaveScreenshot(L"e2e-debugger-wait.bmp");
        // Esc reaches the dialog's Cancel through the message loop's dialog step.
        PostMessageW(GetFocus() ? GetFocus() : WaitDialog(), WM_KEYDOWN, VK_ESCAPE, 1);
        run.step = 6;
    } else if (run.step == 6 && !WaitDialog()) {
        // Cancelled, not ended by the debugger giving up.
        run.cancelled = run.debugger->Outcome(&debuggerId) == L"waiting" && IsRunning(debuggerId);
        DebugTheSleeper();
        run.step = 7;
    } else if (run.step == 7 && DebuggerWaits()) {
        // Closed during a wait, the program still ends normally.
        run.closedDuringWait = IsWindow(window) && PostMessageW(window, WM_CLOSE, 0, 0);
        run.step = 8;
    }
}

} // namespace

using EndToEnd = StoredSettingsFixture;

TEST_F(EndToEnd, TheBurnerLeadsItsThreadsExpandF5SamplesAndADebuggerWaitEndsByCancelOrClose)
{
    ChildProcess burner(nullptr, nullptr, L"e2e_burner.exe"), sleeper;
    ASSERT_TRUE(burner.started() && sleeper.started());
    run.sleeper = &sleeper;

    UINT_PTR drive = SetTimer(nullptr, 0, 200, Drive);
    EXPECT_EQ(0, app::RunProgram(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    KillTimer(nullptr, drive);
    run.debugger.reset();

    EXPECT_EQ(8, run.step) << "the run got as far as step " << run.step;
    EXPECT_EQ(L"e2e_burner", run.busiestName);
    // About one processor when the machine is quiet (88 % seen), far less
    // while others share it (29 % beside two burners on two cores); never
    // more, since it burns on one thread.
    EXPECT_GT(run.busiestValue, 0.05);
    EXPECT_LT(run.busiestValue, 1.1);
    EXPECT_TRUE(run.expandedWithThreads);
    EXPECT_EQ(2, run.screenshots);
    EXPECT_TRUE(run.clicked);
    EXPECT_EQ(L"Waiting for the debugger to attach to test_child", run.dialogText);
    EXPECT_EQ(HTCAPTION, run.hit);
    EXPECT_TRUE(run.cancelled);
    EXPECT_TRUE(run.closedDuringWait);
    EXPECT_EQ(nullptr, WaitDialog());
}
