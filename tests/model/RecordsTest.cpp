#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "perf/PerfTestSupport.h"
#include "resources/resource.h"
#include "support/WindowsBlock.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace model;

namespace {

constexpr uint32_t PROCESS = 230, THREAD = 232, ID = 784, TAG = 6, RATE = 142;

// An instance with a raw counter that tells the instances apart and a 100-ns timer.
struct Instance {
    std::u16string name;
    uint32_t id;
    uint64_t tag = 0, rate = 0;
};

// A Process object of the given instances and a Thread object with one thread
// of the first process, laid out as Windows lays them out: an object that was
// not asked for first, the Thread object before the Process object.
std::vector<uint8_t> Block(const std::vector<Instance>& instances, int64_t time100ns, bool terminated = true,
                           char16_t threadName = u'0')
{
    using testing_support::RawObject;
    RawObject processes{PROCESS, {{ID, perf::TYPE_RAWCOUNT, 4}, {TAG, perf::TYPE_LARGE_RAWCOUNT, 8},
                                  {RATE, perf::TYPE_100NSEC_TIMER, 8}}};
    for (const Instance& i : instances)
        processes.instances.push_back({i.name, {i.id, i.tag, i.rate}});
    RawObject threads{THREAD, {{ID, perf::TYPE_RAWCOUNT, 4}}, {{std::u16string(1, threadName), {99}, PROCESS, 0}}};
    RawObject processor{238, {{RATE, perf::TYPE_100NSEC_TIMER, 8}}, {}, true, {77}};
    return testing_support::WindowsBlock({0, 1, time100ns, {processor, threads, processes}, 0xCC, terminated});
}

perf::SnapshotView View(const std::vector<uint8_t>* bytes)
{
    return bytes ? perf::SnapshotView{bytes->data(), static_cast<uint32_t>(bytes->size())} : perf::SnapshotView();
}

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        perf::counterTable.processObjectIndex = PROCESS;
        perf::counterTable.threadObjectIndex = THREAD;
    }
    void TearDown() override
    {
        perf::counterTable = perf::CounterNameTable();
    }

    uint32_t Build(const std::vector<uint8_t>& now, const std::vector<uint8_t>* before, uint32_t counter = TAG,
                   uint32_t object = PROCESS, uint32_t displayType = perf::DISPLAY_NATURAL, uint32_t start = 0)
    {
        return BuildInstanceRecords({View(&now), View(before), object, ID, counter, 0, displayType, start}, records);
    }

    // Carried flags, value and text of every record.
    std::vector<std::wstring> State() const
    {
        std::vector<std::wstring> lines;
        core::WideString text;
        for (uint32_t i = 0; i < records.count; ++i) {
            ValueText(records, records[i], text);
            lines.push_back(std::wstring(records[i].name) + L" " +
                            std::to_wstring(records[i].flags & (selected | focused | expanded)) + L" " +
                            std::to_wstring(records[i].value) + L" " + text.Chars());
        }
        return lines;
    }

    RecordArray records;
};

} // namespace

TEST_F(RecordsTest, MissingCountersObjectsAndInstances)
{
    std::vector<uint8_t> now = Block({{u"Idle", 0, 5}, {u"editor.exe", 42, 7}}, 100);
    EXPECT_EQ(1u, Build(now, nullptr, TAG, THREAD));
    EXPECT_EQ((std::vector<std::wstring>{L"0 0 0.000000 N/A"}), State()) << "the thread object has no tag counter";
    EXPECT_EQ(uint32_t(isThread), records[0].flags);
    EXPECT_EQ(0u, Build(now, nullptr, TAG, 240));
    EXPECT_EQ(unsigned(IDS_STATUS_NO_PROCESS_OBJECT), records.status);
    EXPECT_EQ(0u, Build(now, nullptr, TAG, 238)) << "PERF_NO_INSTANCES";
    EXPECT_EQ(unsigned(IDS_STATUS_NO_PROCESS_LIST), records.status);
    EXPECT_EQ(0u, Build(Block({}, 0), nullptr));
    EXPECT_EQ(unsigned(IDS_STATUS_NO_PROCESS_LIST), records.status);
    EXPECT_EQ(1u, Build(now, nullptr, TAG, THREAD));
    EXPECT_EQ(0u, records.status);
}

