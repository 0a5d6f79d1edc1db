#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace perf;

namespace {

constexpr uint32_t THREAD = 232, STATE = 46, REASON = 336, SHOWN = 6;
constexpr int64_t SECOND = 10000000;

struct Times {
    int64_t ticks = 0;
    int64_t frequency = 1000;
    int64_t time100ns = 0;
};

// A block with the Thread object holding the shown counter (index 6) and,
// optionally, the state and wait-reason counters, for one instance.
struct Block {
    std::vector<uint8_t> bytes;

    Block(uint32_t type, uint32_t size, uint64_t value, Times times, bool withState = false, uint32_t state = 0,
          bool withReason = false, uint32_t reason = 0)
    {
        BlockTimes header;
        header.perfTime = times.ticks;
        header.perfFreq = times.frequency;
        header.perfTime100nSec = times.time100ns;
        header.systemTime = {2026, 12, 0, 6, 12, 0, 0, 0};
        SnapshotWriter writer;
        writer.BeginBlock(header, u"TEST");
        writer.BeginObject({THREAD, THREAD + 1});
        writer.AddCounter({SHOWN, SHOWN + 1, type, size});
        std::vector<uint64_t> values = {value};
        if (withState) {
            writer.AddCounter({STATE, STATE + 1, TYPE_RAWCOUNT, 4});
            values.push_back(state);
        }
        if (withReason) {
            writer.AddCounter({REASON, REASON + 1, TYPE_RAWCOUNT, 4});
            values.push_back(reason);
        }
        writer.AddInstance(u"0", {230, 0, -1}, values);
        bytes = writer.Finish();
    }

    CounterSample Sample() const
    {
        SnapshotView view{bytes.data(), static_cast<uint32_t>(bytes.size())};
        const PerfObjectType* object = FindObject(view, THREAD);
        return {view, FirstInstance(view, object), FindCounter(view, object, SHOWN)};
    }
};

struct Result {
    bool ok = false;
    double value = -12345;
    std::wstring text = L"untouched";
};

Result Compute(const Block& now, const Block* before, uint32_t displayType = DISPLAY_NATURAL)
{
    Result result;
    core::WideString text(L"untouched");
    CounterSample previous = before ? before->Sample() : CounterSample();
    result.ok = ComputeCounterValue(now.Sample(), previous, result.value, text, displayType);
    result.text = text.Chars();
    return result;
}

// The rate f * d / dt of a 32-bit counter with f = 1000.
Result Rate(uint32_t before, uint32_t now, int64_t ticks)
{
    Block a(TYPE_COUNTER, 4, before, {0, 1000, 0}), b(TYPE_COUNTER, 4, now, {ticks, 1000, 0});
    return Compute(b, &a);
}

class CounterValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        counterTable.threadObjectIndex = THREAD;
        counterTable.threadStateIndex = STATE;
        counterTable.threadWaitReasonIndex = REASON;
        selection = CounterSelection();
    }
    void TearDown() override
    {
        counterTable.threadObjectIndex = counterTable.threadStateIndex = counterTable.threadWaitReasonIndex = 0;
        selection = CounterSelection();
    }
};

} // namespace

TEST_F(CounterValues, RawNumbersNeedOneSample)
{
    const struct {
        uint32_t type, size;
        uint64_t raw;
        double value;
        const wchar_t* text;
    } cases[] = {
        {TYPE_RAWCOUNT, 4, 7, 7, L"7"},
        {TYPE_RAWCOUNT_HEX, 4, 255, 255, L"0xff"},
        {TYPE_LARGE_RAWCOUNT, 8, 1ull << 40, 1099511627776.0, L"1099511627776"},
        {TYPE_LARGE_RAWCOUNT_HEX, 8, 1ull << 40, 1099511627776.0, L"0x10000000000"},
        {0x00450400, 4, 7, 7, L"[450400: 7]"},               // unknown 32-bit type
        {0x20020400, 4, 37, 37, L"[20020400: 37]"},          // a raw fraction, base unused
        {0x00450400, 4, 0xFFFFFFFE, -2, L"[450400: -2]"},
        {0x20450500, 8, 123, 123, L"[20450500: 123]"},       // unknown 64-bit type
        {0x00000200, 4, 9, 0, L"[Zero] Contact author (200)"},
        {0x00000300, 4, 9, 0, L"[Variable] Contact author for an update (300)"},
        {TYPE_TEXT, 8, 0x0000006300620061ull, 0, L"abc"},
        {TYPE_ANSI_TEXT, 8, 0x00006F6C6C6568ull, 0, L"hello"},
        {TYPE_TEXT, 8, 0x0064006300620061ull, 0, L"abcd"},   // no terminator: bounded by the size
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type << " " << c.raw);
        Result r = Compute(Block(c.type, c.size, c.raw, {}), nullptr);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(c.value, r.value);
        EXPECT_EQ(c.text, r.text);
    }
}

