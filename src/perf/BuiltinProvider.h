// Performance data for the local machine where the registry serves none (as
// under Wine): the Process and Thread objects written in the published layout
// from the system's process list, with the standard title indexes, names and
// counter types, and name and help tables in the registry's multi-string form.
#pragma once

#include "perf/DataSource.h"
#include "perf/SnapshotWriter.h"

#include <cstdint>
#include <vector>

namespace perf {

// The system's process list entries (the full layout; the SDK's declaration
// hides several fields in reserved words).
struct SystemThreadEntry {
    int64_t KernelTime;
    int64_t UserTime;
    int64_t CreateTime;
    uint32_t WaitTime;
    void* StartAddress;
    HANDLE UniqueProcess;
    HANDLE UniqueThread;
    LONG Priority;
    LONG BasePriority;
    ULONG ContextSwitches;
    ULONG ThreadState;
    ULONG WaitReason;
};

struct SystemProcessEntry {
    ULONG NextEntryOffset;
    ULONG NumberOfThreads;
    int64_t WorkingSetPrivateSize;
    ULONG HardFaultCount;
    ULONG NumberOfThreadsHighWatermark;
    uint64_t CycleTime;
    int64_t CreateTime;
    int64_t UserTime;
    int64_t KernelTime;
    USHORT ImageNameLength;
    USHORT ImageNameMaximumLength;
    PWSTR ImageNameBuffer;
    LONG BasePriority;
    HANDLE UniqueProcessId;
    HANDLE InheritedFromUniqueProcessId;
    ULONG HandleCount;
    ULONG SessionId;
    ULONG_PTR UniqueProcessKey;
    SIZE_T PeakVirtualSize;
    SIZE_T VirtualSize;
    ULONG PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
    SIZE_T PrivatePageCount;
    int64_t ReadOperationCount;
    int64_t WriteOperationCount;
    int64_t OtherOperationCount;
    int64_t ReadTransferCount;
    int64_t WriteTransferCount;
    int64_t OtherTransferCount;
};

// One processor's times (SystemProcessorPerformanceInformation); its kernel
// time includes its idle time.
struct ProcessorTimes {
    int64_t IdleTime;
    int64_t KernelTime;
    int64_t UserTime;
    int64_t DpcTime;
    int64_t InterruptTime;
    ULONG InterruptCount;
};

// The calls that count the processors and read their times. The plain query
// sees only the calling thread's processor group (at most 64 processors);
// the others, where the system has them, see every group.
struct ProcessorQueries {
    WORD(WINAPI* groupCount)() = nullptr;               // GetActiveProcessorGroupCount
    DWORD(WINAPI* processorCount)(WORD group) = nullptr; // GetActiveProcessorCount
    // NtQuerySystemInformationEx, given a group number as its input.
    LONG(WINAPI* queryEx)(int, void*, ULONG, void*, ULONG, ULONG*) = nullptr;
    LONG(WINAPI* query)(int, void*, ULONG, ULONG*) = nullptr; // NtQuerySystemInformation
};

// The system's own, looked up at run time.
ProcessorQueries SystemProcessorQueries();

class BuiltinProvider : public DataSource {
public:
    explicit BuiltinProvider(const ProcessorQueries& queries = SystemProcessorQueries());

    LSTATUS QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    LSTATUS OpenNameKey(const wchar_t* path, HKEY* key) override;
    LSTATUS QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    void CloseNameKey(HKEY key) override;

    // Writes the current block; exposed for measuring.
    const std::vector<uint8_t>& CollectBlock(bool process, bool thread);
    // The same from recorded inputs: the system's process list and the
    // processors' times.
    const std::vector<uint8_t>& CollectBlockFrom(std::vector<uint8_t> list,
                                                 const std::vector<ProcessorTimes>& processors,
                                                 const BlockTimes& times);

private:
    bool ReadProcessList();
    bool ReadProcessorTimes();
    bool ReadProcessorGroups();
    void ListProcesses();
    void AccountUnlistedTime();
    const std::vector<uint8_t>& WriteBlock(const BlockTimes& times, bool process, bool thread);
    int BasePriority(const SystemProcessEntry& process) const;
    void WriteProcessObject(const BlockTimes& times);
    void WriteThreadObject(const BlockTimes& times);

    std::vector<uint8_t> processList;
    std::vector<const SystemProcessEntry*> processes; // entries of processList, in its order
    bool hasIdle = false; // the system lists an idle process of its own
    std::vector<ProcessorTimes> processors;
    // Where the system lists no idle process (Wine), it lists none of the
    // machine's other programs either: one made-up row carries their busy
    // time, accumulated from sample to sample (see AccountUnlistedTime).
    int64_t unlistedTime = -1;
    int64_t lastBusyTime = 0;
    struct ProcessTime {
        uintptr_t id;
        int64_t time;
        bool operator<(const ProcessTime& other) const
        {
            return id != other.id ? id < other.id : time < other.time;
        }
    };
    std::vector<ProcessTime> lastProcessTimes; // by id
    std::vector<ProcessTime> spareProcessTimes;
    wchar_t computerName[MAX_COMPUTERNAME_LENGTH + 1] = {};
    std::vector<uint64_t> totals;
    SnapshotWriter writer;
    bool isWine = false;
    ProcessorQueries processorQueries;
};

} // namespace perf
