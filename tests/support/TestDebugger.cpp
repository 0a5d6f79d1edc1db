// A stand-in for a just-in-time debugger, registered by the tests in win.ini:
//   test_debugger.exe PROCESS EVENT EXPECTED [silent|hang]
// It checks that it was given the expected process and that it may open it
// fully, and notes what it did (and its own id) under TEST_DEBUGGER_KEY. Then,
// like a debugger that attached, it signals the event and lives as long as
// the process; "silent" exits without signalling, "hang" never signals.
#include "support/TestDebugger.h"

#include <cstdlib>
#include <string>

namespace {

int Note(const wchar_t* outcome, int exitCode = 1)
{
    std::wstring text = std::wstring(outcome) + L" " + std::to_wstring(GetCurrentProcessId());
    RegSetKeyValueW(HKEY_CURRENT_USER, testing_support::TEST_DEBUGGER_KEY, testing_support::TEST_DEBUGGER_VALUE,
                    REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Note(L"bad-arguments");
    DWORD processId = std::strtoul(argv[1], nullptr, 10);
    HANDLE event = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::strtoul(argv[2], nullptr, 10)));
    if (processId != std::strtoul(argv[3], nullptr, 10))
        return Note(L"wrong-process");
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (!process)
        return Note(L"no-access");
    std::string mode = argc > 4 ? argv[4] : "";
    if (mode == "silent")
        return Note(L"silent", 0);
    // Noted first: the waiting side may look as soon as the event is set.
    Note(mode == "hang" ? L"waiting" : L"signalled");
    if (mode != "hang" && !SetEvent(event))
        return Note(L"bad-event");
    // A wait that nothing ends gives up in the end, so that a test stuck in it fails.
    WaitForSingleObject(process, mode == "hang" ? 60000 : INFINITE);
    return 0;
}
