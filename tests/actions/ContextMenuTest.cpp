#include "actions/ContextMenu.h"

#include "ui/Platform.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfTestSupport.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

constexpr auto NoEditor = [](HWND, void*) -> BOOL { return FALSE; };

// A Process object with % Processor Time (shared with threads), its ID, the
// thread count and an unnamed counter; a Thread object with the shared
// counter, its ID and eleven unnamed ones.
std::vector<uint8_t> CountersBlock()
{
    perf::SnapshotWriter w;
    w.BeginBlock({}, u"TEST");
    w.BeginObject({230, 231});
    for (uint32_t index : {6u, 784u, 680u, 1500u})
        w.AddCounter({index, index + 1, index == 6 ? perf::TYPE_100NSEC_TIMER : perf::TYPE_RAWCOUNT, 8});
    w.BeginObject({232, 233});
    for (uint32_t index : {6u, 804u, 2000u, 2002u, 2004u, 2006u, 2008u, 2010u, 2012u, 2014u, 2016u, 2018u, 2020u})
        w.AddCounter({index, index + 1, perf::TYPE_RAWCOUNT, 8});
    w.BeginObject({240, 241}); // only for the walk past the thread counters to run into
    w.AddCounter({3000, 3001, perf::TYPE_RAWCOUNT, 8});
    return w.Finish();
}

class ContextMenu : public ReplayFixture {
protected:
    void SetUp() override
    {
        ReplayFixture::SetUp();
        replay.Serve(CountersBlock());
        perf::TakeSnapshot(nullptr);
        view::viewState.counter = {6, perf::TYPE_100NSEC_TIMER, perf::DISPLAY_NATURAL};
        ui::platform.openThreadFn = OpenThread;
        ui::platform.editSecurityFn = NoEditor;
        SetControl(false);
    }
    void TearDown() override
    {
        SetControl(false);
        WriteProfileStringW(L"AeDebug", L"Debugger", nullptr);
        ui::platform = ui::PlatformState();
        view::viewState.counter = perf::CounterSelection();
        perf::perfData.machineKey.Reset(HKEY_LOCAL_MACHINE);
        perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
        ReplayFixture::TearDown();
    }

    // The key state GetKeyState reads on this thread.
    static void SetControl(bool down)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }

    // The menu for a row of the kind (none for 0), as lines.
    Lines Build(uint32_t kind = 0, DWORD id = 0)
    {
        record.flags = kind;
        record.id = id;
        model::CopyLabel(record.label, L"test_child.exe");
        menu = actions::BuildContextMenu(kind ? &record : nullptr);
        return MenuLines(menu.Get());
    }
    // The selected object's sub-menu (row 4), or its sub-menu at `position`, or that one's first line.
    Lines Object() const { return MenuLines(GetSubMenu(menu.Get(), 3)); }
    Lines Sub(int position) const { return MenuLines(GetSubMenu(GetSubMenu(menu.Get(), 3), position)); }
    std::wstring First(int position) const
    {
        Lines lines = Sub(position);
        return lines.empty() ? L"" : lines[0];
    }

    model::InstanceRecord record;
    core::Menu menu;
};

TEST_F(ContextMenu, CountersViewAndMachines)
{
    // The shared counter in the menu itself; each list ends at its object's own count.
    Lines lines = Build();
    EXPECT_EQ(L"% Processor Time #8000 checked", lines[11]);
    EXPECT_EQ((Lines{L"ID Process #8001", L"Thread Count #8002", L"Unknown (1500) #8003"}),
              MenuLines(GetSubMenu(menu.Get(), 12)));
    Lines threadOnly = MenuLines(GetSubMenu(menu.Get(), 13));
    ASSERT_EQ(12u, threadOnly.size());
    EXPECT_EQ(L"Unknown (2020) #9012", threadOnly.back());
    view::viewState.counter.displayType = perf::DISPLAY_TOTAL_TIME;
    Build();
    EXPECT_EQ((Lines{L"100ns Timer (%) #7900", L"Total Time #7901 checked"}), MenuLines(GetSubMenu(menu.Get(), 9)));

    // Another machine's processes are neither acted on nor loaded.
    EXPECT_EQ(L"Selected Process: test_child.exe >", Build(model::isProcess, 0xFFFFFFF0u)[3]);
    for (auto* key : {&perf::perfData.machineKey, &perf::perfData.perfDataKey}) {
        HKEY remote = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &remote));
        key->Reset(remote);
    }
    lines = Build(model::isProcess, 0xFFFFFFF0u);
    EXPECT_EQ((Lines{L"&Local Machine #2002", L"&Remote Machine... #2003 checked", L"---", L"Show &Total #2000"}),
              Lines(lines.begin(), lines.begin() + 4));
    EXPECT_EQ(L"Load &Generator #2006 greyed", lines[8]);
}

