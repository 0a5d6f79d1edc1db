#include "support/MessageBoxCatcher.h"
#include "view/Paint.h"
#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::wstring>;
using Icons = std::map<UINT, std::wstring>;

int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM texts)
{
    if (record->iType == EMR_EXTTEXTOUTW) {
        auto* out = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        auto* bytes = reinterpret_cast<const uint8_t*>(record);
        auto* chars = reinterpret_cast<const wchar_t*>(bytes + out->emrtext.offString);
        reinterpret_cast<Strings*>(texts)->emplace_back(chars, out->emrtext.nChars);
    }
    return 1;
}

// The value texts a paint of every listed row draws, recorded in a metafile:
// each row's mark, ID, name and value text come in that order.
Strings Texts()
{
    view::PaintInput input = view::CurrentPaintInput();
    input.topRow = 0;
    RECT client = {0, 0, 1000, static_cast<LONG>(input.rowCount + 1) * input.rowHeight};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    view::ColumnWidths columns{};
    view::PaintContent(dc, client, input, columns);
    HENHMETAFILE file = CloseEnhMetaFile(dc);
    Strings texts;
    EnumEnhMetaFile(nullptr, file, CollectText, &texts, nullptr);
    DeleteEnhMetaFile(file);
    EXPECT_EQ(4 * input.rowCount, texts.size());
    return texts.size() < input.rowCount ? texts : Strings(texts.end() - input.rowCount, texts.end());
}

const std::vector<MachineProcess> busy = {{u"idle", 100, 0}, {u"burner", 200, 0}};

} // namespace

using Refresh = ViewWindowTest;

TEST_F(Refresh, TheGaugesComeWithTheSecondSampleAndBackOnANewTaskbar)
{
    replay.Serve(MachineBlock(busy, 0));
    replay.Serve(MachineBlock({{u"idle", 100, 0.25}, {u"burner", 200, 0.5}}, 1));
    Pump(); // the update the window posted when it was made
    EXPECT_EQ((Strings{L"***", L"***"}), Texts());
    EXPECT_EQ(Icons(), shown);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ((Strings{L"25", L"50"}), Texts());
    const Icons both = {{1, L"7 burner 50%"}, {2, L"11 Total 75%"}};
    EXPECT_EQ(both, shown);
    shown.clear(); // a new taskbar has none of the icons
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(both, shown);
}

// A counter given on the command line is kept, with its type looked up; with
// none, the Process object's default, one outside its counters the first.
TEST_F(Refresh, TheCounterShownIsTheOneGivenOrTheObjectsDefault)
{
    const struct { uint32_t given; int32_t position; uint32_t counter, type; } cases[] = {
        {ID_PROCESS, 0, ID_PROCESS, perf::TYPE_RAWCOUNT},
        {0, 2, THREAD_COUNT, perf::TYPE_RAWCOUNT},
        {0, 3, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER}, // the object's NumCounters
        {0, -1, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER},
    };
    for (const auto& c : cases) {
        view::viewState.counter = perf::CounterSelection();
        view::viewState.counter.counterIndex = c.given;
        Resample(busy, 0, c.position);
        EXPECT_EQ(c.counter, view::viewState.counter.counterIndex) << c.position;
        EXPECT_EQ(c.type, view::viewState.counter.counterType) << c.position;
    }
}

