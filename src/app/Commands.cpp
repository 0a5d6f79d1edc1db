#include "app/Commands.h"

#include "actions/ContextMenu.h"
#include "actions/Debugger.h"
#include "actions/ObjectCommands.h"
#include "app/Startup.h"
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
#include "ui/Platform.h"
#include "ui/Settings.h"
#include "view/Copy.h"
#include "view/DisplayResources.h"
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
    const model::ModelState& s = model::modelState;
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
    int32_t offset = model::modelState.focusRow - view::viewState.topRow;
    int32_t top = view::viewState.topRow + direction * view::PageRows(window);
    view::ScrollToRow(window, top);
    if (RowCount() > 0)
        SelectAndFocus(window, std::clamp(offset + top, 0, RowCount() - 1));
}

// The displayed counter's help text under its name.
void ShowCounterHelp(HWND window)
{
    uint32_t index = view::viewState.counter.counterIndex;
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

void RunOnFocus(HWND window, unsigned id)
{
    int32_t focus = model::modelState.focusRow;
    switch (id) {
    case CMD_EXPAND_ROW:
        view::ToggleThreads(window, focus, view::EXPAND_ROW);
        break;
    case CMD_PREVIOUS_ROW:
        if (focus > 0)
            SelectAndFocus(window, focus - 1);
        break;
    case CMD_NEXT_ROW:
        if (focus < RowCount() - 1)
            SelectAndFocus(window, focus + 1);
        break;
    }
}

void ConnectLocal(HWND window)
{
    if (perf::ConnectToMachine(window, nullptr))
        UpdateNow(window);
}

void ConnectRemote(HWND window)
{
    if (dialogs::BrowseAndConnect(window))
        UpdateNow(window);
}

using CommandHandler = void (*)(HWND window, unsigned id);

// One row per command or range of commands. A row marked for the grant form
// also takes its commands plus GRANT_OFFSET, which grant the right first.
struct CommandRow {
    unsigned first;
    unsigned last;
    bool grantForm;
    CommandHandler run;
};

constexpr CommandRow COMMANDS[] = {
    {CMD_PROCESS_COUNTER_FIRST, CMD_PROCESS_COUNTER_LAST, false,
     [](HWND w, unsigned id) { view::ShowCounter(w, id - CMD_PROCESS_COUNTER_FIRST, perf::counterTable.processObjectIndex); }},
    {CMD_THREAD_COUNTER_FIRST, CMD_THREAD_COUNTER_LAST, false,
     [](HWND w, unsigned id) { view::ShowCounter(w, id - CMD_THREAD_COUNTER_FIRST, perf::counterTable.threadObjectIndex); }},
    {CMD_VIEW_AS_FIRST, CMD_VIEW_AS_LAST, false, [](HWND w, unsigned id) { view::ViewAs(w, id - CMD_VIEW_AS_FIRST); }},
    {CMD_DEBUG_PROCESS, CMD_DEBUG_PROCESS, true, actions::LaunchDebugger},
    {CMD_TERMINATE_PROCESS, CMD_TERMINATE_PROCESS, true, actions::RunProcessCommand},
    {CMD_ENABLE_PROCESS_BOOST, CMD_ENABLE_PROCESS_BOOST, true, actions::RunProcessCommand},
    {CMD_DISABLE_PROCESS_BOOST, CMD_DISABLE_PROCESS_BOOST, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_IDLE, CMD_PRIORITY_CLASS_IDLE, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_BELOW_NORMAL, CMD_PRIORITY_CLASS_BELOW_NORMAL, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_NORMAL, CMD_PRIORITY_CLASS_NORMAL, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_ABOVE_NORMAL, CMD_PRIORITY_CLASS_ABOVE_NORMAL, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_HIGH, CMD_PRIORITY_CLASS_HIGH, true, actions::RunProcessCommand},
    {CMD_PRIORITY_CLASS_REALTIME, CMD_PRIORITY_CLASS_REALTIME, true, actions::RunProcessCommand},
    {CMD_ENABLE_THREAD_BOOST, CMD_DISABLE_THREAD_BOOST, true, actions::RunThreadCommand},
    {CMD_TERMINATE_THREAD, CMD_TERMINATE_THREAD, true, actions::RunThreadCommand},
    {CMD_THREAD_PRIORITY_FIRST, CMD_THREAD_PRIORITY_LAST, true, actions::RunThreadCommand},
    {CMD_EDIT_SECURITY, CMD_EDIT_SECURITY, false, [](HWND w, unsigned) { actions::EditSelectedSecurity(w); }},
    {CMD_CONTEXT_MENU, CMD_CONTEXT_MENU, false,
     [](HWND w, unsigned) { actions::ShowContextMenu(w, 0, 0, model::modelState.selectedRecord); }},
    {CMD_EXPAND_ROW, CMD_EXPAND_ROW, false, RunOnFocus},
    {CMD_PREVIOUS_ROW, CMD_NEXT_ROW, false, RunOnFocus},
    {CMD_COLLAPSE_OR_PARENT, CMD_COLLAPSE_OR_PARENT, false, [](HWND w, unsigned) { CollapseOrGoToParent(w); }},
    {CMD_PAGE_DOWN, CMD_PAGE_DOWN, false, [](HWND w, unsigned) { MovePage(w, 1); }},
    {CMD_PAGE_UP, CMD_PAGE_UP, false, [](HWND w, unsigned) { MovePage(w, -1); }},
    {CMD_FIRST_ROW, CMD_FIRST_ROW, false, [](HWND w, unsigned) { SelectAndFocus(w, 0); }},
    {CMD_LAST_ROW, CMD_LAST_ROW, false, [](HWND w, unsigned) { SelectAndFocus(w, RowCount() - 1); }},
    {CMD_EXPAND_ALL, CMD_EXPAND_ALL, false, [](HWND w, unsigned) { view::SetAllExpanded(w, view::EXPAND_ROW); }},
    {CMD_COLLAPSE_ALL, CMD_COLLAPSE_ALL, false, [](HWND w, unsigned) { view::SetAllExpanded(w, view::COLLAPSE_ROW); }},
    {CMD_UPDATE_NOW, CMD_UPDATE_NOW, false, [](HWND w, unsigned) { UpdateNow(w); }},
    {CMD_COPY_ROW, CMD_COPY_ROW, false, [](HWND w, unsigned) { view::CopySelectedRow(w); }},
    {CMD_COPY_ALL_ROWS, CMD_COPY_ALL_ROWS, false, [](HWND w, unsigned) { view::CopyAllRows(w); }},
    {CMD_SHOW_TOTAL, CMD_SHOW_TOTAL, false, [](HWND w, unsigned) { view::ToggleListOption(w, view::SHOW_TOTAL); }},
    {CMD_SHOW_IDLE, CMD_SHOW_IDLE, false, [](HWND w, unsigned) { view::ToggleListOption(w, view::SHOW_IDLE); }},
    {CMD_SHOW_HIERARCHY, CMD_SHOW_HIERARCHY, false,
     [](HWND w, unsigned) { view::ToggleListOption(w, view::SHOW_HIERARCHY); }},
    {CMD_LOCAL_MACHINE, CMD_LOCAL_MACHINE, false, [](HWND w, unsigned) { ConnectLocal(w); }},
    {CMD_REMOTE_MACHINE, CMD_REMOTE_MACHINE, false, [](HWND w, unsigned) { ConnectRemote(w); }},
    {CMD_ABOUT_COUNTER, CMD_ABOUT_COUNTER, false, [](HWND w, unsigned) { ShowCounterHelp(w); }},
    {CMD_ABOUT, CMD_ABOUT, false, [](HWND w, unsigned) { dialogs::ShowAboutDialog(w); }},
    {CMD_CONFIGURE, CMD_CONFIGURE, false,
     [](HWND w, unsigned) { dialogs::ShowConfigurationDialog(w, ApplySettingsChange); }},
    {CMD_LOAD_GENERATOR, CMD_LOAD_GENERATOR, false, [](HWND w, unsigned) { dialogs::ToggleLoadGenerator(w); }},
};

bool Routes(const CommandRow& row, unsigned id)
{
    auto within = [&row](unsigned n) { return n >= row.first && n <= row.last; };
    return within(id) || (row.grantForm && id >= GRANT_OFFSET && within(id - GRANT_OFFSET));
}

} // namespace

void UpdateNow(HWND window)
{
    if (view::UpdateNow(window))
        dialogs::UpdateLoadGeneratorActuals();
}

void DispatchCommand(HWND window, unsigned id)
{
    for (const CommandRow& row : COMMANDS) {
        if (Routes(row, id)) {
            row.run(window, id);
            return;
        }
    }
}

// What depends on the settings follows a change made in Configuration: the
// timer (restarted when its period or mode changed), fonts and brushes, and
// the column marks and scroll range that the row height decides.
void ApplySettingsChange(HWND main, const ui::SettingsRecord& before)
{
    const ui::SettingsRecord& now = ui::settings;
    bool timerRuns = before.autoUpdate != 0;
    if (timerRuns && (!now.autoUpdate || now.updateIntervalMs != before.updateIntervalMs)) {
        StopUpdateTimer(main);
        timerRuns = false;
    }
    view::CreateDisplayResources();
    if (!timerRuns && main)
        StartUpdateTimer(main);
    view::ResetColumns();
    if (main) {
        view::UpdateScrollRange(main);
        InvalidateRect(main, nullptr, TRUE);
    }
}

} // namespace app
