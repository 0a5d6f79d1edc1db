// The Configuration dialog: bar colours, the view's font, the update period,
// the tray icons and hexadecimal IDs, edited on a copy of the settings.
#pragma once

#include "ui/Settings.h"

#include <windows.h>
#include <commdlg.h>

namespace dialogs {

// Hooks handed to the common colour and font choosers when set (null: none),
// and the font chooser itself, which tests may stand in for.
struct ChooserHooks {
    LPCCHOOKPROC color = nullptr;
    LPCFHOOKPROC font = nullptr;
    BOOL(WINAPI* chooseFont)(LPCHOOSEFONTW) = ChooseFontW;
};

extern ChooserHooks chooserHooks;

// The application-workspace colour is offered for 0xFFFFFFFF and stored back
// as 0xFFFFFFFF, so that the bars keep following the system colour.
bool ChooseBarColor(HWND owner, COLORREF& color, COLORREF* customColors);
bool ChooseViewFont(HWND owner, LOGFONTW& font);

// Told, with the dialog's owner and the record as it was, after the dialog's
// copy became the live settings, so that what depends on them follows.
using SettingsApplied = void (*)(HWND owner, const ui::SettingsRecord& before);

// Makes what was edited in the dialog's copy since `opened` (the copy as
// last applied, which then follows) part of the live settings and tells
// `applied`. False, changing nothing, when the period text is refused (the
// user has been told why).
bool ApplyConfiguration(HWND dialog, ui::SettingsRecord& opened, ui::SettingsRecord& working,
                        SettingsApplied applied);

// The dialog's creation parameter is its SettingsApplied (or 0: none).
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void ShowConfigurationDialog(HWND owner, SettingsApplied applied);

} // namespace dialogs