// Only processor times have gauges: the icons go with another counter.
TEST_F(Refresh, ViewAsAndTheCounterChoiceRecomputeFromTheSamplesHeld)
{
    Start({{u"idle", 100, 30}, {u"burner", 200, 90}});
    size_t queries = replay.queriedNames.size();
    EXPECT_EQ((Strings{L"0", L"0"}), Texts()) << "nothing used in the second between";
    Command(CMD_VIEW_AS_FIRST + 1); // total time
    EXPECT_EQ(90e7, model::modelState.processRecords[1].value) << "in 100-ns units";
    EXPECT_EQ(2u, shown.size());
    Command(CMD_PROCESS_COUNTER_FIRST + 1); // ID Process
    EXPECT_EQ(perf::DISPLAY_NATURAL, view::viewState.counter.displayType);
    EXPECT_EQ((Strings{L"100", L"200"}), Texts());
    EXPECT_EQ(queries, replay.queriedNames.size()) << "no new sample";
    EXPECT_EQ(Icons(), shown);
    Command(CMD_PROCESS_COUNTER_FIRST + 3); // past the last: none until the next update
    EXPECT_EQ(0u, view::viewState.counter.counterIndex);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(PROCESSOR_TIME, view::viewState.counter.counterIndex);
    EXPECT_EQ(2u, shown.size());
}

