#include "ui/Settings.h"

#include "core/Handles.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "resources/resource.h"

#include <cstring>

namespace ui {

SettingsRecord settings;

namespace {

void MendStoredSettings(SettingsRecord& record)
{
    // A stored face name need not be terminated.
    record.font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    // Only the command line sets it, for its own run: a stored copy would stop
    // every later save, the one that could mend the record included.
    record.suppressSave = 0;
    // As the Configuration dialog takes a period of 0: a timer of 0 ms fires
    // as often as the system allows.
    if (record.updateIntervalMs == 0)
        record.autoUpdate = 0;
}

} // namespace

LSTATUS LoadSettings()
{
    core::RegistryKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, key.Put());
    if (status != ERROR_SUCCESS)
        return status;
    // Read aside first: a longer stored value answers ERROR_MORE_DATA and
    // leaves the buffer undefined, and then the defaults stay.
    SettingsRecord stored;
    DWORD size = sizeof(stored);
    status = RegQueryValueExW(key.Get(), SETTINGS_VALUE, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    if (status == ERROR_SUCCESS)
        std::memcpy(&settings, &stored, size < sizeof(stored) ? size : sizeof(stored));
    settings.pendingChanges = 0;
    MendStoredSettings(settings);
    return status;
}

void SaveSettings()
{
    if (settings.suppressSave)
        return;
    core::RegistryKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                     nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_SAVE_SETTINGS_OPEN), status, MB_ICONEXCLAMATION);
        return;
    }
    status = RegSetValueExW(key.Get(), SETTINGS_VALUE, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&settings),
                            sizeof(settings));
    if (status != ERROR_SUCCESS)
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_SAVE_SETTINGS_WRITE), status, MB_ICONEXCLAMATION);
}

void ApplyEdits(const SettingsRecord& opened, const SettingsRecord& edited)
{
    auto take = [&](auto SettingsRecord::*field) {
        if (std::memcmp(&(opened.*field), &(edited.*field), sizeof(edited.*field)) != 0)
            std::memcpy(&(settings.*field), &(edited.*field), sizeof(edited.*field));
    };
    take(&SettingsRecord::processColor);
    take(&SettingsRecord::threadColor);
    take(&SettingsRecord::increaseColor);
    take(&SettingsRecord::decreaseColor);
    take(&SettingsRecord::customColors);
    take(&SettingsRecord::font);
    take(&SettingsRecord::autoUpdate);
    take(&SettingsRecord::updateIntervalMs);
    take(&SettingsRecord::trayShowHighest);
    take(&SettingsRecord::trayShowTotal);
    take(&SettingsRecord::hexIds);
    // The stored layout says a record written after the dialog applied
    // changes holds 1 here, as a copy of the whole working record would.
    settings.pendingChanges = 1;
}

void RememberWindowRect(const RECT& rectangle)
{
    settings.windowRect = rectangle;
}

void SuppressSaving()
{
    settings.suppressSave = 1;
}

void SwitchToManualUpdates()
{
    settings.autoUpdate = 0;
}

} // namespace ui
