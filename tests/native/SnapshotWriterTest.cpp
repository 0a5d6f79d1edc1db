#include "SnapshotWalk.h"

#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace perf;
using perf::test::Walk;
using perf::test::WalkSnapshot;

namespace {

SnapshotView View(const std::vector<uint8_t>& bytes)
{
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// Counter j of instance i: distinct, with high bits set so that a 4-byte
// counter must drop them and an 8-byte one must keep them.
uint64_t Value(size_t i, size_t j)
{
    return (uint64_t(i + 1) << 40) | (uint64_t(j + 1) << 32) | (0x8000'0000u + i * 16 + j);
}

uint64_t Stored(uint64_t value, uint32_t size)
{
    return size == 8 ? value : value & 0xFFFF'FFFF;
}

// The counter block follows the instance definition, or the object's
// definitions when it has no instances.
const uint8_t* CounterBlockAfter(const void* record, uint32_t length)
{
    return static_cast<const uint8_t*>(record) + length;
}

// Counters lie after the block's length field, aligned to their size, in
// definition order without overlapping, inside a block of a multiple of 8.
void ExpectCounterLayout(SnapshotView snapshot, const std::vector<const PerfCounterDefinition*>& counters,
                         const uint8_t* block)
{
    uint32_t blockLength = ReadU32(snapshot, block);
    EXPECT_EQ(0u, blockLength % 8);
    uint64_t used = sizeof(PerfCounterBlock);
    for (const PerfCounterDefinition* counter : counters) {
        SCOPED_TRACE(counter->CounterNameTitleIndex);
        EXPECT_EQ(0u, counter->CounterOffset % counter->CounterSize);
        EXPECT_GE(counter->CounterOffset, used);
        used = counter->CounterOffset + counter->CounterSize;
    }
    EXPECT_LE(used, blockLength);
}

const CounterSpec processCounters[] = {
    {6, 7, TYPE_100NSEC_TIMER, 8, 100, 0}, {784, 785, TYPE_RAWCOUNT, 4, 100, -1},
    {180, 181, TYPE_LARGE_RAWCOUNT, 8, 200, 0}, {186, 187, TYPE_RAWCOUNT_HEX, 4, 100, 2},
    {1410, 1411, TYPE_RAWCOUNT, 4, 300, 0},      {1412, 1413, TYPE_LARGE_RAWCOUNT, 8, 100, -5},
};
const std::u16string processNames[] = {
    u"", u"a", u"ab", u"abc", u"abcd", std::u16string(301, u'x'), u"\u00dcberpr\u00fcfung \U0001F600",
};
const CounterSpec threadCounters[] = {{804, 805, TYPE_RAWCOUNT, 4}, {6, 7, TYPE_100NSEC_TIMER, 8}};
const InstanceParent threadParents[] = {{230, 0, 17}, {230, 6, -1}, {232, 0xFFFF'FFFF, 0x7FFF'FFFF}};
// Ends 4 bytes short of a multiple of 8, which the block's length rounds up.
const CounterSpec systemCounters[] = {
    {248, 249, TYPE_RAWCOUNT, 4}, {674, 675, TYPE_ELAPSED_TIME, 8}, {250, 251, TYPE_RAWCOUNT, 4}};

std::vector<uint8_t> WriteObjects()
{
    SnapshotWriter writer;
    writer.BeginBlock({}, u"HOST");
    writer.BeginObject({230, 231, 200, 3, 0x1'0000'0002, 10'000'000, false});
    for (const CounterSpec& counter : processCounters)
        writer.AddCounter(counter);
    for (size_t i = 0; i < std::size(processNames); ++i) {
        std::vector<uint64_t> values;
        for (size_t j = 0; j < std::size(processCounters); ++j)
            values.push_back(Value(i, j));
        writer.AddInstance(processNames[i], {}, values);
    }
    writer.EndObject();

    writer.BeginObject({2, 3, 100, 0, 0, 0, true});
    for (const CounterSpec& counter : systemCounters)
        writer.AddCounter(counter);
    const uint64_t systemValues[] = {Value(9, 0), Value(9, 1), Value(9, 2)};
    writer.SetObjectValues(systemValues, std::size(systemValues));
    writer.EndObject();

    writer.BeginObject({232, 233});
    for (const CounterSpec& counter : threadCounters)
        writer.AddCounter(counter);
    for (size_t i = 0; i < std::size(threadParents); ++i)
        writer.AddInstance(u"T", threadParents[i], {Value(i, 0), Value(i, 1)});
    writer.EndObject();

    writer.BeginObject({9000, 9001});
    writer.EndObject();
    return writer.Finish();
}

void ExpectCounters(const std::vector<const PerfCounterDefinition*>& read, const CounterSpec* written,
                    size_t count)
{
    ASSERT_EQ(count, read.size());
    for (size_t j = 0; j < count; ++j) {
        EXPECT_EQ(sizeof(PerfCounterDefinition), read[j]->ByteLength);
        EXPECT_EQ(written[j].nameIndex, read[j]->CounterNameTitleIndex);
        EXPECT_EQ(written[j].helpIndex, read[j]->CounterHelpTitleIndex);
        EXPECT_EQ(written[j].type, read[j]->CounterType);
        EXPECT_EQ(written[j].size, read[j]->CounterSize);
        EXPECT_EQ(written[j].detailLevel, read[j]->DetailLevel);
        EXPECT_EQ(written[j].defaultScale, read[j]->DefaultScale);
    }
}

} // namespace

TEST(SnapshotWriter, ObjectsCountersAndInstancesReadBack)
{
    const std::vector<uint8_t> bytes = WriteObjects();
    SnapshotView snapshot = View(bytes);
    Walk walk = WalkSnapshot(snapshot);
    ASSERT_TRUE(walk.faults.empty()) << walk.faults.front();
    ASSERT_EQ(4u, walk.objects.size());
    EXPECT_EQ(4u, BlockHeader(snapshot)->NumObjectTypes);

    // Objects follow one another without gaps up to the block's end.
    uint64_t end = BlockHeader(snapshot)->HeaderLength;
    for (const auto& object : walk.objects) {
        EXPECT_EQ(bytes.data() + end, reinterpret_cast<const uint8_t*>(object.object));
        EXPECT_EQ(0u, object.object->TotalByteLength % 8);
        end += object.object->TotalByteLength;
    }
    EXPECT_EQ(bytes.size(), end);

    const PerfObjectType* process = walk.objects[0].object;
    EXPECT_EQ(process, FindObject(snapshot, 230));
    EXPECT_EQ(231u, process->ObjectHelpTitleIndex);
    EXPECT_EQ(200u, process->DetailLevel);
    EXPECT_EQ(3, process->DefaultCounter);
    EXPECT_EQ(0x1'0000'0002, Value64(process->PerfTime));
    EXPECT_EQ(10'000'000, Value64(process->PerfFreq));
    EXPECT_EQ(int32_t(std::size(processNames)), process->NumInstances);
    ExpectCounters(walk.objects[0].counters, processCounters, std::size(processCounters));
    EXPECT_EQ(walk.objects[0].counters[2], FindCounter(snapshot, process, 180));

    ASSERT_EQ(std::size(processNames), walk.objects[0].instances.size());
    for (size_t i = 0; i < std::size(processNames); ++i) {
        SCOPED_TRACE(i);
        const auto& instance = walk.objects[0].instances[i];
        EXPECT_EQ(processNames[i], instance.name);
        EXPECT_EQ(processNames[i], InstanceName(snapshot, instance.instance));
        EXPECT_EQ((processNames[i].size() + 1) * 2, instance.instance->NameLength);
        EXPECT_EQ(0u, instance.instance->ByteLength % 8);
        EXPECT_EQ(0u, instance.instance->ParentObjectTitleIndex);
        EXPECT_EQ(-1, instance.instance->UniqueID);
        ExpectCounterLayout(snapshot, walk.objects[0].counters,
                            CounterBlockAfter(instance.instance, instance.instance->ByteLength));
        ASSERT_EQ(std::size(processCounters), instance.values.size());
        for (size_t j = 0; j < std::size(processCounters); ++j)
            EXPECT_EQ(Stored(Value(i, j), processCounters[j].size), instance.values[j]) << "counter " << j;
    }

    const auto& threads = walk.objects[2];
    EXPECT_EQ(threads.object, FindObject(snapshot, 232));
    ExpectCounters(threads.counters, threadCounters, std::size(threadCounters));
    ASSERT_EQ(std::size(threadParents), threads.instances.size());
    for (size_t i = 0; i < std::size(threadParents); ++i) {
        const PerfInstanceDefinition* instance = threads.instances[i].instance;
        EXPECT_EQ(threadParents[i].objectTitleIndex, instance->ParentObjectTitleIndex);
        EXPECT_EQ(threadParents[i].instance, instance->ParentObjectInstance);
        EXPECT_EQ(threadParents[i].uniqueId, instance->UniqueID);
        EXPECT_EQ(u"T", threads.instances[i].name);
        EXPECT_EQ(Stored(Value(i, 1), 8), threads.instances[i].values[1]);
    }

    EXPECT_EQ(walk.objects[3].object, FindObject(snapshot, 9000));
    EXPECT_EQ(0u, walk.objects[3].object->NumCounters);
    EXPECT_EQ(0, walk.objects[3].object->NumInstances);
    EXPECT_TRUE(walk.objects[3].counters.empty());
}

TEST(SnapshotWriter, ObjectWithoutInstancesHoldsOneCounterBlock)
{
    const std::vector<uint8_t> bytes = WriteObjects();
    SnapshotView snapshot = View(bytes);
    const PerfObjectType* system = FindObject(snapshot, 2);
    ASSERT_NE(nullptr, system);
    EXPECT_EQ(NO_INSTANCES, system->NumInstances);
    EXPECT_EQ(0u, InstanceCount(system));

    std::vector<const PerfCounterDefinition*> counters;
    for (auto* c = FirstCounter(snapshot, system); counters.size() < system->NumCounters; c = NextCounter(snapshot, c))
        counters.push_back(c);
    ExpectCounters(counters, systemCounters, std::size(systemCounters));

    const uint8_t* block = CounterBlockAfter(system, system->DefinitionLength);
    ExpectCounterLayout(snapshot, counters, block);
    EXPECT_EQ(system->TotalByteLength, system->DefinitionLength + ReadU32(snapshot, block));
    EXPECT_EQ(Stored(Value(9, 0), 4), ReadU32(snapshot, block + counters[0]->CounterOffset));
    EXPECT_EQ(Value(9, 1), ReadU64(snapshot, block + counters[1]->CounterOffset));
    EXPECT_EQ(Stored(Value(9, 2), 4), ReadU32(snapshot, block + counters[2]->CounterOffset));
}
