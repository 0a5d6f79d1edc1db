#include "view/Tray.h"

#include "core/WideString.h"
#include "model/Records.h"
#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/Platform.h"
#include "ui/Settings.h"
#include "view/DisplayResources.h"
#include "view/ViewState.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace view {

TrayState tray;
ShellNotifyFunction shellNotify = Shell_NotifyIconW;

namespace {

// The shell never sends it: NIF_MESSAGE is never set.
constexpr UINT TRAY_CALLBACK_MESSAGE = WM_USER;
constexpr size_t TIP_CHARS = sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) - 1;

void CopyTip(wchar_t* field, const wchar_t* tip)
{
    size_t length = std::min(wcslen(tip), TIP_CHARS);
    wmemcpy(field, tip, length);
    field[length] = L'\0';
}

bool ShowsProcessorTime()
{
    const uint32_t index = viewState.counter.counterIndex;
    const perf::CounterNameTable& names = perf::counterTable;
    return (index == names.userTimeIndex || index == names.privilegedTimeIndex ||
            index == names.processorTimeIndex) &&
           perf::perfData.currentSnapshot && perf::perfData.previousSnapshot;
}

struct TrayLoad {
    double sum = 0;
    double fullScale = 1; // the 100 % mark: the number of processors
    double highest = 0;
    const model::InstanceRecord* highestRecord = nullptr;
};

bool IsPseudoProcess(const model::InstanceRecord& record, const char16_t* name)
{
    return record.id == 0 && perf::NameIs(record.name, name);
}

// Idle and _Total are not processes; every other row counts, the ID-0 row of
// the programs the system cannot list included, so the total is the machine's.
TrayLoad MeasureLoad(const model::RecordArray& records)
{
    TrayLoad load;
    load.highestRecord = &records[0];
    for (uint32_t i = 0; i < records.count; ++i) {
        const model::InstanceRecord& record = records[i];
        const double value = std::isnan(record.value) ? 0 : record.value;
        if (IsPseudoProcess(record, perf::IDLE_INSTANCE))
            continue;
        if (IsPseudoProcess(record, perf::TOTAL_INSTANCE)) {
            // After a busy process ended the total can fall below one half.
            load.fullScale = std::max(1.0, std::floor(value + 0.5));
            continue;
        }
        if (!(value > 0))
            continue;
        load.sum += value;
        if (value > load.highest) {
            load.highest = value;
            load.highestRecord = &record;
        }
    }
    return load;
}

// The gauge image of a share of the whole, 0 to 1.
HICON GaugeIcon(double share)
{
    const double last = TRAY_LEVELS - 1;
    const double level = std::floor(share * TRAY_LEVELS);
    return display.trayIcons[static_cast<int>(level >= 0 ? std::min(level, last) : 0)].Get();
}

} // namespace

void SetTrayIcon(UINT id, HICON icon, const wchar_t* tip)
{
    if (id != TRAY_ID_HIGHEST && id != TRAY_ID_TOTAL)
        return;
    NOTIFYICONDATAW& record = tray.records[id - 1];
    record.hWnd = ui::platform.mainWindow;
    record.uID = id;
    record.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    if (!icon && !tip) {
        if (record.szTip[0] || record.hIcon)
            shellNotify(NIM_DELETE, &record);
        return;
    }
    CopyTip(record.szTip, tip ? tip : L"");
    record.hIcon = icon;
    record.uFlags = (tip ? NIF_TIP : 0u) | (icon ? NIF_ICON : 0u);
    // Fails for an icon the shell does not have: the first show, and every
    // show after a removal or a restart of the shell.
    if (!shellNotify(NIM_MODIFY, &record))
        shellNotify(NIM_ADD, &record);
}

void RemoveTrayIcons()
{
    SetTrayIcon(TRAY_ID_HIGHEST, nullptr, nullptr);
    SetTrayIcon(TRAY_ID_TOTAL, nullptr, nullptr);
}

void UpdateTray()
{
    if (!ShowsProcessorTime() || (!ui::settings.trayShowHighest && !ui::settings.trayShowTotal)) {
        RemoveTrayIcons();
        return;
    }
    const model::RecordArray& records = model::modelState.processRecords;
    if (records.count == 0)
        return;
    const TrayLoad load = MeasureLoad(records);
    core::WideString tip;

    if (ui::settings.trayShowHighest) {
        // The tip is relative to one processor, the gauge to the whole machine.
        const double highest = std::min(load.highest, load.fullScale);
        tip.Format(L"%ls %.3g%%", load.highestRecord->name, highest * 100);
        SetTrayIcon(TRAY_ID_HIGHEST, GaugeIcon(highest / load.fullScale), tip.Chars());
    } else {
        SetTrayIcon(TRAY_ID_HIGHEST, nullptr, nullptr);
    }

    if (ui::settings.trayShowTotal) {
        const double total = std::min(load.sum / load.fullScale, 1.0);
        tip.FormatResource(IDS_TRAY_TOTAL, total * 100);
        SetTrayIcon(TRAY_ID_TOTAL, GaugeIcon(total), tip.Chars());
    } else {
        SetTrayIcon(TRAY_ID_TOTAL, nullptr, nullptr);
    }
}

} // namespace view
