#include "model/DisplayList.h"
#include "model/ReferenceOrdering.h"
#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace model;

namespace {

struct ProcessSpec {
    uint32_t id;
    uint32_t creatorId;
    std::wstring name;
    uint32_t threadCount = 0;
    uint32_t flags = 0;
};

struct ThreadSpec {
    uint32_t parent;
    std::wstring name;
    uint32_t flags = 0;
};

// A machine's records as the model holds them, with names that live outside
// the records as snapshot names do.
struct Machine {
    std::vector<ProcessSpec> processes;
    std::vector<ThreadSpec> threads;
    std::vector<uint8_t> previous; // Process object naming vanished creators

    void Load(ModelState& s) const
    {
        s.processRecords.records.reset(new InstanceRecord[processes.size()]);
        s.processRecords.count = static_cast<uint32_t>(processes.size());
        for (size_t i = 0; i < processes.size(); ++i) {
            InstanceRecord& r = s.processRecords[static_cast<uint32_t>(i)];
            r.id = processes[i].id;
            r.creatorId = processes[i].creatorId;
            r.name = processes[i].name.c_str();
            CopyLabel(r.label, r.name);
            r.threadCount = processes[i].threadCount;
            r.flags = processes[i].flags | isProcess;
        }
        s.threadRecords.records.reset(new InstanceRecord[threads.size()]);
        s.threadRecords.count = static_cast<uint32_t>(threads.size());
        for (size_t t = 0; t < threads.size(); ++t) {
            InstanceRecord& r = s.threadRecords[static_cast<uint32_t>(t)];
            r.parentInstance = threads[t].parent;
            r.name = threads[t].name.c_str();
            CopyLabel(r.label, r.name);
            r.flags = threads[t].flags | isThread;
            r.depth = 1;
        }
    }

