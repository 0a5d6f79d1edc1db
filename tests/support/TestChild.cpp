// A process for tests to start, inspect and end: it sleeps for the number of
// milliseconds given as its argument (30 seconds by default), then exits 0.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    Sleep(argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 30000);
    return 0;
}
