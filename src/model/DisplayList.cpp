#include "model/DisplayList.h"

#include "perf/CounterNames.h"
#include "perf/PerfData.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace model {

namespace {

using Frame = OrderingIndexes::Frame;

bool ById(const IdPosition& a, const IdPosition& b)
{
    return a.first < b.first;
}

// Position of the first entry for `id` at or after position `first`.
size_t FirstEntry(const std::vector<IdPosition>& index, uint32_t id, uint32_t first)
{
    return std::lower_bound(index.begin(), index.end(), IdPosition{id, first}) - index.begin();
}

void ClearTable(IdTable& table, uint32_t entries)
{
    size_t size = 16;
    while (size < 2 * size_t(entries))
        size *= 2;
    table.slots.assign(size, {0, 0});
    table.mask = static_cast<uint32_t>(size - 1);
}

IdPosition& TableSlot(IdTable& table, uint32_t id)
{
    uint32_t i = (id * 2654435761u) & table.mask;
    while (table.slots[i].first != 0 && table.slots[i].first != id)
        i = (i + 1) & table.mask;
    return table.slots[i];
}

// One ordering pass. The rules are those of plain nested scans (children are
// the processes after their creator whose creator ID is its ID, threads those
// whose parent is its position; every record is listed once, and a record no
// creator lists is listed from the top of its chain of creators); the indexes
// find the same records in the same order without scanning every array for
// every row.
class Ordering {
public:
    Ordering(ModelState& s, const OrderingInputs& inputs) : s(s), x(s.indexes), inputs(inputs) {}

    void Run();

private:
    InstanceRecord& Process(uint32_t i) { return s.processRecords[i]; }
    uint32_t ProcessCount() const { return s.processRecords.count; }

    void IndexThreads();
    void IndexProcesses();
    void MakePlaceholderRoom();
    void CountChildren();
    void CountChild(uint32_t creatorId);
    InstanceRecord* AddPlaceholder(uint32_t processId);
    void NameFromPreviousSnapshot(InstanceRecord& placeholder);
    void ListRecord(InstanceRecord& record);
    void ListThreadsOf(uint32_t position);
    void ListAtTop(const Frame& node);
    void ListChildrenOf(const Frame& node);
    void Descend(Frame node);
    bool NextChild(Frame& parent, Frame& child);
    bool CreatorOf(const Frame& node, Frame& creator);
    Frame TopOfCreators(const Frame& node);
    bool Skipped(const InstanceRecord& record) const;

    Frame ProcessNode(uint32_t i) { return {&Process(i), i, false, false, 0}; }
    Frame PlaceholderNode(uint32_t p) { return {&s.placeholderRecords[p], p, true, false, 0}; }

