// The built-in provider's blocks, written from recorded process lists and
// processor times.
#include "perf/BuiltinProvider.h"
#include "perf/Navigation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

using namespace perf;

namespace {

constexpr int64_t SECOND = 10000000;

struct Row {
    std::u16string name;
    uint32_t parent = 0, id = 0, threadCount = 0, creator = 0; // parent: of a thread
    int64_t time = 0;                                           // % Processor Time's raw value
};
using Rows = std::vector<Row>;

Rows ReadRows(SnapshotView view, uint32_t objectIndex)
{
    Rows rows;
    const PerfObjectType* object = FindObject(view, objectIndex);
    auto counter = [&](uint32_t index) { return FindCounter(view, object, index); };
    const PerfCounterDefinition *time = counter(6), *id = counter(objectIndex == 230 ? 784 : 804);
    const PerfCounterDefinition *threadCount = counter(680), *creator = counter(1410);
    const PerfInstanceDefinition* instance = FirstInstance(view, object);
    for (uint32_t i = 0; i < InstanceCount(object) && instance; ++i, instance = NextInstance(view, instance)) {
        auto read = [&](const PerfCounterDefinition* c) { return ReadU32(view, CounterData(view, instance, c)); };
        rows.push_back({InstanceName(view, instance), instance->ParentObjectInstance, read(id), read(threadCount),
                        read(creator), static_cast<int64_t>(ReadU64(view, CounterData(view, instance, time, 8)))});
    }
    return rows;
}

// The position of the first row that passes; rows.size() if none does.
template <class Test>
uint32_t Find(const Rows& rows, Test test)
{
    return static_cast<uint32_t>(std::find_if(rows.begin(), rows.end(), test) - rows.begin());
}

auto Id(uint32_t id)
{
    return [id](const Row& r) { return r.id == id; };
}

int64_t Sum(const Rows& rows)
{
    int64_t sum = 0;
    for (const Row& row : rows)
        sum += row.name == u"_Total" ? 0 : row.time;
    return sum;
}

// A process list in the layout of SystemProcessInformation, each thread's
// time half user, half kernel time.
struct Listed {
    uintptr_t id, creator;
    const wchar_t* image;
    std::vector<int64_t> threadTimes;
};

std::vector<uint8_t> ProcessList(const std::vector<Listed>& list)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < list.size(); ++i) {
        const Listed& listed = list[i];
        size_t at = bytes.size();
        bytes.resize(at + sizeof(SystemProcessEntry) + listed.threadTimes.size() * sizeof(SystemThreadEntry));
        SystemProcessEntry process = {};
        process.NextEntryOffset = i + 1 < list.size() ? static_cast<ULONG>(bytes.size() - at) : 0;
        process.NumberOfThreads = static_cast<ULONG>(listed.threadTimes.size());
        process.UniqueProcessId = reinterpret_cast<HANDLE>(listed.id);
        process.InheritedFromUniqueProcessId = reinterpret_cast<HANDLE>(listed.creator);
        process.ImageNameBuffer = const_cast<PWSTR>(listed.image);
        process.ImageNameLength = static_cast<USHORT>(listed.image ? wcslen(listed.image) * 2 : 0);
        for (size_t k = 0; k < listed.threadTimes.size(); ++k) {
            SystemThreadEntry thread = {};
            process.UserTime += thread.UserTime = listed.threadTimes[k] / 2;
            process.KernelTime += thread.KernelTime = listed.threadTimes[k] - thread.UserTime;
            thread.UniqueProcess = process.UniqueProcessId;
            thread.UniqueThread = reinterpret_cast<HANDLE>(listed.id * 100 + k);
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

// A sample's rows, checked for the totals and the made-up row's one thread.
struct Sample {
    Rows processes, threads;
    std::map<std::u16string, int64_t> timeOf;

    Sample(BuiltinProvider& provider, std::vector<uint8_t> list, const std::vector<ProcessorTimes>& processors)
    {
        const std::vector<uint8_t>& block = provider.CollectBlockFrom(std::move(list), processors, {});
        processes = ReadRows({block.data(), static_cast<uint32_t>(block.size())}, 230);
        threads = ReadRows({block.data(), static_cast<uint32_t>(block.size())}, 232);
        for (const Row& row : processes)
            timeOf[row.name] = row.time;
        EXPECT_EQ(Sum(processes), timeOf[u"_Total"]);
        EXPECT_EQ(Sum(threads), timeOf[u"_Total"]);
        uint32_t unlisted = Find(processes, [](const Row& r) { return r.name == u"Unlisted programs"; });
        if (unlisted < processes.size()) {
            EXPECT_EQ(0u, processes[unlisted].id) << "no real process has ID 0: matched by name";
            uint32_t thread = Find(threads, [&](const Row& r) { return r.parent == unlisted; });
            EXPECT_EQ(timeOf[u"Unlisted programs"], thread < threads.size() ? threads[thread].time : -1);
        }
    }
};

} // namespace

TEST(BuiltinProvider, WritesTheListedProcessesAndTheirThreads)
{
    BuiltinProvider provider;
    Sample s(provider, ProcessList({{40, 4, L"editor.exe", {10 * SECOND, 5 * SECOND}}, {44, 40, L"child.EXE", {SECOND}}}),
             Processors(0, 0, 0, 0));
    uint32_t editor = Find(s.processes, Id(40)), child = Find(s.processes, Id(44));
    ASSERT_LT(std::max(editor, child), s.processes.size());
    EXPECT_EQ(u"editor", s.processes[editor].name);
    EXPECT_EQ(u"child", s.processes[child].name);
    EXPECT_EQ(4u, s.processes[editor].creator);
    EXPECT_EQ(2u, s.processes[editor].threadCount);
    EXPECT_EQ(15 * SECOND, s.processes[editor].time);
    for (auto [thread, process, time] : {std::tuple{4000u, editor, 10 * SECOND}, {4001u, editor, 5 * SECOND},
                                         {4400u, child, SECOND}}) {
        uint32_t row = Find(s.threads, Id(thread));
        ASSERT_LT(row, s.threads.size()) << thread;
        EXPECT_EQ(process, s.threads[row].parent) << thread;
        EXPECT_EQ(time, s.threads[row].time) << thread;
    }
}

TEST(BuiltinProvider, TheMachinesOtherProgramsAreBusyNotIdle)
{
    // 20 s busy on each processor, of which the listed processes used 25.
    BuiltinProvider wine;
    auto list = ProcessList({{40, 0, nullptr, {10 * SECOND, 5 * SECOND}}, {44, 0, nullptr, {10 * SECOND}}});
    auto first = Sample(wine, list, Processors(50 * SECOND, 20 * SECOND, 40 * SECOND, 20 * SECOND)).timeOf;
    EXPECT_EQ(90 * SECOND, first[u"Idle"]);
    EXPECT_EQ(15 * SECOND, first[u"Unlisted programs"]);

    // 3 s later: a native program kept processor 0 busy, processor 1 idled.
    auto second = Sample(wine, list, Processors(50 * SECOND, 23 * SECOND, 43 * SECOND, 20 * SECOND)).timeOf;
    EXPECT_EQ(3 * SECOND, second[u"Idle"] - first[u"Idle"]) << "one processor's worth";
    EXPECT_EQ(3 * SECOND, second[u"Unlisted programs"] - first[u"Unlisted programs"]);
    EXPECT_EQ(6 * SECOND, second[u"_Total"] - first[u"_Total"]);

    // Process 44 ended and 48 started, with half a second: no other program ran.
    list = ProcessList({{40, 0, nullptr, {10 * SECOND, 5 * SECOND}}, {48, 0, nullptr, {SECOND / 2}}});
    auto third = Sample(wine, list, Processors(53 * SECOND, 23 * SECOND + SECOND / 2, 45 * SECOND + SECOND / 2,
                                               20 * SECOND)).timeOf;
    EXPECT_EQ(second[u"Unlisted programs"], third[u"Unlisted programs"]) << "an ended process's past";

    // The listed processes seem to grow by more than the processors were busy.
    list = ProcessList({{40, 0, nullptr, {12 * SECOND, 5 * SECOND}}, {48, 0, nullptr, {SECOND / 2}}});
    auto fourth = Sample(wine, list, Processors(54 * SECOND, 24 * SECOND + SECOND / 2, 47 * SECOND, 20 * SECOND)).timeOf;
    EXPECT_EQ(third[u"Unlisted programs"], fourth[u"Unlisted programs"]) << "never backwards";

    // Where the system lists an idle process of its own, nothing is made up.
    BuiltinProvider windows;
    list = ProcessList({{0, 0, nullptr, {30 * SECOND, 30 * SECOND}}, {4, 0, nullptr, {SECOND}}});
    auto rows = Sample(windows, list, Processors(0, 0, 0, 0)).timeOf;
    EXPECT_EQ((std::map<std::u16string, int64_t>{{u"Idle", 60 * SECOND}, {u"System", SECOND}, {u"_Total", 61 * SECOND}}),
              rows);
}

namespace {

// Two processor groups, of one and three processors; processor k (counted
// over both) has idled k + 1 seconds. The plain query sees group 0 alone.
LONG ReadGroup(WORD group, void* out, ULONG size, ULONG* length)
{
    const WORD first[] = {0, 1, 4};
    if (group > 1 || size < (first[group + 1] - first[group]) * sizeof(ProcessorTimes))
        return static_cast<LONG>(0xC0000004);
    for (WORD k = first[group]; k < first[group + 1]; ++k)
        static_cast<ProcessorTimes*>(out)[k - first[group]] = {(k + 1) * SECOND, (k + 1) * SECOND, 0, 0, 0, 0};
    *length = (first[group + 1] - first[group]) * sizeof(ProcessorTimes);
    return 0;
}

const ProcessorQueries TWO_GROUPS = {
    [] { return WORD(2); }, [](WORD group) { return DWORD(group ? 3 : 1); },
    [](int, void* in, ULONG, void* out, ULONG size, ULONG* n) { return ReadGroup(*static_cast<WORD*>(in), out, size, n); },
    [](int, void* out, ULONG size, ULONG* n) { return ReadGroup(0, out, size, n); }};

} // namespace

// The processors' idle time, one idle thread each, over every group where
// the system reads them group by group; else over the calling thread's group.
// The system's own functions find every processor, whichever way they go.
TEST(BuiltinProvider, ReadsTheProcessorsOfEveryGroup)
{
    ProcessorQueries noGroupQuery = TWO_GROUPS, groupQueryRefused = TWO_GROUPS; // before Windows 7; Wine
    noGroupQuery.queryEx = nullptr;
    static int refusals = 0;
    groupQueryRefused.queryEx = [](int, void*, ULONG, void*, ULONG, ULONG*) { return ++refusals, LONG(0xC0000002); };
    const std::tuple<ProcessorQueries, uint32_t, int64_t> cases[] = { // idle seconds, -1: the machine's
        {TWO_GROUPS, 4, 10}, {noGroupQuery, 1, 1}, {groupQueryRefused, 1, 1},
        {SystemProcessorQueries(), GetActiveProcessorCount(ALL_PROCESSOR_GROUPS), -1}};
    for (auto [queries, processors, idleSeconds] : cases) {
        BuiltinProvider provider(queries);
        provider.CollectBlock(true, true);
        const std::vector<uint8_t>& block = provider.CollectBlock(true, true);
        Rows rows = ReadRows({block.data(), uint32_t(block.size())}, 230);
        Rows threads = ReadRows({block.data(), uint32_t(block.size())}, 232);
        uint32_t idle = Find(rows, [](const Row& r) { return r.name == u"Idle"; }); // Wine lists no idle process
        ASSERT_LT(idle, rows.size());
        EXPECT_EQ(processors, rows[idle].threadCount);
        auto idleThreads = std::count_if(threads.begin(), threads.end(), [&](const Row& t) { return t.parent == idle; });
        EXPECT_EQ(processors, uint32_t(idleThreads));
        EXPECT_TRUE(idleSeconds < 0 || idleSeconds * SECOND == rows[idle].time) << processors;
    }
    EXPECT_EQ(1, refusals) << "a system that does not know the group query is not asked again";
}
