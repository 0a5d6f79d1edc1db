#include "actions/Priority.h"

#include "actions/Open.h"
#include "core/Handles.h"
#include "core/WideString.h"
#include "resources/resource.h"
#include "ui/Menus.h"

namespace actions {

namespace {

using ui::AppendItem;
using ui::AppendSubmenu;

struct PriorityClass {
    unsigned command;
    unsigned text;
    DWORD value;
    bool middle;
};

constexpr PriorityClass PRIORITY_CLASSES[] = {
    {CMD_PRIORITY_CLASS_IDLE, IDS_PRIORITY_IDLE, IDLE_PRIORITY_CLASS, false},
    {CMD_PRIORITY_CLASS_BELOW_NORMAL, IDS_PRIORITY_BELOW_NORMAL, BELOW_NORMAL_PRIORITY_CLASS, true},
    {CMD_PRIORITY_CLASS_NORMAL, IDS_PRIORITY_NORMAL, NORMAL_PRIORITY_CLASS, false},
    {CMD_PRIORITY_CLASS_ABOVE_NORMAL, IDS_PRIORITY_ABOVE_NORMAL, ABOVE_NORMAL_PRIORITY_CLASS, true},
    {CMD_PRIORITY_CLASS_HIGH, IDS_PRIORITY_HIGH, HIGH_PRIORITY_CLASS, false},
    {CMD_PRIORITY_CLASS_REALTIME, IDS_PRIORITY_REALTIME, REALTIME_PRIORITY_CLASS, false},
};

struct ThreadPriority {
    int value;
    unsigned text;
};

constexpr ThreadPriority NAMED_THREAD_PRIORITIES[] = {
    {THREAD_PRIORITY_IDLE, IDS_PRIORITY_IDLE},
    {THREAD_PRIORITY_LOWEST, IDS_PRIORITY_LOW},
    {THREAD_PRIORITY_BELOW_NORMAL, IDS_PRIORITY_BELOW_NORMAL},
    {THREAD_PRIORITY_NORMAL, IDS_PRIORITY_NORMAL},
    {THREAD_PRIORITY_ABOVE_NORMAL, IDS_PRIORITY_ABOVE_NORMAL},
    {THREAD_PRIORITY_HIGHEST, IDS_PRIORITY_HIGH},
    {THREAD_PRIORITY_TIME_CRITICAL, IDS_PRIORITY_TIME_CRITICAL},
};

// The command offset for a change: 0 when the right is held, the grant offset
// when it can be granted; `enabled` is false when neither.
struct ChangeAccess {
    unsigned offset;
    bool enabled;
};

ChangeAccess AccessFor(DWORD mask, DWORD setRight)
{
    if (mask & setRight)
        return {0, true};
    if (mask & WRITE_DAC)
        return {GRANT_OFFSET, true};
    return {0, false};
}

// One item: checked while boost is on, and choosing it flips the state.
void AppendBoostItem(HMENU menu, bool queried, BOOL disabled, ChangeAccess access, unsigned enableCommand,
                     unsigned disableCommand, unsigned textId)
{
    if (!queried) {
        AppendItem(menu, MF_STRING | MF_GRAYED, CMD_NONE, textId);
        return;
    }
    UINT flags = MF_STRING | (disabled ? MF_UNCHECKED : MF_CHECKED) | (access.enabled ? 0 : MF_GRAYED);
    unsigned command = disabled ? enableCommand : disableCommand;
    AppendItem(menu, flags, access.enabled ? command + access.offset : CMD_NONE, textId);
}

} // namespace

void AppendProcessPriorityItems(HMENU menu, HANDLE process, DWORD mask, bool withMiddleClasses)
{
    if (!(mask & PROCESS_QUERY_INFORMATION))
        return;
    ChangeAccess access = AccessFor(mask, PROCESS_SET_INFORMATION);
    BOOL disabled = FALSE;
    bool queried = GetProcessPriorityBoost(process, &disabled) != FALSE;
    AppendBoostItem(menu, queried, disabled, access, CMD_ENABLE_PROCESS_BOOST, CMD_DISABLE_PROCESS_BOOST,
                    IDS_OP_ENABLE_PROCESS_BOOST);

    core::Menu classes{CreatePopupMenu()};
    UINT flags = MF_STRING | (access.enabled ? 0 : MF_GRAYED);
    for (const PriorityClass& entry : PRIORITY_CLASSES)
        if (!entry.middle || withMiddleClasses)
            AppendItem(classes.Get(), flags, entry.command + access.offset, entry.text);
    DWORD current = GetPriorityClass(process);
    if (current == 0)
        return;
    for (const PriorityClass& entry : PRIORITY_CLASSES)
        if (entry.value == current)
            CheckMenuRadioItem(classes.Get(), CMD_PRIORITY_CLASS_IDLE + access.offset,
                               CMD_PRIORITY_CLASS_REALTIME + access.offset, entry.command + access.offset,
                               MF_BYCOMMAND);
    AppendSubmenu(menu, classes, 0, IDS_MENU_PRIORITY_CLASS);
}

void AppendThreadPriorityItems(HMENU menu, HANDLE thread, DWORD mask)
{
    if (!(mask & THREAD_QUERY_INFORMATION))
        return;
    ChangeAccess access = AccessFor(mask, THREAD_SET_INFORMATION);
    BOOL disabled = FALSE;
    bool queried = GetThreadPriorityBoost(thread, &disabled) != FALSE;
    AppendBoostItem(menu, queried, disabled, access, CMD_ENABLE_THREAD_BOOST, CMD_DISABLE_THREAD_BOOST,
                    IDS_OP_ENABLE_THREAD_BOOST);

    unsigned base = CMD_THREAD_PRIORITY_BASE + access.offset;
    UINT flags = MF_STRING | (access.enabled ? 0 : MF_GRAYED);
    core::Menu priorities{CreatePopupMenu()};
    int current = GetThreadPriority(thread);
    for (const ThreadPriority& entry : NAMED_THREAD_PRIORITIES) {
        // A value between the named ones is shown, greyed, where it falls.
        bool below = entry.value == THREAD_PRIORITY_LOWEST && current >= -14 && current <= -3;
        bool above = entry.value == THREAD_PRIORITY_TIME_CRITICAL && current >= 3 && current <= 14;
        if (below || above) {
            core::WideString text;
            text.Format(L"%+d", current);
            AppendMenuW(priorities.Get(), MF_STRING | MF_GRAYED, base + current, text.Chars());
        }
        AppendItem(priorities.Get(), flags, base + entry.value, entry.text);
    }
    if (current >= THREAD_PRIORITY_IDLE && current <= THREAD_PRIORITY_TIME_CRITICAL)
        CheckMenuRadioItem(priorities.Get(), base - 15, base + 15, base + current, MF_BYCOMMAND);
    AppendSubmenu(menu, priorities, 0, IDS_MENU_PRIORITY);
}

namespace {

bool Reported(HWND owner, BOOL succeeded, unsigned operation)
{
    if (!succeeded)
        ReportLastError(owner, operation);
    return succeeded != FALSE;
}

} // namespace

BoostSetters boostSetters;

bool PerformProcessPriorityCommand(HWND owner, HANDLE process, unsigned command)
{
    // The call's flag says whether boosting is disabled.
    if (command == CMD_ENABLE_PROCESS_BOOST)
        return Reported(owner, boostSetters.process(process, FALSE), IDS_OP_ENABLE_PROCESS_BOOST);
    if (command == CMD_DISABLE_PROCESS_BOOST)
        return Reported(owner, boostSetters.process(process, TRUE), IDS_OP_DISABLE_PROCESS_BOOST);
    for (const PriorityClass& entry : PRIORITY_CLASSES)
        if (entry.command == command)
            return Reported(owner, SetPriorityClass(process, entry.value), IDS_OP_SET_PROCESS_PRIORITY);
    return false;
}

bool PerformThreadPriorityCommand(HWND owner, HANDLE thread, unsigned command)
{
    if (command == CMD_ENABLE_THREAD_BOOST)
        return Reported(owner, boostSetters.thread(thread, FALSE), IDS_OP_ENABLE_THREAD_BOOST);
    if (command == CMD_DISABLE_THREAD_BOOST)
        return Reported(owner, boostSetters.thread(thread, TRUE), IDS_OP_DISABLE_THREAD_BOOST);
    if (command >= CMD_THREAD_PRIORITY_FIRST && command <= CMD_THREAD_PRIORITY_LAST)
        return Reported(owner, SetThreadPriority(thread, static_cast<int>(command) - CMD_THREAD_PRIORITY_BASE),
                        IDS_OP_SET_THREAD_PRIORITY);
    return false;
}

} // namespace actions
