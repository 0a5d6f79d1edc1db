#include "perf/CounterNames.h"
#include "perf/CounterValues.h"
#include "perf/SnapshotWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

using namespace perf;

namespace {

constexpr uint32_t THREAD = 232, STATE = 46, REASON = 336, SHOWN = 6, N = DISPLAY_NATURAL;
constexpr uint32_t RAW = TYPE_RAWCOUNT, LARGE = TYPE_LARGE_RAWCOUNT, BULK = TYPE_BULK_COUNT;
constexpr int64_t SECOND = 10000000, DAY = 86400 * SECOND;
constexpr int64_t NOON = 134410320000000000; // 2026-12-06 12:00 UTC, the blocks' SystemTime
constexpr uint64_t MB = 1024 * 1024, GB = MB * 1024;
const double ANY = std::nan("");

struct Times {
    int64_t ticks = 0, frequency = 1000, time100ns = 0;
};
constexpr Times T0{0, 1000, 0}, T1{1000, 1000, SECOND};

// A Thread object with one instance: the shown counter (index 6), then
// 4-byte counters given as index and value.
struct Block {
    std::vector<uint8_t> bytes;

    Block(uint32_t type, uint32_t size, uint64_t value, Times times = {},
          std::vector<std::pair<uint32_t, uint32_t>> more = {})
    {
        SnapshotWriter writer;
        writer.BeginBlock({{2026, 12, 0, 6, 12, 0, 0, 0}, times.ticks, times.frequency, times.time100ns}, u"TEST");
        writer.BeginObject({THREAD, THREAD + 1});
        writer.AddCounter({SHOWN, SHOWN + 1, type, size});
        std::vector<uint64_t> values = {value};
        for (auto [index, v] : more) {
            writer.AddCounter({index, index + 1, TYPE_RAWCOUNT, 4});
            values.push_back(v);
        }
        writer.AddInstance(u"0", {230, 0, -1}, values);
        bytes = writer.Finish();
    }

    CounterSample Sample(uint32_t shown = SHOWN) const
    {
        SnapshotView view{bytes.data(), static_cast<uint32_t>(bytes.size())};
        const PerfObjectType* object = FindObject(view, THREAD);
        return {view, FirstInstance(view, object), FindCounter(view, object, shown)};
    }
};

struct Result {
    bool ok;
    double value = -12345;
    std::wstring text;
};

// `shown`: the counter the view shows, whose data the display type reads.
Result Compute(const Block& now, const Block* before, uint32_t displayType = N, uint32_t shown = SHOWN)
{
    Result r{};
    core::WideString text(L"untouched");
    r.ok = ComputeCounterValue(now.Sample(shown), before ? before->Sample(shown) : CounterSample(), r.value,
                               displayType);
    if (r.ok)
        FormatCounterValue(now.Sample(shown), r.value, displayType, text);
    r.text = text.Chars();
    return r;
}

class CounterValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::tie(counterTable.threadObjectIndex, counterTable.threadStateIndex, counterTable.threadWaitReasonIndex) =
            std::tuple(THREAD, STATE, REASON);
    }
    void TearDown() override
    {
        counterTable = CounterNameTable();
    }
};

} // namespace

