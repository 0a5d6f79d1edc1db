// Prints the processes and threads of one snapshot, taken the way the program
// takes it, and compares them with the system's own process list (Toolhelp).
// The system's list is taken just before and just after the snapshot, and
// only what both show alike is compared: processes come and go, and threads
// start and end, while the snapshot is taken. With --bench it times the
// built-in provider instead.
//
//   tools/wine-run.sh --tests build build/quorlet-snapshot.exe [--bench]
#include "core/Handles.h"
#include "core/Module.h"
#include "perf/BuiltinProvider.h"
#include "perf/CounterNames.h"
#include "perf/PerfData.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace {

struct SystemProcess {
    DWORD creatorId = 0;
    std::set<DWORD> threads;

    bool operator==(const SystemProcess&) const = default;
};

std::map<DWORD, SystemProcess> ToolhelpProcesses()
{
    std::map<DWORD, SystemProcess> processes;
    core::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        processes[entry.th32ProcessID].creatorId = entry.th32ParentProcessID;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof(thread);
    for (BOOL more = Thread32First(snapshot.Get(), &thread); more; more = Thread32Next(snapshot.Get(), &thread))
        processes[thread.th32OwnerProcessID].threads.insert(thread.th32ThreadID);
    return processes;
}

// The processes that both lists show alike: the same creator, the same threads.
std::map<DWORD, SystemProcess> StableProcesses(const std::map<DWORD, SystemProcess>& before,
                                               const std::map<DWORD, SystemProcess>& after)
{
    std::map<DWORD, SystemProcess> stable;
    for (const auto& [id, process] : before) {
        auto found = after.find(id);
        if (found != after.end() && found->second == process)
            stable.emplace(id, process);
    }
    return stable;
}

uint32_t Value(perf::SnapshotView view, const perf::PerfInstanceDefinition* instance,
               const perf::PerfCounterDefinition* counter)
{
    return perf::ReadU32(view, perf::CounterData(view, instance, counter));
}

double ThreadSeconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto value = [](FILETIME t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7; };
    return value(kernel) + value(user);
}

// Processor time per block written by the built-in provider, and per bare
// query of the system's process list, which the block needs.
int Bench()
{
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    auto query = core::FindExport<Query>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    if (!query)
        return 1;
    const int rounds = 5000;
    perf::BuiltinProvider provider;
    size_t bytes = provider.CollectBlock(true, true).size();
    std::vector<uint8_t> list(1 << 20);
    ULONG needed = 0;
    auto wall = [] {
        LARGE_INTEGER counter, frequency;
        QueryPerformanceCounter(&counter);
        QueryPerformanceFrequency(&frequency);
        return double(counter.QuadPart) / double(frequency.QuadPart);
    };
    // Both measured the same way, alternating, so that the difference is
    // what the provider adds to the system's own query.
    double blockCpu = 0, queryCpu = 0, blockWall = 0, queryWall = 0;
    for (int i = 0; i < rounds; ++i) {
        double cpu = ThreadSeconds(), start = wall();
        provider.CollectBlock(true, true);
        blockCpu += ThreadSeconds() - cpu;
        blockWall += wall() - start;
        cpu = ThreadSeconds();
        start = wall();
        query(5, list.data(), static_cast<ULONG>(list.size()), &needed);
        queryCpu += ThreadSeconds() - cpu;
        queryWall += wall() - start;
    }
    std::printf("block of %zu bytes, per block: processor time %.1f us (the system's query alone %.1f us), "
                "elapsed %.1f us (the query alone %.1f us)\n",
                bytes, blockCpu / rounds * 1e6, queryCpu / rounds * 1e6, blockWall / rounds * 1e6,
                queryWall / rounds * 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--bench") == 0)
        return Bench();
    using namespace perf;
    std::map<DWORD, SystemProcess> before = ToolhelpProcesses();
    TakeSnapshot(nullptr);
    std::map<DWORD, SystemProcess> system = StableProcesses(before, ToolhelpProcesses());
    SnapshotView view = perfData.currentSnapshot.View();
    const PerfObjectType* processes = FindObject(view, counterTable.processObjectIndex);
    const PerfObjectType* threads = FindObject(view, counterTable.threadObjectIndex);
    if (!processes || !threads) {
        std::printf("no Process or Thread object (status %u)\n", perfData.statusMessageId);
        return 1;
    }
    const PerfCounterDefinition* id = FindCounter(view, processes, counterTable.idProcessIndex);
    const PerfCounterDefinition* creator = FindCounter(view, processes, counterTable.creatingProcessIdIndex);
    const PerfCounterDefinition* count = FindCounter(view, processes, counterTable.threadCountIndex);

    std::printf("%-24s %8s %8s %7s  %s\n", "process", "id", "creator", "threads", "system's own list");
    int mismatches = 0;
    const PerfInstanceDefinition* instance = FirstInstance(view, processes);
    for (uint32_t i = 0; i < InstanceCount(processes) && instance; ++i) {
        DWORD pid = Value(view, instance, id);
        DWORD parent = Value(view, instance, creator);
        DWORD threadCount = Value(view, instance, count);
        const char* verdict = "(not listed there, or changing)";
        auto found = system.find(pid);
        if (found != system.end()) {
            bool same = found->second.creatorId == parent && found->second.threads.size() == threadCount;
            verdict = same ? "same id, creator and threads" : "DIFFERENT";
            mismatches += same ? 0 : 1;
        }
        std::printf("%-24ls %8lu %8lu %7lu  %s\n", reinterpret_cast<const wchar_t*>(InstanceName(view, instance)),
                    pid, parent, threadCount, verdict);
        instance = NextInstance(view, instance);
    }

    const PerfCounterDefinition* threadId = FindCounter(view, threads, counterTable.idThreadIndex);
    const PerfCounterDefinition* ownerId = FindCounter(view, threads, counterTable.idProcessIndex);
    std::printf("\n%-24s %8s %8s %8s\n", "thread", "id", "process", "position");
    instance = FirstInstance(view, threads);
    for (uint32_t i = 0; i < InstanceCount(threads) && instance; ++i) {
        std::printf("%-24ls %8lu %8lu %8lu\n", reinterpret_cast<const wchar_t*>(InstanceName(view, instance)),
                    static_cast<unsigned long>(Value(view, instance, threadId)),
                    static_cast<unsigned long>(Value(view, instance, ownerId)),
                    static_cast<unsigned long>(instance->ParentObjectInstance));
        instance = NextInstance(view, instance);
    }
    std::printf("\n%d process(es) differ from the system's list\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}
