// The built-in provider measured against the real system, through the same
// TakeSnapshot the program uses.
#include "perf/BuiltinProvider.h"
#include "perf/CounterValues.h"
#include "perf/CounterNames.h"
#include "perf/PerfData.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace perf;
using testing_support::ChildProcess;

namespace {

struct InstanceFound {
    const PerfInstanceDefinition* instance = nullptr;
    uint32_t position = 0;
};

InstanceFound FindById(SnapshotView view, const PerfObjectType* object, uint32_t idIndex, uint32_t id)
{
    const PerfCounterDefinition* idCounter = FindCounter(view, object, idIndex);
    const PerfInstanceDefinition* instance = FirstInstance(view, object);
    for (uint32_t i = 0; i < InstanceCount(object) && instance; ++i) {
        if (ReadU32(view, CounterData(view, instance, idCounter)) == id)
            return {instance, i};
        instance = NextInstance(view, instance);
    }
    return {};
}

uint64_t Counter64(SnapshotView view, const PerfObjectType* object, const PerfInstanceDefinition* instance,
                   uint32_t index)
{
    return ReadU64(view, CounterData(view, instance, FindCounter(view, object, index)));
}

uint32_t Counter32(SnapshotView view, const PerfObjectType* object, const PerfInstanceDefinition* instance,
                   uint32_t index)
{
    return ReadU32(view, CounterData(view, instance, FindCounter(view, object, index)));
}

int64_t Time100ns(SnapshotView view)
{
    return Value64(BlockHeader(view)->PerfTime100nSec);
}

DWORD ToolhelpThreadCount(DWORD processId)
{
    DWORD count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == processId ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

class BuiltinProviderTest : public ::testing::Test {
protected:
    void SetUp() override { ReleaseSampleData(); }
    void TearDown() override { ReleaseSampleData(); }
};

} // namespace

TEST_F(BuiltinProviderTest, ServesTheStandardNames)
{
    BuiltinProvider provider;
    SetSourceForTesting(&provider);
    EXPECT_TRUE(EnsureCounterTables());
    SetSourceForTesting(nullptr);
    EXPECT_EQ(230u, counterTable.processObjectIndex);
    EXPECT_EQ(232u, counterTable.threadObjectIndex);
    EXPECT_EQ(680u, counterTable.threadCountIndex);
    EXPECT_EQ(784u, counterTable.idProcessIndex);
    EXPECT_EQ(804u, counterTable.idThreadIndex);
    EXPECT_EQ(6u, counterTable.processorTimeIndex);
    EXPECT_EQ(46u, counterTable.threadStateIndex);
    EXPECT_EQ(336u, counterTable.threadWaitReasonIndex);
    EXPECT_EQ(1410u, counterTable.creatingProcessIdIndex);
    EXPECT_STREQ(L"Working Set - Private", CounterName(1478));
    EXPECT_NE(nullptr, CounterHelp(1479)) << "help index = name index + 1";
    EXPECT_EQ(nullptr, CounterHelp(1478));
}

TEST_F(BuiltinProviderTest, MeasuresTheRealProcessesAndThreads)
{
    // Where the registry has no process data (Wine), the local machine is
    // served by the built-in provider, through the ordinary snapshot path.
    ChildProcess child;
    ASSERT_TRUE(child.started());
    std::atomic<bool> stop = false;
    std::atomic<DWORD> busyId = 0;
    std::thread busy([&] {
        busyId = GetCurrentThreadId();
        volatile uint64_t sink = 0;
        while (!stop)
            sink = sink + 1;
    });
    while (busyId == 0)
        Sleep(1);

    TakeSnapshot();
    Sleep(500);
    TakeSnapshot();
    DWORD systemThreadCount = ToolhelpThreadCount(GetCurrentProcessId());
    stop = true;
    busy.join();

    ASSERT_TRUE(perfData.previousSnapshot);
    SnapshotView now = perfData.currentSnapshot.View(), before = perfData.previousSnapshot.View();
    const PerfObjectType* processes = FindObject(now, counterTable.processObjectIndex);
    const PerfObjectType* threads = FindObject(now, counterTable.threadObjectIndex);
    ASSERT_NE(nullptr, processes);
    ASSERT_NE(nullptr, threads);

    InstanceFound self = FindById(now, processes, counterTable.idProcessIndex, GetCurrentProcessId());
    ASSERT_NE(nullptr, self.instance);
    uint32_t threadCount = Counter32(now, processes, self.instance, counterTable.threadCountIndex);
    EXPECT_EQ(systemThreadCount, threadCount);
    uint32_t listedThreads = 0;
    const PerfInstanceDefinition* thread = FirstInstance(now, threads);
    for (uint32_t i = 0; i < InstanceCount(threads) && thread; ++i, thread = NextInstance(now, thread))
        listedThreads += thread->ParentObjectInstance == self.position ? 1 : 0;
    EXPECT_EQ(threadCount, listedThreads) << "each thread names its process's position";

    InstanceFound started = FindById(now, processes, counterTable.idProcessIndex, child.processId());
    ASSERT_NE(nullptr, started.instance);
    EXPECT_EQ(GetCurrentProcessId(), Counter32(now, processes, started.instance, counterTable.creatingProcessIdIndex));
    EXPECT_EQ(std::u16string(u"test_child"), std::u16string(InstanceName(now, started.instance)));

    // The busy thread's processor time grew by most of the half second.
    InstanceFound busyNow = FindById(now, threads, counterTable.idThreadIndex, busyId);
    InstanceFound busyBefore = FindById(before, FindObject(before, counterTable.threadObjectIndex),
                                        counterTable.idThreadIndex, busyId);
    ASSERT_NE(nullptr, busyNow.instance);
    ASSERT_NE(nullptr, busyBefore.instance);
    uint64_t grew = Counter64(now, threads, busyNow.instance, counterTable.processorTimeIndex) -
                    Counter64(before, FindObject(before, counterTable.threadObjectIndex), busyBefore.instance,
                              counterTable.processorTimeIndex);
    EXPECT_GE(grew, 3000000u) << "at least 0.3 s in 100-ns units";

    // The same through the counter arithmetic: about one processor's worth.
    const PerfObjectType* threadsBefore = FindObject(before, counterTable.threadObjectIndex);
    CounterSample sampleNow{now, busyNow.instance, FindCounter(now, threads, counterTable.processorTimeIndex)};
    CounterSample sampleBefore{before, busyBefore.instance,
                               FindCounter(before, threadsBefore, counterTable.processorTimeIndex)};
    double share = 0;
    core::WideString text;
    ASSERT_TRUE(ComputeCounterValue(sampleNow, sampleBefore, share, text, DISPLAY_NATURAL));
    EXPECT_GE(share, 0.5);
    EXPECT_LE(share, 1.05);
    wchar_t shareText[32];
    swprintf(shareText, 32, L"%.3g", share * 100);
    EXPECT_STREQ(shareText, text.text);
    std::printf("busy thread: %ls%% of a processor\n", text.Chars());

    // _Total is the sum of the processes, and over the interval it grew by
    // the number of processors times the elapsed time.
    uint64_t sum = 0, total = 0, totalBefore = 0;
    const PerfInstanceDefinition* instance = FirstInstance(now, processes);
    for (uint32_t i = 0; i < InstanceCount(processes) && instance; ++i, instance = NextInstance(now, instance)) {
        uint64_t time = Counter64(now, processes, instance, counterTable.processorTimeIndex);
        if (std::u16string(InstanceName(now, instance)) == u"_Total")
            total = time;
        else
            sum += time;
    }
    EXPECT_EQ(sum, total);
    const PerfObjectType* processesBefore = FindObject(before, counterTable.processObjectIndex);
    instance = FirstInstance(before, processesBefore);
    for (uint32_t i = 0; i < InstanceCount(processesBefore) && instance; ++i, instance = NextInstance(before, instance)) {
        if (std::u16string(InstanceName(before, instance)) == u"_Total")
            totalBefore = Counter64(before, processesBefore, instance, counterTable.processorTimeIndex);
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    double expected = double(info.dwNumberOfProcessors) * double(Time100ns(now) - Time100ns(before));
    double measured = double(total - totalBefore);
    EXPECT_NEAR(expected, measured, expected * 0.10);
}
