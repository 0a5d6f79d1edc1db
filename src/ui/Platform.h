// What the platform offers this run, probed once at start-up, and the
// program's instance and main window.
#pragma once

#include <windows.h>

namespace ui {

using OpenThreadFunction = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);
using EditSecurityFunction = BOOL(WINAPI*)(HWND, void*);
using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using MetricForDpiFunction = int(WINAPI*)(int, UINT);
using MessageFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

struct PlatformState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    bool isWindows2000OrLater = false;
    OpenThreadFunction openThreadFn = nullptr; // null on systems without OpenThread
    HMODULE aclUiModule = nullptr;
    EditSecurityFunction editSecurityFn = nullptr; // null without the access-control editor
    // Null on systems that have one DPI for every monitor.
    DpiForWindowFunction dpiForWindowFn = nullptr;
    MetricForDpiFunction metricForDpiFn = nullptr;
    // Null on systems without a per-window message filter.
    MessageFilterFunction messageFilterFn = nullptr;
};

extern PlatformState platform;

// Reads the version and looks up the optional functions; the access-control
// editor's library stays loaded until ReleasePlatform.
void ProbePlatform(HINSTANCE instance);
void ReleasePlatform();
void SetMainWindow(HWND window);

} // namespace ui
