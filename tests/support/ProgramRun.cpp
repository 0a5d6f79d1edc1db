#include "support/ProgramRun.h"

#include "support/ChildProcess.h"

namespace testing_support {

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (owner == search->processId && wcscmp(className, search->className) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring Text(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

BOOL CALLBACK FirstStaticText(HWND child, LPARAM param)
{
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    auto* text = reinterpret_cast<std::wstring*>(param);
    std::wstring own = Text(child);
    if (_wcsicmp(className, L"Static") == 0 && !own.empty() && text->empty())
        *text = own;
    return TRUE;
}

} // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className)
{
    WindowSearch search = {processId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ProgramRun RunQuorlet(const std::wstring& arguments, DWORD timeoutMs,
                      const std::function<bool(DWORD processId)>& whileRunning)
{
    ProgramRun run;
    std::wstring command = L"\"" + TestFolder() + L"..\\quorlet.exe\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return run;
    run.started = true;
    bool watching = true;
    HWND lastBox = nullptr;
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (WaitForSingleObject(child.hProcess, 50) == WAIT_OBJECT_0) {
            run.ended = true;
            break;
        }
        HWND box = FindProcessWindow(child.dwProcessId, L"#32770");
        if (box && box != lastBox) {
            // A task-modal box shows before its text is set: wait for the text.
            std::wstring text;
            for (int tries = 0; tries < 100 && text.empty(); ++tries) {
                Sleep(20);
                EnumChildWindows(box, FirstStaticText, reinterpret_cast<LPARAM>(&text));
            }
            run.boxes.push_back({Text(box), text});
            lastBox = box;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (watching && whileRunning)
            watching = whileRunning(child.dwProcessId);
    }
    if (!run.ended) {
        TerminateProcess(child.hProcess, 255);
        WaitForSingleObject(child.hProcess, 5000);
    }
    GetExitCodeProcess(child.hProcess, &run.exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return run;
}

} // namespace testing_support
