#include "view/ViewWindow.h"

#include <string>

using namespace testing_support;

namespace {

std::vector<std::wstring> Texts()
{
    std::vector<std::wstring> texts;
    for (uint32_t i = 0; i < model::state.processRecords.count; ++i)
        texts.push_back(model::state.processRecords[i].text.Chars());
    return texts;
}

const std::vector<MachineProcess> busy = {{u"idle", 100, 0}, {u"burner", 200, 0}};

} // namespace

using Refresh = ViewWindowTest;

TEST_F(Refresh, TheFirstSampleShowsStarsAndTheSecondTheDefaultCountersValues)
{
    replay.Serve(MachineBlock(busy, 0));
    replay.Serve(MachineBlock({{u"idle", 100, 0.25}, {u"burner", 200, 0.5}}, 1));
    Pump(); // the update the window posted when it was made
    EXPECT_EQ(PROCESSOR_TIME, perf::selection.counterIndex);
    EXPECT_EQ(perf::TYPE_100NSEC_TIMER, perf::selection.counterType);
    EXPECT_EQ((std::vector<std::wstring>{L"***", L"***"}), Texts());
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ((std::vector<std::wstring>{L"25", L"50"}), Texts());
    EXPECT_EQ(2, Rows());
}

TEST_F(Refresh, TheGaugesComeWithTheSecondSampleAndBackOnANewTaskbar)
{
    replay.Serve(MachineBlock(busy, 0));
    replay.Serve(MachineBlock({{u"idle", 100, 0.25}, {u"burner", 200, 0.5}}, 1));
    Pump();
    EXPECT_TRUE(trayCalls.empty());
    const std::vector<DWORD> bothAdded = {NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD};
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(bothAdded, trayCalls);
    trayCalls.clear();
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(bothAdded, trayCalls);
}

TEST_F(Refresh, ACounterGivenOnTheCommandLineIsKept)
{
    perf::selection.counterIndex = ID_PROCESS;
    Start(busy);
    EXPECT_EQ(ID_PROCESS, perf::selection.counterIndex);
    EXPECT_EQ(perf::TYPE_RAWCOUNT, perf::selection.counterType);
    EXPECT_EQ((std::vector<std::wstring>{L"100", L"200"}), Texts());
}

TEST_F(Refresh, ADefaultCounterOutsideTheObjectsCountersMeansTheFirst)
{
    for (int32_t position : {4, 2, -1}) {
        perf::selection = perf::CounterSelection();
        replay.answers.clear();
        replay.Serve(MachineBlock(busy, 0, position));
        Command(CMD_UPDATE_NOW);
        SCOPED_TRACE(position);
        EXPECT_EQ(position == 2 ? THREAD_COUNT : PROCESSOR_TIME, perf::selection.counterIndex);
        EXPECT_EQ(position == 2 ? perf::TYPE_RAWCOUNT : perf::TYPE_100NSEC_TIMER, perf::selection.counterType);
    }
}

TEST_F(Refresh, ViewAsAndTheCounterChoiceRecomputeFromTheSamplesHeld)
{
    Start({{u"idle", 100, 30}, {u"burner", 200, 90}});
    size_t queries = replay.queriedNames.size();
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"0"}), Texts()) << "nothing used in the second between";
    Command(CMD_VIEW_AS_FIRST + 1); // total time
    EXPECT_EQ(perf::DISPLAY_TOTAL_TIME, perf::selection.displayType);
    EXPECT_EQ(90e7, model::state.processRecords[1].value) << "in 100-ns units";
    Command(CMD_PROCESS_COUNTER_FIRST + 1); // ID Process
    EXPECT_EQ(perf::DISPLAY_NATURAL, perf::selection.displayType);
    EXPECT_EQ((std::vector<std::wstring>{L"100", L"200"}), Texts());
    EXPECT_EQ(model::state.processRecords[1].value, model::state.processRecords[1].previousValue)
        << "the switch itself shows no growth";
    for (unsigned unused : {7999u, 8999u, 9999u})
        Command(unused);
    EXPECT_EQ(ID_PROCESS, perf::selection.counterIndex);
    EXPECT_EQ(queries, replay.queriedNames.size()) << "no new sample";

    // Past the last counter: none until the next update brings the default
    // one back, with its own type for View As.
    Command(CMD_PROCESS_COUNTER_FIRST + 4);
    EXPECT_EQ(0u, perf::selection.counterIndex);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(PROCESSOR_TIME, perf::selection.counterIndex);
    EXPECT_EQ(perf::TYPE_100NSEC_TIMER, perf::selection.counterType);
}

TEST_F(Refresh, F5TheTimerAndTheLocalMachineEachTakeASample)
{
    Start(busy);
    replay.Serve(MachineBlock({{u"idle", 100, 0}, {u"burner", 200, 0.1}}, 1.2));
    size_t queries = replay.queriedNames.size();
    Command(CMD_UPDATE_NOW);
    Command(CMD_UPDATE_NOW);
    EXPECT_EQ(queries + 2, replay.queriedNames.size());
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"50"}), Texts()) << "over the 0.2 s between them";
    SendMessageW(window, WM_TIMER, app::UPDATE_TIMER_ID, 0);
    Command(CMD_LOCAL_MACHINE);
    EXPECT_EQ(queries + 4, replay.queriedNames.size());
}
