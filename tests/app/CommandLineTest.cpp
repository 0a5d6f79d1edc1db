#include "app/CommandLine.h"
#include "ui/Settings.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxCatcher.h"
#include "view/ViewState.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace testing_support;

namespace {

void ResetParsedValues()
{
    view::viewState.options.showHierarchy = false;
    view::viewState.counter = perf::CounterSelection();
    ui::settings = ui::SettingsRecord();
}

app::CommandLineResult Parse(std::vector<const wchar_t*> arguments)
{
    arguments.insert(arguments.begin(), L"quorlet.exe");
    return app::ParseArguments(static_cast<int>(arguments.size()), const_cast<wchar_t**>(arguments.data()));
}

} // namespace

TEST(CommandLine, ArgumentsAreTakenInOrderUntilOneEndsTheRun)
{
    const struct {
        std::vector<const wchar_t*> arguments;
        int exitCode; // -1: the run goes on
        bool tree;
        uint32_t counter;
        RECT stored = {}, expected = {}; // the window's rectangle
    } cases[] = {
        {{L"-t"}, -1, true, 0},
        {{L"/T", L"230abc"}, -1, true, 230},
        {{L"/?", L"-t"}, 0, false, 0},
        {{L"-t", L"-x"}, 1, true, 0},
        {{L"-x", L"-t"}, 1, false, 0},  {{L"0"}, 1, false, 0},  {{L"\\single"}, 1, false, 0},
        {{L"machine"}, 1, false, 0},    {{L"-"}, 1, false, 0},  {{L"-tt"}, 1, false, 0},
        {{L"\\\\NOSUCHHOST", L"-t"}, 1, false, 0},
        {{L"@10,20", L"+800,600"}, -1, false, 0, {}, {10, 20, 810, 620}},
        {{L"+800,600", L"@10,20"}, -1, false, 0, {}, {10, 20, 810, 620}},
        {{L"@10,20"}, -1, false, 0, {}, {10, 20, 10, 20}},
        {{L"@10", L"+5"}, -1, false, 0, {}, {}}, // one number: ignored
        {{L"@100,100"}, -1, false, 0, {INT_MIN + 10, 5, INT_MAX - 100, 50}, {100, 100, INT_MAX, 145}},
        {{L"+1000,-20"}, -1, false, 0, {2147483000, 0, 2147483100, 10}, {2147483000, 0, INT_MAX, -20}},
    };
    MessageBoxCatcher catcher;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.arguments[0]);
        catcher.boxes.clear();
        ResetParsedValues();
        ui::settings.windowRect = c.stored;
        app::CommandLineResult result = Parse(c.arguments);
        EXPECT_EQ(c.exitCode >= 0, result.exitRequested);
        EXPECT_EQ(c.exitCode >= 0 ? c.exitCode : 0, result.exitCode);
        EXPECT_EQ(c.tree, view::viewState.options.showHierarchy);
        EXPECT_EQ(c.counter, view::viewState.counter.counterIndex);
        EXPECT_EQ(c.exitCode >= 0 ? 1u : 0u, catcher.boxes.size()) << "one box for the argument that ends the run";
        const RECT& r = ui::settings.windowRect;
        EXPECT_EQ((std::vector<LONG>{c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}),
                  (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
        EXPECT_EQ(EqualRect(&c.stored, &c.expected) ? 0u : 1u, ui::settings.suppressSave) << "only for this run";
    }
    ResetParsedValues();
}

TEST(CommandLineProgram, EndsWithTheExitCodeAndBoxOfItsArguments)
{
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        const wchar_t* caption;
        std::wstring textStart;
    } cases[] = {
        {L"-?", 0, L"Command Line Syntax", L"quorlet.exe [counter number] [\\\\machine] [-t] [-?]\n\t"},
        {L"-t -x", 1, L"Error", L"Invalid argument: -x\nUse -? argument for help"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        ProgramRun run = RunQuorlet(c.arguments);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(c.exitCode, run.exitCode);
        ASSERT_EQ(1u, run.boxes.size());
        EXPECT_EQ(c.caption, run.boxes[0].caption);
        EXPECT_EQ(0u, run.boxes[0].text.find(c.textStart)) << testing::PrintToString(run.boxes[0].text);
    }
}
