#include "perf/PerfTestSupport.h"

#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

using namespace perf;
using testing_support::EnglishNames;
using testing_support::MessageBoxCatcher;
using testing_support::MultiString;
using testing_support::ProcessBlock;
using testing_support::ReplayFixture;

namespace {

class CounterNames : public ReplayFixture {
protected:
    // Reads `value` of the English key into `table`.
    LSTATUS Read(const std::vector<uint8_t>& value, IndexedMultiString& table)
    {
        replay.nameKeys[L"009"][L"Test"] = value;
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, replay.OpenNameKey(L"perflib\\009", &key));
        return ReadIndexedMultiString(replay, key, L"Test", table);
    }
};

} // namespace

TEST_F(CounterNames, IndexesMultiStringPairs)
{
    const struct {
        const char* what;
        std::vector<uint8_t> value;
        uint32_t count;
        std::vector<std::pair<uint32_t, const wchar_t*>> entries; // null: no text
    } cases[] = {
        {"unordered", MultiString({L"10", L"Ten", L"2", L"Two", L"7", L"Seven"}), 11,
         {{2, L"Two"}, {7, L"Seven"}, {10, L"Ten"}, {9, nullptr}, {0, nullptr}}},
        {"same index twice: the later text", MultiString({L"4", L"Old", L"4", L"New"}), 5, {{4, L"New"}}},
        {"no number: 0", MultiString({L"abc", L"Zero", L"3", L"Three"}), 4, {{0, L"Zero"}, {3, L"Three"}}},
        {"negative index skipped", MultiString({L"-5", L"Minus", L"2", L"Two"}), 3, {{2, L"Two"}}},
        {"last text unterminated", MultiString({L"1", L"One", L"2", L"Tw"}, false), 3, {{1, L"One"}, {2, L"Tw"}}},
        {"index without text", MultiString({L"1", L"One", L"5"}, false), 2, {{1, L"One"}}},
        {"empty value", MultiString({}), 1, {{0, nullptr}}},
        {"an empty text does not end the pairs", MultiString({L"1", L"One", L"2", L"", L"4", L"Four"}), 5,
         {{1, L"One"}, {2, L""}, {4, L"Four"}}},
        {"an empty index does", MultiString({L"1", L"One", L"", L"9", L"Nine"}), 2, {{1, L"One"}}},
    };
    for (const auto& c : cases) {
        IndexedMultiString table;
        ASSERT_EQ(ERROR_SUCCESS, Read(c.value, table)) << c.what;
        EXPECT_EQ(c.count, table.count) << c.what;
        for (const auto& [index, text] : c.entries) {
            ASSERT_LT(index, table.count) << c.what;
            EXPECT_EQ(text ? std::wstring(text) : L"(none)", table.table[index] ? table.table[index] : L"(none)")
                << c.what << " " << index;
        }
        ReleaseIndexedMultiString(table);
    }

    // An index out of proportion to the value's length would ask for a huge
    // table: the value is refused and the table left as it was.
    IndexedMultiString table;
    ASSERT_EQ(ERROR_SUCCESS, Read(MultiString({L"3", L"Three"}), table));
    EXPECT_EQ(ERROR_INVALID_DATA, Read(MultiString({L"1", L"One", L"70000", L"Huge"}), table));
    EXPECT_EQ(4u, table.count);
    EXPECT_STREQ(L"Three", table.table[3]);
    ReleaseIndexedMultiString(table);
}

