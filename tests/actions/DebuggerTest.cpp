#include "actions/Debugger.h"

#include <gtest/gtest.h>

namespace {

TEST(DebuggerFormat, OnlyUpToTwoIntegerConversionsAreUsed)
{
    struct Case {
        const wchar_t* format;
        bool safe;
    };
    const Case cases[] = {
        {L"\"C:\\dbg\\windbg.exe\" -p %ld -e %ld -g", true},
        {L"drwtsn32 -p %u -e %-08x 100%% sure", true},
        {L"dbg.exe", true},
        {L"dbg.exe -p %d", true},
        {L"dbg.exe -p %ld -e %ld %ld", false},
        {L"dbg.exe -p %s", false},
        {L"dbg.exe -p %ls -e %ld", false},
        {L"dbg.exe -p %*d", false},
        {L"dbg.exe -p %lld", false},
        {L"dbg.exe -p %n", false},
        {L"dbg.exe -p %.5d", false},
        {L"dbg.exe trailing %", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(actions::IsSafeDebuggerFormat(c.format), c.safe) << c.format;
}

} // namespace
