#include "model/Records.h"

#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "resources/resource.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <new>

namespace model {

ModelState modelState;

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

bool SameView(perf::SnapshotView a, perf::SnapshotView b)
{
    return a.data == b.data && a.length == b.length;
}

uint32_t ReadCounter32(perf::SnapshotView view, const perf::PerfInstanceDefinition* instance,
                       const perf::PerfCounterDefinition* counter)
{
    return perf::ReadU32(view, perf::CounterData(view, instance, counter));
}

// What tells one instance from another that took over its ID.
struct Identity {
    uint32_t id;
    const wchar_t* name;
    const uint8_t* start; // creation time data, or null
};

uint64_t ReadStart(perf::SnapshotView view, const uint8_t* data)
{
    return perf::ReadU64(view, data);
}

void StartPrevious(PreviousInstances& previous, const BuildRequest& request, bool matchNames)
{
    perf::SnapshotView view = request.previous;
    previous.view = view;
    previous.object = perf::FindObject(view, request.objectIndex);
    previous.idCounter = perf::FindCounter(view, previous.object, request.idCounterIndex);
    previous.startCounter =
        request.startCounterIndex ? perf::FindCounter(view, previous.object, request.startCounterIndex) : nullptr;
    previous.matchNames = matchNames;
    previous.walkPosition = 0;
    previous.walkInstance = perf::InstanceCount(previous.object) ? perf::FirstInstance(view, previous.object) : nullptr;
    previous.indexed = false;
    previous.instances.clear();
    previous.ids.clear();
    previous.byId.clear();
    previous.byName.clear();
}

void IndexPrevious(PreviousInstances& previous)
{
    if (previous.indexed)
        return;
    previous.indexed = true;
    perf::SnapshotView view = previous.view;
    const perf::PerfInstanceDefinition* instance = perf::FirstInstance(view, previous.object);
    for (uint32_t i = 0; i < perf::InstanceCount(previous.object) && instance; ++i) {
        previous.instances.push_back(instance);
        previous.ids.push_back(ReadCounter32(view, instance, previous.idCounter));
        instance = perf::NextInstance(view, instance);
    }
}

bool SameName(const PreviousInstances& previous, const perf::PerfInstanceDefinition* instance, const wchar_t* name)
{
    return wcscmp(Wide(perf::InstanceName(previous.view, instance)), name) == 0;
}

// The rest of an identity, once the IDs agree.
bool SameInstance(const PreviousInstances& previous, const perf::PerfInstanceDefinition* instance,
                  const Identity& identity, perf::SnapshotView current)
{
    if (previous.matchNames && !SameName(previous, instance, identity.name))
        return false;
    const uint8_t* start = perf::CounterData(previous.view, instance, previous.startCounter, 8);
    return !start || !identity.start || ReadStart(previous.view, start) == ReadStart(current, identity.start);
}

bool Matches(const PreviousInstances& previous, const perf::PerfInstanceDefinition* instance,
             const Identity& identity, perf::SnapshotView current)
{
    if (identity.id != 0)
        return ReadCounter32(previous.view, instance, previous.idCounter) == identity.id &&
               SameInstance(previous, instance, identity, current);
    return SameName(previous, instance, identity.name);
}

const std::vector<KeyPosition>& SortedKeys(PreviousInstances& previous, bool byId)
{
    std::vector<KeyPosition>& keys = byId ? previous.byId : previous.byName;
    if (keys.empty()) {
        uint32_t count = static_cast<uint32_t>(previous.instances.size());
        keys.reserve(count);
        for (uint32_t p = 0; p < count; ++p) {
            const wchar_t* name = Wide(perf::InstanceName(previous.view, previous.instances[p]));
            keys.push_back({byId ? previous.ids[p] : NameHash(name), p});
        }
        std::sort(keys.begin(), keys.end());
    }
    return keys;
}

// Position of the first previous instance at or after `start` with that id
// (or, for id 0, that exact name). Matching walks forward from the instance
// after the last match: when the snapshots list the instances in the same
// order, the first instance looked at matches. Otherwise sorted keys find
// what the walk would find, in logarithmic time.
uint32_t FindPrevious(PreviousInstances& previous, const Identity& identity, perf::SnapshotView current,
                      uint32_t start, const perf::PerfInstanceDefinition*& found)
{
    if (!previous.indexed && start == previous.walkPosition && previous.walkInstance &&
        start < perf::InstanceCount(previous.object)) {
        if (Matches(previous, previous.walkInstance, identity, current)) {
            found = previous.walkInstance;
            previous.walkPosition = start + 1;
            previous.walkInstance = perf::NextInstance(previous.view, found);
            return start;
        }
    }
    IndexPrevious(previous);
    found = nullptr;
    if (start >= previous.instances.size())
        return NO_MATCH;
    uint32_t id = identity.id;
    uint64_t key = id != 0 ? id : NameHash(identity.name);
    const std::vector<KeyPosition>& keys = SortedKeys(previous, id != 0);
    for (auto it = std::lower_bound(keys.begin(), keys.end(), KeyPosition{key, start});
         it != keys.end() && it->first == key; ++it) {
        uint32_t p = it->second;
        const perf::PerfInstanceDefinition* instance = previous.instances[p];
        if (id != 0 ? previous.ids[p] == id && SameInstance(previous, instance, identity, current)
                    : SameName(previous, instance, identity.name)) {
            found = previous.instances[p];
            return p;
        }
    }
    return NO_MATCH;
}

} // namespace

