#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "perf/SnapshotWriter.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace model;

namespace {

constexpr uint32_t PROCESS = 230, THREAD = 232, ID = 784, TAG = 6, RATE = 142;

struct Instance {
    std::u16string name;
    uint32_t id;
    uint64_t tag = 0;  // a raw counter that tells the instances apart
    uint64_t rate = 0; // a 100-ns timer
};

// A block with a Process object of the given instances (ID, a raw tag and a
// timer) and a Thread object with one thread of the first process.
std::vector<uint8_t> Block(const std::vector<Instance>& instances, int64_t time100ns)
{
    perf::BlockTimes times;
    times.perfTime100nSec = time100ns;
    times.perfFreq = 1;
    perf::SnapshotWriter writer;
    writer.BeginBlock(times, u"TEST");
    writer.BeginObject({PROCESS, PROCESS + 1});
    writer.AddCounter({ID, ID + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({TAG, TAG + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({RATE, RATE + 1, perf::TYPE_100NSEC_TIMER, 8});
    for (const Instance& i : instances)
        writer.AddInstance(i.name, {}, {i.id, i.tag, i.rate});
    writer.BeginObject({THREAD, THREAD + 1});
    writer.AddCounter({ID, ID + 1, perf::TYPE_RAWCOUNT, 4});
    writer.AddInstance(u"0", {PROCESS, 0, -1}, {99});
    return writer.Finish();
}

perf::SnapshotView View(const std::vector<uint8_t>& bytes)
{
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = perf::counterTable;
        perf::counterTable.processObjectIndex = PROCESS;
        perf::counterTable.threadObjectIndex = THREAD;
        perf::counterTable.idProcessIndex = ID;
        perf::selection = perf::CounterSelection();
    }
    void TearDown() override
    {
        perf::counterTable = saved;
        perf::perfData.statusMessageId = IDS_STATUS_LOADING;
    }

    // Builds the process records of `now` against `before` into `records`.
    uint32_t Build(const std::vector<uint8_t>& now, const std::vector<uint8_t>* before, uint32_t counter = TAG,
                   uint32_t object = PROCESS)
    {
        BuildRequest request;
        request.current = View(now);
        request.previous = before ? View(*before) : perf::SnapshotView();
        request.objectIndex = object;
        request.idCounterIndex = ID;
        request.counterIndex = counter;
        return BuildInstanceRecords(request, records);
    }

    std::vector<uint32_t> CarriedFlags() const
    {
        std::vector<uint32_t> flags;
        for (uint32_t i = 0; i < records.count; ++i)
            flags.push_back(records[i].flags & (selected | focused | expanded));
        return flags;
    }

    perf::CounterNameTable saved;
    RecordArray records;
};

} // namespace

TEST_F(RecordsTest, FirstRefreshHasNoPreviousValuesAndNoTwoSampleValues)
{
    std::vector<uint8_t> now = Block({{u"Idle", 0, 5}, {u"editor.exe", 42, 7}}, 100);
    ASSERT_EQ(2u, Build(now, nullptr));
    EXPECT_STREQ(L"editor.exe", records[1].name);
    EXPECT_STREQ(L"editor.exe", records[1].label);
    EXPECT_EQ(42u, records[1].id);
    EXPECT_EQ(7.0, records[1].value);
    EXPECT_EQ(7.0, records[1].previousValue);
    EXPECT_STREQ(L"7", records[1].text.text);
    EXPECT_EQ(uint32_t(isProcess), records[1].flags);

    Build(now, nullptr, RATE);
    EXPECT_STREQ(L"***", records[0].text.text);
    EXPECT_EQ(0.0, records[0].value);
    EXPECT_EQ(0.0, records[0].previousValue);
}

TEST_F(RecordsTest, MatchingCarriesFlagsAndValuesFromThePredecessor)
{
    std::vector<uint8_t> before = Block({{u"a", 1, 10}, {u"b", 2, 20}, {u"c", 3, 30}, {u"d", 4, 40}}, 0);
    Build(before, nullptr);
    records[0].flags |= expanded;
    records[2].flags |= selected | focused;
    records[3].flags |= expanded;

    // b exited, x was inserted, a now follows c.
    std::vector<uint8_t> now = Block({{u"c", 3, 31}, {u"x", 9, 90}, {u"d", 4, 41}, {u"a", 1, 11}}, 10);
    Build(now, &before);
    EXPECT_EQ((std::vector<uint32_t>{selected | focused, 0, expanded, 0}), CarriedFlags())
        << "a reappeared before its predecessor's last match and is new";
    EXPECT_EQ(30.0, records[0].previousValue);
    EXPECT_EQ(90.0, records[1].previousValue) << "a new instance's previous value is its value";
    EXPECT_EQ(40.0, records[2].previousValue) << "the search starts again at the first instance after a miss";
    EXPECT_EQ(11.0, records[3].previousValue);
}

TEST_F(RecordsTest, InstancesWithIdZeroMatchByName)
{
    std::vector<uint8_t> before = Block({{u"Idle", 0, 1}, {u"_Total", 0, 2}}, 0);
    Build(before, nullptr);
    records[0].flags |= selected;
    records[1].flags |= expanded;
    std::vector<uint8_t> now = Block({{u"Idle", 0, 3}, {u"_Total", 0, 4}}, 10);
    Build(now, &before);
    EXPECT_EQ((std::vector<uint32_t>{selected, expanded}), CarriedFlags());
    EXPECT_EQ(2.0, records[1].previousValue);
}

TEST_F(RecordsTest, MissingObjectCounterOrInstances)
{
    std::vector<uint8_t> now = Block({{u"a", 1, 1}}, 0);
    EXPECT_EQ(1u, Build(now, nullptr, TAG, THREAD)) << "the thread object has no tag counter";
    EXPECT_STREQ(L"N/A", records[0].text.text);
    EXPECT_EQ(0.0, records[0].value);
    EXPECT_EQ(uint32_t(isThread), records[0].flags);

    EXPECT_EQ(0u, Build(now, nullptr, TAG, 238));
    EXPECT_EQ(unsigned(IDS_STATUS_NO_PROCESS_OBJECT), perf::perfData.statusMessageId);
    EXPECT_EQ(0u, Build(Block({}, 0), nullptr));
    EXPECT_EQ(unsigned(IDS_STATUS_NO_PROCESS_LIST), perf::perfData.statusMessageId);
}

TEST_F(RecordsTest, RebuildingFromTheSameSnapshotKeepsFlagsByPosition)
{
    std::vector<uint8_t> before = Block({{u"a", 1, 10, 0}, {u"b", 2, 20, 0}}, 0);
    std::vector<uint8_t> now = Block({{u"a", 1, 11, 5000000}, {u"b", 2, 21, 2500000}}, 10000000);
    Build(before, nullptr);
    Build(now, &before, RATE);
    records[1].flags |= expanded | selected;
    EXPECT_EQ(0.25, records[1].value);

    // Another counter: same pair of snapshots, new values, no growth shown.
    Build(now, &before, TAG);
    EXPECT_EQ((std::vector<uint32_t>{0, expanded | selected}), CarriedFlags());
    EXPECT_EQ(21.0, records[1].value);
    EXPECT_EQ(21.0, records[1].previousValue);

    // After a failed query only the last good snapshot is left.
    Build(now, nullptr, TAG);
    EXPECT_EQ((std::vector<uint32_t>{0, expanded | selected}), CarriedFlags());
}

TEST_F(RecordsTest, MatchesLikeAForwardWalkOnRandomLists)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<Instance> before, now;
        uint32_t n = random() % 40, m = random() % 40;
        auto make = [&](std::vector<Instance>& list, uint32_t count, uint64_t tagBase) {
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t id = random() % 8 == 0 ? 0 : 1 + random() % 30;
                std::u16string name = u"n" + std::u16string(1, char16_t(u'a' + random() % 4));
                list.push_back({name, id, tagBase + i});
            }
        };
        make(before, n, 1000);
        make(now, m, 5000);

        // The rule written out: walk forward from after the last match.
        std::vector<double> expected;
        uint32_t start = 0;
        for (const Instance& c : now) {
            int64_t match = -1;
            for (uint32_t j = start; j < before.size() && match < 0; ++j) {
                bool same = c.id != 0 ? before[j].id == c.id : before[j].name == c.name;
                if (same)
                    match = j;
            }
            start = match >= 0 ? uint32_t(match) + 1 : 0;
            expected.push_back(match >= 0 ? double(1000 + match) : double(c.tag));
        }

        std::vector<uint8_t> beforeBlock = Block(before, 0), nowBlock = Block(now, 10);
        records.Release();
        Build(beforeBlock, nullptr);
        Build(nowBlock, &beforeBlock);
        std::vector<double> carried;
        for (uint32_t i = 0; i < records.count; ++i)
            carried.push_back(records[i].previousValue);
        ASSERT_EQ(expected, carried) << "round " << round;
    }
}