TEST_F(RecordsTest, RebuildingFromTheSameSnapshotsKeepsTheMatchesAndTheFlagsByPosition)
{
    // Three processes, then one fewer: the records outnumber the instances.
    std::vector<uint8_t> before = Block({{u"a", 1, 10, 0}, {u"b", 2, 20, 0}, {u"c", 3, 30, 0}}, 0);
    std::vector<uint8_t> now = Block({{u"b", 2, 21, 5000000}, {u"c", 3, 31, 2500000}}, 10000000);
    Build(before, nullptr);
    records[2].flags |= expanded;
    Build(now, &before, RATE);
    records[0].flags |= selected;
    const std::vector<std::wstring> first{L"b 1 0.500000 50", L"c 4 0.250000 25"};
    ASSERT_EQ(first, State());

    // Another counter and back, or another format: the same values, no growth.
    Build(now, &before, TAG);
    EXPECT_EQ((std::vector<std::wstring>{L"b 1 21.000000 21", L"c 4 31.000000 31"}), State());
    Build(now, &before, RATE);
    EXPECT_EQ(first, State());
    EXPECT_EQ(0.25, records[1].previousValue);
    Build(now, &before, RATE, PROCESS, perf::DISPLAY_TOTAL_TIME);
    Build(now, &before, RATE);
    EXPECT_EQ(first, State());

    // After a failed query only the last good snapshot is left: no match.
    Build(now, nullptr, RATE);
    EXPECT_EQ((std::vector<std::wstring>{L"b 1 0.000000 ***", L"c 4 0.000000 ***"}), State());

    // Matched positions past the replaced records carry nothing, whatever
    // the array holds beyond them.
    Build(before, nullptr);
    for (uint32_t i = 0; i < 3; ++i)
        records[i].flags |= expanded;
    Build(Block({{u"z", 9}}, 0), nullptr);
    Build(now, &before);
    EXPECT_EQ((std::vector<std::wstring>{L"b 0 21.000000 21", L"c 0 31.000000 31"}), State());
}

TEST_F(RecordsTest, MatchesLikeAForwardWalkOnRandomLists)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<Instance> before, now;
        auto make = [&](std::vector<Instance>& list, uint64_t tagBase) {
            for (uint32_t i = 0, count = random() % 40; i < count; ++i) {
                uint32_t id = random() % 8 == 0 ? 0 : 1 + random() % 30;
                list.push_back({u"n" + std::u16string(1, char16_t(u'a' + random() % 4)), id, tagBase + i});
            }
        };
        make(before, 1000);
        make(now, 5000);

        // The rule written out: walk forward from after the last match, by
        // ID and name (by name alone for ID 0); the predecessor's value and
        // flags carry.
        std::vector<std::wstring> expected;
        uint32_t start = 0;
        for (const Instance& c : now) {
            uint32_t j = start;
            while (j < before.size() && !((c.id == 0 || before[j].id == c.id) && before[j].name == c.name))
                ++j;
            start = j < before.size() ? j + 1 : 0;
            bool found = j < before.size();
            expected.push_back(std::to_wstring(found ? 1000 + j : c.tag) + L" " +
                               std::to_wstring(found && j % 3 == 0 ? uint32_t(expanded) : 0));
        }

        std::vector<uint8_t> beforeBlock = Block(before, 0), nowBlock = Block(now, 10);
        records.Release();
        Build(beforeBlock, nullptr);
        for (uint32_t i = 0; i < records.count; i += 3)
            records[i].flags |= expanded;
        Build(nowBlock, &beforeBlock);
        std::vector<std::wstring> carried;
        for (uint32_t i = 0; i < records.count; ++i)
            carried.push_back(std::to_wstring(uint64_t(records[i].previousValue)) + L" " +
                              std::to_wstring(records[i].flags & expanded));
        ASSERT_EQ(expected, carried) << "round " << round;
    }
}

// IDs are reused and clocks are set: a rate is computed only against the same
// instance (same ID, name and creation time, here in the tag) over time that
// moved forward; otherwise the row is new. A thread is known by its ID: its
// name is only its position.
TEST_F(RecordsTest, ARateComparesTheSameInstanceOverTimeThatMovedForward)
{
    constexpr int64_t SECOND = 10000000, HOUR = 3600 * SECOND;
    const struct { const char* what; Instance before, now; int64_t elapsed; const wchar_t* text; } cases[] = {
        {"the same process", {u"app", 6000, 100, 5000000}, {u"app", 6000, 100, 10000000}, SECOND, L"50"},
        {"an ID taken over", {u"notepad", 6000, 100, 900000000}, {u"calc", 6000, 200, 1000000}, SECOND, L"***"},
        {"the same name, created again", {u"app", 6000, 100, 1000000}, {u"app", 6000, 200, 900000000}, SECOND, L"***"},
        {"a count that went down", {u"app", 6000, 100, 900000000}, {u"app", 6000, 100, 1000000}, SECOND, L"***"},
        {"the clock set back an hour", {u"System", 4, 1, 1000000}, {u"System", 4, 1, 1100000}, -HOUR, L"***"},
    };
    for (bool terminated : {true, false}) {
        for (const auto& c : cases) {
            std::vector<uint8_t> before = Block({{u"Idle", 0, 0, 10}, c.before}, HOUR, terminated);
            std::vector<uint8_t> now = Block({{u"Idle", 0, 0, 20}, c.now}, HOUR + c.elapsed, terminated, u'5');
            records.Release(); // the blocks of the last case may have had these very addresses
            ASSERT_EQ(2u, Build(now, &before, RATE, PROCESS, perf::DISPLAY_NATURAL, TAG)) << c.what;
            core::WideString text;
            ValueText(records, records[1], text);
            EXPECT_EQ(c.text, std::wstring(text.Chars())) << c.what;
            RecordArray threads;
            BuildInstanceRecords({View(&now), View(&before), THREAD, ID, ID, 1, perf::TYPE_RAWCOUNT, TAG}, threads);
            EXPECT_EQ(0u, threads[0].matchedPosition) << c.what;
        }
    }
}

