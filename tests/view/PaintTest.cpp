#include "core/Handles.h"
#include "resources/resource.h"
#include "view/Paint.h"
#include "view/ViewWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int WIDTH = 400, HEIGHT = 120, H = 10;
constexpr uint32_t P = model::isProcess, T = model::isThread;
constexpr COLORREF WHITE = RGB(255, 255, 255);
const COLORREF colours[] = {RGB(0, 0, 200), RGB(0, 200, 0), RGB(200, 0, 0), RGB(200, 200, 0), WHITE};
using Row = std::tuple<const wchar_t*, uint32_t, double, double, uint32_t>; // name, ID, value, previous, flags
using Strings = std::vector<std::string>;

// A 32-bpp DIB section to paint into and read back.
struct Canvas {
    COLORREF Pixel(int x, int y) const
    {
        uint32_t p = pixels[y * WIDTH + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    // The pixels in the area that are (or, with equal false, are not) of the colour.
    int Count(const RECT& area, COLORREF colour, bool equal = true) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x)
                n += (Pixel(x, y) == colour) == equal;
        }
        return n;
    }

    SIZE Extent(const wchar_t* text) const
    {
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
        return size;
    }

    const RECT all = {0, 0, WIDTH, HEIGHT};
    core::MemoryDc memory{CreateCompatibleDC(nullptr)};
    HDC dc = memory.Get();
    uint32_t* pixels = nullptr;
    BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), WIDTH, -HEIGHT, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    core::Bitmap bitmap{CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                         reinterpret_cast<void**>(&pixels), nullptr, 0)};
    core::SelectionGuard canvas{dc, bitmap.Get()};
    view::ColumnWidths columns;
};

// Rows painted with brushes of their own and no value texts, so that a
// bar's pixels are the bar alone.
class PaintTest : public ::testing::Test, protected Canvas {
protected:
    PaintTest()
    {
        HBRUSH* targets[] = {&input.processBrush, &input.threadBrush, &input.increaseBrush, &input.decreaseBrush};
        for (int i = 0; i < 4; ++i)
            *targets[i] = brushes.emplace_back(CreateSolidBrush(colours[i])).Get();
        input.rowHeight = H;
        input.glyphWidth = 8;
    }

    void Paint(const std::vector<Row>& rows)
    {
        records = std::make_unique<model::InstanceRecord[]>(rows.size());
        pointers.clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            std::tie(records[i].name, records[i].id, records[i].value, records[i].previousValue, records[i].flags) =
                rows[i];
            pointers.push_back(&records[i]);
        }
        input.rows = pointers.data();
        input.rowCount = static_cast<uint32_t>(pointers.size());
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        view::PaintContent(dc, all, input, columns);
    }

    // The runs of colour along the middle of each row from where the first
    // row's (the longest) bar starts, as letters of process, thread, grown,
    // shrunk or none, each with its share in percent: "P25 +25 .50".
    Strings Bars() const
    {
        int start = 0;
        while (start < WIDTH && Pixel(start, H / 2) != colours[0])
            ++start;
        Strings bars;
        for (uint32_t row = 0, y = H / 2; row < input.rowCount; ++row, y += H) {
            std::string& bar = bars.emplace_back();
            for (int x = start, end; x < WIDTH; x = end) {
                for (end = x; end < WIDTH && Pixel(end, y) == Pixel(x, y);)
                    ++end;
                size_t colour = std::find(colours, colours + 4, Pixel(x, y)) - colours;
                bar += std::string(bar.empty() ? "" : " ") + "PT+-."[colour] +
                       std::to_string(std::lround(100.0 * (end - x) / (WIDTH - start)));
            }
        }
        return bars;
    }

    std::vector<core::Brush> brushes;
    std::unique_ptr<model::InstanceRecord[]> records;
    std::vector<const model::InstanceRecord*> pointers;
    view::PaintInput input;
};

TEST_F(PaintTest, BarsShowTheOldLengthInTheBaseColourAndTheChangeInItsOwn)
{
    Paint({{L"steady", 1, 100, 100, P}, {L"grown", 2, 50, 25, P}, {L"shrunk", 3, 25, 50, P},
           {L"new", 4, 50, 0, P}, {L"thread", 5, 40, 40, T}});
    EXPECT_EQ((Strings{"P100", "P25 +25 .50", "P25 -25 .50", "+50 .50", "T40 .60"}), Bars());
    Paint({{L"rose", 1, 50, 50, P}, {L"zero", 2, 0, 0, P}, {L"fell", 3, -50, -50, P}});
    EXPECT_EQ((Strings{"P100", "P50 .50", ".100"}), Bars()) << "a value below 0 moves every bar's start there";

    // All values 0: no bar, but the rows' texts.
    Paint({{L"a", 1, 0, 0, P}, {L"b", 2, 0, 0, P}});
    EXPECT_EQ(0, Count(all, colours[0]));
    EXPECT_GT(Count(all, WHITE, false), 0);
    input.rowHeight = 0; // a font that failed to load
    Paint({{L"a", 1, 5, 0, P}, {L"b", 2, 0, 0, P}});
    EXPECT_GT(Count(all, colours[2]), 0);
}

