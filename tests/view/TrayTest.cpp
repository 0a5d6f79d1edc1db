#include "app/AppState.h"
#include "app/DisplayResources.h"
#include "app/Settings.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "view/Tray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t PROCESSOR_TIME = 6, USER_TIME = 142, PRIVILEGED_TIME = 144, ID_PROCESS = 784;
const double NaN = std::nan("");

struct Row {
    const wchar_t* name;
    uint32_t id;
    double value;
};

struct Icon {
    int level; // -1: not one of the gauge images
    std::wstring tip;
    UINT flags;
    bool operator==(const Icon&) const = default;
};

// A notification area: an icon can be changed only once added, and added once.
struct FakeShell {
    std::map<UINT, Icon> shown;
    std::vector<std::pair<DWORD, UINT>> calls;

    std::vector<UINT> Ids() const
    {
        std::vector<UINT> ids;
        for (const auto& [id, icon] : shown)
            ids.push_back(id);
        return ids;
    }
};
FakeShell shell;

BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAW data)
{
    EXPECT_EQ(DWORD(NOTIFYICONDATAW_V2_SIZE), data->cbSize);
    EXPECT_EQ(app::state.mainWindow, data->hWnd);
    EXPECT_EQ(UINT(WM_USER), data->uCallbackMessage);
    EXPECT_EQ(0u, data->uFlags & ~UINT(NIF_ICON | NIF_TIP));
    shell.calls.emplace_back(message, data->uID);
    bool isShown = shell.shown.count(data->uID) != 0;
    if (message == NIM_DELETE)
        return shell.shown.erase(data->uID) != 0;
    if ((message == NIM_MODIFY) != isShown)
        return FALSE;
    const HICON* icons = app::display.trayIcons;
    const HICON* found = std::find(icons, icons + app::TRAY_LEVELS, data->hIcon);
    int level = data->hIcon && found != icons + app::TRAY_LEVELS ? int(found - icons) : -1;
    shell.shown[data->uID] = {level, data->szTip, data->uFlags};
    return TRUE;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell = FakeShell();
        view::tray.notify = Notify;
        app::state.mainWindow = reinterpret_cast<HWND>(0x1234);
        for (int i = 0; i < app::TRAY_LEVELS; ++i)
            app::display.trayIcons[i] = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x100 + i));
        perf::counterTable.processorTimeIndex = PROCESSOR_TIME;
        perf::counterTable.userTimeIndex = USER_TIME;
        perf::counterTable.privilegedTimeIndex = PRIVILEGED_TIME;
        perf::selection.counterIndex = PROCESSOR_TIME;
        perf::perfData.currentSnapshot.bytes = std::make_unique<uint8_t[]>(1);
        perf::perfData.previousSnapshot.bytes = std::make_unique<uint8_t[]>(1);
    }
    void TearDown() override
    {
        model::ReleaseModel();
        perf::perfData.currentSnapshot = perf::SnapshotBuffer();
        perf::perfData.previousSnapshot = perf::SnapshotBuffer();
        perf::counterTable = perf::CounterNameTable();
        perf::selection = perf::CounterSelection();
        app::settings = app::SettingsRecord();
        app::display = app::DisplayResources();
        app::state = app::AppState();
        view::tray = view::TrayState();
    }

    static void SetProcesses(const std::vector<Row>& rows)
    {
        model::RecordArray& records = model::state.processRecords;
        records.Release();
        records.records = std::make_unique<model::InstanceRecord[]>(rows.size());
        records.count = records.capacity = static_cast<uint32_t>(rows.size());
        for (uint32_t i = 0; i < records.count; ++i) {
            model::CopyLabel(records[i].label, rows[i].name);
            records[i].id = rows[i].id;
            records[i].value = rows[i].value;
        }
    }
};

} // namespace

