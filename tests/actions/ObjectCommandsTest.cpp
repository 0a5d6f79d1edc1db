#include "actions/ObjectCommands.h"
#include "actions/Open.h"
#include "actions/Priority.h"

#include "ui/Platform.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

TEST(Open, ProbesEveryRightOfProcessesAndThreads)
{
    ChildProcess child, restricted(QUERY_ONLY_SDDL);
    ASSERT_TRUE(child.started() && restricted.started());
    DWORD granted = 0;
    core::KernelHandle process = actions::OpenProcessProbed(child.processId(), granted);
    ASSERT_TRUE(process);
    EXPECT_EQ(static_cast<DWORD>(PROCESS_ALL_ACCESS), granted & (PROCESS_ALL_ACCESS | MAXIMUM_ALLOWED));
    // The handle carries the whole mask: a right it needs works through it.
    EXPECT_NE(0u, GetPriorityClass(process.Get()));
    // No terminate right, but the list may be changed (the grant forms).
    EXPECT_TRUE(actions::OpenProcessProbed(restricted.processId(), granted));
    EXPECT_EQ(static_cast<DWORD>(WRITE_DAC), granted & (PROCESS_TERMINATE | WRITE_DAC));
    // An id that names nothing gives neither rights nor a handle.
    EXPECT_FALSE(actions::OpenProcessProbed(0xFFFFFFF0u, granted));
    EXPECT_EQ(0u, granted);

    granted = 0x1234;
    EXPECT_FALSE(actions::OpenThreadProbed(child.threadId(), granted)) << "no OpenThread";
    EXPECT_EQ(0x1234u, granted);
    ui::platform.openThreadFn = OpenThread;
    EXPECT_TRUE(actions::OpenThreadProbed(child.threadId(), granted));
    ui::platform.openThreadFn = nullptr;
    EXPECT_EQ(static_cast<DWORD>(THREAD_ALL_ACCESS), granted & THREAD_ALL_ACCESS);
}

// A menu line for a command item (see MenuLines).
std::wstring Item(unsigned command, const std::wstring& text, bool greyed, bool checked)
{
    return text + L" #" + std::to_wstring(command) + (checked ? L" checked" : L"") + (greyed ? L" greyed" : L"");
}

// The set right, the grant form, or neither; the middle classes only when
// asked for; the current value checked.
TEST(Priority, ItemsFollowTheRightsAndTheCurrentValue)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    HANDLE process = child.process();
    ASSERT_TRUE(actions::PerformProcessPriorityCommand(nullptr, process, CMD_PRIORITY_CLASS_HIGH));
    const DWORD query = PROCESS_QUERY_INFORMATION;
    for (auto [mask, offset, classCount] : {std::tuple{query | PROCESS_SET_INFORMATION, 0u, 6u},
                                            std::tuple{query | WRITE_DAC, unsigned{GRANT_OFFSET}, 6u},
                                            std::tuple{query, 0u, 4u}}) {
        core::Menu menu{CreatePopupMenu()};
        actions::AppendProcessPriorityItems(menu.Get(), process, mask, classCount == 6);
        bool greyed = mask == query;
        unsigned boost = greyed ? CMD_NONE : CMD_DISABLE_PROCESS_BOOST + offset;
        EXPECT_EQ((Lines{Item(boost, L"Enable Process Priority Boost", greyed, true), L"&Priority Class >"}),
                  MenuLines(menu.Get()));
        Lines classes = MenuLines(GetSubMenu(menu.Get(), 1));
        ASSERT_EQ(classCount, classes.size()) << mask;
        EXPECT_EQ(Item(CMD_PRIORITY_CLASS_IDLE + offset, L"Idle", greyed, false), classes.front());
        EXPECT_EQ(Item(CMD_PRIORITY_CLASS_HIGH + offset, L"High", greyed, true), classes[classCount - 2]);
    }

    // Thread priorities between the named ones exist only in the real-time
    // class and show, greyed, where they fall.
    ASSERT_TRUE(SetPriorityClass(process, REALTIME_PRIORITY_CLASS));
    core::KernelHandle thread{OpenThread(THREAD_ALL_ACCESS, FALSE, child.threadId())};
    ASSERT_TRUE(thread);
    for (auto [value, text, position, offset] :
         {std::tuple{-7, L"-7", 1u, unsigned{GRANT_OFFSET}}, std::tuple{6, L"+6", 6u, 0u}}) {
        ASSERT_TRUE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_THREAD_PRIORITY_BASE + value));
        core::Menu menu{CreatePopupMenu()};
        DWORD mask = THREAD_QUERY_INFORMATION | (offset ? WRITE_DAC : 0);
        actions::AppendThreadPriorityItems(menu.Get(), thread.Get(), mask);
        bool greyed = offset == 0;
        unsigned boost = greyed ? CMD_NONE : CMD_DISABLE_THREAD_BOOST + offset;
        EXPECT_EQ(Item(boost, L"Enable Thread Priority Boost", greyed, true), MenuLine(menu.Get(), 0));
        Lines priorities = MenuLines(GetSubMenu(menu.Get(), 1));
        ASSERT_EQ(8u, priorities.size());
        EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE + offset + value, text, true, true), priorities[position]);
        EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE + offset, L"Normal", greyed, false), priorities[position == 1 ? 4 : 3]);
    }
}