TEST_F(CounterNames, IndexesComeFromEnglishNamesFromTheUsersLanguage)
{
    // An empty text before the required names does not hide them. Later
    // providers reuse the system's names at higher indexes, listed before or
    // after them: the system's own, the lowest, is the one.
    std::vector<std::wstring> english = EnglishNames();
    english.insert(english.begin(), {L"2", L"", L"12002", L"Process"});
    english.insert(english.end(), {L"950", L"ID Process", L"12000", L"Thread Count"});
    replay.SetNames(L"009", english, {L"231", L"The process object"});
    replay.SetNames(L"007", {L"6", L"% Prozessorzeit", L"230", L"Prozess", L"2", L""}, {L"7", L"Prozessorzeit"});
    ASSERT_TRUE(EnsureCounterTablesFor(nullptr, 7));
    EXPECT_EQ(230u, counterTable.processObjectIndex);
    EXPECT_EQ(784u, counterTable.idProcessIndex);
    EXPECT_EQ(680u, counterTable.threadCountIndex);
    EXPECT_EQ(0u, counterTable.privilegedTimeIndex);
    EXPECT_EQ(1410u, counterTable.creatingProcessIdIndex) << "absent: the platform's usual index";
    EXPECT_STREQ(L"Prozess", CounterName(230));
    EXPECT_STREQ(L"Prozessorzeit", CounterHelp(7));
    EXPECT_EQ(nullptr, CounterName(680)) << "only the German table's names";
    EXPECT_EQ(nullptr, CounterName(counterTable.counterNames.count)) << "index equal to the count";
    EXPECT_EQ(nullptr, CounterName(2)) << "an empty text";

    ReleaseSampleData();
    ASSERT_TRUE(EnsureCounterTablesFor(nullptr, 12)) << "no French key: English stays";
    EXPECT_STREQ(L"Process", CounterName(230));
    EXPECT_STREQ(L"The process object", CounterHelp(231));
    replay.nameKeys.clear();
    ReleaseSampleData();
    EXPECT_FALSE(EnsureCounterTablesFor(nullptr, 9));
}

TEST_F(CounterNames, ReadFailuresAreReportedAndRetried)
{
    replay.failingValues[L"Help"] = ERROR_ACCESS_DENIED;
    MessageBoxCatcher catcher;
    ASSERT_TRUE(EnsureCounterTablesFor(nullptr, 9));
    EXPECT_STREQ(L"Process", CounterName(230)) << "names load although help does not";
    EXPECT_EQ(nullptr, CounterHelp(7));
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Reading counter help from registry failed, Win32 Error=0x5 (5)\n"));

    ReleaseSampleData();
    replay.failingValues = {{L"Counter", ERROR_ACCESS_DENIED}};
    EXPECT_TRUE(EnsureCounterTablesFor(nullptr, 9)) << "the key opened";
    EXPECT_EQ(nullptr, CounterName(230));
    ASSERT_EQ(2u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[1].text.find(L"Reading counter names from registry failed, Win32 Error=0x5 (5)\n"));

    EnsureCounterTablesFor(nullptr, 9);
    EXPECT_EQ(3u, catcher.boxes.size()) << "names still absent: read and reported again";
    replay.failingValues.clear();
    EnsureCounterTablesFor(nullptr, 9);
    EXPECT_STREQ(L"Process", CounterName(230));

    // Names of the user's language alone find no object to ask for, here or
    // (with the last machine's indexes) after a change of machine.
    ReleaseSampleData();
    replay.SetNames(L"007", {L"230", L"Prozess"}, {});
    replay.nameKeys.erase(L"009");
    replay.Serve(ProcessBlock(1));
    EXPECT_TRUE(EnsureCounterTablesFor(nullptr, 7));
    EXPECT_STREQ(L"Prozess", CounterName(230));
    TakeSnapshot(nullptr);
    EXPECT_TRUE(replay.offeredSizes.empty());
    EXPECT_EQ(unsigned(IDS_STATUS_NOT_AVAILABLE), perfData.statusMessageId);
    replay.SetNames(L"009", EnglishNames(), {});
    TakeSnapshot(nullptr);
    EXPECT_EQ(1u, replay.offeredSizes.size()) << "the English names are read again, and then it asks";
}

using CounterNamesDeathTest = CounterNames;

TEST_F(CounterNamesDeathTest, AMissingRequiredNameEndsTheProcessWithCode2)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<std::wstring> names = {L"230", L"Process", L"232", L"Thread", L"680", L"Thread Count",
                                       L"784", L"ID Process"}; // no "ID Thread"
    replay.SetNames(L"009", names, {});
    EXPECT_EXIT(
        {
            MessageBoxCatcher catcher;
            catcher.echo = true;
            EnsureCounterTablesFor(nullptr, 9);
        },
        ::testing::ExitedWithCode(2),
        "Error\nFinding names of counters failed, Internal Error=0x2 \\(2\\)\nThe name was not found.");
}
