// Writes the fuzzer's seed corpus, blocks from the SnapshotWriter, into the
// folder named on the command line: make_seeds <folder>
#include "SampleBlocks.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const std::vector<uint8_t>& block : perf::test::SeedBlocks()) {
        std::ofstream out(folder / ("seed-" + std::to_string(++n)), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        if (!out) {
            std::fprintf(stderr, "make_seeds: cannot write into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
