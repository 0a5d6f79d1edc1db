#include "SnapshotWalk.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <algorithm>
#include <tuple>

using namespace perf;
using perf::test::Walk;
using perf::test::WalkSnapshot;

namespace {

SnapshotView View(const std::vector<uint8_t>& bytes)
{
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

size_t At(const std::vector<uint8_t>& bytes, const void* p)
{
    return static_cast<const uint8_t*>(p) - bytes.data();
}

// A damaged copy of the sample must hand out its records where the intact
// walk has them, each name whole or empty and (unless a counter's own fields
// were damaged) each value right or missing; records past the intact ones'
// count are not compared. Each copy is allocated at exactly its length, so
// that the address sanitizer stops any read past it.
std::string Disagreement(const std::vector<uint8_t>& copy, bool valuesKept)
{
    static const std::vector<uint8_t> sample = test::SampleBlock();
    static const Walk intact = WalkSnapshot(View(sample));
    Walk walk = WalkSnapshot(View(copy));
    if (!walk.faults.empty())
        return walk.faults.front();
    for (size_t o = 0; o < std::min(walk.objects.size(), intact.objects.size()); ++o) {
        const test::WalkedObject &w = intact.objects[o], &p = walk.objects[o];
        std::string where = "object " + std::to_string(o);
        bool moved = At(sample, w.object) != At(copy, p.object);
        for (size_t j = 0; j < std::min(w.counters.size(), p.counters.size()); ++j)
            moved = moved || At(sample, w.counters[j]) != At(copy, p.counters[j]);
        for (size_t k = 0; k < std::min(w.instances.size(), p.instances.size()); ++k) {
            const test::WalkedInstance &wi = w.instances[k], &pi = p.instances[k];
            moved = moved || At(sample, wi.instance) != At(copy, pi.instance);
            if (!pi.name.empty() && pi.name != wi.name)
                return where + ": the name of instance " + std::to_string(k);
            for (size_t j = 0; valuesKept && j < std::min(wi.values.size(), pi.values.size()); ++j) {
                if (pi.values[j] && pi.values[j] != wi.values[j])
                    return where + ": value " + std::to_string(j) + " of instance " + std::to_string(k);
            }
        }
        if (moved)
            return where + ": a record elsewhere";
    }
    return "";
}

} // namespace

TEST(Navigation, EveryTruncationOfABlockStaysInside)
{
    const std::vector<uint8_t> sample = test::SampleBlock();
    Walk walk = WalkSnapshot(View(sample));
    ASSERT_TRUE(walk.faults.empty()) << walk.faults.front();
    ASSERT_EQ(4u, walk.objects.size());
    for (size_t length = 0; length <= sample.size(); ++length)
        EXPECT_EQ("", Disagreement({sample.begin(), sample.begin() + length}, true)) << length;
}

// Lengths and offsets past the end or that would wrap around, odd ones, and
// counts far more than the bytes hold.
TEST(Navigation, CorruptedFieldsEndWalksInside)
{
    const std::vector<uint8_t> sample = test::SampleBlock();
    Walk walk = WalkSnapshot(View(sample));
    const test::WalkedObject& process = walk.objects.at(0);
    const PerfDataBlockHeader* header = BlockHeader(View(sample));
    const PerfCounterDefinition* counter = process.counters.at(0);
    const PerfInstanceDefinition *first = process.instances.at(0).instance, *second = process.instances.at(1).instance;
    const uint8_t* block = reinterpret_cast<const uint8_t*>(first) + first->ByteLength;
    uint32_t blockLength, size = static_cast<uint32_t>(sample.size()), huge = 0xFFFF'FFFC;
    std::memcpy(&blockLength, block, sizeof(blockLength));
    uint32_t lastOffset = blockLength - counter->CounterSize;
    using Object = PerfObjectType;
    using Counter = PerfCounterDefinition;
    using Instance = PerfInstanceDefinition;
    const std::tuple<const void*, size_t, std::vector<uint32_t>> corruptions[] = {
        {header, offsetof(PerfDataBlockHeader, HeaderLength), {size, huge, header->HeaderLength + 2}},
        {header, offsetof(PerfDataBlockHeader, NumObjectTypes), {0, 0xFFFF'FFFF}},
        {process.object, offsetof(Object, TotalByteLength), {0, huge, process.object->TotalByteLength + 2}},
        {process.object, offsetof(Object, HeaderLength), {huge}},
        {process.object, offsetof(Object, DefinitionLength), {huge}},
        {process.object, offsetof(Object, NumCounters), {0xFFFF'FFFF}},
        {process.object, offsetof(Object, NumInstances), {0x7FFF'FFFF}},
        {counter, offsetof(Counter, ByteLength), {0, 42}},
        {counter, offsetof(Counter, CounterOffset), {lastOffset + 4, lastOffset, huge}},
        {counter, offsetof(Counter, CounterSize), {2, 0xFFFF'FFFF}},
        {second, offsetof(Instance, ByteLength), {0, huge, second->ByteLength + 2}},
        {block, 0, {0}},
        // The counter block that follows the instance starts with a terminated "name".
        {first, offsetof(Instance, NameOffset), {huge, first->ByteLength, first->NameOffset + 1}},
    };
    for (const auto& [record, field, values] : corruptions) {
        size_t at = static_cast<const uint8_t*>(record) - sample.data() + field;
        for (uint32_t value : values) {
            std::vector<uint8_t> copy = sample;
            std::memcpy(copy.data() + at, &value, sizeof(value));
            EXPECT_EQ("", Disagreement(copy, record != counter)) << "at " << at << ": " << value;
        }
    }

    // A name without its terminator: the zeros of the counter block would end
    // it if it were read on.
    std::vector<uint8_t> copy = sample;
    size_t from = reinterpret_cast<const uint8_t*>(first) - sample.data() + first->NameOffset;
    std::memset(copy.data() + from, 'x', block - sample.data() - from);
    EXPECT_EQ("", Disagreement(copy, true));
    EXPECT_TRUE(WalkSnapshot(View(copy)).objects.at(0).instances.at(0).name.empty());

    // Bytes that do not start 4-byte aligned hand out no records.
    std::vector<uint8_t> shifted(sample.size() + 2);
    std::memcpy(shifted.data() + 2, sample.data(), sample.size());
    walk = WalkSnapshot({shifted.data() + 2, size});
    EXPECT_TRUE(walk.objects.empty() && walk.faults.empty());
}
