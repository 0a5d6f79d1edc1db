#include "actions/Debugger.h"

#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/SelectedRow.h"

namespace {

using namespace testing_support;

// Two integer conversions at most, then at most one plain %p; no field so
// wide that the command line could not be made.
TEST(DebuggerFormat, OnlyUpToTwoIntegerConversionsAndATrailingPointerAreUsed)
{
    for (const wchar_t* safe : {L"\"C:\\dbg\\windbg.exe\" -p %ld -e %ld -g", L"drwtsn32 -p %u -e %-08x 100%% sure",
                                L"dbg.exe", L"dbg.exe -p %d", L"\"jit.exe\" -p %ld -e %ld -j 0x%p",
                                L"dbg.exe -p %20000ld -e %ld"})
        EXPECT_TRUE(actions::IsSafeDebuggerFormat(safe)) << safe;
    for (const wchar_t* unsafe :
         {L"dbg.exe -p %ld -e %ld %ld", L"dbg.exe -p %s", L"dbg.exe -p %ls -e %ld", L"dbg.exe -p %*d",
          L"dbg.exe -p %lld", L"dbg.exe -p %n", L"dbg.exe -p %.5d", L"dbg.exe trailing %", L"dbg -p %2999999ld -e %ld",
          L"dbg -p %20000ld -e %20000ld", L"dbg %p -p %ld -e %ld", L"dbg -p %ld %p -e %ld",
          L"dbg -p %ld -e %ld %p %p", L"dbg -p %ld -e %ld %08p"})
        EXPECT_FALSE(actions::IsSafeDebuggerFormat(unsafe)) << unsafe;
}

// The wait itself (its dialog, Cancel, the main window closed during it) is
// run end to end; here the grant form, an unsafe format and the endings.
using DebuggerLaunch = SelectedRowTest;

TEST_F(DebuggerLaunch, GrantFormOpensTheProcessForTheDebugger)
{
    ChildProcess restricted(QUERY_ONLY_SDDL);
    ASSERT_TRUE(restricted.started());
    ui::platform.instance = GetModuleHandleW(nullptr);
    MessageBoxCatcher catcher;
    // The test debugger takes the id it should be given, then what to do.
    auto launch = [&](unsigned command, const wchar_t* format, const wchar_t* mode) {
        RegisteredDebugger debugger(format + std::to_wstring(restricted.processId()) + L" " + mode);
        Run(model::isProcess, restricted.processId(), command);
        DWORD debuggerId = 0;
        std::wstring outcome = debugger.Outcome(&debuggerId);
        // Still attached: the event ended the wait, not the debugger's end.
        return outcome == L"signalled" && !IsRunning(debuggerId) ? L"ended" : outcome;
    };
    EXPECT_EQ(L"no-access", launch(CMD_DEBUG_PROCESS, L"%ld %lu ", L""));
    EXPECT_EQ(L"signalled", launch(CMD_DEBUG_PROCESS + GRANT_OFFSET, L"%ld %lu ", L""));
    EXPECT_EQ(L"silent", launch(CMD_DEBUG_PROCESS, L"%ld %lu ", L"silent"));
    EXPECT_EQ(L"", launch(CMD_DEBUG_PROCESS, L"%s %lu ", L"")) << "an unsafe format starts nothing";
    // A trailing pointer conversion is written as 0: the two values are still
    // the only ones read (the stand-in takes "-j" for its mode).
    EXPECT_EQ(L"signalled", launch(CMD_DEBUG_PROCESS + GRANT_OFFSET, L"%ld %lu ", L"-j 0x%p"));
    // The catcher sees the wait dialogs too, and no failure box.
    for (auto& box : catcher.boxes)
        EXPECT_EQ(L"Waiting for the debugger to attach to test_child.exe", box.text);
}

} // namespace
