#include "dialogs/Values.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace dialogs {

namespace {

constexpr double MAX_UNSIGNED = 4294967295.0;
// Decimal fractions have no exact binary form: 4.35 s is 4349.99999... ms.
constexpr double FORGIVEN_MILLISECONDS = 1e-6;

const wchar_t* SkipBlanks(const wchar_t* text)
{
    while (*text && iswspace(*text))
        ++text;
    return text;
}

} // namespace

ReadResult ReadPeriodSeconds(const wchar_t* text)
{
    double seconds = 0;
    if (swscanf(text, L"%lf", &seconds) != 1)
        return {ReadStatus::noNumber, 0};
    if (seconds < 0)
        return {ReadStatus::negative, 0};
    double milliseconds = std::floor(seconds * 1000 + FORGIVEN_MILLISECONDS);
    if (!(milliseconds <= MAX_UNSIGNED)) // also NaN and infinity
        return {ReadStatus::tooLarge, 0};
    return {ReadStatus::ok, static_cast<uint32_t>(milliseconds)};
}

void FormatPeriodSeconds(uint32_t milliseconds, wchar_t* text, size_t capacity)
{
    if (milliseconds % 1000)
        swprintf(text, capacity, L"%u.%03u", milliseconds / 1000, milliseconds % 1000);
    else
        swprintf(text, capacity, L"%u", milliseconds / 1000);
}

ReadResult ReadTarget(const wchar_t* text, bool suffixes, uint32_t limit)
{
    const wchar_t* p = SkipBlanks(text);
    if (*p == L'-' && iswdigit(p[1]))
        return {ReadStatus::negative, 0};
    if (*p == L'+')
        ++p;
    if (!iswdigit(*p))
        return {ReadStatus::noNumber, 0};
    uint64_t value = 0;
    for (; iswdigit(*p); ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - L'0');
        if (value > limit)
            return {ReadStatus::tooLarge, 0};
    }
    if (suffixes) {
        switch (towupper(*SkipBlanks(p))) {
        case L'K':
            value <<= 10;
            break;
        case L'M':
            value <<= 20;
            break;
        case L'G':
            value <<= 30;
            break;
        }
    }
    if (value > limit)
        return {ReadStatus::tooLarge, 0};
    return {ReadStatus::ok, static_cast<uint32_t>(value)};
}

uint32_t LargestPagedCount(uint32_t pageSize)
{
    return pageSize ? UINT32_MAX / pageSize * pageSize : UINT32_MAX;
}

uint32_t RoundUpToPages(uint32_t bytes, uint32_t pageSize)
{
    if (pageSize == 0)
        return bytes;
    return static_cast<uint32_t>((uint64_t{bytes} + pageSize - 1) / pageSize * pageSize);
}

SizeText ShownSize(uint32_t bytes)
{
    uint32_t kilobytes = bytes / 1024;
    if (kilobytes > 1024 && kilobytes % 1024 == 0)
        return {true, kilobytes / 1024};
    return {false, kilobytes};
}

uint32_t ClampedTarget(uint32_t target)
{
    return target > 100 ? 100 : target;
}

uint32_t BurstPasses(uint32_t target, double passesPerSecond)
{
    double passes = ClampedTarget(target) * passesPerSecond * 0.01;
    return passes >= MAX_UNSIGNED ? UINT32_MAX : passes > 0 ? static_cast<uint32_t>(passes) : 0;
}

uint32_t SleepAfterBurst(uint32_t target)
{
    int32_t sleep = 1000 - 10 * static_cast<int32_t>(ClampedTarget(target));
    return sleep > 0 ? static_cast<uint32_t>(sleep) : 0;
}

} // namespace dialogs
