#include "model/Records.h"

#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"

#include <algorithm>
#include <cwchar>
#include <new>

namespace model {

ModelState state;

namespace {

constexpr uint32_t CARRIED_FLAGS = selected | focused | expanded;

const wchar_t* Wide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

uint64_t NameHash(const wchar_t* name)
{
    uint64_t hash = 1469598103934665603ull;
    for (; *name; ++name)
        hash = (hash ^ static_cast<uint16_t>(*name)) * 1099511628211ull;
    return hash;
}

// The previous snapshot's instances of the object, by position, with what
// matching needs. Matching walks forward from the instance after the last
// match: when the snapshots list the instances in the same order, the first
// instance looked at matches. Otherwise sorted keys find the first match at
// or after the start, which is what the walk would find, in logarithmic time.
class PreviousInstances {
public:
    void Load(perf::SnapshotView view, const perf::PerfObjectType* object, uint32_t idCounterIndex)
    {
        this->view = view;
        instances.clear();
        ids.clear();
        byId.clear();
        byName.clear();
        const perf::PerfCounterDefinition* idCounter = perf::FindCounter(view, object, idCounterIndex);
        const perf::PerfInstanceDefinition* instance = perf::FirstInstance(view, object);
        for (uint32_t i = 0; i < perf::InstanceCount(object) && instance; ++i) {
            instances.push_back(instance);
            ids.push_back(perf::ReadU32(view, perf::CounterData(view, instance, idCounter)));
            instance = perf::NextInstance(view, instance);
        }
    }

    uint32_t Count() const { return static_cast<uint32_t>(instances.size()); }
    const perf::PerfInstanceDefinition* At(uint32_t position) const { return instances[position]; }

    // Position of the first instance at or after `start` with that id (or,
    // for id 0, that exact name); -1 when there is none.
    int64_t Find(uint32_t id, const wchar_t* name, uint32_t start)
    {
        if (start >= Count())
            return -1;
        if (Matches(start, id, name))
            return start;
        if (id != 0)
            return FindKey(byId, id, start, [&](uint32_t p) { return ids[p] == id; });
        return FindKey(byName, NameHash(name), start, [&](uint32_t p) { return Matches(p, 0, name); });
    }

private:
    using Keys = std::vector<std::pair<uint64_t, uint32_t>>;

    bool Matches(uint32_t position, uint32_t id, const wchar_t* name) const
    {
        if (id != 0)
            return ids[position] == id;
        return wcscmp(Wide(perf::InstanceName(view, instances[position])), name) == 0;
    }

    template <class Same>
    int64_t FindKey(Keys& keys, uint64_t key, uint32_t start, Same same)
    {
        if (keys.empty()) {
            keys.reserve(Count());
            for (uint32_t p = 0; p < Count(); ++p)
                keys.push_back({&keys == &byId ? ids[p] : NameHash(Wide(perf::InstanceName(view, instances[p]))), p});
            std::sort(keys.begin(), keys.end());
        }
        auto it = std::lower_bound(keys.begin(), keys.end(), std::make_pair(key, start));
        for (; it != keys.end() && it->first == key; ++it) {
            if (same(it->second))
                return it->second;
        }
        return -1;
    }

    perf::SnapshotView view;
    std::vector<const perf::PerfInstanceDefinition*> instances;
    std::vector<uint32_t> ids;
    Keys byId;
    Keys byName;
};

PreviousInstances previousInstances;

uint32_t ReadCounter32(perf::SnapshotView view, const perf::PerfInstanceDefinition* instance,
                       const perf::PerfCounterDefinition* counter)
{
    return perf::ReadU32(view, perf::CounterData(view, instance, counter));
}

} // namespace

void CopyLabel(wchar_t* label, const wchar_t* name)
{
    size_t i = 0;
    for (; name && name[i] && i < LABEL_CHARS - 1; ++i)
        label[i] = name[i];
    label[i] = 0;
}

namespace {

// What one build reads from both snapshots, found once.
struct BuildSources {
    const BuildRequest& request;
    const perf::PerfObjectType* object;
    const perf::PerfCounterDefinition* idCounter;
    const perf::PerfCounterDefinition* shown;
    const perf::PerfCounterDefinition* previousShown;
    const perf::PerfCounterDefinition* threadCount;
    const perf::PerfCounterDefinition* creator;
    bool isProcessObject;
    core::WideString notAvailable;

