#include "core/WideString.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using core::TextId;
using core::WideString;

namespace {

std::wstring Repeat(wchar_t c, size_t count)
{
    return std::wstring(count, c);
}

// Allocation failures injected for one scope.
struct FailingAllocations {
    explicit FailingAllocations(int allowed) { core::FailAllocationsAfter(allowed); }
    ~FailingAllocations() { core::FailAllocationsAfter(-1); }
};

} // namespace

TEST(WideString, ConstructsFromTextIdOrAnsiText)
{
    EXPECT_STREQ(L"abc", WideString("abc").text);
    EXPECT_STREQ(L"Error", WideString(IDS_ERROR_CAPTION, GetModuleHandleW(nullptr)).text);
    // "Window creation" has 15 characters: the first attempt of 16 is too small by the rule.
    EXPECT_STREQ(L"Window creation", WideString(TextId(IDS_OP_WINDOW_CREATION)).text);

    WideString missing(TextId(1045));
    EXPECT_EQ(nullptr, missing.text);
    EXPECT_STREQ(L"", missing.Chars());
}

TEST(WideString, FormatsTextsOfAnyLengthWhole)
{
    // Around the first buffer's end, and a field far wider than any buffer
    // tried by steps: that one is measured and made in one allocation.
    const size_t lengths[] = {126, 127, 128, 2047, 100000};
    WideString s;
    for (size_t length : lengths) {
        std::wstring expected = Repeat(L'x', length);
        EXPECT_EQ(static_cast<int>(length), s.Format(L"%ls", expected.c_str()));
        EXPECT_EQ(expected, s.text);
    }
    EXPECT_LE(s.capacity, 100002u) << "sized from the measured count";
    EXPECT_EQ(100003, s.Format(L"-p %100000d", 7));
    EXPECT_EQ(14, s.Format(L"%s=%x %I64u", L"id", 255u, 12345678ull));
    EXPECT_STREQ(L"id=ff 12345678", s.text);
    EXPECT_EQ(0, s.Format(L""));
    EXPECT_STREQ(L"", s.text);
}

TEST(WideString, ResourceStringsAndFormats)
{
    // Every id of the table has its string, but for the gaps between groups.
    const unsigned gaps[] = {1045, 1046, 1085, 1086, 1147, 1148, 1149};
    for (unsigned id = IDS_FIRST; id <= IDS_LAST; ++id) {
        bool isGap = std::find(std::begin(gaps), std::end(gaps), id) != std::end(gaps);
        WideString s;
        EXPECT_EQ(!isGap, s.LoadResourceString(id)) << "string " << id;
    }
    WideString s;
    EXPECT_EQ(11, s.FormatResource(IDS_TRAY_TOTAL, 37.5));
    EXPECT_STREQ(L"Total 37.5%", s.text);
    EXPECT_EQ(0, s.FormatResource(1045, 1));
    EXPECT_EQ(nullptr, s.text);
    s.Format(L"a");
    EXPECT_EQ(4, s.AppendFormatResource(IDS_SIZE_KB, 4u));
    EXPECT_STREQ(L"a4 KB", s.text);
}

TEST(WideString, AppendAndAssign)
{
    WideString s;
    s.Append(L"ab").Append(L"cd");
    s.Append(s.text); // its own characters
    EXPECT_STREQ(L"abcdabcd", s.text);

    WideString empty, copy(L"x");
    copy.Assign(empty);
    EXPECT_STREQ(L"", copy.text);

    WideString prefix(L"n=");
    EXPECT_EQ(2, prefix.AppendFormat(L"%d", 42));
    EXPECT_EQ(0, prefix.AppendFormat(L""));
    EXPECT_STREQ(L"n=42", prefix.text);
}

TEST(WideString, SystemMessagesAreCopiedAsThePlatformGivesThem)
{
    WideString s;
    int count = s.FormatSystemMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, nullptr);
    ASSERT_GT(count, 2);
    EXPECT_EQ(static_cast<uint32_t>(count), s.Length());
    EXPECT_EQ(L'\n', s.text[count - 1]) << "the platform's line break is kept";

    s.Format(L"unchanged");
    EXPECT_EQ(0, s.FormatSystemMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x2FFFFFFF, 0, nullptr));
    EXPECT_STREQ(L"unchanged", s.text);
}

TEST(WideString, FormatsTimesIntoFortyCharacters)
{
    struct tm time = {};
    time.tm_year = 2026 - 1900;
    time.tm_mday = 6;
    WideString s;
    std::wstring fits = L"abc" + Repeat(L'-', 32) + L"%Y"; // 39 characters
    EXPECT_EQ(39, s.FormatTime(fits.c_str(), time));
    EXPECT_EQ(L"abc" + Repeat(L'-', 32) + L"2026", s.text);
    std::wstring tooLong = fits + L"!"; // 40 characters
    EXPECT_EQ(0, s.FormatTime(tooLong.c_str(), time));
    EXPECT_STREQ(L"", s.text);

    // The weekday comes from mktime, not from the SYSTEMTIME.
    SYSTEMTIME system = {2026, 12, 3, 6, 0, 0, 0, 0};
    EXPECT_GT(s.FormatSystemTime(L"%A %d.%m.%Y", system), 0);
    EXPECT_STREQ(L"Sunday 06.12.2026", s.text);

    // No conversion to local time: 2000-01-01 00:00 UTC stays midnight.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = 125911584000000000ull;
    FILETIME file = {ticks.LowPart, ticks.HighPart};
    EXPECT_GT(s.FormatFileTime(L"%Y-%m-%d %H:%M:%S", file), 0);
    EXPECT_STREQ(L"2000-01-01 00:00:00", s.text);

    FILETIME invalid = {0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(0, s.FormatFileTime(L"%Y", invalid));

    struct tm outOfRange = time;
    outOfRange.tm_mon = 12;
    EXPECT_EQ(0, s.FormatTime(L"%c", outOfRange));
    EXPECT_STREQ(L"", s.text);
}

TEST(WideString, RunningOutOfMemoryLeavesEmptyStrings)
{
    WideString kept(L"kept");
    {
        FailingAllocations none(0);
        WideString s;
        EXPECT_EQ(0, s.Format(L"%d", 5));
        EXPECT_EQ(nullptr, s.text);
        EXPECT_FALSE(s.LoadResourceString(IDS_ERROR_CAPTION));
        WideString copy(L"text");
        EXPECT_EQ(nullptr, copy.text);
        kept.Append(L"more");
        EXPECT_EQ(nullptr, kept.text);
        EXPECT_EQ(0u, kept.capacity);
    }
    {
        // The first buffer is granted, the growth to 256 characters fails.
        FailingAllocations one(1);
        WideString s;
        std::wstring longText = Repeat(L'z', 200);
        EXPECT_EQ(0, s.Format(L"%ls", longText.c_str()));
        EXPECT_EQ(nullptr, s.text);
        EXPECT_EQ(0u, s.capacity);
    }
}
