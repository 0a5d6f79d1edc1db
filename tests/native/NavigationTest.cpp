#include "SampleBlocks.h"
#include "SnapshotWalk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

using namespace perf;
using perf::test::Walk;
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

    Sample() = default;
    Sample(const Sample&) = delete;

    const test::WalkedObject& Process() const { return walk.objects.at(0); }
    const PerfInstanceDefinition* Instance(size_t i) const { return Process().instances.at(i).instance; }
    const PerfCounterDefinition* Counter(size_t j) const { return Process().counters.at(j); }
    const uint8_t* CounterBlock(size_t i) const
    {
        return reinterpret_cast<const uint8_t*>(Instance(i)) + Instance(i)->ByteLength;
    }
    size_t OffsetOf(const void* p) const { return static_cast<const uint8_t*>(p) - bytes.data(); }
};

// Sets a field of a copy of the sample block, named by the intact block's record.
template <class Record, class Field>
void Set(const Sample& sample, std::vector<uint8_t>& copy, const Record* record, Field Record::*field,
         std::type_identity_t<Field> value)
{
    std::memcpy(copy.data() + sample.OffsetOf(&(record->*field)), &value, sizeof(value));
}

void Set32(const Sample& sample, std::vector<uint8_t>& copy, const void* at, uint32_t value)
{
    std::memcpy(copy.data() + sample.OffsetOf(at), &value, sizeof(value));
}

std::vector<std::u16string> Names(const test::WalkedObject& object)
{
    std::vector<std::u16string> names;
    for (const auto& instance : object.instances)
        names.push_back(instance.name);
    return names;
}

std::vector<std::optional<uint64_t>> ValuesOf(const test::WalkedObject& object, size_t counter)
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
            const test::WalkedObject& part = walk.objects[i];
            const test::WalkedObject& whole = sample.walk.objects[i];
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

struct Corruption {
    const char* what;
    void (*corrupt)(const Sample& sample, std::vector<uint8_t>& copy);
    void (*expect)(const Sample& sample, SnapshotView snapshot, const Walk& walk);
};

constexpr uint32_t Huge = 0xFFFF'FFFC;

void ExpectObjects(const Walk& walk, size_t count)
{
    EXPECT_EQ(count, walk.objects.size());
}

// Every object and every instance is still found.
void ExpectInstancesIntact(const Sample& sample, const Walk& walk)
{
    ASSERT_EQ(sample.walk.objects.size(), walk.objects.size());
    for (size_t i = 0; i < walk.objects.size(); ++i)
        EXPECT_EQ(sample.walk.objects[i].instances.size(), walk.objects[i].instances.size()) << "object " << i;
}

// The first counter can no longer be read; every other counter still can.
void ExpectFirstCounterRefused(const Sample& sample, SnapshotView, const Walk& walk)
{
    ExpectInstancesIntact(sample, walk);
    EXPECT_EQ(Names(sample.Process()), Names(walk.objects.at(0)));
    for (auto value : ValuesOf(walk.objects[0], 0))
        EXPECT_FALSE(value.has_value());
    for (size_t j = 1; j < sample.Process().counters.size(); ++j)
        EXPECT_EQ(ValuesOf(sample.Process(), j), ValuesOf(walk.objects[0], j)) << "counter " << j;
}

void ExpectFirstNameEmpty(const Sample& sample, SnapshotView, const Walk& walk)
{
    ExpectInstancesIntact(sample, walk);
    std::vector<std::u16string> names = Names(sample.Process());
    names[0].clear();
    EXPECT_EQ(names, Names(walk.objects.at(0)));
    EXPECT_EQ(ValuesOf(sample.Process(), 0), ValuesOf(walk.objects[0], 0));
}

void ExpectSecondInstanceLast(const Sample& sample, SnapshotView, const Walk& walk)
{
    ASSERT_EQ(2u, walk.objects.at(0).instances.size());
    EXPECT_EQ(sample.Process().instances[0].values, walk.objects[0].instances[0].values);
    for (auto value : walk.objects[0].instances[1].values)
        EXPECT_FALSE(value.has_value());
}

