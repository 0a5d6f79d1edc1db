#include "core/Handles.h"
#include "resources/resource.h"
#include "view/Paint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int WIDTH = 400, HEIGHT = 120, H = 10, G = 8;
constexpr COLORREF PROCESS = RGB(0, 0, 200), THREAD = RGB(0, 200, 0), GROWN = RGB(200, 0, 0),
                   SHRUNK = RGB(200, 200, 0), WHITE = RGB(255, 255, 255);

struct Row {
    const wchar_t* name;
    uint32_t id;
    double value, previousValue;
    uint32_t flags = model::isProcess;
};

// A 32-bpp DIB section to paint into, with the program's brushes and no
// value texts, so that a bar's pixels are the bar alone.
class PaintTest : public ::testing::Test {
protected:
    PaintTest()
    {
        HBRUSH* targets[] = {&input.processBrush, &input.threadBrush, &input.increaseBrush, &input.decreaseBrush};
        COLORREF colors[] = {PROCESS, THREAD, GROWN, SHRUNK};
        for (int i = 0; i < 4; ++i)
            *targets[i] = brushes.emplace_back(CreateSolidBrush(colors[i])).Get();
        input.rowHeight = H;
        input.glyphWidth = G;
    }

    void Paint(const std::vector<Row>& rows)
    {
        records = std::make_unique<model::InstanceRecord[]>(rows.size());
        pointers.clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            model::InstanceRecord& r = records[i];
            std::tie(r.name, r.id, r.value, r.previousValue, r.flags) =
                std::tie(rows[i].name, rows[i].id, rows[i].value, rows[i].previousValue, rows[i].flags);
            pointers.push_back(&r);
        }
        input.rows = pointers.data();
        input.rowCount = static_cast<uint32_t>(pointers.size());
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        view::PaintContent(dc, all, input, columns);
    }

    COLORREF Pixel(int x, int y) const
    {
        uint32_t p = pixels[y * WIDTH + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    // The runs of colour along the middle of a row, from where the first row
    // (the longest bar) starts, each as a letter and its share of that bar in
    // percent: "P25 +25 .50".
    std::string Bar(int row) const
    {
        int start = 0, y = row * H + H / 2;
        while (start < WIDTH && Pixel(start, H / 2) != PROCESS)
            ++start;
        std::string bar;
        for (int x = start, end; x < WIDTH; x = end) {
            for (end = x; end < WIDTH && Pixel(end, y) == Pixel(x, y);)
                ++end;
            COLORREF c = Pixel(x, y);
            char letter = c == PROCESS ? 'P' : c == THREAD ? 'T' : c == GROWN ? '+' : c == SHRUNK ? '-' : '.';
            bar += (bar.empty() ? "" : " ") + (letter + std::to_string(std::lround(100.0 * (end - x) / (WIDTH - start))));
        }
        return bar;
    }

    int Count(const RECT& area, COLORREF color, bool equal = true) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x)
                n += (Pixel(x, y) == color) == equal;
        }
        return n;
    }

    SIZE Extent(const wchar_t* text) const
    {
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
        return size;
    }

    static HBITMAP MakeDib(uint32_t*& pixels)
    {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), WIDTH, -HEIGHT, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    }

    const RECT all = {0, 0, WIDTH, HEIGHT};
    core::MemoryDc memory{CreateCompatibleDC(nullptr)};
    HDC dc = memory.Get();
    uint32_t* pixels = nullptr;
    core::Bitmap bitmap{MakeDib(pixels)};
    core::SelectionGuard canvas{dc, bitmap.Get()};
    std::vector<core::Brush> brushes;
    std::unique_ptr<model::InstanceRecord[]> records;
    std::vector<const model::InstanceRecord*> pointers;
    view::PaintInput input;
    view::ColumnWidths columns;
};

TEST_F(PaintTest, BarsShowTheOldLengthInTheBaseColourAndTheChangeInItsOwn)
{
    Paint({{L"steady", 1, 100, 100},
           {L"grown", 2, 50, 25},
           {L"shrunk", 3, 25, 50},
           {L"new", 4, 50, 0},
           {L"thread", 5, 40, 40, model::isThread}});
    EXPECT_EQ((std::vector<std::string>{"P100", "P25 +25 .50", "P25 -25 .50", "+50 .50", "T40 .60"}),
              (std::vector<std::string>{Bar(0), Bar(1), Bar(2), Bar(3), Bar(4)}));

    Paint({{L"rose", 1, 50, 50}, {L"zero", 2, 0, 0}, {L"fell", 3, -50, -50}});
    EXPECT_EQ((std::vector<std::string>{"P100", "P50 .50", ".100"}),
              (std::vector<std::string>{Bar(0), Bar(1), Bar(2)}))
        << "a value below 0 moves every bar's start there";
}

TEST_F(PaintTest, AllZeroValuesDrawNoBarButTheRowsText)
{
    Paint({{L"a", 1, 0, 0}, {L"b", 2, 0, 0}});
    EXPECT_EQ(0, Count(all, PROCESS));
    EXPECT_GT(Count(all, WHITE, false), 0);

    input.rowHeight = 0; // a font that failed to load
    Paint({{L"a", 1, 5, 0}, {L"b", 2, 0, 0}});
    EXPECT_GT(Count(all, GROWN), 0);
}

TEST_F(PaintTest, IdsAreHexadecimalOnRequestAndTheColumnsOnlyGrow)
{
    ASSERT_LT(Extent(L"4d2").cx, Extent(L"1234").cx);
    input.hexIds = true;
    Paint({{L"a", 1234, 1, 1}});
    EXPECT_EQ(Extent(L"4d2").cx, columns.id);
    input.hexIds = false;
    Paint({{L"a much longer name", 1234, 1, 1}});
    Paint({{L"a", 7, 1, 1}});
    EXPECT_EQ(Extent(L"1234").cx, columns.id);
    EXPECT_EQ(Extent(L"a much longer name").cx, columns.name);
}

TEST_F(PaintTest, WithNoRowTheStatusTextIsDrawnAtTheTopLeft)
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
    Paint({{L"a", 1, 0, 0, model::isProcess | model::focused | model::selected},
           {L"b", 2, 0, 0, model::isProcess | model::focused}});
    RECT rightEdge0 = {WIDTH - 1, 0, WIDTH, H}, rightEdge1 = {WIDTH - 1, H, WIDTH, 2 * H};
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(Count(rightEdge0, highlight, false), 0) << "the focus rectangle's right edge";
    EXPECT_EQ(0, Count(rightEdge1, WHITE, false));
    RECT selected = {WIDTH - 20, 1, WIDTH - 2, H - 1};
    EXPECT_EQ(18 * (H - 2), Count(selected, highlight)) << "the selection is highlighted";
}

} // namespace
