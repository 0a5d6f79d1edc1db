#include "support/MessageBoxCatcher.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace testing_support {

namespace {

thread_local MessageBoxCatcher* activeCatcher = nullptr;

bool IsDialog(HWND window)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    return wcscmp(className, L"#32770") == 0;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    wchar_t className[16] = {};
    GetClassNameW(child, className, static_cast<int>(std::size(className)));
    std::wstring text = WindowText(child);
    auto* found = reinterpret_cast<std::wstring*>(param);
    if (_wcsicmp(className, L"Static") == 0 && !text.empty() && found->empty())
        *found = text;
    return TRUE;
}

} // namespace

std::wstring WindowText(HWND window)
{
    wchar_t buffer[2048] = {};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

std::wstring BoxText(HWND box)
{
    std::wstring text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

MessageBoxCatcher::MessageBoxCatcher()
{
    activeCatcher = this;
    hook = SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    if (hook)
        UnhookWindowsHookEx(hook);
    activeCatcher = nullptr;
}

void MessageBoxCatcher::Answer(HWND box) const
{
    PostMessageW(box, WM_COMMAND, answer, 0);
}

// A task-modal box is activated before its text is set, so the box is read
// from a timer that its own message loop runs a moment later.
void MessageBoxCatcher::OnActivate(HWND window)
{
    if (!IsDialog(window) || std::find(seen.begin(), seen.end(), window) != seen.end())
        return;
    seen.push_back(window);
    pending = window;
    SetTimer(nullptr, 0, 1, ReadPendingBox);
}

void CALLBACK MessageBoxCatcher::ReadPendingBox(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    MessageBoxCatcher* catcher = activeCatcher;
    if (!catcher || !catcher->pending)
        return;
    HWND box = catcher->pending;
    catcher->pending = nullptr;
    catcher->boxes.push_back({WindowText(box), BoxText(box)});
    if (catcher->echo) {
        std::fwprintf(stderr, L"%ls\n%ls\n", catcher->boxes.back().caption.c_str(),
                      catcher->boxes.back().text.c_str());
        std::fflush(stderr);
    }
    if (catcher->whileShown)
        catcher->whileShown(box);
    else
        catcher->Answer(box);
}

LRESULT CALLBACK MessageBoxCatcher::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activeCatcher)
        activeCatcher->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace testing_support
