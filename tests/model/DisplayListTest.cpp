#include "model/DisplayList.h"
#include "model/ReferenceOrdering.h"
#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>

using namespace model;

namespace {

struct ProcessSpec {
    uint32_t id, creatorId;
    std::wstring name;
    uint32_t threadCount = 0, flags = 0;
};

// A machine's records as the model holds them, with names that live outside
// the records as snapshot names do, and a previous snapshot's Process object
// that names vanished creators.
struct Machine {
    std::vector<ProcessSpec> processes;
    std::vector<std::pair<uint32_t, std::wstring>> threads; // parent position, name
    std::vector<uint8_t> previous;

    void Load(ModelState& s) const
    {
        s.processRecords.records.reset(new InstanceRecord[processes.size()]);
        s.processRecords.count = static_cast<uint32_t>(processes.size());
        for (uint32_t i = 0; i < s.processRecords.count; ++i) {
            const ProcessSpec& p = processes[i];
            InstanceRecord& r = s.processRecords[i];
            std::tie(r.id, r.creatorId, r.name, r.threadCount, r.flags) =
                std::tuple(p.id, p.creatorId, p.name.c_str(), p.threadCount, p.flags | isProcess);
        }
        s.threadRecords.records.reset(new InstanceRecord[threads.size()]);
        s.threadRecords.count = static_cast<uint32_t>(threads.size());
        for (uint32_t t = 0; t < s.threadRecords.count; ++t) {
            std::tie(s.threadRecords[t].parentInstance, s.threadRecords[t].name) =
                std::tuple(threads[t].first, threads[t].second.c_str());
            s.threadRecords[t].flags = isThread;
        }
    }

    OrderingInputs Inputs() const
    {
        return {{previous.data(), static_cast<uint32_t>(previous.size())}, 230, 784, 1410, {}};
    }
};

std::vector<uint8_t> PreviousProcesses(const std::vector<ProcessSpec>& known)
{
    perf::SnapshotWriter writer;
    writer.BeginBlock({}, u"TEST");
    writer.BeginObject({230, 231});
    writer.AddCounter({784, 785, perf::TYPE_RAWCOUNT, 4});
    writer.AddCounter({1410, 1411, perf::TYPE_RAWCOUNT, 4});
    for (const ProcessSpec& p : known)
        writer.AddInstance(std::u16string(p.name.begin(), p.name.end()), {}, {p.id, p.creatorId});
    writer.EndObject();
    return writer.Finish();
}

// What a pass produced, in terms that do not depend on where records live.
std::vector<std::wstring> Describe(const ModelState& s)
{
    auto where = [&](const InstanceRecord* r) -> std::wstring {
        for (auto [letter, first, count] : {std::tuple{L'P', s.processRecords.records.get(), s.processRecords.count},
                                            std::tuple{L'T', s.threadRecords.records.get(), s.threadRecords.count},
                                            std::tuple{L'H', s.placeholderRecords.get(), s.placeholderCount}}) {
            if (count && r >= first && r < first + count)
                return letter + std::to_wstring(r - first);
        }
        return L"?";
    };
    auto line = [](const InstanceRecord& r) {
        return std::wstring(r.name) + L" id " + std::to_wstring(r.id) + L" creator " + std::to_wstring(r.creatorId) +
               L" depth " + std::to_wstring(r.depth) + L" children " + std::to_wstring(r.childCount) + L" flags " +
               std::to_wstring(r.flags);
    };
    std::vector<std::wstring> lines;
    for (const InstanceRecord* r : s.displayList)
        lines.push_back(where(r) + L" " + line(*r));
    lines.push_back(L"focus " + std::to_wstring(s.focusRow) + L" selected " +
                    (s.selectedRecord ? where(s.selectedRecord) : L"none"));
    for (uint32_t p = 0; p < s.placeholderCount; ++p)
        lines.push_back(L"H" + std::to_wstring(p) + L" " + line(s.placeholderRecords[p]));
    for (uint32_t i = 0; i < s.processRecords.count; ++i)
        lines.push_back(L"P" + std::to_wstring(i) + L" " + line(s.processRecords[i]));
    return lines;
}

using Rows = std::vector<std::wstring>;

// The rows of a tree pass, indented by depth.
Rows TreeRows(const Machine& m, ModelState& s)
{
    OrderingInputs tree = m.Inputs();
    tree.options.showHierarchy = true;
    BuildDisplayList(s, tree);
    Rows rows;
    for (const InstanceRecord* r : s.displayList)
        rows.push_back(std::wstring(r->depth * 2, L' ') + r->name);
    return rows;
}

} // namespace

