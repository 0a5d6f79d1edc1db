// A process for tests to start, inspect and end. It lives until it is ended or
// the test process whose id it is given ends, so that a test that crashes
// leaves nothing behind, and a slow one never outlives it.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    DWORD parentId = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 0;
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
    // Ending the process closes the handle.
    return parent && WaitForSingleObject(parent, INFINITE) == WAIT_OBJECT_0 ? 0 : 1;
}
