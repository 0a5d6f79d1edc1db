// Walks a snapshot as a reader of the data does (every object, counter
// definition, instance, name and value) and checks that what the navigation
// hands out keeps its promises: records inside the bytes, 4-byte aligned and
// moving forward, names aligned and terminated inside their instance, counter
// data inside its counter block, finds that agree with the walk.
#pragma once

#include "perf/Navigation.h"

#include <optional>
#include <string>
#include <vector>

namespace perf::test {

struct WalkedInstance {
    const PerfInstanceDefinition* instance = nullptr;
    std::u16string name;
    // One per walked counter of the object; none where CounterData refused.
    std::vector<std::optional<uint64_t>> values;
};

struct WalkedObject {
    const PerfObjectType* object = nullptr;
    std::vector<const PerfCounterDefinition*> counters;
    std::vector<WalkedInstance> instances;
};

struct Walk {
    std::vector<WalkedObject> objects;
    std::vector<std::string> faults; // broken promises; empty when all is well
};

Walk WalkSnapshot(SnapshotView snapshot);

// Process (4- and 8-byte counters), system (no instances), thread, and an
// object without counters or instances.
std::vector<uint8_t> SampleBlock();
// The sample block and an empty one: the fuzzer's seeds.
std::vector<std::vector<uint8_t>> SeedBlocks();

} // namespace perf::test
