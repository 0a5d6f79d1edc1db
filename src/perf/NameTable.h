// The walk over a counter-name or help value: pairs of zero-terminated UTF-16
// strings (a decimal index, then its text). The value comes from the watched
// machine's registry, which may be remote, so nothing in it is trusted: the
// walk stays inside the characters given and the table it sizes stays in
// proportion to them. Portable (no <windows.h>), like the navigation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace perf {

struct NamePair {
    int32_t index;      // negative indexes name no entry
    size_t textOffset;  // where the text starts, in characters; always below the length
};

// The pairs up to the empty string where an index is expected, or up to the
// end of `length` characters. An empty text is a pair like any other.
std::vector<NamePair> NamePairs(const char16_t* text, size_t length);

// Entries needed for the pairs: the highest index + 1, at least 1. 0 when an
// index is larger than a value of `length` characters can justify (real
// tables number their texts densely), so that a hostile value cannot size a
// huge table.
uint32_t NameTableCount(const std::vector<NamePair>& pairs, size_t length);

// How far the indexes may run beyond the value's own length.
constexpr uint32_t NAME_TABLE_SLACK = 65536;

} // namespace perf
