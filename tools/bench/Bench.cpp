// Times the data side of one refresh on synthetic machines: the process and
// thread records built from a pair of snapshots, then the display list, flat
// and as a tree, with every process expanded.
//
//   tools/wine-run.sh --tests build build/quorlet-bench.exe
#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/SnapshotWriter.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint32_t PROCESS = 230, THREAD = 232, CPU = 6, THREADS = 680, ID_PROCESS = 784, ID_THREAD = 804,
                   CREATOR = 1410;
constexpr uint32_t THREADS_PER_PROCESS = 20;

// A machine of `processes` processes, each created by an earlier one (a few
// by none), with 20 threads each; `sample` moves the clock and the times on.
std::vector<uint8_t> Machine(uint32_t processes, int sample)
{
    std::mt19937 random(processes);
    perf::BlockTimes times;
    times.perfTime100nSec = 10000000LL * (sample + 1);
    times.perfFreq = 10000000;
    times.perfTime = times.perfTime100nSec;
    perf::SnapshotWriter writer;
    writer.BeginBlock(times, u"BENCH");
    writer.BeginObject({PROCESS, PROCESS + 1});
    writer.AddCounter({CPU, CPU + 1, perf::TYPE_100NSEC_TIMER, 8});
    writer.AddCounter({THREADS, THREADS + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({ID_PROCESS, ID_PROCESS + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({CREATOR, CREATOR + 1, perf::TYPE_RAWCOUNT, 4});
    for (uint32_t i = 0; i < processes; ++i) {
        uint32_t creator = i == 0 || random() % 10 == 0 ? 0 : 4 * (1 + random() % i);
        std::u16string name = u"process" + std::u16string(1, char16_t(u'a' + i % 26));
        writer.AddInstance(name, {}, {uint64_t(sample) * (i % 97) * 1000, THREADS_PER_PROCESS, 4 * (i + 1), creator});
    }
    writer.BeginObject({THREAD, THREAD + 1});
    writer.AddCounter({CPU, CPU + 1, perf::TYPE_100NSEC_TIMER, 8});
    writer.AddCounter({ID_PROCESS, ID_PROCESS + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({ID_THREAD, ID_THREAD + 1, perf::TYPE_RAWCOUNT, 4});
    for (uint32_t i = 0; i < processes; ++i) {
        for (uint32_t t = 0; t < THREADS_PER_PROCESS; ++t) {
            std::u16string name(1, char16_t(u'0' + t % 10));
            uint32_t thread = 4 * (processes + i * THREADS_PER_PROCESS + t + 1);
            writer.AddInstance(name, {PROCESS, i, -1}, {uint64_t(sample) * (t % 13) * 100, 4 * (i + 1), thread});
        }
    }
    return writer.Finish();
}

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

struct Timing {
    double refresh; // seconds per refresh
    uint32_t rows;
};

Timing Measure(uint32_t processes, bool tree)
{
    std::vector<uint8_t> snapshots[2] = {Machine(processes, 0), Machine(processes, 1)};
    model::ModelState& s = model::state;
    model::ReleaseModel();
    s.showHierarchy = tree;
    model::OrderingInputs inputs;
    inputs.processObjectIndex = PROCESS;
    inputs.idProcessIndex = ID_PROCESS;
    inputs.creatingProcessIdIndex = CREATOR;

    auto refresh = [&](int sample) {
        const std::vector<uint8_t>& now = snapshots[sample % 2];
        const std::vector<uint8_t>& before = snapshots[(sample + 1) % 2];
        model::BuildRequest request;
        request.current = {now.data(), uint32_t(now.size())};
        request.previous = {before.data(), uint32_t(before.size())};
        request.counterIndex = CPU;
        request.objectIndex = PROCESS;
        request.idCounterIndex = ID_PROCESS;
        model::BuildInstanceRecords(request, s.processRecords);
        request.objectIndex = THREAD;
        request.idCounterIndex = ID_THREAD;
        request.depth = 1;
        model::BuildInstanceRecords(request, s.threadRecords);
        inputs.previous = request.previous;
        model::BuildDisplayList(s, inputs);
    };
    refresh(0);
    for (uint32_t i = 0; i < s.processRecords.count; ++i)
        s.processRecords[i].flags |= model::expanded;

    // The best of several rounds: the least disturbed by the rest of the machine.
    int rounds = processes >= 5000 ? 5 : processes >= 1000 ? 20 : 200;
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        refresh(r + 1);
        best = std::min(best, Now() - start);
    }
    Timing timing{best, s.displayCount()};
    model::ReleaseModel();
    return timing;
}

} // namespace

int main()
{
    perf::counterTable.processObjectIndex = PROCESS;
    perf::counterTable.threadObjectIndex = THREAD;
    perf::counterTable.threadCountIndex = THREADS;
    perf::counterTable.idProcessIndex = ID_PROCESS;
    perf::counterTable.idThreadIndex = ID_THREAD;
    perf::counterTable.creatingProcessIdIndex = CREATOR;
    perf::selection.counterIndex = CPU;

    std::printf("%9s %6s %8s %12s %12s\n", "processes", "order", "rows", "ms/refresh", "us/row");
    for (uint32_t processes : {100u, 1000u, 5000u}) {
        for (bool tree : {false, true}) {
            Timing t = Measure(processes, tree);
            std::printf("%9u %6s %8u %12.2f %12.3f\n", processes, tree ? "tree" : "flat", t.rows, t.refresh * 1e3,
                        t.refresh * 1e6 / t.rows);
        }
    }
    return 0;
}