// The formats' texts too, each at the edges of its units.
TEST_F(CounterValues, OneSampleCodes)
{
    const struct {
        uint32_t type, size;
        uint64_t raw;
        uint32_t display;
        double value; // ANY: not checked
        const wchar_t* text;
    } cases[] = {
        {RAW, 4, 7, N, 7, L"7"},
        {TYPE_RAWCOUNT_HEX, 4, 255, N, 255, L"0xff"},
        {LARGE, 8, 1ull << 40, N, 1099511627776.0, L"1099511627776"},
        {TYPE_LARGE_RAWCOUNT_HEX, 8, 1ull << 40, N, 1099511627776.0, L"0x10000000000"},
        {0x00450400, 4, 0xFFFFFFFE, N, -2, L"[450400: -2]"},     // unknown 32-bit type
        {0x20020400, 4, 37, N, 37, L"[20020400: 37]"},           // a raw fraction, base unused
        {0x20450500, 8, 123, N, 123, L"[20450500: 123]"},        // unknown 64-bit type
        {0x00000200, 4, 9, N, 0, L"[Zero] Contact author (200)"},
        {0x00000300, 4, 9, N, 0, L"[Variable] Contact author for an update (300)"},
        {TYPE_ANSI_TEXT, 8, 0x00006F6C6C6568ull, N, 0, L"hello"},
        {TYPE_TEXT, 8, 0x0064006300620061ull, N, 0, L"abcd"},   // no terminator: bounded by the size
        {RAW, 4, uint32_t(-3), DISPLAY_THREAD_STATE, -3, L"[-3]"}, // not a state counter
        {TYPE_ELAPSED_TIME, 8, NOON - 90090 * SECOND - SECOND / 2, N, 90090.5, L"1d 1h 1m 30.5s"},
        {TYPE_ELAPSED_TIME, 8, NOON + 15000000, N, -1.5, L"-1.5s"}, // started later
        {TYPE_ELAPSED_TIME, 8, 0, N, 0, L" "},                  // not started
        {TYPE_ELAPSED_TIME, 8, uint64_t(-5), DISPLAY_START_TIME_SHORT, 0, L" "},
        {RAW, 4, 1023, DISPLAY_BYTES, 1023, L"1023"},
        {RAW, 4, 1024, DISPLAY_BYTES, 1024, L"1 KB"},
        {RAW, 4, 1025, DISPLAY_BYTES, 1025, L"1.001 KB"},
        {RAW, 4, 4 * GB - 1, DISPLAY_BYTES, ANY, L"4 GB"},
        {LARGE, 8, 1024, DISPLAY_LARGE_BYTES, 1024, L"1 KB"},
        {LARGE, 8, MB - 1, DISPLAY_LARGE_BYTES, ANY, L"1024 KB"},
        {LARGE, 8, 1536 * GB, DISPLAY_LARGE_BYTES, ANY, L"1.5 TB"},
        {LARGE, 8, UINT64_MAX, DISPLAY_LARGE_BYTES, ANY, L"16 EB"},
        {LARGE, 8, 0, DISPLAY_TOTAL_TIME, 0, L"0"},
        {LARGE, 8, 10, DISPLAY_TOTAL_TIME, ANY, L"1000ns"},
        {LARGE, 8, 11, DISPLAY_TOTAL_TIME, ANY, L"1.1\u00B5s"},
        {LARGE, 8, 12345, DISPLAY_TOTAL_TIME, ANY, L"1.2345ms"},
        {LARGE, 8, SECOND + 1, DISPLAY_TOTAL_TIME, ANY, L"1.0000001s"},
        {LARGE, 8, DAY + 3660 * SECOND + SECOND / 2, DISPLAY_TOTAL_TIME, ANY, L"1d 1h 1m 0.5s"},
        {LARGE, 8, 200 * 365 * DAY, DISPLAY_TOTAL_TIME, ANY, L"73000d 0s"}, // beyond 2^32 seconds
        {LARGE, 8, uint64_t(INT64_MIN), DISPLAY_TOTAL_TIME, ANY, L"-10675199d 2h 48m 5.4775807s"},
    };
    for (const auto& c : cases) {
        Result r = Compute(Block(c.type, c.size, c.raw), nullptr, c.display);
        EXPECT_TRUE(r.ok) << std::hex << c.type << " " << c.raw;
        if (!std::isnan(c.value)) {
            EXPECT_EQ(c.value, r.value) << std::hex << c.type << " " << c.raw;
        }
        EXPECT_EQ(c.text, r.text) << std::hex << c.type << " " << c.raw;
    }
}

TEST_F(CounterValues, TwoSampleCodes)
{
    // A null text: no result, the outputs left alone.
    const struct {
        uint32_t type;
        uint64_t before, now;
        Times then, later;
        uint32_t display;
        double value;
        const wchar_t* text;
    } cases[] = {
        {TYPE_COUNTER, 0, 12345, T0, {1000000, 1000, 0}, N, 12.345, L"12.3"},
        {TYPE_COUNTER, 0, 1000, T0, {1000, 1000, 0}, N, 1000, L"1000"},
        {TYPE_COUNTER, 0xFFFFFFF0, 0x10, T0, {1000, 1000, 0}, N, 32, L"32"}, // wrapped past 2^32
        {BULK, 0, 5122, {0, 10, 0}, {100, 10, 0}, DISPLAY_BYTES_PER_SEC, 512.2, L"512"},
        {BULK, 0, 10237, {0, 10, 0}, {100, 10, 0}, DISPLAY_BYTES_PER_SEC, 1023.7, L"1.02e+003"},
        {BULK, 0, 10485759, {0, 10, 0}, {100, 10, 0}, DISPLAY_BYTES_PER_SEC, 1048575.9, L"1024 KB"},
        {BULK, 1000, 4072, {0, 10, 0}, {20, 10, 0}, DISPLAY_BYTES_PER_SEC, 1536, L"1.5 KB"},
        {TYPE_100NSEC_TIMER, 0, SECOND, T0, T1, N, 1.0, L"100"},
        {TYPE_100NSEC_TIMER, 0, 2 * SECOND, T0, T1, N, 2.0, L"200"}, // two processors busy
        {TYPE_TIMER, 100, 600, T0, T1, N, 0.5, L"50"},
        {TYPE_100NSEC_TIMER, 0, 50, {0, 1000, SECOND}, T1, N, 0, nullptr}, // no 100-ns time passed
        {TYPE_TIMER, 0, 50, {1000, 1000, 0}, T1, N, 0, nullptr},           // no ticks passed
        {TYPE_COUNTER, 0, 50, {1000, 1000, 0}, T1, N, 0, nullptr},
        // Counts that only grow went down: another instance's.
        {BULK, 125, 0, {0, 10, 0}, {100, 10, 0}, DISPLAY_BYTES_PER_SEC, 0, nullptr},
        {TYPE_100NSEC_TIMER, SECOND, SECOND / 2, T0, T1, N, 0, nullptr},
        // A clock set back: no rate, not a negative or a huge one.
        {BULK, 1000, 4072, {20, 10, 0}, {0, 10, 0}, DISPLAY_BYTES_PER_SEC, 0, nullptr},
        {TYPE_100NSEC_TIMER, 0, SECOND, {0, 1000, 36000 * SECOND}, T1, N, 0, nullptr},
        {TYPE_COUNTER, 0, 50, {2000, 1000, 0}, {1000, 1000, 0}, N, 0, nullptr},
        {BULK, 0, 50, {0, 0, 0}, {1000, 0, SECOND}, DISPLAY_BYTES_PER_SEC, 0, nullptr}, // no frequency
    };
    for (const auto& c : cases) {
        uint32_t size = c.type == TYPE_COUNTER ? 4 : 8;
        Block before(c.type, size, c.before, c.then), now(c.type, size, c.now, c.later);
        Result r = Compute(now, &before, c.display);
        EXPECT_EQ(c.text != nullptr, r.ok) << std::hex << c.type << " " << c.now;
        EXPECT_NEAR(c.text ? c.value : -12345, r.value, 1e-9) << std::hex << c.type << " " << c.now;
        EXPECT_EQ(c.text ? c.text : L"untouched", r.text) << std::hex << c.type << " " << c.now;
    }
    Result none = Compute(Block(TYPE_100NSEC_TIMER, 8, SECOND, T1), nullptr);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(L"untouched", none.text);
}

