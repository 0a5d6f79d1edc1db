#include "core/WideString.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <string>

using core::TextId;
using core::WideString;

// Each string of the table comes whole, as the loader's own pointer to it reads.
TEST(WideString, LoadsResourceStringsWhole)
{
    HMODULE module = GetModuleHandleW(nullptr);
    auto Text = [](const WideString& s) { return std::wstring(s.text ? s.text : L"(null)"); };
    for (unsigned id = IDS_FIRST; id <= IDS_LAST + 1; ++id) {
        const wchar_t* resource = nullptr;
        int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&resource), 0);
        std::wstring expected = length > 0 ? std::wstring(resource, length) : L"(null)";
        EXPECT_EQ(expected, Text(WideString(TextId(id)))) << id;
        EXPECT_EQ(expected, Text(WideString(reinterpret_cast<const char*>(TextId(id))))) << id;
        EXPECT_EQ(expected, Text(WideString(id, module))) << id;
    }
    EXPECT_STREQ(L"abc", WideString("abc").text);
    EXPECT_STREQ(L"", WideString(TextId(IDS_LAST + 1)).Chars());
}

TEST(WideString, FormatsAndAppendsTextOfAnyLength)
{
    WideString s;
    for (size_t length : {0, 1, 126, 127, 128, 1500, 5000}) {
        std::wstring expected(length, L'x');
        EXPECT_EQ(static_cast<int>(length), s.Format(L"%ls", expected.c_str()));
        EXPECT_EQ(expected, s.Chars());
    }
    // A field wider than any buffer tried by steps is measured and made in
    // one allocation.
    EXPECT_EQ(100003, s.Format(L"-p %100000d", 7));
    EXPECT_LE(s.capacity, 100005u) << "sized from the measured count";
    EXPECT_EQ(14, s.Format(L"%s=%x %I64u", L"id", 255u, 12345678ull));
    EXPECT_STREQ(L"id=ff 12345678", s.text);
    EXPECT_EQ(11, s.FormatResource(IDS_TRAY_TOTAL, 37.5));
    EXPECT_STREQ(L"Total 37.5%", s.text);
    EXPECT_EQ(0, s.FormatResource(IDS_LAST + 1, 1));
    EXPECT_EQ(nullptr, s.text);

    s.Format(L"a");
    EXPECT_EQ(4, s.AppendFormatResource(IDS_SIZE_KB, 4u));
    EXPECT_EQ(2, s.AppendFormat(L"%d", 42));
    s.Append(s.text); // its own characters
    EXPECT_STREQ(L"a4 KB42a4 KB42", s.text);
    WideString empty;
    s.Assign(empty);
    EXPECT_STREQ(L"", s.text);
}

TEST(WideString, FormatsTimesIntoFortyCharactersWithoutLocalTime)
{
    struct tm time = {};
    time.tm_year = 2026 - 1900;
    time.tm_mday = 6;
    WideString s;
    std::wstring fits = L"abc" + std::wstring(32, L'-') + L"%Y"; // 39 characters once formatted
    EXPECT_EQ(39, s.FormatTime(fits.c_str(), time));
    EXPECT_EQ(L"abc" + std::wstring(32, L'-') + L"2026", s.text);
    EXPECT_EQ(0, s.FormatTime((fits + L"!").c_str(), time));
    EXPECT_STREQ(L"", s.text);

    // The weekday is worked out, not taken from the SYSTEMTIME.
    EXPECT_GT(s.FormatSystemTime(L"%A %d.%m.%Y", {2026, 12, 3, 7, 0, 0, 0, 0}), 0);
    EXPECT_STREQ(L"Monday 07.12.2026", s.text);
    // 2000-01-01 00:00 UTC stays midnight.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = 125911584000000000ull;
    EXPECT_GT(s.FormatFileTime(L"%Y-%m-%d %H:%M:%S", {ticks.LowPart, ticks.HighPart}), 0);
    EXPECT_STREQ(L"2000-01-01 00:00:00", s.text);
    EXPECT_EQ(0, s.FormatFileTime(L"%Y", {0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST(WideString, RunningOutOfMemoryLeavesEmptyStrings)
{
    WideString kept(L"kept");
    core::FailAllocationsAfter(1); // enough for a first buffer only
    WideString s;
    EXPECT_EQ(0, s.Format(L"%ls", std::wstring(200, L'z').c_str()));
    EXPECT_EQ(nullptr, s.text);
    EXPECT_FALSE(s.LoadResourceString(IDS_ERROR_CAPTION));
    kept.Append(L"more");
    EXPECT_EQ(nullptr, kept.text);
    EXPECT_EQ(0u, kept.capacity);
    core::FailAllocationsAfter(-1);
}
