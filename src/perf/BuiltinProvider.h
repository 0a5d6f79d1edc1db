// Performance data for the local machine where the registry serves none (as
// under Wine): the Process and Thread objects written in the published layout
// from the system's process list, with the standard title indexes, names and
// counter types, and name and help tables in the registry's multi-string form.
#pragma once

#include "perf/DataSource.h"
#include "perf/SnapshotWriter.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace perf {

struct SystemProcessEntry;

class BuiltinProvider : public DataSource {
public:
    BuiltinProvider();

    LSTATUS QuerySnapshot(const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    LSTATUS OpenNameKey(const wchar_t* path, HKEY* key) override;
    LSTATUS QueryNameValue(HKEY key, const wchar_t* valueName, uint8_t* buffer, DWORD* size) override;
    void CloseNameKey(HKEY key) override;

    // Writes the current block; exposed for measuring.
    const std::vector<uint8_t>& CollectBlock(bool process, bool thread);

private:
    bool ReadProcessList();
    void ListProcesses();
    int BasePriority(const SystemProcessEntry& process) const;
    int64_t SyntheticIdleTime(const std::vector<const SystemProcessEntry*>& processes);
    void WriteProcessObject(const BlockTimes& times, int64_t idle);
    void WriteThreadObject(const BlockTimes& times, int64_t idle);

    std::vector<uint8_t> processList;
    std::vector<const SystemProcessEntry*> processes; // entries of processList, in its order
    bool hasIdle = false; // the system lists an idle process of its own
    uint32_t processorCount = 1;
    // The idle process made up where the system lists none (see SyntheticIdleTime).
    int64_t syntheticIdle = -1;
    int64_t lastCapacity = 0;
    std::unordered_map<uintptr_t, int64_t> lastProcessTimes;
    std::vector<uint64_t> totals;
    SnapshotWriter writer;
    bool isWine = false;
};

} // namespace perf