TEST_F(ContextMenu, ProcessAndThreadRows)
{
    ChildProcess child, restricted(QUERY_ONLY_SDDL);
    ASSERT_TRUE(child.started() && restricted.started());
    ASSERT_TRUE(WriteProfileStringW(L"AeDebug", L"Debugger", L"dbg.exe -p %ld -e %ld"));
    SetControl(true);
    Build(model::isProcess, child.processId());
    EXPECT_EQ((Lines{L"Terminate Process >", L"Debug >", L"Enable Process Priority Boost #2015 checked",
                     L"&Priority Class >", L"Your &Rights >", L"&Security Details #2021", L"&Security Details >"}),
              Object());
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #2011", First(0));
    EXPECT_EQ(L"&Yes, Debug this process #2009", First(1));

    // Only query rights, but the list may be changed: the grant forms.
    SetControl(false);
    Build(model::isProcess, restricted.processId());
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #3011", First(0));
    EXPECT_EQ(L"&Yes, Debug this process #3009", First(1));

    // A process that cannot be opened, no debugger registered, no editor, Control held.
    WriteProfileStringW(L"AeDebug", L"Debugger", nullptr);
    ui::platform.editSecurityFn = nullptr;
    SetControl(true);
    Build(model::isProcess, 0xFFFFFFF0u);
    EXPECT_EQ((Lines{L"Terminate Process > greyed", L"Your &Rights >", L"&Security Details > greyed"}), Object());
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #1 greyed", First(0));
    Lines rights = MenuLines(GetSubMenu(GetSubMenu(menu.Get(), 3), 1));
    EXPECT_EQ(L"Force process termination #1 greyed", rights.empty() ? L"" : rights[0]);
    EXPECT_TRUE(std::all_of(rights.begin(), rights.end(), [](auto& l) { return l.ends_with(L" greyed"); }));

    SetControl(false);
    ui::platform.editSecurityFn = NoEditor;
    EXPECT_EQ(L"Selected Thread: test_child.exe >", Build(model::isThread, child.threadId())[3]);
    EXPECT_EQ((Lines{L"Terminate Thread >", L"Enable Thread Priority Boost #2201 checked", L"Priority >",
                     L"Your &Rights >", L"&Security Details #2021"}),
              Object());
    EXPECT_EQ(L"&Yes, Terminate the thread and irreversibly corrupt the process #2202", First(0));
    // Priorities between the named ones exist only in the real-time class
    // and show, greyed, where they fall.
    ASSERT_TRUE(SetPriorityClass(child.process(), REALTIME_PRIORITY_CLASS) &&
                SetThreadPriority(child.mainThread(), 6));
    Build(model::isThread, child.threadId());
    Lines priorities = Sub(2);
    EXPECT_EQ((Lines{L"High #2317", L"+6 #2321 checked greyed", L"Time Critical #2330"}),
              Lines(priorities.begin() + 5, priorities.end()));

    // With id 0, or without OpenThread, a thread row has no sub-menu.
    EXPECT_EQ(L"Show &Total #2000", Build(model::isThread, 0)[3]);
    ui::platform.openThreadFn = nullptr;
    EXPECT_EQ(L"Show &Total #2000", Build(model::isThread, child.threadId())[3]);
}

} // namespace

TEST_F(ContextMenu, AnObjectWithNoCountersOfItsOwnHasTheGreyedItemInsteadOfAnEmptyMenu)
{
    perf::SnapshotWriter w;
    w.BeginBlock({}, u"TEST");
    for (uint32_t object : {230u, 232u}) {
        w.BeginObject({object, object + 1});
        w.AddCounter({6, 7, perf::TYPE_100NSEC_TIMER, 8}); // in both objects
    }
    replay.answers = {{ERROR_SUCCESS, w.Finish()}};
    perf::TakeSnapshot(nullptr);
    Lines lines = Build();
    EXPECT_EQ(L"Process counters not available #1 greyed", lines.at(12)) << "in place of the sub-menu";
    EXPECT_EQ(L"Thread counters not available #1 greyed", lines.at(13));
}
