// Application state shared by the subsystems: one record for the whole run.
#pragma once

#include <windows.h>

namespace app {

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND loadGeneratorDialog = nullptr;
};

extern AppState state;

} // namespace app
