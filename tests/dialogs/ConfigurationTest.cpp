#include "dialogs/Configuration.h"

#include "app/AppTestSupport.h"
#include "support/MessageBoxCatcher.h"
#include "view/ViewWindow.h"

#include <dlgs.h>

#include <string>

using namespace testing_support;

namespace {

// The colour chooser picks this colour (CLR_INVALID: it is cancelled) and
// remembers the colour it was offered; the font chooser picks this size.
COLORREF chooseColor = CLR_INVALID, offeredColor = CLR_INVALID;
int choosePoints = 0;

UINT_PTR CALLBACK ColorHook(HWND chooser, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return 0;
    offeredColor = reinterpret_cast<CHOOSECOLORW*>(lParam)->rgbResult;
    // As typed into its red, green and blue fields (COLOR_RED to COLOR_BLUE).
    for (int i = 0; i < 3 && chooseColor != CLR_INVALID; ++i)
        SetDlgItemInt(chooser, 706 + i, chooseColor >> (8 * i) & 0xFF, FALSE);
    PostMessageW(chooser, WM_COMMAND, chooseColor != CLR_INVALID ? IDOK : IDCANCEL, 0);
    return 0;
}

UINT_PTR CALLBACK FontHook(HWND chooser, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        std::wstring size = std::to_wstring(choosePoints);
        SendDlgItemMessageW(chooser, cmb3, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(size.c_str()));
        SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE), LPARAM(GetDlgItem(chooser, cmb3)));
        PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    }
    return 0;
}

// Over the main window, with nothing stored and the choosers answered by the hooks.
class ConfigurationDialog : public ViewWindowTest {
protected:
    void SetUp() override
    {
        ViewWindowTest::SetUp();
        dialogs::chooserHooks = {ColorHook, FontHook};
        StoreSettings({});
    }
    void TearDown() override
    {
        EXPECT_EQ(expectedBoxes, catcher.boxes.size());
        DestroyWindow(dialog);
        KillTimer(window, app::UPDATE_TIMER_ID);
        dialogs::chooserHooks = {};
        StoreSettings(stored);
        ViewWindowTest::TearDown();
    }

    void Open()
    {
        DestroyWindow(dialog);
        dialog = CreateDialogParamW(app::state.instance, MAKEINTRESOURCEW(IDD_CONFIGURATION), window,
                                    dialogs::ConfigDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
    }
    void Press(int id) { SendMessageW(dialog, WM_COMMAND, id, LPARAM(GetDlgItem(dialog, id))); }
    void Check(int id, bool on)
    {
        CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
        Press(id);
    }
    // As typed, with the edit's modified flag set; then Apply.
    void ApplyPeriod(const wchar_t* text)
    {
        if (text)
            SetDlgItemTextW(dialog, IDC_CONFIG_PERIOD, text);
        SendDlgItemMessageW(dialog, IDC_CONFIG_PERIOD, EM_SETMODIFY, TRUE, 0);
        Press(IDC_CONFIG_APPLY);
        KillTimer(window, app::UPDATE_TIMER_ID);
    }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_APPLY)) != FALSE; }
    HFONT SampleFont() { return HFONT(SendDlgItemMessageW(dialog, IDC_CONFIG_SAMPLE, WM_GETFONT, 0, 0)); }

    MessageBoxCatcher catcher;
    size_t expectedBoxes = 0;
    HWND dialog = nullptr;
    std::vector<uint8_t> stored = ReadStoredSettings();
};

} // namespace

