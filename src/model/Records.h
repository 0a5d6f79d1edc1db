// One record per process and per thread of the current snapshot, matched with
// its predecessor of the previous one; and the rows they are shown in.
#pragma once

#include "core/WideString.h"
#include "perf/CounterValues.h"
#include "perf/Navigation.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#if defined(_M_X64) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace model {

// A hint that memory is wanted soon, for walks the processor cannot foresee
// or that run over more memory than its caches hold.
inline void Prefetch(const void* address)
{
#if defined(_M_X64) || defined(__x86_64__)
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
    (void)address;
#endif
}

enum RecordFlag : uint32_t {
    selected = 0x01,
    focused = 0x02,
    expanded = 0x04,
    listed = 0x08,
    isProcess = 0x10,
    isThread = 0x20,
    visiting = 0x40,
    noValue = 0x80, // the counter could not be computed: its text is "***"
};

constexpr size_t LABEL_CHARS = 32;
constexpr uint32_t NO_MATCH = 0xFFFFFFFF;

// What a refresh reads and writes comes first; the label, read only where a
// name is cut or composed, last. Two cache lines on x64.
struct InstanceRecord {
    const wchar_t* name = label; // in the snapshot, or this record's own label
    // In the snapshot the record was built from; null for a placeholder.
    const perf::PerfInstanceDefinition* instance = nullptr;
    double value = 0;
    double previousValue = 0;
    uint32_t id = 0;
    uint32_t parentInstance = 0;
    uint32_t creatorId = 0;
    uint32_t threadCount = 0;
    uint32_t childCount = 0;
    uint32_t flags = 0;
    uint32_t depth = 0;
    uint32_t matchedPosition = NO_MATCH; // of its predecessor in the previous snapshot's object
    wchar_t label[LABEL_CHARS] = {};

    InstanceRecord() = default;
    // `name` may point at the record itself: records stay where they were made.
    InstanceRecord(const InstanceRecord&) = delete;
    InstanceRecord& operator=(const InstanceRecord&) = delete;

    bool Has(uint32_t flag) const { return (flags & flag) != 0; }
    bool NameIsLabel() const { return name == label; }
};

using IdPosition = std::pair<uint32_t, uint32_t>;
using KeyPosition = std::pair<uint64_t, uint32_t>;

// The instances of one object in the snapshot a build matched against: a
// walk alongside the current instances while both lists agree, then (made on
// first need) every instance by position and sorted keys.
struct PreviousInstances {
    perf::SnapshotView view;
    const perf::PerfObjectType* object = nullptr;
    const perf::PerfCounterDefinition* idCounter = nullptr;
    const perf::PerfCounterDefinition* startCounter = nullptr; // null: starts are not compared
    bool matchNames = false;
    uint32_t walkPosition = 0;
    const perf::PerfInstanceDefinition* walkInstance = nullptr;
    bool indexed = false;
    std::vector<const perf::PerfInstanceDefinition*> instances;
    std::vector<uint32_t> ids;
    std::vector<KeyPosition> byId;
    std::vector<KeyPosition> byName;
};

// What a build takes over from the records it replaces, by their position.
struct CarriedState {
    uint32_t flags;
    uint32_t matchedPosition;
    double value;
};

// The records of one object, made in one allocation and rebuilt in place
// while they fit; the snapshot they were built from (they point into it), the
// counter they show there and how, and the snapshot they were matched against.
struct RecordArray {
    std::unique_ptr<InstanceRecord[]> records;
    uint32_t count = 0;
    uint32_t capacity = 0;
    const uint8_t* builtFrom = nullptr;
    uint32_t builtFromLength = 0;
    const perf::PerfCounterDefinition* shown = nullptr; // null: the object has no such counter
    uint32_t displayType = perf::DISPLAY_NATURAL;
    bool unmarked = false; // built since the last ordering pass: no record is listed
    unsigned status = 0;   // the string id saying what the last build missed, or 0
    PreviousInstances previous;
    std::vector<CarriedState> carried;