    ModelState& s;
    OrderingIndexes& x;
    const OrderingInputs& inputs;
    size_t room = 0;
    InstanceRecord* oldPlaceholders = nullptr;
    bool previousIndexed = false;
};

// The threads of each process position, in Thread-object order. One pass
// over the records (which also clears the last pass's marks unless they were
// just built), then one over their parents' positions.
void Ordering::IndexThreads()
{
    uint32_t processes = ProcessCount();
    RecordArray& threads = s.threadRecords;
    x.threadStart.assign(processes + 1, 0);
    x.threadParent.resize(threads.count);
    for (uint32_t t = 0; t < threads.count; ++t) {
        if (t + 8 < threads.count)
            Prefetch(&threads[t + 8].parentInstance);
        if (!threads.unmarked)
            threads[t].flags &= ~uint32_t(listed | visiting);
        uint32_t parent = threads[t].parentInstance;
        x.threadParent[t] = parent;
        if (parent < processes)
            ++x.threadStart[parent + 1];
    }
    threads.unmarked = false;
    for (uint32_t i = 0; i < processes; ++i)
        x.threadStart[i + 1] += x.threadStart[i];
    x.threadOrder.resize(x.threadStart[processes]);
    uint32_t* next = x.threadStart.data();
    for (uint32_t t = 0; t < threads.count; ++t) {
        uint32_t parent = x.threadParent[t];
        if (parent < processes)
            x.threadOrder[next[parent]++] = t;
    }
    // `next` moved each start to the following one's: shift them back.
    for (uint32_t i = processes; i > 0; --i)
        x.threadStart[i] = x.threadStart[i - 1];
    x.threadStart[0] = 0;
}

void Ordering::IndexProcesses()
{
    x.processesById.clear();
    x.childrenByCreator.clear();
    for (uint32_t i = 0; i < ProcessCount(); ++i) {
        x.processesById.push_back({Process(i).id, i});
        if (Process(i).creatorId != 0)
            x.childrenByCreator.push_back({Process(i).creatorId, i});
    }
    std::sort(x.processesById.begin(), x.processesById.end());
    std::sort(x.childrenByCreator.begin(), x.childrenByCreator.end());
}

// The new placeholders go into the spare array; the previous pass's stay
// readable until the children are counted, then become the spare.
void Ordering::MakePlaceholderRoom()
{
    uint32_t needed = ProcessCount();
    std::swap(s.placeholderRecords, x.sparePlaceholders);
    std::swap(s.placeholderCapacity, x.spareCapacity);
    oldPlaceholders = x.sparePlaceholders.get();
    x.oldPlaceholdersById.clear();
    for (uint32_t i = 0; i < s.placeholderCount && oldPlaceholders; ++i)
        x.oldPlaceholdersById.push_back({oldPlaceholders[i].id, i});
    std::sort(x.oldPlaceholdersById.begin(), x.oldPlaceholdersById.end());
    s.placeholderCount = 0;
    if (needed > s.placeholderCapacity) {
        s.placeholderRecords.reset(new (std::nothrow) InstanceRecord[needed]);
        s.placeholderCapacity = s.placeholderRecords ? needed : 0;
    }
}

void Ordering::CountChildren()
{
    IndexProcesses();
    ClearTable(x.placeholdersById, ProcessCount());
    for (uint32_t i = 0; i < ProcessCount(); ++i)
        Process(i).childCount = 0;
    for (uint32_t i = 0; i < ProcessCount(); ++i)
        CountChild(Process(i).creatorId);
    x.placeholdersByCreator.clear();
    for (uint32_t p = 0; p < s.placeholderCount; ++p)
        x.placeholdersByCreator.push_back({s.placeholderRecords[p].creatorId, p});
    std::sort(x.placeholdersByCreator.begin(), x.placeholdersByCreator.end());
    oldPlaceholders = nullptr;
}

// Counts a child for every record with the creator's ID: the processes with
// that ID, else the placeholder with it, else a new placeholder, whose own
// creator then counts a child in turn, up the chain of vanished creators.
void Ordering::CountChild(uint32_t creatorId)
{
    while (creatorId != 0) {
        auto range = std::equal_range(x.processesById.begin(), x.processesById.end(), IdPosition{creatorId, 0}, ById);
        if (range.first != range.second) {
            for (auto it = range.first; it != range.second; ++it)
                ++Process(it->second).childCount;
            return;
        }
        IdPosition& slot = TableSlot(x.placeholdersById, creatorId);
        if (slot.first != 0) {
            ++s.placeholderRecords[slot.second].childCount;
            return;
        }
        InstanceRecord* added = AddPlaceholder(creatorId);
        creatorId = added ? added->creatorId : 0;
    }
}

InstanceRecord* Ordering::AddPlaceholder(uint32_t processId)
{
    if (s.placeholderCount >= ProcessCount() || s.placeholderCount >= s.placeholderCapacity)
        return nullptr;
    uint32_t index = s.placeholderCount++;
    TableSlot(x.placeholdersById, processId) = {processId, index};
    InstanceRecord& placeholder = s.placeholderRecords[index];
    placeholder.name = placeholder.label;
    placeholder.label[0] = 0;
    placeholder.id = processId;
    placeholder.value = placeholder.previousValue = 0;
    placeholder.creatorId = 0;
    placeholder.childCount = 1;
    placeholder.flags = 0;
    placeholder.depth = 0;
    size_t old = FirstEntry(x.oldPlaceholdersById, processId, 0);
    if (old < x.oldPlaceholdersById.size() && x.oldPlaceholdersById[old].first == processId) {
        const InstanceRecord& before = oldPlaceholders[x.oldPlaceholdersById[old].second];
        std::copy(std::begin(before.label), std::end(before.label), placeholder.label);
        placeholder.creatorId = before.creatorId;
        placeholder.flags = before.flags & ~uint32_t(listed);
    } else {
        NameFromPreviousSnapshot(placeholder);
    }
    return &placeholder;
}

void Ordering::NameFromPreviousSnapshot(InstanceRecord& placeholder)
{
    using namespace perf;
    SnapshotView previous = inputs.previous;
    const PerfObjectType* processes = FindObject(previous, inputs.processObjectIndex);
    if (!previousIndexed) {
        previousIndexed = true;
        x.previousProcesses.clear();
        const PerfCounterDefinition* id = FindCounter(previous, processes, inputs.idProcessIndex);
        const PerfInstanceDefinition* instance = FirstInstance(previous, processes);
        for (uint32_t i = 0; i < InstanceCount(processes) && instance; ++i) {
            x.previousProcesses.push_back({ReadU32(previous, CounterData(previous, instance, id)), i, instance});
            instance = NextInstance(previous, instance);
        }
        std::sort(x.previousProcesses.begin(), x.previousProcesses.end(), [](const auto& a, const auto& b) {
            return a.id != b.id ? a.id < b.id : a.position < b.position;
        });
    }
    auto found = std::lower_bound(x.previousProcesses.begin(), x.previousProcesses.end(), placeholder.id,
                                  [](const auto& entry, uint32_t id) { return entry.id < id; });
    if (found == x.previousProcesses.end() || found->id != placeholder.id)
        return;
    CopyLabel(placeholder.label, reinterpret_cast<const wchar_t*>(InstanceName(previous, found->instance)));
    const PerfCounterDefinition* creator = FindCounter(previous, processes, inputs.creatingProcessIdIndex);
    if (creator)
        placeholder.creatorId = ReadU32(previous, CounterData(previous, found->instance, creator));
}

void Ordering::ListRecord(InstanceRecord& record)
{
    if (s.displayList.size() >= room)
        return;
    record.flags |= listed;
    if (record.Has(focused))
        s.focusRow = static_cast<int32_t>(s.displayList.size());
    if (record.Has(selected))
        s.selectedRecord = &record;
    s.displayList.push_back(&record);
}

void Ordering::ListThreadsOf(uint32_t position)
{
    InstanceRecord& process = Process(position);
    if (process.threadCount == 0 || !process.Has(expanded))
        return;
    for (uint32_t k = x.threadStart[position]; k < x.threadStart[position + 1]; ++k) {
        InstanceRecord& thread = s.threadRecords[x.threadOrder[k]];
        if (!thread.NameIsLabel()) {
            // "process->thread", cut to 31 characters.
            wchar_t* out = thread.label;
            wchar_t* end = thread.label + LABEL_CHARS - 1;
            for (const wchar_t* part : {process.name, L"->", thread.name}) {
                for (; *part && out < end; ++part)
                    *out++ = *part;
            }
            *out = 0;
            thread.name = thread.label;
        }
        ListRecord(thread);
        thread.depth = process.depth + 1;
    }
}

// The next child of `parent` not listed yet: processes after a process (any
// process for a placeholder) whose creator it is, then placeholders.
bool Ordering::NextChild(Frame& parent, Frame& child)
{
    uint32_t id = parent.record->id;
    if (!parent.inPlaceholders) {
        for (; parent.cursor < x.childrenByCreator.size() && x.childrenByCreator[parent.cursor].first == id;
             ++parent.cursor) {
            uint32_t position = x.childrenByCreator[parent.cursor].second;
            if (!Process(position).Has(listed)) {
                ++parent.cursor;
                child = ProcessNode(position);
                return true;
            }
        }
        parent.inPlaceholders = true;
        parent.cursor = FirstEntry(x.placeholdersByCreator, id, 0);
    }
    for (; parent.cursor < x.placeholdersByCreator.size() && x.placeholdersByCreator[parent.cursor].first == id;
         ++parent.cursor) {
        uint32_t position = x.placeholdersByCreator[parent.cursor].second;
        if (!s.placeholderRecords[position].Has(listed)) {
            ++parent.cursor;
            child = PlaceholderNode(position);
            return true;
        }
    }
    return false;
}

// Depth first, with an explicit stack: a long chain of creators must not
// exhaust the thread's stack. Each record is listed once, so each record's
// children are looked for once, even where creators loop.
void Ordering::ListChildrenOf(const Frame& node)
{
    x.stack.clear();
    Descend(node);
    while (!x.stack.empty()) {
        Frame& parent = x.stack.back();
        Frame child{};
        if (!NextChild(parent, child)) {
            x.stack.pop_back();
            continue;
        }
        child.record->depth = parent.record->depth + 1;
        ListRecord(*child.record);
        if (!child.isPlaceholder)
            ListThreadsOf(child.position);
        Descend(child);
    }
}

void Ordering::Descend(Frame node)
{
    if (node.record->childCount == 0)
        return;
    node.inPlaceholders = false;
    node.cursor = FirstEntry(x.childrenByCreator, node.record->id, node.isPlaceholder ? 0 : node.position + 1);
    x.stack.push_back(node);
}

void Ordering::ListAtTop(const Frame& node)
{
    ListRecord(*node.record);
    node.record->depth = 0;
    if (!node.isPlaceholder)
        ListThreadsOf(node.position);
    if (inputs.options.showHierarchy)
        ListChildrenOf(node);
}

// The record that would list `node` as its child: for a process, the first
// process with its creator ID listed before it, or the placeholder with that
// ID when no process has it; for a placeholder, the first process with that
// ID, else the placeholder.
bool Ordering::CreatorOf(const Frame& node, Frame& creator)
{
    uint32_t creatorId = node.record->creatorId;
    if (creatorId == 0)
        return false;
    size_t first = FirstEntry(x.processesById, creatorId, 0);
    if (first < x.processesById.size() && x.processesById[first].first == creatorId) {
        uint32_t position = x.processesById[first].second;
        if (!node.isPlaceholder && position >= node.position)
            return false;
        creator = ProcessNode(position);
        return true;
    }
    IdPosition& slot = TableSlot(x.placeholdersById, creatorId);
    if (slot.first == 0)
        return false;
    creator = PlaceholderNode(slot.second);
    return true;
}

// The farthest creator reached from `node` going from creator to creator,
// before the chain ends or comes back on itself: listed at the top, it lists
// the whole chain beneath it.
Frame Ordering::TopOfCreators(const Frame& node)
{
    x.stack.clear();
    x.stack.push_back(node);
    node.record->flags |= visiting;
    Frame creator{};
    while (CreatorOf(x.stack.back(), creator) && !creator.record->Has(visiting)) {
        creator.record->flags |= visiting;
        x.stack.push_back(creator);
    }
    Frame top = x.stack.back();
    for (const Frame& f : x.stack)
        f.record->flags &= ~uint32_t(visiting);
    return top;
}

bool Ordering::Skipped(const InstanceRecord& record) const
{
    if (record.id != 0)
        return false;
    return (!inputs.options.showTotal && perf::NameIs(record.name, perf::TOTAL_INSTANCE)) ||
           (!inputs.options.showIdle && perf::NameIs(record.name, perf::IDLE_INSTANCE));
}

void Ordering::Run()
{
    uint32_t processes = ProcessCount();
    room = size_t(s.threadRecords.count) + 2 * size_t(processes) + s.placeholderCount;
    s.displayList.clear();
    s.displayList.reserve(room);
    for (uint32_t i = 0; i < processes; ++i)
        Process(i).flags &= ~uint32_t(listed | visiting);

    IndexThreads();
    if (inputs.options.showHierarchy) {
        MakePlaceholderRoom();
        CountChildren();
    } else {
        s.placeholderCount = 0;
    }

    s.focusRow = -1;
    s.selectedRecord = nullptr;
    for (uint32_t i = 0; i < processes; ++i) {
        if (!Skipped(Process(i)) && (!inputs.options.showHierarchy || Process(i).creatorId == 0))
            ListAtTop(ProcessNode(i));
    }
    if (!inputs.options.showHierarchy)
        return;
    for (uint32_t p = 0; p < s.placeholderCount; ++p) {
        if (!s.placeholderRecords[p].Has(listed))
            ListAtTop(TopOfCreators(PlaceholderNode(p)));
    }
    // A process whose creator is listed after it would otherwise never be
    // shown: it goes to the top level.
    for (uint32_t i = 0; i < processes; ++i) {
        if (!Process(i).Has(listed) && !Skipped(Process(i)))
            ListAtTop(ProcessNode(i));
    }
}

} // namespace

