#include "actions/Priority.h"

#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"
#include "support/SelectedRow.h"

#include <tuple>

namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

// A menu line for a command item (see MenuLines).
std::wstring Item(unsigned command, const std::wstring& text, bool greyed, bool checked)
{
    return text + L" #" + std::to_wstring(command) + (checked ? L" checked" : L"") + (greyed ? L" greyed" : L"");
}

// The set right, the grant form, or neither; the middle classes only when
// asked for; the current value checked. (Threads': ContextMenuTest.)
TEST(Priority, ProcessItemsFollowTheRightsAndTheCurrentValue)
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
}

using ObjectCommands = SelectedRowTest;

TEST_F(ObjectCommands, ActOnlyOnALocalRowOfTheirKindWithAnId)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    MessageBoxCatcher catcher;
    Run(model::isProcess, child.processId(), CMD_PRIORITY_CLASS_HIGH);
    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE + THREAD_PRIORITY_HIGHEST);

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
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, GetThreadPriority(child.mainThread()));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(child.process(), 0));
    EXPECT_TRUE(catcher.boxes.empty());

    // A process that ended (its id names nothing) is reported at the open.
    perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
    Run(model::isProcess, 0xFFFFFFF0u, CMD_PRIORITY_CLASS_NORMAL);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(L"Open Process failed, Win32 Error=0x57 (87)\nInvalid parameter.\r\n", catcher.boxes[0].text);
}

std::string boostCalls; // p or t, capital when boost is disabled

// Every priority and boost command the menus offer reaches its action: the
// plain form on a child we may change, the grant form on one that lets us
// query it only but may be re-permissioned. Each class is then the one read
// back and the one marked in the menu.
TEST_F(ObjectCommands, EveryPriorityAndBoostCommandActsInBothForms)
{
    ChildProcess open, restricted(QUERY_ONLY_SDDL, THREAD_QUERY_ONLY_SDDL);
    ASSERT_TRUE(open.started() && restricted.started());
    MessageBoxCatcher catcher;
    actions::boostSetters = {[](HANDLE, BOOL disable) { return boostCalls += disable ? 'P' : 'p', TRUE; },
                             [](HANDLE, BOOL disable) { return boostCalls += disable ? 'T' : 't', TRUE; }};
    const std::pair<unsigned, DWORD> classes[] = {
        {CMD_PRIORITY_CLASS_IDLE, IDLE_PRIORITY_CLASS}, {CMD_PRIORITY_CLASS_BELOW_NORMAL, BELOW_NORMAL_PRIORITY_CLASS},
        {CMD_PRIORITY_CLASS_NORMAL, NORMAL_PRIORITY_CLASS}, {CMD_PRIORITY_CLASS_ABOVE_NORMAL, ABOVE_NORMAL_PRIORITY_CLASS},
        {CMD_PRIORITY_CLASS_HIGH, HIGH_PRIORITY_CLASS}, {CMD_PRIORITY_CLASS_REALTIME, REALTIME_PRIORITY_CLASS}};
    for (unsigned offset : {0u, unsigned{GRANT_OFFSET}}) {
        const ChildProcess& child = offset ? restricted : open;
        for (unsigned boost : {CMD_ENABLE_PROCESS_BOOST, CMD_DISABLE_PROCESS_BOOST})
            Run(model::isProcess, child.processId(), boost + offset);
        for (unsigned boost : {CMD_ENABLE_THREAD_BOOST, CMD_DISABLE_THREAD_BOOST})
            Run(model::isThread, child.threadId(), boost + offset);
        for (auto [command, value] : classes) {
            Run(model::isProcess, child.processId(), command + offset);
            EXPECT_EQ(value, GetPriorityClass(child.process())) << command + offset;
            core::Menu menu{CreatePopupMenu()};
            actions::AppendProcessPriorityItems(menu.Get(), child.process(),
                                                PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, true);
            EXPECT_TRUE(GetMenuState(GetSubMenu(menu.Get(), 1), command, MF_BYCOMMAND) & MF_CHECKED) << command;
        }
        for (int priority : {-15, -2, -1, 0, 1, 2, 15}) {
            Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE + priority + offset);
            EXPECT_EQ(priority, GetThreadPriority(child.mainThread())) << offset;
        }
    }
    actions::boostSetters = {};
    EXPECT_EQ("pPtTpPtT", boostCalls);
    EXPECT_TRUE(catcher.boxes.empty());
}

// Ending a process or a thread, plainly, or on a child that lets us query it
// only, after granting ourselves the right.
TEST_F(ObjectCommands, TerminateCommandsEndTheirObjectInBothForms)
{
    MessageBoxCatcher catcher;
    for (unsigned offset : {0u, unsigned{GRANT_OFFSET}}) {
        ChildProcess process(offset ? QUERY_ONLY_SDDL : nullptr), thread(nullptr, offset ? THREAD_QUERY_ONLY_SDDL : nullptr);
        ASSERT_TRUE(process.started() && thread.started());
        Run(model::isProcess, process.processId(), CMD_TERMINATE_PROCESS + offset);
        EXPECT_EQ(0u, ExitCodeAfterEnd(process.process())) << offset;
        Run(model::isThread, thread.threadId(), CMD_TERMINATE_THREAD + offset);
        EXPECT_EQ(0xDEADBAADu, ExitCodeAfterEnd(thread.process())) << offset;
    }
    EXPECT_TRUE(catcher.boxes.empty());
}

TEST_F(ObjectCommands, RefusedCallsAreReportedUnderTheirOwnNames)
{
    // Someone else's process, which lets us query it only: each action and
    // the grant that would make it possible fail under their own names.
    ChildProcess child, foreign(L"O:SYD:P(A;;0x100400;;;WD)");
    ASSERT_TRUE(child.started() && foreign.started());
    MessageBoxCatcher catcher;
    Run(model::isProcess, foreign.processId(), CMD_PRIORITY_CLASS_HIGH);
    Run(model::isProcess, foreign.processId(), CMD_TERMINATE_PROCESS);
    Run(model::isProcess, foreign.processId(), CMD_TERMINATE_PROCESS + GRANT_OFFSET);
    Run(model::isThread, child.threadId(), CMD_THREAD_PRIORITY_BASE - 7); // not a priority of this class
    Lines operations;
    for (const CaughtBox& box : catcher.boxes)
        operations.push_back(box.text.substr(0, box.text.find(L" failed, Win32 Error=")));
    EXPECT_EQ((Lines{L"Set Process Priority", L"Terminate Process", L"Change process security", L"Set Thread Priority"}),
              operations);
}

} // namespace
