// The list for UI Automation clients: a fragment root of control type
// DataGrid whose children are a header and the listed rows, each row with
// its three cells. A row is known by what it is (its kind and its process or
// thread ID), not by where it is, so that an element a client holds keeps
// naming the same process or thread while the rows reorder.
#pragma once

#include "view/AutomationTypes.h"

#include <cstdint>

namespace view {

// WM_GETOBJECT for UiaRootObjectId; 0 once the window is being destroyed or
// where the platform has no UI Automation.
LRESULT AnswerAutomation(HWND window, WPARAM wParam, LPARAM lParam);

// A new reference to the window's fragment root; null after WM_DESTROY.
IRawElementProviderSimple* AutomationRoot(HWND window);

// WM_DESTROY: every element answers UIA_E_ELEMENTNOTAVAILABLE from now on.
void DisconnectAutomation(HWND window);

// Whether some UI Automation client listens for events.
bool AutomationClientsListening();
// The UI Automation side of a row's WinEvent: focus, selection, expansion.
void RaiseAutomationRowEvent(HWND window, DWORD winEvent, int32_t row);
// The rows listed are not those told last.
void RaiseAutomationStructureChanged(HWND window);

// The functions of uiautomationcore.dll that the provider calls, found at
// run time; null where the system has none. Tests may stand in for them.
struct AutomationFunctions {
    LRESULT(WINAPI* returnProvider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    HRESULT(WINAPI* hostProvider)(HWND, IRawElementProviderSimple**) = nullptr;
    BOOL(WINAPI* clientsListening)() = nullptr;
    HRESULT(WINAPI* raiseEvent)(IRawElementProviderSimple*, EVENTID) = nullptr;
    HRESULT(WINAPI* raiseProperty)(IRawElementProviderSimple*, PROPERTYID, VARIANT, VARIANT) = nullptr;
    HRESULT(WINAPI* raiseStructure)(IRawElementProviderSimple*, int, int*, int) = nullptr;
    HRESULT(WINAPI* disconnect)(IRawElementProviderSimple*) = nullptr;
};
AutomationFunctions& Automation();

} // namespace view
