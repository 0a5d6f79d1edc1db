// The two notification-area gauges shown while a processor-time counter is
// displayed: the busiest process, and all processes together.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace view {

constexpr UINT TRAY_ID_HIGHEST = 1;
constexpr UINT TRAY_ID_TOTAL = 2;

using ShellNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);

// The version-2 layout: the shell reads no field past it.
inline NOTIFYICONDATAW EmptyTrayRecord()
{
    NOTIFYICONDATAW record = {};
    record.cbSize = NOTIFYICONDATAW_V2_SIZE;
    return record;
}

struct TrayState {
    // By icon id - 1; each keeps its last tip and icon for the whole run, so
    // that a removal knows whether there is anything to remove.
    NOTIFYICONDATAW records[2] = {EmptyTrayRecord(), EmptyTrayRecord()};
};

extern TrayState tray;
// The shell's call; tests record the calls instead.
extern ShellNotifyFunction shellNotify;

// Shows or changes icon `id` (1 or 2) with an icon and a tip (either may be
// null, the tip is cut to 127 characters); with neither, removes it. Failures
// are not reported: the next refresh tries again.
void SetTrayIcon(UINT id, HICON icon, const wchar_t* tip);
void RemoveTrayIcons();

// Recomputes both icons from the process records of the latest refresh; both
// go while the counter shown is not a processor time or both are switched off.
void UpdateTray();

} // namespace view
