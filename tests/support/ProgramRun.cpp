#include "support/ProgramRun.h"

#include "core/Handles.h"
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
    core::KernelHandle process(child.hProcess), thread(child.hThread);
    run.started = true;
    bool watching = true;
    HWND lastBox = nullptr;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!run.ended && GetTickCount64() < deadline) {
        run.ended = WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0;
        HWND box = run.ended ? nullptr : FindProcessWindow(child.dwProcessId, L"#32770");
        if (box && box != lastBox) {
            // A task-modal box shows before its text is set: wait for the text.
            std::wstring text = BoxText(box);
            while (text.empty() && IsWindow(box) && GetTickCount64() < deadline) {
                Sleep(20);
                text = BoxText(box);
            }
            run.boxes.push_back({WindowText(box), text});
            lastBox = box;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (watching && whileRunning && !run.ended)
            watching = whileRunning(child.dwProcessId);
    }
    if (!run.ended) {
        TerminateProcess(process.Get(), 255);
        WaitForSingleObject(process.Get(), 5000);
    }
    GetExitCodeProcess(process.Get(), &run.exitCode);
    return run;
}

} // namespace testing_support