void ValueText(const RecordArray& records, const InstanceRecord& record, core::WideString& text)
{
    if (!record.instance) {
        text.Format(L"");
    } else if (!records.shown) {
        const wchar_t* notAvailable = core::ProgramFormat(IDS_NOT_AVAILABLE);
        text.Format(L"%ls", notAvailable ? notAvailable : L"");
    } else if (record.Has(noValue)) {
        text.Format(L"***");
    } else {
        perf::CounterSample sample{{records.builtFrom, records.builtFromLength}, record.instance, records.shown};
        perf::FormatCounterValue(sample, record.value, records.displayType, text);
    }
}

void ValueText(const InstanceRecord& record, core::WideString& text)
{
    std::less<const InstanceRecord*> before;
    for (const RecordArray* records : {&modelState.processRecords, &modelState.threadRecords}) {
        const InstanceRecord* first = records->records.get();
        if (first && !before(&record, first) && before(&record, first + records->count)) {
            ValueText(*records, record, text);
            return;
        }
    }
    text.Format(L"");
}

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
    const perf::PerfCounterDefinition* start;
    bool isProcessObject;

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
        start = r.startCounterIndex ? FindCounter(r.current, object, r.startCounterIndex) : nullptr;
    }
};

void ReadIdentity(InstanceRecord& record, const BuildSources& from, const perf::PerfInstanceDefinition* instance)
{
    perf::SnapshotView current = from.request.current;
    record.instance = instance;
    record.id = ReadCounter32(current, instance, from.idCounter);
    record.name = Wide(perf::InstanceName(current, instance));
    CopyLabel(record.label, record.name);
    record.parentInstance = instance->ParentObjectInstance;
    record.depth = from.request.depth;
    record.flags = from.isProcessObject ? isProcess : isThread;
    record.threadCount = from.isProcessObject ? ReadCounter32(current, instance, from.threadCount) : 0;
    record.creatorId = from.isProcessObject ? ReadCounter32(current, instance, from.creator) : 0;
    record.childCount = 0;
}

void ComputeValue(InstanceRecord& record, const BuildSources& from, const perf::PerfInstanceDefinition* matched)
{
    record.value = 0;
    if (!from.shown)
        return;
    perf::CounterSample now{from.request.current, record.instance, from.shown};
    perf::CounterSample before{from.request.previous, matched, from.previousShown};
    if (!perf::ComputeCounterValue(now, before, record.value, from.request.displayType)) {
        record.value = 0;
        record.flags |= noValue;
    }
}

// Room for `count` records.
bool MakeRoom(RecordArray& records, uint32_t count)
{
    if (count <= records.capacity)
        return true;
    records.records.reset();
    records.capacity = 0;
    uint32_t capacity = count + count / 8;
    records.records.reset(new (std::nothrow) InstanceRecord[capacity]);
    if (records.records)
        records.capacity = capacity;
    return records.records != nullptr;
}

CarriedState CarriedStateOf(const InstanceRecord& record)
{
    return {record.flags & CARRIED_FLAGS, record.matchedPosition, record.value};
}

// What the replaced records carry, saved just before each is overwritten: a
// record after the one being built is read where it is.
struct Carried {
    RecordArray& records;
    uint32_t count;
    uint32_t saved = 0;

