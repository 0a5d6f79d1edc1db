// Starts the test child (a waiting process built beside the tests) and ends it
// when the owner goes out of scope.
#pragma once

#include "core/Handles.h"

#include <windows.h>

#include <string>

namespace testing_support {

class ChildProcess {
public:
    // `sddl` and `threadSddl`, when given, are the security descriptors of the
    // process object and of its first thread.
    explicit ChildProcess(const wchar_t* sddl = nullptr, const wchar_t* threadSddl = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return static_cast<bool>(handle); }
    DWORD processId() const { return id; }
    DWORD threadId() const { return mainThreadId; }
    HANDLE process() const { return handle.Get(); }
    HANDLE mainThread() const { return thread.Get(); }

private:
    core::KernelHandle handle, thread;
    DWORD id = 0;
    DWORD mainThreadId = 0;
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

// The folder of the running test executable, with a trailing backslash.
std::wstring TestFolder();

} // namespace testing_support
