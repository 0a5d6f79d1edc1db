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
        // PERF_DATA_BLOCK: 88 bytes, its LARGE_INTEGERs from offset 56, then the system name.
        Reserve(88);
        Put(0, u"PERF", 8);
        Fields(8, {1, 1, 1, 0, 0, uint32_t(block.objects.size()), 238}); // ... DefaultObject: Processor
        const uint16_t systemTime[8] = {2026, 12, 1, 7, 12, 0, 0, 0};
        Put(36, systemTime, 16);
        Put(56, &block.perfTime, 8);
        Put(64, &block.perfFreq, 8);
        Put(72, &block.perfTime100nSec, 8);
        Fields(80, {10, 88});
        Put(Reserve(10), u"HOST", 10);
        Put(24, Length(0), 4); // HeaderLength
        for (const RawObject& object : block.objects)
            WriteObject(object);
        Put(20, Length(0), 4);
        return bytes;
    }

private:
    size_t Reserve(size_t count)
    {
        size_t at = bytes.size();
        bytes.resize(at + count, block.padding);
        return at;
    }
    // Pads to 8 bytes and gives the length since `start`.
    const uint32_t* Length(size_t start)
    {
        bytes.resize((bytes.size() + 7) & ~size_t(7), block.padding);
        scratch = uint32_t(bytes.size() - start);
        return &scratch;
    }
    void Put(size_t at, const void* value, size_t size) { std::memcpy(&bytes[at], value, size); }
    void Fields(size_t at, std::initializer_list<uint32_t> values) { Put(at, values.begin(), values.size() * 4); }

    // Counters start at 8 in their block, each 8-byte one at a multiple of 8.
    std::vector<uint32_t> Offsets(const RawObject& object, uint32_t& end) const
    {
        std::vector<uint32_t> offsets;
        end = 8;
        for (const RawCounter& c : object.counters) {
            end = c.size == 8 ? (end + 7) & ~7u : end;
            offsets.push_back(end);
            end += c.size;
        }
        end = (end + 7) & ~7u;
        return offsets;
    }
    void WriteCounterBlock(const RawObject& object, const std::vector<uint64_t>& values)
    {
        uint32_t end;
        std::vector<uint32_t> offsets = Offsets(object, end);
        size_t at = Reserve(end);
        Put(at, &end, 4);
        for (size_t i = 0; i < offsets.size() && i < values.size(); ++i)
            Put(at + offsets[i], &values[i], object.counters[i].size); // little-endian: the low word first
    }
    void WriteObject(const RawObject& object)
    {
        size_t start = Reserve(64);
        int32_t instances = object.noInstances ? -1 : int32_t(object.instances.size()); // PERF_NO_INSTANCES
        Fields(start + 8, {64, object.index, 0, object.index + 1, 0, 100, uint32_t(object.counters.size()), 0,
                           uint32_t(instances), 0});
        Put(start + 48, &block.perfTime100nSec, 8); // Elapsed Time's own time base, in 100 ns
        Put(start + 56, &TICKS_PER_SECOND, 8);
        uint32_t end;
        std::vector<uint32_t> offsets = Offsets(object, end);
        for (size_t i = 0; i < offsets.size(); ++i) {
            const RawCounter& c = object.counters[i];
            Fields(Reserve(40), {40, c.index, 0, c.index + 1, 0, 0, 100, c.type, c.size, offsets[i]});
        }
        Put(start + 4, Length(start), 4); // DefinitionLength
        if (object.noInstances)
            WriteCounterBlock(object, object.objectValues);
        for (size_t i = 0; i < object.instances.size() && !object.noInstances; ++i) {
            const RawInstance& instance = object.instances[i];
            size_t at = Reserve(24);
            Put(Reserve((instance.name.size() + 1) * 2), instance.name.c_str(), (instance.name.size() + 1) * 2);
            uint32_t nameLength = uint32_t(instance.name.size() + block.nameLengthCountsTerminator) * 2;
            Fields(at + 4, {instance.parentObject, instance.parentInstance, 0xFFFFFFFF, 24, nameLength});
            Put(at, Length(at), 4);
            WriteCounterBlock(object, instance.values);
        }
        Put(start, Length(start), 4); // TotalByteLength
    }

    static constexpr int64_t TICKS_PER_SECOND = 10000000;
    const RawBlock& block;
    std::vector<uint8_t> bytes;
    uint32_t scratch = 0;
};

inline std::vector<uint8_t> WindowsBlock(const RawBlock& block)
{
    return WindowsBlockWriter(block).Write();
}

} // namespace testing_support