    explicit Carried(RecordArray& r) : records(r), count(r.count) { r.carried.resize(count); }

    void SaveUpTo(uint32_t end)
    {
        for (; saved < end && saved < count; ++saved)
            records.carried[saved] = CarriedStateOf(records[saved]);
    }
    bool At(uint32_t position, CarriedState& state) const
    {
        if (position >= count)
            return false;
        state = position < saved ? records.carried[position] : CarriedStateOf(records[position]);
        return true;
    }
};

} // namespace

uint32_t BuildInstanceRecords(const BuildRequest& request, RecordArray& records)
{
    using namespace perf;
    SnapshotView current = request.current;
    BuildSources from(request);

    // Rebuilt from the very snapshot the records came from (another counter
    // or format, or after a failed query): flags carry by position, with no
    // growth shown. Against the same previous snapshot, the matches are kept.
    bool sameSnapshot = records.builtFrom && SameView({records.builtFrom, records.builtFromLength}, current);
    bool keepMatches = sameSnapshot && SameView(records.previous.view, request.previous);
    PreviousInstances& previous = records.previous;
    if (keepMatches)
        IndexPrevious(previous);
    else
        StartPrevious(previous, request, from.isProcessObject);
    Carried carried(records);

    records.count = 0;
    records.builtFrom = current.data;
    records.builtFromLength = current.length;
    records.unmarked = true;
    records.status = 0;
    records.shown = from.shown;
    records.displayType = request.displayType;
    if (!from.object) {
        records.status = IDS_STATUS_NO_PROCESS_OBJECT;
        return 0;
    }
    if (from.object->NumInstances <= 0) {
        records.status = IDS_STATUS_NO_PROCESS_LIST;
        return 0;
    }
    // No more records than the bytes can hold instances.
    uint32_t room = std::min<uint32_t>(InstanceCount(from.object),
                                       current.length / (sizeof(PerfInstanceDefinition) + sizeof(PerfCounterBlock)));
    if (room > records.capacity)
        carried.SaveUpTo(carried.count);
    if (!MakeRoom(records, room))
        return 0;

    uint32_t start = 0, k = 0;
    const PerfInstanceDefinition* instance = FirstInstance(current, from.object);
    for (; k < room && instance; ++k, instance = NextInstance(current, instance)) {
        InstanceRecord& record = records[k];
        carried.SaveUpTo(k + 1);
        ReadIdentity(record, from, instance);
        CarriedState old{};
        uint32_t match = NO_MATCH;
        const PerfInstanceDefinition* matched = nullptr;
        if (keepMatches) {
            if (carried.At(k, old) && old.matchedPosition < previous.instances.size())
                match = old.matchedPosition;
            matched = match != NO_MATCH ? previous.instances[match] : nullptr;
        } else {
            Identity identity{record.id, record.name, CounterData(current, instance, from.start, 8)};
            match = FindPrevious(previous, identity, current, start, matched);
            start = match != NO_MATCH ? match + 1 : 0;
        }
        // The replaced records were built from the previous snapshot, or from
        // this one; either may list fewer instances than the other.
        bool hasOld = carried.At(sameSnapshot ? k : match, old);
        record.matchedPosition = match;
        if (hasOld)
            record.flags |= old.flags;
        ComputeValue(record, from, matched);
        record.previousValue = hasOld && !sameSnapshot ? old.value : record.value;
    }
    records.count = k;
    return k;
}

void OnSnapshotRetired(const uint8_t* bytes)
{
    if (!bytes || modelState.processRecords.builtFrom == bytes || modelState.threadRecords.builtFrom == bytes)
        ReleaseModel();
}

void ForgetGrowth()
{
    for (RecordArray* records : {&modelState.processRecords, &modelState.threadRecords}) {
        for (uint32_t i = 0; i < records->count; ++i)
            (*records)[i].previousValue = (*records)[i].value;
    }
}

void ReleaseModel()
{
    modelState.displayList.clear();
    modelState.displayList.shrink_to_fit();
    modelState.focusRow = -1;
    modelState.selectedRecord = nullptr;
    modelState.placeholderRecords.reset();
    modelState.placeholderCount = 0;
    modelState.placeholderCapacity = 0;
    modelState.indexes = OrderingIndexes();
    modelState.processRecords.Release();
    modelState.threadRecords.Release();
}

} // namespace model
