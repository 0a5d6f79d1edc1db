// Writes a performance data block in the published layout from plain data:
// a header with its time base, then objects with their counter definitions
// and instances. Used by the built-in provider and by tests.
//
//   SnapshotWriter w;
//   w.BeginBlock(times, u"HOST");
//   w.BeginObject({230, 231, ...});
//   w.AddCounter({6, 7, TYPE_100NSEC_TIMER, 8});
//   w.AddInstance(u"Idle", {}, values);      // one value per counter
//   w.EndObject();
//   const std::vector<uint8_t>& bytes = w.Finish();
#pragma once

#include "perf/PerfLayout.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace perf {

struct BlockTimes {
    PerfSystemTime systemTime = {};
    int64_t perfTime = 0;
    int64_t perfFreq = 0;
    int64_t perfTime100nSec = 0;
};

struct ObjectSpec {
    uint32_t nameIndex = 0;
    uint32_t helpIndex = 0;
    uint32_t detailLevel = 100;
    int32_t defaultCounter = 0;
    int64_t perfTime = 0;
    int64_t perfFreq = 0;
    bool noInstances = false; // PERF_NO_INSTANCES: one counter block, no instance records
};

struct CounterSpec {
    uint32_t nameIndex = 0;
    uint32_t helpIndex = 0;
    uint32_t type = 0;
    uint32_t size = 4; // 4 or 8
    uint32_t detailLevel = 100;
    int32_t defaultScale = 0;
};

struct InstanceParent {
    uint32_t objectTitleIndex = 0;
    uint32_t instance = 0;
    int32_t uniqueId = -1; // PERF_NO_UNIQUE_ID
};

class SnapshotWriter {
public:
    // Starts a new block; the buffer's capacity is kept from earlier blocks.
    void BeginBlock(const BlockTimes& times, std::u16string_view systemName);
    void BeginObject(const ObjectSpec& object);
    void AddCounter(const CounterSpec& counter);
    // values[i] belongs to the i-th counter; missing values are 0, and a
    // 4-byte counter keeps the low 32 bits.
    void AddInstance(std::u16string_view name, const InstanceParent& parent, const uint64_t* values,
                     size_t valueCount);
    void AddInstance(std::u16string_view name, const InstanceParent& parent,
                     const std::vector<uint64_t>& values)
    {
        AddInstance(name, parent, values.data(), values.size());
    }
    // The counter block of an object with no instances.
    void SetObjectValues(const uint64_t* values, size_t valueCount);
    void EndObject();
    const std::vector<uint8_t>& Finish();

private:
    template <class Record>
    Record* At(size_t offset) { return reinterpret_cast<Record*>(bytes.data() + offset); }
    size_t Grow(size_t count);
    void WriteCounterBlock(const uint64_t* values, size_t valueCount);

    std::vector<uint8_t> bytes;
    std::vector<uint32_t> counterOffsets;
    std::vector<uint32_t> counterSizes;
    uint32_t counterBlockLength = 0;
    size_t objectStart = 0;
    uint32_t objectCount = 0;
    bool inObject = false;
};

} // namespace perf
