#include "dialogs/LoadGenerator.h"

#include "ui/MessageLoop.h"
#include "ui/Platform.h"
#include "app/Commands.h"
#include "core/Handles.h"
#include "dialogs/Values.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <string>

using namespace dialogs;
using testing_support::WindowText;

// What the dialog leaves to the reading itself (the dialog test below types
// whole numbers, suffixes and targets too large for their limits).
TEST(LoadTargets, BlanksCaseTrailingTextAndOverflow)
{
    const struct {
        const wchar_t* text;
        ReadStatus status;
        uint32_t value;
    } cases[] = {
        {L" 3 k", ReadStatus::ok, 3072},         {L"12X", ReadStatus::ok, 12},
        {L"M", ReadStatus::noNumber, 0},          {L"-5", ReadStatus::negative, 0},
        {L"4G", ReadStatus::tooLarge, 0},
        {L"18446744073709551621", ReadStatus::tooLarge, 0}, // 2^64 + 5: no wrap-around to 5
    };
    for (const auto& c : cases) {
        ReadResult r = ReadTarget(c.text, true, UINT32_MAX);
        EXPECT_TRUE(r.status == c.status && r.value == c.value) << c.text;
    }
}

namespace {

// A stopped worker ends on its own, within a pass once it runs.
bool ThreadEnded(uint32_t id)
{
    core::KernelHandle thread{OpenThread(SYNCHRONIZE, FALSE, id)};
    return !thread || WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0;
}

// The worker runs about one cycle a second.
bool WaitForCycles(uint32_t cycles)
{
    uint32_t start = loadGenerator.cyclesRun;
    for (int i = 0; i < 3000 && loadGenerator.cyclesRun - start < cycles; ++i)
        Sleep(10);
    return loadGenerator.cyclesRun - start >= cycles;
}

class LoadGeneratorDialog : public ::testing::Test {
protected:
    void SetUp() override { ui::platform.instance = GetModuleHandleW(nullptr); }
    void TearDown() override
    {
        Close();
        loadGenerator.createThread = CreateThread;
        EXPECT_EQ(expectedBoxes, catcher.boxes.size());
    }

    void Open()
    {
        dialog = CreateDialogParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_LOAD_GENERATOR), nullptr,
                                    LoadGeneratorDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
    }
    void Close()
    {
        DestroyWindow(dialog);
        EXPECT_EQ(nullptr, ui::messageLoop.loadGeneratorDialog);
        EXPECT_EQ(nullptr, ui::messageLoop.activeModelessDialog) << "the message loop would feed a closed dialog";
    }
    void Type(int id, const wchar_t* text) // as typed: the edit's modified flag is set
    {
        SetDlgItemTextW(dialog, id, text);
        SendDlgItemMessageW(dialog, id, EM_SETMODIFY, TRUE, 0);
    }
    void Press(int id) { SendMessageW(dialog, WM_COMMAND, id, reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))); }
    std::wstring Text(int id) { return WindowText(GetDlgItem(dialog, id)); }

    testing_support::MessageBoxCatcher catcher;
    size_t expectedBoxes = 0;
    HWND dialog = nullptr;
};

// A worker created as the generator asks, then held back as a starved thread
// would be, until the test lets it run.
HANDLE heldWorker = nullptr;

HANDLE WINAPI CreateHeldWorker(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD flags, LPDWORD id)
{
    HANDLE thread = CreateThread(security, stack, start, parameter, flags, id);
    if (thread) {
        SuspendThread(thread);
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &heldWorker, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    return thread;
}

} // namespace

TEST_F(LoadGeneratorDialog, PagedMemoryIsWholePagesAndTargetsThatDoNotFitAreRefused)
{
    Open();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_LOAD_APPLY)));
    for (auto [typed, shown] : {std::pair{L"1", L"4 KB"}, std::pair{L"2M", L"2 MB"}, std::pair{L"1M", L"1024 KB"}}) {
        Type(IDC_LOAD_PAGED_TARGET, typed);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_LOAD_APPLY)));
        Press(IDC_LOAD_APPLY);
        EXPECT_EQ(shown, Text(IDC_LOAD_PAGED_ACTUAL));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_LOAD_APPLY)));
        EXPECT_EQ(0xFFu, loadGenerator.pagedMemoryBlock[loadGenerator.pagedMemorySize - 4096]) << "every page is touched";
    }

    expectedBoxes = 3;
    for (const wchar_t* tooLarge : {L"5G", L"4294963201"}) {
        Type(IDC_LOAD_PAGED_TARGET, tooLarge);
        Press(IDC_LOAD_APPLY);
        EXPECT_EQ(1u << 20, loadGenerator.pagedMemoryTarget) << tooLarge;
        EXPECT_EQ(L"1048576", Text(IDC_LOAD_PAGED_TARGET)) << "the edit shows the target kept";
        EXPECT_EQ(L"1024 KB", Text(IDC_LOAD_PAGED_ACTUAL));
    }
    Type(IDC_LOAD_USER_TARGET, L"4294967296");
    Type(IDC_LOAD_PHYSICAL_TARGET, L"3K");
    Press(IDC_LOAD_APPLY);
    EXPECT_EQ(0u, loadGenerator.userCpuTarget);
    EXPECT_EQ(3072u, loadGenerator.physicalMemoryTarget) << "the others are still read";
    EXPECT_EQ(L"Load Generator", catcher.boxes.at(0).caption);

    // Reset releases the block, which must not be written to afterwards.
    Press(IDC_LOAD_RESET);
    EXPECT_EQ(L"0 KB", Text(IDC_LOAD_PAGED_ACTUAL));
    EXPECT_EQ(nullptr, loadGenerator.pagedMemoryBlock);
    for (int id : {IDC_LOAD_USER_TARGET, IDC_LOAD_PRIVILEGED_TARGET, IDC_LOAD_PAGED_TARGET, IDC_LOAD_PHYSICAL_TARGET})
        EXPECT_EQ(L"0", Text(id));
    EXPECT_EQ(0u, loadGenerator.physicalMemoryTarget);
}

