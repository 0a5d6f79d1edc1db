#include "model/ReferenceOrdering.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace testing_support {

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

} // namespace

void ReferenceBuildDisplayList(ModelState& s, const OrderingInputs& inputs)
{
    Pass{s, inputs, 0, nullptr, 0}.Run();
}

} // namespace testing_support
