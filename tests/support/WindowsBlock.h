// Performance data laid out as Windows lays it out, written field by field at
// the platform's documented offsets without any of the program's own layout
// code: 8-byte padding filled with a byte that is not zero, objects in any
// order (asked for or not), objects without instances (one counter block of
// objectValues), NameLength counting the name's terminator or not.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_support {

struct RawCounter {
    uint32_t index, type, size; // size 4 or 8
};
struct RawInstance {
    std::u16string name;
    std::vector<uint64_t> values; // one per counter
    uint32_t parentObject = 0, parentInstance = 0;
};
struct RawObject {
    uint32_t index;
    std::vector<RawCounter> counters;
    std::vector<RawInstance> instances = {};
    bool noInstances = false;
    std::vector<uint64_t> objectValues = {};
};
struct RawBlock {
    int64_t perfTime = 0, perfFreq = 10000000, perfTime100nSec = 0;
    std::vector<RawObject> objects;
    uint8_t padding = 0xCC;
    bool nameLengthCountsTerminator = true;
};

inline std::vector<uint8_t> WindowsBlock(const RawBlock& block)
{
    std::vector<uint8_t> bytes;
    auto reserve = [&](size_t count) {
        bytes.resize(bytes.size() + count, block.padding);
        return bytes.size() - count;
    };
    auto put = [&](size_t at, const void* value, size_t size) { std::memcpy(&bytes[at], value, size); };
    auto fields = [&](size_t at, std::initializer_list<uint32_t> values) { put(at, values.begin(), values.size() * 4); };
    auto padFrom = [&](size_t start) { // pads to 8 bytes; the length since `start`
        bytes.resize((bytes.size() + 7) & ~size_t(7), block.padding);
        return uint32_t(bytes.size() - start);
    };
    std::vector<uint32_t> offsets;
    uint32_t blockLength = 0;
    auto counterBlock = [&](const RawObject& object, const std::vector<uint64_t>& values) {
        size_t at = reserve(blockLength);
        fields(at, {blockLength});
        for (size_t i = 0; i < offsets.size() && i < values.size(); ++i)
            put(at + offsets[i], &values[i], object.counters[i].size); // little-endian: the low word first
    };

    // PERF_DATA_BLOCK: 88 bytes, its LARGE_INTEGERs from offset 56; then the system name.
    put(reserve(88), u"PERF", 8);
    fields(8, {1, 1, 1, 0, 0, uint32_t(block.objects.size()), 238}); // ... DefaultObject: Processor
    const uint16_t systemTime[8] = {2026, 12, 1, 7, 12, 0, 0, 0};
    put(36, systemTime, 16);
    const int64_t times[3] = {block.perfTime, block.perfFreq, block.perfTime100nSec};
    put(56, times, 24);
    fields(80, {10, 88});
    put(reserve(10), u"HOST", 10);
    fields(24, {padFrom(0)}); // HeaderLength
    for (const RawObject& object : block.objects) {
        // PERF_OBJECT_TYPE: 64 bytes; -1 instances is PERF_NO_INSTANCES.
        size_t start = reserve(64);
        uint32_t instances = object.noInstances ? 0xFFFFFFFF : uint32_t(object.instances.size());
        fields(start + 8, {64, object.index, 0, object.index + 1, 0, 100, uint32_t(object.counters.size()), 0,
                           instances, 0});
        const int64_t objectTimes[2] = {block.perfTime100nSec, 10000000}; // Elapsed Time's own time base
        put(start + 48, objectTimes, 16);
        // PERF_COUNTER_DEFINITIONs of 40 bytes; counter data from 8 in its
        // block, each 8-byte counter at a multiple of 8.
        offsets.clear();
        blockLength = 8;
        for (const RawCounter& c : object.counters) {
            blockLength = c.size == 8 ? (blockLength + 7) & ~7u : blockLength;
            offsets.push_back(blockLength);
            fields(reserve(40), {40, c.index, 0, c.index + 1, 0, 0, 100, c.type, c.size, blockLength});
            blockLength += c.size;
        }
        blockLength = (blockLength + 7) & ~7u;
        fields(start + 4, {padFrom(start)}); // DefinitionLength
        if (object.noInstances)
            counterBlock(object, object.objectValues);
        for (size_t i = 0; i < object.instances.size() && !object.noInstances; ++i) {
            // PERF_INSTANCE_DEFINITION: 24 bytes, the name, padding; its counter block.
            const RawInstance& instance = object.instances[i];
            size_t at = reserve(24), nameBytes = (instance.name.size() + 1) * 2;
            put(reserve(nameBytes), instance.name.c_str(), nameBytes);
            uint32_t nameLength = uint32_t(nameBytes - (block.nameLengthCountsTerminator ? 0 : 2));
            fields(at + 4, {instance.parentObject, instance.parentInstance, 0xFFFFFFFF, 24, nameLength});
            fields(at, {padFrom(at)});
            counterBlock(object, instance.values);
        }
        fields(start, {padFrom(start)}); // TotalByteLength
    }
    fields(20, {padFrom(0)});
    return bytes;
}

} // namespace testing_support
