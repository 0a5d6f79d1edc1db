#include "dialogs/Configuration.h"

#include "app/Commands.h"

#include "app/AppTestSupport.h"
#include "support/MessageBoxCatcher.h"
#include "view/ViewWindow.h"

#include <dlgs.h>

#include <string>
#include <tuple>

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
        dialog = CreateDialogParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_CONFIGURATION), window,
                                    dialogs::ConfigDialogProc,
                                    reinterpret_cast<LPARAM>(app::ApplySettingsChange));
        ASSERT_NE(nullptr, dialog);
    }
    void Press(int id) { SendMessageW(dialog, WM_COMMAND, id, LPARAM(GetDlgItem(dialog, id))); }
    void Check(int id, bool on)
    {
        CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
        Press(id);
    }
    // As typed (null: the text shown), with the edit's modified flag set.
    void TypePeriod(const wchar_t* text)
    {
        if (text)
            SetDlgItemTextW(dialog, IDC_CONFIG_PERIOD, text);
        SendDlgItemMessageW(dialog, IDC_CONFIG_PERIOD, EM_SETMODIFY, TRUE, 0);
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
        ui::settings = ui::SettingsRecord();
        ui::settings.updateIntervalMs = c.stored ? c.stored : ui::settings.updateIntervalMs;
        Open();
        EXPECT_TRUE(c.typed || ApplyEnabled()) << "filling the edit counts as a change";
        TypePeriod(c.typed);
        Press(IDC_CONFIG_APPLY);
        EXPECT_EQ(c.milliseconds, ui::settings.updateIntervalMs) << WindowText(GetDlgItem(dialog, IDC_CONFIG_PERIOD));
        EXPECT_EQ(c.milliseconds != 0, ui::settings.autoUpdate != 0);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_PERIOD))) << "the apply leaves the edit alone";
    }

    expectedBoxes = 3;
    for (const wchar_t* refused : {L"-0.001", L"4294967.296", L"1e99"}) {
        Open();
        Check(IDC_CONFIG_HEX_IDS, true);
        TypePeriod(refused);
        Press(IDOK);
        EXPECT_EQ(4294967295u, ui::settings.updateIntervalMs) << refused;
        EXPECT_EQ(0u, ui::settings.hexIds) << "nothing is applied";
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
    EXPECT_EQ(0xFFFFFFFFu, ui::settings.threadColor);
    EXPECT_EQ(RGB(0, 128, 0), ui::settings.decreaseColor) << "cancelled: unchanged";
    EXPECT_EQ(view::APP_WORKSPACE_BRUSH, view::display.threadBrush.Get());
    EXPECT_NE(view::APP_WORKSPACE_BRUSH, view::display.processBrush.Get());
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ConfigurationDialog, ApplyRebuildsTheViewCancelKeepsWhatWasAppliedAndOkSaves)
{
    Start(NumberedProcesses(40));
    Open();
    int rowHeight = view::display.rowHeight;
    choosePoints = 20;
    Press(IDC_CONFIG_CHANGE_FONT);
    HFONT sample = SampleFont();
    Press(IDC_CONFIG_CHANGE_FONT);
    EXPECT_EQ(OBJ_FONT, GetObjectType(SampleFont()));
    EXPECT_EQ(0u, GetObjectType(sample)) << "the replaced sample font is deleted";
    Check(IDC_CONFIG_HEX_IDS, true);
    Press(IDC_CONFIG_APPLY);
    EXPECT_GT(view::display.rowHeight, rowHeight);
    EXPECT_EQ(view::PageRows(window), view::viewState.scrollRange.page) << "the scroll range follows the row height";
    EXPECT_EQ(1u, ui::settings.hexIds);
    EXPECT_EQ(1u, ui::settings.pendingChanges) << "as the stored layout has it after an apply";

    // A sample that shows the view's font shows the new one after Apply.
    Open();
    Check(IDC_CONFIG_TRAY_TOTAL, false);
    Press(IDC_CONFIG_APPLY);
    EXPECT_EQ(OBJ_FONT, GetObjectType(SampleFont()));
    Check(IDC_CONFIG_HEX_IDS, false);
    Press(IDCANCEL);
    EXPECT_EQ(1u, ui::settings.hexIds) << "cancel drops only what was not applied";
    EXPECT_EQ(0u, ui::settings.trayShowTotal);
    EXPECT_TRUE(ReadStoredSettings().empty()) << "neither Apply nor Cancel saves";

    ui::settings.pendingChanges = 0; // as every load leaves it
    Open();
    TypePeriod(L"1.25");
    Press(IDOK);
    EXPECT_EQ(1250u, ui::settings.updateIntervalMs);
    EXPECT_EQ(1u, ui::settings.pendingChanges) << "saved as 01 00 00 00";
    EXPECT_EQ(Bytes(ui::settings), ReadStoredSettings());
}

