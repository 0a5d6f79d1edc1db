#include "actions/Priority.h"

#include "core/Handles.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::ChildProcess;
using testing_support::MenuLines;

using Lines = std::vector<std::wstring>;

// A menu line for a command item (see MenuLines).
std::wstring Item(unsigned command, const std::wstring& text, bool greyed, bool checked)
{
    return text + L" #" + std::to_wstring(command) + (checked ? L" checked" : L"") + (greyed ? L" greyed" : L"");
}

HMENU SubMenu(HMENU menu, int position) { return GetSubMenu(menu, position); }

TEST(Priority, ProcessClassesAndBoostAreSetAndShown)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    HANDLE process = child.process();
    for (auto [command, value] : {std::pair{CMD_PRIORITY_CLASS_IDLE, IDLE_PRIORITY_CLASS},
                                  std::pair{CMD_PRIORITY_CLASS_BELOW_NORMAL, BELOW_NORMAL_PRIORITY_CLASS},
                                  std::pair{CMD_PRIORITY_CLASS_ABOVE_NORMAL, ABOVE_NORMAL_PRIORITY_CLASS},
                                  std::pair{CMD_PRIORITY_CLASS_NORMAL, NORMAL_PRIORITY_CLASS},
                                  std::pair{CMD_PRIORITY_CLASS_HIGH, HIGH_PRIORITY_CLASS}}) {
        EXPECT_TRUE(actions::PerformProcessPriorityCommand(nullptr, process, command)) << command;
        EXPECT_EQ(static_cast<DWORD>(value), GetPriorityClass(process)) << command;
    }
    // Wine reports boost on whatever was set, so only the last change (on) is read back.
    EXPECT_TRUE(actions::PerformProcessPriorityCommand(nullptr, process, CMD_DISABLE_PROCESS_BOOST));
    EXPECT_TRUE(actions::PerformProcessPriorityCommand(nullptr, process, CMD_ENABLE_PROCESS_BOOST));

    const DWORD query = PROCESS_QUERY_INFORMATION;
    struct Case {
        DWORD mask;
        bool middle;
        unsigned offset;
        bool greyed;
        int classCount;
    };
    for (Case c : {Case{query | PROCESS_SET_INFORMATION, true, 0, false, 6},
                   Case{query | WRITE_DAC, true, GRANT_OFFSET, false, 6}, Case{query, false, 0, true, 4}}) {
        core::Menu menu{CreatePopupMenu()};
        actions::AppendProcessPriorityItems(menu.Get(), process, c.mask, c.middle);
        Lines items = MenuLines(menu.Get());
        ASSERT_EQ(2u, items.size()) << c.mask;
        unsigned boostCommand = c.greyed ? CMD_NONE : CMD_DISABLE_PROCESS_BOOST + c.offset;
        EXPECT_EQ(Item(boostCommand, L"Enable Process Priority Boost", c.greyed, true), items[0]);
        EXPECT_EQ(L"&Priority Class >", items[1]);
        Lines classes = MenuLines(SubMenu(menu.Get(), 1));
        ASSERT_EQ(static_cast<size_t>(c.classCount), classes.size()) << c.mask;
        EXPECT_EQ(Item(CMD_PRIORITY_CLASS_IDLE + c.offset, L"Idle", c.greyed, false), classes.front());
        EXPECT_EQ(Item(CMD_PRIORITY_CLASS_HIGH + c.offset, L"High", c.greyed, true), classes[classes.size() - 2]);
        EXPECT_EQ(Item(CMD_PRIORITY_CLASS_REALTIME + c.offset, L"Realtime", c.greyed, false), classes.back());
    }

    core::Menu none{CreatePopupMenu()};
    actions::AppendProcessPriorityItems(none.Get(), process, PROCESS_ALL_ACCESS & ~query, true);
    EXPECT_EQ(0, GetMenuItemCount(none.Get()));
}

TEST(Priority, ThreadPrioritiesAreSetAndShown)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    core::KernelHandle thread{OpenThread(THREAD_ALL_ACCESS, FALSE, child.threadId())};
    ASSERT_TRUE(thread);
    for (int value : {-15, -2, -1, 1, 2, 15, 0}) {
        EXPECT_TRUE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_THREAD_PRIORITY_BASE + value));
        EXPECT_EQ(value, GetThreadPriority(thread.Get()));
    }
    EXPECT_TRUE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_DISABLE_THREAD_BOOST));
    EXPECT_TRUE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_ENABLE_THREAD_BOOST));

    core::Menu menu{CreatePopupMenu()};
    actions::AppendThreadPriorityItems(menu.Get(), thread.Get(), THREAD_QUERY_INFORMATION | WRITE_DAC);
    Lines items = MenuLines(menu.Get());
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(Item(CMD_DISABLE_THREAD_BOOST + GRANT_OFFSET, L"Enable Thread Priority Boost", false, true), items[0]);
    EXPECT_EQ(L"Priority >", items[1]);
    // Seven named priorities in the grant form, the current one checked.
    Lines priorities = MenuLines(SubMenu(menu.Get(), 1));
    ASSERT_EQ(7u, priorities.size());
    EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE + GRANT_OFFSET, L"Normal", false, true), priorities[3]);
    EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE + GRANT_OFFSET + 15, L"Time Critical", false, false), priorities[6]);
}

TEST(Priority, InBetweenThreadPrioritiesShowGreyedWhereTheyFall)
{
    // Values between the named ones exist only in the real-time class.
    ChildProcess child;
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(SetPriorityClass(child.process(), REALTIME_PRIORITY_CLASS));
    core::KernelHandle thread{OpenThread(THREAD_ALL_ACCESS, FALSE, child.threadId())};
    ASSERT_TRUE(thread);
    for (auto [value, text, position] : {std::tuple{-7, L"-7", 1}, std::tuple{6, L"+6", 6}}) {
        ASSERT_TRUE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_THREAD_PRIORITY_BASE + value));
        core::Menu menu{CreatePopupMenu()};
        actions::AppendThreadPriorityItems(menu.Get(), thread.Get(), THREAD_QUERY_INFORMATION);
        Lines priorities = MenuLines(SubMenu(menu.Get(), 1));
        ASSERT_EQ(8u, priorities.size());
        EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE + value, text, true, true), priorities[position]);
        EXPECT_EQ(Item(CMD_THREAD_PRIORITY_BASE, L"Normal", true, false), priorities[position == 1 ? 4 : 3]);
    }
}

TEST(Priority, FailedChangeIsReported)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    core::KernelHandle thread{OpenThread(THREAD_ALL_ACCESS, FALSE, child.threadId())};
    core::KernelHandle queryOnly{OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, child.processId())};
    testing_support::MessageBoxCatcher catcher;
    // -7 needs the real-time class; setting a class needs PROCESS_SET_INFORMATION.
    EXPECT_FALSE(actions::PerformThreadPriorityCommand(nullptr, thread.Get(), CMD_THREAD_PRIORITY_BASE - 7));
    EXPECT_FALSE(actions::PerformProcessPriorityCommand(nullptr, queryOnly.Get(), CMD_PRIORITY_CLASS_HIGH));
    // Wine's texts for the two codes.
    ASSERT_EQ(2u, catcher.boxes.size());
    EXPECT_EQ(L"Set Thread Priority failed, Win32 Error=0x57 (87)\nInvalid parameter.\r\n",
              catcher.boxes[0].text);
    EXPECT_EQ(L"Set Process Priority failed, Win32 Error=0x5 (5)\nAccess denied.\r\n", catcher.boxes[1].text);
    EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(queryOnly.Get()));
}

} // namespace
