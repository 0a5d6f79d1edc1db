// The real main window, hidden, over a replay of made-up machines: tests send
// it messages and read the view's state.
#pragma once

#include "app/AppState.h"
#include "app/DisplayResources.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfTestSupport.h"
#include "resources/resource.h"
#include "view/Scroll.h"
#include "view/Tray.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

constexpr uint32_t PROCESSOR_TIME = 6, THREAD_COUNT = 680, ID_PROCESS = 784, ID_THREAD = 804, CREATOR = 1410;

struct MachineProcess {
    std::u16string name;
    uint32_t id;
    double busySeconds = 0; // processor time used so far
    uint32_t threads = 0;
};

// A Process object (processor time, ID, thread count, creator) and a Thread
// object with the given number of threads per process, `seconds` into a run.
inline std::vector<uint8_t> MachineBlock(const std::vector<MachineProcess>& processes, double seconds,
                                         int32_t defaultCounter = 0)
{
    perf::BlockTimes times;
    times.perfTime100nSec = static_cast<int64_t>(seconds * 1e7);
    times.perfTime = times.perfTime100nSec;
    times.perfFreq = 10000000;
    perf::SnapshotWriter w;
    w.BeginBlock(times, u"TEST");
    perf::ObjectSpec process{230, 231};
    process.defaultCounter = defaultCounter;
    w.BeginObject(process);
    w.AddCounter({PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8});
    w.AddCounter({ID_PROCESS, 785, perf::TYPE_RAWCOUNT, 4});
    w.AddCounter({THREAD_COUNT, 681, perf::TYPE_RAWCOUNT, 4});
    w.AddCounter({CREATOR, 1411, perf::TYPE_RAWCOUNT, 4});
    for (const MachineProcess& p : processes)
        w.AddInstance(p.name, {}, {static_cast<uint64_t>(p.busySeconds * 1e7), p.id, p.threads, 0});
    w.BeginObject({232, 233});
    w.AddCounter({PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8});
    w.AddCounter({ID_THREAD, 805, perf::TYPE_RAWCOUNT, 4});
    for (uint32_t i = 0; i < processes.size(); ++i) {
        for (uint32_t t = 0; t < processes[i].threads; ++t)
            w.AddInstance(u"t", {230, i, -1}, {0, processes[i].id + t + 1});
    }
    return w.Finish();
}

// Processes p00, p01, ... with IDs 100, 200, ... and `threads` threads each.
inline std::vector<MachineProcess> NumberedProcesses(int count, uint32_t threads = 0)
{
    std::vector<MachineProcess> processes;
    for (int i = 0; i < count; ++i) {
        std::u16string name = u"p00";
        name[1] = char16_t(u'0' + i / 10 % 10);
        name[2] = char16_t(u'0' + i % 10);
        processes.push_back({name, uint32_t(100 * (i + 1)), 0, threads});
    }
    return processes;
}

// The shell's notification area as a fresh one: it knows no icon, so every
// show is a failed change and an addition. Records the calls.
inline std::vector<DWORD> trayCalls;
inline BOOL WINAPI FreshShell(DWORD message, PNOTIFYICONDATAW)
{
    trayCalls.push_back(message);
    return message != NIM_MODIFY;
}

class ViewWindowTest : public ::testing::Test {
protected:
    static constexpr int PAGE = 10; // whole rows in the client area

    void SetUp() override
    {
        perf::ReleaseSampleData();
        perf::SetSourceForTesting(&replay);
        std::vector<std::wstring> names = EnglishNames();
        names.insert(names.end(), {L"1410", L"Creating Process ID"});
        replay.SetNames(L"009", names, {L"7", L"Processor time help"});
        ResetState();
        app::settings.autoUpdate = 0;
        app::state.instance = GetModuleHandleW(nullptr);
        static const bool registered = app::RegisterMainWindowClass();
        ASSERT_TRUE(registered);
        app::CreateDisplayResources();
        DWORD style = WS_OVERLAPPEDWINDOW | WS_VSCROLL;
        RECT frame = {0, 0, 300, PAGE * view::RowHeight() + view::RowHeight() / 2};
        AdjustWindowRect(&frame, style, FALSE);
        window = CreateWindowExW(0, app::MAIN_WINDOW_CLASS, L"Quorlet", style, 0, 0, frame.right - frame.left,
                                 frame.bottom - frame.top, nullptr, nullptr, app::state.instance, nullptr);
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(PAGE, view::PageRows(window));
    }

    void TearDown() override
    {
        DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        } // the quit message the window posted
        app::DestroyDisplayResources();
        perf::ReleaseSampleData();
        perf::SetSourceForTesting(nullptr);
        ResetState();
    }

    static void ResetState()
    {
        app::settings = app::SettingsRecord();
        perf::selection = perf::CounterSelection();
        view::state = view::ViewState();
        view::tray = view::TrayState();
        view::tray.notify = FreshShell;
        trayCalls.clear();
        model::state.showTotal = model::state.showIdle = model::state.showHierarchy = false;
    }

    // Runs what is queued for the window: the first update, posted selections.
    void Pump()
    {
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageW(&message, window, 0, 0, PM_REMOVE); ++i)
            DispatchMessageW(&message);
    }

    // The machine as the first two samples see it (one second apart).
    void Start(const std::vector<MachineProcess>& processes)
    {
        replay.Serve(MachineBlock(processes, 0));
        replay.Serve(MachineBlock(processes, 1));
        Pump();
        Command(CMD_UPDATE_NOW);
    }

    void Command(unsigned id)
    {
        SendMessageW(window, WM_COMMAND, id, 0);
        Pump();
    }

    void Click(UINT message, int x, int row)
    {
        SendMessageW(window, message, 0, MAKELPARAM(x, (row - view::state.topRow) * view::RowHeight() + 1));
        Pump();
    }

    static int32_t Rows() { return static_cast<int32_t>(model::state.displayCount()); }
    static const model::InstanceRecord& Row(int32_t i) { return *model::state.displayList[i]; }
    static int32_t Focus() { return model::state.focusRow; }
    static int32_t Top() { return view::state.topRow; }
    // The row of the selected record, -1 for none.
    static int32_t Selected()
    {
        for (int32_t i = 0; i < Rows(); ++i) {
            if (&Row(i) == model::state.selectedRecord)
                return i;
        }
        return -1;
    }

    ReplaySource replay;
    HWND window = nullptr;
};

} // namespace testing_support
