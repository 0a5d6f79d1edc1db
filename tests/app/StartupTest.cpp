#include "app/AppState.h"
#include "app/AppTestSupport.h"
#include "app/DisplayResources.h"
#include "app/Startup.h"
#include "core/Handles.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"
#include "support/ProgramRun.h"

#include <climits>
#include <vector>

using namespace testing_support;

TEST(InitialWindowPlacement, TakesTheSavedRectangleOnlyWhenEnoughOfItIsOnScreen)
{
    const int D = static_cast<int>(CW_USEDEFAULT);
    const app::WindowPlacement fallback = {D, D, 200, 200};
    // A monitor of 1280 x 1024 left of a primary one of 1024 x 768.
    const RECT screen = {-1280, 0, 1024, 1024};
    const struct {
        RECT saved;
        app::WindowPlacement expected;
    } cases[] = {
        {{100, 50, 500, 450}, {100, 50, 400, 400}},
        {{-1200, 100, -800, 400}, {-1200, 100, 400, 300}}, // on the monitor left of the primary
        {{-100, -20, 300, 300}, {-100, -20, 400, 320}},   // partly off the screen
        {{0, 0, 0, 0}, fallback},                         // nothing saved
        {{0, 50, 400, 450}, fallback},                    // a left edge of 0 counts as not saved
        {{100, 50, 500, 0}, fallback},                    // nor a bottom of 0
        {{1024, 10, 1224, 210}, fallback},                // just beyond the right edge
        {{1000, 10, 1224, 210}, fallback},                // too little of it left on screen
        {{100, 1010, 500, 1400}, fallback},               // only a strip above the bottom
        {{-1000000, -1000000, 10, 10}, fallback},         // a corner of 10 x 10
        {{500, 400, 100, 50}, fallback},                  // inverted
        {{INT_MIN + 10, 5, INT_MAX - 100, 50}, {-1280, 5, 2304, 45}},
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {-1280, 0, 2304, 1024}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.saved.left << "," << c.saved.top << "," << c.saved.right << ","
                                        << c.saved.bottom);
        app::WindowPlacement p = app::InitialWindowPlacement(c.saved, screen, 20);
        EXPECT_EQ((std::vector<int>{c.expected.x, c.expected.y, c.expected.width, c.expected.height}),
                  (std::vector<int>{p.x, p.y, p.width, p.height}));
    }
}

TEST(DisplayResources, EveryObjectMadeIsReleasedButTheSystemBrush)
{
    app::state.instance = GetModuleHandleW(nullptr);
    app::settings = app::SettingsRecord();
    app::settings.threadColor = 0xFFFFFFFF;
    app::CreateDisplayResources();
    app::DisplayResources made = app::display;
    EXPECT_EQ(app::APP_WORKSPACE_BRUSH, made.threadBrush);
    EXPECT_GT(made.rowHeight, 0);
    for (HICON icon : made.trayIcons)
        EXPECT_NE(nullptr, icon);
    const HGDIOBJ objects[] = {made.increaseBrush, made.decreaseBrush, made.viewFont, made.glyphFont};
    for (HGDIOBJ object : objects)
        EXPECT_NE(0u, GetObjectType(object));
    app::DestroyDisplayResources();
    // Wine's GetGuiResources counts nothing, so each object is checked.
    for (HGDIOBJ object : objects)
        EXPECT_EQ(0u, GetObjectType(object));
    app::settings = app::SettingsRecord();
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

TEST(Startup, TheUpdateTimerRunsOnlyWithAutomaticUpdatesAndItsFailureIsReported)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    app::settings = app::SettingsRecord();
    app::settings.updateIntervalMs = 10;
    app::settings.autoUpdate = 0;
    app::StartUpdateTimer(window);
    EXPECT_FALSE(KillTimer(window, app::UPDATE_TIMER_ID)) << "no timer was made";

    app::settings.autoUpdate = 1;
    app::StartUpdateTimer(window);
    MSG message = {};
    bool ticked = false;
    // Waits for the tick itself; the limit is only there for a timer that never comes.
    for (ULONGLONG limit = GetTickCount64() + 30000; !ticked && GetTickCount64() < limit;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_TIMER);
        ticked = PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE);
    }
    ASSERT_TRUE(ticked);
    EXPECT_EQ(app::UPDATE_TIMER_ID, message.wParam);
    KillTimer(window, app::state.updateTimer);
    DestroyWindow(window);

    MessageBoxCatcher catcher;
    app::StartUpdateTimer(window);
    EXPECT_EQ(0u, app::settings.autoUpdate) << "a timer that cannot be made turns updates manual";
    ASSERT_EQ(1u, catcher.boxes.size());
    // The code is the platform's (Wine says invalid handle, Windows invalid window handle).
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Timer creation failed, Win32 Error=0x"));
    app::settings = app::SettingsRecord();
}

