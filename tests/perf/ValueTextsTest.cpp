#include "perf/ValueTexts.h"

#include <gtest/gtest.h>

#include <string>

using namespace perf;

namespace {

std::wstring Text(const core::WideString& s)
{
    return s.Chars();
}

std::wstring Duration(int64_t t)
{
    core::WideString text(L"old");
    FormatDuration(t, text);
    return text.Chars();
}

constexpr uint64_t KB = 1024, MB = KB * KB, GB = MB * KB, TB = GB * KB, PB = TB * KB, EB = PB * KB;

} // namespace

TEST(ValueTexts, ByteCountsStepThroughThePowersOfTwo)
{
    const struct {
        uint64_t bytes;
        const wchar_t* small; // FormatByteCount, for values that fit 32 bits
        const wchar_t* large; // FormatLargeByteCount
    } cases[] = {
        {0, L"0", L"0"},
        {1023, L"1023", L"1023"},
        {1024, L"1 KB", L"1 KB"},
        {1536, L"1.5 KB", L"1.5 KB"},
        {MB - 1, L"1024 KB", L"1024 KB"}, // %.4g of 1023.999
        {MB, L"1 MB", L"1 MB"},
        {GB - 1, L"1024 MB", L"1024 MB"},
        {GB, L"1 GB", L"1 GB"},
        {4 * GB - 1, L"4 GB", L"4 GB"},
        {TB, nullptr, L"1 TB"},
        {1536 * GB, nullptr, L"1.5 TB"},
        {PB, nullptr, L"1 PB"},
        {EB, nullptr, L"1 EB"},
        {UINT64_MAX, nullptr, L"16 EB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        if (c.small) {
            EXPECT_EQ(c.small, Text(FormatByteCount(static_cast<uint32_t>(c.bytes))));
        }
        EXPECT_EQ(c.large, Text(FormatLargeByteCount(c.bytes)));
    }
    EXPECT_EQ(L"1.25 KB", Text(FormatLargeByteCount(1280))) << "%.4g keeps four digits";
    EXPECT_EQ(L"1.001 KB", Text(FormatLargeByteCount(1025)));
}

TEST(ValueTexts, ByteRatesScaleTheRateNotItsWholePart)
{
    const struct {
        double rate;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},           {512.25, L"512"},        {1023.7, L"1.02e+003"}, {1024, L"1 KB"},
        {1536.0, L"1.5 KB"}, {1048575.9, L"1024 KB"}, {double(MB), L"1 MB"},  {3.5 * double(TB), L"3.5 TB"},
        {-1536.0, L"-1.5 KB"}, {-12.5, L"-12.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(c.text, Text(FormatByteRate(c.rate)));
    }
}

TEST(ValueTexts, DurationsPickTheirUnitStrictly)
{
    const int64_t second = 10000000, minute = 60 * second, hour = 60 * minute, day = 24 * hour;
    const struct {
        int64_t t;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},
        {5, L"500ns"},
        {10, L"1000ns"},            // exactly one microsecond
        {11, L"1.1\u00B5s"},
        {10000, L"1000\u00B5s"},    // exactly one millisecond
        {12345, L"1.2345ms"},
        {10010, L"1.001ms"},
        {second, L"1000ms"},        // exactly one second
        {15000000, L"1.5s"},
        {second + 1, L"1.0000001s"},
        {minute, L"1m 0s"},
        {hour, L"1h 0s"},
        {day + hour + minute + 15000000, L"1d 1h 1m 1.5s"},
        {1000 * day, L"1000d 0s"},
        {-15000000, L"-1.5s"},
        {-5, L"-500ns"},
        {INT64_MIN, L"-10675199d 2h 48m 5.4775807s"},
        {200 * 365 * day, L"73000d 0s"}, // beyond 2^32 seconds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        EXPECT_EQ(c.text, Duration(c.t));
    }
}

TEST(ValueTexts, ThreadStatesAndWaitReasons)
{
    const struct {
        uint32_t state, reason;
        const wchar_t* text;
    } cases[] = {
        {0, 9, L"Initialized"},  {1, 0, L"Ready"},          {2, 5, L"Running"},
        {3, 0, L"Standby"},      {4, 0, L"Terminated"},     {6, 0, L"Transition"},
        {7, 0, L"Unknown"},      {8, 0, L"[unassigned ID=8]"}, {9, 0, L"[unassigned ID=9]"},
        {5, 0, L"Wait for Executive"},  {5, 7, L"Wait for Executive"},
        {5, 6, L"Wait for User Request"}, {5, 13, L"Wait for User Request"},
        {5, 12, L"Wait (Suspended)"},   {5, 14, L"Wait for Event Pair High"},
        {5, 19, L"Wait for Page Out"},  {5, 20, L"Wait for [unassigned ID=20]"},
        {5, 25, L"Wait for [unassigned ID=25]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.state << "/" << c.reason);
        EXPECT_EQ(c.text, Text(ThreadStateText(c.state, c.reason)));
    }
}
