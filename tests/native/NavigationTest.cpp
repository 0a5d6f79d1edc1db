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

size_t OffsetIn(const std::vector<uint8_t>& bytes, const void* p)
{
    return static_cast<const uint8_t*>(p) - bytes.data();
}

// The sample block with its intact walk, whose records say where to corrupt a copy.
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

    // How the walk of a damaged or cut copy falls short of the intact one, as
    // "objects 1", "o0 counters 1", "o0 instances 2" (fewer), "o0 i0 name"
    // (empty), "o0 i1 lacks 0 4" (missing values), and on request "o0 i1
    // differs 0" (other values). Records found elsewhere than in the intact
    // walk, and names other than its own, are "wrong".
    std::string Shortfall(const std::vector<uint8_t>& copy, const Walk& part, bool withDiffers = false) const
    {
        std::string out;
        auto note = [&](const std::string& s) { out += (out.empty() ? "" : "; ") + s; };
        auto compare = [&](const std::string& what, size_t whole, size_t found) {
            if (found < whole)
                note(what + " " + std::to_string(found));
            return std::min(whole, found);
        };
        size_t objects = compare("objects", walk.objects.size(), part.objects.size());
        for (size_t o = 0; o < objects; ++o) {
            const WalkedObject &w = walk.objects[o], &p = part.objects[o];
            std::string at = "o" + std::to_string(o);
            if (OffsetIn(bytes, w.object) != OffsetIn(copy, p.object))
                note(at + " wrong");
            size_t counters = compare(at + " counters", w.counters.size(), p.counters.size());
            for (size_t j = 0; j < counters; ++j) {
                if (OffsetIn(bytes, w.counters[j]) != OffsetIn(copy, p.counters[j]))
                    note(at + " c" + std::to_string(j) + " wrong");
            }
            size_t instances = compare(at + " instances", w.instances.size(), p.instances.size());
            for (size_t k = 0; k < instances; ++k) {
                const test::WalkedInstance &wi = w.instances[k], &pi = p.instances[k];
                std::string in = at + " i" + std::to_string(k), lacks, differs;
                if (pi.name != wi.name)
                    note(in + (pi.name.empty() ? " name" : " name wrong"));
                for (size_t j = 0; j < std::min(wi.values.size(), pi.values.size()); ++j) {
                    if (!pi.values[j])
                        lacks += " " + std::to_string(j);
                    else if (pi.values[j] != wi.values[j])
                        differs += " " + std::to_string(j);
                }
                if (!lacks.empty())
                    note(in + " lacks" + lacks);
                if (withDiffers && !differs.empty())
                    note(in + " differs" + differs);
            }
        }
        return out;
    }
};

} // namespace

// Each shorter copy is allocated at exactly its length, so that the address
// sanitizer stops any read past it. What a cut block shows is a prefix of the
// whole: the same records, each name whole or empty, each value right or missing.
TEST(Navigation, EveryTruncationOfABlockStaysInside)
{
    Sample sample;
    ASSERT_TRUE(sample.walk.faults.empty()) << sample.walk.faults.front();
    ASSERT_EQ(4u, sample.walk.objects.size());
    for (size_t length = 0; length <= sample.bytes.size(); ++length) {
        const std::vector<uint8_t> cut(sample.bytes.begin(), sample.bytes.begin() + length);
        Walk walk = WalkSnapshot(View(cut));
        ASSERT_TRUE(walk.faults.empty()) << length << ": " << walk.faults.front();
        std::string shortfall = sample.Shortfall(cut, walk, true);
        EXPECT_TRUE(shortfall.find("wrong") == shortfall.npos && shortfall.find("differs") == shortfall.npos)
            << length << ": " << shortfall;
    }
}

