// One refresh: a new sample (or the samples held) turned into the rows.
#pragma once

#include "perf/Navigation.h"

#include <windows.h>

namespace view {

// Takes a new snapshot, chooses the Process object's default counter on first
// use, rebuilds and invalidates the window.
void UpdateNow(HWND window);
// Rebuilds the records and the rows from the snapshots held; the caller
// repaints.
void RefreshView(HWND window);

// The counter with that title index among the Process object's counters, or
// else the Thread object's; null when neither has it.
const perf::PerfCounterDefinition* FindProcessOrThreadCounter(perf::SnapshotView snapshot, uint32_t index);

} // namespace view
