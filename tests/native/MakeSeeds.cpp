// Writes the fuzzers' seed corpora: blocks from the SnapshotWriter into the
// first folder, counter-name values into the second.
//
//   make_seeds <snapshot folder> <name folder>
#include "SnapshotWalk.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

bool Write(const std::filesystem::path& folder, int n, const void* bytes, size_t size)
{
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / ("seed-" + std::to_string(n)), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds <snapshot folder> <name folder>\n");
        return 2;
    }
    int n = 0;
    bool written = true;
    for (const std::vector<uint8_t>& block : perf::test::SeedBlocks())
        written = written && Write(argv[1], ++n, block.data(), block.size());
    // Pairs as the registry stores them, each string terminated, then one
    // more terminator (the literal's own).
    static const char16_t english[] = u"1\0" u"1847\0" u"230\0Process\0" u"1410\0Creating Process ID\0";
    static const char16_t odd[] = u"1\0One\0" u"2\0\0" u"4\0Four\0" u"-5\0Minus\0" u" 7x\0Seven\0";
    written = written && Write(argv[2], ++n, english, sizeof(english)) && Write(argv[2], ++n, odd, sizeof(odd));
    return written ? 0 : 1;
}
