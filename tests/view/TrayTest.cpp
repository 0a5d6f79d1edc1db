#include "view/ViewWindow.h"

#include <cmath>
#include <tuple>

using namespace testing_support;

// The gauges over an empty machine, with the process records set by each case.
using Tray = ViewWindowTest;

TEST_F(Tray, GaugesFollowTheLoadOfTheWholeMachine)
{
    Start({});
    const std::wstring longName(200, L'x');
    using Listed = std::tuple<const wchar_t*, uint32_t, double>; // name, ID, value
    const struct {
        const char* what;
        std::vector<Listed> rows;
        std::wstring highest, total;
    } cases[] = {
        {"one processor", {{L"Idle", 0, 0.625}, {L"_Total", 0, 1}, {L"idle.exe", 8, 0}, {L"editor.exe", 42, 0.375}},
         L"5 editor.exe 37.5%", L"5 Total 37.5%"},
        {"two processors (the total sampled a little short), one full",
         {{L"_Total", 0, 1.6}, {L"Idle", 0, 1}, {L"busy.exe", 7, 1}},
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
        model::RecordArray& records = model::modelState.processRecords;
        records.records = std::make_unique<model::InstanceRecord[]>(c.rows.size());
        records.count = records.capacity = static_cast<uint32_t>(c.rows.size());
        for (uint32_t i = 0; i < records.count; ++i)
            std::tie(records[i].name, records[i].id, records[i].value) = c.rows[i];
        view::UpdateTray();
        EXPECT_EQ((std::map<UINT, std::wstring>{{1, c.highest}, {2, c.total}}), shown);
    }
}
