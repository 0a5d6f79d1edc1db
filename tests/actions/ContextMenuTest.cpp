#include "actions/ContextMenu.h"

#include "app/AppState.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfTestSupport.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

BOOL WINAPI NoEditor(HWND, void*)
{
    return FALSE;
}

// A Process object with % Processor Time (shared with threads), its ID, the
// thread count and an unnamed counter; a Thread object with the shared
// counter, its ID and eleven unnamed ones.
std::vector<uint8_t> CountersBlock(bool withObjects = true)
{
    perf::SnapshotWriter w;
    w.BeginBlock({}, u"TEST");
    w.BeginObject({withObjects ? 230u : 240u, 231});
    for (uint32_t index : {6u, 784u, 680u, 1500u})
        w.AddCounter({index, index + 1, index == 6 ? perf::TYPE_100NSEC_TIMER : perf::TYPE_RAWCOUNT, 8});
    if (withObjects) {
        w.BeginObject({232, 233});
        for (uint32_t index : {6u, 804u, 2000u, 2002u, 2004u, 2006u, 2008u, 2010u, 2012u, 2014u, 2016u, 2018u, 2020u})
            w.AddCounter({index, index + 1, perf::TYPE_RAWCOUNT, 8});
    }
    return w.Finish();
}

class ContextMenu : public ReplayFixture {
protected:
    void SetUp() override
    {
        ReplayFixture::SetUp();
        Sample(CountersBlock());
        perf::selection = {6, perf::TYPE_100NSEC_TIMER, perf::DISPLAY_NATURAL};
        app::state.openThreadFn = OpenThread;
        app::state.editSecurityFn = NoEditor;
        SetControl(false);
    }
    void TearDown() override
    {
        SetControl(false);
        WriteProfileStringW(L"AeDebug", L"Debugger", nullptr);
        app::state = app::AppState();
        model::state.showTotal = false;
        perf::selection = perf::CounterSelection();
        perf::perfData.machineKey.Reset(HKEY_LOCAL_MACHINE);
        perf::perfData.perfDataKey.Reset(HKEY_PERFORMANCE_DATA);
        ReplayFixture::TearDown();
    }

    void Sample(std::vector<uint8_t> block)
    {
        replay.answers.clear();
        replay.Serve(std::move(block));
        perf::TakeSnapshot(nullptr);
    }

    // The key state GetKeyState reads on this thread.
    static void SetControl(bool down)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }

    model::InstanceRecord& Row(uint32_t kind, DWORD id, const wchar_t* label)
    {
        record.flags = kind;
        record.id = id;
        model::CopyLabel(record.label, label);
        return record;
    }

    // The menu for the record, and its selected-object sub-menu (row 4).
    Lines Build(const model::InstanceRecord* row)
    {
        menu = actions::BuildContextMenu(row);
        return MenuLines(menu.Get());
    }
    HMENU ObjectMenu() const { return GetSubMenu(menu.Get(), 3); }

    model::InstanceRecord record;
    core::Menu menu;
};

TEST_F(ContextMenu, WithoutARowItListsMachineViewAndCounters)
{
    Lines lines = Build(nullptr);
    EXPECT_EQ((Lines{L"&Local Machine #2002 checked", L"&Remote Machine... #2003", L"---", L"Show &Total #2000"}),
              Lines(lines.begin(), lines.begin() + 4));
    // The shared counter in the menu itself; each list ends at its object's count.
    EXPECT_EQ(L"% Processor Time #8000 checked", lines[11]);
    EXPECT_EQ((Lines{L"ID Process #8001", L"Thread Count #8002", L"Unknown (1500) #8003"}),
              MenuLines(SubMenuOf(menu.Get(), L"Process-only")));
    Lines threadOnly = MenuLines(SubMenuOf(menu.Get(), L"Thread-only"));
    ASSERT_EQ(12u, threadOnly.size());
    EXPECT_EQ(L"Unknown (2020) #9012", threadOnly.back());
    EXPECT_EQ((Lines{L"100ns Timer (%) #7900 checked", L"Total Time #7901"}),
              MenuLines(SubMenuOf(menu.Get(), L"&View As")));

    // Options, the open load generator and another display type show checked;
    // a counter type without choices has no "View As".
    model::state.showTotal = true;
    app::state.loadGeneratorDialog = GetDesktopWindow();
    perf::selection.displayType = perf::DISPLAY_TOTAL_TIME;
    lines = Build(nullptr);
    EXPECT_EQ(L"Show &Total #2000 checked", lines[3]);
    EXPECT_EQ(L"Load &Generator #2006 checked", lines[8]);
    EXPECT_EQ(L"Total Time #7901 checked", MenuLine(SubMenuOf(menu.Get(), L"&View As"), 1));
    perf::selection.counterType = perf::TYPE_RAWCOUNT_HEX;
    EXPECT_EQ(L"---", Build(nullptr)[9]);

    Sample(CountersBlock(false));
    lines = Build(nullptr);
    EXPECT_EQ((Lines{L"Process counters not available #1 greyed", L"Thread counters not available #1 greyed"}),
              Lines(lines.end() - 5, lines.end() - 3));
}

