// The real main window, hidden, over a replay of made-up machines: tests send
// it messages and read the view's state.
#pragma once

#include "ui/Platform.h"
#include "view/DisplayResources.h"
#include "app/MainWindow.h"
#include "ui/Settings.h"
#include "app/Startup.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfTestSupport.h"
#include "resources/resource.h"
#include "view/Scroll.h"
#include "view/Tray.h"
#include "view/ViewState.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

constexpr uint32_t PROCESSOR_TIME = 6, USER_TIME = 142, THREAD_COUNT = 680, ID_PROCESS = 784, ID_THREAD = 804;

struct MachineProcess {
    std::u16string name;
    uint32_t id;
    double busySeconds = 0; // processor time used so far
    uint32_t threads = 0;       // the Thread Count counter
    int32_t listedThreads = -1; // thread instances, when not as many
    uint32_t firstThreadId = 0; // of the thread instances, when real ones are wanted
};

// A Process object (processor time, ID, thread count) and a Thread object.
inline std::vector<uint8_t> MachineBlock(const std::vector<MachineProcess>& processes, double seconds,
                                         int32_t defaultCounter = 0)
{
    perf::BlockTimes times;
    times.perfTime = times.perfTime100nSec = static_cast<int64_t>(seconds * 1e7);
    times.perfFreq = 10000000;
    perf::SnapshotWriter w;
    w.BeginBlock(times, u"TEST");
    w.BeginObject({230, 231, 100, defaultCounter});
    w.AddCounter({PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8});
    w.AddCounter({ID_PROCESS, 785, perf::TYPE_RAWCOUNT, 4});
    w.AddCounter({THREAD_COUNT, 681, perf::TYPE_RAWCOUNT, 4});
    for (const MachineProcess& p : processes)
        w.AddInstance(p.name, {}, {static_cast<uint64_t>(p.busySeconds * 1e7), p.id, p.threads});
    w.BeginObject({232, 233});
    w.AddCounter({PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8});
    w.AddCounter({ID_THREAD, 805, perf::TYPE_RAWCOUNT, 4});
    for (uint32_t i = 0; i < processes.size(); ++i) {
        const MachineProcess& p = processes[i];
        for (uint32_t t = 0; t < (p.listedThreads < 0 ? p.threads : uint32_t(p.listedThreads)); ++t)
            w.AddInstance(u"t", {230, i, -1}, {0, p.firstThreadId ? p.firstThreadId + t : p.id + t + 1});
    }
    return w.Finish();
}

// Processes p00, p01, ... with IDs 100, 200, ...
inline std::vector<MachineProcess> NumberedProcesses(int count, uint32_t threads = 0)
{
    std::vector<MachineProcess> processes;
    for (int i = 0; i < count; ++i)
        processes.push_back({u"p" + std::u16string{char16_t(u'0' + i / 10 % 10), char16_t(u'0' + i % 10)},
                             uint32_t(100 * (i + 1)), 0, threads});
    return processes;
}

// alpha (ID 50) with two threads, then p00, p01, ...
inline std::vector<MachineProcess> AlphaAndNumbered(int numbered = 12, double alphaBusy = 0.25)
{
    std::vector<MachineProcess> processes = {{u"alpha", 50, alphaBusy, 2}};
    for (const MachineProcess& p : NumberedProcesses(numbered))
        processes.push_back(p);
    return processes;
}

// The shell's notification area: an icon can be changed once added, and
// added once. Each shown icon reads as its gauge level (-1: none) and tip.
inline std::map<UINT, std::wstring> shown;
inline BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAW data)
{
    EXPECT_TRUE(data->cbSize == NOTIFYICONDATAW_V2_SIZE && data->hWnd == ui::platform.mainWindow &&
                data->uCallbackMessage == WM_USER && !(data->uFlags & NIF_MESSAGE));
    if (message == NIM_DELETE)
        return shown.erase(data->uID) != 0;
    if ((message == NIM_MODIFY) != (shown.count(data->uID) != 0))
        return FALSE;
    const core::Icon* icons = view::display.trayIcons;
    int level = static_cast<int>(
        std::find_if(icons, icons + view::TRAY_LEVELS, [data](const core::Icon& i) { return i.Get() == data->hIcon; }) -
        icons);
    shown[data->uID] = std::to_wstring(level < view::TRAY_LEVELS ? level : -1) + L" " + data->szTip;
    return TRUE;
}

