// Every test program's entry point: the pieces are linked as the program
// links them, so they are connected as its start-up connects them.
#include "app/Startup.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    app::InstallHooks();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
