#include "SnapshotWalk.h"

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

template <class Record>
bool CheckRecord(Walk& walk, SnapshotView snapshot, const Record* record, const char* what)
{
    if (!Inside(snapshot, record, sizeof(Record)))
        walk.faults.push_back(std::string(what) + " outside the snapshot");
    else if (reinterpret_cast<uintptr_t>(record) % 4 != 0)
        walk.faults.push_back(std::string(what) + " not 4-byte aligned");
    else
        return true;
    return false;
}

bool MovesForward(Walk& walk, const void* previous, const void* next, const char* what)
{
    if (!previous || reinterpret_cast<uintptr_t>(next) > reinterpret_cast<uintptr_t>(previous))
        return true;
    walk.faults.push_back(std::string(what) + " walk does not move forward");
    return false;
}

// A name must be the empty string or lie, terminated, inside its instance.
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
    uint64_t start = OffsetIn(snapshot, instance);
    uint64_t at = OffsetIn(snapshot, name);
    uint64_t end = std::min<uint64_t>(start + instance->ByteLength, snapshot.length);
    std::u16string text;
    for (; at >= start && at + 2 <= end; at += 2) {
        char16_t c;
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
        const Record* first = nullptr;
        for (const Record* record : walked) {
            if (index(record) == wanted) {
                first = record;
                break;
            }
        }
        if (find(wanted) != first)
            walk.faults.push_back(std::string(what) + " disagrees with the walk for index " +
                                  std::to_string(wanted));
    }
}

WalkedObject WalkObject(Walk& walk, SnapshotView snapshot, const PerfObjectType* object)
{
    WalkedObject walked{object, {}, {}};
    const PerfCounterDefinition* counter = FirstCounter(snapshot, object);
    for (uint32_t i = 0; i < object->NumCounters && counter; ++i) {
        if (!CheckRecord(walk, snapshot, counter, "counter definition") ||
            !MovesForward(walk, walked.counters.empty() ? nullptr : walked.counters.back(), counter, "counter"))
            break;
        walked.counters.push_back(counter);
        counter = NextCounter(snapshot, counter);
    }
    CheckFinds(
        walk, walked.counters, [&](uint32_t index) { return FindCounter(snapshot, object, index); },
        [](const PerfCounterDefinition* c) { return c->CounterNameTitleIndex; }, "FindCounter");

    const PerfInstanceDefinition* instance = FirstInstance(snapshot, object);
    for (uint32_t i = 0; i < InstanceCount(object) && instance; ++i) {
        if (!CheckRecord(walk, snapshot, instance, "instance") ||
            !MovesForward(walk, walked.instances.empty() ? nullptr : walked.instances.back().instance, instance,
                          "instance"))
            break;
        WalkedInstance& entry = walked.instances.emplace_back();
        entry.instance = instance;
        entry.name = ReadName(walk, snapshot, instance);
        for (const PerfCounterDefinition* c : walked.counters)
            entry.values.push_back(ReadValue(walk, snapshot, instance, c));
        instance = NextInstance(snapshot, instance);
    }
    return walked;
}

} // namespace

Walk WalkSnapshot(SnapshotView snapshot)
{
    Walk walk;
    const PerfDataBlockHeader* header = BlockHeader(snapshot);
    if (!header || !CheckRecord(walk, snapshot, header, "block header"))
        return walk;
    std::vector<const PerfObjectType*> objects;
    const PerfObjectType* object = FirstObject(snapshot);
    for (uint32_t i = 0; i < header->NumObjectTypes && object; ++i) {
        if (!CheckRecord(walk, snapshot, object, "object") ||
            !MovesForward(walk, objects.empty() ? nullptr : objects.back(), object, "object"))
            break;
        objects.push_back(object);
        walk.objects.push_back(WalkObject(walk, snapshot, object));
        object = NextObject(snapshot, object);
    }
    CheckFinds(
        walk, objects, [&](uint32_t index) { return FindObject(snapshot, index); },
        [](const PerfObjectType* o) { return o->ObjectNameTitleIndex; }, "FindObject");
    return walk;
}

} // namespace perf::test