TEST_F(CounterValues, RatesAndTheirTexts)
{
    const struct {
        uint32_t before, now;
        int64_t ticks;
        double value;
        const wchar_t* text;
    } cases[] = {
        {0, 12345, 1000000, 12.345, L"12.3"},
        {0, 9994, 10000, 999.4, L"999"},
        {0, 1000, 1000, 1000, L"1000"},
        {0, 1234567, 10000, 123456.7, L"123457"},
        {0xFFFFFFF0, 0x10, 1000, 32, L"32"},            // wrapped past 2^32
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        Result r = Rate(c.before, c.now, c.ticks);
        EXPECT_TRUE(r.ok);
        EXPECT_NEAR(c.value, r.value, 0.01);
        EXPECT_EQ(c.text, r.text);
    }

    // 64-bit counters: bulk counts, byte rates, and a counter that went down.
    Block a(TYPE_BULK_COUNT, 8, 1000, {0, 10, 0}), b(TYPE_BULK_COUNT, 8, 4072, {20, 10, 0});
    Result bulk = Compute(b, &a);
    EXPECT_EQ(1536, bulk.value);
    EXPECT_EQ(L"1536", bulk.text);
    EXPECT_EQ(L"1.5 KB", Compute(b, &a, DISPLAY_BYTES_PER_SEC).text);
    Result down = Compute(a, &b, DISPLAY_BYTES_PER_SEC); // time and bytes both backwards
    EXPECT_EQ(L"1.5 KB", down.text);
    Block c(TYPE_BULK_COUNT, 8, 500, {10, 10, 0});
    EXPECT_EQ(L"-500", Compute(c, &a).text);
    EXPECT_EQ(L"-500", Compute(c, &a, DISPLAY_BYTES_PER_SEC).text);
}

TEST_F(CounterValues, TimersArePercentages)
{
    const struct {
        uint32_t type;
        uint64_t before, now;
        double value;
        const wchar_t* text;
    } cases[] = {
        {TYPE_100NSEC_TIMER, 0, SECOND, 1.0, L"100"},
        {TYPE_100NSEC_TIMER, 0, 123000, 0.0123, L"1.23"},
        {TYPE_100NSEC_TIMER, 0, 2 * SECOND, 2.0, L"200"},   // two processors busy
        {TYPE_100NSEC_TIMER, SECOND, SECOND / 2, -0.5, L"-50"},
        {TYPE_TIMER, 100, 600, 0.5, L"50"},                   // ticks: 1000
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        Block a(c.type, 8, c.before, {0, 1000, 0}), b(c.type, 8, c.now, {1000, 1000, SECOND});
        Result r = Compute(b, &a);
        EXPECT_TRUE(r.ok);
        EXPECT_DOUBLE_EQ(c.value, r.value);
        EXPECT_EQ(c.text, r.text);
    }
}

TEST_F(CounterValues, TwoSampleCodesWithoutAUsablePreviousSampleLeaveTheOutputsAlone)
{
    Block now(TYPE_100NSEC_TIMER, 8, SECOND, {1000, 1000, SECOND});
    Result none = Compute(now, nullptr);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(-12345, none.value);
    EXPECT_EQ(L"untouched", none.text);

    const struct {
        uint32_t type;
        Times before, now;
    } stalled[] = {
        {TYPE_100NSEC_TIMER, {0, 1000, SECOND}, {1000, 1000, SECOND}},   // no 100-ns time passed
        {TYPE_TIMER, {1000, 1000, 0}, {1000, 1000, SECOND}},             // no ticks passed
        {TYPE_COUNTER, {1000, 1000, 0}, {1000, 1000, SECOND}},
        {TYPE_BULK_COUNT, {0, 0, 0}, {1000, 0, SECOND}},                 // no frequency
        {DISPLAY_BYTES_PER_SEC, {0, 0, 0}, {1000, 0, SECOND}},
    };
    for (const auto& c : stalled) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type);
        uint32_t type = c.type == DISPLAY_BYTES_PER_SEC ? TYPE_BULK_COUNT : c.type;
        Block a(type, 8, 0, c.before), b(type, 8, 50, c.now);
        Result r = Compute(b, &a, c.type == DISPLAY_BYTES_PER_SEC ? c.type : DISPLAY_NATURAL);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(L"untouched", r.text);
    }
}

