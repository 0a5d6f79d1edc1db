#include "model/ReferenceOrdering.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

namespace testing_support {

using model::InstanceRecord;
using model::ModelState;

namespace {

struct Pass {
    ModelState& s;
    const model::OrderingInputs& inputs;
    size_t room = 0;
    std::unique_ptr<InstanceRecord[]> old;
    uint32_t oldCount = 0;

    InstanceRecord* FindRecordById(uint32_t id, const wchar_t* name, InstanceRecord* records, uint32_t count)
    {
        if (count == 0 || (id == 0 && !name))
            return nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            if (records[i].id == id && (!name || wcscmp(records[i].name, name) == 0))
                return &records[i];
        }
        return nullptr;
    }

    void ListRecord(InstanceRecord& r)
    {
        if (s.displayList.size() >= room)
            return;
        r.flags |= model::listed;
        if (r.Has(model::focused))
            s.focusRow = static_cast<int32_t>(s.displayList.size());
        if (r.Has(model::selected))
            s.selectedRecord = &r;
        s.displayList.push_back(&r);
    }

    void ListThreadsOf(uint32_t i)
    {
        InstanceRecord& p = s.processRecords[i];
        if (p.threadCount == 0 || !p.Has(model::expanded))
            return;
        for (uint32_t t = 0; t < s.threadRecords.count; ++t) {
            InstanceRecord& thread = s.threadRecords[t];
            if (thread.parentInstance != i)
                continue;
            if (!thread.NameIsLabel()) {
                wchar_t joined[512];
                swprintf(joined, 512, L"%ls->%ls", p.name, thread.name);
                model::CopyLabel(thread.label, joined);
                thread.name = thread.label;
            }
            ListRecord(thread);
            thread.depth = p.depth + 1;
        }
    }

    // Every record is listed once: children already listed are passed over.
    void ListChildrenOf(InstanceRecord& r, uint32_t first)
    {
        if (r.childCount == 0)
            return;
        for (uint32_t j = first; j < s.processRecords.count; ++j) {
            InstanceRecord& q = s.processRecords[j];
            if (q.creatorId != r.id || q.Has(model::listed))
                continue;
            q.depth = r.depth + 1;
            ListRecord(q);
            ListThreadsOf(j);
            ListChildrenOf(q, j + 1);
        }
        for (uint32_t p = 0; p < s.placeholderCount; ++p) {
            InstanceRecord& ph = s.placeholderRecords[p];
            if (ph.creatorId != r.id || ph.Has(model::listed))
                continue;
            ph.depth = r.depth + 1;
            ListRecord(ph);
            ListChildrenOf(ph, 0);
        }
    }

    bool IsProcess(const InstanceRecord& r) const
    {
        return s.processRecords.count && &r >= &s.processRecords[0] && &r < &s.processRecords[0] + s.processRecords.count;
    }

    // The record that lists `r` as a child: for a process, a process before
    // it with its creator's ID, or the placeholder with that ID when no
    // process has it; for a placeholder, a process with that ID, else the
    // placeholder.
    InstanceRecord* CreatorOf(InstanceRecord& r)
    {
        if (r.creatorId == 0)
            return nullptr;
        for (uint32_t j = 0; j < s.processRecords.count; ++j) {
            if (s.processRecords[j].id != r.creatorId)
                continue;
            if (IsProcess(r) && &s.processRecords[j] >= &r)
                return nullptr;
            return &s.processRecords[j];
        }
        return FindRecordById(r.creatorId, nullptr, s.placeholderRecords.get(), s.placeholderCount);
    }

    // Listed at the top with its subtree: the last record reached going from
    // creator to creator before the chain ends or comes back on itself.
    void ListTopOfCreators(InstanceRecord& start)
    {
        std::vector<InstanceRecord*> chain{&start};
        for (InstanceRecord* c = CreatorOf(start); c && std::find(chain.begin(), chain.end(), c) == chain.end();
             c = CreatorOf(*c))
            chain.push_back(c);
        InstanceRecord& top = *chain.back();
        ListRecord(top);
        top.depth = 0;
        if (IsProcess(top)) {
            uint32_t i = static_cast<uint32_t>(&top - &s.processRecords[0]);
            ListThreadsOf(i);
            ListChildrenOf(top, i + 1);
        } else {
            ListChildrenOf(top, 0);
        }
    }

