#include "SnapshotWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace perf;
using perf::test::Walk;
using perf::test::WalkSnapshot;

namespace {

SnapshotView View(const std::vector<uint8_t>& bytes)
{
    return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

size_t At(const std::vector<uint8_t>& bytes, const void* p)
{
    return static_cast<const uint8_t*>(p) - bytes.data();
}

// How the walk of a cut copy disagrees with the intact walk: its records must
// lie where the intact ones do, each name whole or empty, each value right or
// missing. Empty when they agree.
std::string Disagreement(const std::vector<uint8_t>& whole, const Walk& intact, const std::vector<uint8_t>& copy)
{
    Walk walk = WalkSnapshot(View(copy));
    if (!walk.faults.empty())
        return walk.faults.front();
    for (size_t o = 0; o < std::min(walk.objects.size(), intact.objects.size()); ++o) {
        const test::WalkedObject &w = intact.objects[o], &p = walk.objects[o];
        std::string where = "object " + std::to_string(o);
        bool moved = At(whole, w.object) != At(copy, p.object);
        for (size_t j = 0; j < std::min(w.counters.size(), p.counters.size()); ++j)
            moved = moved || At(whole, w.counters[j]) != At(copy, p.counters[j]);
        for (size_t k = 0; k < std::min(w.instances.size(), p.instances.size()); ++k) {
            const test::WalkedInstance &wi = w.instances[k], &pi = p.instances[k];
            moved = moved || At(whole, wi.instance) != At(copy, pi.instance);
            if (!pi.name.empty() && pi.name != wi.name)
                return where + ": the name of instance " + std::to_string(k);
            for (size_t j = 0; j < std::min(wi.values.size(), pi.values.size()); ++j) {
                if (pi.values[j] && pi.values[j] != wi.values[j])
                    return where + ": value " + std::to_string(j) + " of instance " + std::to_string(k);
            }
        }
        if (moved)
            return where + ": a record elsewhere";
    }
    return "";
}

} // namespace

// Each cut copy is allocated at exactly its length, so that the address
// sanitizer stops any read past it. (Damaged fields are the fuzzer's part.)
TEST(Navigation, EveryTruncationOfABlockStaysInside)
{
    const std::vector<uint8_t> sample = test::SampleBlock();
    const Walk intact = WalkSnapshot(View(sample));
    ASSERT_TRUE(intact.faults.empty()) << intact.faults.front();
    ASSERT_EQ(4u, intact.objects.size());
    for (size_t length = 0; length <= sample.size(); ++length)
        EXPECT_EQ("", Disagreement(sample, intact, {sample.begin(), sample.begin() + length})) << length;
}

TEST(Navigation, BytesThatDoNotStartFourByteAlignedHandOutNoRecords)
{
    const std::vector<uint8_t> sample = test::SampleBlock();
    std::vector<uint8_t> shifted(sample.size() + 2);
    std::memcpy(shifted.data() + 2, sample.data(), sample.size());
    Walk walk = WalkSnapshot({shifted.data() + 2, static_cast<uint32_t>(sample.size())});
    EXPECT_TRUE(walk.objects.empty() && walk.faults.empty());
}
