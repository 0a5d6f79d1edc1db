#include "app/AppState.h"
#include "app/AppTestSupport.h"
#include "app/DisplayResources.h"
#include "app/Startup.h"
#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"
#include "support/ProgramRun.h"

#include <cstring>
#include <vector>

using namespace testing_support;

TEST(InitialWindowPlacement, UsesTheSavedRectangleOnlyWhenItIsOnScreen)
{
    const int D = static_cast<int>(CW_USEDEFAULT);
    const struct {
        RECT saved;
        app::WindowPlacement expected;
    } cases[] = {
        {{100, 50, 500, 450}, {100, 50, 400, 400}},
        {{0, 0, 0, 0}, {D, D, 200, 200}},              // nothing saved
        {{0, 50, 400, 450}, {D, D, 200, 200}},         // a left edge of 0 counts as not saved
        {{100, 50, 500, 0}, {D, D, 200, 200}},         // nor a bottom of 0
        {{-300, 10, -5, 300}, {D, D, 200, 200}},       // wholly left of the screen
        {{10, -400, 300, -1}, {D, D, 200, 200}},       // wholly above
        {{1921, 10, 2300, 300}, {D, D, 200, 200}},     // starts beyond the width
        {{10, 1081, 300, 1300}, {D, D, 200, 200}},     // starts beyond the height
        {{-100, -20, 300, 300}, {-100, -20, 400, 320}}, // partly off screen: kept
        {{1920, 1080, 2000, 1100}, {1920, 1080, 80, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.saved.left << "," << c.saved.top << "," << c.saved.right << ","
                                        << c.saved.bottom);
        app::WindowPlacement p = app::InitialWindowPlacement(c.saved, 1920, 1080);
        EXPECT_EQ(c.expected.x, p.x);
        EXPECT_EQ(c.expected.y, p.y);
        EXPECT_EQ(c.expected.width, p.width);
        EXPECT_EQ(c.expected.height, p.height);
    }
}

namespace {

SIZE Measure(const LOGFONTW& font, const wchar_t* text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ old = SelectObject(dc, handle);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, 1, &size);
    SelectObject(dc, old);
    DeleteObject(handle);
    DeleteDC(dc);
    return size;
}

LOGFONTW Marlett(int height)
{
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SYMBOL_CHARSET;
    wcscpy(font.lfFaceName, L"Marlett");
    return font;
}

class DisplayResourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app::state.instance = GetModuleHandleW(nullptr);
        app::settings = app::SettingsRecord();
    }
    void TearDown() override { app::settings = app::SettingsRecord(); }
};

} // namespace

TEST_F(DisplayResourcesTest, RowHeightIsTheTallerOfTheFontsMAndMarlettsMark)
{
    for (int height : {-11, -4, -20}) {
        SCOPED_TRACE(height);
        app::settings.font.lfHeight = height;
        app::CreateDisplayResources();
        int m = Measure(app::settings.font, L"M").cy;
        SIZE mark = Measure(Marlett(m), L"6");
        EXPECT_EQ(std::max<int>(m, mark.cy), app::display.rowHeight);
        EXPECT_EQ(mark.cx, app::display.glyphWidth);
        EXPECT_EQ(m, app::display.glyphLogFont.lfHeight);
        EXPECT_STREQ(L"Marlett", app::display.glyphLogFont.lfFaceName);
        EXPECT_GT(app::display.rowHeight, 0);
        app::DestroyDisplayResources();
    }
}

TEST_F(DisplayResourcesTest, EveryObjectMadeIsReleasedButTheSystemBrush)
{
    app::settings.threadColor = 0xFFFFFFFF;
    for (int round = 0; round < 100; ++round) {
        app::CreateDisplayResources();
        app::DisplayResources made = app::display;
        ASSERT_EQ(app::APP_WORKSPACE_BRUSH, made.processBrush);
        ASSERT_EQ(app::APP_WORKSPACE_BRUSH, made.threadBrush);
        ASSERT_EQ(OBJ_BRUSH, GetObjectType(made.increaseBrush));
        ASSERT_EQ(OBJ_FONT, GetObjectType(made.viewFont));
        for (HICON icon : made.trayIcons)
            ASSERT_NE(nullptr, icon);
        app::DestroyDisplayResources();
        // Wine's GetGuiResources counts nothing, so each object is checked.
        ASSERT_EQ(0u, GetObjectType(made.increaseBrush)) << "round " << round;
        ASSERT_EQ(0u, GetObjectType(made.decreaseBrush));
        ASSERT_EQ(0u, GetObjectType(made.viewFont));
        ASSERT_EQ(0u, GetObjectType(made.glyphFont));
    }
    EXPECT_NE(nullptr, GetSysColorBrush(COLOR_APPWORKSPACE));
}