TEST_F(RecordsTest, OddSnapshotsNeverLeadOutsideTheirBytes)
{
    // A pair of real-looking snapshots, then the same pair with bytes changed
    // at random and cut short: the whole data side of a refresh must still
    // only read what the blocks hold, and give every record a readable name.
    std::vector<Instance> instances;
    for (uint32_t i = 0; i < 30; ++i)
        instances.push_back({u"process" + std::u16string(1, char16_t(u'a' + i % 26)), i % 7 == 0 ? 0 : i, i, i * 1000});
    const std::vector<uint8_t> before = Block(instances, 0), now = Block(instances, 10000000);
    std::mt19937 random(11);
    const uint32_t displayTypes[] = {perf::DISPLAY_NATURAL, perf::DISPLAY_BYTES_PER_SEC, perf::DISPLAY_START_TIME_LONG,
                                     perf::DISPLAY_TOTAL_TIME, perf::DISPLAY_THREAD_STATE, 0x00000B00};
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> a = before, b = now;
        for (int k = 0; k < 1 + round % 8; ++k)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        a.resize(a.size() - random() % (round % 3 == 0 ? a.size() : 16));
        perf::selection.displayType = displayTypes[round % std::size(displayTypes)];
        RecordArray threads;
        Build(b, &a, round % 2 ? RATE : TAG);
        BuildRequest request{View(b), View(a), THREAD, 804, RATE, 1};
        BuildInstanceRecords(request, threads);
        for (uint32_t i = 0; i < records.count; ++i) {
            ASSERT_LT(wcslen(records[i].name), b.size());
            ASSERT_NE(nullptr, records[i].text.text);
            records[i].flags |= expanded;
        }

        ModelState s;
        s.processRecords = std::move(records);
        s.threadRecords = std::move(threads);
        s.showHierarchy = round % 2 == 0;
        s.showIdle = s.showTotal = true;
        OrderingInputs inputs{View(a), PROCESS, ID, 1410};
        BuildDisplayList(s, inputs);
        for (const InstanceRecord* row : s.displayList)
            ASSERT_LT(wcslen(row->name), LABEL_CHARS + b.size());
        records = std::move(s.processRecords);
    }
    perf::selection = perf::CounterSelection();
}
