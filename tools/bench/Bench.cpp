// Times one refresh on synthetic machines: the process and thread records
// built from a pair of snapshots, the display list, flat and as a tree, with
// every process expanded, and the repaint of a 1,280 x 1,024 window. It also counts the heap
// allocations of one refresh (operator new, and HeapAlloc called from this
// executable, which is where the program's strings come from) and the peak of
// the heap bytes in use while a machine is measured.
//
//   tools/wine-run.sh --tests build build/quorlet-bench.exe [processes]
#include "app/Startup.h"
#include "core/Handles.h"
#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "perf/SnapshotWriter.h"
#include "ui/Platform.h"
#include "view/DisplayResources.h"
#include "view/Paint.h"
#include "view/Refresh.h"

#include <windows.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

// Heap use, counted by the replaced operator new and the patched HeapAlloc.
struct HeapUse {
    uint64_t allocations = 0;
    int64_t bytes = 0;
    int64_t peakBytes = 0;
};
HeapUse heapUse;

void CountAllocation(size_t size)
{
    ++heapUse.allocations;
    heapUse.bytes += int64_t(size);
    heapUse.peakBytes = std::max(heapUse.peakBytes, heapUse.bytes);
}

void* CountedNew(size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (block)
        CountAllocation(_msize(block));
    return block;
}

#if defined(__GNUC__) && !defined(__clang__)
// The replaced operator new allocates with malloc, so free is its match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void CountedDelete(void* block)
{
    if (!block)
        return;
    heapUse.bytes -= int64_t(_msize(block));
    std::free(block);
}

} // namespace

void* operator new(size_t size)
{
    if (void* block = CountedNew(size))
        return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedNew(size); }
void operator delete(void* block) noexcept { CountedDelete(block); }
void operator delete[](void* block) noexcept { CountedDelete(block); }
void operator delete(void* block, size_t) noexcept { CountedDelete(block); }
void operator delete[](void* block, size_t) noexcept { CountedDelete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedDelete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedDelete(block); }

namespace {

using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);
HeapAllocFn realHeapAlloc = nullptr;
HeapFreeFn realHeapFree = nullptr;

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    LPVOID block = realHeapAlloc(heap, flags, size);
    if (block)
        CountAllocation(HeapSize(heap, 0, block));
    return block;
}

BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    if (block)
        heapUse.bytes -= int64_t(HeapSize(heap, 0, block));
    return realHeapFree(heap, flags, block);
}

// Points this executable's import of a kernel32 function at `replacement`;
// returns what the import pointed at, or null when it is not imported.
void* PatchImport(const char* function, void* replacement)
{
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; directory.VirtualAddress && module->Name; ++module) {
        if (_stricmp(reinterpret_cast<const char*>(base + module->Name), "kernel32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protection);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<uintptr_t>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection, &protection);
            return original;
        }
    }
    return nullptr;
}

bool CountHeapCalls()
{
    realHeapAlloc = reinterpret_cast<HeapAllocFn>(PatchImport("HeapAlloc", reinterpret_cast<void*>(CountedHeapAlloc)));
    realHeapFree = reinterpret_cast<HeapFreeFn>(PatchImport("HeapFree", reinterpret_cast<void*>(CountedHeapFree)));
    return realHeapAlloc && realHeapFree;
}

constexpr uint32_t PROCESS = 230, THREAD = 232, CPU = 6, THREADS = 680, ID_PROCESS = 784, ID_THREAD = 804,
                   CREATOR = 1410, ELAPSED = 684;
constexpr uint32_t THREADS_PER_PROCESS = 20;

