#include "security/Summary.h"

#include "core/Handles.h"
#include "support/ChildProcess.h"
#include "support/MenuLines.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <tuple>

namespace {

using namespace testing_support;
using security::OBJECT_PROCESS;
using security::OBJECT_THREAD;

core::LocalMemory<PSID> Sid(const wchar_t* text)
{
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text, &sid)) << text;
    return core::LocalMemory<PSID>{sid};
}

std::vector<std::wstring> Rights(DWORD mask, unsigned type)
{
    core::Menu menu{CreatePopupMenu()};
    security::AppendRightsItems(mask, type, menu.Get());
    return MenuLines(menu.Get());
}

std::vector<std::wstring> Checked(const std::vector<std::wstring>& lines)
{
    std::vector<std::wstring> checked;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(checked),
                 [](const std::wstring& l) { return l.find(L" checked") != std::wstring::npos; });
    return checked;
}

TEST(Summary, RightsListEveryNamedRightAndHeldUnnamedBits)
{
    std::vector<std::wstring> process = Rights(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, OBJECT_PROCESS);
    ASSERT_EQ(22u, process.size());
    EXPECT_EQ(L"Force process termination #1 greyed", process.front());
    EXPECT_EQ(L"Read #1 greyed", process.back());
    EXPECT_EQ((std::vector<std::wstring>{L"Query process information #1 checked", L"Synchronize #1 checked"}),
              Checked(process));

    // Bit 12 has no name for a process; bit 25 (MAXIMUM_ALLOWED) is never a right held.
    process = Rights(0x1000 | MAXIMUM_ALLOWED | PROCESS_TERMINATE, OBJECT_PROCESS);
    ASSERT_EQ(23u, process.size());
    EXPECT_EQ(L"Undocumented bit 12 #1 checked", process[12]);
    EXPECT_EQ(L"Force process termination #1 checked", process[0]);
    EXPECT_EQ(2u, Checked(process).size());

    // A thread names bits 0..9; the same bit 0 reads as a thread right.
    std::vector<std::wstring> thread = Rights(THREAD_TERMINATE | 0x800, OBJECT_THREAD);
    ASSERT_EQ(21u, thread.size());
    EXPECT_EQ(L"Force thread termination #1 checked", thread[0]);
    EXPECT_EQ(L"Undocumented bit 11 #1 checked", thread[10]);
    // Any other type knows only the general rights.
    EXPECT_EQ(10u, Rights(0, 7).size());
    EXPECT_EQ(0u, security::RightName(PROCESS_TERMINATE, 7));
}

TEST(Summary, SidAndAccountTexts)
{
    core::WideString text;
    security::SidToText(Sid(L"S-1-5-18").Get(), text);
    EXPECT_STREQ(L"S-1-5-18", text.Chars());

    // An authority beyond 32 bits prints as twelve hexadecimal digits.
    SID_IDENTIFIER_AUTHORITY wide = {{0x01, 0x02, 0x0A, 0xB0, 0x00, 0xFF}};
    PSID made = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&wide, 2, 7, 4294967295u, 0, 0, 0, 0, 0, 0, &made));
    text.Clear();
    security::SidToText(made, text);
    FreeSid(made);
    EXPECT_STREQ(L"S-1-0x01020ab000ff-7-4294967295", text.Chars());

    text.Assign(core::WideString(L"Owner: "));
    EXPECT_TRUE(security::AccountText(Sid(L"S-1-5-32-544").Get(), text));
    EXPECT_STREQ(L"Owner: Alias BUILTIN\\Administrators", text.Chars());

    // A SID no one resolves falls back to its text.
    text.Clear();
    EXPECT_FALSE(security::AccountText(Sid(L"S-1-5-21-1-2-3-4444").Get(), text));
    EXPECT_STREQ(L"S-1-5-21-1-2-3-4444", text.Chars());
}

// A lookup as Windows answers it for a logon session (type 11) or for a SID
// whose account it cannot map (type 8); Wine knows neither.
SID_NAME_USE fakeUse;
BOOL WINAPI FakeLookup(LPCWSTR, PSID, LPWSTR name, LPDWORD, LPWSTR domain, LPDWORD, PSID_NAME_USE use)
{
    wcscpy(name, L"LogonSessionId_0_1234");
    wcscpy(domain, L"NT AUTHORITY");
    *use = fakeUse;
    return TRUE;
}

TEST(Summary, AccountsOfOtherTypesReadAsTheirSid)
{
    core::LocalMemory<PSID> session = Sid(L"S-1-5-5-0-1234");
    security::lookupAccount = FakeLookup;
    fakeUse = static_cast<SID_NAME_USE>(11);
    core::WideString other(L"Grant ");
    bool otherNamed = security::AccountText(session.Get(), other);
    fakeUse = SidTypeUnknown;
    core::WideString unknown;
    bool unknownNamed = security::AccountText(session.Get(), unknown);
    security::lookupAccount = LookupAccountSidW;

    EXPECT_FALSE(otherNamed);
    EXPECT_STREQ(L"Grant S-1-5-5-0-1234", other.Chars());
    EXPECT_TRUE(unknownNamed);
    EXPECT_STREQ(L"Unknown NT AUTHORITY\\LogonSessionId_0_1234", unknown.Chars());
}

