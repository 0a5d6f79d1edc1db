#include "view/ViewWindow.h"

using namespace testing_support;

namespace {

using Strings = std::vector<std::wstring>;
using Icons = std::map<UINT, std::wstring>;

Strings Texts()
{
    Strings texts;
    for (uint32_t i = 0; i < model::state.processRecords.count; ++i)
        texts.push_back(model::state.processRecords[i].text.Chars());
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
        perf::selection = perf::CounterSelection();
        perf::selection.counterIndex = c.given;
        replay.answers.clear();
        replay.Serve(MachineBlock(busy, 0, c.position));
        Command(CMD_UPDATE_NOW);
        EXPECT_EQ(c.counter, perf::selection.counterIndex) << c.position;
        EXPECT_EQ(c.type, perf::selection.counterType) << c.position;
    }
}

// Only processor times have gauges: the icons go with another counter.
TEST_F(Refresh, ViewAsAndTheCounterChoiceRecomputeFromTheSamplesHeld)
{
    Start({{u"idle", 100, 30}, {u"burner", 200, 90}});
    size_t queries = replay.queriedNames.size();
    EXPECT_EQ((Strings{L"0", L"0"}), Texts()) << "nothing used in the second between";
    Command(CMD_VIEW_AS_FIRST + 1); // total time
    EXPECT_EQ(90e7, model::state.processRecords[1].value) << "in 100-ns units";
    EXPECT_EQ(2u, shown.size());
    Command(CMD_PROCESS_COUNTER_FIRST + 1); // ID Process
    EXPECT_EQ(perf::DISPLAY_NATURAL, perf::selection.displayType);
    EXPECT_EQ((Strings{L"100", L"200"}), Texts());
    EXPECT_EQ(queries, replay.queriedNames.size()) << "no new sample";
    EXPECT_EQ(Icons(), shown);
    Command(CMD_PROCESS_COUNTER_FIRST + 3); // past the last: none until the next update
    EXPECT_EQ(0u, perf::selection.counterIndex);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(PROCESSOR_TIME, perf::selection.counterIndex);
    EXPECT_EQ(2u, shown.size());
}