TEST(DisplayList, ChainsOfVanishedCreatorsListEveryRecordOnceUnderItsCreator)
{
    Machine m{{{10, 99, L"X"}, {12, 0, L"Z"}}, {}, PreviousProcesses({{99, 98, L"gone.exe"}})};
    ModelState s;
    m.Load(s);
    EXPECT_EQ((Rows{L"Z", L"", L"  gone.exe", L"    X"}), TreeRows(m, s));
    EXPECT_EQ((Rows{L"Z", L"", L"  gone.exe", L"    X"}), TreeRows(m, s)) << "carried placeholders";

    // IDs reused: each vanished creator was created by the other.
    ModelState loop;
    m.previous = PreviousProcesses({{99, 98, L"gone.exe"}, {98, 99, L"older.exe"}});
    m.Load(loop);
    EXPECT_EQ((Rows{L"Z", L"older.exe", L"  gone.exe", L"    X"}), TreeRows(m, loop));

    // A process and a vanished one that created each other, and two processes with one ID.
    m.processes = {{10, 99, L"X"}, {7, 10, L"Y"}, {7, 0, L"Y2"}, {8, 7, L"W"}};
    m.previous = PreviousProcesses({{99, 10, L"gone.exe"}});
    ModelState mutual;
    m.Load(mutual);
    EXPECT_EQ((Rows{L"Y2", L"  W", L"X", L"  Y", L"  gone.exe"}), TreeRows(m, mutual));
}

TEST(DisplayList, MatchesTheLiteralRulesOnRandomMachines)
{
    std::mt19937 random(20261206);
    auto chance = [&](int percent) { return int(random() % 100) < percent; };
    const wchar_t* hidden[] = {L"Idle", L"_Total", L"_total"};
    for (int round = 0; round < 300; ++round) {
        Machine m;
        uint32_t processCount = random() % 60;
        uint32_t idRange = 1 + processCount + random() % 20;
        // Vanished processes take IDs above the range; their creators are
        // processes, other vanished ones (chains and loops), or none.
        std::vector<ProcessSpec> vanished;
        auto anyId = [&] { return 1 + random() % (idRange + 10); };
        for (uint32_t i = 0; i < processCount; ++i) {
            // Some names are longer than a label holds.
            ProcessSpec p{1 + random() % idRange, chance(60) ? anyId() : 0,
                          std::wstring(chance(10) ? 40 : 0, L'x') + L"p" + std::to_wstring(i), random() % 4};
            if (chance(10)) {
                p.id = chance(80) ? 0 : p.id;
                p.name = hidden[random() % 3];
            }
            if (chance(60))
                p.flags |= expanded;
            m.processes.push_back(p);
            if (chance(40))
                vanished.push_back({idRange + random() % 10, chance(70) ? anyId() : 0, L"gone" + std::to_wstring(i)});
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
            OrderingInputs inputs = m.Inputs();
            inputs.options = {total, idle, hierarchy};
            uint32_t pick = processCount ? random() % processCount : 0;
            uint32_t focus = threadCount ? random() % threadCount : 0;
            for (ModelState* s : {&fast, &literal}) {
                if (processCount)
                    s->processRecords[pick].flags ^= expanded | selected;
                if (threadCount)
                    s->threadRecords[focus].flags ^= focused;
                // Carried placeholder state: expand and select what the last pass made.
                for (uint32_t p = 0; p < s->placeholderCount; ++p)
                    s->placeholderRecords[p].flags |= (p % 2 ? expanded : selected);
            }
            BuildDisplayList(fast, inputs);
            testing_support::ReferenceBuildDisplayList(literal, inputs);
            ASSERT_EQ(Describe(literal), Describe(fast)) << "round " << round << " pass " << pass;
            std::vector<const InstanceRecord*> rows(fast.displayList.begin(), fast.displayList.end());
            std::sort(rows.begin(), rows.end());
            ASSERT_EQ(rows.end(), std::adjacent_find(rows.begin(), rows.end())) << "a record listed twice";
        }
    }
}
