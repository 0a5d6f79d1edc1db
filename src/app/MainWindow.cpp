#include "app/MainWindow.h"

#include "actions/ContextMenu.h"
#include "app/Commands.h"
#include "app/Startup.h"
#include "model/Records.h"
#include "resources/resource.h"
#include "ui/Platform.h"
#include "ui/Settings.h"
#include "view/Accessible.h"
#include "view/DisplayResources.h"
#include "view/Paint.h"
#include "view/Refresh.h"
#include "view/Scroll.h"
#include "view/Tray.h"
#include "view/TypeToFind.h"
#include "view/ViewState.h"

namespace app {

namespace {

// Registered at creation: the shell broadcasts it when the taskbar is recreated.
UINT taskbarCreatedMessage = 0;

void PostSelectRow(HWND window, int32_t row, uint32_t flags)
{
    PostMessageW(window, WM_SELECT_ROW, static_cast<WPARAM>(static_cast<INT_PTR>(row)), flags);
}

void OnCreate(HWND window)
{
    view::AdoptWindowDpi(window);
    StartUpdateTimer(window);
    view::SetVerticalScroll(window, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, TRUE);
    PostMessageW(window, WM_COMMAND, CMD_UPDATE_NOW, 0);
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    // The taskbar runs at medium integrity: run elevated, the window would
    // not hear of a new taskbar unless this one message is let through.
    if (ui::platform.messageFilterFn && taskbarCreatedMessage)
        ui::platform.messageFilterFn(window, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
}

void OnDestroy(HWND window)
{
    view::DisconnectAccessible(window);
    StopUpdateTimer(window);
    PostQuitMessage(0);
}

void SaveWindowRect(HWND window)
{
    RECT rectangle = {};
    if (GetWindowRect(window, &rectangle))
        ui::RememberWindowRect(rectangle);
}

// The settings keep the last rectangle the window had while neither
// minimised nor maximised.
void RememberRectangle(HWND window)
{
    if (!IsIconic(window) && !IsZoomed(window))
        SaveWindowRect(window);
}

void OnSize(HWND window, WPARAM sizeType)
{
    view::UpdateScrollRange(window);
    if (sizeType == SIZE_RESTORED)
        SaveWindowRect(window);
}

// A click on the expand mark of a row with threads toggles them at once;
// anywhere else on a row it selects and focuses the row.
void OnLeftButtonDown(HWND window, LPARAM lParam)
{
    int x = LOWORD(lParam);
    int32_t row = view::RowAt(HIWORD(lParam));
    if (row < 0 || row >= view::RowCount())
        return;
    const model::InstanceRecord& r = *model::modelState.displayList[row];
    int depth = static_cast<int>(r.depth), h = view::RowHeight(), g = view::display.glyphWidth;
    if (r.threadCount != 0 && x >= (depth - 1) * h + g && x < depth * h + g)
        view::ToggleThreads(window, row, view::TOGGLE_ROW);
    else
        PostSelectRow(window, row, view::SELECT | view::FOCUS);
}

// While the menu is open the clicked row is the selected one; the focus
// stays, and the selection goes back to it afterwards.
LRESULT OnRightButtonDown(HWND window, LPARAM lParam)
{
    int32_t row = view::RowAt(HIWORD(lParam));
    bool restore = false;
    if (row >= 0 && row < view::RowCount()) {
        restore = model::modelState.focusRow >= 0;
        PostSelectRow(window, row, restore ? view::SELECT : view::SELECT | view::FOCUS);
    } else {
        row = model::modelState.focusRow; // below the rows: the focus row's menu
    }
    const model::InstanceRecord* record = row >= 0 && row < view::RowCount() ? model::modelState.displayList[row] : nullptr;
    // The menu's own loop delivers the posted selection while it is open.
    actions::ShowContextMenu(window, LOWORD(lParam), HIWORD(lParam), record);
    if (restore)
        PostSelectRow(window, -1, view::SELECT);
    return 0;
}

void OnSelectRow(HWND window, WPARAM wParam, LPARAM lParam)
{
    // Compared as a 32-bit int: a sender's -1 may arrive without its upper bits.
    int32_t row = static_cast<int32_t>(wParam);
    if (row == -1)
        row = model::modelState.focusRow;
    view::SelectRow(window, row, static_cast<uint32_t>(lParam));
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A registered number, not a constant: it cannot be a case of the switch.
    // The shell restarted: the icons go onto its new taskbar, made for the
    // DPI of the screen it is on now.
    if (message == taskbarCreatedMessage && message != 0) {
        view::LoadTrayIcons();
        view::UpdateTray();
        return 0;
    }
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
        OnSize(window, wParam);
        break;
    case WM_ERASEBKGND:
        return 1; // the paint fills the background in its own bitmap, without flicker
    case WM_PAINT:
        view::PaintView(window);
        break;
    case WM_COMMAND:
        DispatchCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        UpdateNow(window);
        break;
    case WM_VSCROLL:
        view::ScrollByBar(window, wParam);
        break;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(window, lParam);
        break;
    case WM_LBUTTONDBLCLK:
        view::ToggleThreads(window, view::RowAt(HIWORD(lParam)), view::TOGGLE_ROW);
        break;
    case WM_RBUTTONDOWN:
        return OnRightButtonDown(window, lParam);
    case WM_SELECT_ROW:
        OnSelectRow(window, wParam, lParam);
        break;
    case WM_CHAR:
        // When the key was typed, not when a busy thread got to it: letters
        // typed together stay one search behind a slow refresh.
        view::TypeToFind(window, static_cast<wchar_t>(wParam), static_cast<DWORD>(GetMessageTime()));
        return 0;
    case WM_SETFOCUS:
        // The system tells of the window; a reader wants the row within it.
        view::NotifyRowEvent(window, EVENT_OBJECT_FOCUS, model::modelState.focusRow);
        break;
    case WM_GETOBJECT:
        if (LRESULT object = view::AnswerGetObject(window, wParam, lParam))
            return object;
        break;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        view::FollowSystemColours(window);
        break;
    case WM_DPICHANGED:
        view::ChangeDpi(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace app
