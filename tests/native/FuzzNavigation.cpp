// libFuzzer target: any input is taken as a snapshot and walked completely
// (every object, counter definition, instance, name and counter value, with
// FindObject and FindCounter). The sanitizers catch reads outside the input,
// which libFuzzer hands over in a buffer of exactly its size; the walk itself
// catches records, names and data handed out against the navigation's rules.
#include "SnapshotWalk.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX)
        return -1;
    perf::SnapshotView snapshot{data, static_cast<uint32_t>(size)};
    perf::test::Walk walk = perf::test::WalkSnapshot(snapshot);
    if (!walk.faults.empty()) {
        for (const std::string& fault : walk.faults)
            std::fprintf(stderr, "navigation fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
