#include "view/Refresh.h"

#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "view/Scroll.h"
#include "view/Tray.h"

namespace view {

namespace {

// The Process object's default counter. Its position comes from the data
// (perhaps a remote machine's): one outside the object's counters means the
// first counter.
void ChooseDefaultCounter(perf::SnapshotView current)
{
    const perf::PerfObjectType* object = perf::FindObject(current, perf::counterTable.processObjectIndex);
    const perf::PerfCounterDefinition* counter = perf::FirstCounter(current, object);
    if (!counter)
        return;
    int32_t steps = object->DefaultCounter;
    if (steps < 0 || static_cast<uint32_t>(steps) >= object->NumCounters)
        steps = 0;
    for (const perf::PerfCounterDefinition* next = counter; steps > 0 && next; --steps) {
        next = perf::NextCounter(current, next);
        if (next)
            counter = next;
    }
    perf::selection.counterIndex = counter->CounterNameTitleIndex;
    perf::selection.counterType = counter->CounterType;
}

void FindCounterType(perf::SnapshotView current)
{
    if (const perf::PerfCounterDefinition* counter = FindProcessOrThreadCounter(current, perf::selection.counterIndex))
        perf::selection.counterType = counter->CounterType;
}

} // namespace

const perf::PerfCounterDefinition* FindProcessOrThreadCounter(perf::SnapshotView snapshot, uint32_t index)
{
    const perf::CounterNameTable& names = perf::counterTable;
    const perf::PerfCounterDefinition* counter =
        perf::FindCounter(snapshot, perf::FindObject(snapshot, names.processObjectIndex), index);
    if (!counter)
        counter = perf::FindCounter(snapshot, perf::FindObject(snapshot, names.threadObjectIndex), index);
    return counter;
}

void UpdateNow(HWND window)
{
    perf::TakeSnapshot(window);
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    if (perf::selection.counterIndex == 0)
        ChooseDefaultCounter(current);
    if (perf::selection.counterType == 0xFFFFFFFF)
        FindCounterType(current);
    RefreshView(window);
    InvalidateRect(window, nullptr, TRUE);
}

void RefreshView(HWND window)
{
    const perf::CounterNameTable& names = perf::counterTable;
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    perf::SnapshotView previous = perf::perfData.previousSnapshot.View();
    uint32_t counter = perf::selection.counterIndex;
    model::ModelState& s = model::state;
    s.processRecords.count = model::BuildInstanceRecords(
        {current, previous, names.processObjectIndex, names.idProcessIndex, counter, 0}, s.processRecords);
    s.threadRecords.count = model::BuildInstanceRecords(
        {current, previous, names.threadObjectIndex, names.idThreadIndex, counter, 1}, s.threadRecords);
    model::BuildDisplayList();
    UpdateScrollRange(window);
    UpdateTray();
}

} // namespace view
