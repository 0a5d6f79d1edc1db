#include "model/DisplayList.h"

#include "perf/CounterNames.h"
#include "perf/PerfData.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <unordered_map>

namespace model {

namespace {

using IdPosition = std::pair<uint32_t, uint32_t>;

// One ordering pass. The rules are those of a plain nested scan (children are
// the processes after their creator whose creator ID is its ID, threads those
// whose parent is its position); the indexes below find the same records in
// the same order without scanning every array for every row.
class Ordering {
public:
    Ordering(ModelState& s, const OrderingInputs& inputs) : s(s), inputs(inputs) {}

    void Run();

private:
    struct Frame {
        InstanceRecord* record;
        bool inPlaceholders;
        size_t cursor;
    };

    InstanceRecord& Process(uint32_t i) { return s.processRecords[i]; }
    uint32_t ProcessCount() const { return s.processRecords.count; }

    void IndexThreads();
    void IndexProcesses();
    void CountChild(uint32_t creatorId);
    InstanceRecord* AddPlaceholder(uint32_t processId);
    void NameFromPreviousSnapshot(InstanceRecord& placeholder);
    void ListRecord(InstanceRecord& record);
    void ListThreadsOf(uint32_t position);
    void ListChildrenOf(InstanceRecord& record, uint32_t first);
    size_t FirstChild(const std::vector<IdPosition>& index, uint32_t creatorId, uint32_t first) const;
    bool Skipped(const InstanceRecord& record) const;

    ModelState& s;
    const OrderingInputs& inputs;
    size_t room = 0;
    uint32_t placeholderRoom = 0;
    std::unique_ptr<InstanceRecord[]> oldPlaceholders;
    uint32_t oldPlaceholderCount = 0;
    std::unordered_map<uint32_t, uint32_t> oldPlaceholderById;
    std::unordered_map<uint32_t, uint32_t> placeholderById;
    std::unordered_map<uint32_t, const perf::PerfInstanceDefinition*> previousById;
    bool previousIndexed = false;

