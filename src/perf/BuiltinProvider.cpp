#include "perf/BuiltinProvider.h"

#include "core/Module.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <span>
#include <string_view>

namespace perf {

namespace {

constexpr uint32_t PROCESS_OBJECT = 230;
constexpr uint32_t THREAD_OBJECT = 232;
constexpr long STATUS_INFO_LENGTH_MISMATCH = static_cast<long>(0xC0000004);
constexpr int SYSTEM_PROCESS_INFORMATION_CLASS = 5;
constexpr int SYSTEM_PROCESSOR_PERFORMANCE_CLASS = 8;
const HKEY ENGLISH_NAMES_KEY = reinterpret_cast<HKEY>(static_cast<uintptr_t>(9));
constexpr std::u16string_view UNLISTED_NAME = u"Unlisted programs";

#ifdef _WIN64
static_assert(sizeof(SystemProcessEntry) == 256 && sizeof(SystemThreadEntry) == 80);
static_assert(offsetof(SystemProcessEntry, UniqueProcessId) == 80 && offsetof(SystemProcessEntry, PeakVirtualSize) == 112);
static_assert(offsetof(SystemThreadEntry, StartAddress) == 32 && offsetof(SystemThreadEntry, ThreadState) == 68);
#endif
static_assert(sizeof(ProcessorTimes) == 48);

using QuerySystemInformation = LONG(WINAPI*)(int, void*, ULONG, ULONG*);

struct CounterName {
    uint32_t index;
    const wchar_t* name;
    const wchar_t* help;
};

// Name and help texts served for every index the two objects use.
const CounterName counterNames[] = {
    {6, L"% Processor Time", L"The share of elapsed time that the threads of the process (or the thread) spent running "
                             L"on any processor, in user and privileged mode together. 100 stands for one processor "
                             L"kept busy for the whole interval."},
    {28, L"Page Faults/sec", L"The rate at which the process touched pages that were not in its working set."},
    {46, L"Thread State", L"The thread's scheduling state: 0 initialized, 1 ready, 2 running, 3 standby, "
                          L"4 terminated, 5 waiting, 6 in transition, 7 unknown."},
    {56, L"Pool Paged Bytes", L"Bytes of the paged system pool charged to the process."},
    {58, L"Pool Nonpaged Bytes", L"Bytes of the nonpaged system pool charged to the process."},
    {142, L"% User Time", L"The share of elapsed time spent running in user mode."},
    {144, L"% Privileged Time", L"The share of elapsed time spent running in privileged (kernel) mode."},
    {146, L"Context Switches/sec", L"The rate at which the processor switched to or from the thread."},
    {172, L"Virtual Bytes Peak", L"The largest size, in bytes, that the process's virtual address space has reached."},
    {174, L"Virtual Bytes", L"The current size, in bytes, of the process's virtual address space."},
    {178, L"Working Set Peak", L"The largest working set, in bytes, that the process has had."},
    {180, L"Working Set", L"The bytes of the process's memory that are resident in physical memory."},
    {182, L"Page File Bytes Peak", L"The largest amount of page-file space, in bytes, the process has used."},
    {184, L"Page File Bytes", L"The page-file space, in bytes, that the process uses now."},
    {186, L"Private Bytes", L"Bytes of memory that belong to the process alone and cannot be shared."},
    {230, L"Process", L"A running program: its processor time, memory, handles and input/output."},
    {232, L"Thread", L"A thread of execution inside a process: its processor time, priority and state."},
    {336, L"Thread Wait Reason", L"Why a waiting thread waits; meaningful only while its state is 5 (waiting)."},
    {680, L"Thread Count", L"The number of threads the process has now."},
    {682, L"Priority Base", L"The base scheduling priority: of the process, or of the thread."},
    {684, L"Elapsed Time", L"The time since the process or thread was created."},
    {694, L"Priority Current", L"The thread's current dynamic scheduling priority."},
    {706, L"Start Address", L"The address at which the thread started running."},
    {784, L"ID Process", L"The process identifier. Identifiers are reused once a process has ended."},
    {804, L"ID Thread", L"The thread identifier. Identifiers are reused once a thread has ended."},
    {952, L"Handle Count", L"The number of handles the process holds open."},
    {1410, L"Creating Process ID", L"The identifier of the process that created this one; that process may since have "
                                   L"ended, and its identifier may have been reused."},
    {1412, L"IO Read Operations/sec", L"The rate of the process's read operations on files, the network and devices."},
    {1414, L"IO Write Operations/sec", L"The rate of the process's write operations."},
    {1416, L"IO Data Operations/sec", L"The rate of the process's read and write operations together."},
    {1418, L"IO Other Operations/sec", L"The rate of the process's input/output operations other than reads and writes."},
    {1420, L"IO Read Bytes/sec", L"The rate at which the process reads bytes."},
    {1422, L"IO Write Bytes/sec", L"The rate at which the process writes bytes."},
    {1424, L"IO Data Bytes/sec", L"The rate at which the process reads and writes bytes together."},
    {1426, L"IO Other Bytes/sec", L"The rate of bytes in the process's other input/output operations."},
    {1478, L"Working Set - Private", L"The bytes of the working set that no other process shares."},
};

constexpr uint32_t TIMER = TYPE_100NSEC_TIMER;
constexpr uint32_t LARGE = TYPE_LARGE_RAWCOUNT;
constexpr uint32_t RAW = TYPE_RAWCOUNT;
constexpr uint32_t BULK = TYPE_BULK_COUNT;

const CounterSpec processCounters[] = {
    {6, 7, TIMER, 8},       {142, 143, TIMER, 8},   {144, 145, TIMER, 8},   {172, 173, LARGE, 8},
    {174, 175, LARGE, 8},   {28, 29, TYPE_COUNTER, 4}, {178, 179, LARGE, 8}, {180, 181, LARGE, 8},
    {182, 183, LARGE, 8},   {184, 185, LARGE, 8},   {186, 187, LARGE, 8},   {680, 681, RAW, 4},
    {682, 683, RAW, 4},     {684, 685, TYPE_ELAPSED_TIME, 8}, {784, 785, RAW, 4}, {1410, 1411, RAW, 4},
    {56, 57, RAW, 4},       {58, 59, RAW, 4},       {952, 953, RAW, 4},     {1412, 1413, BULK, 8},
    {1414, 1415, BULK, 8},  {1416, 1417, BULK, 8},  {1418, 1419, BULK, 8},  {1420, 1421, BULK, 8},
    {1422, 1423, BULK, 8},  {1424, 1425, BULK, 8},  {1426, 1427, BULK, 8},  {1478, 1479, LARGE, 8},
};
enum ProcessColumn { P_THREADS = 11, P_PRIORITY = 12, P_ELAPSED = 13, P_ID = 14, P_CREATOR = 15, P_COUNT = 28 };

const CounterSpec threadCounters[] = {
    {6, 7, TIMER, 8},   {142, 143, TIMER, 8}, {144, 145, TIMER, 8}, {146, 147, TYPE_COUNTER, 4},
    {684, 685, TYPE_ELAPSED_TIME, 8}, {694, 695, RAW, 4}, {682, 683, RAW, 4},
    {706, 707, TYPE_LARGE_RAWCOUNT_HEX, 8}, {46, 47, RAW, 4}, {336, 337, RAW, 4}, {784, 785, RAW, 4},
    {804, 805, RAW, 4},
};
enum ThreadColumn { T_ELAPSED = 4, T_FIRST_IDENTITY = 4, T_COUNT = 12 };

static_assert(std::size(processCounters) == P_COUNT && std::size(threadCounters) == T_COUNT);

// Wine reports a priority class code as the process's base priority and
// thread priorities relative to it; the platform's scale is absolute.
int ClassBasePriority(LONG wineClass)
{
    switch (wineClass) {
    case 1: return 4;   // idle
    case 3: return 13;  // high
    case 4: return 24;  // realtime
    case 5: return 6;   // below normal
    case 6: return 10;  // above normal
    default: return 8;  // normal
    }
}

uint32_t AbsolutePriority(int classBase, LONG relative)
{
    if (relative >= 15)
        return classBase >= 16 ? 31 : 15;
    if (relative <= -15)
        return classBase >= 16 ? 16 : 1;
    int priority = classBase + relative;
    return static_cast<uint32_t>(priority < 1 ? 1 : priority > 31 ? 31 : priority);
}

std::u16string_view Ordinal(uint32_t n, char16_t* scratch, size_t scratchCount)
{
    int written = swprintf(reinterpret_cast<wchar_t*>(scratch), scratchCount, L"%u", n);
    return {scratch, written > 0 ? static_cast<size_t>(written) : 0};
}

// The platform's instance name: the image name without a trailing ".exe".
std::u16string_view ProcessInstanceName(const SystemProcessEntry& entry, char16_t* scratch, size_t scratchCount)
{
    size_t length = entry.ImageNameLength / sizeof(wchar_t);
    if (entry.ImageNameBuffer && length > 0) {
        const wchar_t* name = entry.ImageNameBuffer;
        if (length > 4 && _wcsnicmp(name + length - 4, L".exe", 4) == 0)
            length -= 4;
        return {reinterpret_cast<const char16_t*>(name), length};
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(entry.UniqueProcessId);
    std::u16string_view fixed = id == 0 ? IDLE_INSTANCE : id == 4 ? u"System" : u"";
    if (!fixed.empty())
        return fixed;
    return Ordinal(static_cast<uint32_t>(id), scratch, scratchCount);
}

void AppendMultiString(std::vector<wchar_t>& out, uint32_t index, const wchar_t* text)
{
    wchar_t number[16];
    int written = swprintf(number, 16, L"%u", index);
    out.insert(out.end(), number, number + written);
    out.push_back(0);
    out.insert(out.end(), text, text + wcslen(text));
    out.push_back(0);
}

const std::vector<wchar_t>& NameValue(bool help)
{
    static const std::array<std::vector<wchar_t>, 2> values = [] {
        std::vector<wchar_t> names, helps;
        AppendMultiString(names, 1, L"1847");
        for (const CounterName& c : counterNames) {
            AppendMultiString(names, c.index, c.name);
            AppendMultiString(helps, c.index + 1, c.help);
        }
        names.push_back(0);
        helps.push_back(0);
        return std::array<std::vector<wchar_t>, 2>{names, helps};
    }();
    return values[help ? 1 : 0];
}

bool ValueNameAsks(const wchar_t* valueName, uint32_t index)
{
    if (!valueName || _wcsicmp(valueName, L"Global") == 0 || _wcsicmp(valueName, L"Costly") == 0)
        return true;
    for (const wchar_t* at = valueName; *at;) {
        wchar_t* end = nullptr;
        unsigned long n = wcstoul(at, &end, 10);
        if (end == at) {
            ++at;
            continue;
        }
        if (n == index)
            return true;
        at = end;
    }
    return false;
}

BlockTimes CurrentTimes()
{
    BlockTimes times;
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SYSTEMTIME system;
    GetSystemTime(&system);
    times.perfTime = counter.QuadPart;
    times.perfFreq = frequency.QuadPart;
    times.perfTime100nSec = static_cast<int64_t>((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    static_assert(sizeof(times.systemTime) == sizeof(system));
    std::memcpy(&times.systemTime, &system, sizeof(system));
    return times;
}

// The object's header and counter definitions; both objects are timed in
// 100-ns units, which Elapsed Time counts in.
void BeginObject(SnapshotWriter& writer, uint32_t nameIndex, std::span<const CounterSpec> counters,
                 const BlockTimes& times)
{
    ObjectSpec object;
    object.nameIndex = nameIndex;
    object.helpIndex = nameIndex + 1;
    object.perfTime = times.perfTime100nSec;
    object.perfFreq = 10000000;
    writer.BeginObject(object);
    for (const CounterSpec& counter : counters)
        writer.AddCounter(counter);
}

// Answers as a registry value does: the bytes when they fit (only their size
// when no buffer is given), else ERROR_MORE_DATA with the size needed.
LSTATUS CopyValue(const void* data, size_t bytes, uint8_t* buffer, DWORD* size)
{
    DWORD needed = static_cast<DWORD>(bytes);
    if (buffer && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (buffer)
        std::memcpy(buffer, data, needed);
    *size = needed;
    return ERROR_SUCCESS;
}

QuerySystemInformation SystemQuery()
{
    static auto query = core::FindExport<QuerySystemInformation>(GetModuleHandleW(L"ntdll.dll"),
                                                                 "NtQuerySystemInformation");
    return query;
}

} // namespace

ProcessorQueries SystemProcessorQueries()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ProcessorQueries queries;
    queries.groupCount = core::FindExport<decltype(queries.groupCount)>(kernel, "GetActiveProcessorGroupCount");
    queries.processorCount = core::FindExport<decltype(queries.processorCount)>(kernel, "GetActiveProcessorCount");
    queries.queryEx =
        core::FindExport<decltype(queries.queryEx)>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformationEx");
    queries.query = SystemQuery();
    return queries;
}

BuiltinProvider::BuiltinProvider(const ProcessorQueries& queries) : processorQueries(queries)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    isWine = ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool BuiltinProvider::ReadProcessList()
{
    QuerySystemInformation query = SystemQuery();
    if (!query)
        return false;
    if (processList.empty())
        processList.resize(64 * 1024);
    for (int attempt = 0; attempt < 16; ++attempt) {
        ULONG needed = 0;
        LONG status = query(SYSTEM_PROCESS_INFORMATION_CLASS, processList.data(),
                            static_cast<ULONG>(processList.size()), &needed);
        if (status >= 0)
            return true;
        if (status != STATUS_INFO_LENGTH_MISMATCH)
            return false;
        // The list can grow between the two calls: leave some room.
        processList.resize((needed > processList.size() ? needed : processList.size()) * 3 / 2);
    }
    return false;
}

// Every group's processors, group by group; false where the system cannot
// say (before Windows 7, or under Wine, whose query takes no group).
bool BuiltinProvider::ReadProcessorGroups()
{
    ProcessorQueries& q = processorQueries;
    WORD groups = q.groupCount && q.processorCount && q.queryEx ? q.groupCount() : 0;
    processors.clear();
    for (WORD group = 0; group < groups; ++group) {
        size_t first = processors.size();
        processors.resize(first + q.processorCount(group));
        ULONG bytes = static_cast<ULONG>((processors.size() - first) * sizeof(ProcessorTimes)), length = 0;
        LONG status = q.queryEx(SYSTEM_PROCESSOR_PERFORMANCE_CLASS, &group, sizeof(group), processors.data() + first,
                                bytes, &length);
        if (status < 0) {
            // A system that does not know the query (Wine, which logs each
            // refusal) is not asked again.
            if (status != STATUS_INFO_LENGTH_MISMATCH)
                processorQueries.queryEx = nullptr;
            return false;
        }
        processors.resize(first + std::min<size_t>(processors.size() - first, length / sizeof(ProcessorTimes)));
    }
    return groups > 0;
}

bool BuiltinProvider::ReadProcessorTimes()
{
    if (ReadProcessorGroups())
        return true;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    processors.assign(info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1, ProcessorTimes{});
    QuerySystemInformation query = processorQueries.query;
    ULONG length = 0;
    if (!query || query(SYSTEM_PROCESSOR_PERFORMANCE_CLASS, processors.data(),
                        static_cast<ULONG>(processors.size() * sizeof(ProcessorTimes)), &length) < 0)
        return false;
    processors.resize(std::min(processors.size(), size_t(length / sizeof(ProcessorTimes))));
    return true;
}

// The busy time of the processors that no listed process accounts for (under
// Wine: the machine's native programs, which no Windows call sees). It starts
// at the busy time the listed processes leave over and grows by each
// interval's busy time less the listed processes' growth, so that a process
// that ends does not hand its whole past to it, and it never runs backwards.
// With the processors' idle time as Idle, _Total then grows by the number of
// processors times the elapsed time, and the load the tray shows is the
// machine's real load.
void BuiltinProvider::AccountUnlistedTime()
{
    int64_t busy = 0;
    for (const ProcessorTimes& p : processors)
        busy += p.KernelTime + p.UserTime - p.IdleTime;
    // This sample's times by process id, in the array the sample before last
    // used: a steady state allocates nothing.
    std::vector<ProcessTime>& times = spareProcessTimes;
    times.clear();
    for (const SystemProcessEntry* p : processes)
        times.push_back({reinterpret_cast<uintptr_t>(p->UniqueProcessId), p->KernelTime + p->UserTime});
    std::sort(times.begin(), times.end());
    int64_t listed = 0, listedGrowth = 0;
    for (const ProcessTime& now : times) {
        listed += now.time;
        auto before = std::lower_bound(lastProcessTimes.begin(), lastProcessTimes.end(), ProcessTime{now.id, INT64_MIN});
        bool known = before != lastProcessTimes.end() && before->id == now.id;
        int64_t growth = known ? now.time - before->time : now.time;
        listedGrowth += growth > 0 ? growth : 0;
    }
    int64_t added = unlistedTime < 0 ? busy - listed : (busy - lastBusyTime) - listedGrowth;
    unlistedTime = (unlistedTime < 0 ? 0 : unlistedTime) + (added > 0 ? added : 0);
    lastBusyTime = busy;
    std::swap(lastProcessTimes, spareProcessTimes);
}

void BuiltinProvider::ListProcesses()
{
    processes.clear();
    hasIdle = false;
    for (size_t offset = 0; offset + sizeof(SystemProcessEntry) <= processList.size();) {
        auto* entry = reinterpret_cast<const SystemProcessEntry*>(processList.data() + offset);
        size_t threadsEnd =
            offset + sizeof(SystemProcessEntry) + size_t(entry->NumberOfThreads) * sizeof(SystemThreadEntry);
        if (threadsEnd > processList.size())
            break;
        processes.push_back(entry);
        hasIdle = hasIdle || entry->UniqueProcessId == nullptr;
        if (entry->NextEntryOffset == 0)
            break;
        offset += entry->NextEntryOffset;
    }
}

int BuiltinProvider::BasePriority(const SystemProcessEntry& process) const
{
    return isWine ? ClassBasePriority(process.BasePriority) : process.BasePriority;
}

void BuiltinProvider::WriteProcessObject(const BlockTimes& times)
{
    BeginObject(writer, PROCESS_OBJECT, processCounters, times);
    totals.assign(P_COUNT, 0);
    uint64_t values[P_COUNT] = {};
    auto add = [&](std::u16string_view name) {
        writer.AddInstance(name, {}, values, P_COUNT);
        for (int i = 0; i < P_COUNT; ++i)
            totals[i] += values[i];
    };
    if (!hasIdle) {
        int64_t idle = 0;
        for (const ProcessorTimes& p : processors)
            idle += p.IdleTime;
        values[0] = values[2] = static_cast<uint64_t>(idle);
        values[P_THREADS] = processors.size();
        values[P_ELAPSED] = static_cast<uint64_t>(times.perfTime100nSec - int64_t(GetTickCount64()) * 10000);
        add(IDLE_INSTANCE);
        // ID 0, like Idle and _Total: matched by its name, which no real process has.
        values[0] = values[2] = static_cast<uint64_t>(unlistedTime);
        values[P_THREADS] = 1;
        add(UNLISTED_NAME);
    }
    char16_t scratch[16];
    for (const SystemProcessEntry* p : processes) {
        uint64_t v[P_COUNT] = {
            uint64_t(p->KernelTime + p->UserTime), uint64_t(p->UserTime), uint64_t(p->KernelTime),
            p->PeakVirtualSize, p->VirtualSize, p->PageFaultCount, p->PeakWorkingSetSize,
            p->WorkingSetSize, p->PeakPagefileUsage, p->PagefileUsage, p->PrivatePageCount,
            p->NumberOfThreads, uint64_t(BasePriority(*p)), uint64_t(p->CreateTime),
            uint64_t(reinterpret_cast<uintptr_t>(p->UniqueProcessId)),
            uint64_t(reinterpret_cast<uintptr_t>(p->InheritedFromUniqueProcessId)),
            p->QuotaPagedPoolUsage, p->QuotaNonPagedPoolUsage, p->HandleCount,
            uint64_t(p->ReadOperationCount), uint64_t(p->WriteOperationCount),
            uint64_t(p->ReadOperationCount + p->WriteOperationCount), uint64_t(p->OtherOperationCount),
            uint64_t(p->ReadTransferCount), uint64_t(p->WriteTransferCount),
            uint64_t(p->ReadTransferCount + p->WriteTransferCount), uint64_t(p->OtherTransferCount),
            uint64_t(p->WorkingSetPrivateSize),
        };
        std::memcpy(values, v, sizeof(values));
        add(ProcessInstanceName(*p, scratch, std::size(scratch)));
    }
    // _Total sums the rates, times and sizes; its identity columns are 0.
    totals[P_ELAPSED] = totals[P_ID] = totals[P_CREATOR] = totals[P_PRIORITY] = 0;
    writer.AddInstance(TOTAL_INSTANCE, {}, totals);
    writer.EndObject();
}

void BuiltinProvider::WriteThreadObject(const BlockTimes& times)
{
    BeginObject(writer, THREAD_OBJECT, threadCounters, times);
    totals.assign(T_COUNT, 0);
    uint64_t values[T_COUNT] = {};
    char16_t scratch[16];
    auto add = [&](uint32_t ordinal, uint32_t parent) {
        writer.AddInstance(Ordinal(ordinal, scratch, std::size(scratch)), {PROCESS_OBJECT, parent, -1}, values,
                           T_COUNT);
        for (int i = 0; i < T_FIRST_IDENTITY; ++i)
            totals[i] += values[i];
    };
    uint32_t position = 0; // of the process that owns the threads
    if (!hasIdle) {
        // One idle thread per processor, with that processor's idle time.
        for (uint32_t cpu = 0; cpu < processors.size(); ++cpu) {
            values[0] = values[2] = static_cast<uint64_t>(processors[cpu].IdleTime);
            add(cpu, position);
        }
        values[0] = values[2] = static_cast<uint64_t>(unlistedTime);
        add(0, ++position);
        ++position;
    }
    for (const SystemProcessEntry* p : processes) {
        int base = BasePriority(*p);
        auto* threads = reinterpret_cast<const SystemThreadEntry*>(p + 1);
        for (ULONG k = 0; k < p->NumberOfThreads; ++k) {
            const SystemThreadEntry& t = threads[k];
            uint64_t v[T_COUNT] = {
                uint64_t(t.KernelTime + t.UserTime), uint64_t(t.UserTime), uint64_t(t.KernelTime),
                t.ContextSwitches, uint64_t(t.CreateTime),
                isWine ? AbsolutePriority(base, t.Priority) : uint32_t(t.Priority),
                isWine ? AbsolutePriority(base, t.BasePriority) : uint32_t(t.BasePriority),
                uint64_t(reinterpret_cast<uintptr_t>(t.StartAddress)), t.ThreadState, t.WaitReason,
                uint64_t(reinterpret_cast<uintptr_t>(t.UniqueProcess)),
                uint64_t(reinterpret_cast<uintptr_t>(t.UniqueThread)),
            };
            std::memcpy(values, v, sizeof(values));
            add(k, position);
        }
        ++position;
    }
    writer.AddInstance(TOTAL_INSTANCE, {PROCESS_OBJECT, position, -1}, totals); // the process _Total's position
    writer.EndObject();
}

const std::vector<uint8_t>& BuiltinProvider::WriteBlock(const BlockTimes& times, bool process, bool thread)
{
    // The name does not change while the system runs: it is asked for once.
    if (computerName[0] == 0) {
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        GetComputerNameW(computerName, &length);
    }
    writer.BeginBlock(times, {reinterpret_cast<const char16_t*>(computerName), wcslen(computerName)});
    ListProcesses();
    if (processes.empty())
        return writer.Finish();
    if (!hasIdle)
        AccountUnlistedTime();
    if (process || thread)
        WriteProcessObject(times);
    if (thread)
        WriteThreadObject(times);
    return writer.Finish();
}

const std::vector<uint8_t>& BuiltinProvider::CollectBlock(bool process, bool thread)
{
    BlockTimes times = CurrentTimes();
    if (!ReadProcessList())
        processList.clear();
    if (!ReadProcessorTimes())
        processors.clear();
    return WriteBlock(times, process, thread);
}

const std::vector<uint8_t>& BuiltinProvider::CollectBlockFrom(std::vector<uint8_t> list,
                                                              const std::vector<ProcessorTimes>& times,
                                                              const BlockTimes& blockTimes)
{
    processList = std::move(list);
    processors = times;
    return WriteBlock(blockTimes, true, true);
}

LSTATUS BuiltinProvider::QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    bool thread = ValueNameAsks(valueName, THREAD_OBJECT);
    // As on the platform, asking for threads brings their processes along.
    bool process = thread || ValueNameAsks(valueName, PROCESS_OBJECT);
    const std::vector<uint8_t>& block = CollectBlock(process, thread);
    return CopyValue(block.data(), block.size(), buffer, size);
}

LSTATUS BuiltinProvider::OpenNameKey(const wchar_t* path, HKEY* key)
{
    size_t length = wcslen(path);
    if (length < 4 || _wcsicmp(path + length - 4, L"\\009") != 0)
        return ERROR_FILE_NOT_FOUND;
    *key = ENGLISH_NAMES_KEY;
    return ERROR_SUCCESS;
}

LSTATUS BuiltinProvider::QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size)
{
    bool help = _wcsicmp(valueName, L"Help") == 0;
    if (key != ENGLISH_NAMES_KEY || (!help && _wcsicmp(valueName, L"Counter") != 0))
        return ERROR_FILE_NOT_FOUND;
    const std::vector<wchar_t>& value = NameValue(help);
    return CopyValue(value.data(), value.size() * sizeof(wchar_t), buffer, size);
}

void BuiltinProvider::CloseNameKey(HKEY)
{
}

} // namespace perf
