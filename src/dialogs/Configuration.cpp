#include "dialogs/Configuration.h"

#include "core/Handles.h"
#include "dialogs/Values.h"
#include "resources/resource.h"
#include "ui/Platform.h"
#include "view/DisplayResources.h"

#include <memory>
#include <utility>

namespace dialogs {

ChooserHooks chooserHooks;

namespace {

using view::SYSTEM_COLOR;
constexpr int PERIOD_CHARS = 32;

struct ConfigDialog {
    SettingsApplied applied = nullptr;
    ui::SettingsRecord opened; // as last applied: what the edits are measured against
    ui::SettingsRecord working;
    // The sample's own font: the view's is made again on every change of
    // DPI, which must not delete a font the sample still shows.
    core::Font sampleFont;
};

ConfigDialog* DialogState(HWND dialog)
{
    return reinterpret_cast<ConfigDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

COLORREF* ColorField(ui::SettingsRecord& record, int id)
{
    switch (id) {
    case IDC_CONFIG_PROCESS_COLOR:
        return &record.processColor;
    case IDC_CONFIG_THREAD_COLOR:
        return &record.threadColor;
    case IDC_CONFIG_INCREASE_COLOR:
        return &record.increaseColor;
    case IDC_CONFIG_DECREASE_COLOR:
        return &record.decreaseColor;
    }
    return nullptr;
}

uint32_t* CheckField(ui::SettingsRecord& record, int id)
{
    switch (id) {
    case IDC_CONFIG_TRAY_HIGHEST:
        return &record.trayShowHighest;
    case IDC_CONFIG_TRAY_TOTAL:
        return &record.trayShowTotal;
    case IDC_CONFIG_HEX_IDS:
        return &record.hexIds;
    }
    return nullptr;
}

void MarkChange(HWND dialog, ConfigDialog& state)
{
    if (state.working.pendingChanges)
        return;
    state.working.pendingChanges = 1;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_APPLY), TRUE);
}

void SetSampleFont(HWND dialog, HFONT font)
{
    SendDlgItemMessageW(dialog, IDC_CONFIG_SAMPLE, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// The working copy's font as the view makes it; the sample lets go of the
// old one before it is deleted.
void ShowSampleFont(HWND dialog, ConfigDialog& state)
{
    LOGFONTW shown = view::FontForScreen(state.working.font);
    core::Font font(CreateFontIndirectW(&shown));
    if (font) {
        SetSampleFont(dialog, font.Get());
        state.sampleFont = std::move(font);
    }
}

void InitDialog(HWND dialog, ConfigDialog& state)
{
    state.working = ui::settings;
    state.working.pendingChanges = 0;
    state.opened = state.working;
    ShowSampleFont(dialog, state);
    SetDlgItemTextW(dialog, IDC_CONFIG_FONT_NAME, state.working.font.lfFaceName);
    wchar_t period[PERIOD_CHARS] = {};
    FormatPeriodSeconds(state.working.updateIntervalMs, period, PERIOD_CHARS);
    SetDlgItemTextW(dialog, IDC_CONFIG_PERIOD, period);
    bool automatic = state.working.autoUpdate != 0;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_PERIOD), automatic);
    SendDlgItemMessageW(dialog, IDC_CONFIG_PERIOD, EM_LIMITTEXT, 11, 0);
    CheckDlgButton(dialog, automatic ? IDC_CONFIG_AUTOMATIC : IDC_CONFIG_MANUAL, BST_CHECKED);
    for (int id : {IDC_CONFIG_TRAY_HIGHEST, IDC_CONFIG_TRAY_TOTAL, IDC_CONFIG_HEX_IDS})
        CheckDlgButton(dialog, id, *CheckField(state.working, id) ? BST_CHECKED : BST_UNCHECKED);
}

void ChangeFont(HWND dialog, ConfigDialog& state)
{
    if (!ChooseViewFont(dialog, state.working.font))
        return;
    SetDlgItemTextW(dialog, IDC_CONFIG_FONT_NAME, state.working.font.lfFaceName);
    ShowSampleFont(dialog, state);
    MarkChange(dialog, state);
}

void SetAutomatic(HWND dialog, ConfigDialog& state, bool automatic)
{
    if ((state.working.autoUpdate != 0) == automatic)
        return;
    state.working.autoUpdate = automatic;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_PERIOD), automatic);
    MarkChange(dialog, state);
}

void OnCommand(HWND dialog, ConfigDialog& state, int id, int code)
{
    if (COLORREF* color = ColorField(state.working, id)) {
        if (ChooseBarColor(dialog, *color, state.working.customColors)) {
            InvalidateRect(GetDlgItem(dialog, id), nullptr, FALSE);
            MarkChange(dialog, state);
        }
    } else if (uint32_t* check = CheckField(state.working, id)) {
        *check = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
        MarkChange(dialog, state);
    } else if (id == IDC_CONFIG_PERIOD) {
        if (code == EN_CHANGE)
            MarkChange(dialog, state);
    } else if (id == IDC_CONFIG_MANUAL || id == IDC_CONFIG_AUTOMATIC) {
        SetAutomatic(dialog, state, id == IDC_CONFIG_AUTOMATIC);
    } else if (id == IDC_CONFIG_CHANGE_FONT) {
        ChangeFont(dialog, state);
    } else if (id == IDC_CONFIG_APPLY) {
        ApplyConfiguration(dialog, state.opened, state.working, state.applied);
    } else if (id == IDOK) {
        if (ApplyConfiguration(dialog, state.opened, state.working, state.applied)) {
            ui::SaveSettings();
            EndDialog(dialog, IDOK);
        }
    } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    }
}

