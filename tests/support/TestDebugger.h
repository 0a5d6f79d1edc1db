// The test debugger (test_debugger.exe) registered in win.ini's [AeDebug] for
// as long as the owner lives (then no debugger is), and what it noted.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

constexpr const wchar_t* TEST_DEBUGGER_KEY = L"Software\\QuorletTests";
constexpr const wchar_t* TEST_DEBUGGER_VALUE = L"debugger";

class RegisteredDebugger {
public:
    // `arguments` follow the debugger's path on the registered command line.
    explicit RegisteredDebugger(const std::wstring& arguments);
    ~RegisteredDebugger();
    RegisteredDebugger(const RegisteredDebugger&) = delete;
    RegisteredDebugger& operator=(const RegisteredDebugger&) = delete;

    // What the debugger noted ("signalled", "waiting", ...), empty when none
    // ran; its process id in `debuggerId`.
    std::wstring Outcome(DWORD* debuggerId = nullptr) const;
};

// The debugger wait dialog among the current thread's windows, or null.
HWND FindWaitDialog();

bool IsRunning(DWORD processId);

} // namespace testing_support
