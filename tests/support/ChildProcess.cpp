#include "support/ChildProcess.h"
#include "support/TestDebugger.h"

#include <sddl.h>

#include <tuple>

namespace testing_support {

namespace {

PROCESS_INFORMATION Start(std::wstring command, SECURITY_ATTRIBUTES* process, SECURITY_ATTRIBUTES* thread)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    CreateProcessW(nullptr, command.data(), process, thread, FALSE, 0, nullptr, nullptr, &startup, &info);
    return info;
}

} // namespace

std::wstring TestFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

ChildProcess::ChildProcess(const wchar_t* sddl, const wchar_t* threadSddl, const wchar_t* program)
{
    // Attributes without a descriptor give the default security.
    const wchar_t* texts[] = {sddl, threadSddl};
    core::LocalMemory<PSECURITY_DESCRIPTOR> descriptors[2];
    SECURITY_ATTRIBUTES attributes[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (texts[i] && !ConvertStringSecurityDescriptorToSecurityDescriptorW(texts[i], SDDL_REVISION_1,
                                                                              descriptors[i].Put(), nullptr))
            return;
        attributes[i] = {sizeof(attributes[i]), descriptors[i].Get(), FALSE};
    }
    info = Start(L"\"" + TestFolder() + program + L"\" " + std::to_wstring(GetCurrentProcessId()), &attributes[0],
                 &attributes[1]);
    handle.Reset(info.hProcess);
    thread.Reset(info.hThread);
}

ChildProcess::~ChildProcess()
{
    if (handle && TerminateProcess(handle.Get(), 0))
        WaitForSingleObject(handle.Get(), 5000);
}

bool IsRunning(DWORD processId)
{
    core::KernelHandle process{OpenProcess(SYNCHRONIZE, FALSE, processId)};
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className)
{
    std::tuple<DWORD, const wchar_t*, HWND> search = {processId, className, nullptr};
    auto match = [](HWND window, LPARAM param) -> BOOL {
        auto& [id, name, found] = *reinterpret_cast<decltype(search)*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        found = owner == id && HasClass(window, name) && IsWindowVisible(window) ? window : nullptr;
        return !found;
    };
    EnumWindows(match, reinterpret_cast<LPARAM>(&search));
    return std::get<HWND>(search);
}

ProgramRun RunQuorlet(const std::wstring& arguments, DWORD timeoutMs,
                      const std::function<bool(DWORD processId)>& whileRunning)
{
    ProgramRun run;
    PROCESS_INFORMATION child = Start(L"\"" + TestFolder() + L"..\\quorlet.exe\" " + arguments, nullptr, nullptr);
    core::KernelHandle process(child.hProcess), thread(child.hThread);
    run.started = static_cast<bool>(process);
    bool watching = whileRunning != nullptr;
    HWND lastBox = nullptr;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (run.started && !run.ended && GetTickCount64() < deadline) {
        run.ended = WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0;
        HWND box = run.ended ? nullptr : FindProcessWindow(child.dwProcessId, L"#32770");
        if (box && box != lastBox) {
            // A task-modal box shows before its text is set: wait for the text.
            std::wstring text = BoxText(box);
            for (; text.empty() && IsWindow(box) && GetTickCount64() < deadline; text = BoxText(box))
                Sleep(20);
            run.boxes.push_back({WindowText(box), text});
            lastBox = box;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (watching && !run.ended)
            watching = whileRunning(child.dwProcessId);
    }
    if (run.started && !run.ended) {
        TerminateProcess(process.Get(), 255);
        WaitForSingleObject(process.Get(), 5000);
    }
    GetExitCodeProcess(process.Get(), &run.exitCode);
    return run;
}

RegisteredDebugger::RegisteredDebugger(const std::wstring& arguments)
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, TEST_DEBUGGER_KEY, TEST_DEBUGGER_VALUE);
    std::wstring line = L"\"" + TestFolder() + L"test_debugger.exe\" " + arguments;
    WriteProfileStringW(L"AeDebug", L"Debugger", line.c_str());
}

RegisteredDebugger::~RegisteredDebugger()
{
    WriteProfileStringW(L"AeDebug", L"Debugger", nullptr);
}

std::wstring RegisteredDebugger::Outcome(DWORD* debuggerId) const
{
    wchar_t text[64] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, TEST_DEBUGGER_KEY, TEST_DEBUGGER_VALUE, RRF_RT_REG_SZ, nullptr, text, &size))
        return {};
    std::wstring note = text;
    size_t space = note.find(L' ');
    if (debuggerId)
        *debuggerId = wcstoul(note.c_str() + space + 1, nullptr, 10);
    return note.substr(0, space);
}

} // namespace testing_support