const Corruption corruptions[] = {
    {"object TotalByteLength 0",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::TotalByteLength, 0); },
     [](const Sample&, SnapshotView snapshot, const Walk& walk) {
         ExpectObjects(walk, 1);
         EXPECT_EQ(nullptr, FindObject(snapshot, test::SystemObject));
     }},
    {"object TotalByteLength past the end",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::TotalByteLength, Huge); },
     [](const Sample&, SnapshotView, const Walk& walk) { ExpectObjects(walk, 1); }},
    {"object TotalByteLength odd",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Process().object, &PerfObjectType::TotalByteLength, s.Process().object->TotalByteLength + 2);
     },
     [](const Sample&, SnapshotView, const Walk& walk) { ExpectObjects(walk, 1); }},
    {"block HeaderLength past the end",
     [](const Sample& s, auto& copy) {
         Set(s, copy, BlockHeader(View(s.bytes)), &PerfDataBlockHeader::HeaderLength, uint32_t(copy.size()));
     },
     [](const Sample&, SnapshotView, const Walk& walk) { ExpectObjects(walk, 0); }},
    {"block HeaderLength that would wrap around",
     [](const Sample& s, auto& copy) {
         Set(s, copy, BlockHeader(View(s.bytes)), &PerfDataBlockHeader::HeaderLength, Huge);
     },
     [](const Sample&, SnapshotView, const Walk& walk) { ExpectObjects(walk, 0); }},
    {"block HeaderLength odd",
     [](const Sample& s, auto& copy) {
         Set(s, copy, BlockHeader(View(s.bytes)), &PerfDataBlockHeader::HeaderLength,
             BlockHeader(View(s.bytes))->HeaderLength + 2);
     },
     [](const Sample&, SnapshotView, const Walk& walk) { ExpectObjects(walk, 0); }},
    {"NumObjectTypes 0",
     [](const Sample& s, auto& copy) {
         Set(s, copy, BlockHeader(View(s.bytes)), &PerfDataBlockHeader::NumObjectTypes, 0);
     },
     [](const Sample&, SnapshotView snapshot, const Walk& walk) {
         ExpectObjects(walk, 0);
         EXPECT_NE(nullptr, FirstObject(snapshot));
         EXPECT_EQ(nullptr, FindObject(snapshot, test::ProcessObject));
     }},
    {"NumObjectTypes far more than the bytes hold",
     [](const Sample& s, auto& copy) {
         Set(s, copy, BlockHeader(View(s.bytes)), &PerfDataBlockHeader::NumObjectTypes, 0xFFFF'FFFF);
     },
     [](const Sample& s, SnapshotView snapshot, const Walk& walk) {
         ExpectObjects(walk, s.walk.objects.size());
         EXPECT_EQ(nullptr, FindObject(snapshot, 12345));
     }},
    {"object HeaderLength past the end",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::HeaderLength, Huge); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ExpectInstancesIntact(s, walk);
         EXPECT_TRUE(walk.objects[0].counters.empty());
     }},
    {"object DefinitionLength past the end",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::DefinitionLength, Huge); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ASSERT_EQ(s.walk.objects.size(), walk.objects.size());
         EXPECT_EQ(s.Process().counters.size(), walk.objects[0].counters.size());
         EXPECT_TRUE(walk.objects[0].instances.empty());
     }},
    {"NumCounters far more than the bytes hold",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::NumCounters, 0xFFFF'FFFF); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ExpectInstancesIntact(s, walk);
         EXPECT_GE(walk.objects[0].counters.size(), s.Process().counters.size());
     }},
    {"NumInstances far more than the bytes hold",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Process().object, &PerfObjectType::NumInstances, 0x7FFF'FFFF); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ASSERT_GE(walk.objects.at(0).instances.size(), s.Process().instances.size());
         for (size_t i = 0; i < s.Process().instances.size(); ++i)
             EXPECT_EQ(s.Process().instances[i].name, walk.objects[0].instances[i].name);
     }},
    {"counter ByteLength 0",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Counter(0), &PerfCounterDefinition::ByteLength, 0); },
     [](const Sample& s, SnapshotView snapshot, const Walk& walk) {
         ExpectInstancesIntact(s, walk);
         EXPECT_EQ(1u, walk.objects[0].counters.size());
         EXPECT_EQ(nullptr, FindCounter(snapshot, walk.objects[0].object, s.Counter(1)->CounterNameTitleIndex));
     }},
    {"counter ByteLength not a multiple of 4",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Counter(0), &PerfCounterDefinition::ByteLength, 42); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ExpectInstancesIntact(s, walk);
         EXPECT_EQ(1u, walk.objects[0].counters.size());
     }},
    {"counter data past its counter block",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Counter(0), &PerfCounterDefinition::CounterOffset,
             *reinterpret_cast<const uint32_t*>(s.CounterBlock(0)) - s.Counter(0)->CounterSize + 4);
     },
     ExpectFirstCounterRefused},
    {"counter data ending exactly at its counter block's end",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Counter(0), &PerfCounterDefinition::CounterOffset,
             *reinterpret_cast<const uint32_t*>(s.CounterBlock(0)) - s.Counter(0)->CounterSize);
     },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ExpectInstancesIntact(s, walk);
         for (auto value : ValuesOf(walk.objects[0], 0))
             EXPECT_TRUE(value.has_value());
     }},
    {"CounterOffset that would wrap around",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Counter(0), &PerfCounterDefinition::CounterOffset, Huge); },
     ExpectFirstCounterRefused},
    {"CounterSize shorter than a value",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Counter(0), &PerfCounterDefinition::CounterSize, 2); },
     ExpectFirstCounterRefused},
    {"CounterSize that would wrap around",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Counter(0), &PerfCounterDefinition::CounterSize, 0xFFFF'FFFF);
     },
     ExpectFirstCounterRefused},
    {"instance ByteLength 0",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Instance(1), &PerfInstanceDefinition::ByteLength, 0); },
     [](const Sample& s, SnapshotView snapshot, const Walk& walk) {
         ExpectSecondInstanceLast(s, snapshot, walk);
         EXPECT_EQ(u"", walk.objects[0].instances[1].name);
     }},
    {"instance ByteLength past the end",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Instance(1), &PerfInstanceDefinition::ByteLength, Huge); },
     ExpectSecondInstanceLast},
    {"instance ByteLength odd",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Instance(1), &PerfInstanceDefinition::ByteLength, s.Instance(1)->ByteLength + 2);
     },
     ExpectSecondInstanceLast},
    {"counter block ByteLength 0",
     [](const Sample& s, auto& copy) { Set32(s, copy, s.CounterBlock(0), 0); },
     [](const Sample& s, SnapshotView, const Walk& walk) {
         ASSERT_EQ(1u, walk.objects.at(0).instances.size());
         EXPECT_EQ(s.Process().instances[0].name, walk.objects[0].instances[0].name);
         for (auto value : walk.objects[0].instances[0].values)
             EXPECT_FALSE(value.has_value());
     }},
    {"NameOffset past the end",
     [](const Sample& s, auto& copy) { Set(s, copy, s.Instance(0), &PerfInstanceDefinition::NameOffset, Huge); },
     ExpectFirstNameEmpty},
    // The counter block that follows starts with a terminated "name".
    {"NameOffset past the instance",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Instance(0), &PerfInstanceDefinition::NameOffset, s.Instance(0)->ByteLength);
     },
     ExpectFirstNameEmpty},
    {"NameOffset odd",
     [](const Sample& s, auto& copy) {
         Set(s, copy, s.Instance(0), &PerfInstanceDefinition::NameOffset, s.Instance(0)->NameOffset + 1);
     },
     ExpectFirstNameEmpty},
    // The zeros of the counter block would end the name if it were read on.
    {"name without a terminator",
     [](const Sample& s, auto& copy) {
         size_t from = s.OffsetOf(s.Instance(0)) + s.Instance(0)->NameOffset;
         std::memset(copy.data() + from, 'x', s.OffsetOf(s.CounterBlock(0)) - from);
     },
     ExpectFirstNameEmpty},
};

} // namespace

TEST(Navigation, CorruptedBlocksEndWalksInside)
{
    Sample sample;
    ASSERT_TRUE(sample.walk.faults.empty());
    for (const Corruption& corruption : corruptions) {
        SCOPED_TRACE(corruption.what);
        std::vector<uint8_t> copy = sample.bytes;
        corruption.corrupt(sample, copy);
        Walk walk = WalkSnapshot(View(copy));
        EXPECT_TRUE(walk.faults.empty()) << walk.faults.front();
        corruption.expect(sample, View(copy), walk);
    }
}

TEST(Navigation, MisalignedSnapshotIsRefused)
{
    Sample sample;
    std::vector<uint8_t> shifted(sample.bytes.size() + 2);
    std::memcpy(shifted.data() + 2, sample.bytes.data(), sample.bytes.size());
    SnapshotView snapshot{shifted.data() + 2, static_cast<uint32_t>(sample.bytes.size())};

    EXPECT_EQ(nullptr, BlockHeader(snapshot));
    Walk walk = WalkSnapshot(snapshot);
    EXPECT_TRUE(walk.objects.empty());
    EXPECT_TRUE(walk.faults.empty()) << walk.faults.front();
}
