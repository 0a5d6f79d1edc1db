// The preferences: one fixed 216-byte record, kept as it is stored in the
// current user's registry.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace ui {

struct SettingsRecord {
    // In the Configuration dialog's copy: changes not yet applied. In the live
    // record: 1 once the dialog applied some, 0 after every load.
    uint32_t pendingChanges = 0;
    COLORREF processColor = 0xFFFFFFFF; // the system's application-workspace colour
    COLORREF threadColor = RGB(128, 128, 0);
    COLORREF increaseColor = RGB(128, 0, 0);
    COLORREF decreaseColor = RGB(0, 128, 0);
    COLORREF customColors[16] = {};
    LOGFONTW font = {-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"};
    uint32_t autoUpdate = 1;
    uint32_t updateIntervalMs = 2500;
    RECT windowRect = {0, 0, 0, 0};
    uint32_t trayShowHighest = 1;
    uint32_t trayShowTotal = 1;
    uint32_t hexIds = 0;
    uint32_t suppressSave = 0;
};

static_assert(sizeof(SettingsRecord) == 216);
static_assert(sizeof(LOGFONTW) == 92);
static_assert(offsetof(SettingsRecord, processColor) == 4 && offsetof(SettingsRecord, threadColor) == 8 &&
              offsetof(SettingsRecord, increaseColor) == 12 && offsetof(SettingsRecord, decreaseColor) == 16 &&
              offsetof(SettingsRecord, customColors) == 20 && offsetof(SettingsRecord, font) == 84 &&
              offsetof(SettingsRecord, autoUpdate) == 176 && offsetof(SettingsRecord, updateIntervalMs) == 180 &&
              offsetof(SettingsRecord, windowRect) == 184 && offsetof(SettingsRecord, trayShowHighest) == 200 &&
              offsetof(SettingsRecord, trayShowTotal) == 204 && offsetof(SettingsRecord, hexIds) == 208 &&
              offsetof(SettingsRecord, suppressSave) == 212);

extern SettingsRecord settings;

constexpr const wchar_t* SETTINGS_KEY = L"software\\Fendrake\\quorlet";
constexpr const wchar_t* SETTINGS_VALUE = L"Meaningless Binary Goo";

// Reads the stored record over the live one; a missing key or value leaves
// the defaults. The face name is terminated, suppressSave cleared, and a
// period of 0 means manual updates. Returns the platform's status.
LSTATUS LoadSettings();
// Writes the live record unless suppressSave is set; failures are reported.
void SaveSettings();

// The record's writers: the dialog that edits it, the window's rectangle,
// and the two changes made for one run.
// The fields the Configuration dialog edits (colours, font, updates, tray
// icons, hexadecimal IDs) that differ between the copy it opened with and
// its edited copy; whatever else changed meanwhile stays. pendingChanges
// becomes 1, and stays so until the next load.
void ApplyEdits(const SettingsRecord& opened, const SettingsRecord& edited);
void RememberWindowRect(const RECT& rectangle);
// This run's changes (a placement from the command line) are not saved.
void SuppressSaving();
// The update timer could not be started: updates are made on request.
void SwitchToManualUpdates();

} // namespace ui
