// Catches the real message boxes shown on the current thread: a WH_CBT hook
// notes each box when it is activated; its caption and text are read, and it
// is answered, from a timer that the box's own loop runs a moment later (a
// task-modal box is activated before its text is set).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline std::wstring WindowText(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

inline bool HasClass(HWND window, const wchar_t* className)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return _wcsicmp(name, className) == 0;
}

// The text of a message box: its one static control with text (the
// control's id differs between Windows and Wine).
inline std::wstring BoxText(HWND box)
{
    std::wstring text;
    auto collect = [](HWND child, LPARAM found) -> BOOL {
        auto& text = *reinterpret_cast<std::wstring*>(found);
        if (text.empty() && HasClass(child, L"Static"))
            text = WindowText(child);
        return TRUE;
    };
    EnumChildWindows(box, collect, reinterpret_cast<LPARAM>(&text));
    return text;
}

struct CaughtBox {
    std::wstring caption, text;
};

class MessageBoxCatcher {
public:
    MessageBoxCatcher() : hook(SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId())) { active = this; }
    ~MessageBoxCatcher()
    {
        UnhookWindowsHookEx(hook);
        active = nullptr;
    }
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    std::vector<CaughtBox> boxes;
    int answer = IDOK; // the button that answers each box
    // Also writes each box's caption and text to stderr (for child processes
    // whose output the parent checks).
    bool echo = false;
    // Called while a box is on screen in place of the answer: it closes the box.
    std::function<void(HWND box)> whileShown;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE && active && HasClass(window, L"#32770") &&
            std::find(active->seen.begin(), active->seen.end(), window) == active->seen.end()) {
            active->seen.push_back(window);
            active->pending = window;
            SetTimer(nullptr, 0, 1, ReadPendingBox);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static void CALLBACK ReadPendingBox(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        HWND box = active ? std::exchange(active->pending, nullptr) : nullptr;
        if (!box)
            return;
        const CaughtBox& caught = active->boxes.emplace_back(CaughtBox{WindowText(box), BoxText(box)});
        if (active->echo) {
            std::fwprintf(stderr, L"%ls\n%ls\n", caught.caption.c_str(), caught.text.c_str());
            std::fflush(stderr);
        }
        if (active->whileShown)
            active->whileShown(box);
        else
            PostMessageW(box, WM_COMMAND, active->answer, 0);
    }

    static inline thread_local MessageBoxCatcher* active = nullptr;
    HHOOK hook;
    std::vector<HWND> seen;
    HWND pending = nullptr;
};

} // namespace testing_support
