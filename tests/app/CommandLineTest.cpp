#include "app/AppTestSupport.h"
#include "app/CommandLine.h"
#include "model/Records.h"
#include "perf/CounterValues.h"
#include "support/MessageBoxCatcher.h"
#include "support/ProgramRun.h"

#include <string>
#include <vector>

using namespace testing_support;

namespace {

const wchar_t* const USAGE = L"quorlet.exe [counter number] [\\\\machine] [-t] [-?]\n"
                             L"\tCounter numbers may be found by choosing \"About this counter\") from the menu\n"
                             L"\t-t starts with processes in tree hierarchy\n"
                             L"\t-? displays this message";

class CommandLine : public StoredSettingsFixture {
protected:
    void SetUp() override
    {
        StoredSettingsFixture::SetUp();
        model::state.showHierarchy = false;
        perf::selection = perf::CounterSelection();
    }
    void TearDown() override
    {
        model::state.showHierarchy = false;
        perf::selection = perf::CounterSelection();
        StoredSettingsFixture::TearDown();
    }

    app::CommandLineResult Parse(std::vector<std::wstring> arguments)
    {
        arguments.insert(arguments.begin(), L"quorlet.exe");
        std::vector<wchar_t*> pointers;
        for (std::wstring& a : arguments)
            pointers.push_back(a.data());
        return app::ParseArguments(static_cast<int>(pointers.size()), pointers.data());
    }

    MessageBoxCatcher catcher;
};

} // namespace

TEST_F(CommandLine, SwitchesInEitherFormAndCase)
{
    for (const wchar_t* tree : {L"-t", L"/T"}) {
        model::state.showHierarchy = false;
        EXPECT_FALSE(Parse({tree}).exitRequested);
        EXPECT_TRUE(model::state.showHierarchy) << tree;
    }
    for (const wchar_t* help : {L"-?", L"/?"}) {
        app::CommandLineResult result = Parse({help});
        EXPECT_TRUE(result.exitRequested);
        EXPECT_EQ(0, result.exitCode);
    }
    ASSERT_EQ(2u, catcher.boxes.size());
    EXPECT_EQ(L"Command Line Syntax", catcher.boxes[0].caption);
    EXPECT_EQ(USAGE, catcher.boxes[0].text);
    EXPECT_EQ(USAGE, catcher.boxes[1].text);
}

TEST_F(CommandLine, AnInvalidArgumentStopsTheParseAtOnce)
{
    app::CommandLineResult result = Parse({L"-t", L"-x"});
    EXPECT_TRUE(result.exitRequested);
    EXPECT_EQ(1, result.exitCode);
    EXPECT_TRUE(model::state.showHierarchy) << "-t came first";

    model::state.showHierarchy = false;
    Parse({L"-x", L"-t"});
    EXPECT_FALSE(model::state.showHierarchy) << "-t is never read";

    for (const wchar_t* invalid : {L"0", L"\\single", L"machine", L"-", L"-tt"})
        EXPECT_EQ(1, Parse({invalid}).exitCode) << invalid;
    ASSERT_EQ(7u, catcher.boxes.size());
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ(L"Invalid argument: -x\nUse -? argument for help", catcher.boxes[0].text);
    EXPECT_EQ(L"Invalid argument: \\single\nUse -? argument for help", catcher.boxes[3].text);
}

TEST_F(CommandLine, CounterNumbersReadTheirLeadingDigits)
{
    EXPECT_FALSE(Parse({L"230abc"}).exitRequested);
    EXPECT_EQ(230u, perf::selection.counterIndex);
    EXPECT_TRUE(catcher.boxes.empty());
}

TEST_F(CommandLine, PositionAndSizeComposeInEitherOrder)
{
    const RECT expected = {10, 20, 810, 620};
    for (auto order : {std::vector<std::wstring>{L"@10,20", L"+800,600"}, std::vector<std::wstring>{L"+800,600", L"@10,20"}}) {
        app::settings = app::SettingsRecord();
        EXPECT_FALSE(Parse(order).exitRequested);
        EXPECT_TRUE(EqualRect(&expected, &app::settings.windowRect)) << order[0];
        EXPECT_EQ(1u, app::settings.suppressSave);
    }

    app::settings = app::SettingsRecord();
    Parse({L"@10,20"});
    const RECT empty = {10, 20, 10, 20};
    EXPECT_TRUE(EqualRect(&empty, &app::settings.windowRect)) << "no saved size: a zero-size rectangle";

    app::settings = app::SettingsRecord();
    Parse({L"@10", L"+5"});
    const RECT untouched = {0, 0, 0, 0};
    EXPECT_TRUE(EqualRect(&untouched, &app::settings.windowRect));
    EXPECT_EQ(0u, app::settings.suppressSave) << "one number is ignored";
    EXPECT_TRUE(catcher.boxes.empty());
}

TEST_F(CommandLine, AFailedConnectionEndsTheParse)
{
    app::CommandLineResult result = Parse({L"\\\\NOSUCHHOST", L"-t"});
    EXPECT_TRUE(result.exitRequested);
    EXPECT_EQ(1, result.exitCode);
    EXPECT_FALSE(model::state.showHierarchy);
    ASSERT_EQ(1u, catcher.boxes.size()) << "only the connection's own report";
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Connection to registry on \"NOSUCHHOST\" failed"));
}

TEST(CommandLineProgram, EndsWithTheExitCodeAndBoxOfItsArguments)
{
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        const wchar_t* caption;
        std::wstring textStart;
    } cases[] = {
        {L"-?", 0, L"Command Line Syntax", USAGE},
        {L"-t -x", 1, L"Error", L"Invalid argument: -x\nUse -? argument for help"},
        {L"0", 1, L"Error", L"Invalid argument: 0\nUse -? argument for help"},
        {L"\\\\NOSUCHHOST", 1, L"Error", L"Connection to registry on \"NOSUCHHOST\" failed, Win32 Error=0x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        ProgramRun run = RunQuorlet(c.arguments);
        ASSERT_TRUE(run.started);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(c.exitCode, run.exitCode);
        ASSERT_EQ(1u, run.boxes.size());
        EXPECT_EQ(c.caption, run.boxes[0].caption);
        EXPECT_EQ(0u, run.boxes[0].text.find(c.textStart)) << std::string(run.boxes[0].text.begin(), run.boxes[0].text.end());
    }
}