    InstanceRecord& operator[](uint32_t i) const { return records[i]; }
    void Release() { *this = RecordArray(); }
};

// Placeholder IDs and their positions, by open addressing in a reused table:
// adding one allocates nothing.
struct IdTable {
    std::vector<IdPosition> slots; // ID 0 marks a free slot
    uint32_t mask = 0;
};

// The ordering's indexes, kept from pass to pass so that a steady state
// allocates nothing.
struct OrderingIndexes {
    std::vector<uint32_t> threadStart; // per process position, into threadOrder
    std::vector<uint32_t> threadOrder;
    std::vector<uint32_t> threadParent;
    std::vector<IdPosition> processesById;
    std::vector<IdPosition> childrenByCreator;
    std::vector<IdPosition> placeholdersByCreator;
    std::vector<IdPosition> oldPlaceholdersById;
    IdTable placeholdersById;
    struct PreviousProcess {
        uint32_t id;
        uint32_t position;
        const perf::PerfInstanceDefinition* instance;
    };
    std::vector<PreviousProcess> previousProcesses; // by ID, then position
    // A record whose children are being listed, or one on a chain of creators.
    struct Frame {
        InstanceRecord* record;
        uint32_t position; // in the process or the placeholder array
        bool isPlaceholder;
        bool inPlaceholders; // its process children are done
        size_t cursor;
    };
    std::vector<Frame> stack;
    // The previous pass's placeholders while a pass runs; then the spare array.
    std::unique_ptr<InstanceRecord[]> sparePlaceholders;
    uint32_t spareCapacity = 0;
};

struct ModelState {
    RecordArray processRecords;
    RecordArray threadRecords;

    std::vector<InstanceRecord*> displayList;
    int32_t focusRow = -1;
    InstanceRecord* selectedRecord = nullptr;
    std::unique_ptr<InstanceRecord[]> placeholderRecords;
    uint32_t placeholderCount = 0;
    uint32_t placeholderCapacity = 0;
    OrderingIndexes indexes;

    uint32_t displayCount() const { return static_cast<uint32_t>(displayList.size()); }
};

extern ModelState modelState;

struct BuildRequest {
    perf::SnapshotView current;
    perf::SnapshotView previous;
    uint32_t objectIndex = 0;
    uint32_t idCounterIndex = 0;
    uint32_t counterIndex = 0; // the displayed counter
    uint32_t depth = 0;
    uint32_t displayType = perf::DISPLAY_NATURAL; // how its values are computed and shown
    // IDs are reused: an instance is its predecessor only when the counter of
    // this index (the creation time) agrees too, where both snapshots have it.
    uint32_t startCounterIndex = 0;
};

// Rebuilds `records` (the previous refresh's array for this object) with one
// record per instance of the object; returns the count. A process is matched
// with its predecessor by ID and name, a thread by ID (its name is only its
// position); ID 0 by name alone. Sets the records'
// status when the object or its instances are missing.
uint32_t BuildInstanceRecords(const BuildRequest& request, RecordArray& records);

// The text of a record's value, made when something shows it: the records
// keep only what it is made from. A record of none of the model's arrays (a
// placeholder) has the empty text.
void ValueText(const RecordArray& records, const InstanceRecord& record, core::WideString& text);
void ValueText(const InstanceRecord& record, core::WideString& text);

// Copies a snapshot name into a record's label, cut to 31 characters.
void CopyLabel(wchar_t* label, const wchar_t* name);

// Every record's previous value becomes its value: a change of counter
// shows no growth or shrinkage.
void ForgetGrowth();

// Records point into the snapshot they were built from: they go with it.
// Installed as the snapshots' retirement hook by whatever takes snapshots
// and builds records on them.
void OnSnapshotRetired(const uint8_t* bytes);

// Releases records, rows and placeholders.
void ReleaseModel();

} // namespace model
