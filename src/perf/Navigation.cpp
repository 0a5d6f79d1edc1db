#include "perf/Navigation.h"

namespace perf {

namespace {

const char16_t emptyName[1] = {0};

// Offsets are computed as 64-bit integers so that no pointer is ever formed
// outside the snapshot.
bool Contains(SnapshotView snapshot, uint64_t offset, uint64_t size)
{
    return offset <= snapshot.length && size <= snapshot.length - offset;
}

uint64_t OffsetOf(SnapshotView snapshot, const void* record)
{
    return static_cast<uint64_t>(static_cast<const uint8_t*>(record) - snapshot.data);
}

// The address is checked rather than the offset: a snapshot whose bytes do
// not start 4-byte aligned would otherwise hand out misaligned records.
template <class Record>
const Record* RecordAt(SnapshotView snapshot, uint64_t offset)
{
    if (!snapshot.data || (reinterpret_cast<uintptr_t>(snapshot.data) + offset) % 4 != 0 ||
        !Contains(snapshot, offset, sizeof(Record)))
        return nullptr;
    return reinterpret_cast<const Record*>(snapshot.data + offset);
}

// Little-endian, whatever the host; the bytes that lie past the snapshot's end
// read as 0, so a value cut short by the end keeps the bytes it has.
uint64_t ReadLittleEndian(SnapshotView snapshot, const uint8_t* data, uint32_t size)
{
    if (!data || !snapshot.data)
        return 0;
    uint64_t offset = OffsetOf(snapshot, data);
    uint64_t value = 0;
    for (uint32_t i = 0; i < size && Contains(snapshot, offset + i, 1); ++i)
        value |= uint64_t(data[i]) << (8 * i);
    return value;
}

// The record that starts `length` bytes after `record`; lengths shorter than
// `minimum` would not move the walk forward and end it.
template <class Record>
const Record* RecordAfter(SnapshotView snapshot, const void* record, uint32_t length, uint32_t minimum)
{
    if (!record || length < minimum)
        return nullptr;
    return RecordAt<Record>(snapshot, OffsetOf(snapshot, record) + length);
}

} // namespace

const PerfDataBlockHeader* BlockHeader(SnapshotView snapshot)
{
    return RecordAt<PerfDataBlockHeader>(snapshot, 0);
}

const PerfObjectType* FirstObject(SnapshotView snapshot)
{
    const PerfDataBlockHeader* header = BlockHeader(snapshot);
    return header ? RecordAt<PerfObjectType>(snapshot, header->HeaderLength) : nullptr;
}

const PerfObjectType* NextObject(SnapshotView snapshot, const PerfObjectType* object)
{
    return object ? RecordAfter<PerfObjectType>(snapshot, object, object->TotalByteLength,
                                                sizeof(PerfObjectType))
                  : nullptr;
}

const PerfObjectType* FindObject(SnapshotView snapshot, uint32_t titleIndex)
{
    const PerfDataBlockHeader* header = BlockHeader(snapshot);
    if (!header)
        return nullptr;
    const PerfObjectType* object = FirstObject(snapshot);
    for (uint32_t i = 0; i < header->NumObjectTypes && object; ++i) {
        if (object->ObjectNameTitleIndex == titleIndex)
            return object;
        object = NextObject(snapshot, object);
    }
    return nullptr;
}

const PerfCounterDefinition* FirstCounter(SnapshotView snapshot, const PerfObjectType* object)
{
    return object ? RecordAt<PerfCounterDefinition>(snapshot, OffsetOf(snapshot, object) + object->HeaderLength)
                  : nullptr;
}

const PerfCounterDefinition* NextCounter(SnapshotView snapshot, const PerfCounterDefinition* counter)
{
    return counter ? RecordAfter<PerfCounterDefinition>(snapshot, counter, counter->ByteLength,
                                                        sizeof(PerfCounterDefinition))
                   : nullptr;
}

const PerfCounterDefinition* FindCounter(SnapshotView snapshot, const PerfObjectType* object,
                                         uint32_t titleIndex)
{
    if (!object)
        return nullptr;
    const PerfCounterDefinition* counter = FirstCounter(snapshot, object);
    for (uint32_t i = 0; i < object->NumCounters && counter; ++i) {
        if (counter->CounterNameTitleIndex == titleIndex)
            return counter;
        counter = NextCounter(snapshot, counter);
    }
    return nullptr;
}

const PerfInstanceDefinition* FirstInstance(SnapshotView snapshot, const PerfObjectType* object)
{
    return object ? RecordAt<PerfInstanceDefinition>(snapshot, OffsetOf(snapshot, object) + object->DefinitionLength)
                  : nullptr;
}

const PerfInstanceDefinition* NextInstance(SnapshotView snapshot, const PerfInstanceDefinition* instance)
{
    const PerfCounterBlock* block = instance ? RecordAfter<PerfCounterBlock>(snapshot, instance, instance->ByteLength,
                                                                             sizeof(PerfInstanceDefinition))
                                             : nullptr;
    return block ? RecordAfter<PerfInstanceDefinition>(snapshot, block, block->ByteLength, sizeof(PerfCounterBlock))
                 : nullptr;
}

const char16_t* InstanceName(SnapshotView snapshot, const PerfInstanceDefinition* instance)
{
    if (!instance)
        return nullptr;
    uint64_t start = OffsetOf(snapshot, instance);
    uint64_t end = start + instance->ByteLength;
    uint64_t name = start + instance->NameOffset;
    if (end > snapshot.length)
        end = snapshot.length;
    if (name % 2 != 0 || name >= end)
        return emptyName;
    for (uint64_t at = name; at + 2 <= end; at += 2) {
        if (snapshot.data[at] == 0 && snapshot.data[at + 1] == 0)
            return reinterpret_cast<const char16_t*>(snapshot.data + name);
    }
    return emptyName;
}

const uint8_t* CounterData(SnapshotView snapshot, const PerfInstanceDefinition* instance,
                           const PerfCounterDefinition* counter, uint32_t readSize)
{
    if (!instance || !counter || counter->CounterSize < readSize)
        return nullptr;
    const PerfCounterBlock* block = RecordAfter<PerfCounterBlock>(snapshot, instance, instance->ByteLength,
                                                                  sizeof(PerfInstanceDefinition));
    if (!block)
        return nullptr;
    uint64_t end = uint64_t(counter->CounterOffset) + counter->CounterSize;
    if (end > block->ByteLength)
        return nullptr;
    uint64_t offset = OffsetOf(snapshot, block) + counter->CounterOffset;
    if (!Contains(snapshot, offset, counter->CounterSize))
        return nullptr;
    return snapshot.data + offset;
}

uint32_t ReadU32(SnapshotView snapshot, const uint8_t* data)
{
    return static_cast<uint32_t>(ReadLittleEndian(snapshot, data, 4));
}

uint64_t ReadU64(SnapshotView snapshot, const uint8_t* data)
{
    return ReadLittleEndian(snapshot, data, 8);
}

uint32_t InstanceCount(const PerfObjectType* object)
{
    return object && object->NumInstances > 0 ? static_cast<uint32_t>(object->NumInstances) : 0;
}

} // namespace perf
