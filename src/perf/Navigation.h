// Bounds-checked walks over a snapshot's objects, counter definitions and
// instances. Every record returned lies wholly inside the snapshot's bytes and
// is 4-byte aligned; anything that would lead outside (a bad length or offset,
// a zero length that would loop, a count larger than the bytes can hold) ends
// the walk as "not found" (null). Every function returns null when given null.
#pragma once

#include "perf/PerfLayout.h"

#include <cstdint>

namespace perf {

// The bytes a query returned: the data of one snapshot.
struct SnapshotView {
    const uint8_t* data = nullptr;
    uint32_t length = 0;

};

const PerfDataBlockHeader* BlockHeader(SnapshotView snapshot);

const PerfObjectType* FirstObject(SnapshotView snapshot);
const PerfObjectType* NextObject(SnapshotView snapshot, const PerfObjectType* object);
const PerfObjectType* FindObject(SnapshotView snapshot, uint32_t titleIndex);

const PerfCounterDefinition* FirstCounter(SnapshotView snapshot, const PerfObjectType* object);
const PerfCounterDefinition* NextCounter(SnapshotView snapshot, const PerfCounterDefinition* counter);
const PerfCounterDefinition* FindCounter(SnapshotView snapshot, const PerfObjectType* object,
                                         uint32_t titleIndex);

const PerfInstanceDefinition* FirstInstance(SnapshotView snapshot, const PerfObjectType* object);
const PerfInstanceDefinition* NextInstance(SnapshotView snapshot, const PerfInstanceDefinition* instance);

// The instance's zero-terminated UTF-16 name; an empty name when the name does
// not lie, terminated, inside the instance.
const char16_t* InstanceName(SnapshotView snapshot, const PerfInstanceDefinition* instance);

// The counter's data in the instance's counter block, when its CounterSize
// bytes lie inside that block and the counter declares at least `readSize`
// bytes: a counter declared shorter than the value read from it is absent,
// since the rest of the value would be its neighbour's bytes.
const uint8_t* CounterData(SnapshotView snapshot, const PerfInstanceDefinition* instance,
                           const PerfCounterDefinition* counter, uint32_t readSize = 4);

// Reads from counter data (4 and 8 bytes); bytes past the snapshot's end read as 0.
uint32_t ReadU32(SnapshotView snapshot, const uint8_t* data);
uint64_t ReadU64(SnapshotView snapshot, const uint8_t* data);

// The number of instances a walk may visit: 0 for PERF_NO_INSTANCES or less.
uint32_t InstanceCount(const PerfObjectType* object);

} // namespace perf