TEST_F(LoadGeneratorDialog, ReopeningKeepsTargetsAndRateAndStopsTheOldWorkerFirst)
{
    Open();
    ASSERT_TRUE(WaitForCycles(1)) << "the worker took its first copy: the target below is a change";
    Type(IDC_LOAD_USER_TARGET, L"150");
    Type(IDC_LOAD_PAGED_TARGET, L"1M");
    Press(IDC_LOAD_APPLY);
    ASSERT_TRUE(WaitForCycles(2));
    EXPECT_EQ(THREAD_PRIORITY_IDLE, GetThreadPriority(loadGenerator.workerThread.Get())) << "100 % gives way";
    uint32_t first = loadGenerator.workerThreadId;
    ASSERT_NE(0u, first);
    Close();
    EXPECT_TRUE(ThreadEnded(first)) << "closing stops its worker";
    EXPECT_EQ(0u, loadGenerator.pagedMemorySize);
    double rate = loadGenerator.passesPerSecond;
    EXPECT_GT(rate, 0.0);
    EXPECT_EQ(0u, loadGenerator.sleepMs) << "150 % is run as 100 %";

    // Reopened without a worker, whose identifier then names no other thread.
    loadGenerator.createThread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                    LPDWORD) -> HANDLE { return nullptr; };
    loadGenerator.workerThreadId = GetCurrentThreadId();
    Open();
    EXPECT_EQ(0u, loadGenerator.workerThreadId);
    EXPECT_EQ(L"150", Text(IDC_LOAD_USER_TARGET));
    EXPECT_EQ(L"1048576", Text(IDC_LOAD_PAGED_TARGET));
    EXPECT_EQ(L"1024 KB", Text(IDC_LOAD_PAGED_ACTUAL));
    EXPECT_EQ(rate, loadGenerator.passesPerSecond) << "the calibration is kept";
    Close();

    loadGenerator.createThread = CreateThread;
    Open();
    uint32_t second = loadGenerator.workerThreadId;
    EXPECT_NE(first, second);
    EXPECT_TRUE(ThreadEnded(first)) << "the new worker does not take over the old one's stop request";
    EXPECT_FALSE(ThreadEnded(second));
    Press(IDC_LOAD_RESET);
    Close();
    EXPECT_TRUE(ThreadEnded(second));
}

