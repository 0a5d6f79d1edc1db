// Runs quorlet.exe (built beside the tests' folder) as a child process, reads
// the message boxes it shows from their windows, answers them, and reports
// how the program ended.
#pragma once

#include "support/MessageBoxCatcher.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct ProgramRun {
    bool started = false;
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<CaughtBox> boxes;
};

// `whileRunning` is called about every 50 ms with the child's process id until
// it ends or it returns false. `timeoutMs` only bounds a run that never ends:
// then the child is ended.
ProgramRun RunQuorlet(const std::wstring& arguments, DWORD timeoutMs = 60000,
                      const std::function<bool(DWORD processId)>& whileRunning = nullptr);

// The top-level window of that class owned by the process, or null.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);

} // namespace testing_support