TEST_F(Refresh, AFailedFirstQuerySaysSoAndNoRefreshRunsInsideAnother)
{
    perf::ReleaseSampleData();
    replay.Fail(ERROR_ACCESS_DENIED);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(unsigned(IDS_STATUS_NOT_AVAILABLE), view::CurrentPaintInput().statusMessageId);

    // The box of a failed name read runs its own loop, which delivers the
    // update timer: that tick must not refresh under the box, even when the
    // names could be read by now.
    perf::ReleaseSampleData();
    replay.failingValues[L"Counter"] = ERROR_ACCESS_DENIED;
    size_t readsBefore = 0, readsAfter = 0;
    MessageBoxCatcher catcher;
    catcher.whileShown = [&](HWND box) {
        replay.failingValues.clear();
        readsBefore = replay.queriedNames.size();
        SendMessageW(window, WM_TIMER, app::UPDATE_TIMER_ID, 0);
        readsAfter = replay.queriedNames.size();
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    Command(CMD_UPDATE_NOW);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(readsBefore, readsAfter);
}

namespace {

constexpr int64_t SECOND = 10000000;
constexpr int64_t NOON = 134410320000000000; // 2026-12-06 12:00 UTC, the blocks' SystemTime
constexpr uint64_t GB = 1ull << 30;
constexpr uint32_t STATE = 46, REASON = 336;

// Processes alpha (two threads), beta (one) and gamma, which is new in the
// second sample: a counter of every type the views know, and some they do not.
std::vector<uint8_t> EveryKindBlock(int sample)
{
    struct Counter {
        perf::CounterSpec definition;
        uint64_t alpha[2], beta[2], gamma;
    };
    const Counter counters[] = {
        {{PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8}, {0, SECOND / 2}, {SECOND, 5 * SECOND / 2}, 3},
        {{ID_PROCESS, 785, perf::TYPE_RAWCOUNT, 4}, {100, 100}, {200, 200}, 300},
        {{THREAD_COUNT, 681, perf::TYPE_RAWCOUNT, 4}, {2, 2}, {1, 1}, 0},
        {{2001, 0, perf::TYPE_RAWCOUNT_HEX, 4}, {255, 255}, {1025, 4 * GB - 1}, 0},
        {{2002, 0, perf::TYPE_LARGE_RAWCOUNT, 8}, {1023, 1023}, {1536 * GB, UINT64_MAX}, 1ull << 40},
        {{2003, 0, perf::TYPE_LARGE_RAWCOUNT_HEX, 8}, {1, 1024}, {GB, GB - 1}, 7},
        {{2004, 0, perf::TYPE_COUNTER, 4}, {0, 12345}, {0xFFFFFFF0, 0x10}, 5},
        {{2005, 0, perf::TYPE_BULK_COUNT, 8}, {0, 5122}, {4072, 1000}, 9},
        {{2006, 0, perf::TYPE_TIMER, 8}, {100, 600}, {0, 0}, 1},
        {{2007, 0, perf::TYPE_ELAPSED_TIME, 8}, {0, NOON - 90090 * SECOND}, {0, 0}, NOON + 15000000},
        {{2008, 0, perf::TYPE_TEXT, 8}, {0, 0x0064006300620061ull}, {0, 0x31}, 0},
        {{2009, 0, perf::TYPE_ANSI_TEXT, 8}, {0, 0x00006F6C6C6568ull}, {0, 0x3130}, 0},
        {{2010, 0, 0x00450400, 4}, {0, 0xFFFFFFFE}, {0, 3}, 1},
        {{2011, 0, 0x20450500, 8}, {0, 123}, {0, 1ull << 40}, 1},
        {{2012, 0, 0x00000200, 4}, {0, 9}, {0, 9}, 9},
        {{2013, 0, 0x00000300, 4}, {0, 9}, {0, 9}, 9},
    };
    perf::BlockTimes times;
    times.systemTime = {2026, 12, 0, 6, 12, 0, 0, 0};
    times.perfTime = times.perfTime100nSec = sample * SECOND;
    times.perfFreq = SECOND;
    perf::SnapshotWriter w;
    w.BeginBlock(times, u"TEST");
    w.BeginObject({230, 231});
    std::vector<uint64_t> alpha, beta, gamma;
    for (const Counter& c : counters) {
        w.AddCounter(c.definition);
        alpha.push_back(c.alpha[sample]);
        beta.push_back(c.beta[sample]);
        gamma.push_back(c.gamma);
    }
    w.AddInstance(u"alpha", {}, alpha);
    w.AddInstance(u"beta", {}, beta);
    if (sample == 1)
        w.AddInstance(u"gamma", {}, gamma);
    w.BeginObject({232, 233});
    w.AddCounter({PROCESSOR_TIME, 7, perf::TYPE_100NSEC_TIMER, 8});
    w.AddCounter({ID_THREAD, 805, perf::TYPE_RAWCOUNT, 4});
    w.AddCounter({STATE, 47, perf::TYPE_RAWCOUNT, 4});
    w.AddCounter({REASON, 337, perf::TYPE_RAWCOUNT, 4});
    w.AddInstance(u"0", {230, 0, -1}, {uint64_t(sample) * SECOND / 4, 101, 5, 12});
    w.AddInstance(u"1", {230, 0, -1}, {0, 102, 2, 0});
    w.AddInstance(u"0", {230, 1, -1}, {0, 201, 8, 0});
    return w.Finish();
}

} // namespace

// Every way of showing every counter, as painted: the texts each record had
// made for it at every refresh before texts were made on demand (but for a
// count that went down, which no longer gives a negative rate).
TEST_F(Refresh, EveryDisplayCodePaintsTheTextsItAlwaysHad)
{
    std::vector<std::wstring> names = EnglishNames();
    names.insert(names.end(), {L"46", L"Thread State", L"336", L"Thread Wait Reason"});
    replay.SetNames(L"009", names, {});
    replay.Serve(EveryKindBlock(0));
    replay.Serve(EveryKindBlock(1));
    Pump();
    Command(CMD_UPDATE_NOW);
    Command(CMD_EXPAND_ALL);
    Strings painted;
    for (unsigned first : {CMD_PROCESS_COUNTER_FIRST, CMD_THREAD_COUNTER_FIRST}) {
        for (unsigned position = 0; position < (first == CMD_THREAD_COUNTER_FIRST ? 4 : 16); ++position) {
            Command(first + position);
            for (uint32_t n = 0; n < 5; ++n) {
                if (n > 0 && perf::ViewAsChoice(view::viewState.counter.counterType, n) == perf::DISPLAY_NATURAL)
                    break;
                Command(CMD_VIEW_AS_FIRST + n);
                std::wstring line = std::to_wstring(view::viewState.counter.counterIndex) + L"/" + std::to_wstring(n);
                for (const std::wstring& text : Texts())
                    line += L"|" + text;
                painted.push_back(line);
            }
        }
    }
    const Strings eager = {
        L"6/0|50|25|0|150|0|***",
        L"6/1|500ms|250ms|0|2.5s|0|300ns",
        L"784/0|100|N/A|N/A|200|N/A|300",
        L"784/1|0x64|N/A|N/A|0xc8|N/A|0x12c",
        L"784/2|100|N/A|N/A|200|N/A|300",
        L"784/3|[100]|N/A|N/A|[200]|N/A|[300]",
        L"680/0|2|N/A|N/A|1|N/A|0",
        L"680/1|0x2|N/A|N/A|0x1|N/A|0x0",
        L"680/2|2|N/A|N/A|1|N/A|0",
        L"680/3|[2]|N/A|N/A|[1]|N/A|[0]",
        L"2001/0|0xff|N/A|N/A|0xffffffff|N/A|0x0",
        L"2002/0|1023|N/A|N/A|18446744073709551615|N/A|1099511627776",
        L"2002/1|0x3ff|N/A|N/A|0xffffffffffffffff|N/A|0x10000000000",
        L"2002/2|1023|N/A|N/A|16 EB|N/A|1 TB",
        L"2003/0|0x400|N/A|N/A|0x3fffffff|N/A|0x7",
        L"2004/0|12345|N/A|N/A|32|N/A|***",
        L"2004/1|12345|N/A|N/A|16|N/A|5",
        L"2004/2|0x3039|N/A|N/A|0x10|N/A|0x5",
        L"2005/0|5122|N/A|N/A|***|N/A|***", // a count that went down: another instance's
        L"2005/1|5.002 KB|N/A|N/A|***|N/A|***",
        L"2005/2|5122|N/A|N/A|1000|N/A|9",
        L"2005/3|0x1402|N/A|N/A|0x3e8|N/A|0x9",
        L"2005/4|5.002 KB|N/A|N/A|1000|N/A|9",
        L"2006/0|0.005|N/A|N/A|0|N/A|***",
        L"2007/0|1d 1h 1m 30s|N/A|N/A| |N/A|-1.5s",
        L"2007/1|12/05/26 10:58:30|N/A|N/A| |N/A|12/06/26 12:00:01",
        L"2007/2|Saturday, December 05, 2026 10:58:30|N/A|N/A| |N/A|Sunday, December 06, 2026 12:00:01",
        L"2008/0|abcd|N/A|N/A|1|N/A|",
        L"2009/0|hello|N/A|N/A|01|N/A|",
        L"2010/0|[450400: -2]|N/A|N/A|[450400: 3]|N/A|[450400: 1]",
        L"2011/0|[20450500: 123]|N/A|N/A|[20450500: 1099511627776]|N/A|[20450500: 1]",
        L"2012/0|[Zero] Contact author (200)|N/A|N/A|[Zero] Contact author (200)|N/A|[Zero] Contact author (200)",
        L"2013/0|[Variable] Contact author for an update (300)|N/A|N/A"
        "|[Variable] Contact author for an update (300)|N/A|[Variable] Contact author for an update (300)",
        L"6/0|50|25|0|150|0|***",
        L"6/1|500ms|250ms|0|2.5s|0|300ns",
        L"804/0|N/A|101|102|N/A|201|N/A",
        L"804/1|N/A|0x65|0x66|N/A|0xc9|N/A",
        L"804/2|N/A|101|102|N/A|201|N/A",
        L"804/3|N/A|[101]|[102]|N/A|[201]|N/A",
        L"46/0|N/A|5|2|N/A|8|N/A",
        L"46/1|N/A|0x5|0x2|N/A|0x8|N/A",
        L"46/2|N/A|5|2|N/A|8|N/A",
        L"46/3|N/A|Wait (Suspended)|Running|N/A|[unassigned ID=8]|N/A",
        L"336/0|N/A|12|0|N/A|0|N/A",
        L"336/1|N/A|0xc|0x0|N/A|0x0|N/A",
        L"336/2|N/A|12|0|N/A|0|N/A",
        L"336/3|N/A|Wait (Suspended)|Running|N/A|[unassigned ID=8]|N/A",
    };
    EXPECT_EQ(eager, painted);
}
