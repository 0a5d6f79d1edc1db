#include "support/MessageBoxCatcher.h"
#include "view/Paint.h"
#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::wstring>;

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
    EXPECT_TRUE(trayCalls.empty());
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ((Strings{L"25", L"50"}), Texts());
    const TrayCalls bothAdded = {{NIM_MODIFY, 1}, {NIM_ADD, 1}, {NIM_MODIFY, 2}, {NIM_ADD, 2}};
    EXPECT_EQ(bothAdded, trayCalls);
    EXPECT_EQ((std::map<UINT, std::wstring>{{1, L"7 burner 50%"}, {2, L"11 Total 75%"}}), shown);
    trayCalls.clear();
    shown.clear(); // a new taskbar has none of the icons
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(bothAdded, trayCalls);
}

TEST_F(Refresh, ACounterGivenOnTheCommandLineIsKept)
{
    view::viewState.counter.counterIndex = ID_PROCESS;
    Start(busy);
    EXPECT_EQ(perf::TYPE_RAWCOUNT, view::viewState.counter.counterType);
    EXPECT_EQ((Strings{L"100", L"200"}), Texts());
}

TEST_F(Refresh, ADefaultCounterOutsideTheObjectsCountersMeansTheFirst)
{
    const struct {
        int32_t position;
        uint32_t counter, type;
    } cases[] = {
        {3, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER}, // the object's NumCounters
        {2, THREAD_COUNT, perf::TYPE_RAWCOUNT},
        {-1, PROCESSOR_TIME, perf::TYPE_100NSEC_TIMER},
    };
    for (const auto& c : cases) {
        view::viewState.counter = perf::CounterSelection();
        replay.answers.clear();
        replay.Serve(MachineBlock(busy, 0, c.position));
        Command(CMD_UPDATE_NOW);
        EXPECT_EQ(c.counter, view::viewState.counter.counterIndex) << c.position;
        EXPECT_EQ(c.type, view::viewState.counter.counterType) << c.position;
    }
}

TEST_F(Refresh, ViewAsAndTheCounterChoiceRecomputeFromTheSamplesHeld)
{
    Start({{u"idle", 100, 30}, {u"burner", 200, 90}});
    size_t queries = replay.queriedNames.size();
    EXPECT_EQ((Strings{L"0", L"0"}), Texts()) << "nothing used in the second between";
    Command(CMD_VIEW_AS_FIRST + 1); // total time
    EXPECT_EQ(90e7, model::modelState.processRecords[1].value) << "in 100-ns units";
    Command(CMD_PROCESS_COUNTER_FIRST + 1); // ID Process
    EXPECT_EQ(perf::DISPLAY_NATURAL, view::viewState.counter.displayType);
    EXPECT_EQ((Strings{L"100", L"200"}), Texts());
    EXPECT_EQ(queries, replay.queriedNames.size()) << "no new sample";
    Command(CMD_PROCESS_COUNTER_FIRST + 3); // past the last: none until the next update
    EXPECT_EQ(0u, view::viewState.counter.counterIndex);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(PROCESSOR_TIME, view::viewState.counter.counterIndex);
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
        catcher.Answer(box);
    };
    Command(CMD_UPDATE_NOW);
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(readsBefore, readsAfter);
}