TEST_F(ConfigurationDialog, ThePeriodIsWholeMillisecondsItsOwnTextReadsBackAndNegativeOrTooLongIsRefused)
{
    // Typed (0: manual updates), or the dialog's own text of a stored period.
    const struct {
        const wchar_t* typed;
        uint32_t stored, milliseconds;
    } cases[] = {{L"2.500", 0, 2500}, {L"3", 0, 3000},   {L"0.0015", 0, 1},          {L"0.010", 0, 10},
                 {L" 4.35 s", 0, 4350}, {L"0", 0, 0},    {L"soon", 0, 0},            {nullptr, 10, 10},
                 {nullptr, 1005, 1005}, {nullptr, 4350, 4350}, {nullptr, 4294967295u, 4294967295u}};
    for (const auto& c : cases) {
        app::settings = app::SettingsRecord();
        app::settings.updateIntervalMs = c.stored ? c.stored : app::settings.updateIntervalMs;
        Open();
        EXPECT_TRUE(c.typed || ApplyEnabled()) << "filling the edit counts as a change";
        ApplyPeriod(c.typed);
        EXPECT_EQ(c.milliseconds, app::settings.updateIntervalMs) << WindowText(GetDlgItem(dialog, IDC_CONFIG_PERIOD));
        EXPECT_EQ(c.milliseconds != 0, app::settings.autoUpdate != 0);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_PERIOD))) << "the apply leaves the edit alone";
    }

    expectedBoxes = 3;
    for (const wchar_t* refused : {L"-0.001", L"4294967.296", L"1e99"}) {
        Open();
        Check(IDC_CONFIG_HEX_IDS, true);
        SetDlgItemTextW(dialog, IDC_CONFIG_PERIOD, refused);
        SendDlgItemMessageW(dialog, IDC_CONFIG_PERIOD, EM_SETMODIFY, TRUE, 0);
        Press(IDOK);
        EXPECT_EQ(4294967295u, app::settings.updateIntervalMs) << refused;
        EXPECT_EQ(0u, app::settings.hexIds) << "nothing is applied";
        EXPECT_TRUE(ApplyEnabled()) << "the dialog keeps its changes";
    }
    EXPECT_TRUE(ReadStoredSettings().empty());
    EXPECT_NE(std::wstring::npos, catcher.boxes.at(0).text.find(L"cannot be negative"));
    EXPECT_NE(std::wstring::npos, catcher.boxes.at(2).text.find(L"too long"));
}

TEST_F(ConfigurationDialog, BarColorsGoToAndFromTheSystemColor)
{
    Open();
    chooseColor = RGB(1, 2, 3);
    Press(IDC_CONFIG_PROCESS_COLOR);
    EXPECT_EQ(GetSysColor(COLOR_APPWORKSPACE), offeredColor) << "0xFFFFFFFF is offered as the system colour";
    chooseColor = GetSysColor(COLOR_APPWORKSPACE);
    Press(IDC_CONFIG_THREAD_COLOR);
    chooseColor = CLR_INVALID;
    Press(IDC_CONFIG_DECREASE_COLOR);
    Press(IDC_CONFIG_APPLY);
    EXPECT_EQ(RGB(1, 2, 3), app::settings.processColor);
    EXPECT_EQ(0xFFFFFFFFu, app::settings.threadColor);
    EXPECT_EQ(RGB(0, 128, 0), app::settings.decreaseColor) << "cancelled: unchanged";
    EXPECT_EQ(app::APP_WORKSPACE_BRUSH, app::display.threadBrush);
    EXPECT_NE(app::APP_WORKSPACE_BRUSH, app::display.processBrush);
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ConfigurationDialog, ApplyRebuildsTheViewCancelKeepsWhatWasAppliedAndOkSaves)
{
    Start(NumberedProcesses(40));
    Open();
    int rowHeight = app::display.rowHeight;
    choosePoints = 20;
    Press(IDC_CONFIG_CHANGE_FONT);
    HFONT sample = SampleFont();
    Press(IDC_CONFIG_CHANGE_FONT);
    EXPECT_EQ(OBJ_FONT, GetObjectType(SampleFont()));
    EXPECT_EQ(0u, GetObjectType(sample)) << "the replaced sample font is deleted";
    Check(IDC_CONFIG_HEX_IDS, true);
    Press(IDC_CONFIG_APPLY);
    EXPECT_GT(app::display.rowHeight, rowHeight);
    EXPECT_EQ(view::PageRows(window), view::state.scrollRange.page) << "the scroll range follows the row height";
    EXPECT_EQ(1u, app::settings.pendingChanges);

    // A sample that shows the view's font shows the new one after Apply.
    Open();
    Check(IDC_CONFIG_TRAY_TOTAL, false);
    Press(IDC_CONFIG_APPLY);
    EXPECT_EQ(OBJ_FONT, GetObjectType(SampleFont()));
    Check(IDC_CONFIG_HEX_IDS, false);
    Press(IDCANCEL);
    EXPECT_EQ(1u, app::settings.hexIds) << "cancel drops only what was not applied";
    EXPECT_EQ(0u, app::settings.trayShowTotal);
    EXPECT_TRUE(ReadStoredSettings().empty()) << "neither Apply nor Cancel saves";

    Open();
    SetDlgItemTextW(dialog, IDC_CONFIG_PERIOD, L"1.25");
    SendDlgItemMessageW(dialog, IDC_CONFIG_PERIOD, EM_SETMODIFY, TRUE, 0);
    Press(IDOK);
    EXPECT_EQ(1250u, app::settings.updateIntervalMs);
    EXPECT_EQ(Bytes(app::settings), ReadStoredSettings());
}
