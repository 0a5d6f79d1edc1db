// The processes the tests start: the test child (a waiting process built
// beside the tests), quorlet.exe itself, and the test debugger.
#pragma once

#include "core/Handles.h"
#include "support/MessageBoxCatcher.h"

#include <functional>

namespace testing_support {

// The folder of the running test executable, with a trailing backslash.
std::wstring TestFolder();

// Starts the test child, given the test process's id, and ends it with the
// owner. `sddl` and `threadSddl`, when given, are the security descriptors of
// the process and of its first thread; another program may stand in.
class ChildProcess {
public:
    explicit ChildProcess(const wchar_t* sddl = nullptr, const wchar_t* threadSddl = nullptr,
                          const wchar_t* program = L"test_child.exe");
    ~ChildProcess();

    bool started() const { return static_cast<bool>(handle); }
    DWORD processId() const { return info.dwProcessId; }
    DWORD threadId() const { return info.dwThreadId; }
    HANDLE process() const { return handle.Get(); }
    HANDLE mainThread() const { return thread.Get(); }

private:
    PROCESS_INFORMATION info = {};
    core::KernelHandle handle, thread;
};

// Query rights only, for the owner and for everyone: the owner may still
// change the list (WRITE_DAC is implied for the owner).
constexpr const wchar_t* QUERY_ONLY_SDDL = L"D:P(A;;0x100400;;;OW)(A;;0x100400;;;WD)";
constexpr const wchar_t* THREAD_QUERY_ONLY_SDDL = L"D:P(A;;0x100040;;;OW)(A;;0x100040;;;WD)";

// The exit code once the process has ended (within 10 s); STILL_ACTIVE otherwise.
inline DWORD ExitCodeAfterEnd(HANDLE process)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

bool IsRunning(DWORD processId);

// The visible top-level window of that class owned by the process, or null.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);

// How a run of quorlet.exe ended, and the message boxes it showed, read from
// their windows and each answered with OK.
struct ProgramRun {
    bool started = false, ended = false;
    DWORD exitCode = 0;
    std::vector<CaughtBox> boxes;
};

// Runs quorlet.exe, built beside the tests' folder. `whileRunning` is called
// about every 50 ms with its process id until it ends or it returns false.
// `timeoutMs` only bounds a run that never ends: then the child is ended.
ProgramRun RunQuorlet(const std::wstring& arguments, DWORD timeoutMs = 60000,
                      const std::function<bool(DWORD processId)>& whileRunning = nullptr);

// The test debugger registered in win.ini's [AeDebug] for as long as the
// owner lives (then no debugger is); `arguments` follow its path.
struct RegisteredDebugger {
    explicit RegisteredDebugger(const std::wstring& arguments);
    ~RegisteredDebugger();

    // What the debugger noted ("signalled", "waiting", ...), empty when none
    // ran; its process id in `debuggerId`.
    std::wstring Outcome(DWORD* debuggerId = nullptr) const;
};

} // namespace testing_support
