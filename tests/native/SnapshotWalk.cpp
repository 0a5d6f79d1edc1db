#include "SnapshotWalk.h"

#include "perf/SnapshotWriter.h"

#include <algorithm>
#include <cstring>

namespace perf::test {

namespace {

// Computed on addresses rather than with pointer arithmetic, so that a pointer
// below the snapshot wraps to a huge offset instead of being undefined.
uint64_t OffsetIn(SnapshotView snapshot, const void* p)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(snapshot.data));
}

bool Fits(SnapshotView snapshot, uint64_t offset, uint64_t size)
{
    return offset <= snapshot.length && size <= snapshot.length - offset;
}

bool Inside(SnapshotView snapshot, const void* p, uint64_t size)
{
    return Fits(snapshot, OffsetIn(snapshot, p), size);
}

// A record lies inside, 4-byte aligned, after the one walked before it.
template <class Record>
bool CheckRecord(Walk& walk, SnapshotView snapshot, const Record* record, const void* previous, const char* what)
{
    if (!Inside(snapshot, record, sizeof(Record)))
        walk.faults.push_back(std::string(what) + " outside the snapshot");
    else if (reinterpret_cast<uintptr_t>(record) % 4 != 0)
        walk.faults.push_back(std::string(what) + " not 4-byte aligned");
    else if (previous && reinterpret_cast<uintptr_t>(record) <= reinterpret_cast<uintptr_t>(previous))
        walk.faults.push_back(std::string(what) + " walk does not move forward");
    else
        return true;
    return false;
}

// A name must be the empty string or lie, aligned and terminated, inside its instance.
std::u16string ReadName(Walk& walk, SnapshotView snapshot, const PerfInstanceDefinition* instance)
{
    const char16_t* name = InstanceName(snapshot, instance);
    if (!name) {
        walk.faults.push_back("InstanceName returned null");
        return {};
    }
    if (!Inside(snapshot, name, 0)) {
        if (*name != 0)
            walk.faults.push_back("name outside the snapshot is not empty");
        return {};
    }
    if (reinterpret_cast<uintptr_t>(name) % 2 != 0)
        walk.faults.push_back("name not 2-byte aligned");
    uint64_t start = OffsetIn(snapshot, instance), at = OffsetIn(snapshot, name);
    uint64_t end = std::min<uint64_t>(start + instance->ByteLength, snapshot.length);
    std::u16string text;
    for (char16_t c; at >= start && at + 2 <= end; at += 2) {
        std::memcpy(&c, snapshot.data + at, sizeof(c));
        if (c == 0)
            return text;
        text += c;
    }
    walk.faults.push_back("name not terminated inside its instance");
    return {};
}

// A value is read by the counter's declared size, and only from its counter block.
std::optional<uint64_t> ReadValue(Walk& walk, SnapshotView snapshot, const PerfInstanceDefinition* instance,
                                  const PerfCounterDefinition* counter)
{
    uint32_t size = counter->CounterSize >= 8 ? 8 : 4;
    const uint8_t* data = CounterData(snapshot, instance, counter, size);
    if (!data)
        return std::nullopt;
    uint64_t block = OffsetIn(snapshot, instance) + instance->ByteLength;
    uint32_t blockLength = 0;
    if (Fits(snapshot, block, sizeof(blockLength)))
        std::memcpy(&blockLength, snapshot.data + block, sizeof(blockLength));
    else
        walk.faults.push_back("counter data given for a counter block outside the snapshot");
    uint64_t at = OffsetIn(snapshot, data);
    if (counter->CounterSize < size || !Inside(snapshot, data, size))
        walk.faults.push_back("counter data shorter than the value read");
    if (at < block || at - block + counter->CounterSize > blockLength)
        walk.faults.push_back("counter data outside its counter block");
    return size == 8 ? ReadU64(snapshot, data) : ReadU32(snapshot, data);
}

