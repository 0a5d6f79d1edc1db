#include "core/Handles.h"
#include "resources/resource.h"
#include "view/Paint.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 400, HEIGHT = 120, H = 10, G = 8;
constexpr COLORREF PROCESS = RGB(0, 0, 200), THREAD = RGB(0, 200, 0), GROWN = RGB(200, 0, 0),
                   SHRUNK = RGB(200, 200, 0);

struct Row {
    const wchar_t* name;
    uint32_t id;
    double value;
    double previousValue;
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
            r.name = rows[i].name;
            r.id = rows[i].id;
            r.value = rows[i].value;
            r.previousValue = rows[i].previousValue;
            r.flags = rows[i].flags;
            pointers.push_back(&r);
        }
        input.rows = pointers.data();
        input.rowCount = static_cast<uint32_t>(pointers.size());
        RECT all = {0, 0, WIDTH, HEIGHT};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        view::PaintContent(dc, all, input, columns);
    }

    COLORREF Pixel(int x, int y) const
    {
        uint32_t p = pixels[y * WIDTH + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    int BarStart() const { return G + 2 * GetSystemMetrics(SM_CXFRAME) + columns.id + columns.name; }

    // The colours along the middle of a row from the bar's start, with the
    // length of each run.
    std::vector<std::pair<COLORREF, int>> Bar(int row) const
    {
        std::vector<std::pair<COLORREF, int>> runs;
        for (int x = BarStart(); x < WIDTH; ++x) {
            COLORREF c = Pixel(x, row * H + H / 2);
            if (runs.empty() || runs.back().first != c)
                runs.push_back({c, 0});
            ++runs.back().second;
        }
        return runs;
    }

    int CountPixels(const RECT& area, COLORREF color, bool equal = true) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x)
                n += (Pixel(x, y) == color) == equal;
        }
        return n;
    }

    static HBITMAP MakeDib(uint32_t*& pixels)
    {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), WIDTH, -HEIGHT, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    }

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

constexpr COLORREF WHITE = RGB(255, 255, 255);

int Length(double value, double lo, double hi, int width)
{
    return static_cast<int>((value - lo) * width / (hi - lo) + 0.5);
}

TEST_F(PaintTest, BarsShowTheOldLengthInTheBaseColourAndTheChangeInItsOwn)
{
    using Runs = std::vector<std::pair<COLORREF, int>>;
    Paint({{L"steady", 1, 100, 100},
           {L"grown", 2, 50, 25},
           {L"shrunk", 3, 25, 50},
           {L"thread", 4, 40, 40, model::isThread}});
    int width = WIDTH - BarStart();
    EXPECT_EQ((Runs{{PROCESS, width}}), Bar(0)) << "the largest value reaches the right edge";
    int quarter = Length(25, 0, 100, width), half = Length(50, 0, 100, width);
    EXPECT_EQ((Runs{{PROCESS, quarter}, {GROWN, half - quarter}, {WHITE, width - half}}), Bar(1));
    EXPECT_EQ((Runs{{PROCESS, quarter}, {SHRUNK, half - quarter}, {WHITE, width - half}}), Bar(2));
    int thread = Length(40, 0, 100, width);
    EXPECT_EQ((Runs{{THREAD, thread}, {WHITE, width - thread}}), Bar(3));

    // A value below 0 moves every bar's start there.
    Paint({{L"fell", 1, -50, -50}, {L"zero", 2, 0, 0}, {L"rose", 3, 50, 50}});
    width = WIDTH - BarStart();
    int zero = Length(0, -50, 50, width);
    EXPECT_EQ((Runs{{WHITE, width}}), Bar(0));
    EXPECT_EQ((Runs{{PROCESS, zero}, {WHITE, width - zero}}), Bar(1));
    EXPECT_EQ((Runs{{PROCESS, width}}), Bar(2));
}

TEST_F(PaintTest, AllZeroValuesDrawNoBarButTheRowsText)
{
    Paint({{L"a", 1, 0, 0}, {L"b", 2, 0, 0}});
    RECT all = {0, 0, WIDTH, HEIGHT};
    EXPECT_EQ(0, CountPixels(all, PROCESS));
    RECT ids = {G, 0, G + columns.id, 2 * H};
    EXPECT_GT(columns.id, 0);
    EXPECT_GT(CountPixels(ids, WHITE, false), 0);

    input.rowHeight = 0; // a font that failed to load
    Paint({{L"a", 1, 5, 0}, {L"b", 2, 0, 0}});
    EXPECT_GT(CountPixels(all, GROWN), 0);
}

TEST_F(PaintTest, IdsAreHexadecimalOnRequestAndTheColumnsOnlyGrow)
{
    SIZE hex = {}, decimal = {};
    GetTextExtentPoint32W(dc, L"4d2", 3, &hex);
    GetTextExtentPoint32W(dc, L"1234", 4, &decimal);
    ASSERT_LT(hex.cx, decimal.cx);
    input.hexIds = true;
    Paint({{L"a", 1234, 1, 1}});
    EXPECT_EQ(hex.cx, columns.id);
    input.hexIds = false;
    Paint({{L"a", 1234, 1, 1}});
    EXPECT_EQ(decimal.cx, columns.id);
    SIZE name = {};
    GetTextExtentPoint32W(dc, L"a much longer name", 18, &name);
    Paint({{L"a much longer name", 7, 1, 1}});
    Paint({{L"a", 7, 1, 1}});
    EXPECT_EQ(decimal.cx, columns.id);
    EXPECT_EQ(name.cx, columns.name) << "a long name seen once keeps the bars to the right";
}

TEST_F(PaintTest, WithNoRowTheStatusTextIsDrawnAtTheTopLeft)
{
    input.statusMessageId = IDS_STATUS_NOT_AVAILABLE;
    Paint({});
    wchar_t text[100] = {};
    int length = LoadStringW(GetModuleHandleW(nullptr), IDS_STATUS_NOT_AVAILABLE, text, 100);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, length, &size);
    RECT box = {0, 0, size.cx, size.cy}, all = {0, 0, WIDTH, HEIGHT};
    EXPECT_GT(CountPixels(box, GetSysColor(COLOR_WINDOWTEXT)), 0);
    EXPECT_EQ(CountPixels(all, WHITE, false), CountPixels(box, WHITE, false)) << "nothing outside the text";
}

TEST_F(PaintTest, OnlyTheUpperOfTwoFocusedRowsGetsTheFocusRectangle)
{
    Paint({{L"a", 1, 0, 0, model::isProcess | model::focused | model::selected},
           {L"b", 2, 0, 0, model::isProcess | model::focused}});
    RECT rightEdge0 = {WIDTH - 1, 0, WIDTH, H}, rightEdge1 = {WIDTH - 1, H, WIDTH, 2 * H};
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(CountPixels(rightEdge0, highlight, false), 0) << "the focus rectangle's right edge";
    EXPECT_EQ(0, CountPixels(rightEdge1, WHITE, false));
    RECT selected = {WIDTH - 20, 1, WIDTH - 2, H - 1};
    EXPECT_EQ(18 * (H - 2), CountPixels(selected, highlight)) << "the selection is highlighted";
    RECT mark = {0, 0, G, 2 * H};
    EXPECT_EQ(0, CountPixels(mark, highlight)) << "the expand mark stays outside the highlight";
}

} // namespace
