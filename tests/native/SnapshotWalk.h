// Walks a snapshot the way a reader of the data does (every object, its
// counter definitions and instances, every name and every counter's value)
// and checks on the way that everything the navigation hands out keeps its
// promises: records wholly inside the bytes and 4-byte aligned, names
// terminated inside their instance, counter data inside its counter block,
// walks that only move forward, and finds that agree with the walk. Also the
// blocks that the tests and the fuzzer's seeds start from.
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

// Objects with instances and 4- and 8-byte counters, one without instances
// and one without counters or instances, in that order: process, system,
// thread, empty.
std::vector<uint8_t> SampleBlock();

// The sample block and an empty one.
std::vector<std::vector<uint8_t>> SeedBlocks();

} // namespace perf::test