    explicit BuildSources(const BuildRequest& r) : request(r)
    {
        using namespace perf;
        object = FindObject(r.current, r.objectIndex);
        idCounter = FindCounter(r.current, object, r.idCounterIndex);
        shown = FindCounter(r.current, object, r.counterIndex);
        previousShown = FindCounter(r.previous, FindObject(r.previous, r.objectIndex), r.counterIndex);
        isProcessObject = r.objectIndex == counterTable.processObjectIndex;
        threadCount = isProcessObject ? FindCounter(r.current, object, counterTable.threadCountIndex) : nullptr;
        creator = isProcessObject ? FindCounter(r.current, object, counterTable.creatingProcessIdIndex) : nullptr;
        if (!shown)
            notAvailable.LoadResourceString(IDS_NOT_AVAILABLE);
    }
};

void ReadIdentity(InstanceRecord& record, const BuildSources& from, const perf::PerfInstanceDefinition* instance)
{
    perf::SnapshotView current = from.request.current;
    record.id = ReadCounter32(current, instance, from.idCounter);
    record.name = Wide(perf::InstanceName(current, instance));
    CopyLabel(record.label, record.name);
    record.parentInstance = instance->ParentObjectInstance;
    record.depth = from.request.depth;
    record.flags = from.isProcessObject ? isProcess : isThread;
    if (from.isProcessObject) {
        record.threadCount = ReadCounter32(current, instance, from.threadCount);
        record.creatorId = ReadCounter32(current, instance, from.creator);
    }
}

void ComputeValue(InstanceRecord& record, const BuildSources& from, const perf::PerfInstanceDefinition* instance,
                  const perf::PerfInstanceDefinition* matched)
{
    if (!from.shown) {
        record.value = 0;
        record.text.Assign(from.notAvailable);
        return;
    }
    perf::CounterSample now{from.request.current, instance, from.shown};
    perf::CounterSample before{from.request.previous, matched, from.previousShown};
    if (!perf::ComputeCounterValue(now, before, record.value, record.text, perf::selection.displayType)) {
        record.value = 0;
        record.text.Format(L"***");
    }
}

} // namespace

uint32_t BuildInstanceRecords(const BuildRequest& request, RecordArray& records)
{
    using namespace perf;
    SnapshotView current = request.current;
    BuildSources from(request);
    RecordArray built;
    built.builtFrom = current.data;
    built.builtFromLength = current.length;
    if (!from.object) {
        perfData.statusMessageId = IDS_STATUS_NO_PROCESS_OBJECT;
    } else if (from.object->NumInstances <= 0) {
        perfData.statusMessageId = IDS_STATUS_NO_PROCESS_LIST;
    } else {
        // No more records than the bytes can hold instances.
        uint32_t room = std::min<uint32_t>(InstanceCount(from.object),
                                           current.length / (sizeof(PerfInstanceDefinition) + sizeof(PerfCounterBlock)));
        built.records.reset(new (std::nothrow) InstanceRecord[room]);
        if (!built.records)
            room = 0;

        // Rebuilt from the very snapshot the old records came from (another
        // counter or format, or a failed query): carried by position, with
        // no growth shown.
        bool sameSnapshot = records.records && records.builtFrom == current.data &&
                            records.builtFromLength == current.length;
        if (!sameSnapshot)
            previousInstances.Load(request.previous, FindObject(request.previous, request.objectIndex),
                                   request.idCounterIndex);

        uint32_t start = 0, k = 0;
        const PerfInstanceDefinition* instance = FirstInstance(current, from.object);
        for (; k < room && instance; ++k, instance = NextInstance(current, instance)) {
            InstanceRecord& record = built[k];
            ReadIdentity(record, from, instance);
            const InstanceRecord* old = nullptr;
            const PerfInstanceDefinition* matched = nullptr;
            if (sameSnapshot) {
                old = k < records.count ? &records[k] : nullptr;
            } else {
                int64_t match = previousInstances.Find(record.id, record.name, start);
                start = match >= 0 ? static_cast<uint32_t>(match) + 1 : 0;
                if (match >= 0) {
                    matched = previousInstances.At(static_cast<uint32_t>(match));
                    if (records.records && match < records.count)
                        old = &records[static_cast<uint32_t>(match)];
                }
            }
            if (old)
                record.flags |= old->flags & CARRIED_FLAGS;
            ComputeValue(record, from, instance, matched);
            record.previousValue = old && !sameSnapshot ? old->value : record.value;
        }
        built.count = k;
    }
    records = std::move(built);
    return records.count;
}

namespace {

// Records point into the snapshot they were built from: they go with it.
void OnSnapshotRetired(const uint8_t* bytes)
{
    if (!bytes || state.processRecords.builtFrom == bytes || state.threadRecords.builtFrom == bytes)
        ReleaseModel();
}

const bool retirementHookInstalled = (perf::SetSnapshotRetiredHook(OnSnapshotRetired), true);

} // namespace

void ReleaseModel()
{
    state.displayList.clear();
    state.displayList.shrink_to_fit();
    state.focusRow = -1;
    state.selectedRecord = nullptr;
    state.placeholderRecords.reset();
    state.placeholderCount = 0;
    state.processRecords.Release();
    state.threadRecords.Release();
}

} // namespace model
