// Start-up, the message loop and shutdown.
#pragma once

#include <windows.h>

namespace app {

// Runs the program: probes the platform, reads settings and the command line,
// opens the main window, runs the message loop, then saves and releases in a
// fixed order. Returns the exit code (-1 when the window cannot be made).
int RunProgram(HINSTANCE instance, int show);

void ProbePlatform();
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

// Starts the automatic update timer when automatic updates are on.
void StartUpdateTimer(HWND window);

// One step of the message loop: modeless dialog, accelerators, dispatch.
void PumpMessage(MSG& message);

} // namespace app
