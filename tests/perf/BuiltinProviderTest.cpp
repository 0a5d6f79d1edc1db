// The built-in provider: against the real system through the same
// TakeSnapshot the program uses, and its accounting of processor time fed
// with recorded inputs.
#include "core/Handles.h"
#include "perf/BuiltinProvider.h"
#include "perf/PerfData.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>

using namespace perf;
using testing_support::ChildProcess;

namespace {

constexpr int64_t SECOND = 10000000;
constexpr int64_t TICK = 100000; // the 10 ms granularity of Wine's processor times

struct Row {
    std::u16string name;
    uint32_t parent = 0, id = 0, threadCount = 0; // the parent of a thread, the count of a process
    int64_t time = 0;                             // % Processor Time's raw value
};
using Rows = std::vector<Row>;

Rows ReadRows(SnapshotView view, uint32_t objectIndex)
{
    Rows rows;
    const PerfObjectType* object = FindObject(view, objectIndex);
    const PerfCounterDefinition* time = FindCounter(view, object, 6);
    const PerfCounterDefinition* id = FindCounter(view, object, objectIndex == 230 ? 784 : 804);
    const PerfCounterDefinition* threadCount = FindCounter(view, object, 680);
    const PerfInstanceDefinition* instance = FirstInstance(view, object);
    for (uint32_t i = 0; i < InstanceCount(object) && instance; ++i, instance = NextInstance(view, instance))
        rows.push_back({InstanceName(view, instance), instance->ParentObjectInstance,
                        ReadU32(view, CounterData(view, instance, id)),
                        ReadU32(view, CounterData(view, instance, threadCount)),
                        static_cast<int64_t>(ReadU64(view, CounterData(view, instance, time, 8)))});
    return rows;
}

// The first row that passes; an empty one if none does.
template <class Test>
Row Find(const Rows& rows, Test test)
{
    auto found = std::find_if(rows.begin(), rows.end(), test);
    return found != rows.end() ? *found : Row{u"(none)"};
}

Row Named(const Rows& rows, const std::u16string& name)
{
    return Find(rows, [&](const Row& r) { return r.name == name; });
}

int64_t Sum(const Rows& rows)
{
    int64_t sum = 0;
    for (const Row& row : rows)
        sum += row.name == u"_Total" ? 0 : row.time;
    return sum;
}

int64_t Value(FILETIME t)
{
    return static_cast<int64_t>((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

int64_t ThreadTime(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    return Value(kernel) + Value(user);
}

// The processors' idle time and total (idle included) time, as the system reports them.
std::pair<int64_t, int64_t> ProcessorTotals()
{
    FILETIME idle, kernel, user;
    GetSystemTimes(&idle, &kernel, &user);
    return {Value(idle), Value(kernel) + Value(user)};
}

DWORD ToolhelpThreadCount(DWORD processId)
{
    DWORD count = 0;
    core::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == processId ? 1 : 0;
    return count;
}

DWORD WINAPI Spin(void* stop)
{
    while (!static_cast<std::atomic<bool>*>(stop)->load())
        ;
    return 0;
}

void WaitForThreadTime(HANDLE thread, int64_t atLeast)
{
    for (int waited = 0; ThreadTime(thread) < atLeast && waited < 60000; waited += 10)
        Sleep(10);
}

} // namespace

TEST(BuiltinProviderTest, MeasuresTheRealProcessesAndThreads)
{
    // Where the registry has no process data (Wine), the local machine is
    // served by the built-in provider, through the ordinary snapshot path,
    // names included.
    ReleaseSampleData();
    ChildProcess child;
    ASSERT_TRUE(child.started());
    std::atomic<bool> stop = false;
    DWORD busyId = 0;
    core::KernelHandle busy(CreateThread(nullptr, 0, Spin, &stop, 0, &busyId));
    ASSERT_TRUE(busy);
    // Until the thread runs, Wine's process list gives it its process's times.
    WaitForThreadTime(busy.Get(), 1);

    // Each snapshot is bracketed by what the system says before and after it;
    // however busy the machine, the thread runs 0.3 s between them.
    int64_t busyBefore[2], busyAfter[2];
    std::pair<int64_t, int64_t> processorsBefore[2], processorsAfter[2];
    for (int k = 0; k < 2; ++k) {
        if (k == 1)
            WaitForThreadTime(busy.Get(), busyAfter[0] + 3 * SECOND / 10);
        busyBefore[k] = ThreadTime(busy.Get());
        processorsBefore[k] = ProcessorTotals();
        TakeSnapshot(nullptr);
        processorsAfter[k] = ProcessorTotals();
        busyAfter[k] = ThreadTime(busy.Get());
    }
    DWORD systemThreadCount = ToolhelpThreadCount(GetCurrentProcessId());
    stop = true;
    WaitForSingleObject(busy.Get(), INFINITE);

    ASSERT_TRUE(perfData.previousSnapshot);
    SnapshotView now = perfData.currentSnapshot.View(), before = perfData.previousSnapshot.View();
    Rows processes = ReadRows(now, 230), threads = ReadRows(now, 232), processesBefore = ReadRows(before, 230);
    Rows threadsBefore = ReadRows(before, 232);
    ReleaseSampleData();

    // The processes and their threads, as the system lists them.
    auto withId = [](uint32_t id) { return [id](const Row& r) { return r.id == id; }; };
    EXPECT_EQ(systemThreadCount, Find(processes, withId(GetCurrentProcessId())).threadCount);
    EXPECT_EQ(child.processId(), Named(processes, u"test_child").id);

    // The busy thread's time is the system's own account of it.
    for (auto [rows, k] : {std::pair{&threadsBefore, 0}, std::pair{&threads, 1}}) {
        Row row = Find(*rows, withId(busyId));
        EXPECT_GE(row.time, busyBefore[k] - TICK) << k;
        EXPECT_LE(row.time, busyAfter[k] + TICK) << k;
    }

    // Idle is the processors' idle time; _Total, the sum of the rows, is the
    // processors' whole time; the Thread object's _Total the same sum.
    EXPECT_GE(Named(processes, u"Idle").time, processorsBefore[1].first - TICK);
    EXPECT_LE(Named(processes, u"Idle").time, processorsAfter[1].first + TICK);
    EXPECT_EQ(Sum(processes), Named(processes, u"_Total").time);
    EXPECT_EQ(Sum(threads), Named(threads, u"_Total").time);
    // Processes that end between the snapshots take their time out of _Total.
    double atLeast = double(processorsBefore[1].second - processorsAfter[0].second);
    double atMost = double(processorsAfter[1].second - processorsBefore[0].second);
    double totalGrowth = double(Named(processes, u"_Total").time - Named(processesBefore, u"_Total").time);
    EXPECT_GE(totalGrowth, atLeast * 0.95 - 4 * TICK);
    EXPECT_LE(totalGrowth, atMost * 1.05 + 4 * TICK);
}

namespace {

// A process list in the layout of SystemProcessInformation: each process's
// ID and its threads' times.
std::vector<uint8_t> ProcessList(const std::vector<std::pair<uintptr_t, std::vector<int64_t>>>& list)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < list.size(); ++i) {
        const auto& [id, threadTimes] = list[i];
        size_t at = bytes.size();
        bytes.resize(at + sizeof(SystemProcessEntry) + threadTimes.size() * sizeof(SystemThreadEntry));
        SystemProcessEntry process = {};
        process.NextEntryOffset = i + 1 < list.size() ? static_cast<ULONG>(bytes.size() - at) : 0;
        process.NumberOfThreads = static_cast<ULONG>(threadTimes.size());
        process.UniqueProcessId = reinterpret_cast<HANDLE>(id);
        for (size_t k = 0; k < threadTimes.size(); ++k) {
            SystemThreadEntry thread = {};
            process.UserTime += thread.UserTime = threadTimes[k];
            thread.UniqueProcess = process.UniqueProcessId;
            thread.UniqueThread = reinterpret_cast<HANDLE>(id * 100 + k);
            std::memcpy(&bytes[at + sizeof(process) + k * sizeof(thread)], &thread, sizeof(thread));
        }
        std::memcpy(&bytes[at], &process, sizeof(process));
    }
    return bytes;
}

// Two processors: idle time and busy time of each.
std::vector<ProcessorTimes> Processors(int64_t idle0, int64_t busy0, int64_t idle1, int64_t busy1)
{
    return {{idle0, idle0 + busy0 / 2, busy0 - busy0 / 2, 0, 0, 0}, {idle1, idle1, busy1, 0, 0, 0}};
}

} // namespace

TEST(BuiltinProviderAccounting, TheMachinesOtherProgramsAreBusyNotIdle)
{
    BuiltinProvider provider;
    BlockTimes times;
    // Each sample's times, by process name.
    auto sample = [&](std::vector<uint8_t> list, std::vector<ProcessorTimes> processors) {
        std::vector<uint8_t> block = provider.CollectBlockFrom(std::move(list), processors, times);
        SnapshotView view{block.data(), static_cast<uint32_t>(block.size())};
        Rows processes = ReadRows(view, 230), threads = ReadRows(view, 232);
        EXPECT_EQ(Sum(processes), Named(processes, u"_Total").time);
        EXPECT_EQ(Named(processes, u"_Total").time, Named(threads, u"_Total").time);
        std::map<std::u16string, int64_t> timeOf;
        for (uint32_t i = 0; i < processes.size(); ++i) {
            timeOf[processes[i].name] = processes[i].time;
            if (processes[i].name == u"Unlisted programs") {
                EXPECT_EQ(0u, processes[i].id) << "no real process has ID 0: matched by name";
                EXPECT_EQ(processes[i].time, Find(threads, [&](const Row& r) { return r.parent == i; }).time)
                    << "its one thread";
            }
        }
        return timeOf;
    };
    // 20 s busy on each processor, of which the listed processes used 25.
    auto list = ProcessList({{40, {10 * SECOND, 5 * SECOND}}, {44, {10 * SECOND}}});
    auto first = sample(list, Processors(50 * SECOND, 20 * SECOND, 40 * SECOND, 20 * SECOND));
    EXPECT_EQ(90 * SECOND, first[u"Idle"]);
    EXPECT_EQ(15 * SECOND, first[u"Unlisted programs"]);

    // 3 s later: a native program kept processor 0 busy, processor 1 idled.
    auto second = sample(list, Processors(50 * SECOND, 23 * SECOND, 43 * SECOND, 20 * SECOND));
    EXPECT_EQ(3 * SECOND, second[u"Idle"] - first[u"Idle"]) << "one processor's worth";
    EXPECT_EQ(3 * SECOND, second[u"Unlisted programs"] - first[u"Unlisted programs"]);
    EXPECT_EQ(6 * SECOND, second[u"_Total"] - first[u"_Total"]);

    // Process 44 ended and 48 started, with half a second: no other program ran.
    auto third = sample(ProcessList({{40, {10 * SECOND, 5 * SECOND}}, {48, {SECOND / 2}}}),
                        Processors(53 * SECOND, 23 * SECOND + SECOND / 2, 45 * SECOND + SECOND / 2, 20 * SECOND));
    EXPECT_EQ(second[u"Unlisted programs"], third[u"Unlisted programs"]) << "an ended process's past";

    // The listed processes seem to grow by more than the processors were busy.
    auto fourth = sample(ProcessList({{40, {12 * SECOND, 5 * SECOND}}, {48, {SECOND / 2}}}),
                         Processors(54 * SECOND, 24 * SECOND + SECOND / 2, 47 * SECOND, 20 * SECOND));
    EXPECT_EQ(third[u"Unlisted programs"], fourth[u"Unlisted programs"]) << "never backwards";

    // Where the system lists an idle process of its own, nothing is made up.
    BuiltinProvider windows;
    std::vector<uint8_t> block = windows.CollectBlockFrom(ProcessList({{0, {30 * SECOND, 30 * SECOND}}, {4, {SECOND}}}),
                                                          Processors(0, 0, 0, 0), times);
    Rows rows = ReadRows({block.data(), static_cast<uint32_t>(block.size())}, 230);
    EXPECT_EQ(u"(none)", Named(rows, u"Unlisted programs").name);
    EXPECT_EQ(60 * SECOND, Named(rows, u"Idle").time);
    EXPECT_EQ(3u, rows.size()) << "Idle, System, _Total";
}