inline int32_t Rows() { return static_cast<int32_t>(model::modelState.displayCount()); }
inline int32_t Focus() { return model::modelState.focusRow; }
inline int32_t Top() { return view::viewState.topRow; }
inline int32_t Selected() // -1: none listed
{
    const auto& list = model::modelState.displayList;
    auto found = std::find(list.begin(), list.end(), model::modelState.selectedRecord);
    return found == list.end() ? -1 : static_cast<int32_t>(found - list.begin());
}

class ViewWindowTest : public ::testing::Test {
protected:
    static constexpr int PAGE = 10; // whole rows in the client area

    void SetUp() override
    {
        ResetState();
        perf::SetSourceForTesting(&replay);
        std::vector<std::wstring> names = EnglishNames();
        names.insert(names.end(), {L"142", L"% User Time"});
        replay.SetNames(L"009", names, {L"7", L"Processor time help"});
        ui::settings.autoUpdate = 0;
        ui::platform.instance = GetModuleHandleW(nullptr);
        static const bool registered = app::RegisterMainWindowClass();
        ASSERT_TRUE(registered);
        view::CreateDisplayResources();
        DWORD style = WS_OVERLAPPEDWINDOW | WS_VSCROLL;
        RECT frame = {0, 0, 300, PAGE * view::RowHeight() + view::RowHeight() / 2};
        AdjustWindowRect(&frame, style, FALSE);
        window = CreateWindowExW(0, app::MAIN_WINDOW_CLASS, L"Quorlet", style, 0, 0, frame.right - frame.left,
                                 frame.bottom - frame.top, nullptr, nullptr, ui::platform.instance, nullptr);
        ASSERT_NE(nullptr, ui::platform.mainWindow = window);
        ASSERT_EQ(PAGE, view::PageRows(window));
    }

    void TearDown() override
    {
        DestroyWindow(window);
        Pump(nullptr); // the quit message the window posted
        view::DestroyDisplayResources();
        perf::SetSourceForTesting(nullptr);
        ResetState();
    }

    // The program's state as a fresh start has it, with the fake tray.
    static void ResetState()
    {
        perf::ReleaseSampleData();
        ui::settings = ui::SettingsRecord();
        ui::platform.mainWindow = nullptr;
        view::viewState = view::ViewState();
        view::tray = view::TrayState();
        view::shellNotify = Notify;
        shown.clear();
        view::viewState.options.showTotal = view::viewState.options.showIdle = view::viewState.options.showHierarchy = false;
    }

    // Runs what is queued: the first update, posted selections.
    void Pump() { Pump(window); }
    static void Pump(HWND to)
    {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, to, 0, 0, PM_REMOVE); ++i)
            DispatchMessageW(&message);
    }

    // The machine as the first two samples see it (one second apart).
    void Start(const std::vector<MachineProcess>& processes) { Start(processes, processes); }
    void Start(const std::vector<MachineProcess>& first, const std::vector<MachineProcess>& second)
    {
        replay.Serve(MachineBlock(first, 0));
        replay.Serve(MachineBlock(second, 1));
        Pump();
        Command(CMD_UPDATE_NOW);
    }
    // A later sample, taken at once.
    void Resample(const std::vector<MachineProcess>& processes, double seconds, int32_t defaultCounter = 0)
    {
        replay.answers.clear();
        replay.Serve(MachineBlock(processes, seconds, defaultCounter));
        Command(CMD_UPDATE_NOW);
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) { SendMessageW(window, message, wParam, lParam); Pump(); }
    void Command(unsigned id) { Send(WM_COMMAND, id); }

    ReplaySource replay;
    HWND window = nullptr;
};

} // namespace testing_support
