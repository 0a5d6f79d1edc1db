// One refresh: a new sample (or the samples held) turned into the rows.
#pragma once

#include "perf/Navigation.h"

#include <windows.h>

#include <cstdint>

namespace view {

// Takes a new snapshot, chooses the Process object's default counter on first
// use, rebuilds and invalidates the window. False, doing nothing, when asked
// again while a refresh runs (from a box that the refresh shows).
bool UpdateNow(HWND window);
// Rebuilds the records and the rows from the snapshots held; the caller
// repaints.
void RefreshView(HWND window);

// The counter to show from the next refresh on (the command line's choice).
void ChooseCounter(uint32_t counterIndex);
// Shows the counter at the 0-based position among the counters of the
// object with that title index; past the last, the default counter returns
// at the next update.
void ShowCounter(HWND window, uint32_t position, uint32_t objectIndex);
// Shows the counter in the n-th of the display formats its type offers.
void ViewAs(HWND window, uint32_t choice);

// The counter with that title index among the Process object's counters, or
// else the Thread object's; null when neither has it.
const perf::PerfCounterDefinition* FindProcessOrThreadCounter(perf::SnapshotView snapshot, uint32_t index);

} // namespace view
