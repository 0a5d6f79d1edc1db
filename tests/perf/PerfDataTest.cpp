#include "perf/PerfTestSupport.h"

#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <algorithm>
#include <cwctype>

using namespace perf;
using testing_support::MessageBoxCatcher;
using testing_support::ProcessBlock;

using SnapshotProtocol = testing_support::ReplayFixture;

TEST_F(SnapshotProtocol, GrowsToFitKeepsTheLastGoodSnapshotAndReusesTheOlderBuffer)
{
    std::vector<uint8_t> big(0x80000 - 4096 + 1, 7), second = ProcessBlock(3, 20), third = ProcessBlock(4, 30);
    replay.Serve(big);
    TakeSnapshot(nullptr);
    EXPECT_EQ(std::wstring(L"230 232"), replay.queriedNames.front());
    EXPECT_EQ(big, CurrentBytes());
    EXPECT_EQ(replay.offeredSizes.back() + SNAPSHOT_RESERVE, perfData.currentSnapshot.allocated)
        << "the reserve is never offered";
    EXPECT_FALSE(perfData.previousSnapshot) << "one query leaves no previous snapshot";

    // A failed query keeps the last good snapshot and leaves no previous one.
    replay.answers = {{ERROR_SUCCESS, second}, {ERROR_ACCESS_DENIED, {}}, {ERROR_SUCCESS, third}};
    TakeSnapshot(nullptr);
    TakeSnapshot(nullptr);
    EXPECT_EQ(unsigned(IDS_STATUS_NOT_AVAILABLE), perfData.statusMessageId);
    EXPECT_EQ(second, CurrentBytes());
    EXPECT_FALSE(perfData.previousSnapshot);
    TakeSnapshot(nullptr);
    EXPECT_EQ(third, CurrentBytes());
    ASSERT_TRUE(perfData.previousSnapshot);
    const SnapshotBuffer& previous = perfData.previousSnapshot;
    EXPECT_EQ(second, std::vector<uint8_t>(previous.bytes.get(), previous.bytes.get() + previous.length));
}

// Every query makes the machine collect all of its data again: a big
// machine's size is found in few queries, once, and each buffer keeps it.
TEST_F(SnapshotProtocol, ABigMachineIsReadInFewQueries)
{
    auto queries = [&] {
        replay.offeredSizes.clear();
        TakeSnapshot(nullptr);
        return replay.offeredSizes.size();
    };
    for (size_t size : {6741768u, 21800000u}) {
        ReleaseSampleData();
        replay.answers = {{ERROR_SUCCESS, std::vector<uint8_t>(size, 1)}};
        EXPECT_LE(queries(), 10u) << size;
        EXPECT_EQ((std::vector<size_t>{1, 1}), (std::vector<size_t>{queries(), queries()})) << size;
        EXPECT_EQ(size, perfData.currentSnapshot.length);
    }
    // Grown past its buffer: one more query, and the other buffer follows.
    replay.answers = {{ERROR_SUCCESS, std::vector<uint8_t>(perfData.currentSnapshot.allocated, 2)}};
    EXPECT_EQ((std::vector<size_t>{2, 1}), (std::vector<size_t>{queries(), queries()}));
    EXPECT_EQ(perfData.previousSnapshot.length, perfData.currentSnapshot.length);
}

namespace {

// A key of the test's own registry plays the remote machine's root.
constexpr const wchar_t* REMOTE_ROOT = L"Software\\QuorletTests\\Remote";
std::vector<std::wstring> connectedNames;
std::vector<HKEY> remoteKeys;
int remoteConnections = 0;

LSTATUS WINAPI ConnectTestRemote(LPCWSTR machineName, HKEY, PHKEY result)
{
    connectedNames.push_back(machineName);
    if (connectedNames.back() == L"\\\\NOSUCHHOST")
        return ERROR_BAD_NETPATH;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, REMOTE_ROOT, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     result, nullptr);
    if (status == ERROR_SUCCESS)
        remoteKeys.push_back(*result);
    return status;
}

void SetRemoteNames(const std::vector<std::wstring>& names)
{
    std::vector<uint8_t> value = testing_support::MultiString(names);
    std::wstring path = std::wstring(REMOTE_ROOT) + L"\\software\\microsoft\\windows nt\\currentversion\\perflib\\009";
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"Counter", REG_MULTI_SZ,
                                             value.data(), static_cast<DWORD>(value.size())));
}

bool AnyOpen(const std::vector<HKEY>& keys)
{
    return std::any_of(keys.begin(), keys.end(), [](HKEY key) {
        return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    });
}

// Connected to the local machine, with a snapshot of it.
class Connection : public testing_support::ReplayFixture {
protected:
    void SetUp() override
    {
        ReplayFixture::SetUp();
        seams.connectRegistry = ConnectTestRemote;
        SetRemoteConnectedHook([] { ++remoteConnections; });
        connectedNames.clear();
        remoteKeys.clear();
        remoteConnections = 0;
        replay.Serve(ProcessBlock(1));
        TakeSnapshot(nullptr);
    }
    void TearDown() override
    {
        ConnectToMachine(nullptr, nullptr);
        seams.connectRegistry = RegConnectRegistryW;
        SetRemoteConnectedHook(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, REMOTE_ROOT);
        ReplayFixture::TearDown();
    }
};

} // namespace

