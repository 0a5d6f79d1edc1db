#include "support/MessageBoxCatcher.h"
#include "view/Paint.h"
#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::wstring>;
using Icons = std::map<UINT, std::wstring>;

Strings Texts()
{
    Strings texts;
    for (uint32_t i = 0; i < model::modelState.processRecords.count; ++i)
        texts.push_back(model::modelState.processRecords[i].text.Chars());
    return texts;
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
    const struct {
        uint32_t given;
        int32_t position;
        uint32_t counter, type;
    } cases[] = {
        {ID_PROCESS, 0, ID_PROCESS, perf::TYPE_RAWCOUNT},
        {0, 2, THREAD_COUNT, perf::TYPE_RAWCOUNT},
        {0, 3, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER}, // the object's NumCounters
        {0, -1, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER},
    };
    for (const auto& c : cases) {
        view::viewState.counter = perf::CounterSelection();
        view::viewState.counter.counterIndex = c.given;
        replay.answers.clear();
        replay.Serve(MachineBlock(busy, 0, c.position));
        Command(CMD_UPDATE_NOW);
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
