// Blocks written by the SnapshotWriter, shared by the tests and by the seed
// corpus of the fuzzer.
#pragma once

#include <cstdint>
#include <vector>

namespace perf::test {

// Title indexes used by the sample blocks.
constexpr uint32_t ProcessObject = 230;
constexpr uint32_t ThreadObject = 232;
constexpr uint32_t SystemObject = 2;
constexpr uint32_t EmptyObject = 9000;

// Objects with instances and 4- and 8-byte counters, one without instances
// and one without counters or instances, in that order: process, system,
// thread, empty.
std::vector<uint8_t> SampleBlock();

// The sample block and a few smaller ones.
std::vector<std::vector<uint8_t>> SeedBlocks();

} // namespace perf::test
