#include "app/Commands.h"

#include "actions/ContextMenu.h"
#include "actions/Debugger.h"
#include "actions/ObjectCommands.h"
#include "core/WideString.h"
#include "dialogs/About.h"
#include "dialogs/ComputerName.h"
#include "dialogs/Configuration.h"
#include "dialogs/LoadGenerator.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "security/Editor.h"
#include "view/Refresh.h"
#include "view/Scroll.h"
#include "view/ViewState.h"

#include <algorithm>

namespace app {

namespace {

using view::FOCUS;
using view::RowCount;
using view::SELECT;

void SelectAndFocus(HWND window, int32_t row)
{
    view::SelectRow(window, row, SELECT | FOCUS);
}

// Left: a collapsed row below the first goes to the nearest row above it
// that is less deep (a thread's process, a child's parent); anything else
// collapses.
void CollapseOrGoToParent(HWND window)
{
    const model::ModelState& s = model::state;
    int32_t focus = s.focusRow;
    if (focus > 0 && focus < RowCount() && !s.displayList[focus]->Has(model::expanded)) {
        uint32_t depth = s.displayList[focus]->depth;
        for (int32_t i = focus - 1; i >= 0; --i) {
            if (s.displayList[i]->depth < depth) {
                SelectAndFocus(window, i);
                return;
            }
        }
        return;
    }
    view::ToggleThreads(window, focus, view::COLLAPSE_ROW);
}

// The focus keeps its place on the screen while the view moves a page.
void MovePage(HWND window, int32_t direction)
{
    int32_t offset = model::state.focusRow - view::state.topRow;
    int32_t top = view::state.topRow + direction * view::PageRows(window);
    view::ScrollToRow(window, top);
    if (RowCount() > 0)
        SelectAndFocus(window, std::clamp(offset + top, 0, RowCount() - 1));
}

// Show Total, Show Idle and Show Process Hierarchy reorder the rows held.
void ToggleOption(HWND window, bool& option, bool resetColumns)
{
    option = !option;
    if (resetColumns)
        view::state.columns = view::ColumnWidths();
    view::RelistRows(window);
}

void ViewAs(HWND window, uint32_t choice)
{
    uint32_t type = perf::ViewAsChoice(perf::selection.counterType, choice);
    if (type == perf::selection.displayType)
        return;
    perf::selection.displayType = type;
    view::RefreshView(window);
    InvalidateRect(window, nullptr, TRUE);
}

// The displayed counter's help text under its name.
void ShowCounterHelp(HWND window)
{
    uint32_t index = perf::selection.counterIndex;
    const perf::PerfCounterDefinition* counter =
        view::FindProcessOrThreadCounter(perf::perfData.currentSnapshot.View(), index);
    uint32_t helpIndex = counter && counter->CounterHelpTitleIndex ? counter->CounterHelpTitleIndex : index + 1;
    const wchar_t* help = perf::CounterHelp(helpIndex);
    core::WideString noHelp(core::TextId(IDS_NO_COUNTER_HELP));
    core::WideString text(core::TextId(IDS_COUNTER_ID));
    text.AppendFormat(L": %u\n\n%ls", index, help ? help : noHelp.Chars());
    const wchar_t* name = index ? perf::CounterName(index) : nullptr;
    core::WideString caption(name ? name : core::TextId(IDS_UNNAMED_COUNTER));
    MessageBoxW(window, text.Chars(), caption.Chars(), MB_ICONINFORMATION);
}

bool InRange(unsigned id, unsigned first, unsigned last)
{
    return id >= first && id <= last;
}

bool RunKeyCommand(HWND window, unsigned id)
{
    int32_t focus = model::state.focusRow;
    switch (id) {
    case CMD_EXPAND_ROW:
        view::ToggleThreads(window, focus, view::EXPAND_ROW);
        return true;
    case CMD_COLLAPSE_OR_PARENT:
        CollapseOrGoToParent(window);
        return true;
    case CMD_PREVIOUS_ROW:
        if (focus > 0)
            SelectAndFocus(window, focus - 1);
        return true;
    case CMD_NEXT_ROW:
        if (focus < RowCount() - 1)
            SelectAndFocus(window, focus + 1);
        return true;
    case CMD_PAGE_DOWN:
        MovePage(window, 1);
        return true;
    case CMD_PAGE_UP:
        MovePage(window, -1);
        return true;
    case CMD_FIRST_ROW:
        SelectAndFocus(window, 0);
        return true;
    case CMD_LAST_ROW:
        SelectAndFocus(window, RowCount() - 1);
        return true;
    case CMD_EXPAND_ALL:
        view::SetAllExpanded(window, view::EXPAND_ROW);
        return true;
    case CMD_COLLAPSE_ALL:
        view::SetAllExpanded(window, view::COLLAPSE_ROW);
        return true;
    }
    return false;
}

void RunViewCommand(HWND window, unsigned id)
{
    model::ModelState& s = model::state;
    switch (id) {
    case CMD_UPDATE_NOW:
        view::UpdateNow(window);
        break;
    case CMD_SHOW_TOTAL:
        ToggleOption(window, s.showTotal, false);
        break;
    case CMD_SHOW_IDLE:
        ToggleOption(window, s.showIdle, false);
        break;
    case CMD_SHOW_HIERARCHY:
        ToggleOption(window, s.showHierarchy, true);
        break;
    case CMD_LOCAL_MACHINE:
        if (perf::ConnectToMachine(window, nullptr))
            view::UpdateNow(window);
        break;
    case CMD_REMOTE_MACHINE:
        if (dialogs::BrowseAndConnect(window))
            view::UpdateNow(window);
        break;
    case CMD_ABOUT_COUNTER:
        ShowCounterHelp(window);
        break;
    case CMD_ABOUT:
        dialogs::ShowAboutDialog(window);
        break;
    case CMD_CONFIGURE:
        dialogs::ShowConfigurationDialog(window);
        break;
    case CMD_LOAD_GENERATOR:
        dialogs::ToggleLoadGenerator(window);
        break;
    }
}

} // namespace

void SelectCounter(HWND window, uint32_t position, uint32_t objectIndex)
{
    perf::CounterSelection& chosen = perf::selection;
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
    view::RefreshView(window);
    // No growth or shrinkage is shown for the switch itself.
    for (model::RecordArray* records : {&model::state.processRecords, &model::state.threadRecords}) {
        for (uint32_t i = 0; i < records->count; ++i)
            (*records)[i].previousValue = (*records)[i].value;
    }
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT DispatchCommand(HWND window, unsigned, WPARAM wParam, LPARAM)
{
    unsigned id = LOWORD(wParam);
    if (InRange(id, CMD_PROCESS_COUNTER_FIRST, CMD_PROCESS_COUNTER_LAST))
        SelectCounter(window, id - CMD_PROCESS_COUNTER_FIRST, perf::counterTable.processObjectIndex);
    else if (InRange(id, CMD_THREAD_COUNTER_FIRST, CMD_THREAD_COUNTER_LAST))
        SelectCounter(window, id - CMD_THREAD_COUNTER_FIRST, perf::counterTable.threadObjectIndex);
    else if (InRange(id, CMD_VIEW_AS_FIRST, CMD_VIEW_AS_LAST))
        ViewAs(window, id - CMD_VIEW_AS_FIRST);
    else if (id == CMD_DEBUG_PROCESS || id == CMD_DEBUG_PROCESS + GRANT_OFFSET)
        actions::LaunchDebugger(window, id);
    else if (actions::IsThreadCommand(id))
        actions::RunThreadCommand(window, id);
    else if (actions::IsProcessCommand(id))
        actions::RunProcessCommand(window, id);
    else if (id == CMD_CONTEXT_MENU)
        actions::ShowContextMenu(window, 0, 0, model::state.selectedRecord);
    else if (id == CMD_EDIT_SECURITY)
        security::EditSelectedSecurity(window);
    else if (!RunKeyCommand(window, id))
        RunViewCommand(window, id);
    return 0;
}

} // namespace app
