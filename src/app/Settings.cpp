#include "app/Settings.h"

#include "core/Report.h"
#include "core/WideString.h"
#include "resources/resource.h"

#include <cstring>

namespace app {

SettingsRecord settings;

LSTATUS LoadSettings()
{
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        return status;
    // Read aside first: a longer stored value answers ERROR_MORE_DATA and
    // leaves the buffer undefined, and then the defaults stay.
    SettingsRecord stored;
    DWORD size = sizeof(stored);
    status = RegQueryValueExW(key, SETTINGS_VALUE, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    if (status == ERROR_SUCCESS)
        std::memcpy(&settings, &stored, size < sizeof(stored) ? size : sizeof(stored));
    settings.pendingChanges = 0;
    RegCloseKey(key);
    return status;
}

void SaveSettings()
{
    if (settings.suppressSave)
        return;
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_SAVE_SETTINGS_OPEN), status, MB_ICONEXCLAMATION);
        return;
    }
    status = RegSetValueExW(key, SETTINGS_VALUE, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&settings),
                            sizeof(settings));
    if (status != ERROR_SUCCESS)
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_SAVE_SETTINGS_WRITE), status, MB_ICONEXCLAMATION);
    RegCloseKey(key);
}

} // namespace app
