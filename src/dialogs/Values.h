// The numbers the dialogs read and show: update periods in seconds, load
// targets with size suffixes, whole pages. Free of the platform's headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dialogs {

enum class ReadStatus {
    ok,
    noNumber,  // nothing to read: the caller decides what that means
    negative,
    tooLarge,  // does not fit in the value's 32 bits (or the given limit)
};

struct ReadResult {
    ReadStatus status;
    uint32_t value;
};

// Seconds, with a fraction, to whole milliseconds. A text without a number
// reads as 0 ms (noNumber); binary fractions are forgiven, so the dialog's
// own "2.500" and "0.010" read back exactly, and 0.0015 gives 1 ms.
ReadResult ReadPeriodSeconds(const wchar_t* text);

// "%u.%03u" of the seconds, or "%u" for whole seconds.
void FormatPeriodSeconds(uint32_t milliseconds, wchar_t* text, size_t capacity);

// An unsigned decimal number, then (when allowed) a suffix K, M or G (either
// case, blanks before it allowed) that multiplies it by 1024, 1024^2 or
// 1024^3. Anything else after the number is ignored. Values above `limit`
// are tooLarge.
ReadResult ReadTarget(const wchar_t* text, bool suffixes, uint32_t limit);

// The largest byte count that still rounds up to whole pages in 32 bits.
uint32_t LargestPagedCount(uint32_t pageSize);
// The count rounded up to whole pages; the count must not exceed LargestPagedCount.
uint32_t RoundUpToPages(uint32_t bytes, uint32_t pageSize);

// A size as shown: whole megabytes above 1024 KB when exact, else kilobytes.
struct SizeText {
    bool megabytes;
    uint32_t number;
};
SizeText ShownSize(uint32_t bytes);

// The worker's cycle for a target share of one processor: the passes of one
// burst and the milliseconds to sleep after it. Targets above 100 count as 100.
uint32_t ClampedTarget(uint32_t target);
uint32_t BurstPasses(uint32_t target, double passesPerSecond);
uint32_t SleepAfterBurst(uint32_t target);

} // namespace dialogs
