#include "actions/Debugger.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"
#include "support/TestDebugger.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::ChildProcess;
using testing_support::FindWaitDialog;
using testing_support::IsRunning;
using testing_support::RegisteredDebugger;

TEST(DebuggerFormat, OnlyUpToTwoIntegerConversionsAreUsed)
{
    struct Case {
        const wchar_t* format;
        bool safe;
    };
    const Case cases[] = {
        {L"\"C:\\dbg\\windbg.exe\" -p %ld -e %ld -g", true},
        {L"drwtsn32 -p %u -e %-08x 100%% sure", true},
        {L"dbg.exe", true},
        {L"dbg.exe -p %d", true},
        {L"dbg.exe -p %ld -e %ld %ld", false},
        {L"dbg.exe -p %s", false},
        {L"dbg.exe -p %ls -e %ld", false},
        {L"dbg.exe -p %*d", false},
        {L"dbg.exe -p %lld", false},
        {L"dbg.exe -p %n", false},
        {L"dbg.exe -p %.5d", false},
        {L"dbg.exe trailing %", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(actions::IsSafeDebuggerFormat(c.format), c.safe) << c.format;
}

// The selected row is a child process; the test debugger is registered.
class DebuggerLaunch : public ::testing::Test {
protected:
    void SetUp() override { app::state.instance = GetModuleHandleW(nullptr); }
    void TearDown() override { model::state.selectedRecord = nullptr; }

    void Select(const ChildProcess& child)
    {
        record.flags = model::isProcess;
        record.id = child.processId();
        wcscpy(record.label, L"test_child");
        model::state.selectedRecord = &record;
    }

    // Registered debuggers take the id and the event first; the test debugger
    // then takes the id it should be given, and what to do.
    static std::wstring Arguments(const ChildProcess& child, const wchar_t* mode = L"")
    {
        return L"%ld %lu " + std::to_wstring(child.processId()) + L" " + mode;
    }

    static void Dispatch(unsigned command) { app::DispatchCommand(nullptr, 0, command, 0); }

    model::InstanceRecord record;
};

// Once a "hang" debugger waits and the dialog is up, a timer of the waiting
// thread reads the dialog's hit test and clicks Cancel.
const RegisteredDebugger* hanging;
LRESULT hit;

void CALLBACK ClickCancel(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWaitDialog();
    if (hanging && dialog && hanging->Outcome() == L"waiting") {
        hanging = nullptr;
        hit = SendMessageW(dialog, WM_NCHITTEST, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    }
}

TEST_F(DebuggerLaunch, GetsTheIdAndTheEventAndTheWaitEndsOnTheSignal)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    RegisteredDebugger debugger(Arguments(child));
    Select(child);
    Dispatch(CMD_DEBUG_PROCESS);
    DWORD debuggerId = 0;
    EXPECT_EQ(L"signalled", debugger.Outcome(&debuggerId));
    // Still attached: the event ended the wait, not the debugger's end.
    EXPECT_TRUE(IsRunning(debuggerId));

    // Opened up for the debugger by the grant form only.
    ChildProcess restricted(testing_support::QUERY_ONLY_SDDL);
    ASSERT_TRUE(restricted.started());
    RegisteredDebugger second(Arguments(restricted));
    testing_support::MessageBoxCatcher catcher;
    Select(restricted);
    Dispatch(CMD_DEBUG_PROCESS);
    EXPECT_EQ(L"no-access", second.Outcome());
    Dispatch(CMD_DEBUG_PROCESS + GRANT_OFFSET);
    EXPECT_EQ(L"signalled", second.Outcome());
    // The catcher sees the wait dialogs too, and no failure box.
    for (auto& box : catcher.boxes)
        EXPECT_EQ(L"Waiting for the debugger to attach to test_child", box.text);
}

TEST_F(DebuggerLaunch, CancelOrTheDebuggersEndEndsTheWait)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    Select(child);
    {
        RegisteredDebugger debugger(Arguments(child, L"hang"));
        hanging = &debugger;
        UINT_PTR timer = SetTimer(nullptr, 0, 20, ClickCancel);
        actions::LaunchDebugger(nullptr, CMD_DEBUG_PROCESS);
        KillTimer(nullptr, timer);
        EXPECT_EQ(HTCAPTION, hit); // the whole dialog drags
        DWORD debuggerId = 0;
        EXPECT_EQ(L"waiting", debugger.Outcome(&debuggerId));
        EXPECT_TRUE(IsRunning(debuggerId));
        EXPECT_EQ(nullptr, FindWaitDialog());
    }
    RegisteredDebugger silent(Arguments(child, L"silent"));
    actions::LaunchDebugger(nullptr, CMD_DEBUG_PROCESS);
    EXPECT_EQ(L"silent", silent.Outcome());
}

TEST_F(DebuggerLaunch, AnUnsafeRegistrationStartsNothing)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    Select(child);
    for (const wchar_t* conversions : {L"%s %ld ", L"%ld %ld %ld "}) {
        RegisteredDebugger unsafe(conversions + std::to_wstring(child.processId()));
        actions::LaunchDebugger(nullptr, CMD_DEBUG_PROCESS);
        EXPECT_EQ(L"", unsafe.Outcome()) << conversions;
    }
}

} // namespace
