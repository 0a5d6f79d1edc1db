#include "perf/PerfTestSupport.h"

#include "resources/resource.h"
#include "support/MessageBoxCatcher.h"

#include <cwctype>

using namespace perf;
using testing_support::MessageBoxCatcher;
using testing_support::ProcessBlock;
using testing_support::ReplayFixture;

using SnapshotProtocol = ReplayFixture;

TEST_F(SnapshotProtocol, GrowsTheBufferAndReusesItOnceTwoSnapshotsExist)
{
    // Doubling below half a megabyte, then steps; the reserve is never offered.
    const struct {
        size_t size;
        std::vector<DWORD> offered;
        uint32_t allocated;
    } cases[] = {
        {20000, {4096, 12288, 28672}, 32768},
        {0x80000 - 4096 + 1, {4096, 12288, 28672, 61440, 126976, 258048, 520192, 651264}, 0xA0000},
    };
    for (const auto& c : cases) {
        ReleaseSampleData();
        replay.answers.clear();
        replay.Serve(std::vector<uint8_t>(c.size, 7));
        replay.offeredSizes.clear();
        TakeSnapshot(nullptr);
        EXPECT_EQ(c.offered, replay.offeredSizes);
        EXPECT_EQ(c.allocated, perfData.currentSnapshot.allocated);
    }
    EXPECT_EQ(std::wstring(L"230 232"), replay.queriedNames.front());
    EXPECT_EQ(unsigned(IDS_STATUS_PROCESSING), perfData.statusMessageId);
    EXPECT_EQ(std::vector<uint8_t>(0x80000 - 4096 + 1, 7), CurrentBytes());
    EXPECT_FALSE(perfData.previousSnapshot) << "one query leaves no previous snapshot";

    // Once two snapshots exist, the older one's buffer is filled at once.
    TakeSnapshot(nullptr);
    ASSERT_TRUE(perfData.previousSnapshot);
    replay.offeredSizes.clear();
    TakeSnapshot(nullptr);
    EXPECT_EQ((std::vector<DWORD>{651264}), replay.offeredSizes);
}

TEST_F(SnapshotProtocol, AFailedQueryKeepsTheLastGoodSnapshotAndNoPrevious)
{
    std::vector<uint8_t> first = ProcessBlock(2, 10), second = ProcessBlock(3, 20), third = ProcessBlock(4, 30);
    replay.Serve(first);
    replay.Serve(second);
    replay.Fail(ERROR_ACCESS_DENIED);
    replay.Serve(third);
    for (int i = 0; i < 3; ++i)
        TakeSnapshot(nullptr);
    EXPECT_EQ(unsigned(IDS_STATUS_NOT_AVAILABLE), perfData.statusMessageId);
    EXPECT_EQ(second, CurrentBytes());
    EXPECT_FALSE(perfData.previousSnapshot);

    replay.offeredSizes.clear();
    TakeSnapshot(nullptr);
    EXPECT_EQ((std::vector<DWORD>{4096}), replay.offeredSizes) << "a fresh 8192-byte buffer";
    EXPECT_EQ(third, CurrentBytes());
    ASSERT_TRUE(perfData.previousSnapshot);
    const SnapshotBuffer& previous = perfData.previousSnapshot;
    EXPECT_EQ(second, std::vector<uint8_t>(previous.bytes.get(), previous.bytes.get() + previous.length));
    EXPECT_EQ(unsigned(IDS_STATUS_PROCESSING), perfData.statusMessageId);
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
    core::RegistryKey key;
    std::vector<uint8_t> value = testing_support::MultiString(names);
    std::wstring path = std::wstring(REMOTE_ROOT) + L"\\software\\microsoft\\windows nt\\currentversion\\perflib\\009";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, key.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"Counter", 0, REG_MULTI_SZ, value.data(),
                                            static_cast<DWORD>(value.size())));
}

