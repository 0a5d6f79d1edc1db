#include "actions/ObjectCommands.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ChildProcess;
using testing_support::ExitCodeAfterEnd;

// The selected row, and the thread-open function, as the program has them.
class ObjectCommands : public ::testing::Test {
protected:
    void SetUp() override { app::state.openThreadFn = OpenThread; }
    void TearDown() override
    {
        model::state.selectedRecord = nullptr;
        app::state.openThreadFn = nullptr;
        perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
    }

    void Select(uint32_t kind, uint32_t id)
    {
        record.flags = kind;
        record.id = id;
        model::state.selectedRecord = &record;
    }

    static void Dispatch(unsigned command) { app::DispatchCommand(nullptr, 0, command, 0); }

    model::InstanceRecord record;
};

TEST_F(ObjectCommands, ActOnlyOnALocalRowOfTheirKindWithAnId)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    core::KernelHandle thread{OpenThread(THREAD_QUERY_INFORMATION, FALSE, child.threadId())};
    testing_support::MessageBoxCatcher catcher;

    Select(model::isProcess, child.processId());
    Dispatch(CMD_PRIORITY_CLASS_HIGH);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(child.process()));
    Select(model::isThread, child.threadId());
    Dispatch(CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(thread.Get()));

    // Each of these leaves both as they are.
    Select(model::isThread, child.processId());
    Dispatch(CMD_PRIORITY_CLASS_IDLE);
    Select(model::isProcess, 0);
    Dispatch(CMD_PRIORITY_CLASS_IDLE);
    Select(model::isProcess, child.threadId());
    Dispatch(CMD_THREAD_PRIORITY_BASE);
    Select(model::isThread, 0);
    Dispatch(CMD_THREAD_PRIORITY_BASE);
    // Another machine's ids name nothing here.
    HKEY remote = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &remote));
    perf::perfData.perfDataKey.Reset(remote);
    Select(model::isProcess, child.processId());
    Dispatch(CMD_PRIORITY_CLASS_IDLE);
    Select(model::isThread, child.threadId());
    Dispatch(CMD_THREAD_PRIORITY_BASE);
    Dispatch(CMD_TERMINATE_THREAD);

    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(child.process()));
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(thread.Get()));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(child.process(), 0));
    EXPECT_TRUE(catcher.boxes.empty());
}

TEST_F(ObjectCommands, TerminateGrantingTheRightWhereNeeded)
{
    ChildProcess restricted(testing_support::QUERY_ONLY_SDDL);
    ASSERT_TRUE(restricted.started());
    testing_support::MessageBoxCatcher catcher;
    Select(model::isProcess, restricted.processId());
    Dispatch(CMD_TERMINATE_PROCESS);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Terminate Process failed, Win32 Error=0x5 (5)\nAccess denied.\r\n", catcher.boxes[0].text);
    Dispatch(CMD_PRIORITY_CLASS_HIGH + GRANT_OFFSET);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(restricted.process()));
    Dispatch(CMD_TERMINATE_PROCESS + GRANT_OFFSET);
    EXPECT_EQ(0u, ExitCodeAfterEnd(restricted.process()));

    ChildProcess child(nullptr, testing_support::THREAD_QUERY_ONLY_SDDL);
    ASSERT_TRUE(child.started());
    Select(model::isThread, child.threadId());
    Dispatch(CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST + GRANT_OFFSET);
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(child.mainThread()));
    Dispatch(CMD_TERMINATE_THREAD + GRANT_OFFSET);
    EXPECT_EQ(0xDEADBAADu, ExitCodeAfterEnd(child.process()));
    EXPECT_EQ(1u, catcher.boxes.size());
}

TEST_F(ObjectCommands, ProcessThatEndedIsReportedAtOpen)
{
    DWORD endedId = 0;
    {
        ChildProcess child;
        ASSERT_TRUE(child.started());
        endedId = child.processId();
    }
    // The system lets go of an ended process's id a moment after its last handle.
    for (int i = 0; i < 500 && core::KernelHandle{OpenProcess(SYNCHRONIZE, FALSE, endedId)}; ++i)
        Sleep(10);
    testing_support::MessageBoxCatcher catcher;
    Select(model::isProcess, endedId);
    Dispatch(CMD_PRIORITY_CLASS_NORMAL);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Open Process failed, Win32 Error=0x57 (87)\nInvalid parameter.\r\n", catcher.boxes[0].text);
}

} // namespace
