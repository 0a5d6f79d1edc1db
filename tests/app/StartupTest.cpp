#include "ui/Platform.h"
#include "app/AppTestSupport.h"
#include "app/Startup.h"
#include "core/Handles.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"

#include <climits>

using namespace testing_support;

TEST(InitialWindowPlacement, TakesTheSavedRectangleOnlyWhenEnoughOfItIsOnScreen)
{
    const app::WindowPlacement fallback = {static_cast<int>(CW_USEDEFAULT), static_cast<int>(CW_USEDEFAULT), 200, 200};
    const RECT screen = {-1280, 0, 1024, 1024}; // a monitor left of the primary one
    const struct {
        RECT saved;
        app::WindowPlacement expected;
    } cases[] = {
        {{100, 50, 500, 450}, {100, 50, 400, 400}},
        {{-1200, 100, -800, 400}, {-1200, 100, 400, 300}},
        {{-100, -20, 300, 300}, {-100, -20, 400, 320}}, // partly off the screen
        {{0, 50, 400, 450}, fallback},                  // a left edge of 0 counts as not saved
        {{100, 50, 500, 0}, fallback},                  // nor a bottom of 0
        {{1024, 10, 1224, 210}, fallback},              // just beyond the right edge
        {{1000, 10, 1224, 210}, fallback},              // too narrow a part on screen
        {{-1000000, -1000000, 10, 10}, fallback},       // too small a part
        {{500, 400, 100, 50}, fallback},                // inverted
        {{INT_MIN + 10, 5, INT_MAX - 100, 50}, {-1280, 5, 2304, 45}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.saved.left << "," << c.saved.top << "," << c.saved.right);
        app::WindowPlacement p = app::InitialWindowPlacement(c.saved, screen, 20);
        EXPECT_EQ((std::vector<int>{c.expected.x, c.expected.y, c.expected.width, c.expected.height}),
                  (std::vector<int>{p.x, p.y, p.width, p.height}));
    }
}

TEST(Startup, TheUpdateTimerRunsOnlyWithAutomaticUpdatesAndItsFailureIsReported)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ui::settings = ui::SettingsRecord();
    for (uint32_t automatic : {0u, 1u}) {
        ui::settings.autoUpdate = automatic;
        app::StartUpdateTimer(window);
        EXPECT_EQ(automatic != 0, KillTimer(window, app::UPDATE_TIMER_ID) != FALSE);
    }
    DestroyWindow(window);
    MessageBoxCatcher catcher;
    app::StartUpdateTimer(window);
    EXPECT_EQ(0u, ui::settings.autoUpdate) << "a timer that cannot be made turns updates manual";
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Timer creation failed, Win32 Error=0x"));
    ui::settings = ui::SettingsRecord();
}

TEST(Startup, TheSecurityEditorComesFromTheSystemFolderNotOneBesideTheProgram)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(L"aclui.dll"));
    struct PlantedFile {
        std::wstring path = TestFolder() + L"aclui.dll";
        ~PlantedFile() { DeleteFileW(path.c_str()); }
    } planted; // any loadable image will do
    ASSERT_TRUE(CopyFileW((TestFolder() + L"test_child.exe").c_str(), planted.path.c_str(), FALSE));

    ui::ProbePlatform(GetModuleHandleW(nullptr));
    core::Module loaded(std::exchange(ui::platform.aclUiModule, nullptr));
    wchar_t path[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetModuleFileNameW(loaded.Get(), path, MAX_PATH);
    EXPECT_EQ(0, _wcsnicmp(system, path, GetSystemDirectoryW(system, MAX_PATH)));
    EXPECT_NE(nullptr, std::exchange(ui::platform.editSecurityFn, nullptr));
    EXPECT_NE(nullptr, std::exchange(ui::platform.messageFilterFn, nullptr)) << "the taskbar's announcement let through";
}

// The program's own run: the stored record is loaded, the window placed at
// its rectangle, and the record saved as it was when the window closes.
using ProgramStart = StoredSettingsFixture;

TEST_F(ProgramStart, OpensAtTheSavedRectangleAndSavesTheRecordWhenClosed)
{
    ui::SettingsRecord record;
    record.windowRect = {120, 80, 520, 380};
    record.suppressSave = 0xFFFFFFFF; // stored by mistake: it must not stop this save
    StoreSettings(Bytes(record));
    RECT shown = {};
    ProgramRun run = RunQuorlet(L"", 60000, [&](DWORD processId) {
        HWND window = FindProcessWindow(processId, app::MAIN_WINDOW_CLASS);
        if (window && GetWindowRect(window, &shown))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return window == nullptr;
    });
    EXPECT_TRUE(run.ended && run.exitCode == 0 && run.boxes.empty());
    EXPECT_TRUE(EqualRect(&record.windowRect, &shown));
    record.suppressSave = 0;
    EXPECT_EQ(Bytes(record), ReadStoredSettings());
}
