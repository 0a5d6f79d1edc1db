// The ordering of the rows against its rules written out literally, as nested
// scans over the record arrays (the reference below), on random machines.
#include "model/DisplayList.h"
#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace model;

namespace {

struct Pass {
    ModelState& s;
    const OrderingInputs& inputs;
    size_t room = 0;
    std::unique_ptr<InstanceRecord[]> old;
    uint32_t oldCount = 0;

    static InstanceRecord* FindById(uint32_t id, InstanceRecord* records, uint32_t count)
    {
        InstanceRecord* r = std::find_if(records, records + count, [&](const InstanceRecord& r) { return r.id == id; });
        return r != records + count ? r : nullptr;
    }

    // The position of a process record, or -1 for a placeholder.
    int64_t PositionOf(const InstanceRecord& r) const
    {
        const InstanceRecord* first = s.processRecords.records.get();
        return s.processRecords.count && &r >= first && &r < first + s.processRecords.count ? &r - first : -1;
    }

    void ListRecord(InstanceRecord& r, uint32_t depth)
    {
        r.depth = depth;
        if (s.displayList.size() >= room)
            return;
        r.flags |= listed;
        if (r.Has(focused))
            s.focusRow = static_cast<int32_t>(s.displayList.size());
        if (r.Has(selected))
            s.selectedRecord = &r;
        s.displayList.push_back(&r);
    }

    // Placeholders have no threads.
    void ListThreadsOf(InstanceRecord& p)
    {
        if (p.threadCount == 0 || !p.Has(expanded))
            return;
        for (uint32_t t = 0; t < s.threadRecords.count; ++t) {
            InstanceRecord& thread = s.threadRecords[t];
            if (thread.parentInstance != PositionOf(p))
                continue;
            if (!thread.NameIsLabel()) {
                wchar_t joined[512];
                swprintf(joined, 512, L"%ls->%ls", p.name, thread.name);
                CopyLabel(thread.label, joined);
                thread.name = thread.label;
            }
            ListRecord(thread, p.depth + 1);
        }
    }

    // A process's children are the processes after it, a placeholder's any
    // process; then the placeholders. A record already listed is passed over.
    void ListChildrenOf(InstanceRecord& r)
    {
        auto list = [&](InstanceRecord* records, uint32_t from, uint32_t count) {
            for (uint32_t j = from; j < count && r.childCount != 0; ++j) {
                if (records[j].creatorId == r.id && !records[j].Has(listed)) {
                    ListRecord(records[j], r.depth + 1);
                    ListThreadsOf(records[j]);
                    ListChildrenOf(records[j]);
                }
            }
        };
        list(s.processRecords.records.get(), uint32_t(PositionOf(r) + 1), s.processRecords.count);
        list(s.placeholderRecords.get(), 0, s.placeholderCount);
    }

    void ListAtTop(InstanceRecord& r)
    {
        ListRecord(r, 0);
        ListThreadsOf(r);
        if (inputs.options.showHierarchy)
            ListChildrenOf(r);
    }

    // The record that lists `r` as a child: for a process, the first process
    // with its creator's ID if that comes before it; for either, the
    // placeholder with that ID when no process has it.
    InstanceRecord* CreatorOf(InstanceRecord& r)
    {
        if (r.creatorId == 0)
            return nullptr;
        if (InstanceRecord* c = FindById(r.creatorId, s.processRecords.records.get(), s.processRecords.count))
            return PositionOf(r) < 0 || PositionOf(*c) < PositionOf(r) ? c : nullptr;
        return FindById(r.creatorId, s.placeholderRecords.get(), s.placeholderCount);
    }

    // The last record reached going from creator to creator before the chain
    // ends or comes back on itself.
    InstanceRecord& TopOfCreators(InstanceRecord& start)
    {
        std::vector<InstanceRecord*> chain{&start};
        for (InstanceRecord* c = CreatorOf(start); c && std::find(chain.begin(), chain.end(), c) == chain.end();
             c = CreatorOf(*c))
            chain.push_back(c);
        return *chain.back();
    }

    void NameFromPreviousSnapshot(InstanceRecord& ph)
    {
        using namespace perf;
        SnapshotView previous = inputs.previous;
        const PerfObjectType* processes = FindObject(previous, inputs.processObjectIndex);
        const PerfCounterDefinition* idCounter = FindCounter(previous, processes, inputs.idProcessIndex);
        const PerfCounterDefinition* creator = FindCounter(previous, processes, inputs.creatingProcessIdIndex);
        const PerfInstanceDefinition* p = FirstInstance(previous, processes);
        for (uint32_t i = 0; i < InstanceCount(processes) && p; ++i, p = NextInstance(previous, p)) {
            if (ReadU32(previous, CounterData(previous, p, idCounter)) == ph.id) {
                CopyLabel(ph.label, reinterpret_cast<const wchar_t*>(InstanceName(previous, p)));
                if (creator)
                    ph.creatorId = ReadU32(previous, CounterData(previous, p, creator));
                return;
            }
        }
    }

