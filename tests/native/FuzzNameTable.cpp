// libFuzzer target: any input is taken as a counter-name value (UTF-16 code
// units, as the registry returns them) and walked. Every pair must lie inside
// the value, the walk must move forward, and the table it sizes must hold
// every index and stay in proportion to the value.
#include "perf/NameTable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the value's characters, so that the address sanitizer
    // stops any read past them.
    size_t length = size / sizeof(char16_t);
    char16_t* text = new char16_t[length ? length : 1];
    std::memcpy(text, data, length * sizeof(char16_t));
    std::vector<perf::NamePair> pairs = perf::NamePairs(text, length);
    uint32_t count = perf::NameTableCount(pairs, length);
    auto Fail = [](const char* what) {
        std::fprintf(stderr, "name table fault: %s\n", what);
        std::abort();
    };
    size_t previous = 0;
    for (const perf::NamePair& pair : pairs) {
        if (pair.textOffset >= length)
            Fail("a text outside the value");
        if (pair.textOffset <= previous)
            Fail("a walk that does not move forward");
        previous = pair.textOffset;
        if (count != 0 && pair.index >= 0 && static_cast<uint32_t>(pair.index) >= count)
            Fail("an index outside the table");
    }
    if (count > length + perf::NAME_TABLE_SLACK)
        Fail("a table out of proportion to the value");
    delete[] text;
    return 0;
}