bool IsOpen(HKEY key)
{
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

// Connected to the local machine, with a snapshot of it.
class RemoteConnection : public ReplayFixture {
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

using Connection = RemoteConnection;

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
    EXPECT_EQ(std::vector<std::wstring>{L"\\\\NOSUCHHOST"}, connectedNames) << "names too long are refused unasked";
    ASSERT_EQ(3u, catcher.boxes.size());
    EXPECT_EQ(L"Error", catcher.boxes[0].caption);
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Connection to registry on \"FARAWAYMACHINE0\" failed, Win32 Error=0x4ba "
                                             L"(1210)\n"))
        << "shown cut to 15 characters";
    EXPECT_EQ(0u, catcher.boxes[1].text.find(L"Connection to registry on \"AAAAAAAAAAAAAA\" failed"))
        << "the cut does not split a surrogate pair";
    EXPECT_EQ(0u, catcher.boxes[2].text.find(L"Connection to registry on \"NOSUCHHOST\" failed, Win32 Error=0x35 "));
    EXPECT_EQ(0, remoteConnections);
    EXPECT_TRUE(IsLocalMachine());
    EXPECT_TRUE(perfData.currentSnapshot) << "nothing was released";
}

TEST_F(RemoteConnection, IsRefusedWhenTheNameTableIsOutOfProportion)
{
    SetRemoteNames({L"1", L"One", L"2147483647", L"Huge"});
    MessageBoxCatcher catcher;
    EXPECT_FALSE(ConnectToMachine(nullptr, L"\\\\REMOTE"));
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(0u, catcher.boxes[0].text.find(L"Connection to registry on \"REMOTE\" failed, Win32 Error=0xd (13)\n"));
    ASSERT_EQ(2u, remoteKeys.size());
    EXPECT_FALSE(IsOpen(remoteKeys[0]) || IsOpen(remoteKeys[1]));
    EXPECT_EQ(0, remoteConnections);
    EXPECT_TRUE(IsLocalMachine());
    EXPECT_TRUE(perfData.currentSnapshot);

    // A sound machine is adopted, and its keys closed when it is left.
    SetRemoteNames(testing_support::EnglishNames());
    remoteKeys.clear();
    EXPECT_TRUE(ConnectToMachine(nullptr, L"REMOTE"));
    EXPECT_EQ((std::vector<std::wstring>(4, L"\\\\REMOTE")), connectedNames);
    EXPECT_EQ(1, remoteConnections) << "the window side is told";
    ASSERT_EQ(2u, remoteKeys.size());
    EXPECT_EQ(remoteKeys[0], perfData.machineKey.Get());
    EXPECT_EQ(remoteKeys[1], perfData.perfDataKey.Get());
    EXPECT_FALSE(perfData.currentSnapshot) << "the local machine's data is released";
    EXPECT_TRUE(ConnectToMachine(nullptr, nullptr));
    EXPECT_TRUE(IsLocalMachine());
    EXPECT_FALSE(IsOpen(remoteKeys[0]) || IsOpen(remoteKeys[1]));
}

TEST(SourceChoice, TheRegistryServesTheLocalMachineOnlyWithProcessData)
{
    testing_support::ReplaySource registry;
    registry.SetNames(L"009", {L"1", L"1847", L"1846", L"End Marker"}, {});
    registry.Serve(ProcessBlock(1));
    EXPECT_FALSE(RegistryServesProcesses(registry)) << "no name \"Process\": Wine's tables";

    registry.SetNames(L"009", testing_support::EnglishNames(), {});
    perf::SnapshotWriter empty;
    empty.BeginBlock({}, u"X");
    registry.answers = {{ERROR_SUCCESS, empty.Finish()}};
    EXPECT_FALSE(RegistryServesProcesses(registry)) << "an empty block: Wine's answer";
    EXPECT_EQ(L"230", registry.queriedNames.back());
    registry.answers = {{ERROR_SUCCESS, ProcessBlock(300)}}; // more than the first buffer holds
    EXPECT_TRUE(RegistryServesProcesses(registry));
}
