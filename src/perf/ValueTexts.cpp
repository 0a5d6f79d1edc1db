#include "perf/ValueTexts.h"

#include "resources/resource.h"

#include <cwchar>
#include <utility>

namespace perf {

namespace {

constexpr double KB = 1024.0;

struct ByteUnit {
    double limit;      // values below this use the unit
    double scale;      // the unit's size in bytes
    unsigned stringId; // "%.4g KB" and so on
};

// The thresholds compare whole values; the printed number is the value
// divided by its unit's exact power of two.
constexpr ByteUnit byteUnits[] = {
    {KB * KB, KB, IDS_BYTES_KB},
    {KB * KB * KB, KB * KB, IDS_BYTES_MB},
    {KB * KB * KB * KB, KB * KB * KB, IDS_BYTES_GB},
    {KB * KB * KB * KB * KB, KB * KB * KB * KB, IDS_BYTES_TB},
    {KB * KB * KB * KB * KB * KB, KB * KB * KB * KB * KB, IDS_BYTES_PB},
    {0, KB * KB * KB * KB * KB * KB, IDS_BYTES_EB}, // everything above
};

// `amount` is at least 1024; `largest` is the last unit the form offers.
core::WideString ScaledBytes(double amount, double printed, unsigned largest)
{
    const ByteUnit* unit = byteUnits;
    while (unit->stringId != largest && amount >= unit->limit)
        ++unit;
    core::WideString text;
    text.FormatResource(unit->stringId, printed / unit->scale);
    return text;
}

core::WideString Negated(core::WideString positive)
{
    core::WideString text(L"-");
    text.Append(positive.Chars());
    return text;
}

} // namespace

core::WideString FormatByteCount(uint32_t bytes)
{
    if (bytes < 1024) {
        core::WideString text;
        text.Format(L"%u", bytes);
        return text;
    }
    return ScaledBytes(bytes, bytes, IDS_BYTES_GB);
}

core::WideString FormatLargeByteCount(uint64_t bytes)
{
    if (bytes < 1024) {
        core::WideString text;
        text.Format(L"%u", static_cast<uint32_t>(bytes));
        return text;
    }
    // Exact integer thresholds: the doubles below are powers of two.
    return ScaledBytes(static_cast<double>(bytes), static_cast<double>(bytes), IDS_BYTES_EB);
}

core::WideString FormatByteRate(double bytesPerSecond)
{
    if (bytesPerSecond < 0)
        return Negated(FormatByteRate(-bytesPerSecond));
    // Truncating to whole bytes before comparing changes nothing for
    // thresholds that are whole numbers.
    if (!(bytesPerSecond >= 1024)) {
        core::WideString text;
        text.Format(L"%.3g", bytesPerSecond);
        return text;
    }
    return ScaledBytes(bytesPerSecond, bytesPerSecond, IDS_BYTES_EB);
}

const wchar_t* FractionDigits(uint32_t x, int width)
{
    thread_local wchar_t buffer[16];
    buffer[0] = 0;
    if (x == 0)
        return buffer;
    swprintf(buffer, 16, L".%0*u", width, x);
    size_t length = wcslen(buffer);
    while (length > 1 && buffer[length - 1] == L'0')
        buffer[--length] = 0;
    return buffer;
}

void FormatDuration(int64_t t, core::WideString& text)
{
    if (t < 0) {
        core::WideString positive;
        // The magnitude as unsigned, which also holds the most negative value.
        uint64_t magnitude = 0 - static_cast<uint64_t>(t);
        FormatDuration(static_cast<int64_t>(magnitude > INT64_MAX ? INT64_MAX : magnitude), positive);
        text = Negated(std::move(positive));
        return;
    }
    text.Clear();
    if (t == 0) {
        text.Format(L"0");
        return;
    }
    uint64_t s = static_cast<uint64_t>(t) / 10000000;
    uint32_t r = static_cast<uint32_t>(t % 10000000);
    uint32_t days = static_cast<uint32_t>(s / 86400);
    uint32_t hours = static_cast<uint32_t>(s / 3600 % 24);
    uint32_t minutes = static_cast<uint32_t>(s / 60 % 60);
    uint32_t seconds = static_cast<uint32_t>(s % 60);
    if (days)
        text.AppendFormatResource(IDS_DURATION_DAYS, days);
    if (hours)
        text.AppendFormatResource(IDS_DURATION_HOURS, hours);
    if (minutes)
        text.AppendFormatResource(IDS_DURATION_MINUTES, minutes);
    if (t > 10000000)
        text.AppendFormatResource(IDS_DURATION_SECONDS, seconds, FractionDigits(r, 7));
    else if (t > 10000)
        text.AppendFormatResource(IDS_DURATION_MILLISECONDS, static_cast<uint32_t>(t / 10000),
                                  FractionDigits(static_cast<uint32_t>(t % 10000), 4));
    else if (t > 10)
        text.AppendFormatResource(IDS_DURATION_MICROSECONDS, static_cast<uint32_t>(t / 10),
                                  FractionDigits(static_cast<uint32_t>(t % 10), 1));
    else
        text.AppendFormatResource(IDS_DURATION_NANOSECONDS, static_cast<uint32_t>(t * 100));
}

core::WideString ThreadStateText(uint32_t state, uint32_t waitReason)
{
    core::WideString text;
    if (state != 5) {
        if (state < 8)
            text.LoadResourceString(IDS_THREAD_STATE_FIRST + state);
        else
            text.FormatResource(IDS_THREAD_STATE_UNASSIGNED, state);
    } else if (waitReason < 7) {
        text.LoadResourceString(IDS_WAIT_REASON_FIRST + waitReason);
    } else if (waitReason < 20) {
        text.LoadResourceString(IDS_WAIT_REASON_FIRST - 7 + waitReason);
    } else {
        text.FormatResource(IDS_WAIT_REASON_UNASSIGNED, waitReason);
    }
    return text;
}

} // namespace perf
