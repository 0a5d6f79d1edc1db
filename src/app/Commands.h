// The main window's commands: menu items, accelerator keys and the update
// that the window posts to itself.
#pragma once

#include "ui/Settings.h"

#include <windows.h>

#include <cstdint>

namespace app {

// Runs a menu item's, an accelerator's or the window's own command; an
// identifier no command has does nothing.
void DispatchCommand(HWND window, unsigned id);

// A new sample, and the Load Generator's readout of it.
void UpdateNow(HWND window);

// What follows a change of the settings in Configuration (its OK and Apply);
// `window` is the main window, the dialog's owner; `before` is the record as it was.
void ApplySettingsChange(HWND window, const ui::SettingsRecord& before);

} // namespace app
