#include "actions/ObjectCommands.h"
#include "actions/Priority.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

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

    void Run(uint32_t kind, uint32_t id, unsigned command)
    {
        record.flags = kind;
        record.id = id;
        model::state.selectedRecord = &record;
        app::DispatchCommand(nullptr, 0, command, 0);
    }

    model::InstanceRecord record;
};

TEST_F(ObjectCommands, ActOnlyOnALocalRowOfTheirKindWithAnId)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    core::KernelHandle thread{OpenThread(THREAD_QUERY_INFORMATION, FALSE, child.threadId())};
    MessageBoxCatcher catcher;
    Run(model::isProcess, child.processId(), CMD_PRIORITY_CLASS_HIGH);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(child.process()));
    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(thread.Get()));
    // Wine reports boost on whatever was set: only the commands' success shows.
    EXPECT_TRUE(actions::PerformProcessPriorityCommand(nullptr, child.process(), CMD_DISABLE_PROCESS_BOOST));
    EXPECT_TRUE(actions::PerformThreadPriorityCommand(nullptr, child.mainThread(), CMD_DISABLE_THREAD_BOOST));

    // Each of these leaves both as they are: the other kind's row, id 0, or
    // (after the switch) another machine's ids, which name nothing here.
    Run(model::isThread, child.processId(), CMD_PRIORITY_CLASS_IDLE);
    Run(model::isProcess, 0, CMD_PRIORITY_CLASS_IDLE);
    Run(model::isProcess, child.threadId(), CMD_THREAD_PRIORITY_BASE);
    Run(model::isThread, 0, CMD_THREAD_PRIORITY_BASE);
    HKEY remote = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &remote));
    perf::perfData.perfDataKey.Reset(remote);
    Run(model::isProcess, child.processId(), CMD_PRIORITY_CLASS_IDLE);
    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE);
    Run(model::isThread, child.threadId(), CMD_TERMINATE_THREAD);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(child.process()));
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(thread.Get()));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(child.process(), 0));
    EXPECT_TRUE(catcher.boxes.empty());
}

// Only query rights, but the owner may change the list: the grant forms add
// the right, and the set rights' limited companions with them.
TEST_F(ObjectCommands, GrantFormsAddTheRightTheyNeed)
{
    ChildProcess restricted(QUERY_ONLY_SDDL), child(nullptr, THREAD_QUERY_ONLY_SDDL);
    ASSERT_TRUE(restricted.started() && child.started());
    MessageBoxCatcher catcher;
    Run(model::isProcess, restricted.processId(), CMD_PRIORITY_CLASS_HIGH + GRANT_OFFSET);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(restricted.process()));
    Run(model::isProcess, restricted.processId(), CMD_TERMINATE_PROCESS + GRANT_OFFSET);
    EXPECT_EQ(0u, ExitCodeAfterEnd(restricted.process()));

    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST + GRANT_OFFSET);
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(child.mainThread()));
    Run(model::isThread, child.threadId(), CMD_TERMINATE_THREAD + GRANT_OFFSET);
    EXPECT_EQ(0xDEADBAADu, ExitCodeAfterEnd(child.process()));
    EXPECT_TRUE(catcher.boxes.empty());
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
    MessageBoxCatcher catcher;
    Run(model::isProcess, endedId, CMD_PRIORITY_CLASS_NORMAL);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Open Process failed, Win32 Error=0x57 (87)\nInvalid parameter.\r\n", catcher.boxes[0].text);
}

} // namespace
