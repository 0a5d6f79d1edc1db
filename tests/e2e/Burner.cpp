// Burns one processor until the process whose id it is given ends.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0);
    volatile unsigned spin = 0;
    while (parent && WaitForSingleObject(parent, 0) == WAIT_TIMEOUT) {
        for (int i = 0; i < 1000000; ++i)
            spin = spin + 1;
    }
}
