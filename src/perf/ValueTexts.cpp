#include "perf/ValueTexts.h"

#include "resources/resource.h"

#include <cstdarg>
#include <cwchar>
#include <iterator>

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

// A short text put together in place from the program's formats, then
// copied into the buffer a text already has: formatting a row allocates
// nothing. The longest text made here is well under its size.
struct ShortText {
    wchar_t chars[128] = {};
    size_t length = 0;

    void AddV(const wchar_t* format, va_list args)
    {
        if (!format)
            return;
        size_t room = std::size(chars) - length;
        int written = _vsnwprintf(chars + length, room - 1, format, args);
        length = written < 0 ? std::size(chars) - 1 : length + static_cast<size_t>(written);
        chars[length] = 0;
    }
    void Add(const wchar_t* format, ...)
    {
        va_list args;
        va_start(args, format);
        AddV(format, args);
        va_end(args);
    }
    void AddResource(unsigned formatId, ...)
    {
        va_list args;
        va_start(args, formatId);
        AddV(core::ProgramFormat(formatId), args);
        va_end(args);
    }
    // A name from the table, taken as it stands rather than as a format.
    void AddName(unsigned id)
    {
        if (const wchar_t* name = core::ProgramFormat(id))
            Add(L"%ls", name);
    }
    void CopyTo(core::WideString& text) const { text.Format(L"%ls", chars); }
};

// `amount` is at least 1024; `largest` is the last unit the form offers.
void ScaledBytes(double amount, unsigned largest, const wchar_t* sign, core::WideString& text)
{
    const ByteUnit* unit = byteUnits;
    while (unit->stringId != largest && amount >= unit->limit)
        ++unit;
    ShortText scaled;
    scaled.Add(L"%ls", sign);
    scaled.AddResource(unit->stringId, amount / unit->scale);
    scaled.CopyTo(text);
}

void AddDuration(uint64_t t, ShortText& text)
{
    uint64_t s = t / 10000000;
    uint32_t r = static_cast<uint32_t>(t % 10000000);
    uint32_t days = static_cast<uint32_t>(s / 86400);
    uint32_t hours = static_cast<uint32_t>(s / 3600 % 24);
    uint32_t minutes = static_cast<uint32_t>(s / 60 % 60);
    uint32_t seconds = static_cast<uint32_t>(s % 60);
    if (days)
        text.AddResource(IDS_DURATION_DAYS, days);
    if (hours)
        text.AddResource(IDS_DURATION_HOURS, hours);
    if (minutes)
        text.AddResource(IDS_DURATION_MINUTES, minutes);
    if (t > 10000000)
        text.AddResource(IDS_DURATION_SECONDS, seconds, FractionDigits(r, 7));
    else if (t > 10000)
        text.AddResource(IDS_DURATION_MILLISECONDS, static_cast<uint32_t>(t / 10000),
                         FractionDigits(static_cast<uint32_t>(t % 10000), 4));
    else if (t > 10)
        text.AddResource(IDS_DURATION_MICROSECONDS, static_cast<uint32_t>(t / 10),
                         FractionDigits(static_cast<uint32_t>(t % 10), 1));
    else
        text.AddResource(IDS_DURATION_NANOSECONDS, static_cast<uint32_t>(t * 100));
}

} // namespace

void FormatByteCount(uint32_t bytes, core::WideString& text)
{
    if (bytes < 1024)
        text.Format(L"%u", bytes);
    else
        ScaledBytes(bytes, IDS_BYTES_GB, L"", text);
}

void FormatLargeByteCount(uint64_t bytes, core::WideString& text)
{
    // Exact integer thresholds: the doubles below are powers of two.
    if (bytes < 1024)
        text.Format(L"%u", static_cast<uint32_t>(bytes));
    else
        ScaledBytes(static_cast<double>(bytes), IDS_BYTES_EB, L"", text);
}

void FormatByteRate(double bytesPerSecond, core::WideString& text)
{
    const wchar_t* sign = bytesPerSecond < 0 ? L"-" : L"";
    double magnitude = bytesPerSecond < 0 ? -bytesPerSecond : bytesPerSecond;
    // Truncating to whole bytes before comparing changes nothing for
    // thresholds that are whole numbers.
    if (!(magnitude >= 1024))
        text.Format(L"%ls%.3g", sign, magnitude);
    else
        ScaledBytes(magnitude, IDS_BYTES_EB, sign, text);
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
    if (t == 0) {
        text.Format(L"0");
        return;
    }
    ShortText duration;
    if (t < 0)
        duration.Add(L"-");
    // The magnitude as unsigned, which also holds the most negative value;
    // that one prints as the largest positive one.
    uint64_t magnitude = t < 0 ? 0 - static_cast<uint64_t>(t) : static_cast<uint64_t>(t);
    AddDuration(magnitude > INT64_MAX ? INT64_MAX : magnitude, duration);
    duration.CopyTo(text);
}

void FormatThreadState(uint32_t state, uint32_t waitReason, core::WideString& text)
{
    ShortText name;
    if (state != 5) {
        if (state < 8)
            name.AddName(IDS_THREAD_STATE_FIRST + state);
        else
            name.AddResource(IDS_THREAD_STATE_UNASSIGNED, state);
    } else if (waitReason < 7) {
        name.AddName(IDS_WAIT_REASON_FIRST + waitReason);
    } else if (waitReason < 20) {
        name.AddName(IDS_WAIT_REASON_FIRST - 7 + waitReason);
    } else {
        name.AddResource(IDS_WAIT_REASON_UNASSIGNED, waitReason);
    }
    name.CopyTo(text);
}

} // namespace perf