    void AddPlaceholder(uint32_t id)
    {
        if (!s.placeholderRecords || s.placeholderCount >= s.processRecords.count)
            return;
        InstanceRecord& ph = s.placeholderRecords[s.placeholderCount++];
        ph.id = id;
        ph.childCount = 1;
        ph.name = ph.label;
        if (InstanceRecord* before = FindRecordById(id, nullptr, old.get(), oldCount)) {
            std::copy(std::begin(before->label), std::end(before->label), ph.label);
            ph.creatorId = before->creatorId;
            ph.flags = before->flags & ~uint32_t(model::listed);
        } else {
            using namespace perf;
            SnapshotView previous = inputs.previous;
            const PerfObjectType* processes = FindObject(previous, inputs.processObjectIndex);
            const PerfCounterDefinition* idCounter = FindCounter(previous, processes, inputs.idProcessIndex);
            const PerfCounterDefinition* creator = FindCounter(previous, processes, inputs.creatingProcessIdIndex);
            const PerfInstanceDefinition* instance = FirstInstance(previous, processes);
            for (uint32_t i = 0; i < InstanceCount(processes) && instance; ++i) {
                if (ReadU32(previous, CounterData(previous, instance, idCounter)) == id) {
                    model::CopyLabel(ph.label, reinterpret_cast<const wchar_t*>(InstanceName(previous, instance)));
                    if (creator)
                        ph.creatorId = ReadU32(previous, CounterData(previous, instance, creator));
                    break;
                }
                instance = NextInstance(previous, instance);
            }
        }
        if (ph.creatorId != 0)
            CountChild(ph.creatorId);
    }

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
        for (uint32_t p = 0; p < s.placeholderCount; ++p) {
            if (s.placeholderRecords[p].id == c) {
                ++s.placeholderRecords[p].childCount;
                found = true;
            }
        }
        if (!found)
            AddPlaceholder(c);
    }

    bool Skipped(const InstanceRecord& r) const
    {
        return r.id == 0 && ((!s.showTotal && wcscmp(r.name, L"_Total") == 0) ||
                             (!s.showIdle && wcscmp(r.name, L"Idle") == 0));
    }

    void Run()
    {
        uint32_t n = s.processRecords.count;
        room = size_t(s.threadRecords.count) + 2 * size_t(n) + s.placeholderCount;
        s.displayList.clear();
        old = std::move(s.placeholderRecords);
        oldCount = s.placeholderCount;
        s.placeholderCount = 0;
        for (uint32_t i = 0; i < n; ++i)
            s.processRecords[i].flags &= ~uint32_t(model::listed | model::visiting);
        for (uint32_t t = 0; t < s.threadRecords.count; ++t)
            s.threadRecords[t].flags &= ~uint32_t(model::listed | model::visiting);
        if (s.showHierarchy) {
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
        for (uint32_t i = 0; i < n; ++i) {
            InstanceRecord& p = s.processRecords[i];
            if (Skipped(p) || (s.showHierarchy && p.creatorId != 0))
                continue;
            ListRecord(p);
            p.depth = 0;
            ListThreadsOf(i);
            if (s.showHierarchy)
                ListChildrenOf(p, i + 1);
        }
        if (!s.showHierarchy)
            return;
        for (uint32_t p = 0; p < s.placeholderCount; ++p) {
            if (!s.placeholderRecords[p].Has(model::listed))
                ListTopOfCreators(s.placeholderRecords[p]);
        }
        for (uint32_t i = 0; i < n; ++i) {
            InstanceRecord& p = s.processRecords[i];
            if (p.Has(model::listed) || Skipped(p))
                continue;
            ListRecord(p);
            p.depth = 0;
            ListThreadsOf(i);
            ListChildrenOf(p, i + 1);
        }
    }
};

} // namespace

void ReferenceBuildDisplayList(ModelState& s, const model::OrderingInputs& inputs)
{
    Pass pass{s, inputs, 0, nullptr, 0};
    pass.Run();
}

} // namespace testing_support