namespace {

constexpr uint32_t Huge = 0xFFFF'FFFC;

using Value = uint32_t (*)(const Sample&, uint32_t original);

struct Corruption {
    const char* what;
    const void* (*record)(const Sample&);
    size_t field; // offset of a 32-bit field in the record
    std::vector<Value> values;
    std::string shortfall;
};

const void* Header(const Sample& s) { return s.bytes.data(); }
const void* Process(const Sample& s) { return s.Process().object; }
const void* Counter0(const Sample& s) { return s.Counter(0); }
const void* Instance0(const Sample& s) { return s.Instance(0); }
const void* Instance1(const Sample& s) { return s.Instance(1); }
const void* CounterBlock0(const Sample& s) { return s.CounterBlock(0); }

template <uint32_t value>
uint32_t Is(const Sample&, uint32_t) { return value; }
template <uint32_t step>
uint32_t Plus(const Sample&, uint32_t original) { return original + step; }
uint32_t Length(const Sample& s, uint32_t) { return static_cast<uint32_t>(s.bytes.size()); }
uint32_t InstanceLength(const Sample& s, uint32_t) { return s.Instance(0)->ByteLength; }
uint32_t PastTheBlock(const Sample& s, uint32_t) { return s.CounterBlockLength(0) - s.Counter(0)->CounterSize + 4; }
uint32_t AtTheBlockEnd(const Sample& s, uint32_t) { return s.CounterBlockLength(0) - s.Counter(0)->CounterSize; }

using Block = PerfDataBlockHeader;
using Object = PerfObjectType;
using Counter = PerfCounterDefinition;
using Instance = PerfInstanceDefinition;
const std::string firstCounterLost = "o0 i0 lacks 0; o0 i1 lacks 0; o0 i2 lacks 0; o0 i3 lacks 0";
const std::string last = "o0 i1 lacks 0 1 2 3 4"; // the last instance walked

// Lengths and offsets past the end or that would wrap around, odd ones, and
// counts far more than the bytes hold.
const Corruption corruptions[] = {
    {"object TotalByteLength", Process, offsetof(Object, TotalByteLength), {Is<0>, Is<Huge>, Plus<2>}, "objects 1"},
    {"block HeaderLength", Header, offsetof(Block, HeaderLength), {Length, Is<Huge>, Plus<2>}, "objects 0"},
    {"NumObjectTypes 0", Header, offsetof(Block, NumObjectTypes), {Is<0>}, "objects 0"},
    {"NumObjectTypes", Header, offsetof(Block, NumObjectTypes), {Is<0xFFFF'FFFF>}, ""},
    {"object HeaderLength", Process, offsetof(Object, HeaderLength), {Is<Huge>}, "o0 counters 0"},
    {"object DefinitionLength", Process, offsetof(Object, DefinitionLength), {Is<Huge>}, "o0 instances 0"},
    {"NumCounters", Process, offsetof(Object, NumCounters), {Is<0xFFFF'FFFF>}, ""},
    {"NumInstances", Process, offsetof(Object, NumInstances), {Is<0x7FFF'FFFF>}, ""},
    {"counter ByteLength 0 or not a multiple of 4", Counter0, offsetof(Counter, ByteLength), {Is<0>, Is<42>},
     "o0 counters 1"},
    {"CounterOffset", Counter0, offsetof(Counter, CounterOffset), {PastTheBlock, Is<Huge>}, firstCounterLost},
    {"counter data ending at its counter block's end", Counter0, offsetof(Counter, CounterOffset), {AtTheBlockEnd},
     ""},
    {"CounterSize short of a value", Counter0, offsetof(Counter, CounterSize), {Is<2>, Is<0xFFFF'FFFF>},
     firstCounterLost},
    {"instance ByteLength 0", Instance1, offsetof(Instance, ByteLength), {Is<0>},
     "o0 instances 2; o0 i1 name; " + last},
    {"instance ByteLength", Instance1, offsetof(Instance, ByteLength), {Is<Huge>, Plus<2>}, "o0 instances 2; " + last},
    {"counter block ByteLength 0", CounterBlock0, 0, {Is<0>}, "o0 instances 1; o0 i0 lacks 0 1 2 3 4"},
    // The counter block that follows the instance starts with a terminated "name".
    {"NameOffset", Instance0, offsetof(Instance, NameOffset), {Is<Huge>, InstanceLength, Plus<1>}, "o0 i0 name"},
};

} // namespace

TEST(Navigation, CorruptedBlocksEndWalksInside)
{
    Sample sample;
    ASSERT_TRUE(sample.walk.faults.empty());
    auto expect = [&](const std::vector<uint8_t>& copy, const std::string& shortfall, const std::string& what) {
        Walk walk = WalkSnapshot(View(copy));
        EXPECT_TRUE(walk.faults.empty()) << what << ": " << walk.faults.front();
        EXPECT_EQ(shortfall, sample.Shortfall(copy, walk)) << what;
    };
    for (const Corruption& corruption : corruptions) {
        size_t at = OffsetIn(sample.bytes, corruption.record(sample)) + corruption.field;
        for (size_t v = 0; v < corruption.values.size(); ++v) {
            std::vector<uint8_t> copy = sample.bytes;
            uint32_t value;
            std::memcpy(&value, copy.data() + at, sizeof(value));
            value = corruption.values[v](sample, value);
            std::memcpy(copy.data() + at, &value, sizeof(value));
            expect(copy, corruption.shortfall, corruption.what + (" #" + std::to_string(v)));
        }
    }

    // A name without its terminator: the zeros of the counter block would end
    // it if it were read on.
    std::vector<uint8_t> copy = sample.bytes;
    size_t from = OffsetIn(sample.bytes, sample.Instance(0)) + sample.Instance(0)->NameOffset;
    std::memset(copy.data() + from, 'x', OffsetIn(sample.bytes, sample.CounterBlock(0)) - from);
    expect(copy, "o0 i0 name", "unterminated name");

    // Bytes that do not start 4-byte aligned hand out no records.
    std::vector<uint8_t> shifted(sample.bytes.size() + 2);
    std::memcpy(shifted.data() + 2, sample.bytes.data(), sample.bytes.size());
    Walk walk = WalkSnapshot({shifted.data() + 2, static_cast<uint32_t>(sample.bytes.size())});
    EXPECT_TRUE(walk.objects.empty() && walk.faults.empty());
}
