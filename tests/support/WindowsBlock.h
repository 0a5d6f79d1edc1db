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

class WindowsBlockWriter {
public:
    explicit WindowsBlockWriter(const RawBlock& block) : block(block) {}

    std::vector<uint8_t> Write()
    {
        // PERF_DATA_BLOCK: 88 bytes, its LARGE_INTEGERs from offset 56; then the system name.
        Put(Reserve(88), u"PERF", 8);
        Fields(8, {1, 1, 1, 0, 0, uint32_t(block.objects.size()), 238}); // ... DefaultObject: Processor
        const uint16_t systemTime[8] = {2026, 12, 1, 7, 12, 0, 0, 0};
        Put(36, systemTime, 16);
        const int64_t times[3] = {block.perfTime, block.perfFreq, block.perfTime100nSec};
        Put(56, times, 24);
        Fields(80, {10, 88});
        Put(Reserve(10), u"HOST", 10);
        Fields(24, {PadFrom(0)}); // HeaderLength
        for (const RawObject& object : block.objects)
            WriteObject(object);
        Fields(20, {PadFrom(0)});
        return bytes;
    }

private:
    size_t Reserve(size_t count)
    {
        bytes.resize(bytes.size() + count, block.padding);
        return bytes.size() - count;
    }
    // Pads to 8 bytes; the length since `start`.
    uint32_t PadFrom(size_t start)
    {
        bytes.resize((bytes.size() + 7) & ~size_t(7), block.padding);
        return uint32_t(bytes.size() - start);
    }
    void Put(size_t at, const void* value, size_t size) { std::memcpy(&bytes[at], value, size); }
    void Fields(size_t at, std::initializer_list<uint32_t> values) { Put(at, values.begin(), values.size() * 4); }

    void WriteCounterBlock(const std::vector<RawCounter>& counters, const std::vector<uint64_t>& values)
    {
        size_t at = Reserve(blockLength);
        Fields(at, {blockLength});
        for (size_t i = 0; i < counters.size() && i < values.size(); ++i)
            Put(at + offsets[i], &values[i], counters[i].size); // little-endian: the low word first
    }
    void WriteObject(const RawObject& object)
    {
        size_t start = Reserve(64);
        int32_t instances = object.noInstances ? -1 : int32_t(object.instances.size()); // PERF_NO_INSTANCES
        Fields(start + 8, {64, object.index, 0, object.index + 1, 0, 100, uint32_t(object.counters.size()), 0,
                           uint32_t(instances), 0});
        const int64_t times[2] = {block.perfTime100nSec, 10000000}; // Elapsed Time's own time base
        Put(start + 48, times, 16);
        // Counter data starts at 8 in its block, each 8-byte counter at a multiple of 8.
        offsets.clear();
        blockLength = 8;
        for (const RawCounter& c : object.counters) {
            blockLength = c.size == 8 ? (blockLength + 7) & ~7u : blockLength;
            offsets.push_back(blockLength);
            Fields(Reserve(40), {40, c.index, 0, c.index + 1, 0, 0, 100, c.type, c.size, blockLength});
            blockLength += c.size;
        }
        blockLength = (blockLength + 7) & ~7u;
        Fields(start + 4, {PadFrom(start)}); // DefinitionLength
        if (object.noInstances)
            WriteCounterBlock(object.counters, object.objectValues);
        for (size_t i = 0; i < object.instances.size() && !object.noInstances; ++i) {
            const RawInstance& instance = object.instances[i];
            size_t at = Reserve(24), nameBytes = (instance.name.size() + 1) * 2;
            Put(Reserve(nameBytes), instance.name.c_str(), nameBytes);
            uint32_t nameLength = uint32_t(nameBytes - (block.nameLengthCountsTerminator ? 0 : 2));
            Fields(at + 4, {instance.parentObject, instance.parentInstance, 0xFFFFFFFF, 24, nameLength});
            Fields(at, {PadFrom(at)});
            WriteCounterBlock(object.counters, instance.values);
        }
        Fields(start, {PadFrom(start)}); // TotalByteLength
    }

    const RawBlock& block;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> offsets;
    uint32_t blockLength = 0;
};

inline std::vector<uint8_t> WindowsBlock(const RawBlock& block)
{
    return WindowsBlockWriter(block).Write();
}

} // namespace testing_support