namespace {

int offeredHeight = 0, systemDpi = 96;

// A font chooser picking 20 points, which it turns into pixels at the
// system's DPI, as it reads the heights it is offered.
BOOL WINAPI ChooseTwentyPoints(LPCHOOSEFONTW choice)
{
    offeredHeight = choice->lpLogFont->lfHeight;
    choice->lpLogFont->lfHeight = -MulDiv(20, systemDpi, 72);
    return TRUE;
}

LONG FontHeight(HFONT font)
{
    LOGFONTW described = {};
    GetObjectW(font, sizeof(described), &described);
    return described.lfHeight;
}

} // namespace

// The chooser works at the system's DPI, the view at its monitor's (0: the
// same), which may change while the dialog is open.
TEST_F(ConfigurationDialog, FontsAreKeptAt96DpiAndMadeForTheScreenInTheViewAndTheSample)
{
    dialogs::chooserHooks.chooseFont = ChooseTwentyPoints;
    auto moveTo = [this](int dpi) {
        RECT frame = {};
        GetWindowRect(window, &frame);
        Send(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    };
    for (auto [system, monitor, offered] : {std::tuple{144, 0, -16.5}, std::tuple{96, 144, -11.0}}) {
        view::screenDpiOverride = systemDpi = system;
        ui::settings.font.lfHeight = -11;
        Open();
        if (monitor) {
            moveTo(monitor);
            EXPECT_EQ(OBJ_FONT, GetObjectType(SampleFont())) << "the view's font went, the sample's stays";
        }
        Press(IDC_CONFIG_CHANGE_FONT);
        EXPECT_NEAR(offered, offeredHeight, 0.5) << "the stored 11 pixels at 96 DPI, offered at " << system;
        Press(IDC_CONFIG_APPLY);
        EXPECT_EQ(-27, ui::settings.font.lfHeight) << "20 points at 96 DPI";
        EXPECT_NEAR(-40, FontHeight(view::display.viewFont.Get()), 1) << "made for 144 DPI";
        EXPECT_EQ(FontHeight(view::display.viewFont.Get()), FontHeight(SampleFont()));
    }
    view::screenDpiOverride = 0;
    moveTo(96); // where the next test's window starts
    dialogs::chooserHooks.chooseFont = ChooseFontW;
}

TEST_F(ConfigurationDialog, ApplyWritesOnlyWhatWasEditedEachColourToItsOwnSetting)
{
    ui::settings.autoUpdate = 1;
    Open();
    // Meanwhile the window moved and the timer failed.
    ui::RememberWindowRect({40, 60, 240, 260});
    ui::SwitchToManualUpdates();
    const std::pair<int, COLORREF ui::SettingsRecord::*> buttons[] = {
        {IDC_CONFIG_PROCESS_COLOR, &ui::SettingsRecord::processColor},
        {IDC_CONFIG_THREAD_COLOR, &ui::SettingsRecord::threadColor},
        {IDC_CONFIG_INCREASE_COLOR, &ui::SettingsRecord::increaseColor},
        {IDC_CONFIG_DECREASE_COLOR, &ui::SettingsRecord::decreaseColor},
    };
    for (size_t i = 0; i < std::size(buttons); ++i) {
        chooseColor = RGB(10 * (i + 1), 0, 0);
        Press(buttons[i].first);
    }
    Press(IDC_CONFIG_APPLY);
    for (size_t i = 0; i < std::size(buttons); ++i)
        EXPECT_EQ(RGB(10 * (i + 1), 0, 0), ui::settings.*buttons[i].second) << buttons[i].first;
    EXPECT_EQ(40, ui::settings.windowRect.left);
    EXPECT_EQ(60, ui::settings.windowRect.top);
    EXPECT_EQ(0u, ui::settings.autoUpdate) << "the fallback to manual updates stays";
}

TEST_F(ConfigurationDialog, TheTimerFollowsTheUpdateChoice)
{
    // Whether the update timer ticks within a few of its 50 ms periods.
    auto ticks = [this] {
        MSG tick;
        while (PeekMessageW(&tick, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        }
        for (int i = 0; i < 100; ++i) {
            if (PeekMessageW(&tick, window, WM_TIMER, WM_TIMER, PM_REMOVE))
                return true;
            Sleep(10);
        }
        return false;
    };
    struct Step {
        int mode; // 0: as it is
        const wchar_t* period;
        bool ticking;
    };
    // Started, left alone while only the IDs change, restarted with a new
    // period, stopped.
    for (Step step : {Step{IDC_CONFIG_AUTOMATIC, L"0.05", true}, Step{0, nullptr, true}, Step{0, L"60", false},
                      Step{IDC_CONFIG_MANUAL, nullptr, false}}) {
        Open();
        Check(IDC_CONFIG_HEX_IDS, !ui::settings.hexIds);
        if (step.mode)
            Press(step.mode);
        if (step.period)
            TypePeriod(step.period);
        Press(IDC_CONFIG_APPLY);
        EXPECT_EQ(step.ticking, ticks()) << step.mode << " " << (step.period ? step.period : L"-");
    }
    EXPECT_FALSE(KillTimer(window, app::UPDATE_TIMER_ID)) << "manual updates leave no timer";
}