void BuildDisplayList(ModelState& s, const OrderingInputs& inputs)
{
    Ordering(s, inputs).Run();
}

void MarkRow(ModelState& s, int32_t row, uint32_t marks)
{
    marks &= selected | focused;
    if (row < 0 || row >= static_cast<int32_t>(s.displayCount()) || marks == 0)
        return;
    InstanceRecord* target = s.displayList[row];
    auto clear = [&](InstanceRecord* records, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            if (&records[i] != target)
                records[i].flags &= ~marks;
        }
    };
    clear(s.processRecords.records.get(), s.processRecords.count);
    clear(s.threadRecords.records.get(), s.threadRecords.count);
    clear(s.placeholderRecords.get(), s.placeholderCount);
    target->flags |= marks;
    if (marks & focused)
        s.focusRow = row;
    if (marks & selected)
        s.selectedRecord = target;
}

void SetExpanded(ModelState& s, int32_t row, bool expanded)
{
    if (row < 0 || row >= static_cast<int32_t>(s.displayCount()))
        return;
    InstanceRecord& r = *s.displayList[row];
    r.flags = expanded ? r.flags | model::expanded : r.flags & ~uint32_t(model::expanded);
}

void SetAllExpanded(ModelState& s, bool expanded)
{
    for (int32_t row = 0; row < static_cast<int32_t>(s.displayCount()); ++row)
        SetExpanded(s, row, expanded);
}

void BuildDisplayList(const ListOptions& options)
{
    OrderingInputs inputs;
    inputs.options = options;
    inputs.previous = perf::perfData.previousSnapshot.View();
    inputs.processObjectIndex = perf::counterTable.processObjectIndex;
    inputs.idProcessIndex = perf::counterTable.idProcessIndex;
    inputs.creatingProcessIdIndex = perf::counterTable.creatingProcessIdIndex;
    BuildDisplayList(modelState, inputs);
}

} // namespace model
