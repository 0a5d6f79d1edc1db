#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "core/Handles.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "dialogs/LoadGenerator.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "ui/MessageLoop.h"
#include "ui/Platform.h"
#include "ui/Settings.h"
#include "view/DisplayResources.h"
#include "view/Tray.h"

#include <objbase.h>

#include <algorithm>
#include <cstdint>

namespace app {

namespace {

constexpr int DEFAULT_SIZE = 200;
constexpr DWORD STOPPED_WORKER_WAIT_MS = 5000;

// The running update timer's identifier; 0 while none runs.
UINT_PTR updateTimer = 0;

// The display resources from their creation to the end of the run.
struct DisplayResourcesLifetime {
    DisplayResourcesLifetime() { view::CreateDisplayResources(); }
    ~DisplayResourcesLifetime() { view::DestroyDisplayResources(); }
    DisplayResourcesLifetime(const DisplayResourcesLifetime&) = delete;
    DisplayResourcesLifetime& operator=(const DisplayResourcesLifetime&) = delete;
};

void ShowUnsupportedSystem()
{
    MessageBoxW(nullptr, L"Unsupported Operating System:\nThis program will not run on this Operating System.",
                L"Fatal Error", MB_OK);
}

// One axis of a saved rectangle, and how much of it lies on the screen. The
// stored values can be anything, so all of it is worked out in 64 bits.
struct Span {
    int start, length;
    int64_t visible;
};

Span VisibleSpan(LONG low, LONG high, LONG screenLow, LONG screenHigh)
{
    int64_t visible = int64_t{std::min(high, screenHigh)} - std::max(low, screenLow);
    // Larger than the screen (a window cannot be made that big anyway): the
    // screen's own extent.
    if (int64_t{high} - low > int64_t{screenHigh} - screenLow)
        return {screenLow, screenHigh - screenLow, visible};
    // A reversed or far-flung pair is thrown away by the caller; the
    // difference is still taken in 64 bits so that it cannot overflow.
    return {low, static_cast<int>(int64_t{high} - low), visible};
}

RECT ScreenRectangle()
{
    if (!ui::platform.isWindows2000OrLater)
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

HWND CreateMainWindow()
{
    WindowPlacement placement =
        InitialWindowPlacement(ui::settings.windowRect, ScreenRectangle(), GetSystemMetrics(SM_CYCAPTION));
    return CreateWindowExW(0, MAIN_WINDOW_CLASS, L"Quorlet", WS_OVERLAPPEDWINDOW | WS_VSCROLL, placement.x,
                           placement.y, placement.width, placement.height, nullptr, nullptr, ui::platform.instance,
                           nullptr);
}

// The load generator measures the local machine only.
void CloseLoadGenerator()
{
    if (ui::messageLoop.loadGeneratorDialog)
        DestroyWindow(ui::messageLoop.loadGeneratorDialog);
}

// The window's thread is a single-threaded COM apartment for the whole run:
// the access-control editor opens the platform's object picker, a COM object.
struct ComApartment {
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ComApartment() = default;
    ~ComApartment()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

struct PlatformLifetime {
    PlatformLifetime() = default;
    ~PlatformLifetime() { ui::ReleasePlatform(); }
    PlatformLifetime(const PlatformLifetime&) = delete;
    PlatformLifetime& operator=(const PlatformLifetime&) = delete;
};

} // namespace

void InstallHooks()
{
    perf::SetSnapshotRetiredHook(model::OnSnapshotRetired);
    perf::SetRemoteConnectedHook(CloseLoadGenerator);
}

bool RegisterMainWindowClass()
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = ui::platform.instance;
    windowClass.hIcon = LoadIconW(ui::platform.instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    if (RegisterClassW(&windowClass))
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_CALL_NOT_IMPLEMENTED)
        ShowUnsupportedSystem();
    else
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_CLASS_REGISTRATION), error, MB_ICONEXCLAMATION);
    return false;
}

WindowPlacement InitialWindowPlacement(const RECT& saved, const RECT& screen, int titleHeight)
{
    WindowPlacement fallback = {static_cast<int>(CW_USEDEFAULT), static_cast<int>(CW_USEDEFAULT), DEFAULT_SIZE,
                                DEFAULT_SIZE};
    // A rectangle counts as saved only when its left and bottom are nonzero.
    if (saved.left == 0 || saved.bottom == 0)
        return fallback;
    Span across = VisibleSpan(saved.left, saved.right, screen.left, screen.right);
    Span down = VisibleSpan(saved.top, saved.bottom, screen.top, screen.bottom);
    // Enough of it to take hold of and drag back; an inverted rectangle shows nothing.
    if (across.visible < 2 * int64_t{titleHeight} || down.visible < titleHeight)
        return fallback;
    return {across.start, down.start, across.length, down.length};
}

void StartUpdateTimer(HWND window)
{
    if (!ui::settings.autoUpdate)
        return;
    updateTimer = SetTimer(window, UPDATE_TIMER_ID, ui::settings.updateIntervalMs, nullptr);
    if (updateTimer == 0) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_TIMER_CREATION), 0, MB_ICONEXCLAMATION);
        ui::SwitchToManualUpdates();
    }
}

void StopUpdateTimer(HWND window)
{
    if (updateTimer)
        KillTimer(window, updateTimer);
    updateTimer = 0;
}

int RunProgram(HINSTANCE instance, int show)
{
    InstallHooks();
    ComApartment apartment;
    ui::ProbePlatform(instance);
    // The state keeps plain copies of what lives for the whole run; these own
    // them on every way out, released in reverse order.
    PlatformLifetime platform;
    ui::LoadSettings();
    ParseCommandLine();
    if (!RegisterMainWindowClass())
        return -1;
    core::Accelerators accelerators(LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS)));
    ui::SetAccelerators(accelerators.Get());
    DisplayResourcesLifetime display;
    ui::SetMainWindow(CreateMainWindow());
    if (!ui::platform.mainWindow) {
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_WINDOW_CREATION), 0, MB_ICONEXCLAMATION);
        return -1;
    }
    ShowWindow(ui::platform.mainWindow, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        ui::PumpMessage(message);

    ui::SaveSettings();
    perf::ConnectToMachine(nullptr, nullptr);
    view::RemoveTrayIcons();
    // A load worker stopped as the window closed is let finish before the
    // statics it touches (its state, the lock) are destroyed; it ends within a
    // pass once it runs, so only a starved machine meets the bound.
    dialogs::WaitForStoppedWorkers(STOPPED_WORKER_WAIT_MS);
    return 0; // the display resources, accelerators and library go with their owners
}

} // namespace app
