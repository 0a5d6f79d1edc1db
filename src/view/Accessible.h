// The list as assistive technology sees it: an IAccessible for the main
// window's client area whose children are the listed rows, by position, and
// the events that tell a screen reader what changed.
#pragma once

#include "model/Records.h"

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <cstdint>
#include <string>

namespace view {

// WM_GETOBJECT: the list's object for OBJID_CLIENT; 0 (let the system
// answer) for any other object.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// A new reference to the window's list object, made on first need; null when
// it cannot be made.
IAccessible* ListAccessible(HWND window);

// WM_DESTROY: the object, which clients may still hold, answers
// RPC_E_DISCONNECTED from now on, and the window gets no new one.
void DisconnectAccessible(HWND window);

// An event about one row (focus, selection, state change); the focus only
// while the window has the keyboard focus.
void NotifyRowEvent(HWND window, DWORD event, int32_t row);

// The rows were listed again: one reorder event for the whole list when they
// are not the rows last told, and only while someone listens.
void NotifyListChanged(HWND window);

// What the MSAA object and the UI Automation elements both answer.
// What a row shows, as read out: its ID and name, "thread" before a thread's.
std::wstring RowName(int32_t row);
// The list's name, after the program and the counter shown.
std::wstring ListName();
// The row's value text, as the paint makes it.
std::wstring RowValueText(int32_t row);
bool HasThreadsToShow(const model::InstanceRecord& record);
// Rows nest: processes under their creators, or threads under their processes.
bool IsOutline();
// The row's band on the screen.
RECT RowRectangle(HWND window, int32_t row);
bool IsRowVisible(HWND window, int32_t row);
bool HasKeyboardFocus(HWND window);

} // namespace view