TEST(Startup, TheSecurityEditorComesFromTheSystemFolderNotOneBesideTheProgram)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(L"aclui.dll"));
    // Any loadable image will do for the planted copy.
    struct PlantedFile {
        std::wstring path = TestFolder() + L"aclui.dll";
        ~PlantedFile() { DeleteFileW(path.c_str()); }
    } planted;
    ASSERT_TRUE(CopyFileW((TestFolder() + L"test_child.exe").c_str(), planted.path.c_str(), FALSE));

    app::ProbePlatform();
    core::Module loaded(app::state.aclUiModule);
    wchar_t path[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetModuleFileNameW(loaded.Get(), path, MAX_PATH);
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(0, _wcsnicmp(system, path, length)) << std::string(path, path + wcslen(path));
    EXPECT_NE(nullptr, app::state.editSecurityFn);
    app::state.aclUiModule = nullptr;
    app::state.editSecurityFn = nullptr;
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
    core::Accelerators accelerators(LoadAcceleratorsW(windowClass.hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS)));
    app::state.mainWindow = window;
    app::state.accelerators = accelerators.Get();
    commands.clear();

    for (WPARAM key : {WPARAM(VK_F5), WPARAM(VK_DOWN), WPARAM('A')}) {
        MSG message = {window, WM_KEYDOWN, key, 1, GetTickCount(), {}};
        app::PumpMessage(message);
    }
    EXPECT_EQ((std::vector<WPARAM>{CMD_UPDATE_NOW, CMD_NEXT_ROW}), commands) << "other keys are not commands";

    app::state.accelerators = nullptr;
    app::state.mainWindow = nullptr;
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

namespace {

using ProgramStart = StoredSettingsFixture;

// Runs quorlet.exe until its main window shows, notes the window's rectangle, and closes it.
ProgramRun RunAndClose(const std::wstring& arguments, RECT& shown)
{
    return RunQuorlet(arguments, 20000, [&](DWORD processId) {
        HWND window = FindProcessWindow(processId, app::MAIN_WINDOW_CLASS);
        if (window) {
            GetWindowRect(window, &shown);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return window == nullptr;
    });
}

} // namespace

TEST_F(ProgramStart, OpensAtTheSavedRectangleAndSavesTheRecordWhenClosed)
{
    app::SettingsRecord record;
    record.windowRect = {120, 80, 520, 380};
    record.hexIds = 1;
    record.suppressSave = 0xFFFFFFFF; // stored by mistake: it must not stop this save
    WriteStoredSettings(Bytes(record));

    RECT shown = {};
    ProgramRun run = RunAndClose(L"", shown);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_TRUE(EqualRect(&record.windowRect, &shown));
    record.suppressSave = 0;
    EXPECT_EQ(Bytes(record), ReadStoredSettings().value_or(std::vector<uint8_t>()));
}

TEST_F(ProgramStart, PlacementArgumentsAreNotSaved)
{
    RECT shown = {};
    ProgramRun run = RunAndClose(L"@40,30 +300,200", shown);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);
    const RECT expected = {40, 30, 340, 230};
    EXPECT_TRUE(EqualRect(&expected, &shown));
    EXPECT_FALSE(ReadStoredSettings());
}
