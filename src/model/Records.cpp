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

uint32_t BuildInstanceRecords(const BuildRequest& request, RecordArray& records)
{
    using namespace perf;
    SnapshotView current = request.current;
    const PerfObjectType* object = FindObject(current, request.objectIndex);
    const PerfCounterDefinition* idCounter = FindCounter(current, object, request.idCounterIndex);
    const PerfCounterDefinition* shown = FindCounter(current, object, request.counterIndex);
    const PerfObjectType* previousObject = FindObject(request.previous, request.objectIndex);
    const PerfCounterDefinition* previousShown = FindCounter(request.previous, previousObject, request.counterIndex);
    bool isProcessObject = request.objectIndex == counterTable.processObjectIndex;
    const PerfCounterDefinition* threadCount =
        isProcessObject ? FindCounter(current, object, counterTable.threadCountIndex) : nullptr;
    const PerfCounterDefinition* creator =
        isProcessObject ? FindCounter(current, object, counterTable.creatingProcessIdIndex) : nullptr;

    RecordArray built;
    built.builtFrom = current.data;
    built.builtFromLength = current.length;
    if (!object) {
        perfData.statusMessageId = IDS_STATUS_NO_PROCESS_OBJECT;
    } else if (object->NumInstances <= 0) {
        perfData.statusMessageId = IDS_STATUS_NO_PROCESS_LIST;
    } else {
        // No more records than the bytes can hold instances.
        uint32_t room = std::min<uint32_t>(InstanceCount(object),
                                           current.length / (sizeof(PerfInstanceDefinition) + sizeof(PerfCounterBlock)));
        built.records.reset(new (std::nothrow) InstanceRecord[room]);
        if (!built.records)
            room = 0;

        // Rebuilt from the very snapshot the old records came from (another
        // counter or format, or a failed query): carried by position.
        bool sameSnapshot = records.records && records.builtFrom == current.data &&
                            records.builtFromLength == current.length;
        if (!sameSnapshot)
            previousInstances.Load(request.previous, previousObject, request.idCounterIndex);
        core::WideString notAvailable;
        if (!shown)
            notAvailable.LoadResourceString(IDS_NOT_AVAILABLE);

        uint32_t start = 0;
        const PerfInstanceDefinition* instance = FirstInstance(current, object);
        uint32_t k = 0;
        for (; k < room && instance; ++k, instance = NextInstance(current, instance)) {
            InstanceRecord& record = built[k];
            record.id = ReadCounter32(current, instance, idCounter);
            record.name = Wide(InstanceName(current, instance));
            CopyLabel(record.label, record.name);
            record.parentInstance = instance->ParentObjectInstance;
            record.depth = request.depth;
            record.flags = isProcessObject ? isProcess : isThread;
            if (isProcessObject) {
                record.threadCount = ReadCounter32(current, instance, threadCount);
                record.creatorId = ReadCounter32(current, instance, creator);
            }

            int64_t match = -1;
            const InstanceRecord* old = nullptr;
            if (sameSnapshot) {
                old = k < records.count ? &records[k] : nullptr;
            } else {
                match = previousInstances.Find(record.id, record.name, start);
                start = match >= 0 ? static_cast<uint32_t>(match) + 1 : 0;
                if (match >= 0 && records.records && match < records.count)
                    old = &records[static_cast<uint32_t>(match)];
            }
            if (old)
                record.flags |= old->flags & CARRIED_FLAGS;

            if (shown) {
                CounterSample now{current, instance, shown};
                CounterSample before{request.previous, match >= 0 ? previousInstances.At(uint32_t(match)) : nullptr,
                                     previousShown};
                if (!ComputeCounterValue(now, before, record.value, record.text, selection.displayType)) {
                    record.value = 0;
                    record.text.Format(L"***");
                }
            } else {
                record.value = 0;
                record.text.Assign(notAvailable);
            }
            record.previousValue = old && !sameSnapshot ? old->value : record.value;
        }
        built.count = k;
    }
    records = std::move(built);
    return records.count;
}

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