// The selected row, and the thread-open function, as the program has them.
class ObjectCommands : public ::testing::Test {
protected:
    void SetUp() override { ui::platform.openThreadFn = OpenThread; }
    void TearDown() override
    {
        model::modelState.selectedRecord = nullptr;
        ui::platform.openThreadFn = nullptr;
        perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
    }

    void Run(uint32_t kind, uint32_t id, unsigned command)
    {
        record.flags = kind;
        record.id = id;
        model::modelState.selectedRecord = &record;
        app::DispatchCommand(nullptr, command);
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

namespace {

std::vector<std::pair<char, BOOL>> boostCalls;

} // namespace

TEST_F(ObjectCommands, BoostCommandsHandTheirFlagAndRefusedCallsAreReported)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    actions::boostSetters = {[](HANDLE, BOOL disable) -> BOOL { return boostCalls.push_back({'p', disable}), TRUE; },
                             [](HANDLE, BOOL disable) -> BOOL { return boostCalls.push_back({'t', disable}), TRUE; }};
    Run(model::isProcess, child.processId(), CMD_ENABLE_PROCESS_BOOST);
    Run(model::isProcess, child.processId(), CMD_DISABLE_PROCESS_BOOST);
    Run(model::isThread, child.threadId(), CMD_ENABLE_THREAD_BOOST);
    Run(model::isThread, child.threadId(), CMD_DISABLE_THREAD_BOOST);
    actions::boostSetters = {};
    EXPECT_EQ((std::vector<std::pair<char, BOOL>>{{'p', FALSE}, {'p', TRUE}, {'t', FALSE}, {'t', TRUE}}), boostCalls);

    // Someone else's process, which lets us query it only: each action and
    // the grant that would make it possible fail under their own names.
    ChildProcess foreign(L"O:SYD:P(A;;0x100400;;;WD)");
    ASSERT_TRUE(foreign.started());
    MessageBoxCatcher catcher;
    Run(model::isProcess, foreign.processId(), CMD_PRIORITY_CLASS_HIGH);
    Run(model::isProcess, foreign.processId(), CMD_TERMINATE_PROCESS);
    Run(model::isProcess, foreign.processId(), CMD_TERMINATE_PROCESS + GRANT_OFFSET);
    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE - 7); // not a priority of this class
    std::vector<std::wstring> operations;
    for (const CaughtBox& box : catcher.boxes)
        operations.push_back(box.text.substr(0, box.text.find(L" failed, Win32 Error=")));
    EXPECT_EQ((std::vector<std::wstring>{L"Set Process Priority", L"Terminate Process", L"Change process security",
                                         L"Set Thread Priority"}),
              operations);
}
