// Starts the test child (a waiting process built beside the tests) and ends it
// when the owner goes out of scope.
#pragma once

#include "core/Handles.h"

#include <windows.h>

#include <string>

namespace testing_support {

class ChildProcess {
public:
    // `sddl`, when given, is the process object's security descriptor.
    explicit ChildProcess(const wchar_t* sddl = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return static_cast<bool>(handle); }
    DWORD processId() const { return id; }
    DWORD threadId() const { return mainThreadId; }
    HANDLE process() const { return handle.Get(); }

private:
    core::KernelHandle handle, thread;
    DWORD id = 0;
    DWORD mainThreadId = 0;
};

// Query rights only, for the owner and for everyone: the owner may still
// change the list (WRITE_DAC is implied for the owner).
constexpr const wchar_t* QUERY_ONLY_SDDL = L"D:P(A;;0x100400;;;OW)(A;;0x100400;;;WD)";

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
