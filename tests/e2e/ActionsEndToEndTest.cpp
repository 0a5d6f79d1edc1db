// Quorlet in a Wine desktop acting on sleeping processes as a user would:
// a row clicked, then the commands of its menu posted to the main window,
// each effect looked at from outside the program's code.
#include "ui/Platform.h"
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
    const ChildProcess *sleeper = nullptr, *second = nullptr;
    std::unique_ptr<RegisteredDebugger> debugger;
    int step = 0;
    DWORD priorityClass = 0, exitCode = STILL_ACTIVE;
    LRESULT hit = 0;
    bool clicked = false, screenshot = false, cancelled = false, attached = false, nothingStarted = false,
         runningAfterAll = false;
    std::wstring dialogText;
} actions;

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

void Debug(const ChildProcess& target, const wchar_t* conversions, const wchar_t* mode = L"")
{
    actions.debugger.reset();
    actions.debugger = std::make_unique<RegisteredDebugger>(conversions + std::to_wstring(target.processId()) +
                                                            L" " + mode);
    PostMessageW(ui::platform.mainWindow, WM_COMMAND, CMD_DEBUG_PROCESS, 0);
}

bool DebuggerWaits() { return FindWaitDialog() && actions.debugger->Outcome() == L"waiting"; }

// One step a tick, each once what the one before did is seen; ticks come in
// the wait's own message loop too.
void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD)
{
    ActionsRun& r = actions;
    HWND window = ui::platform.mainWindow;
    DWORD id = r.sleeper->processId(), debuggerId = 0;
    if (r.step == 0) {
        MoveWindow(window, 0, 0, 600, 700, TRUE); // room for every row
        r.step = 1;
    } else if (r.step == 1 && ClickRow(id)) {
        r.step = 2;
    } else if (r.step == 2) {
        r.clicked = model::modelState.selectedRecord && model::modelState.selectedRecord->id == id;
        PostMessageW(window, WM_COMMAND, CMD_PRIORITY_CLASS_HIGH, 0);
        r.step = 3;
    } else if (r.step == 3) {
        core::KernelHandle sleeper{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)};
        r.priorityClass = GetPriorityClass(sleeper.Get());
        Debug(*r.sleeper, L"%ld %ld ", L"hang");
        r.step = 4;
    } else if (r.step == 4 && DebuggerWaits()) {
        wchar_t text[128] = {};
        GetDlgItemTextW(FindWaitDialog(), IDC_DEBUG_WAIT_TEXT, text, 128);
        r.dialogText = text;
        r.hit = SendMessageW(FindWaitDialog(), WM_NCHITTEST, 0, 0); // the whole face drags
        r.screenshot = SaveScreenshot(L"e2e-debugger-wait.bmp");
        // Esc reaches the dialog's Cancel through the message loop's dialog step.
        PostMessageW(GetFocus() ? GetFocus() : FindWaitDialog(), WM_KEYDOWN, VK_ESCAPE, 1);
        r.step = 5;
    } else if (r.step == 5 && !FindWaitDialog()) {
        // Cancelled, not ended by the debugger giving up.
        r.cancelled = r.debugger->Outcome(&debuggerId) == L"waiting" && IsRunning(debuggerId);
        Debug(*r.sleeper, L"%ld %ld ");
        r.step = 6;
    } else if (r.step == 6 && !FindWaitDialog() && !r.debugger->Outcome().empty()) {
        r.attached = r.debugger->Outcome(&debuggerId) == L"signalled" && IsRunning(debuggerId);
        Debug(*r.sleeper, L"%s %ld ");
        r.step = 7;
    } else if (r.step == 7) {
        r.nothingStarted = !FindWaitDialog() && r.debugger->Outcome().empty();
        PostMessageW(window, WM_COMMAND, CMD_TERMINATE_PROCESS, 0);
        r.step = 8;
    } else if (r.step == 8 && WaitForSingleObject(r.sleeper->process(), 0) == WAIT_OBJECT_0) {
        GetExitCodeProcess(r.sleeper->process(), &r.exitCode);
        r.nothingStarted = r.nothingStarted && r.debugger->Outcome().empty();
        r.step = ClickRow(r.second->processId()) ? 9 : 8;
    } else if (r.step == 9) {
        Debug(*r.second, L"%ld %ld ", L"hang");
        r.step = 10;
    } else if (r.step == 10 && DebuggerWaits()) {
        // Closed during a wait, the program still ends normally.
        r.runningAfterAll = IsWindow(window);
        PostMessageW(window, WM_CLOSE, 0, 0);
        r.step = 11;
    }
}

} // namespace

using ActionsEndToEnd = StoredSettingsFixture;

TEST_F(ActionsEndToEnd, PriorityDebuggerAndTerminateOnAClickedSleepingProcess)
{
    ChildProcess sleeper, second;
    ASSERT_TRUE(sleeper.started() && second.started());
    actions.sleeper = &sleeper;
    actions.second = &second;
    // Each run of the program registers its window class.
    UnregisterClassW(app::MAIN_WINDOW_CLASS, GetModuleHandleW(nullptr));
    UINT_PTR drive = SetTimer(nullptr, 0, 200, Drive);
    EXPECT_EQ(0, app::RunProgram(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    KillTimer(nullptr, drive);
    UnregisterClassW(app::MAIN_WINDOW_CLASS, GetModuleHandleW(nullptr));
    actions.debugger.reset();

    EXPECT_EQ(11, actions.step) << "the run got as far as step " << actions.step;
    EXPECT_TRUE(actions.clicked);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), actions.priorityClass);
    EXPECT_EQ(L"Waiting for the debugger to attach to test_child", actions.dialogText);
    EXPECT_TRUE(actions.screenshot);
    EXPECT_EQ(HTCAPTION, actions.hit);
    EXPECT_TRUE(actions.cancelled);
    EXPECT_TRUE(actions.attached);
    EXPECT_TRUE(actions.nothingStarted);
    EXPECT_EQ(0u, actions.exitCode);
    EXPECT_TRUE(actions.runningAfterAll);
    EXPECT_EQ(nullptr, FindWaitDialog());
}
