// Quorlet's entry point.
#include "app/Startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    return app::RunProgram(instance, show);
}