    OrderingInputs Inputs() const
    {
        OrderingInputs inputs;
        inputs.previous = {previous.data(), static_cast<uint32_t>(previous.size())};
        inputs.processObjectIndex = 230;
        inputs.idProcessIndex = 784;
        inputs.creatingProcessIdIndex = 1410;
        return inputs;
    }
};

// A previous snapshot that knew some processes that have since exited.
std::vector<uint8_t> PreviousProcesses(const std::vector<ProcessSpec>& known)
{
    perf::SnapshotWriter writer;
    writer.BeginBlock({}, u"TEST");
    writer.BeginObject({230, 231});
    writer.AddCounter({784, 785, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({1410, 1411, perf::TYPE_RAWCOUNT, 4});
    for (const ProcessSpec& p : known) {
        std::u16string name(p.name.begin(), p.name.end());
        writer.AddInstance(name, {}, {p.id, p.creatorId});
    }
    writer.EndObject();
    return writer.Finish();
}

// What a pass produced, in terms that do not depend on where records live.
std::vector<std::wstring> Describe(const ModelState& s)
{
    std::vector<std::wstring> lines;
    auto where = [&](const InstanceRecord* r) -> std::wstring {
        if (s.processRecords.count && r >= &s.processRecords[0] && r < &s.processRecords[0] + s.processRecords.count)
            return L"P" + std::to_wstring(r - &s.processRecords[0]);
        if (s.threadRecords.count && r >= &s.threadRecords[0] && r < &s.threadRecords[0] + s.threadRecords.count)
            return L"T" + std::to_wstring(r - &s.threadRecords[0]);
        if (s.placeholderRecords && r >= &s.placeholderRecords[0] && r < &s.placeholderRecords[0] + s.placeholderCount)
            return L"H" + std::to_wstring(r - &s.placeholderRecords[0]);
        return L"?";
    };
    for (const InstanceRecord* r : s.displayList)
        lines.push_back(where(r) + L" depth " + std::to_wstring(r->depth) + L" " + r->name);
    lines.push_back(L"focus " + std::to_wstring(s.focusRow) + L" selected " +
                    (s.selectedRecord ? where(s.selectedRecord) : L"none"));
    for (uint32_t p = 0; p < s.placeholderCount; ++p) {
        const InstanceRecord& h = s.placeholderRecords[p];
        lines.push_back(L"placeholder " + std::to_wstring(h.id) + L" '" + h.label + L"' creator " +
                        std::to_wstring(h.creatorId) + L" children " + std::to_wstring(h.childCount) + L" flags " +
                        std::to_wstring(h.flags));
    }
    for (uint32_t i = 0; i < s.processRecords.count; ++i) {
        const InstanceRecord& r = s.processRecords[i];
        lines.push_back(L"P" + std::to_wstring(i) + L" children " + std::to_wstring(r.childCount) + L" flags " +
                        std::to_wstring(r.flags));
    }
    return lines;
}

std::vector<std::wstring> Names(const ModelState& s)
{
    std::vector<std::wstring> names;
    for (const InstanceRecord* r : s.displayList)
        names.push_back(std::wstring(r->depth * 2, L' ') + r->name);
    return names;
}

class DisplayListTest : public ::testing::Test {
protected:
    ModelState s;

    void Build(const Machine& m) { BuildDisplayList(s, m.Inputs()); }
};

} // namespace

TEST_F(DisplayListTest, FlatListHidesIdleAndTotalUnlessAsked)
{
    Machine m;
    m.processes = {{0, 0, L"Idle"}, {8, 0, L"Idle"}, {4, 0, L"System"}, {0, 0, L"_Total"}, {0, 0, L"_total"}};
    m.Load(s);
    Build(m);
    EXPECT_EQ((std::vector<std::wstring>{L"Idle", L"System", L"_total"}), Names(s))
        << "only ID 0 with the exact names is hidden";
    s.showIdle = s.showTotal = true;
    Build(m);
    EXPECT_EQ(5u, s.displayCount());
}

TEST_F(DisplayListTest, ExpandedProcessesListTheirThreadsLabelled)
{
    Machine m;
    m.processes = {{10, 0, L"alpha", 2, expanded}, {20, 0, L"beta", 0, expanded}, {30, 0, L"gamma", 1, 0},
                   {40, 0, L"a-very-long-process-name-indeed", 1, expanded}};
    m.threads = {{0, L"0"}, {2, L"0"}, {0, L"1"}, {1, L"0"}, {3, L"12"}, {9, L"orphan"}};
    m.Load(s);
    Build(m);
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"  alpha->0", L"  alpha->1", L"beta", L"gamma",
                                         L"a-very-long-process-name-indeed", L"  a-very-long-process-name-indeed"}),
              Names(s))
        << "threads in Thread-object order, one level deeper; a process with no thread count lists none";
}

TEST_F(DisplayListTest, HierarchyNestsChildrenAfterTheirCreatorsThreads)
{
    Machine m;
    m.processes = {{1, 0, L"init", 1, expanded}, {2, 1, L"shell"}, {3, 2, L"editor"}, {4, 1, L"daemon"},
                   {5, 0, L"other"}};
    m.threads = {{0, L"0"}};
    m.Load(s);
    s.showHierarchy = true;
    Build(m);
    EXPECT_EQ((std::vector<std::wstring>{L"init", L"  init->0", L"  shell", L"    editor", L"  daemon", L"other"}),
              Names(s));
    EXPECT_EQ(2u, s.processRecords[0].childCount);
}

TEST_F(DisplayListTest, VanishedCreatorsShareAPlaceholderNamedFromThePreviousSnapshot)
{
    Machine m;
    m.processes = {{10, 77, L"orphan-a"}, {11, 0, L"root"}, {12, 77, L"orphan-b"}, {13, 88, L"stray"}};
    m.previous = PreviousProcesses({{77, 0, L"launcher"}});
    m.Load(s);
    s.showHierarchy = true;
    Build(m);
    EXPECT_EQ((std::vector<std::wstring>{L"root", L"launcher", L"  orphan-a", L"  orphan-b", L"", L"  stray"}),
              Names(s))
        << "placeholders after the top-level processes; one unknown to the previous snapshot has no name";
    ASSERT_EQ(2u, s.placeholderCount);
    EXPECT_EQ(2u, s.placeholderRecords[0].childCount);

    // Switching the hierarchy off and on again makes the placeholders afresh,
    // named only where the previous snapshot still knows the process.
    s.showHierarchy = false;
    Build(m);
    EXPECT_EQ(0u, s.placeholderCount);
    m.previous = PreviousProcesses({});
    s.showHierarchy = true;
    Build(m);
    EXPECT_EQ(L"", std::wstring(s.placeholderRecords[0].label));
}

