// The rows of the view: processes in snapshot order (or as a tree by creating
// process), each expanded process followed by its threads, Idle and _Total on
// request, and placeholders standing in for creators that have exited.
#pragma once

#include "model/Records.h"

namespace model {

// What the view asks the ordering to show.
struct ListOptions {
    bool showTotal = false;
    bool showIdle = false;
    bool showHierarchy = false; // processes under their creators
};

struct OrderingInputs {
    perf::SnapshotView previous; // names the placeholders of vanished creators
    uint32_t processObjectIndex = 0;
    uint32_t idProcessIndex = 0;
    uint32_t creatingProcessIdIndex = 0;
    ListOptions options;
};

// Orders the records of `s` into its display list and publishes the focused
// row and the selected record from the records' flags.
void BuildDisplayList(ModelState& s, const OrderingInputs& inputs);

// Gives the record of `row` the marks asked for (selected, focused, or both)
// and takes them from every other record, listed or not, so that a later
// listing brings back no second selection or focus; publishes the row. Other
// bits of `marks` are ignored.
void MarkRow(ModelState& s, int32_t row, uint32_t marks);
// Expands or collapses one listed process, or every listed one; the caller
// lists the rows again.
void SetExpanded(ModelState& s, int32_t row, bool expanded);
void SetAllExpanded(ModelState& s, bool expanded);

// The program's own records, with the current connection's previous snapshot.
void BuildDisplayList(const ListOptions& options);

} // namespace model
