#include "actions/ContextMenu.h"

#include "actions/Debugger.h"
#include "actions/ObjectCommands.h"
#include "actions/Open.h"
#include "actions/Priority.h"
#include "core/AccessRights.h"
#include "core/WideString.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "security/Summary.h"
#include "ui/Menus.h"
#include "ui/MessageLoop.h"
#include "ui/Platform.h"
#include "view/ViewState.h"

#include <algorithm>

namespace actions {

namespace {

using ui::AppendItem;
using ui::AppendSubmenu;
using ui::Checked;


// A yes/no sub-menu: the command when the right is held, its grant form when
// the list may be changed, otherwise both it and its entry greyed.
void AppendConfirmation(HMENU menu, DWORD mask, DWORD needed, unsigned command, unsigned titleId,
                        unsigned confirmId, unsigned cancelId)
{
    unsigned chosen = (mask & needed) == needed ? command : (mask & WRITE_DAC) ? command + GRANT_OFFSET : CMD_NONE;
    UINT greyed = chosen == CMD_NONE ? MF_GRAYED : 0;
    core::Menu confirm{CreatePopupMenu()};
    AppendItem(confirm.Get(), greyed, chosen, confirmId);
    AppendItem(confirm.Get(), 0, CMD_NONE, cancelId);
    AppendSubmenu(menu, confirm, greyed, titleId);
}

// Rights, the editor's entry and (with Control held) the summary.
void AppendSecurityItems(HMENU menu, HANDLE object, unsigned objectType, DWORD mask)
{
    core::Menu rights{CreatePopupMenu()};
    security::AppendRightsItems(mask, objectType, rights.Get());
    AppendSubmenu(menu, rights, 0, IDS_MENU_YOUR_RIGHTS);
    UINT greyed = (mask & (READ_CONTROL | ACCESS_SYSTEM_SECURITY)) ? 0 : MF_GRAYED;
    if (ui::platform.editSecurityFn)
        AppendItem(menu, greyed, CMD_EDIT_SECURITY, IDS_MENU_SECURITY_DETAILS);
    if (GetKeyState(VK_CONTROL) < 0) {
        core::Menu summary{CreatePopupMenu()};
        security::AppendSecuritySummary(object, objectType, mask, summary.Get());
        AppendSubmenu(menu, summary, greyed, IDS_MENU_SECURITY_DETAILS);
    }
}

void AppendTitled(HMENU menu, core::Menu& submenu, unsigned titleId, const model::InstanceRecord& record)
{
    core::WideString title(core::TextId(titleId));
    title.AppendFormat(L": %ls", record.label);
    AppendSubmenu(menu, submenu, 0, title.Chars());
}

void AppendViewAs(HMENU menu)
{
    const perf::CounterSelection& s = view::viewState.counter;
    if (perf::ViewAsChoice(s.counterType, 0) == perf::DISPLAY_NATURAL)
        return;
    core::Menu choices{CreatePopupMenu()};
    for (uint32_t n = 0; n <= CMD_VIEW_AS_LAST - CMD_VIEW_AS_FIRST; ++n) {
        uint32_t type = perf::ViewAsChoice(s.counterType, n);
        if (type == perf::DISPLAY_NATURAL)
            break;
        // A choice without a label is left out but keeps its number.
        if (unsigned label = perf::DisplayTypeLabel(type, s.counterIndex)) {
            bool on = s.displayType == type || (s.displayType == perf::DISPLAY_NATURAL && n == 0);
            AppendItem(choices.Get(), Checked(on), CMD_VIEW_AS_FIRST + n, label);
        }
    }
    AppendSubmenu(menu, choices, 0, IDS_MENU_VIEW_AS);
}

void AppendCounter(HMENU menu, UINT_PTR command, uint32_t index)
{
    core::WideString text;
    if (const wchar_t* name = perf::CounterName(index))
        text.Append(name);
    else if (text.LoadResourceString(IDS_UNKNOWN))
        text.AppendFormat(L" (%d)", static_cast<int>(index));
    AppendItem(menu, Checked(index == view::viewState.counter.counterIndex), command, text.Chars());
}

// The object's counters, as many as the commands from `first` to `last`
// have room for: those the other object has too go into `shared` (or are
// left out without it), the rest into a sub-menu titled `onlyTitle`. The walk
// stops at the object's own count: the bytes after its last definition are
// its instances, not more counters.
void AppendObjectCounters(HMENU menu, HMENU shared, perf::SnapshotView snapshot, const perf::PerfObjectType* object,
                          const perf::PerfObjectType* other, unsigned first, unsigned last, unsigned noneTitle,
                          unsigned onlyTitle)
{
    const perf::PerfCounterDefinition* counter = perf::FirstCounter(snapshot, object);
    core::Menu only{CreatePopupMenu()};
    uint32_t count = counter ? std::min<uint32_t>(object->NumCounters, last - first + 1) : 0;
    for (uint32_t p = 0; counter && p < count; ++p) {
        uint32_t index = counter->CounterNameTitleIndex;
        if (!perf::FindCounter(snapshot, other, index))
            AppendCounter(only.Get(), first + p, index);
        else if (shared)
            AppendCounter(shared, first + p, index);
        counter = perf::NextCounter(snapshot, counter);
    }
    // Every counter shared with the other object: nothing is this one's own.
    if (GetMenuItemCount(only.Get()) > 0)
        AppendSubmenu(menu, only, 0, onlyTitle);
    else
        AppendItem(menu, MF_GRAYED, CMD_NONE, noneTitle);
}

// Counters both objects have go into the menu itself (as Process counters);
// the others into "Process-only" and "Thread-only".
void AppendCounters(HMENU menu)
{
    perf::SnapshotView snapshot = perf::perfData.currentSnapshot.View();
    const perf::PerfObjectType* process = perf::FindObject(snapshot, perf::counterTable.processObjectIndex);
    const perf::PerfObjectType* thread = perf::FindObject(snapshot, perf::counterTable.threadObjectIndex);
    AppendObjectCounters(menu, menu, snapshot, process, thread, CMD_PROCESS_COUNTER_FIRST, CMD_PROCESS_COUNTER_LAST,
                         IDS_MENU_NO_PROCESS_COUNTERS, IDS_MENU_PROCESS_ONLY);
    AppendObjectCounters(menu, nullptr, snapshot, thread, process, CMD_THREAD_COUNTER_FIRST, CMD_THREAD_COUNTER_LAST,
                         IDS_MENU_NO_THREAD_COUNTERS, IDS_MENU_THREAD_ONLY);
}

} // namespace

void AppendProcessMenu(HMENU menu, const model::InstanceRecord& record)
{
    DWORD mask = 0;
    core::KernelHandle process = OpenProcessProbed(record.id, mask);
    core::Menu p{CreatePopupMenu()};
    AppendConfirmation(p.Get(), mask, PROCESS_TERMINATE, CMD_TERMINATE_PROCESS, IDS_OP_TERMINATE_PROCESS,
                       IDS_MENU_CONFIRM_TERMINATE_PROCESS, IDS_MENU_CANCEL_TERMINATE_PROCESS);
    if (ReadRegisteredDebugger().Length() != 0)
        AppendConfirmation(p.Get(), mask, core::CLASSIC_PROCESS_ALL_ACCESS, CMD_DEBUG_PROCESS, IDS_MENU_DEBUG,
                           IDS_MENU_CONFIRM_DEBUG, IDS_MENU_CANCEL_DEBUG);
    AppendProcessPriorityItems(p.Get(), process.Get(), mask, ui::platform.isWindows2000OrLater);
    AppendSecurityItems(p.Get(), process.Get(), security::OBJECT_PROCESS, mask);
    AppendTitled(menu, p, IDS_SELECTED_PROCESS, record);
}

void AppendThreadMenu(HMENU menu, const model::InstanceRecord& record)
{
    DWORD mask = 0;
    core::KernelHandle thread = OpenThreadProbed(record.id, mask);
    core::Menu t{CreatePopupMenu()};
    AppendConfirmation(t.Get(), mask, THREAD_TERMINATE, CMD_TERMINATE_THREAD, IDS_OP_TERMINATE_THREAD,
                       IDS_MENU_CONFIRM_TERMINATE_THREAD, IDS_MENU_CANCEL_TERMINATE_THREAD);
    AppendThreadPriorityItems(t.Get(), thread.Get(), mask);
    AppendSecurityItems(t.Get(), thread.Get(), security::OBJECT_THREAD, mask);
    AppendTitled(menu, t, IDS_SELECTED_THREAD, record);
}

core::Menu BuildContextMenu(const model::InstanceRecord* record)
{
    core::Menu menu{CreatePopupMenu()};
    HMENU m = menu.Get();
    bool localMachine = perf::perfData.machineKey.Get() == HKEY_LOCAL_MACHINE;
    AppendItem(m, Checked(localMachine), CMD_LOCAL_MACHINE, IDS_MENU_LOCAL_MACHINE);
    AppendItem(m, Checked(!localMachine), CMD_REMOTE_MACHINE, IDS_MENU_REMOTE_MACHINE);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    if (IsLocalRow(record, model::isProcess)) {
        AppendProcessMenu(m, *record);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    if (ui::platform.openThreadFn && IsLocalRow(record, model::isThread)) {
        AppendThreadMenu(m, *record);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    const model::ListOptions& s = view::viewState.options;
    AppendItem(m, Checked(s.showTotal), CMD_SHOW_TOTAL, IDS_MENU_SHOW_TOTAL);
    AppendItem(m, Checked(s.showIdle), CMD_SHOW_IDLE, IDS_MENU_SHOW_IDLE);
    AppendItem(m, Checked(s.showHierarchy), CMD_SHOW_HIERARCHY, IDS_MENU_SHOW_HIERARCHY);
    AppendItem(m, 0, CMD_UPDATE_NOW, IDS_MENU_UPDATE_NOW);
    AppendItem(m, 0, CMD_CONFIGURE, IDS_MENU_CONFIGURE);
    AppendItem(m, Checked(ui::messageLoop.loadGeneratorDialog != nullptr) | (localMachine ? 0 : MF_GRAYED),
                 CMD_LOAD_GENERATOR, IDS_MENU_LOAD_GENERATOR);
    AppendViewAs(m);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    AppendCounters(m);
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    AppendItem(m, 0, CMD_ABOUT_COUNTER, IDS_MENU_ABOUT_COUNTER);
    AppendItem(m, 0, CMD_ABOUT, IDS_MENU_ABOUT);
    return menu;
}

void ShowContextMenu(HWND window, int x, int y, const model::InstanceRecord* record)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    core::Menu menu = BuildContextMenu(record);
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, point.x, point.y, 0, window, nullptr);
}

} // namespace actions