void DrawColorButton(ConfigDialog& state, const DRAWITEMSTRUCT& item)
{
    const COLORREF* color = ColorField(state.working, static_cast<int>(item.CtlID));
    if (!color)
        return;
    RECT face = item.rcItem;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    UINT frame = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (disabled)
        frame |= DFCS_INACTIVE;
    if (item.itemState & ODS_SELECTED)
        frame |= DFCS_PUSHED;
    DrawFrameControl(item.hDC, &face, DFC_BUTTON, frame);
    if (!disabled) {
        if (*color == SYSTEM_COLOR) {
            FillRect(item.hDC, &face, view::APP_WORKSPACE_BRUSH);
        } else if (core::Brush brush(CreateSolidBrush(*color)); brush) {
            FillRect(item.hDC, &face, brush.Get());
        }
    }
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &face);
}

// The period from the edit, when it was changed; false after telling the
// user why it is refused.
bool ReadPeriod(HWND dialog, ui::SettingsRecord& working)
{
    HWND edit = GetDlgItem(dialog, IDC_CONFIG_PERIOD);
    if (!SendMessageW(edit, EM_GETMODIFY, 0, 0))
        return true;
    wchar_t text[PERIOD_CHARS + 1] = {};
    GetWindowTextW(edit, text, PERIOD_CHARS + 1);
    ReadResult period = ReadPeriodSeconds(text);
    if (period.status == ReadStatus::negative || period.status == ReadStatus::tooLarge) {
        MessageBoxW(dialog,
                    period.status == ReadStatus::negative
                        ? L"The update period cannot be negative.\nType a number of seconds from 0 to 4294967."
                        : L"The update period is too long.\nType a number of seconds from 0 to 4294967.",
                    L"Configuration", MB_ICONEXCLAMATION);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return false;
    }
    SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    working.updateIntervalMs = period.value; // no number: 0, manual updates
    return true;
}

} // namespace

bool ChooseBarColor(HWND owner, COLORREF& color, COLORREF* customColors)
{
    COLORREF workspace = GetSysColor(COLOR_APPWORKSPACE);
    CHOOSECOLORW choice = {};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = owner;
    choice.rgbResult = color == SYSTEM_COLOR ? workspace : color;
    choice.lpCustColors = customColors;
    choice.Flags = CC_RGBINIT | CC_FULLOPEN | CC_SOLIDCOLOR | CC_ANYCOLOR;
    if (chooserHooks.color) {
        choice.Flags |= CC_ENABLEHOOK;
        choice.lpfnHook = chooserHooks.color;
    }
    if (!ChooseColorW(&choice))
        return false;
    color = choice.rgbResult == workspace ? SYSTEM_COLOR : choice.rgbResult;
    return true;
}

bool ChooseViewFont(HWND owner, LOGFONTW& font)
{
    // The chooser reads and writes heights at the system's DPI, whatever the
    // view's monitor has; the record keeps them at 96 DPI.
    LOGFONTW shown = view::FontAtDpi(font, view::STORED_DPI, view::ScreenDpi());
    CHOOSEFONTW choice = {};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = owner;
    choice.lpLogFont = &shown;
    choice.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST;
    if (chooserHooks.font) {
        choice.Flags |= CF_ENABLEHOOK;
        choice.lpfnHook = chooserHooks.font;
    }
    if (!chooserHooks.chooseFont(&choice))
        return false;
    font = view::FontAtDpi(shown, view::ScreenDpi(), view::STORED_DPI);
    return true;
}

bool ApplyConfiguration(HWND dialog, ui::SettingsRecord& opened, ui::SettingsRecord& working,
                        SettingsApplied applied)
{
    if (!working.pendingChanges)
        return true;
    if (!ReadPeriod(dialog, working))
        return false;
    if (working.updateIntervalMs == 0)
        working.autoUpdate = 0;
    ui::SettingsRecord before = ui::settings;
    working.pendingChanges = 0;
    ui::ApplyEdits(opened, working);
    opened = working;
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_APPLY), FALSE);
    if (applied)
        applied(GetParent(dialog), before);
    return true;
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ConfigDialog* state = DialogState(dialog);
    switch (message) {
    case WM_INITDIALOG: {
        auto owned = std::make_unique<ConfigDialog>();
        owned->applied = reinterpret_cast<SettingsApplied>(lParam);
        state = owned.release();
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        InitDialog(dialog, *state);
        return TRUE;
    }
    case WM_COMMAND:
        if (!state)
            return FALSE;
        OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DRAWITEM:
        if (!state)
            return FALSE;
        DrawColorButton(*state, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DESTROY:
        if (state) {
            SetSampleFont(dialog, nullptr);
            delete state;
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
        }
        return TRUE;
    }
    return FALSE;
}

void ShowConfigurationDialog(HWND owner, SettingsApplied applied)
{
    DialogBoxParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_CONFIGURATION), owner, ConfigDialogProc,
                    reinterpret_cast<LPARAM>(applied));
}

} // namespace dialogs