TEST_F(LoadGeneratorDialog, TheActualUserTimeOfTheWorkerFollowsItsTarget)
{
    perf::SetSourceForTesting(nullptr);
    perf::ReleaseSampleData();
    Open();
    Type(IDC_LOAD_USER_TARGET, L"50");
    Press(IDC_LOAD_APPLY);
    ASSERT_TRUE(WaitForCycles(2)) << "the worker has taken the target and measured its rate";
    core::KernelHandle worker{OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, loadGenerator.workerThreadId)};
    ASSERT_TRUE(worker);

    // Each sample right after a burst, two cycles apart: the thread's own
    // times against the samples' time base.
    int64_t userTime[3] = {}, sampleTime[3] = {};
    uint32_t cycles[3] = {};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WaitForCycles(2));
        cycles[i] = loadGenerator.cyclesRun;
        perf::TakeSnapshot(nullptr);
        FILETIME created, ended, kernel, user;
        ASSERT_TRUE(GetThreadTimes(worker.Get(), &created, &ended, &kernel, &user));
        userTime[i] = int64_t(ULARGE_INTEGER{{user.dwLowDateTime, user.dwHighDateTime}}.QuadPart);
        const perf::PerfDataBlockHeader* header = perf::BlockHeader(perf::perfData.currentSnapshot.View());
        ASSERT_NE(nullptr, header);
        sampleTime[i] = perf::Value64(header->PerfTime100nSec);
        UpdateLoadGeneratorActuals();
        EXPECT_TRUE(i > 0 || Text(IDC_LOAD_USER_ACTUAL) == L"Unknown") << "one sample measures nothing";
    }
    double actual = wcstod(Text(IDC_LOAD_USER_ACTUAL).c_str(), nullptr);
    double window = double(sampleTime[2] - sampleTime[1]);
    double measured = 100.0 * double(userTime[2] - userTime[1]) / window;
    EXPECT_NEAR(measured, actual, 5.0);
    EXPECT_GT(actual, 0.0);
    // The worker calibrates its bursts by the clock, so beside other busy
    // programs it gets less than a whole processor while it computes and its
    // share falls below the target; what it controls is its duty cycle:
    // computing for half of each cycle, sleeping 500 ms for the other half.
    double cycle = window / double(cycles[2] - cycles[1]);
    double computing = cycle - 500 * 10000.0;
    EXPECT_NEAR(50.0, 100.0 * computing / cycle, 10.0) << "cycles of " << cycle / 10000.0 << " ms";
    EXPECT_LE(actual, 60.0) << Text(IDC_LOAD_USER_ACTUAL);
    Press(IDC_LOAD_RESET);
    perf::ReleaseSampleData();
}
TEST_F(LoadGeneratorDialog, OnlyTheExitWaitsForAStarvedWorkerAndTheNextOneCalibratesAfresh)
{
    loadGenerator.passesPerSecond = 0; // never calibrated
    loadGenerator.sleepMs = 0;
    loadGenerator.createThread = CreateHeldWorker;
    Open();
    // The worker runs only a while after the close: a close that waited for
    // it would return after that, not before.
    std::atomic<bool> released{false};
    HANDLE releaser = CreateThread(
        nullptr, 0, [](void* flag) -> DWORD {
            Sleep(2000);
            static_cast<std::atomic<bool>*>(flag)->store(true);
            ResumeThread(heldWorker);
            return 0;
        },
        &released, 0, nullptr);
    Close();
    EXPECT_FALSE(released.load()) << "closing waited for its worker";
    // The program's exit does wait, within a bound, so that the worker is
    // gone before the state and the lock it touches.
    EXPECT_FALSE(WaitForStoppedWorkers(0));
    EXPECT_TRUE(WaitForStoppedWorkers(10000));
    EXPECT_TRUE(released.load());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(heldWorker, 0)) << "the stopped worker ended";
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    CloseHandle(heldWorker);

    // It was stopped before it had timed a burst: the next worker times one.
    loadGenerator.createThread = CreateThread;
    Open();
    ASSERT_TRUE(WaitForCycles(1));
    Type(IDC_LOAD_USER_TARGET, L"50");
    Press(IDC_LOAD_APPLY);
    ASSERT_TRUE(WaitForCycles(3));
    EXPECT_GT(loadGenerator.passesPerSecond, 0.0);
    EXPECT_GT(loadGenerator.passCount, 0u) << "a target gives bursts";
    EXPECT_EQ(THREAD_PRIORITY_TIME_CRITICAL, GetThreadPriority(loadGenerator.workerThread.Get()));
}

TEST_F(LoadGeneratorDialog, EveryWayOfClosingStopsTheWorkerAndFreesThePages)
{
    perf::seams.connectRegistry = [](LPCWSTR, HKEY, PHKEY key) -> LSTATUS {
        return RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key);
    };
    const std::pair<const char*, void (*)(HWND)> ways[] = {
        {"Esc", [](HWND d) {
             SendMessageW(d, WM_ACTIVATE, WA_ACTIVE, 0);
             MSG key = {GetDlgItem(d, IDC_LOAD_USER_TARGET), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
             ui::PumpMessage(key);
         }},
        {"close box", [](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"command", [](HWND) { app::DispatchCommand(nullptr, CMD_LOAD_GENERATOR); }},
        {"remote machine", [](HWND) { perf::ConnectToMachine(nullptr, L"\\\\elsewhere"); }},
    };
    for (auto [way, close] : ways) {
        Open();
        Type(IDC_LOAD_PAGED_TARGET, L"64K");
        Press(IDC_LOAD_APPLY);
        ASSERT_NE(nullptr, loadGenerator.pagedMemoryBlock);
        uint32_t worker = loadGenerator.workerThreadId;
        close(dialog);
        MSG posted; // the close box's Cancel comes posted
        while (PeekMessageW(&posted, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&posted);
        EXPECT_FALSE(IsWindow(dialog)) << way;
        EXPECT_EQ(nullptr, loadGenerator.pagedMemoryBlock) << way;
        EXPECT_EQ(nullptr, loadGenerator.worker) << way;
        EXPECT_TRUE(ThreadEnded(worker)) << way;
    }
    perf::ConnectToMachine(nullptr, nullptr);
    perf::seams.connectRegistry = RegConnectRegistryW;
    // The pumping lets the catcher see activations of windows without text;
    // no failure box was shown.
    for (const auto& box : catcher.boxes)
        EXPECT_EQ(L"", box.caption + box.text);
    catcher.boxes.clear();
}
