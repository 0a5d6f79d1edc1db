// Application state shared by the subsystems: one record for the whole run.
#pragma once

#include <windows.h>

namespace app {

using OpenThreadFunction = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);
using EditSecurityFunction = BOOL(WINAPI*)(HWND, void*);

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    bool isWindows2000OrLater = false;
    OpenThreadFunction openThreadFn = nullptr;
    HMODULE aclUiModule = nullptr;
    EditSecurityFunction editSecurityFn = nullptr;
    HACCEL accelerators = nullptr;
    HWND activeModelessDialog = nullptr;
    HWND loadGeneratorDialog = nullptr;
    UINT_PTR updateTimer = 0;
};

extern AppState state;

constexpr const wchar_t* MAIN_WINDOW_CLASS = L"I_Refuse_To_Use_MFC";
constexpr UINT_PTR UPDATE_TIMER_ID = 777;

} // namespace app
