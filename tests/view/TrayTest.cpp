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
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t PROCESSOR_TIME = 6, USER_TIME = 142, ID_PROCESS = 784;
using Calls = std::vector<std::pair<DWORD, UINT>>;

// A notification area: an icon can be changed once added, and added once.
// Each shown icon reads as its gauge level (-1: no gauge image) and its tip.
std::map<UINT, std::wstring> shown;
Calls calls;

BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAW data)
{
    EXPECT_TRUE(data->cbSize == NOTIFYICONDATAW_V2_SIZE && data->hWnd == app::state.mainWindow &&
                data->uCallbackMessage == WM_USER && !(data->uFlags & NIF_MESSAGE));
    calls.emplace_back(message, data->uID);
    if (message == NIM_DELETE)
        return shown.erase(data->uID) != 0;
    if ((message == NIM_MODIFY) != (shown.count(data->uID) != 0))
        return FALSE;
    const HICON* icons = app::display.trayIcons;
    int level = static_cast<int>(std::find(icons, icons + app::TRAY_LEVELS, data->hIcon) - icons);
    shown[data->uID] = std::to_wstring(level < app::TRAY_LEVELS ? level : -1) + L" " + data->szTip;
    return TRUE;
}

using Row = std::tuple<const wchar_t*, uint32_t, double>; // name, ID, value

void SetProcesses(const std::vector<Row>& rows)
{
    model::RecordArray& records = model::state.processRecords;
    records.records = std::make_unique<model::InstanceRecord[]>(rows.size());
    records.count = records.capacity = static_cast<uint32_t>(rows.size());
    for (uint32_t i = 0; i < records.count; ++i)
        std::tie(records[i].name, records[i].id, records[i].value) = rows[i];
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shown.clear();
        calls.clear();
        view::tray.notify = Notify;
        app::state.mainWindow = reinterpret_cast<HWND>(0x1234);
        for (int i = 0; i < app::TRAY_LEVELS; ++i)
            app::display.trayIcons[i] = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x100 + i));
        perf::counterTable.processorTimeIndex = perf::selection.counterIndex = PROCESSOR_TIME;
        perf::counterTable.userTimeIndex = USER_TIME;
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
};

} // namespace

TEST_F(TrayTest, GaugesFollowTheLoadOfTheWholeMachine)
{
    const std::wstring longName(200, L'x');
    const struct {
        const char* what;
        std::vector<Row> rows;
        std::wstring highest, total;
    } cases[] = {
        {"one processor", {{L"Idle", 0, 0.625}, {L"_Total", 0, 1}, {L"idle.exe", 8, 0}, {L"editor.exe", 42, 0.375}},
         L"5 editor.exe 37.5%", L"5 Total 37.5%"},
        {"two processors, one full", {{L"_Total", 0, 2}, {L"Idle", 0, 1}, {L"busy.exe", 7, 1}},
         L"7 busy.exe 100%", L"7 Total 50%"},
        {"both full", {{L"_Total", 0, 2}, {L"busy.exe", 7, 2}}, L"14 busy.exe 200%", L"14 Total 100%"},
        {"the programs the system cannot list count; the earlier of equals stays highest",
         {{L"Idle", 0, 0.5}, {L"_Total", 0, 2}, {L"Unlisted programs", 0, 0.6}, {L"a.exe", 9, 0.6}, {L"b.exe", 3, 0.3}},
         L"4 Unlisted programs 60%", L"11 Total 75%"},
        {"a total below one half (a busy process ended)", {{L"Idle", 0, 0.1}, {L"_Total", 0, 0.3}, {L"a.exe", 5, 0.2}},
         L"3 a.exe 20%", L"3 Total 20%"},
        {"a negative total", {{L"_Total", 0, -0.7}, {L"a.exe", 5, 0.2}}, L"3 a.exe 20%", L"3 Total 20%"},
        {"not numbers", {{L"_Total", 0, std::nan("")}, {L"a.exe", 5, std::nan("")}, {L"b.exe", 6, 0.2}},
         L"3 b.exe 20%", L"3 Total 20%"},
        {"a long name", {{L"_Total", 0, 1}, {longName.c_str(), 5, 0.5}}, L"7 " + longName.substr(0, 127),
         L"7 Total 50%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetProcesses(c.rows);
        view::UpdateTray();
        EXPECT_EQ((std::map<UINT, std::wstring>{{1, c.highest}, {2, c.total}}), shown);
    }
}

TEST_F(TrayTest, IconsGoWithAnotherCounterOrBothOptionsOffAndComeBackAdded)
{
    SetProcesses({{L"_Total", 0, 1}, {L"a.exe", 5, 0.5}});
    perf::selection.counterIndex = ID_PROCESS;
    view::UpdateTray();
    EXPECT_EQ(Calls(), calls) << "nothing to remove yet";
    for (uint32_t counter : {USER_TIME, ID_PROCESS, PROCESSOR_TIME}) {
        perf::selection.counterIndex = counter;
        calls.clear();
        view::UpdateTray();
        EXPECT_EQ(counter == ID_PROCESS ? 0u : 2u, shown.size());
    }
    EXPECT_EQ((Calls{{NIM_MODIFY, 1}, {NIM_ADD, 1}, {NIM_MODIFY, 2}, {NIM_ADD, 2}}), calls);

    app::settings.trayShowHighest = app::settings.trayShowTotal = 0;
    view::UpdateTray();
    EXPECT_EQ(0u, shown.size());
    app::settings.trayShowHighest = 1;
    view::UpdateTray();
    SetProcesses({});
    calls.clear();
    view::UpdateTray();
    EXPECT_EQ(Calls(), calls) << "no records leave the icons as they are";
}
