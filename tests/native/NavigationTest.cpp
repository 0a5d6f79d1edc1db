#include "SampleBlocks.h"
#include "SnapshotWalk.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using namespace perf;
using perf::test::Walk;
using perf::test::WalkedObject;
using perf::test::WalkSnapshot;

namespace {

SnapshotView View(const std::vector<uint8_t>& bytes)
{
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// The sample block with its intact walk, whose records say where to corrupt
// a copy.
struct Sample {
    std::vector<uint8_t> bytes = test::SampleBlock();
    Walk walk = WalkSnapshot(View(bytes));

    const WalkedObject& Process() const { return walk.objects.at(0); }
    const PerfInstanceDefinition* Instance(size_t i) const { return Process().instances.at(i).instance; }
    const PerfCounterDefinition* Counter(size_t j) const { return Process().counters.at(j); }
    const uint8_t* CounterBlock(size_t i) const
    {
        return reinterpret_cast<const uint8_t*>(Instance(i)) + Instance(i)->ByteLength;
    }
    uint32_t CounterBlockLength(size_t i) const
    {
        uint32_t length;
        std::memcpy(&length, CounterBlock(i), sizeof(length));
        return length;
    }
    size_t OffsetOf(const void* p) const { return static_cast<const uint8_t*>(p) - bytes.data(); }
};

std::vector<std::u16string> Names(const WalkedObject& object)
{
    std::vector<std::u16string> names;
    for (const auto& instance : object.instances)
        names.push_back(instance.name);
    return names;
}

std::vector<std::optional<uint64_t>> ValuesOf(const WalkedObject& object, size_t counter)
{
    std::vector<std::optional<uint64_t>> values;
    for (const auto& instance : object.instances)
        values.push_back(instance.values.at(counter));
    return values;
}

} // namespace

// Each shorter copy is allocated at exactly its length, so that the address
// sanitizer stops any read past it.
TEST(Navigation, EveryTruncationOfABlockStaysInside)
{
    Sample sample;
    ASSERT_TRUE(sample.walk.faults.empty()) << sample.walk.faults.front();
    ASSERT_EQ(4u, sample.walk.objects.size());

    for (size_t length = 0; length <= sample.bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const std::vector<uint8_t> cut(sample.bytes.begin(), sample.bytes.begin() + length);
        Walk walk = WalkSnapshot(View(cut));
        ASSERT_TRUE(walk.faults.empty()) << walk.faults.front();

        // What a cut block shows is a prefix of the whole: the same records,
        // each name whole or empty, each value right or missing.
        ASSERT_LE(walk.objects.size(), sample.walk.objects.size());
        for (size_t i = 0; i < walk.objects.size(); ++i) {
            const WalkedObject& part = walk.objects[i];
            const WalkedObject& whole = sample.walk.objects[i];
            EXPECT_EQ(sample.OffsetOf(whole.object), reinterpret_cast<const uint8_t*>(part.object) - cut.data());
            ASSERT_LE(part.counters.size(), whole.counters.size());
            for (size_t j = 0; j < part.counters.size(); ++j)
                EXPECT_EQ(0, std::memcmp(whole.counters[j], part.counters[j], sizeof(PerfCounterDefinition)));
            ASSERT_LE(part.instances.size(), whole.instances.size());
            for (size_t k = 0; k < part.instances.size(); ++k) {
                const test::WalkedInstance& instance = part.instances[k];
                if (!instance.name.empty()) {
                    EXPECT_EQ(whole.instances[k].name, instance.name);
                }
                for (size_t j = 0; j < instance.values.size(); ++j) {
                    if (instance.values[j]) {
                        EXPECT_EQ(whole.instances[k].values[j], instance.values[j]);
                    }
                }
            }
        }
    }
}

namespace {

// What a walk of a corrupted copy still finds.
enum class Outcome {
    NoObjects,
    FirstObjectOnly,
    EveryInstance,       // every object with all its instances
    NoCounters,          // every instance, but the first object's counters are lost
    NoInstances,         // the first object's counters, none of its instances
    OneCounter,          // every instance; the first object's walk of counters ends after one
    FirstCounterRefused, // every instance; the first counter's values are missing, the others right
    FirstCounterRead,
    SecondInstanceLast,  // its values missing
    FirstInstanceOnly,   // its values missing
    FirstNameEmpty,      // everything else as before
};

void ExpectOutcome(Outcome outcome, const Sample& sample, const Walk& walk)
{
    const WalkedObject& whole = sample.Process();
    size_t all = sample.walk.objects.size();
    switch (outcome) {
    case Outcome::NoObjects:
        EXPECT_EQ(0u, walk.objects.size());
        return;
    case Outcome::FirstObjectOnly:
        EXPECT_EQ(1u, walk.objects.size());
        return;
    case Outcome::NoInstances:
        ASSERT_EQ(all, walk.objects.size());
        EXPECT_EQ(whole.counters.size(), walk.objects[0].counters.size());
        EXPECT_TRUE(walk.objects[0].instances.empty());
        return;
    case Outcome::SecondInstanceLast:
    case Outcome::FirstInstanceOnly: {
        size_t kept = outcome == Outcome::SecondInstanceLast ? 2 : 1;
        ASSERT_EQ(kept, walk.objects.at(0).instances.size());
        EXPECT_EQ(whole.instances[0].name, walk.objects[0].instances[0].name);
        if (kept == 2) {
            EXPECT_EQ(whole.instances[0].values, walk.objects[0].instances[0].values);
        }
        for (auto value : walk.objects[0].instances[kept - 1].values)
            EXPECT_FALSE(value.has_value());
        return;
    }
    default:
        break;
    }
    ASSERT_EQ(all, walk.objects.size());
    for (size_t i = 0; i < all; ++i)
        EXPECT_LE(sample.walk.objects[i].instances.size(), walk.objects[i].instances.size()) << "object " << i;
    const WalkedObject& part = walk.objects[0];
    if (outcome == Outcome::NoCounters || outcome == Outcome::OneCounter) {
        EXPECT_EQ(outcome == Outcome::OneCounter ? 1u : 0u, part.counters.size());
    }
    std::vector<std::u16string> names = Names(whole), found = Names(part);
    if (outcome == Outcome::FirstNameEmpty)
        names[0].clear();
    found.resize(names.size());
    EXPECT_EQ(names, found);
    if (outcome == Outcome::FirstCounterRefused || outcome == Outcome::FirstCounterRead) {
        for (auto value : ValuesOf(part, 0))
            EXPECT_EQ(outcome == Outcome::FirstCounterRead, value.has_value());
        for (size_t j = 1; j < whole.counters.size(); ++j)
            EXPECT_EQ(ValuesOf(whole, j), ValuesOf(part, j)) << "counter " << j;
    }
}

constexpr uint32_t Huge = 0xFFFF'FFFC;

struct Corruption {
    const char* what;
    const void* (*record)(const Sample&);
    size_t field; // offset of a 32-bit field in the record
    uint32_t (*value)(const Sample&, uint32_t original);
    Outcome outcome;
};

const void* Header(const Sample& s) { return s.bytes.data(); }
const void* Process(const Sample& s) { return s.Process().object; }
const void* Counter0(const Sample& s) { return s.Counter(0); }
const void* Instance0(const Sample& s) { return s.Instance(0); }
const void* Instance1(const Sample& s) { return s.Instance(1); }
const void* CounterBlock0(const Sample& s) { return s.CounterBlock(0); }

template <uint32_t value>
uint32_t Is(const Sample&, uint32_t)
{
    return value;
}
template <uint32_t step>
uint32_t Plus(const Sample&, uint32_t original)
{
    return original + step;
}
uint32_t Length(const Sample& s, uint32_t) { return static_cast<uint32_t>(s.bytes.size()); }
uint32_t InstanceLength(const Sample& s, uint32_t) { return s.Instance(0)->ByteLength; }
uint32_t PastTheBlock(const Sample& s, uint32_t) { return s.CounterBlockLength(0) - s.Counter(0)->CounterSize + 4; }
uint32_t AtTheBlockEnd(const Sample& s, uint32_t) { return s.CounterBlockLength(0) - s.Counter(0)->CounterSize; }

#define FIELD(Record, field) offsetof(Record, field)
using Block = PerfDataBlockHeader;
using Object = PerfObjectType;
using Counter = PerfCounterDefinition;
using Instance = PerfInstanceDefinition;

const Corruption corruptions[] = {
    {"object TotalByteLength 0", Process, FIELD(Object, TotalByteLength), Is<0>, Outcome::FirstObjectOnly},
    {"object TotalByteLength past the end", Process, FIELD(Object, TotalByteLength), Is<Huge>,
     Outcome::FirstObjectOnly},
    {"object TotalByteLength odd", Process, FIELD(Object, TotalByteLength), Plus<2>, Outcome::FirstObjectOnly},
    {"block HeaderLength past the end", Header, FIELD(Block, HeaderLength), Length, Outcome::NoObjects},
    {"block HeaderLength that would wrap around", Header, FIELD(Block, HeaderLength), Is<Huge>, Outcome::NoObjects},
    {"block HeaderLength odd", Header, FIELD(Block, HeaderLength), Plus<2>, Outcome::NoObjects},
    {"NumObjectTypes 0", Header, FIELD(Block, NumObjectTypes), Is<0>, Outcome::NoObjects},
    {"NumObjectTypes far more than the bytes hold", Header, FIELD(Block, NumObjectTypes), Is<0xFFFF'FFFF>,
     Outcome::EveryInstance},
    {"object HeaderLength past the end", Process, FIELD(Object, HeaderLength), Is<Huge>, Outcome::NoCounters},
    {"object DefinitionLength past the end", Process, FIELD(Object, DefinitionLength), Is<Huge>,
     Outcome::NoInstances},
    {"NumCounters far more than the bytes hold", Process, FIELD(Object, NumCounters), Is<0xFFFF'FFFF>,
     Outcome::EveryInstance},
    {"NumInstances far more than the bytes hold", Process, FIELD(Object, NumInstances), Is<0x7FFF'FFFF>,
     Outcome::EveryInstance},
    {"counter ByteLength 0", Counter0, FIELD(Counter, ByteLength), Is<0>, Outcome::OneCounter},
    {"counter ByteLength not a multiple of 4", Counter0, FIELD(Counter, ByteLength), Is<42>, Outcome::OneCounter},
    {"counter data past its counter block", Counter0, FIELD(Counter, CounterOffset), PastTheBlock,
     Outcome::FirstCounterRefused},
    {"counter data ending exactly at its counter block's end", Counter0, FIELD(Counter, CounterOffset),
     AtTheBlockEnd, Outcome::FirstCounterRead},
    {"CounterOffset that would wrap around", Counter0, FIELD(Counter, CounterOffset), Is<Huge>,
     Outcome::FirstCounterRefused},
    {"CounterSize shorter than a value", Counter0, FIELD(Counter, CounterSize), Is<2>, Outcome::FirstCounterRefused},
    {"CounterSize that would wrap around", Counter0, FIELD(Counter, CounterSize), Is<0xFFFF'FFFF>,
     Outcome::FirstCounterRefused},
    {"instance ByteLength 0", Instance1, FIELD(Instance, ByteLength), Is<0>, Outcome::SecondInstanceLast},
    {"instance ByteLength past the end", Instance1, FIELD(Instance, ByteLength), Is<Huge>,
     Outcome::SecondInstanceLast},
    {"instance ByteLength odd", Instance1, FIELD(Instance, ByteLength), Plus<2>, Outcome::SecondInstanceLast},
    {"counter block ByteLength 0", CounterBlock0, 0, Is<0>, Outcome::FirstInstanceOnly},
    {"NameOffset past the end", Instance0, FIELD(Instance, NameOffset), Is<Huge>, Outcome::FirstNameEmpty},
    // The counter block that follows starts with a terminated "name".
    {"NameOffset past the instance", Instance0, FIELD(Instance, NameOffset), InstanceLength,
     Outcome::FirstNameEmpty},
    {"NameOffset odd", Instance0, FIELD(Instance, NameOffset), Plus<1>, Outcome::FirstNameEmpty},
};

Walk WalkCorrupted(const std::vector<uint8_t>& copy)
{
    Walk walk = WalkSnapshot(View(copy));
    EXPECT_TRUE(walk.faults.empty()) << walk.faults.front();
    return walk;
}

} // namespace

TEST(Navigation, CorruptedBlocksEndWalksInside)
{
    Sample sample;
    ASSERT_TRUE(sample.walk.faults.empty());
    for (const Corruption& corruption : corruptions) {
        SCOPED_TRACE(corruption.what);
        std::vector<uint8_t> copy = sample.bytes;
        size_t at = sample.OffsetOf(corruption.record(sample)) + corruption.field;
        uint32_t value;
        std::memcpy(&value, copy.data() + at, sizeof(value));
        value = corruption.value(sample, value);
        std::memcpy(copy.data() + at, &value, sizeof(value));
        ExpectOutcome(corruption.outcome, sample, WalkCorrupted(copy));
    }

    // A name without its terminator: the zeros of the counter block would end
    // it if it were read on.
    std::vector<uint8_t> copy = sample.bytes;
    size_t from = sample.OffsetOf(sample.Instance(0)) + sample.Instance(0)->NameOffset;
    std::memset(copy.data() + from, 'x', sample.OffsetOf(sample.CounterBlock(0)) - from);
    ExpectOutcome(Outcome::FirstNameEmpty, sample, WalkCorrupted(copy));
}

TEST(Navigation, MisalignedSnapshotIsRefused)
{
    Sample sample;
    std::vector<uint8_t> shifted(sample.bytes.size() + 2);
    std::memcpy(shifted.data() + 2, sample.bytes.data(), sample.bytes.size());
    Walk walk = WalkSnapshot({shifted.data() + 2, static_cast<uint32_t>(sample.bytes.size())});
    EXPECT_TRUE(walk.objects.empty());
    EXPECT_TRUE(walk.faults.empty()) << walk.faults.front();
}
