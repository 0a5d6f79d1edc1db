// Writes the fuzzers' seed corpora: blocks from the SnapshotWriter into the
// first folder, counter-name values into the second.
//
//   make_seeds <snapshot folder> <name folder>
#include "SampleBlocks.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool Write(const std::filesystem::path& folder, int n, const void* bytes, size_t size)
{
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / ("seed-" + std::to_string(n)), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds <snapshot folder> <name folder>\n");
        return 2;
    }
    int n = 0;
    for (const std::vector<uint8_t>& block : perf::test::SeedBlocks()) {
        if (!Write(argv[1], ++n, block.data(), block.size()))
            return 1;
    }
    // Pairs as the registry stores them, each string terminated, then one
    // more terminator (the literal's own).
    static const char16_t english[] = u"1\0" u"1847\0" u"230\0Process\0" u"1410\0Creating Process ID\0";
    static const char16_t odd[] = u"1\0One\0" u"2\0\0" u"4\0Four\0" u"-5\0Minus\0" u" 7x\0Seven\0";
    if (!Write(argv[2], ++n, english, sizeof(english)) || !Write(argv[2], ++n, odd, sizeof(odd)))
        return 1;
    return 0;
}
