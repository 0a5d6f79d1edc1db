#include "support/ChildProcess.h"
#include "support/TestDebugger.h"

#include "core/Handles.h"

#include <cwchar>

namespace testing_support {

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

HWND FindWaitDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (wcscmp(name, L"#32770") != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsRunning(DWORD processId)
{
    core::KernelHandle process{OpenProcess(SYNCHRONIZE, FALSE, processId)};
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

} // namespace testing_support