TEST_F(PaintTest, IdsAreHexadecimalOnRequestAndTheColumnsAFrameApart)
{
    ASSERT_LT(Extent(L"4d2").cx, Extent(L"1234").cx);
    input.frameWidth = 20;
    for (bool hex : {true, false}) {
        input.hexIds = hex;
        columns = {};
        Paint({{L"a", 1234, 1, 1, P}});
        EXPECT_EQ(Extent(hex ? L"4d2" : L"1234").cx, columns.id);
        // The longest bar reaches the right edge: all else along the row is before it.
        EXPECT_EQ(input.glyphWidth + 20 + columns.id + 20 + columns.name,
                  Count({0, H / 2, WIDTH, H / 2 + 1}, colours[0], false));
    }
}

TEST_F(PaintTest, TheStatusTextStandsAloneAtTheTopLeftWithNoRow)
{
    input.statusMessageId = IDS_STATUS_NOT_AVAILABLE;
    Paint({});
    wchar_t text[100] = {};
    LoadStringW(GetModuleHandleW(nullptr), IDS_STATUS_NOT_AVAILABLE, text, 100);
    RECT box = {0, 0, Extent(text).cx, Extent(text).cy};
    EXPECT_GT(Count(box, GetSysColor(COLOR_WINDOWTEXT)), 0);
    EXPECT_EQ(Count(all, WHITE, false), Count(box, WHITE, false)) << "nothing outside the text";
}

TEST_F(PaintTest, OnlyTheUpperOfTwoFocusedRowsGetsTheFocusRectangle)
{
    Paint({{L"a", 1, 0, 0, P | model::focused | model::selected}, {L"b", 2, 0, 0, P | model::focused}});
    RECT rightEdge0 = {WIDTH - 1, 0, WIDTH, H}, rightEdge1 = {WIDTH - 1, H, WIDTH, 2 * H};
    EXPECT_GT(Count(rightEdge0, GetSysColor(COLOR_HIGHLIGHT), false), 0) << "the focus rectangle on the selection";
    EXPECT_EQ(0, Count(rightEdge1, WHITE, false));
}

// High contrast as the system would answer it.
bool highContrast = false;
BOOL WINAPI AnswerHighContrast(UINT action, UINT size, void* out, UINT)
{
    auto* scheme = static_cast<HIGHCONTRASTW*>(out);
    if (action != SPI_GETHIGHCONTRAST || size != sizeof *scheme)
        return FALSE;
    scheme->dwFlags = highContrast ? HCF_HIGHCONTRASTON | HCF_AVAILABLE : HCF_AVAILABLE;
    return TRUE;
}

// The window's rows painted into a memory bitmap while the scheme changes
// under it: "grown" went from 25% to 75% and "shrunk" the other way.
class HighContrast : public testing_support::ViewWindowTest, protected Canvas {
protected:
    void TearDown() override
    {
        view::systemParameters = SystemParametersInfoW;
        highContrast = false;
        ViewWindowTest::TearDown();
    }
    void PaintWindowRows()
    {
        view::PaintInput current = view::CurrentPaintInput();
        FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
        core::SelectionGuard font(dc, view::display.viewFont.Get());
        view::PaintContent(dc, all, current, columns);
        x3 = current.glyphWidth + 2 * current.frameWidth + columns.id + columns.name;
        h = current.rowHeight;
    }
    RECT Part(int row, double from, double to) const
    {
        int width = WIDTH - x3;
        return {x3 + int(from * width) + 1, row * h + 1, x3 + int(to * width) - 1, row * h + h - 1};
    }
    // Which way the ink's lines run in the area: '/', '\\', or '?' when
    // neither clearly (solid, blank).
    char Slant(const RECT& area, COLORREF ink) const
    {
        int rising = 0, falling = 0;
        for (int y = area.top + 1; y < area.bottom - 1; ++y) {
            for (int x = area.left; x < area.right - 1; ++x) {
                if (Pixel(x, y) == ink && Pixel(x + 1, y) != ink) {
                    rising += Pixel(x + 1, y - 1) == ink;
                    falling += Pixel(x + 1, y + 1) == ink;
                }
            }
        }
        return rising > 2 * falling + 2 ? '/' : falling > 2 * rising + 2 ? '\\' : '?';
    }
    int x3 = 0, h = 0;
};

TEST_F(HighContrast, BarsTakeSystemColoursAndHatchesAndFollowTheSchemeLive)
{
    view::systemParameters = AnswerHighContrast;
    Start({{u"grown", 10, 0}, {u"shrunk", 20, 0}}, {{u"grown", 10, 0.25}, {u"shrunk", 20, 0.75}});
    Resample({{u"grown", 10, 1}, {u"shrunk", 20, 1}}, 2);
    ASSERT_EQ(2, testing_support::Rows());
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT), paper = GetSysColor(COLOR_WINDOW);
    const COLORREF stored = GetSysColor(COLOR_APPWORKSPACE);
    ASSERT_NE(ink, stored);

    highContrast = true;
    Send(WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST);
    PaintWindowRows();
    EXPECT_EQ(0, Count(Part(0, 0.1, 0.33), ink, false)) << "the base bar in the text colour";
    EXPECT_EQ("/\\", (std::string{Slant(Part(0, 0.34, 1), ink), Slant(Part(1, 0.34, 1), ink)}))
        << "growth and shrinkage told by the hatch, not by the hue";
    RECT valueText = {x3, 0, x3 + columns.valueText, h};
    EXPECT_GT(Count(valueText, paper), columns.valueText * h / 4) << "the value text has a background of its own over the bar";

    highContrast = false;
    Send(WM_SYSCOLORCHANGE, 0);
    PaintWindowRows();
    EXPECT_EQ(0, Count(Part(0, 0.1, 0.33), stored, false)) << "the stored colours again";
    EXPECT_EQ(0, Count(valueText, paper));
}

} // namespace
