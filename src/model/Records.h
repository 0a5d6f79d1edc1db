// One record per process and per thread of the current snapshot, matched with
// its predecessor of the previous one; and the rows they are shown in.
#pragma once

#include "core/WideString.h"
#include "perf/Navigation.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace model {

enum RecordFlag : uint32_t {
    selected = 0x01,
    focused = 0x02,
    expanded = 0x04,
    listed = 0x08,
    isProcess = 0x10,
    isThread = 0x20,
    visiting = 0x40,
};

constexpr size_t LABEL_CHARS = 32;

struct InstanceRecord {
    const wchar_t* name = label; // in the snapshot, or this record's own label
    wchar_t label[LABEL_CHARS] = {};
    uint32_t id = 0;
    double value = 0;
    double previousValue = 0;
    core::WideString text;
    uint32_t parentInstance = 0;
    uint32_t creatorId = 0;
    uint32_t threadCount = 0;
    uint32_t childCount = 0;
    uint32_t flags = 0;
    uint32_t depth = 0;

    InstanceRecord() = default;
    // `name` may point at the record itself: records stay where they were made.
    InstanceRecord(const InstanceRecord&) = delete;
    InstanceRecord& operator=(const InstanceRecord&) = delete;

    bool Has(uint32_t flag) const { return (flags & flag) != 0; }
    bool NameIsLabel() const { return name == label; }
};

// An array of records made in one allocation, and the snapshot it was built
// from (its records point into it).
struct RecordArray {
    std::unique_ptr<InstanceRecord[]> records;
    uint32_t count = 0;
    const uint8_t* builtFrom = nullptr;
    uint32_t builtFromLength = 0;

    InstanceRecord& operator[](uint32_t i) const { return records[i]; }
    void Release() { *this = RecordArray(); }
};

struct ModelState {
    RecordArray processRecords;
    RecordArray threadRecords;

    std::vector<InstanceRecord*> displayList;
    int32_t focusRow = -1;
    InstanceRecord* selectedRecord = nullptr;
    std::unique_ptr<InstanceRecord[]> placeholderRecords;
    uint32_t placeholderCount = 0;

    bool showTotal = false;
    bool showIdle = false;
    bool showHierarchy = false;

    uint32_t displayCount() const { return static_cast<uint32_t>(displayList.size()); }
};

extern ModelState state;

struct BuildRequest {
    perf::SnapshotView current;
    perf::SnapshotView previous;
    uint32_t objectIndex = 0;
    uint32_t idCounterIndex = 0;
    uint32_t counterIndex = 0; // the displayed counter
    uint32_t depth = 0;
};

// Replaces `records` (the previous refresh's array for this object) with one
// record per instance of the object; returns the count. Sets the status text
// when the object or its instances are missing.
uint32_t BuildInstanceRecords(const BuildRequest& request, RecordArray& records);

// Copies a snapshot name into a record's label, cut to 31 characters.
void CopyLabel(wchar_t* label, const wchar_t* name);

// Releases records, rows and placeholders.
void ReleaseModel();

} // namespace model