TEST_F(Connection, TheLocalNameInAnyCaseAndFailedConnectionsChangeNothing)
{
    wchar_t local[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(local, &length) && length > 0);
    for (DWORD i = 0; i < length; i += 2)
        local[i] = static_cast<wchar_t>(std::towlower(local[i]));
    MessageBoxCatcher catcher;

    EXPECT_TRUE(ConnectToMachine(nullptr, (L"\\\\" + std::wstring(local)).c_str()));
    EXPECT_TRUE(ConnectToMachine(nullptr, nullptr));
    EXPECT_FALSE(ConnectToMachine(nullptr, L"\\\\FARAWAYMACHINE0123"));
    EXPECT_FALSE(ConnectToMachine(nullptr, L"AAAAAAAAAAAAAA\U0001F600B"));
    EXPECT_FALSE(ConnectToMachine(nullptr, L"NOSUCHHOST"));
    SetRemoteNames({L"1", L"One", L"2147483647", L"Huge"});
    EXPECT_FALSE(ConnectToMachine(nullptr, L"\\\\REMOTE")) << "a name table out of proportion";
    const wchar_t* texts[] = {
        L"Connection to registry on \"FARAWAYMACHINE0\" failed, Win32 Error=0x4ba (1210)\n", // cut to 15
        L"Connection to registry on \"AAAAAAAAAAAAAA\" failed", // without splitting a surrogate pair
        L"Connection to registry on \"NOSUCHHOST\" failed, Win32 Error=0x35 ",
        L"Connection to registry on \"REMOTE\" failed, Win32 Error=0xd (13)\n",
    };
    ASSERT_EQ(std::size(texts), catcher.boxes.size());
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(0u, catcher.boxes[i].text.find(texts[i])) << catcher.boxes[i].text;
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ((std::vector<std::wstring>{L"\\\\NOSUCHHOST", L"\\\\REMOTE", L"\\\\REMOTE"}), connectedNames)
        << "names too long are refused unasked";
    EXPECT_FALSE(AnyOpen(remoteKeys));
    EXPECT_EQ(0, remoteConnections);
    EXPECT_TRUE(IsLocalMachine());
    EXPECT_TRUE(perfData.currentSnapshot) << "nothing was released";
}

TEST_F(Connection, ASoundRemoteMachineIsAdoptedAndItsKeysClosedWhenLeft)
{
    SetRemoteNames(testing_support::EnglishNames());
    EXPECT_TRUE(ConnectToMachine(nullptr, L"REMOTE"));
    EXPECT_EQ((std::vector<std::wstring>(2, L"\\\\REMOTE")), connectedNames);
    EXPECT_EQ(1, remoteConnections) << "the window side is told";
    ASSERT_EQ(2u, remoteKeys.size());
    EXPECT_EQ(remoteKeys[0], perfData.machineKey.Get());
    EXPECT_EQ(remoteKeys[1], perfData.perfDataKey.Get());
    EXPECT_FALSE(perfData.currentSnapshot) << "the local machine's data is released";
    EXPECT_TRUE(ConnectToMachine(nullptr, nullptr));
    EXPECT_TRUE(IsLocalMachine());
    EXPECT_FALSE(AnyOpen(remoteKeys));
}

// English names that lack one the program needs: refused when the machine is
// chosen, left for the local machine when its names are read later.
TEST_F(Connection, AMachineWithoutTheNamesTheProgramNeedsIsLeft)
{
    std::vector<std::wstring> incomplete = testing_support::EnglishNames();
    incomplete.resize(incomplete.size() - 2); // no "ID Thread"
    SetRemoteNames(incomplete);
    MessageBoxCatcher catcher;
    EXPECT_FALSE(ConnectToMachine(nullptr, L"REMOTE"));
    EXPECT_TRUE(IsLocalMachine());

    SetRemoteNames(testing_support::EnglishNames());
    ASSERT_TRUE(ConnectToMachine(nullptr, L"REMOTE"));
    replay.SetNames(L"009", incomplete, {});
    catcher.whileShown = [&](HWND box) {
        replay.SetNames(L"009", testing_support::EnglishNames(), {});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    TakeSnapshot(nullptr);
    ASSERT_EQ(2u, catcher.boxes.size());
    EXPECT_EQ(L"Connection to registry on \"REMOTE\" failed, Internal Error=0x2 (2)\nThe name was not found.",
              catcher.boxes[0].text);
    EXPECT_EQ(0u, catcher.boxes[1].text.find(L"Finding names of counters failed, Internal Error=0x2 (2)"));
    EXPECT_TRUE(IsLocalMachine() && !AnyOpen(remoteKeys));
    EXPECT_EQ(unsigned(IDS_STATUS_PROCESSING), perfData.statusMessageId) << "the local machine is shown";
}

TEST(SourceChoice, TheRegistryServesTheLocalMachineOnlyWithProcessData)
{
    testing_support::ReplaySource registry;
    registry.SetNames(L"009", {L"1", L"1847", L"1846", L"End Marker"}, {});
    registry.Serve(ProcessBlock(1));
    EXPECT_FALSE(RegistryServesProcesses(registry)) << "no name \"Process\": Wine's tables";

    std::vector<std::wstring> names = testing_support::EnglishNames();
    names.insert(names.end(), {L"12002", L"Process"}); // a later provider's name
    registry.SetNames(L"009", names, {});
    perf::SnapshotWriter empty;
    empty.BeginBlock({}, u"X");
    registry.answers = {{ERROR_SUCCESS, empty.Finish()}};
    EXPECT_FALSE(RegistryServesProcesses(registry)) << "an empty block: Wine's answer";
    EXPECT_EQ(L"230", registry.queriedNames.back());
    registry.answers = {{ERROR_SUCCESS, ProcessBlock(300)}}; // more than the first buffer holds
    EXPECT_TRUE(RegistryServesProcesses(registry));
}
