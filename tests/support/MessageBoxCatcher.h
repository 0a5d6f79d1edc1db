// Catches the real message boxes shown on the current thread: a WH_CBT hook
// reads each box's caption and text when it is activated and then answers it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct CaughtBox {
    std::wstring caption;
    std::wstring text;
};

class MessageBoxCatcher {
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    std::vector<CaughtBox> boxes;
    // Button that answers each box (posted as WM_COMMAND).
    int answer = IDOK;
    // Also writes each box's caption and text to stderr (for child processes
    // whose output the parent checks).
    bool echo = false;
    // Called while a box is on screen, before it is answered; when set, the
    // callback is responsible for closing the box (see Answer).
    std::function<void(HWND box)> whileShown;

    void Answer(HWND box) const;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK ReadPendingBox(HWND, UINT, UINT_PTR id, DWORD);
    void OnActivate(HWND window);

    HHOOK hook = nullptr;
    std::vector<HWND> seen;
    HWND pending = nullptr;
};

// A window's own text, and the text of a message box: its one static control
// with text (the control's id differs between Windows and Wine).
std::wstring WindowText(HWND window);
std::wstring BoxText(HWND box);

} // namespace testing_support
