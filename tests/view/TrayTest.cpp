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
    const struct { const char* what; std::vector<Listed> rows; std::wstring highest, total; } cases[] = {
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

namespace {

UINT WINAPI LargeTaskbarDpi(HWND) { return 144; }
int WINAPI MetricAtDpi(int index, UINT dpi) { return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), 96); }

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bits = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bits), &bits);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits.bmWidth;
}

} // namespace

// A taskbar that comes back on a screen of 144 DPI gets icons of that
// screen's small-icon size, not ones the shell would stretch.
TEST_F(Tray, ANewTaskbarGetsIconsForTheDpiOfItsScreen)
{
    Start({});
    const int small = GetSystemMetrics(SM_CXSMICON);
    EXPECT_EQ(small, IconWidth(view::display.trayIcons[0].Get()));
    WNDCLASSW trayClass = {0, DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"Shell_TrayWnd"};
    RegisterClassW(&trayClass);
    HWND taskbar = CreateWindowW(L"Shell_TrayWnd", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ui::PlatformState saved = ui::platform;
    ui::platform.dpiForWindowFn = LargeTaskbarDpi;
    ui::platform.metricForDpiFn = MetricAtDpi;
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ui::platform = saved;
    DestroyWindow(taskbar);
    EXPECT_EQ(small * 3 / 2, IconWidth(view::display.trayIcons[0].Get()));
    EXPECT_EQ(small * 3 / 2, IconWidth(view::display.trayIcons[view::TRAY_LEVELS - 1].Get()));
}