    // Named and carried from the last pass's placeholder of that ID, or else
    // from the previous snapshot.
    void AddPlaceholder(uint32_t id)
    {
        if (!s.placeholderRecords || s.placeholderCount >= s.processRecords.count)
            return;
        InstanceRecord& ph = s.placeholderRecords[s.placeholderCount++];
        ph.id = id;
        ph.childCount = 1;
        ph.name = ph.label;
        if (InstanceRecord* before = FindById(id, old.get(), oldCount)) {
            std::copy(std::begin(before->label), std::end(before->label), ph.label);
            ph.creatorId = before->creatorId;
            ph.flags = before->flags & ~uint32_t(listed);
        } else {
            NameFromPreviousSnapshot(ph);
        }
        if (ph.creatorId != 0)
            CountChild(ph.creatorId);
    }

    // Every process with the creator's ID counts the child; failing those, its placeholder.
    void CountChild(uint32_t c)
    {
        bool found = false;
        for (uint32_t i = 0; i < s.processRecords.count; ++i) {
            if (s.processRecords[i].id == c) {
                ++s.processRecords[i].childCount;
                found = true;
            }
        }
        if (found)
            return;
        if (InstanceRecord* ph = FindById(c, s.placeholderRecords.get(), s.placeholderCount))
            ++ph->childCount;
        else
            AddPlaceholder(c);
    }

    bool Skipped(const InstanceRecord& r) const
    {
        return r.id == 0 && ((!inputs.options.showTotal && wcscmp(r.name, L"_Total") == 0) ||
                             (!inputs.options.showIdle && wcscmp(r.name, L"Idle") == 0));
    }

    void Run()
    {
        uint32_t n = s.processRecords.count;
        room = size_t(s.threadRecords.count) + 2 * size_t(n) + s.placeholderCount;
        s.displayList.clear();
        old = std::move(s.placeholderRecords);
        oldCount = std::exchange(s.placeholderCount, 0);
        for (RecordArray* records : {&s.processRecords, &s.threadRecords}) {
            for (uint32_t i = 0; i < records->count; ++i)
                (*records)[i].flags &= ~uint32_t(listed | visiting);
        }
        if (inputs.options.showHierarchy) {
            s.placeholderRecords.reset(n ? new InstanceRecord[n] : nullptr);
            for (uint32_t i = 0; i < n; ++i)
                s.processRecords[i].childCount = 0;
            for (uint32_t i = 0; i < n; ++i) {
                if (s.processRecords[i].creatorId != 0)
                    CountChild(s.processRecords[i].creatorId);
            }
        }
        old.reset();
        s.focusRow = -1;
        s.selectedRecord = nullptr;
        // Top-level processes, then what hangs from each placeholder's top
        // creator, then whatever a loop of creators kept from being listed.
        for (uint32_t i = 0; i < n; ++i) {
            if (!Skipped(s.processRecords[i]) && !(inputs.options.showHierarchy && s.processRecords[i].creatorId != 0))
                ListAtTop(s.processRecords[i]);
        }
        for (uint32_t p = 0; inputs.options.showHierarchy && p < s.placeholderCount; ++p) {
            if (!s.placeholderRecords[p].Has(listed))
                ListAtTop(TopOfCreators(s.placeholderRecords[p]));
        }
        for (uint32_t i = 0; inputs.options.showHierarchy && i < n; ++i) {
            if (!s.processRecords[i].Has(listed) && !Skipped(s.processRecords[i]))
                ListAtTop(s.processRecords[i]);
        }
    }
};

void ReferenceBuildDisplayList(ModelState& s, const OrderingInputs& inputs)
{
    Pass{s, inputs, 0, nullptr, 0}.Run();
}

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

} // namespace

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
            ReferenceBuildDisplayList(literal, inputs);
            ASSERT_EQ(Describe(literal), Describe(fast)) << "round " << round << " pass " << pass;
            std::vector<const InstanceRecord*> rows(fast.displayList.begin(), fast.displayList.end());
            std::sort(rows.begin(), rows.end());
            ASSERT_EQ(rows.end(), std::adjacent_find(rows.begin(), rows.end())) << "a record listed twice";
        }
    }
}