TEST_F(TrayTest, GaugesFollowTheLoadOfTheMachine)
{
    const UINT both = NIF_ICON | NIF_TIP;
    const struct {
        const char* what;
        std::vector<Row> rows;
        Icon highest, total;
    } cases[] = {
        {"one processor, a process at 37.5 %",
         {{L"Idle", 0, 0.625}, {L"_Total", 0, 1}, {L"idle.exe", 8, 0}, {L"editor.exe", 42, 0.375}},
         {5, L"editor.exe 37.5%", both}, {5, L"Total 37.5%", both}},
        {"two processors, one of them full",
         {{L"_Total", 0, 2}, {L"Idle", 0, 1}, {L"busy.exe", 7, 1}},
         {7, L"busy.exe 100%", both}, {7, L"Total 50%", both}},
        {"two processors, both full: the last image",
         {{L"_Total", 0, 2}, {L"busy.exe", 7, 2}},
         {14, L"busy.exe 200%", both}, {14, L"Total 100%", both}},
        {"nothing busy: the first record, whatever it is",
         {{L"Idle", 0, 1}, {L"_Total", 0, 1}, {L"a.exe", 5, 0}},
         {0, L"Idle 0%", both}, {0, L"Total 0%", both}},
        {"the programs the system cannot list count, the earlier of equals stays highest",
         {{L"Idle", 0, 0.5}, {L"_Total", 0, 2}, {L"Unlisted programs", 0, 0.6}, {L"a.exe", 9, 0.6},
          {L"b.exe", 3, 0.3}},
         {4, L"Unlisted programs 60%", both}, {11, L"Total 75%", both}},
        {"a total below one half (a busy process ended)",
         {{L"Idle", 0, 0.1}, {L"_Total", 0, 0.3}, {L"a.exe", 5, 0.2}},
         {3, L"a.exe 20%", both}, {3, L"Total 20%", both}},
        {"a total that went negative",
         {{L"_Total", 0, -0.7}, {L"a.exe", 5, 0.2}},
         {3, L"a.exe 20%", both}, {3, L"Total 20%", both}},
        {"values that are not numbers",
         {{L"_Total", 0, NaN}, {L"a.exe", 5, NaN}, {L"b.exe", 6, 0.2}},
         {3, L"b.exe 20%", both}, {3, L"Total 20%", both}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetProcesses(c.rows);
        view::UpdateTray();
        EXPECT_EQ((std::map<UINT, Icon>{{1, c.highest}, {2, c.total}}), shell.shown);
    }
}

TEST_F(TrayTest, IconsGoWithAnotherCounterOrTheirOptionsAndComeBackAdded)
{
    using Calls = std::vector<std::pair<DWORD, UINT>>;
    SetProcesses({{L"_Total", 0, 1}, {L"a.exe", 5, 0.5}});
    perf::selection.counterIndex = ID_PROCESS;
    view::UpdateTray();
    EXPECT_EQ(Calls(), shell.calls) << "nothing to remove yet";

    perf::selection.counterIndex = USER_TIME;
    view::UpdateTray();
    EXPECT_EQ((Calls{{NIM_MODIFY, 1}, {NIM_ADD, 1}, {NIM_MODIFY, 2}, {NIM_ADD, 2}}), shell.calls);
    shell.calls.clear();
    view::UpdateTray();
    EXPECT_EQ((Calls{{NIM_MODIFY, 1}, {NIM_MODIFY, 2}}), shell.calls);

    perf::selection.counterIndex = ID_PROCESS;
    view::UpdateTray();
    EXPECT_EQ(std::vector<UINT>(), shell.Ids());
    perf::selection.counterIndex = PRIVILEGED_TIME;
    shell.calls.clear();
    view::UpdateTray();
    EXPECT_EQ((Calls{{NIM_MODIFY, 1}, {NIM_ADD, 1}, {NIM_MODIFY, 2}, {NIM_ADD, 2}}), shell.calls);
    shell.shown.clear(); // the shell restarted
    view::UpdateTray();
    EXPECT_EQ((std::vector<UINT>{1, 2}), shell.Ids());

    app::settings.trayShowTotal = 0;
    view::UpdateTray();
    EXPECT_EQ(std::vector<UINT>{1}, shell.Ids());
    app::settings.trayShowHighest = 0;
    view::UpdateTray();
    EXPECT_EQ(std::vector<UINT>(), shell.Ids());

    app::settings = app::SettingsRecord();
    perf::perfData.previousSnapshot = perf::SnapshotBuffer();
    view::UpdateTray();
    EXPECT_EQ(std::vector<UINT>(), shell.Ids()) << "one sample is not a measurement";

    perf::perfData.previousSnapshot.bytes = std::make_unique<uint8_t[]>(1);
    view::UpdateTray();
    SetProcesses({});
    shell.calls.clear();
    view::UpdateTray();
    EXPECT_EQ(Calls(), shell.calls) << "no records leave the icons as they are";
    EXPECT_EQ((std::vector<UINT>{1, 2}), shell.Ids());
}

TEST_F(TrayTest, TipsAreCutAndFlagsFollowWhatIsGiven)
{
    const std::wstring longName(200, L'x');
    SetProcesses({{L"_Total", 0, 1}, {L"a.exe", 5, 0.5}});
    model::state.processRecords[1].name = longName.c_str();
    view::UpdateTray();
    EXPECT_EQ(std::wstring(127, L'x'), shell.shown[1].tip);

    view::SetTrayIcon(1, app::display.trayIcons[3], nullptr);
    EXPECT_EQ((Icon{3, L"", NIF_ICON}), shell.shown[1]);
    view::SetTrayIcon(1, nullptr, L"tip");
    EXPECT_EQ((Icon{-1, L"tip", NIF_TIP}), shell.shown[1]);
    shell.calls.clear();
    view::SetTrayIcon(3, nullptr, L"tip");
    view::SetTrayIcon(0, nullptr, nullptr);
    EXPECT_TRUE(shell.calls.empty());
}
