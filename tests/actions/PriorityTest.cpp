#include "actions/Priority.h"

#include "core/Handles.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using testing_support::ChildProcess;
using testing_support::MenuLine;
using testing_support::MenuLines;
using Lines = std::vector<std::wstring>;

// A menu line for a command item (see MenuLines).
std::wstring Item(unsigned command, const std::wstring& text, bool greyed, bool checked)
{
    return text + L" #" + std::to_wstring(command) + (checked ? L" checked" : L"") + (greyed ? L" greyed" : L"");
}

// The set right, the grant form, or neither; the middle classes only when asked for.
TEST(Priority, ProcessItemsFollowTheRightsAndTheClass)
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

// Values between the named priorities exist only in the real-time class and
// show, greyed, where they fall.
TEST(Priority, ThreadItemsShowTheCurrentPriorityWhereItFalls)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(SetPriorityClass(child.process(), REALTIME_PRIORITY_CLASS));
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

} // namespace
