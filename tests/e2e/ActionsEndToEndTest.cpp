// Quorlet in a Wine desktop acting on a sleeping process as a user would: its
// row clicked, then the commands of its menu posted to the main window, each
// effect looked at from outside the program's code.
#include "app/AppState.h"
#include "app/AppTestSupport.h"
#include "app/Startup.h"
#include "e2e/Screenshot.h"
#include "model/Records.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/TestDebugger.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace testing_support;

namespace {

struct ActionsRun {
    const ChildProcess* sleeper = nullptr;
    std::unique_ptr<RegisteredDebugger> debugger;
    int step = 0;
    DWORD priorityClass = 0, exitCode = STILL_ACTIVE;
    bool clicked = false, screenshot = false, cancelled = false, attached = false, nothingStarted = false,
         stillRunning = false;
    std::wstring dialogText;
} actions;

int32_t RowOf(DWORD id)
{
    for (uint32_t i = 0; i < model::state.displayCount(); ++i)
        if (model::state.displayList[i]->id == id && model::state.displayList[i]->Has(model::isProcess))
            return static_cast<int32_t>(i);
    return -1;
}

void Register(const wchar_t* conversions, const wchar_t* mode = L"")
{
    actions.debugger.reset();
    std::wstring arguments = conversions + std::to_wstring(actions.sleeper->processId()) + L" " + mode;
    actions.debugger = std::make_unique<RegisteredDebugger>(arguments);
}

// One step a tick, each waiting for what the one before should have done;
// ticks come in the wait's own loop too.
void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD)
{
    ActionsRun& r = actions;
    HWND window = app::state.mainWindow;
    DWORD id = r.sleeper->processId();
    auto command = [window](unsigned id) { PostMessageW(window, WM_COMMAND, id, 0); };
    if (r.step == 0) {
        MoveWindow(window, 0, 0, 600, 700, TRUE); // room for every row
        r.step = 1;
    } else if (r.step == 1 && RowOf(id) >= 0) {
        int y = (RowOf(id) - view::state.topRow) * view::RowHeight() + view::RowHeight() / 2;
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, y));
        PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(300, y));
        r.step = 2;
    } else if (r.step == 2) {
        r.clicked = model::state.selectedRecord && model::state.selectedRecord->id == id;
        command(CMD_PRIORITY_CLASS_HIGH);
        r.step = 3;
    } else if (r.step == 3) {
        core::KernelHandle sleeper{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)};
        r.priorityClass = GetPriorityClass(sleeper.Get());
        Register(L"%ld %ld ", L"hang");
        command(CMD_DEBUG_PROCESS);
        r.step = 4;
    } else if (r.step == 4 && FindWaitDialog() && r.debugger->Outcome() == L"waiting") {
        HWND dialog = FindWaitDialog();
        wchar_t text[128] = {};
        GetDlgItemTextW(dialog, IDC_DEBUG_WAIT_TEXT, text, 128);
        r.dialogText = text;
        r.screenshot = SaveScreenshot(L"e2e-debugger-wait.bmp");
        // Esc reaches the dialog's Cancel through the message loop's dialog step.
        PostMessageW(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_ESCAPE, 1);
        r.step = 5;
    } else if (r.step == 5 && !FindWaitDialog()) {
        // Cancelled, not ended by the debugger giving up.
        DWORD debuggerId = 0;
        r.cancelled = r.debugger->Outcome(&debuggerId) == L"waiting" && IsRunning(debuggerId);
        Register(L"%ld %ld ");
        command(CMD_DEBUG_PROCESS);
        r.step = 6;
    } else if (r.step == 6 && !FindWaitDialog() && !r.debugger->Outcome().empty()) {
        DWORD debuggerId = 0;
        r.attached = r.debugger->Outcome(&debuggerId) == L"signalled" && IsRunning(debuggerId);
        Register(L"%s %ld ");
        command(CMD_DEBUG_PROCESS);
        r.step = 7;
    } else if (r.step == 7) {
        r.nothingStarted = !FindWaitDialog() && r.debugger->Outcome().empty();
        command(CMD_TERMINATE_PROCESS);
        r.step = 8;
    } else if (r.step == 8 && WaitForSingleObject(r.sleeper->process(), 0) == WAIT_OBJECT_0) {
        GetExitCodeProcess(r.sleeper->process(), &r.exitCode);
        r.nothingStarted = r.nothingStarted && r.debugger->Outcome().empty();
        r.debugger.reset();
        r.stillRunning = IsWindow(window) && !IsHungAppWindow(window);
        PostMessageW(window, WM_CLOSE, 0, 0);
        r.step = 9;
    }
}

} // namespace

using ActionsEndToEnd = StoredSettingsFixture;

TEST_F(ActionsEndToEnd, PriorityDebuggerAndTerminateOnAClickedSleepingProcess)
{
    ChildProcess sleeper;
    ASSERT_TRUE(sleeper.started());
    actions.sleeper = &sleeper;
    // Each run of the program registers its window class.
    UnregisterClassW(app::MAIN_WINDOW_CLASS, GetModuleHandleW(nullptr));
    UINT_PTR drive = SetTimer(nullptr, 0, 200, Drive);
    EXPECT_EQ(0, app::RunProgram(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    KillTimer(nullptr, drive);
    UnregisterClassW(app::MAIN_WINDOW_CLASS, GetModuleHandleW(nullptr));

    EXPECT_EQ(9, actions.step) << "the run got as far as step " << actions.step;
    EXPECT_TRUE(actions.clicked);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), actions.priorityClass);
    EXPECT_EQ(L"Waiting for the debugger to attach to test_child", actions.dialogText);
    EXPECT_TRUE(actions.screenshot);
    EXPECT_TRUE(actions.cancelled);
    EXPECT_TRUE(actions.attached);
    EXPECT_TRUE(actions.nothingStarted);
    EXPECT_EQ(0u, actions.exitCode);
    EXPECT_TRUE(actions.stillRunning);
}