TEST(Summary, AclEntriesShowModeTrusteeAndRights)
{
    // Deny Everyone termination, allow a SID nobody resolves to query.
    EXPLICIT_ACCESS_W entries[2] = {};
    core::LocalMemory<PSID> everyone = Sid(L"S-1-1-0"), stranger = Sid(L"S-1-5-21-9-9-9-1001");
    for (auto [entry, sid, rights, mode] : {std::tuple{&entries[0], everyone.Get(), PROCESS_TERMINATE, DENY_ACCESS},
                                            std::tuple{&entries[1], stranger.Get(), PROCESS_QUERY_INFORMATION,
                                                       GRANT_ACCESS}}) {
        entry->grfAccessPermissions = rights;
        entry->grfAccessMode = mode;
        BuildTrusteeWithSidW(&entry->Trustee, sid);
    }
    PACL acl = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclW(2, entries, nullptr, &acl));
    core::LocalMemory<PACL> owned{acl};

    core::Menu menu{CreatePopupMenu()};
    EXPECT_EQ(0u, security::AppendAclItems(acl, OBJECT_PROCESS, menu.Get()));
    EXPECT_EQ((std::vector<std::wstring>{L"Deny Group \\Everyone >", L"Grant S-1-5-21-9-9-9-1001 >"}),
              MenuLines(menu.Get()));
    EXPECT_EQ(std::vector<std::wstring>{L"Force process termination #1 checked"},
              Checked(MenuLines(GetSubMenu(menu.Get(), 0))));
    EXPECT_EQ(std::vector<std::wstring>{L"Query process information #1 checked"},
              Checked(MenuLines(GetSubMenu(menu.Get(), 1))));
}

// Reading a system list takes the security privilege, enabled.
bool EnableSecurityPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    core::KernelHandle owned{token};
    TOKEN_PRIVILEGES privileges = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    return LookupPrivilegeValueW(nullptr, SE_SECURITY_NAME, &privileges.Privileges[0].Luid) &&
           AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

TEST(Summary, SecuritySummaryOfAProcess)
{
    ASSERT_TRUE(EnableSecurityPrivilege());
    ChildProcess child(L"D:P(A;;0x1F0FFF;;;WD)S:(AU;SA;0x1;;;WD)");
    ASSERT_TRUE(child.started());
    core::KernelHandle process{OpenProcess(READ_CONTROL | ACCESS_SYSTEM_SECURITY, FALSE, child.processId())};
    ASSERT_TRUE(process) << GetLastError();

    // The creator's user and primary group own it: the group "None" of this machine.
    wchar_t machine[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD machineChars = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(machine, &machineChars));
    std::wstring account = std::wstring(L"group ") + machine + L"\\None #1";
    core::Menu all{CreatePopupMenu()};
    security::AppendSecuritySummary(process.Get(), OBJECT_PROCESS, READ_CONTROL, all.Get());
    EXPECT_EQ((std::vector<std::wstring>{L"Owner: " + account, L"Group: " + account, L"---", L"DACL #1 disabled",
                                         L"Grant Group \\Everyone >"}),
              MenuLines(all.Get()));

    // With only the right to read audits, only the system list shows. Wine
    // lists its audit entry as unused, with no trustee.
    core::Menu audits{CreatePopupMenu()};
    security::AppendSecuritySummary(process.Get(), OBJECT_PROCESS, ACCESS_SYSTEM_SECURITY, audits.Get());
    std::vector<std::wstring> lines = MenuLines(audits.Get());
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(L"---", lines[0]);
    EXPECT_EQ(L"SACL #1 disabled", lines[1]);
    EXPECT_TRUE(lines[2] == L"Audit Success Group \\Everyone >" || lines[2] == L"NotUsed  >") << lines[2];

    core::Menu none{CreatePopupMenu()};
    security::AppendSecuritySummary(process.Get(), OBJECT_PROCESS, SYNCHRONIZE, none.Get());
    EXPECT_EQ(std::vector<std::wstring>{L"You don't have rights to read any security on this object. #1 disabled"},
              MenuLines(none.Get()));

    // A mask that claims more than the handle holds: the platform's refusal shows.
    core::KernelHandle weak{OpenProcess(SYNCHRONIZE, FALSE, child.processId())};
    core::Menu failed{CreatePopupMenu()};
    security::AppendSecuritySummary(weak.Get(), OBJECT_PROCESS, READ_CONTROL, failed.Get());
    EXPECT_EQ(std::vector<std::wstring>{L"Couldn't get security information. (5) #1 disabled"},
              MenuLines(failed.Get()));
}

} // namespace