    // Reused from pass to pass, so that a steady state allocates nothing.
    static std::vector<uint32_t> threadStart;
    static std::vector<uint32_t> threadOrder;
    static std::vector<uint32_t> threadNext;
    static std::vector<IdPosition> processesById;
    static std::vector<IdPosition> childrenByCreator;
    static std::vector<IdPosition> placeholdersByCreator;
    static std::vector<Frame> stack;
};

std::vector<uint32_t> Ordering::threadStart;
std::vector<uint32_t> Ordering::threadOrder;
std::vector<uint32_t> Ordering::threadNext;
std::vector<IdPosition> Ordering::processesById;
std::vector<IdPosition> Ordering::childrenByCreator;
std::vector<IdPosition> Ordering::placeholdersByCreator;
std::vector<Ordering::Frame> Ordering::stack;

// The threads of each process position, in Thread-object order.
void Ordering::IndexThreads()
{
    uint32_t processes = ProcessCount();
    threadStart.assign(processes + 1, 0);
    const RecordArray& threads = s.threadRecords;
    for (uint32_t t = 0; t < threads.count; ++t) {
        if (threads[t].parentInstance < processes)
            ++threadStart[threads[t].parentInstance + 1];
    }
    for (uint32_t i = 0; i < processes; ++i)
        threadStart[i + 1] += threadStart[i];
    threadOrder.resize(threadStart[processes]);
    threadNext.assign(threadStart.begin(), threadStart.end() - 1);
    for (uint32_t t = 0; t < threads.count; ++t) {
        uint32_t parent = threads[t].parentInstance;
        if (parent < processes)
            threadOrder[threadNext[parent]++] = t;
    }
}

void Ordering::IndexProcesses()
{
    processesById.clear();
    childrenByCreator.clear();
    for (uint32_t i = 0; i < ProcessCount(); ++i) {
        processesById.push_back({Process(i).id, i});
        if (Process(i).creatorId != 0)
            childrenByCreator.push_back({Process(i).creatorId, i});
    }
    std::sort(processesById.begin(), processesById.end());
    std::sort(childrenByCreator.begin(), childrenByCreator.end());
}

// Counts a child for every record with the creator's ID: the processes with
// that ID, else the placeholder with it, else a new placeholder, whose own
// creator then counts a child in turn, up the chain of vanished creators.
void Ordering::CountChild(uint32_t creatorId)
{
    while (creatorId != 0) {
        auto range = std::equal_range(processesById.begin(), processesById.end(), IdPosition{creatorId, 0},
                                      [](const IdPosition& a, const IdPosition& b) { return a.first < b.first; });
        if (range.first != range.second) {
            for (auto it = range.first; it != range.second; ++it)
                ++Process(it->second).childCount;
            return;
        }
        auto placeholder = placeholderById.find(creatorId);
        if (placeholder != placeholderById.end()) {
            ++s.placeholderRecords[placeholder->second].childCount;
            return;
        }
        InstanceRecord* added = AddPlaceholder(creatorId);
        creatorId = added ? added->creatorId : 0;
    }
}

InstanceRecord* Ordering::AddPlaceholder(uint32_t processId)
{
    if (!s.placeholderRecords || s.placeholderCount >= placeholderRoom)
        return nullptr;
    uint32_t index = s.placeholderCount++;
    InstanceRecord& placeholder = s.placeholderRecords[index];
    placeholderById[processId] = index;
    placeholder.id = processId;
    placeholder.childCount = 1;
    placeholder.name = placeholder.label;
    auto old = oldPlaceholderById.find(processId);
    if (old != oldPlaceholderById.end()) {
        const InstanceRecord& before = oldPlaceholders[old->second];
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
    const PerfCounterDefinition* creator = FindCounter(previous, processes, inputs.creatingProcessIdIndex);
    if (!previousIndexed) {
        previousIndexed = true;
        const PerfCounterDefinition* id = FindCounter(previous, processes, inputs.idProcessIndex);
        const PerfInstanceDefinition* instance = FirstInstance(previous, processes);
        for (uint32_t i = 0; i < InstanceCount(processes) && instance; ++i) {
            previousById.emplace(ReadU32(previous, CounterData(previous, instance, id)), instance);
            instance = NextInstance(previous, instance);
        }
    }
    auto found = previousById.find(placeholder.id);
    if (found == previousById.end())
        return;
    CopyLabel(placeholder.label, reinterpret_cast<const wchar_t*>(InstanceName(previous, found->second)));
    if (creator)
        placeholder.creatorId = ReadU32(previous, CounterData(previous, found->second, creator));
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
    for (uint32_t k = threadStart[position]; k < threadStart[position + 1]; ++k) {
        InstanceRecord& thread = s.threadRecords[threadOrder[k]];
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

size_t Ordering::FirstChild(const std::vector<IdPosition>& index, uint32_t creatorId, uint32_t first) const
{
    return std::lower_bound(index.begin(), index.end(), IdPosition{creatorId, first}) - index.begin();
}

// Depth first, with an explicit stack: a long chain of creators must not
// exhaust the thread's stack. `visiting` ends the descent at a loop.
void Ordering::ListChildrenOf(InstanceRecord& record, uint32_t first)
{
    if (record.childCount == 0 || record.Has(visiting))
        return;
    record.flags |= visiting;
    stack.clear();
    stack.push_back({&record, false, FirstChild(childrenByCreator, record.id, first)});
    while (!stack.empty()) {
        size_t top = stack.size() - 1;
        InstanceRecord* parent = stack[top].record;
        const std::vector<IdPosition>& index = stack[top].inPlaceholders ? placeholdersByCreator : childrenByCreator;
        size_t cursor = stack[top].cursor;
        if (cursor >= index.size() || index[cursor].first != parent->id) {
            if (!stack[top].inPlaceholders) {
                stack[top] = {parent, true, FirstChild(placeholdersByCreator, parent->id, 0)};
            } else {
                parent->flags &= ~uint32_t(visiting);
                stack.pop_back();
            }
            continue;
        }
        stack[top].cursor = cursor + 1;
        uint32_t position = index[cursor].second;
        bool isPlaceholder = stack[top].inPlaceholders;
        InstanceRecord& child = isPlaceholder ? s.placeholderRecords[position] : Process(position);
        child.depth = parent->depth + 1;
        ListRecord(child);
        if (!isPlaceholder)
            ListThreadsOf(position);
        if (child.childCount != 0 && !child.Has(visiting)) {
            child.flags |= visiting;
            stack.push_back({&child, false, FirstChild(childrenByCreator, child.id, isPlaceholder ? 0 : position + 1)});
        }
    }
}

bool Ordering::Skipped(const InstanceRecord& record) const
{
    if (record.id != 0)
        return false;
    return (!s.showTotal && wcscmp(record.name, L"_Total") == 0) ||
           (!s.showIdle && wcscmp(record.name, L"Idle") == 0);
}

void Ordering::Run()
{
    uint32_t processes = ProcessCount();
    room = size_t(s.threadRecords.count) + 2 * size_t(processes) + s.placeholderCount;
    s.displayList.clear();
    s.displayList.reserve(room);
    oldPlaceholders = std::move(s.placeholderRecords);
    oldPlaceholderCount = s.placeholderCount;
    s.placeholderCount = 0;
    for (uint32_t i = 0; i < processes; ++i)
        Process(i).flags &= ~uint32_t(listed | visiting);
    for (uint32_t t = 0; t < s.threadRecords.count; ++t)
        s.threadRecords[t].flags &= ~uint32_t(listed | visiting);

    IndexThreads();
    if (s.showHierarchy) {
        placeholderRoom = processes;
        s.placeholderRecords.reset(processes ? new (std::nothrow) InstanceRecord[processes] : nullptr);
        for (uint32_t i = 0; i < oldPlaceholderCount; ++i)
            oldPlaceholderById.emplace(oldPlaceholders[i].id, i);
        IndexProcesses();
        for (uint32_t i = 0; i < processes; ++i)
            Process(i).childCount = 0;
        for (uint32_t i = 0; i < processes; ++i)
            CountChild(Process(i).creatorId);
        placeholdersByCreator.clear();
        for (uint32_t p = 0; p < s.placeholderCount; ++p)
            placeholdersByCreator.push_back({s.placeholderRecords[p].creatorId, p});
        std::sort(placeholdersByCreator.begin(), placeholdersByCreator.end());
    }
    oldPlaceholders.reset();

    s.focusRow = -1;
    s.selectedRecord = nullptr;
    for (uint32_t i = 0; i < processes; ++i) {
        InstanceRecord& process = Process(i);
        if (Skipped(process) || (s.showHierarchy && process.creatorId != 0))
            continue;
        ListRecord(process);
        process.depth = 0;
        ListThreadsOf(i);
        if (s.showHierarchy)
            ListChildrenOf(process, i + 1);
    }
    if (!s.showHierarchy)
        return;
    for (uint32_t p = 0; p < s.placeholderCount; ++p) {
        InstanceRecord& placeholder = s.placeholderRecords[p];
        if (placeholder.Has(listed))
            continue;
        ListRecord(placeholder);
        placeholder.depth = 0;
        ListChildrenOf(placeholder, 0);
    }
    // A process whose creator is listed after it, or that got no placeholder,
    // would otherwise never be shown: it goes to the top level.
    for (uint32_t i = 0; i < processes; ++i) {
        InstanceRecord& process = Process(i);
        if (process.Has(listed) || Skipped(process))
            continue;
        ListRecord(process);
        process.depth = 0;
        ListThreadsOf(i);
        ListChildrenOf(process, i + 1);
    }
}

} // namespace

void BuildDisplayList(ModelState& s, const OrderingInputs& inputs)
{
    Ordering(s, inputs).Run();
}

void BuildDisplayList()
{
    OrderingInputs inputs;
    inputs.previous = perf::perfData.previousSnapshot.View();
    inputs.processObjectIndex = perf::counterTable.processObjectIndex;
    inputs.idProcessIndex = perf::counterTable.idProcessIndex;
    inputs.creatingProcessIdIndex = perf::counterTable.creatingProcessIdIndex;
    BuildDisplayList(state, inputs);
}

} // namespace model
