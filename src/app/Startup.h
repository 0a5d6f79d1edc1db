// Start-up, the message loop and shutdown.
#pragma once

#include <windows.h>

namespace app {

// Runs the program: probes the platform, reads settings and the command line,
// opens the main window, runs the message loop, then saves and releases in a
// fixed order. Returns the exit code (-1 when the window cannot be made).
int RunProgram(HINSTANCE instance, int show);

// The program's own answers to what the lower layers ask back: installed
// first thing at start-up (and by whatever else links the pieces together).
void InstallHooks();

// Registers the main window's class; reports failures and returns false.
bool RegisterMainWindowClass();

struct WindowPlacement {
    int x, y, width, height;
};

// The saved rectangle when it counts as saved and enough of it (a title
// bar's height, twice that across) lies on the screen rectangle given, cut to
// the screen where it is larger; otherwise the platform's default position at
// 200 x 200.
WindowPlacement InitialWindowPlacement(const RECT& saved, const RECT& screen, int titleHeight);

constexpr const wchar_t* MAIN_WINDOW_CLASS = L"I_Refuse_To_Use_MFC";
constexpr UINT_PTR UPDATE_TIMER_ID = 777;

// Starts the automatic update timer when automatic updates are on; a failure
// is reported and switches to manual updates.
void StartUpdateTimer(HWND window);
void StopUpdateTimer(HWND window);

} // namespace app