TEST_F(DisplayListTest, LoopsAndLateCreatorsStillListEveryProcess)
{
    Machine m;
    m.processes = {{1, 2, L"ping"}, {2, 1, L"pong"}, {3, 4, L"early"}, {4, 0, L"late"}, {5, 5, L"self"}};
    m.Load(s);
    s.showHierarchy = true;
    Build(m);
    EXPECT_EQ((std::vector<std::wstring>{L"late", L"ping", L"  pong", L"early", L"self"}), Names(s))
        << "each process once, the ones no creator lists at the top level";
}

TEST_F(DisplayListTest, SelectionAndFocusArePublishedOnlyForListedRows)
{
    Machine m;
    m.processes = {{1, 0, L"a", 1, 0}, {2, 0, L"b", 0, focused}};
    m.threads = {{0, L"0", selected}};
    m.Load(s);
    Build(m);
    EXPECT_EQ(nullptr, s.selectedRecord) << "the selected thread's process is collapsed";
    EXPECT_EQ(1, s.focusRow);
    s.processRecords[0].flags |= expanded;
    Build(m);
    EXPECT_EQ(&s.threadRecords[0], s.selectedRecord);
    EXPECT_EQ(2, s.focusRow);
}

TEST(DisplayListDifferential, MatchesTheLiteralRulesOnRandomMachines)
{
    std::mt19937 random(20261206);
    auto chance = [&](int percent) { return int(random() % 100) < percent; };
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        Machine m;
        uint32_t processCount = random() % 60;
        uint32_t idRange = 1 + processCount + random() % 20;
        std::vector<ProcessSpec> vanished;
        for (uint32_t i = 0; i < processCount; ++i) {
            ProcessSpec p{1 + random() % idRange, 0, L"p" + std::to_wstring(i), random() % 4};
            if (chance(8)) {
                p.id = 0;
                p.name = chance(50) ? L"Idle" : L"_Total";
            }
            if (chance(60))
                p.creatorId = 1 + random() % (idRange + 10); // existing, or gone
            if (chance(60))
                p.flags |= expanded;
            m.processes.push_back(p);
            if (chance(30))
                vanished.push_back({idRange + random() % 10, chance(50) ? 1 + random() % idRange : 0,
                                    L"gone" + std::to_wstring(i)});
        }
        m.previous = PreviousProcesses(vanished);
        uint32_t threadCount = random() % 150;
        for (uint32_t t = 0; t < threadCount; ++t)
            m.threads.push_back({static_cast<uint32_t>(random() % (processCount + 1)), std::to_wstring(t % 7)});

        ModelState fast, literal;
        m.Load(fast);
        m.Load(literal);
        for (int pass = 0; pass < 4; ++pass) {
            bool hierarchy = chance(70), total = chance(50), idle = chance(50);
            uint32_t pick = processCount ? random() % processCount : 0;
            uint32_t focus = threadCount ? random() % threadCount : 0;
            for (ModelState* s : {&fast, &literal}) {
                s->showHierarchy = hierarchy;
                s->showTotal = total;
                s->showIdle = idle;
                if (processCount)
                    s->processRecords[pick].flags ^= expanded | selected;
                if (threadCount)
                    s->threadRecords[focus].flags ^= focused;
                // Carried placeholder state: expand and select what the last pass made.
                for (uint32_t p = 0; p < s->placeholderCount; ++p)
                    s->placeholderRecords[p].flags |= (p % 2 ? expanded : selected);
            }
            BuildDisplayList(fast, m.Inputs());
            testing_support::ReferenceBuildDisplayList(literal, m.Inputs());
            ASSERT_EQ(Describe(literal), Describe(fast)) << "round " << round << " pass " << pass;
            ++compared;
        }
    }
    EXPECT_EQ(1200, compared);
}
