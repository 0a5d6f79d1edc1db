// The main view's own state: the counter shown and how, what the list shows,
// the scroll position and the painter's column marks, which only grow until
// the settings or the ordering change.
#pragma once

#include "model/DisplayList.h"
#include "perf/CounterValues.h"

#include <cstdint>

namespace view {

struct ColumnWidths {
    int32_t id = 0;
    int32_t name = 0;      // the largest indentation plus name width
    int32_t valueText = 0; // kept for the record; it takes no part in the layout
};

// What the scroll bar was last given (the bar itself may hold a page cut to its range).
struct ScrollRange {
    int32_t maximum = -1;
    int32_t page = -1;
};

struct ViewState {
    perf::CounterSelection counter;
    model::ListOptions options;
    int32_t topRow = 0; // also the vertical scroll bar's position
    ScrollRange scrollRange;
    ColumnWidths columns;
};

extern ViewState viewState;

// The height of one row to lay out and divide by: a font that failed to
// load may have measured 0.
int RowHeight();

} // namespace view
