#include "perf/NameTable.h"

#include <climits>

namespace perf {

namespace {

size_t StringLength(const char16_t* text, size_t limit)
{
    size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return n;
}

// As the platform C library's _wtoi: leading blanks, a sign, the digits that
// follow; 0 for no number; saturated at the ends of int's range.
int32_t ParseIndex(const char16_t* text, size_t length)
{
    size_t at = 0;
    while (at < length && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r')))
        ++at;
    bool negative = at < length && text[at] == u'-';
    if (at < length && (text[at] == u'-' || text[at] == u'+'))
        ++at;
    int64_t value = 0;
    for (; at < length && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        value = value * 10 + (text[at] - u'0');
        if (value > int64_t(INT_MAX) + 1)
            value = int64_t(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int32_t>(value);
}

} // namespace

std::vector<NamePair> NamePairs(const char16_t* text, size_t length)
{
    std::vector<NamePair> pairs;
    size_t at = 0;
    while (at < length) {
        size_t indexLength = StringLength(text + at, length - at);
        if (indexLength == 0)
            break;
        int32_t index = ParseIndex(text + at, indexLength);
        at += indexLength + 1;
        if (at >= length)
            break; // an index without its text
        pairs.push_back({index, at});
        at += StringLength(text + at, length - at) + 1;
    }
    return pairs;
}

uint32_t NameTableCount(const std::vector<NamePair>& pairs, size_t length)
{
    uint64_t limit = uint64_t(length) + NAME_TABLE_SLACK;
    uint64_t count = 1;
    for (const NamePair& pair : pairs) {
        if (pair.index < 0)
            continue;
        if (uint64_t(pair.index) >= limit)
            return 0;
        if (uint64_t(pair.index) >= count)
            count = uint64_t(pair.index) + 1;
    }
    return static_cast<uint32_t>(count);
}

} // namespace perf
