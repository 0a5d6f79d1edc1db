#include "app/MainWindow.h"

#include "app/AppState.h"
#include "app/Settings.h"
#include "app/Startup.h"

namespace app {

namespace {

void OnCreate(HWND window)
{
    StartUpdateTimer(window);
}

void OnDestroy(HWND window)
{
    KillTimer(window, state.updateTimer);
    PostQuitMessage(0);
}

// The settings keep the last rectangle the window had while neither
// minimised nor maximised.
void RememberRectangle(HWND window)
{
    if (!IsIconic(window) && !IsZoomed(window))
        GetWindowRect(window, &settings.windowRect);
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_DESTROY:
        OnDestroy(window);
        break;
    case WM_MOVE:
        RememberRectangle(window);
        break;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED)
            GetWindowRect(window, &settings.windowRect);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace app
