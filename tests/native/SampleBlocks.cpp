#include "SampleBlocks.h"

#include "perf/SnapshotWriter.h"

namespace perf::test {

namespace {

BlockTimes SampleTimes()
{
    BlockTimes times;
    times.systemTime = {2024, 3, 2, 5, 14, 23, 59, 998};
    times.perfTime = 0x123'4567'89AB;
    times.perfFreq = 10'000'000;
    times.perfTime100nSec = 0x01DA'6E3B'0F00'1234;
    return times;
}

void AddProcesses(SnapshotWriter& writer)
{
    writer.BeginObject({ProcessObject, 231, 100, 0, 0x8000'0001, 10'000'000, false});
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
    writer.EndObject();
}

void AddSystem(SnapshotWriter& writer)
{
    writer.BeginObject({SystemObject, 3, 100, 0, 0, 0, true});
    writer.AddCounter({674, 675, TYPE_ELAPSED_TIME, 8});
    writer.AddCounter({248, 249, TYPE_RAWCOUNT, 4});
    const uint64_t values[] = {0x01DA'0000'0000'0001, 97};
    writer.SetObjectValues(values, 2);
    writer.EndObject();
}

void AddThreads(SnapshotWriter& writer)
{
    writer.BeginObject({ThreadObject, 233, 200, 1, 0, 0, false});
    writer.AddCounter({804, 805, TYPE_RAWCOUNT, 4});
    writer.AddCounter({6, 7, TYPE_100NSEC_TIMER, 8});
    writer.AddInstance(u"0", {ProcessObject, 1, 0}, {0x44, 0x55'0000'0000});
    writer.AddInstance(u"1", {ProcessObject, 1, 1}, {0x66, 0x77});
    writer.AddInstance(u"0", {ProcessObject, 3, 12}, {0x88, 0x99});
    writer.EndObject();
}

} // namespace

std::vector<uint8_t> SampleBlock()
{
    SnapshotWriter writer;
    writer.BeginBlock(SampleTimes(), u"SAMPLE-HOST");
    AddProcesses(writer);
    AddSystem(writer);
    AddThreads(writer);
    writer.BeginObject({EmptyObject, 9001});
    writer.EndObject();
    return writer.Finish();
}

std::vector<std::vector<uint8_t>> SeedBlocks()
{
    std::vector<std::vector<uint8_t>> blocks{SampleBlock()};
    SnapshotWriter writer;
    writer.BeginBlock(SampleTimes(), u"");
    blocks.push_back(writer.Finish());
    writer.BeginBlock(SampleTimes(), u"H");
    AddThreads(writer);
    blocks.push_back(writer.Finish());
    writer.BeginBlock(SampleTimes(), u"HOST");
    AddSystem(writer);
    blocks.push_back(writer.Finish());
    return blocks;
}

} // namespace perf::test