TEST_F(CounterValues, ElapsedAndStartTimes)
{
    // The block's SystemTime is 2026-12-06 12:00:00 UTC.
    SYSTEMTIME noon = {2026, 12, 0, 6, 12, 0, 0, 0};
    FILETIME file;
    SystemTimeToFileTime(&noon, &file);
    int64_t now = static_cast<int64_t>((uint64_t(file.dwHighDateTime) << 32) | file.dwLowDateTime);
    int64_t start = now - (25 * 3600 + 90) * SECOND - 5000000;

    Result elapsed = Compute(Block(TYPE_ELAPSED_TIME, 8, start, {}), nullptr);
    EXPECT_EQ(L"1d 1h 1m 30.5s", elapsed.text);
    EXPECT_DOUBLE_EQ(90090.5, elapsed.value);

    // Start times are dates in the runtime's short and long forms.
    Result shortResult = Compute(Block(TYPE_ELAPSED_TIME, 8, start, {}), nullptr, DISPLAY_START_TIME_SHORT);
    Result longResult = Compute(Block(TYPE_ELAPSED_TIME, 8, start, {}), nullptr, DISPLAY_START_TIME_LONG);
    EXPECT_NE(std::wstring::npos, shortResult.text.find(L"26")) << shortResult.text << ": in 2026";
    EXPECT_GT(longResult.text.size(), shortResult.text.size()) << "the long form names the day and month";
    EXPECT_DOUBLE_EQ(90090.5, longResult.value);

    for (int64_t notStarted : {int64_t(0), int64_t(-5)}) {
        for (uint32_t code : {DISPLAY_NATURAL, DISPLAY_START_TIME_SHORT, DISPLAY_START_TIME_LONG}) {
            Result r = Compute(Block(TYPE_ELAPSED_TIME, 8, static_cast<uint64_t>(notStarted), {}), nullptr, code);
            EXPECT_EQ(L" ", r.text);
            EXPECT_EQ(0, r.value);
        }
    }
    Result future = Compute(Block(TYPE_ELAPSED_TIME, 8, now + 15000000, {}), nullptr);
    EXPECT_EQ(L"-1.5s", future.text) << "a start later than now";
}

TEST_F(CounterValues, ByteFormsAndTotalTime)
{
    EXPECT_EQ(L"1.5 KB", Compute(Block(TYPE_RAWCOUNT, 4, 1536, {}), nullptr, DISPLAY_BYTES).text);
    EXPECT_EQ(L"1 TB", Compute(Block(TYPE_LARGE_RAWCOUNT, 8, 1ull << 40, {}), nullptr, DISPLAY_LARGE_BYTES).text);
    Result total = Compute(Block(TYPE_100NSEC_TIMER, 8, 15000000, {}), nullptr, DISPLAY_TOTAL_TIME);
    EXPECT_EQ(L"1.5s", total.text);
    EXPECT_EQ(15000000, total.value);
    EXPECT_EQ(L"-1.5s", Compute(Block(TYPE_100NSEC_TIMER, 8, uint64_t(-15000000), {}), nullptr,
                                DISPLAY_TOTAL_TIME).text);
}

TEST_F(CounterValues, ThreadStateTextsOnlyForTheStateCounters)
{
    Block waiting(TYPE_RAWCOUNT, 4, 5, {}, true, 5, true, 12);
    EXPECT_EQ(L"[5]", Compute(waiting, nullptr, DISPLAY_THREAD_STATE).text) << "another counter is shown";

    selection.counterIndex = STATE;
    Result r = Compute(waiting, nullptr, DISPLAY_THREAD_STATE);
    EXPECT_EQ(L"Wait (Suspended)", r.text);
    EXPECT_EQ(5, r.value);
    selection.counterIndex = REASON;
    EXPECT_EQ(L"Wait (Suspended)", Compute(waiting, nullptr, DISPLAY_THREAD_STATE).text);
    EXPECT_EQ(L"Running", Compute(Block(TYPE_RAWCOUNT, 4, 2, {}, true, 2, true, 12), nullptr,
                                  DISPLAY_THREAD_STATE).text);

    // Without the counters the state rests on, the raw value is shown.
    EXPECT_EQ(L"[5]", Compute(Block(TYPE_RAWCOUNT, 4, 5, {}, true, 5, false), nullptr, DISPLAY_THREAD_STATE).text);
    EXPECT_EQ(L"Ready", Compute(Block(TYPE_RAWCOUNT, 4, 1, {}, true, 1, false), nullptr, DISPLAY_THREAD_STATE).text);
    EXPECT_EQ(L"[-3]", Compute(Block(TYPE_RAWCOUNT, 4, uint32_t(-3), {}), nullptr, DISPLAY_THREAD_STATE).text);
}

TEST_F(CounterValues, ACounterDeclaredShorterThanItsTypeIsMissing)
{
    // A 64-bit type declared 4 bytes long, followed by a neighbour whose
    // bytes must not be read as its high word.
    Block raw(TYPE_LARGE_RAWCOUNT, 4, 7, {}, true, 0x55);
    EXPECT_EQ(L"0", Compute(raw, nullptr).text);
    EXPECT_EQ(L"[20450500: 0]", Compute(Block(0x20450500, 4, 7, {}, true, 0x55), nullptr).text);

    Block before(TYPE_100NSEC_TIMER, 4, 0, {0, 1000, 0}, true, 0x55);
    Block now(TYPE_100NSEC_TIMER, 4, SECOND, {1000, 1000, SECOND}, true, 0x66);
    EXPECT_FALSE(Compute(now, &before).ok);
    Block whole(TYPE_100NSEC_TIMER, 8, 0, {0, 1000, 0});
    EXPECT_FALSE(Compute(now, &whole).ok) << "the current sample is missing";
    EXPECT_FALSE(Compute(whole, &now).ok) << "the previous sample is missing";
}