TEST_F(CounterValues, StartTimesAreDatesInTheRuntimesShortAndLongForms)
{
    Block started(TYPE_ELAPSED_TIME, 8, NOON - 90090 * SECOND);
    Result shortForm = Compute(started, nullptr, DISPLAY_START_TIME_SHORT);
    Result longForm = Compute(started, nullptr, DISPLAY_START_TIME_LONG);
    EXPECT_NE(std::wstring::npos, shortForm.text.find(L"26")) << shortForm.text << ": in 2026";
    EXPECT_GT(longForm.text.size(), shortForm.text.size()) << "the long form names the day and month";
    EXPECT_EQ(90090, longForm.value);
}

TEST_F(CounterValues, ThreadStateTextsOnlyForTheStateCounters)
{
    Block waiting(TYPE_RAWCOUNT, 4, 5, {}, {{STATE, 5}, {REASON, 12}});
    EXPECT_EQ(L"[5]", Compute(waiting, nullptr, DISPLAY_THREAD_STATE).text) << "another counter is shown";
    Result r = Compute(waiting, nullptr, DISPLAY_THREAD_STATE, STATE);
    EXPECT_EQ(L"Wait (Suspended)", r.text);
    EXPECT_EQ(5, r.value);
    EXPECT_EQ(L"Wait (Suspended)", Compute(waiting, nullptr, DISPLAY_THREAD_STATE, REASON).text);
    // Without the wait reason a waiting thread shows its raw value.
    EXPECT_EQ(L"[5]", Compute(Block(RAW, 4, 5, {}, {{STATE, 5}}), nullptr, DISPLAY_THREAD_STATE, STATE).text);
    // The states' and wait reasons' texts, at the edges of their ranges.
    const std::tuple<uint32_t, uint32_t, const wchar_t*> states[] = {
        {0, 9, L"Initialized"}, {7, 0, L"Unknown"}, {8, 0, L"[unassigned ID=8]"}, {5, 0, L"Wait for Executive"},
        {5, 19, L"Wait for Page Out"}, {5, 20, L"Wait for [unassigned ID=20]"},
    };
    for (auto [state, reason, text] : states) {
        Block thread(RAW, 4, state, {}, {{STATE, state}, {REASON, reason}});
        EXPECT_EQ(text, Compute(thread, nullptr, DISPLAY_THREAD_STATE, STATE).text) << state << "/" << reason;
    }
}

TEST_F(CounterValues, ACounterDeclaredShorterThanItsTypeIsMissing)
{
    // A 64-bit type declared 4 bytes long, followed by a neighbour whose
    // bytes must not be read as its high word.
    EXPECT_EQ(L"0", Compute(Block(TYPE_LARGE_RAWCOUNT, 4, 7, {}, {{STATE, 0x55}}), nullptr).text);
    EXPECT_EQ(L"[20450500: 0]", Compute(Block(0x20450500, 4, 7, {}, {{STATE, 0x55}}), nullptr).text);

    Block before(TYPE_100NSEC_TIMER, 4, 0, T0, {{STATE, 0x55}});
    Block now(TYPE_100NSEC_TIMER, 4, SECOND, T1, {{STATE, 0x66}});
    EXPECT_FALSE(Compute(now, &before).ok);
    Block whole(TYPE_100NSEC_TIMER, 8, 0, T0);
    EXPECT_FALSE(Compute(now, &whole).ok) << "the current sample is missing";
    EXPECT_FALSE(Compute(whole, &now).ok) << "the previous sample is missing";
}