TEST(Startup, AClassThatCannotBeRegisteredIsReported)
{
    app::state.instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(app::RegisterMainWindowClass());
    MessageBoxCatcher catcher;
    EXPECT_FALSE(app::RegisterMainWindowClass()) << "it already exists";
    UnregisterClassW(app::MAIN_WINDOW_CLASS, app::state.instance);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Class Registration failed, Win32 Error=0x582 (1410)\n"));
}

TEST(Startup, TheUpdateTimerRunsOnlyWithAutomaticUpdates)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    app::settings = app::SettingsRecord();
    app::settings.updateIntervalMs = 10;
    app::settings.autoUpdate = 0;
    app::StartUpdateTimer(window);
    Sleep(50);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE));

    app::settings.autoUpdate = 1;
    app::StartUpdateTimer(window);
    Sleep(50);
    ASSERT_TRUE(PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(app::UPDATE_TIMER_ID, message.wParam);
    KillTimer(window, app::state.updateTimer);
    DestroyWindow(window);
    app::settings = app::SettingsRecord();
}

using ProgramStart = StoredSettingsFixture;

TEST_F(ProgramStart, OpensAtTheSavedRectangleAndSavesItWhenClosed)
{
    app::SettingsRecord record;
    record.windowRect = {120, 80, 520, 380};
    record.hexIds = 1;
    WriteStoredSettings(Bytes(record));

    RECT shown = {};
    wchar_t title[32] = {};
    ProgramRun run = RunQuorlet(L"", 20000, [&](DWORD processId) {
        HWND window = FindProcessWindow(processId, app::MAIN_WINDOW_CLASS);
        if (!window)
            return true;
        GetWindowRect(window, &shown);
        GetWindowTextW(window, title, 32);
        PostMessageW(window, WM_CLOSE, 0, 0);
        return false;
    });
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_STREQ(L"Quorlet", title);
    EXPECT_TRUE(EqualRect(&record.windowRect, &shown));

    std::optional<std::vector<uint8_t>> stored = ReadStoredSettings();
    ASSERT_TRUE(stored);
    EXPECT_EQ(Bytes(record), *stored) << "the record read at start, written back whole";
}

TEST_F(ProgramStart, PlacementArgumentsAreNotSaved)
{
    ProgramRun run = RunQuorlet(L"@40,30 +300,200", 20000, [&](DWORD processId) {
        HWND window = FindProcessWindow(processId, app::MAIN_WINDOW_CLASS);
        if (window)
            PostMessageW(window, WM_CLOSE, 0, 0);
        return window == nullptr;
    });
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(ReadStoredSettings());
}

TEST(Startup, ATimerThatCannotBeMadeIsReportedAndUpdatesTurnManual)
{
    app::settings = app::SettingsRecord();
    MessageBoxCatcher catcher;
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    app::StartUpdateTimer(gone);
    EXPECT_EQ(0u, app::settings.autoUpdate);
    ASSERT_EQ(1u, catcher.boxes.size());
    // The code is the platform's (Wine says invalid handle, Windows invalid window handle).
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Timer creation failed, Win32 Error=0x"));
    app::settings = app::SettingsRecord();
}

TEST(Startup, TheAcceleratorsAreThePlainNavigationKeys)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ACCEL entries[32] = {};
    int count = CopyAcceleratorTableW(table, entries, 32);
    DestroyAcceleratorTable(table);
    const std::vector<std::pair<WORD, WORD>> expected = {
        {VK_APPS, 40001}, {VK_DIVIDE, 40016}, {VK_DOWN, 40007},     {VK_END, 40011}, {VK_F5, 40012},
        {VK_HOME, 40010}, {VK_LEFT, 40005},   {VK_MULTIPLY, 40015}, {VK_NEXT, 40008}, {VK_PRIOR, 40009},
        {VK_RETURN, 40003}, {VK_RIGHT, 40004}, {VK_UP, 40006},
    };
    ASSERT_EQ(static_cast<int>(expected.size()), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(expected[i].first, entries[i].key) << i;
        EXPECT_EQ(expected[i].second, entries[i].cmd) << i;
        EXPECT_EQ(FVIRTKEY | FNOINVERT, entries[i].fVirt & ~0x80) << "no modifier keys";
    }
}

namespace {

std::vector<WPARAM> commands;

LRESULT CALLBACK RecordCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        commands.push_back(LOWORD(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST(Startup, TheMessageLoopTurnsKeysIntoCommands)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordCommands;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorletCommandRecorder";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    app::state.mainWindow = window;
    app::state.accelerators = LoadAcceleratorsW(windowClass.hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    commands.clear();

    for (WPARAM key : {WPARAM(VK_F5), WPARAM(VK_DOWN), WPARAM('A')}) {
        MSG message = {window, WM_KEYDOWN, key, 1, GetTickCount(), {}};
        app::PumpMessage(message);
    }
    EXPECT_EQ((std::vector<WPARAM>{CMD_UPDATE_NOW, CMD_NEXT_ROW}), commands) << "other keys are not commands";

    DestroyAcceleratorTable(app::state.accelerators);
    app::state.accelerators = nullptr;
    app::state.mainWindow = nullptr;
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}
