#include "app/Startup.h"

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/DisplayResources.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "core/Module.h"
#include "core/Report.h"
#include "core/WideString.h"
#include "perf/PerfData.h"
#include "resources/resource.h"

namespace app {

namespace {

constexpr int DEFAULT_SIZE = 200;

// What start-up acquired before the window existed, released on every way out.
struct EarlyResources {
    bool displayCreated = false;

    ~EarlyResources()
    {
        if (displayCreated)
            DestroyDisplayResources();
        if (state.accelerators)
            DestroyAcceleratorTable(state.accelerators);
        if (state.aclUiModule)
            FreeLibrary(state.aclUiModule);
        state.accelerators = nullptr;
        state.aclUiModule = nullptr;
        state.editSecurityFn = nullptr;
    }
};

void ShowUnsupportedSystem()
{
    MessageBoxW(nullptr, L"Unsupported Operating System:\nThis program will not run on this Operating System.",
                L"Fatal Error", MB_OK);
}

HWND CreateMainWindow()
{
    bool virtualScreen = state.isWindows2000OrLater;
    WindowPlacement placement = InitialWindowPlacement(
        settings.windowRect, GetSystemMetrics(virtualScreen ? SM_CXVIRTUALSCREEN : SM_CXSCREEN),
        GetSystemMetrics(virtualScreen ? SM_CYVIRTUALSCREEN : SM_CYSCREEN));
    return CreateWindowExW(0, MAIN_WINDOW_CLASS, L"Quorlet", WS_OVERLAPPEDWINDOW | WS_VSCROLL, placement.x,
                           placement.y, placement.width, placement.height, nullptr, nullptr, state.instance,
                           nullptr);
}

// The load generator measures the local machine only.
void CloseLoadGenerator()
{
    if (state.loadGeneratorDialog)
        DestroyWindow(state.loadGeneratorDialog);
}

} // namespace

void ProbePlatform()
{
    DWORD version = GetVersion();
    state.isWindows2000OrLater = (version & 0x80000000) == 0 && LOBYTE(LOWORD(version)) >= 5;
    state.openThreadFn = core::FindExport<OpenThreadFunction>(GetModuleHandleW(L"KERNEL32"), "OpenThread");
    state.aclUiModule = LoadLibraryW(L"ACLUI");
    state.editSecurityFn = core::FindExport<EditSecurityFunction>(state.aclUiModule, "EditSecurity");
}

bool RegisterMainWindowClass()
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = state.instance;
    windowClass.hIcon = LoadIconW(state.instance, MAKEINTRESOURCEW(IDI_PROGRAM));
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

WindowPlacement InitialWindowPlacement(const RECT& saved, int widthLimit, int heightLimit)
{
    WindowPlacement fallback = {static_cast<int>(CW_USEDEFAULT), static_cast<int>(CW_USEDEFAULT), DEFAULT_SIZE,
                                DEFAULT_SIZE};
    // A rectangle counts as saved only when its left and bottom are nonzero.
    if (saved.left == 0 || saved.bottom == 0)
        return fallback;
    WindowPlacement placement = {saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top};
    bool offScreen = placement.x > widthLimit || placement.y > heightLimit || placement.x + placement.width < 0 ||
                     placement.y + placement.height < 0;
    return offScreen ? fallback : placement;
}

void StartUpdateTimer(HWND window)
{
    if (!settings.autoUpdate)
        return;
    state.updateTimer = SetTimer(window, UPDATE_TIMER_ID, settings.updateIntervalMs, nullptr);
    if (state.updateTimer == 0) {
        core::ReportWin32Failure(window, core::TextId(IDS_OP_TIMER_CREATION), 0, MB_ICONEXCLAMATION);
        settings.autoUpdate = 0;
    }
}

void PumpMessage(MSG& message)
{
    if (state.activeModelessDialog && IsDialogMessageW(state.activeModelessDialog, &message))
        return;
    if (state.mainWindow && state.accelerators && TranslateAcceleratorW(state.mainWindow, state.accelerators, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int RunProgram(HINSTANCE instance, int show)
{
    state.instance = instance;
    perf::SetRemoteConnectedHook(CloseLoadGenerator);
    EarlyResources early;
    ProbePlatform();
    LoadSettings();
    ParseCommandLine();
    if (!RegisterMainWindowClass())
        return -1;
    state.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    CreateDisplayResources();
    early.displayCreated = true;
    state.mainWindow = CreateMainWindow();
    if (!state.mainWindow) {
        core::ReportWin32Failure(nullptr, core::TextId(IDS_OP_WINDOW_CREATION), 0, MB_ICONEXCLAMATION);
        return -1;
    }
    ShowWindow(state.mainWindow, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        PumpMessage(message);

    SaveSettings();
    perf::ConnectToMachine(nullptr, nullptr);
    return 0; // the display resources, accelerators and library go with `early`
}

} // namespace app