// A machine of `processes` processes, each created by an earlier one (a few
// by none, a few by one that has exited), with 20 threads each; `sample`
// moves the clock and the times on.
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
    writer.AddCounter({ELAPSED, ELAPSED + 1, perf::TYPE_ELAPSED_TIME, 8});
    const uint64_t boot = 133000000000000000ull;
    for (uint32_t i = 0; i < processes; ++i) {
        uint32_t creator = i == 0 || random() % 10 == 0 ? 0 : 4 * (1 + random() % i);
        if (random() % 50 == 0)
            creator = 4 * (processes + THREADS_PER_PROCESS * processes + 1 + random() % (processes / 10 + 1));
        std::u16string name = u"process" + std::u16string(1, char16_t(u'a' + i % 26));
        writer.AddInstance(name, {},
                           {uint64_t(sample) * (i % 97) * 1000, THREADS_PER_PROCESS, 4 * (i + 1), creator, boot + i});
    }
    writer.BeginObject({THREAD, THREAD + 1});
    writer.AddCounter({CPU, CPU + 1, perf::TYPE_100NSEC_TIMER, 8});
    writer.AddCounter({ID_PROCESS, ID_PROCESS + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({ID_THREAD, ID_THREAD + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({ELAPSED, ELAPSED + 1, perf::TYPE_ELAPSED_TIME, 8});
    for (uint32_t i = 0; i < processes; ++i) {
        for (uint32_t t = 0; t < THREADS_PER_PROCESS; ++t) {
            std::u16string name(1, char16_t(u'0' + t % 10));
            uint32_t thread = 4 * (processes + i * THREADS_PER_PROCESS + t + 1);
            writer.AddInstance(name, {PROCESS, i, -1},
                               {uint64_t(sample) * (t % 13) * 100, 4 * (i + 1), thread, boot + i + t});
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

// The window's paint, into a bitmap of a large screen's size: the background,
// then the rows as the program draws them.
class Canvas {
public:
    static constexpr int WIDTH = 1280, HEIGHT = 1024;

    Canvas() : dc(CreateCompatibleDC(nullptr)), bitmap(ScreenBitmap()), selection(dc.Get(), bitmap.Get()) {}

    // The whole canvas, or only its first `height` pixels (one page of rows).
    void Paint(int height = HEIGHT) const
    {
        RECT client = {0, 0, WIDTH, height};
        FillRect(dc.Get(), &client, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
        core::SelectionGuard font(dc.Get(), view::display.viewFont.Get());
        view::PaintContent(dc.Get(), client, view::CurrentPaintInput(), view::viewState.columns);
    }

private:
    static HBITMAP ScreenBitmap()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = WIDTH;
        info.bmiHeader.biHeight = -HEIGHT;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }

    core::MemoryDc dc;
    core::Bitmap bitmap;
    core::SelectionGuard selection; // released first: the bitmap is deleted unselected
};

struct Timing {
    double refresh; // seconds per refresh
    double repaint; // seconds per refresh and paint
    double page;    // seconds per paint of the rows a window shows, alone
    double copy;    // seconds to copy both snapshots with memcpy: the floor of reading every byte
    uint32_t rows;
    uint64_t allocations; // in the last refresh
    int64_t peakBytes;    // while refreshing, the two snapshots included
};

Timing Measure(uint32_t processes, bool tree)
{
    std::vector<uint8_t> snapshots[2] = {Machine(processes, 0), Machine(processes, 1)};
    heapUse.peakBytes = heapUse.bytes;
    model::ModelState& s = model::modelState;
    model::ReleaseModel();
    model::OrderingInputs inputs;
    inputs.options.showHierarchy = tree;
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
        request.startCounterIndex = ELAPSED;
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
    int rounds = processes >= 5000 ? 20 : processes >= 1000 ? 50 : 200;
    double best = 1e9, bestWithPaint = 1e9;
    Canvas canvas;
    uint64_t allocations = 0;
    for (int r = 0; r < rounds; ++r) {
        uint64_t before = heapUse.allocations;
        double start = Now();
        refresh(r + 1);
        best = std::min(best, Now() - start);
        allocations = heapUse.allocations - before;
    }
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        refresh(r + 1);
        canvas.Paint();
        bestWithPaint = std::min(bestWithPaint, Now() - start);
    }
    const int64_t peak = heapUse.peakBytes; // before the copies below
    // A page: the rows of a window about 40 rows high.
    const int pageHeight = 40 * view::RowHeight();
    double bestPage = 1e9, bestCopy = 1e9;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        canvas.Paint(pageHeight);
        bestPage = std::min(bestPage, Now() - start);
    }
    std::vector<uint8_t> copies[2] = {std::vector<uint8_t>(snapshots[0].size()),
                                      std::vector<uint8_t>(snapshots[1].size())};
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        for (int k = 0; k < 2; ++k)
            std::memcpy(copies[k].data(), snapshots[k].data(), snapshots[k].size());
        bestCopy = std::min(bestCopy, Now() - start);
    }
    Timing timing{best, bestWithPaint, bestPage, bestCopy, s.displayCount(), allocations, peak};
    model::ReleaseModel();
    return timing;
}

// A machine's data with the registry's protocol, counting the queries: each
// one makes a real machine collect all of its data again.
class CountingSource : public perf::DataSource {
public:
    std::vector<uint8_t> block;
    std::vector<uint8_t> names, noHelp = std::vector<uint8_t>(4, 0);
    int queries = 0;

    CountingSource()
    {
        for (const wchar_t* text : {L"230", L"Process", L"232", L"Thread", L"680", L"Thread Count", L"784",
                                    L"ID Process", L"804", L"ID Thread", L""}) {
            auto* bytes = reinterpret_cast<const uint8_t*>(text);
            names.insert(names.end(), bytes, bytes + (wcslen(text) + 1) * sizeof(wchar_t));
        }
    }
    LSTATUS QuerySnapshot(const wchar_t*, uint8_t* buffer, DWORD* size) override
    {
        ++queries;
        return Serve(block, buffer, size);
    }
    LSTATUS OpenNameKey(const wchar_t*, HKEY* key) override
    {
        *key = reinterpret_cast<HKEY>(1);
        return ERROR_SUCCESS;
    }
    LSTATUS QueryNameValue(HKEY, const wchar_t* value, uint8_t* buffer, DWORD* size) override
    {
        return Serve(wcscmp(value, L"Counter") == 0 ? names : noHelp, buffer, size);
    }
    void CloseNameKey(HKEY) override {}

private:
    static LSTATUS Serve(const std::vector<uint8_t>& bytes, uint8_t* buffer, DWORD* size)
    {
        bool fits = buffer && *size >= bytes.size();
        if (fits)
            std::memcpy(buffer, bytes.data(), bytes.size());
        *size = static_cast<DWORD>(bytes.size());
        return fits ? ERROR_SUCCESS : buffer ? ERROR_MORE_DATA : ERROR_SUCCESS;
    }
};

// The queries of the first three snapshots of a machine.
void PrintQueriesPerRefresh(uint32_t processes)
{
    CountingSource source;
    source.block = Machine(processes, 0);
    perf::ReleaseSampleData();
    perf::SetSourceForTesting(&source);
    int counts[3];
    for (int& count : counts) {
        source.queries = 0;
        perf::TakeSnapshot(nullptr);
        count = source.queries;
    }
    std::printf("%9u %10.1f MB %6d %7d %6d\n", processes, double(source.block.size()) / (1 << 20), counts[0],
                counts[1], counts[2]);
    perf::ReleaseSampleData();
    perf::SetSourceForTesting(nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0); // each line as soon as it is measured
    perf::counterTable.processObjectIndex = PROCESS;
    perf::counterTable.threadObjectIndex = THREAD;
    perf::counterTable.threadCountIndex = THREADS;
    perf::counterTable.idProcessIndex = ID_PROCESS;
    perf::counterTable.idThreadIndex = ID_THREAD;
    perf::counterTable.creatingProcessIdIndex = CREATOR;
    view::ChooseCounter(CPU);
    app::InstallHooks();
    ui::ProbePlatform(GetModuleHandleW(nullptr));
    view::CreateDisplayResources();

    if (!CountHeapCalls())
        std::printf("HeapAlloc is not imported by this executable: only operator new is counted\n");
    std::printf("%9s %6s %8s %11s %10s %9s %9s %7s %8s %11s %8s\n", "processes", "order", "rows", "ms/refresh",
                "+paint ms", "page ms", "memcpy ms", "ratio", "us/row", "allocations", "peak MB");
    std::vector<uint32_t> sizes{100, 1000, 5000};
    if (argc > 1)
        sizes = {static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))};
    for (uint32_t processes : sizes) {
        for (bool tree : {false, true}) {
            Timing t = Measure(processes, tree);
            std::printf("%9u %6s %8u %11.2f %10.2f %9.3f %9.3f %7.1f %8.3f %11llu %8.1f\n", processes,
                        tree ? "tree" : "flat", t.rows, t.refresh * 1e3, t.repaint * 1e3, t.page * 1e3, t.copy * 1e3,
                        t.refresh / t.copy, t.refresh * 1e6 / t.rows, static_cast<unsigned long long>(t.allocations),
                        double(t.peakBytes) / (1 << 20));
        }
    }
    std::printf("\nqueries per refresh (%u threads a process)\n%9s %13s %6s %7s %6s\n", THREADS_PER_PROCESS,
                "processes", "block", "first", "second", "later");
    for (uint32_t processes : sizes)
        PrintQueriesPerRefresh(processes);
    view::DestroyDisplayResources();
    return 0;
}
