#include "perf/CounterValues.h"

#include "perf/CounterNames.h"
#include "perf/ValueTexts.h"
#include "resources/resource.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace perf {


namespace {

struct Label {
    uint32_t code;
    unsigned stringId;
};

const Label labels[] = {
    {TYPE_RAWCOUNT_HEX, IDS_VIEW_HEX_NUMBER},
    {TYPE_LARGE_RAWCOUNT_HEX, IDS_VIEW_HEX_LARGE_NUMBER},
    {TYPE_RAWCOUNT, IDS_VIEW_NUMBER},
    {TYPE_LARGE_RAWCOUNT, IDS_VIEW_LARGE_NUMBER},
    {TYPE_COUNTER, IDS_VIEW_COUNTER},
    {TYPE_BULK_COUNT, IDS_VIEW_BULK_COUNTER},
    {TYPE_TIMER, IDS_VIEW_TIMER},
    {TYPE_100NSEC_TIMER, IDS_VIEW_100NS_TIMER},
    {TYPE_ELAPSED_TIME, IDS_VIEW_ELAPSED_TIME},
    {DISPLAY_BYTES, IDS_VIEW_BYTES},
    {DISPLAY_LARGE_BYTES, IDS_VIEW_LARGE_BYTES},
    {DISPLAY_START_TIME_SHORT, IDS_VIEW_START_TIME_SHORT},
    {DISPLAY_START_TIME_LONG, IDS_VIEW_START_TIME_LONG},
    {DISPLAY_TOTAL_TIME, IDS_VIEW_TOTAL_TIME},
    {DISPLAY_BYTES_PER_SEC, IDS_VIEW_BYTES_PER_SEC},
    {DISPLAY_THREAD_STATE, IDS_VIEW_THREAD_STATE},
};

// Each group: a counter type, then the other ways of showing it.
const uint32_t viewAsGroups[][5] = {
    {TYPE_RAWCOUNT, TYPE_RAWCOUNT_HEX, DISPLAY_BYTES, DISPLAY_THREAD_STATE, DISPLAY_NATURAL},
    {TYPE_LARGE_RAWCOUNT, TYPE_LARGE_RAWCOUNT_HEX, DISPLAY_LARGE_BYTES, DISPLAY_NATURAL, DISPLAY_NATURAL},
    {TYPE_ELAPSED_TIME, DISPLAY_START_TIME_SHORT, DISPLAY_START_TIME_LONG, DISPLAY_NATURAL, DISPLAY_NATURAL},
    {TYPE_COUNTER, TYPE_RAWCOUNT, TYPE_RAWCOUNT_HEX, DISPLAY_NATURAL, DISPLAY_NATURAL},
    {TYPE_100NSEC_TIMER, DISPLAY_TOTAL_TIME, DISPLAY_NATURAL, DISPLAY_NATURAL, DISPLAY_NATURAL},
    {TYPE_BULK_COUNT, DISPLAY_BYTES_PER_SEC, TYPE_LARGE_RAWCOUNT, TYPE_LARGE_RAWCOUNT_HEX, DISPLAY_LARGE_BYTES},
};

bool ShowsThreadState(uint32_t index)
{
    return index != 0 && (index == counterTable.threadStateIndex || index == counterTable.threadWaitReasonIndex);
}

// The two samples of a rate: the counter's data then and now, and the time
// base between them. Absent when the previous data is missing.
struct Interval {
    const uint8_t* now = nullptr;
    const uint8_t* before = nullptr;
    double ticks = 0;       // PerfTime difference
    double frequency = 0;   // PerfFreq
    double time100ns = 0;   // PerfTime100nSec difference
};

// The bytes a display code reads from the counter's data; a counter declared
// shorter is treated as missing.
uint32_t ReadSize(uint32_t code)
{
    switch (code) {
    case DISPLAY_BYTES:
    case DISPLAY_THREAD_STATE:
        return 4;
    case DISPLAY_LARGE_BYTES:
    case DISPLAY_START_TIME_SHORT:
    case DISPLAY_START_TIME_LONG:
    case DISPLAY_TOTAL_TIME:
    case DISPLAY_BYTES_PER_SEC:
        return 8;
    default:
        break;
    }
    switch (code & PERF_SIZE_MASK) {
    case PERF_SIZE_DWORD_BITS:
        return 4;
    case PERF_SIZE_LARGE_BITS:
        return 8;
    default:
        return 0; // texts are bounded by their own size; zero-sized counters have no data
    }
}

int64_t Difference64(uint64_t now, uint64_t before)
{
    return static_cast<int64_t>(now - before);
}

bool MakeInterval(uint32_t code, const CounterSample& current, const CounterSample& previous, Interval& interval)
{
    const PerfDataBlockHeader* nowHeader = BlockHeader(current.block);
    const PerfDataBlockHeader* beforeHeader = BlockHeader(previous.block);
    uint32_t size = ReadSize(code);
    interval.now = CounterData(current.block, current.instance, current.counter, size);
    interval.before = CounterData(previous.block, previous.instance, previous.counter, size);
    if (!nowHeader || !beforeHeader || !interval.now || !interval.before)
        return false;
    interval.ticks = static_cast<double>(Difference64(Value64(nowHeader->PerfTime), Value64(beforeHeader->PerfTime)));
    interval.frequency = static_cast<double>(Value64(nowHeader->PerfFreq));
    interval.time100ns = static_cast<double>(
        Difference64(Value64(nowHeader->PerfTime100nSec), Value64(beforeHeader->PerfTime100nSec)));
    return true;
}

int64_t Delta64(const CounterSample& current, const CounterSample& previous, const Interval& interval)
{
    return Difference64(ReadU64(current.block, interval.now), ReadU64(previous.block, interval.before));
}

int64_t NowAsFileTime(SnapshotView block)
{
    const PerfDataBlockHeader* header = BlockHeader(block);
    SYSTEMTIME system;
    FILETIME now;
    if (!header)
        return 0;
    static_assert(sizeof(system) == sizeof(header->SystemTime));
    std::memcpy(&system, &header->SystemTime, sizeof(system));
    if (!SystemTimeToFileTime(&system, &now))
        return 0;
    return static_cast<int64_t>((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

void StartTimeText(int64_t start, const wchar_t* format, core::WideString& text)
{
    FILETIME utc = {static_cast<DWORD>(start), static_cast<DWORD>(uint64_t(start) >> 32)};
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local) || text.FormatFileTime(format, local) == 0)
        text.Format(L" ");
}

// Text of a counter that holds text: bounded by the counter's own size.
void CounterText(const CounterSample& current, const uint8_t* data, bool wide, core::WideString& text)
{
    uint32_t size = current.counter ? current.counter->CounterSize : 0;
    if (!data) {
        text.Format(L"");
    } else if (wide) {
        std::wstring chars(size / sizeof(wchar_t), L'\0');
        std::memcpy(chars.data(), data, chars.size() * sizeof(wchar_t));
        text.Format(L"%ls", chars.c_str());
    } else {
        std::string chars(reinterpret_cast<const char*>(data), size);
        text = core::WideString(chars.c_str());
    }
    if (!text.text)
        text.Format(L"");
}

void ThreadState(const CounterSample& current, int32_t raw, core::WideString& text)
{
    if (current.counter && ShowsThreadState(current.counter->CounterNameTitleIndex)) {
        SnapshotView block = current.block;
        const PerfObjectType* threads = FindObject(block, counterTable.threadObjectIndex);
        const PerfCounterDefinition* stateCounter = FindCounter(block, threads, counterTable.threadStateIndex);
        const PerfCounterDefinition* reasonCounter =
            FindCounter(block, threads, counterTable.threadWaitReasonIndex);
        const uint8_t* state = CounterData(block, current.instance, stateCounter);
        if (state) {
            uint32_t stateValue = ReadU32(block, state);
            const uint8_t* reason = CounterData(block, current.instance, reasonCounter);
            // Without the wait-reason counter a waiting thread shows its raw value.
            if (stateValue != 5 || reason) {
                FormatThreadState(stateValue, ReadU32(block, reason), text);
                return;
            }
        }
    }
    text.Format(L"[%d]", raw);
}

bool IsRate(uint32_t code)
{
    return code == TYPE_COUNTER || code == TYPE_BULK_COUNT || code == DISPLAY_BYTES_PER_SEC || code == TYPE_TIMER ||
           code == TYPE_100NSEC_TIMER;
}

uint32_t CodeOf(const CounterSample& current, uint32_t displayType)
{
    if (displayType != DISPLAY_NATURAL)
        return displayType;
    return current.counter ? current.counter->CounterType : 0;
}

// The codes that compare two samples; false, as for a new instance, when the
// previous sample is missing, when the time base did not move forward (a
// clock set back), or when a 64-bit count went down: these counts only grow,
// so the earlier one belonged to another instance. A 32-bit count wraps.
bool ComputeRate(uint32_t code, const CounterSample& current, const CounterSample& previous, double& value)
{
    Interval interval;
    if (!MakeInterval(code, current, previous, interval))
        return false;
    if (code == TYPE_COUNTER) {
        if (interval.ticks <= 0 || interval.frequency <= 0)
            return false;
        uint32_t delta = ReadU32(current.block, interval.now) - ReadU32(previous.block, interval.before);
        value = interval.frequency * (delta / interval.ticks);
        return true;
    }
    int64_t delta = Delta64(current, previous, interval);
    if (delta < 0)
        return false;
    if (code == TYPE_TIMER || code == TYPE_100NSEC_TIMER) {
        double base = code == TYPE_TIMER ? interval.ticks : interval.time100ns;
        if (base <= 0)
            return false;
        value = delta / base;
        return true;
    }
    if (interval.ticks <= 0 || interval.frequency <= 0)
        return false;
    value = delta / (interval.ticks / interval.frequency);
    return true;
}

// A rate's text comes from its value alone.
void RateText(uint32_t code, double value, core::WideString& text)
{
    if (code == TYPE_TIMER || code == TYPE_100NSEC_TIMER)
        text.Format(L"%.3g", value * 100);
    else if (code == DISPLAY_BYTES_PER_SEC)
        FormatByteRate(value, text);
    else
        text.Format(value < 1000 ? L"%.3g" : L"%.0f", value);
}

// The start time of a process, for elapsed time and the start-time forms;
// 0 or less when it has not started.
int64_t StartOf(SnapshotView block, const uint8_t* data)
{
    return static_cast<int64_t>(ReadU64(block, data));
}

// The value of a code that reads one sample.
double SampleValue(uint32_t code, SnapshotView block, const uint8_t* data)
{
    switch (code) {
    case TYPE_RAWCOUNT_HEX:
    case TYPE_RAWCOUNT:
    case DISPLAY_BYTES:
        return ReadU32(block, data);
    case TYPE_LARGE_RAWCOUNT_HEX:
    case TYPE_LARGE_RAWCOUNT:
    case DISPLAY_LARGE_BYTES:
    case DISPLAY_TOTAL_TIME:
        return static_cast<double>(ReadU64(block, data));
    case TYPE_TEXT:
    case TYPE_ANSI_TEXT:
        return 0;
    case TYPE_ELAPSED_TIME:
    case DISPLAY_START_TIME_SHORT:
    case DISPLAY_START_TIME_LONG: {
        // The age in seconds.
        int64_t start = StartOf(block, data);
        return start <= 0 ? 0 : static_cast<double>(NowAsFileTime(block) - start) * 1e-7;
    }
    case DISPLAY_THREAD_STATE:
        return static_cast<int32_t>(ReadU32(block, data));
    default:
        break;
    }
    switch (code & PERF_SIZE_MASK) {
    case PERF_SIZE_DWORD_BITS:
        return static_cast<int32_t>(ReadU32(block, data));
    case PERF_SIZE_LARGE_BITS:
        return static_cast<double>(ReadU64(block, data));
    default:
        return 0;
    }
}

void FallbackText(uint32_t code, SnapshotView block, const uint8_t* data, core::WideString& text)
{
    switch (code & PERF_SIZE_MASK) {
    case PERF_SIZE_DWORD_BITS:
        text.Format(L"[%x: %d]", code, static_cast<int32_t>(ReadU32(block, data)));
        break;
    case PERF_SIZE_LARGE_BITS:
        text.Format(L"[%x: %I64u]", code, ReadU64(block, data));
        break;
    case PERF_SIZE_ZERO_BITS:
        text.Format(L"[Zero] Contact author (%x)", code);
        break;
    default:
        text.Format(L"[Variable] Contact author for an update (%x)", code);
        break;
    }
}

// The text of a code that reads one sample, from the sample's own data: a
// 64-bit count is printed whole, not as its value's double.
void SampleText(uint32_t code, const CounterSample& current, const uint8_t* data, core::WideString& text)
{
    SnapshotView block = current.block;
    uint32_t u32 = ReadU32(block, data);
    uint64_t u64 = ReadU64(block, data);
    switch (code) {
    case TYPE_RAWCOUNT_HEX:
    case TYPE_RAWCOUNT:
        text.Format(code == TYPE_RAWCOUNT ? L"%u" : L"0x%x", u32);
        break;
    case TYPE_LARGE_RAWCOUNT_HEX:
    case TYPE_LARGE_RAWCOUNT:
        text.Format(code == TYPE_LARGE_RAWCOUNT ? L"%I64u" : L"0x%I64x", u64);
        break;
    case TYPE_TEXT:
    case TYPE_ANSI_TEXT:
        CounterText(current, data, code == TYPE_TEXT, text);
        break;
    case TYPE_ELAPSED_TIME:
    case DISPLAY_START_TIME_SHORT:
    case DISPLAY_START_TIME_LONG: {
        int64_t start = StartOf(block, data);
        if (start <= 0)
            text.Format(L" ");
        else if (code == TYPE_ELAPSED_TIME)
            FormatDuration(NowAsFileTime(block) - start, text);
        else
            StartTimeText(start, code == DISPLAY_START_TIME_SHORT ? L"%c" : L"%#c", text);
        break;
    }
    case DISPLAY_BYTES:
        FormatByteCount(u32, text);
        break;
    case DISPLAY_LARGE_BYTES:
        FormatLargeByteCount(u64, text);
        break;
    case DISPLAY_TOTAL_TIME:
        FormatDuration(static_cast<int64_t>(u64), text);
        break;
    case DISPLAY_THREAD_STATE:
        ThreadState(current, static_cast<int32_t>(u32), text);
        break;
    default:
        FallbackText(code, block, data, text);
        break;
    }
}

} // namespace

bool ComputeCounterValue(const CounterSample& current, const CounterSample& previous, double& value,
                         uint32_t displayType)
{
    uint32_t code = CodeOf(current, displayType);
    if (IsRate(code))
        return ComputeRate(code, current, previous, value);
    value = SampleValue(code, current.block, CounterData(current.block, current.instance, current.counter, ReadSize(code)));
    return true;
}

void FormatCounterValue(const CounterSample& current, double value, uint32_t displayType, core::WideString& text)
{
    uint32_t code = CodeOf(current, displayType);
    if (IsRate(code))
        RateText(code, value, text);
    else
        SampleText(code, current, CounterData(current.block, current.instance, current.counter, ReadSize(code)), text);
}

unsigned DisplayTypeLabel(uint32_t displayType, uint32_t counterIndex)
{
    if (displayType == DISPLAY_THREAD_STATE && !ShowsThreadState(counterIndex))
        return 0;
    for (const Label& label : labels) {
        if (label.code == displayType)
            return label.stringId;
    }
    return IDS_UNKNOWN;
}

uint32_t ViewAsChoice(uint32_t counterType, uint32_t n)
{
    for (const auto& group : viewAsGroups) {
        if (group[0] == counterType)
            return n < std::size(group) ? group[n] : DISPLAY_NATURAL;
    }
    return DISPLAY_NATURAL;
}

} // namespace perf