TEST_F(ContextMenu, ProcessRows)
{
    ChildProcess child, restricted(QUERY_ONLY_SDDL);
    ASSERT_TRUE(child.started() && restricted.started());
    ASSERT_TRUE(WriteProfileStringW(L"AeDebug", L"Debugger", L"dbg.exe -p %ld -e %ld"));
    SetControl(true);
    EXPECT_EQ(L"Selected Process: test_child.exe >",
              Build(&Row(model::isProcess, child.processId(), L"test_child.exe"))[3]);
    EXPECT_EQ((Lines{L"Terminate Process >", L"Debug >", L"Enable Process Priority Boost #2015 checked",
                     L"&Priority Class >", L"Your &Rights >", L"&Security Details #2021", L"&Security Details >"}),
              MenuLines(ObjectMenu()));
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #2011", MenuLine(GetSubMenu(ObjectMenu(), 0), 0));
    EXPECT_EQ(L"&Yes, Debug this process #2009", MenuLine(GetSubMenu(ObjectMenu(), 1), 0));
    EXPECT_EQ(L"Force process termination #1 checked", MenuLine(GetSubMenu(ObjectMenu(), 4), 0));
    EXPECT_EQ(0u, MenuLine(GetSubMenu(ObjectMenu(), 6), 0).rfind(L"Owner: ", 0));

    // Only query rights, but the list may be changed: the grant forms.
    SetControl(false);
    Build(&Row(model::isProcess, restricted.processId(), L"restricted"));
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #3011", MenuLine(GetSubMenu(ObjectMenu(), 0), 0));
    EXPECT_EQ(L"&Yes, Debug this process #3009", MenuLine(GetSubMenu(ObjectMenu(), 1), 0));

    // A process that cannot be opened, no debugger registered, no editor, Control held.
    WriteProfileStringW(L"AeDebug", L"Debugger", nullptr);
    app::state.editSecurityFn = nullptr;
    SetControl(true);
    Build(&Row(model::isProcess, 0xFFFFFFF0u, L"gone"));
    EXPECT_EQ((Lines{L"Terminate Process > greyed", L"Your &Rights >", L"&Security Details > greyed"}),
              MenuLines(ObjectMenu()));
    EXPECT_EQ(L"&Yes, Terminate the process and lose all data #1 greyed", MenuLine(GetSubMenu(ObjectMenu(), 0), 0));
    Lines rights = MenuLines(GetSubMenu(ObjectMenu(), 1));
    ASSERT_EQ(L"Force process termination #1 greyed", rights.front());
    EXPECT_TRUE(std::all_of(rights.begin(), rights.end(), [](auto& l) { return l.ends_with(L" greyed"); }));
    EXPECT_EQ(Lines{L"You don't have rights to read any security on this object. #1 disabled"},
              MenuLines(GetSubMenu(ObjectMenu(), 2)));
}

TEST_F(ContextMenu, ThreadRowsAndRemoteMachines)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    model::InstanceRecord& thread = Row(model::isThread, child.threadId(), L"test_child.exe");
    EXPECT_EQ(L"Selected Thread: test_child.exe >", Build(&thread)[3]);
    EXPECT_EQ((Lines{L"Terminate Thread >", L"Enable Thread Priority Boost #2201 checked", L"Priority >",
                     L"Your &Rights >", L"&Security Details #2021"}),
              MenuLines(ObjectMenu()));
    EXPECT_EQ(L"&Yes, Terminate the thread and irreversibly corrupt the process #2202",
              MenuLine(GetSubMenu(ObjectMenu(), 0), 0));
    EXPECT_EQ(L"Force thread termination #1 checked", MenuLine(GetSubMenu(ObjectMenu(), 3), 0));

    // Without OpenThread, or with id 0, a thread row has no sub-menu.
    app::state.openThreadFn = nullptr;
    EXPECT_EQ(L"Show &Total #2000", Build(&thread)[3]);
    app::state.openThreadFn = OpenThread;
    EXPECT_EQ(L"Show &Total #2000", Build(&Row(model::isThread, 0, L"Idle"))[3]);

    // Another machine's processes cannot be acted on, nor loaded.
    for (auto* key : {&perf::perfData.machineKey, &perf::perfData.perfDataKey}) {
        HKEY remote = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &remote));
        key->Reset(remote);
    }
    Lines lines = Build(&Row(model::isProcess, child.processId(), L"test_child.exe"));
    EXPECT_EQ((Lines{L"&Local Machine #2002", L"&Remote Machine... #2003 checked", L"---", L"Show &Total #2000"}),
              Lines(lines.begin(), lines.begin() + 4));
    EXPECT_EQ(L"Load &Generator #2006 greyed", lines[8]);
}

} // namespace