// Real-looking snapshots with bytes changed at random and cut short: the data
// side of a refresh reads only what the blocks hold, and names every record.
TEST_F(RecordsTest, OddSnapshotsNeverLeadOutsideTheirBytes)
{
    std::vector<Instance> instances;
    for (uint32_t i = 0; i < 30; ++i)
        instances.push_back({u"process" + std::u16string(1, char16_t(u'a' + i % 26)), i % 7 == 0 ? 0 : i, i, i * 1000});
    const std::vector<uint8_t> before = Block(instances, 0), now = Block(instances, 10000000);
    std::mt19937 random(11);
    const uint32_t displayTypes[] = {perf::DISPLAY_NATURAL, perf::DISPLAY_BYTES_PER_SEC, perf::DISPLAY_START_TIME_LONG,
                                     perf::DISPLAY_TOTAL_TIME, perf::DISPLAY_THREAD_STATE, 0x00000B00};
    ModelState s;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> a = before, b = now;
        for (int k = 0; k < 1 + round % 8; ++k)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        a.resize(a.size() - random() % (round % 3 == 0 ? a.size() : 16));
        uint32_t type = displayTypes[round % std::size(displayTypes)];
        for (int build = 0; build < 1 + round % 2; ++build) { // every other round rebuilds from the same pair
            BuildInstanceRecords({View(&b), View(&a), PROCESS, ID, round % 4 < 2 ? RATE : TAG, 0, type},
                                 s.processRecords);
            BuildInstanceRecords({View(&b), View(&a), THREAD, ID, RATE, 1, type}, s.threadRecords);
        }
        for (uint32_t i = 0; i < s.processRecords.count; ++i) {
            ASSERT_LT(wcslen(s.processRecords[i].name), b.size());
            core::WideString text;
            ValueText(s.processRecords, s.processRecords[i], text);
            ASSERT_NE(nullptr, text.text);
            s.processRecords[i].flags |= expanded;
        }
        bool all = round % 2 == 0;
        BuildDisplayList(s, {View(&a), PROCESS, ID, 1410, {all, all, all}});
        for (const InstanceRecord* row : s.displayList)
            ASSERT_LT(wcslen(row->name), LABEL_CHARS + b.size());
    }
}

using RecordsAndSnapshots = testing_support::ReplayFixture;

// The query that refills the buffer of the snapshot the records were built
// from (once it is the previous one), or the release of the machine's data,
// takes the records, rows and placeholders first.
TEST_F(RecordsAndSnapshots, GoWithTheSnapshotBufferTheyPointInto)
{
    replay.Serve(Block({{u"a", 1}, {u"b", 2}}, 0));
    auto refresh = [](bool rebuild) {
        perf::TakeSnapshot(nullptr);
        perf::SnapshotView current = perf::perfData.currentSnapshot.View();
        perf::SnapshotView previous = perf::perfData.previousSnapshot.View();
        if (!rebuild)
            return;
        BuildInstanceRecords({current, previous, PROCESS, ID, TAG, 0}, modelState.processRecords);
        BuildInstanceRecords({current, previous, THREAD, ID, TAG, 1}, modelState.threadRecords);
        modelState.processRecords[1].creatorId = 99; // a vanished creator: a placeholder
        BuildDisplayList({false, false, true});
        ASSERT_EQ(3u, modelState.displayCount());
        ASSERT_EQ(1u, modelState.placeholderCount);
    };
    refresh(true);
    refresh(false);
    EXPECT_EQ(2u, modelState.processRecords.count) << "their snapshot is the previous one";
    EXPECT_EQ(3u, modelState.displayCount());
    refresh(false);
    EXPECT_EQ(0u, modelState.processRecords.count + modelState.threadRecords.count + modelState.displayCount());
    refresh(true);
    perf::ReleaseSampleData();
    EXPECT_EQ(0u, modelState.processRecords.count + modelState.threadRecords.count + modelState.placeholderCount);
    EXPECT_EQ(0u, modelState.displayCount());
    EXPECT_EQ(nullptr, modelState.selectedRecord);
}