// FindObject and FindCounter must return what a walk meets first.
template <class Record, class Find, class Index>
void CheckFinds(Walk& walk, const std::vector<const Record*>& walked, Find find, Index index, const char* what)
{
    std::vector<uint32_t> indexes{0xFFFF'FFFF};
    for (const Record* record : walked)
        indexes.push_back(index(record));
    for (uint32_t wanted : indexes) {
        auto first = std::find_if(walked.begin(), walked.end(), [&](const Record* r) { return index(r) == wanted; });
        if (find(wanted) != (first == walked.end() ? nullptr : *first))
            walk.faults.push_back(std::string(what) + " disagrees with the walk for index " + std::to_string(wanted));
    }
}

WalkedObject WalkObject(Walk& walk, SnapshotView snapshot, const PerfObjectType* object)
{
    WalkedObject walked{object, {}, {}};
    const PerfCounterDefinition* counter = FirstCounter(snapshot, object);
    for (uint32_t i = 0; i < object->NumCounters && counter; ++i, counter = NextCounter(snapshot, counter)) {
        if (!CheckRecord(walk, snapshot, counter, i ? walked.counters.back() : nullptr, "counter definition"))
            break;
        walked.counters.push_back(counter);
    }
    CheckFinds(
        walk, walked.counters, [&](uint32_t index) { return FindCounter(snapshot, object, index); },
        [](const PerfCounterDefinition* c) { return c->CounterNameTitleIndex; }, "FindCounter");

    const PerfInstanceDefinition* instance = FirstInstance(snapshot, object);
    for (uint32_t i = 0; i < InstanceCount(object) && instance; ++i, instance = NextInstance(snapshot, instance)) {
        if (!CheckRecord(walk, snapshot, instance, i ? walked.instances.back().instance : nullptr, "instance"))
            break;
        WalkedInstance& entry = walked.instances.emplace_back();
        entry.instance = instance;
        entry.name = ReadName(walk, snapshot, instance);
        for (const PerfCounterDefinition* c : walked.counters)
            entry.values.push_back(ReadValue(walk, snapshot, instance, c));
    }
    return walked;
}

constexpr BlockTimes sampleTimes{{2024, 3, 2, 5, 14, 23, 59, 998}, 0x123'4567'89AB, 10'000'000, 0x01DA'6E3B'0F00'1234};

} // namespace

Walk WalkSnapshot(SnapshotView snapshot)
{
    Walk walk;
    const PerfDataBlockHeader* header = BlockHeader(snapshot);
    if (!header || !CheckRecord(walk, snapshot, header, nullptr, "block header"))
        return walk;
    std::vector<const PerfObjectType*> objects;
    const PerfObjectType* object = FirstObject(snapshot);
    for (uint32_t i = 0; i < header->NumObjectTypes && object; ++i, object = NextObject(snapshot, object)) {
        if (!CheckRecord(walk, snapshot, object, i ? objects.back() : nullptr, "object"))
            break;
        objects.push_back(object);
        walk.objects.push_back(WalkObject(walk, snapshot, object));
    }
    CheckFinds(
        walk, objects, [&](uint32_t index) { return FindObject(snapshot, index); },
        [](const PerfObjectType* o) { return o->ObjectNameTitleIndex; }, "FindObject");
    return walk;
}

std::vector<uint8_t> SampleBlock()
{
    SnapshotWriter writer;
    writer.BeginBlock(sampleTimes, u"SAMPLE-HOST");
    writer.BeginObject({230, 231, 100, 0, 0x8000'0001, 10'000'000, false});
    writer.AddCounter({6, 7, TYPE_100NSEC_TIMER, 8});
    writer.AddCounter({784, 785, TYPE_RAWCOUNT, 4});
    writer.AddCounter({180, 181, TYPE_LARGE_RAWCOUNT, 8});
    writer.AddCounter({1410, 1411, TYPE_RAWCOUNT, 4});
    writer.AddCounter({186, 187, TYPE_RAWCOUNT_HEX, 4});
    writer.AddInstance(u"Idle", {}, {0x1'0000'0000, 0, 0x10000, 0, 1});
    writer.AddInstance(u"System", {}, {0x2'0000'0042, 4, 0x20'0000'0000, 0, 2});
    writer.AddInstance(u"", {}, {7, 8, 9, 10, 11});
    writer.AddInstance(u"a process with a rather longer name than most", {},
                       {0xFFFF'FFFF'FFFF'FFFF, 0xFFFF'FFFF, 1, 2, 3});
    writer.BeginObject({2, 3, 100, 0, 0, 0, true});
    writer.AddCounter({674, 675, TYPE_ELAPSED_TIME, 8});
    writer.AddCounter({248, 249, TYPE_RAWCOUNT, 4});
    const uint64_t values[] = {0x01DA'0000'0000'0001, 97};
    writer.SetObjectValues(values, 2);
    writer.BeginObject({232, 233, 200, 1, 0, 0, false});
    writer.AddCounter({804, 805, TYPE_RAWCOUNT, 4});
    writer.AddCounter({6, 7, TYPE_100NSEC_TIMER, 8});
    writer.AddInstance(u"0", {230, 1, 0}, {0x44, 0x55'0000'0000});
    writer.AddInstance(u"1", {230, 1, 1}, {0x66, 0x77});
    writer.AddInstance(u"0", {230, 3, 12}, {0x88, 0x99});
    writer.BeginObject({9000, 9001});
    return writer.Finish();
}

std::vector<std::vector<uint8_t>> SeedBlocks()
{
    SnapshotWriter empty;
    empty.BeginBlock(sampleTimes, u"");
    return {SampleBlock(), empty.Finish()};
}

} // namespace perf::test
