#include "view/Refresh.h"

#include "model/DisplayList.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "view/Accessible.h"
#include "view/Scroll.h"
#include "view/ViewState.h"
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
    viewState.counter.counterIndex = counter->CounterNameTitleIndex;
    viewState.counter.counterType = counter->CounterType;
}

void FindCounterType(perf::SnapshotView current)
{
    if (const perf::PerfCounterDefinition* counter = FindProcessOrThreadCounter(current, viewState.counter.counterIndex))
        viewState.counter.counterType = counter->CounterType;
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

bool UpdateNow(HWND window)
{
    // A failure box shown while the names load runs its own message loop,
    // which delivers the update timer: that refresh waits for the next tick.
    static bool refreshing = false;
    if (refreshing)
        return false;
    struct Running {
        Running() { refreshing = true; }
        ~Running() { refreshing = false; }
    } running;
    perf::TakeSnapshot(window);
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    if (viewState.counter.counterIndex == 0)
        ChooseDefaultCounter(current);
    if (viewState.counter.counterType == 0xFFFFFFFF)
        FindCounterType(current);
    RefreshView(window);
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

void RefreshView(HWND window)
{
    const perf::CounterNameTable& names = perf::counterTable;
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    perf::SnapshotView previous = perf::perfData.previousSnapshot.View();
    uint32_t counter = viewState.counter.counterIndex, type = viewState.counter.displayType;
    model::ModelState& s = model::modelState;
    uint32_t start = names.elapsedTimeIndex;
    model::BuildInstanceRecords(
        {current, previous, names.processObjectIndex, names.idProcessIndex, counter, 0, type, start},
        s.processRecords);
    model::BuildInstanceRecords(
        {current, previous, names.threadObjectIndex, names.idThreadIndex, counter, 1, type, start},
        s.threadRecords);
    model::BuildDisplayList(viewState.options);
    UpdateScrollRange(window);
    UpdateTray();
    NotifyListChanged(window);
}

void ChooseCounter(uint32_t counterIndex)
{
    viewState.counter.counterIndex = counterIndex;
}

void ShowCounter(HWND window, uint32_t position, uint32_t objectIndex)
{
    perf::CounterSelection& chosen = viewState.counter;
    chosen.displayType = perf::DISPLAY_NATURAL;
    chosen.counterIndex = 0;
    perf::SnapshotView current = perf::perfData.currentSnapshot.View();
    const perf::PerfObjectType* object = perf::FindObject(current, objectIndex);
    if (object && position < object->NumCounters) {
        const perf::PerfCounterDefinition* counter = perf::FirstCounter(current, object);
        for (uint32_t i = 0; i < position && counter; ++i)
            counter = perf::NextCounter(current, counter);
        if (counter) {
            chosen.counterIndex = counter->CounterNameTitleIndex;
            chosen.counterType = counter->CounterType;
        }
    }
    RefreshView(window);
    // No growth or shrinkage is shown for the switch itself.
    model::ForgetGrowth();
    InvalidateRect(window, nullptr, TRUE);
}

void ViewAs(HWND window, uint32_t choice)
{
    uint32_t type = perf::ViewAsChoice(viewState.counter.counterType, choice);
    if (type == viewState.counter.displayType)
        return;
    viewState.counter.displayType = type;
    RefreshView(window);
    InvalidateRect(window, nullptr, TRUE);
}

} // namespace view
