#include "perf/SnapshotWriter.h"

#include <cstring>

namespace perf {

namespace {

size_t RoundUp8(size_t n)
{
    return (n + 7) & ~size_t(7);
}

} // namespace

size_t SnapshotWriter::Grow(size_t count)
{
    size_t start = bytes.size();
    bytes.resize(start + count);
    return start;
}

void SnapshotWriter::BeginBlock(const BlockTimes& times, std::u16string_view systemName)
{
    bytes.clear();
    objectCount = 0;
    inObject = false;
    size_t nameBytes = (systemName.size() + 1) * sizeof(char16_t);
    Grow(RoundUp8(sizeof(PerfDataBlockHeader) + nameBytes));
    auto* header = At<PerfDataBlockHeader>(0);
    std::memcpy(header->Signature, u"PERF", sizeof(header->Signature));
    header->LittleEndian = 1;
    header->Version = 1;
    header->Revision = 1;
    header->HeaderLength = static_cast<uint32_t>(bytes.size());
    header->SystemTime = times.systemTime;
    header->PerfTime = Split64(times.perfTime);
    header->PerfFreq = Split64(times.perfFreq);
    header->PerfTime100nSec = Split64(times.perfTime100nSec);
    header->SystemNameLength = static_cast<uint32_t>(nameBytes);
    header->SystemNameOffset = sizeof(PerfDataBlockHeader);
    std::memcpy(bytes.data() + sizeof(PerfDataBlockHeader), systemName.data(),
                systemName.size() * sizeof(char16_t));
}

void SnapshotWriter::BeginObject(const ObjectSpec& wanted)
{
    if (bytes.empty())
        BeginBlock({}, u"");
    // As in Finish: an object left open would keep a TotalByteLength of 0,
    // which ends every walk there, and go uncounted.
    EndObject();
    objectStart = Grow(sizeof(PerfObjectType));
    inObject = true;
    counterOffsets.clear();
    counterSizes.clear();
    counterBlockLength = static_cast<uint32_t>(RoundUp8(sizeof(PerfCounterBlock)));
    auto* object = At<PerfObjectType>(objectStart);
    object->DefinitionLength = sizeof(PerfObjectType);
    object->HeaderLength = sizeof(PerfObjectType);
    object->ObjectNameTitleIndex = wanted.nameIndex;
    object->ObjectHelpTitleIndex = wanted.helpIndex;
    object->DetailLevel = wanted.detailLevel;
    object->DefaultCounter = wanted.defaultCounter;
    object->NumInstances = wanted.noInstances ? NO_INSTANCES : 0;
    object->PerfTime = Split64(wanted.perfTime);
    object->PerfFreq = Split64(wanted.perfFreq);
}

void SnapshotWriter::AddCounter(const CounterSpec& wanted)
{
    if (!inObject)
        return;
    uint32_t size = wanted.size == 8 ? 8 : 4;
    // Counters follow the block's length field, each aligned to its own size.
    uint32_t used = sizeof(PerfCounterBlock);
    if (!counterOffsets.empty())
        used = counterOffsets.back() + counterSizes.back();
    uint32_t offset = (used + size - 1) & ~(size - 1);
    counterOffsets.push_back(offset);
    counterSizes.push_back(size);
    counterBlockLength = static_cast<uint32_t>(RoundUp8(offset + size));

    size_t at = Grow(sizeof(PerfCounterDefinition));
    auto* counter = At<PerfCounterDefinition>(at);
    counter->ByteLength = sizeof(PerfCounterDefinition);
    counter->CounterNameTitleIndex = wanted.nameIndex;
    counter->CounterHelpTitleIndex = wanted.helpIndex;
    counter->DefaultScale = wanted.defaultScale;
    counter->DetailLevel = wanted.detailLevel;
    counter->CounterType = wanted.type;
    counter->CounterSize = size;
    counter->CounterOffset = offset;
    auto* object = At<PerfObjectType>(objectStart);
    object->DefinitionLength += sizeof(PerfCounterDefinition);
    object->NumCounters += 1;
}

void SnapshotWriter::WriteCounterBlock(const uint64_t* values, size_t valueCount)
{
    size_t at = Grow(counterBlockLength);
    At<PerfCounterBlock>(at)->ByteLength = counterBlockLength;
    for (size_t i = 0; i < counterOffsets.size() && i < valueCount; ++i)
        std::memcpy(bytes.data() + at + counterOffsets[i], &values[i], counterSizes[i]);
}

void SnapshotWriter::AddInstance(std::u16string_view name, const InstanceParent& parent, const uint64_t* values,
                                 size_t valueCount)
{
    if (!inObject || At<PerfObjectType>(objectStart)->NumInstances == NO_INSTANCES)
        return;
    size_t nameBytes = (name.size() + 1) * sizeof(char16_t);
    size_t length = RoundUp8(sizeof(PerfInstanceDefinition) + nameBytes);
    size_t at = Grow(length);
    auto* instance = At<PerfInstanceDefinition>(at);
    instance->ByteLength = static_cast<uint32_t>(length);
    instance->ParentObjectTitleIndex = parent.objectTitleIndex;
    instance->ParentObjectInstance = parent.instance;
    instance->UniqueID = parent.uniqueId;
    instance->NameOffset = sizeof(PerfInstanceDefinition);
    instance->NameLength = static_cast<uint32_t>(nameBytes);
    std::memcpy(bytes.data() + at + sizeof(PerfInstanceDefinition), name.data(), name.size() * sizeof(char16_t));
    WriteCounterBlock(values, valueCount);
    At<PerfObjectType>(objectStart)->NumInstances += 1;
}

void SnapshotWriter::SetObjectValues(const uint64_t* values, size_t valueCount)
{
    if (!inObject)
        return;
    WriteCounterBlock(values, valueCount);
}

void SnapshotWriter::EndObject()
{
    if (!inObject)
        return;
    At<PerfObjectType>(objectStart)->TotalByteLength = static_cast<uint32_t>(bytes.size() - objectStart);
    ++objectCount;
    inObject = false;
}

const std::vector<uint8_t>& SnapshotWriter::Finish()
{
    if (bytes.empty())
        BeginBlock({}, u"");
    EndObject();
    auto* header = At<PerfDataBlockHeader>(0);
    header->TotalByteLength = static_cast<uint32_t>(bytes.size());
    header->NumObjectTypes = objectCount;
    return bytes;
}

} // namespace perf
