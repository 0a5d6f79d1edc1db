#include "security/Summary.h"

#include "support/ChildProcess.h"
#include "support/MenuLines.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

namespace {

using namespace testing_support;
using security::OBJECT_PROCESS;
using Lines = std::vector<std::wstring>;

core::LocalMemory<PSID> Sid(const wchar_t* text)
{
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text, &sid)) << text;
    return core::LocalMemory<PSID>{sid};
}

Lines Rights(DWORD mask, unsigned type)
{
    core::Menu menu{CreatePopupMenu()};
    security::AppendRightsItems(mask, type, menu.Get());
    return MenuLines(menu.Get());
}

Lines Checked(const Lines& lines)
{
    Lines checked;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(checked),
                 [](const std::wstring& l) { return l.ends_with(L" checked"); });
    return checked;
}

std::wstring Account(PSID sid, bool expected)
{
    core::WideString text;
    EXPECT_EQ(expected, security::AccountText(sid, text));
    return text.Chars();
}

TEST(Summary, RightsListEveryNamedRightAndHeldUnnamedBits)
{
    Lines process = Rights(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, OBJECT_PROCESS);
    ASSERT_EQ(22u, process.size());
    EXPECT_EQ(L"Force process termination #1 greyed", process.front());
    EXPECT_EQ((Lines{L"Query process information #1 checked", L"Synchronize #1 checked"}), Checked(process));
    // Bit 12 has no process name; bit 25 (MAXIMUM_ALLOWED) is never listed.
    process = Rights(0x1000 | MAXIMUM_ALLOWED, OBJECT_PROCESS);
    ASSERT_EQ(23u, process.size());
    EXPECT_EQ(Lines{L"Undocumented bit 12 #1 checked"}, Checked(process));
    // A thread names bits 0..9 its own way; another type only the general rights.
    Lines thread = Rights(THREAD_TERMINATE | 0x800, security::OBJECT_THREAD);
    EXPECT_EQ(21u, thread.size());
    EXPECT_EQ((Lines{L"Force thread termination #1 checked", L"Undocumented bit 11 #1 checked"}), Checked(thread));
    EXPECT_EQ(10u, Rights(0, 7).size());
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

    EXPECT_EQ(L"Alias BUILTIN\\Administrators", Account(Sid(L"S-1-5-32-544").Get(), true));
    EXPECT_EQ(L"S-1-5-21-1-2-3-4444", Account(Sid(L"S-1-5-21-1-2-3-4444").Get(), false)) << "no one resolves it";
}

// A lookup as Windows answers for a logon session (type 11) or an account it
// cannot map (type 8); Wine knows neither.
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
    EXPECT_EQ(L"S-1-5-5-0-1234", Account(session.Get(), false));
    fakeUse = SidTypeUnknown;
    EXPECT_EQ(L"Unknown NT AUTHORITY\\LogonSessionId_0_1234", Account(session.Get(), true));
    security::lookupAccount = LookupAccountSidW;
}

TEST(Summary, AclEntriesShowModeTrusteeAndRights)
{
    EXPLICIT_ACCESS_W entries[2] = {{PROCESS_TERMINATE, DENY_ACCESS}, {PROCESS_QUERY_INFORMATION, GRANT_ACCESS}};
    core::LocalMemory<PSID> everyone = Sid(L"S-1-1-0"), stranger = Sid(L"S-1-5-21-9-9-9-1001");
    BuildTrusteeWithSidW(&entries[0].Trustee, everyone.Get());
    BuildTrusteeWithSidW(&entries[1].Trustee, stranger.Get());
    core::LocalMemory<PACL> acl;
    ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclW(2, entries, nullptr, acl.Put()));

    core::Menu menu{CreatePopupMenu()};
    EXPECT_EQ(0u, security::AppendAclItems(acl.Get(), OBJECT_PROCESS, menu.Get()));
    EXPECT_EQ((Lines{L"Deny Group \\Everyone >", L"Grant S-1-5-21-9-9-9-1001 >"}), MenuLines(menu.Get()));
    EXPECT_EQ(Lines{L"Force process termination #1 checked"}, Checked(MenuLines(GetSubMenu(menu.Get(), 0))));
}

// Reading a system list takes the security privilege, enabled.
bool EnableSecurityPrivilege()
{
    core::KernelHandle token;
    TOKEN_PRIVILEGES privileges = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    return OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put()) &&
           LookupPrivilegeValueW(nullptr, SE_SECURITY_NAME, &privileges.Privileges[0].Luid) &&
           AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
}

Lines Summary(HANDLE process, DWORD mask)
{
    core::Menu menu{CreatePopupMenu()};
    security::AppendSecuritySummary(process, OBJECT_PROCESS, mask, menu.Get());
    return MenuLines(menu.Get());
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
    EXPECT_EQ((Lines{L"Owner: " + account, L"Group: " + account, L"---", L"DACL #1 disabled",
                     L"Grant Group \\Everyone >"}),
              Summary(process.Get(), READ_CONTROL));

    // Only the system list; Wine lists its audit entry as unused, with no trustee.
    Lines audits = Summary(process.Get(), ACCESS_SYSTEM_SECURITY);
    ASSERT_EQ(3u, audits.size());
    EXPECT_EQ((Lines{L"---", L"SACL #1 disabled"}), Lines(audits.begin(), audits.begin() + 2));
    EXPECT_TRUE(audits[2] == L"Audit Success Group \\Everyone >" || audits[2] == L"NotUsed  >") << audits[2];

    EXPECT_EQ(Lines{L"You don't have rights to read any security on this object. #1 disabled"},
              Summary(process.Get(), SYNCHRONIZE));
    // A mask that claims more than the handle holds: the platform's refusal shows.
    core::KernelHandle weak{OpenProcess(SYNCHRONIZE, FALSE, child.processId())};
    EXPECT_EQ(Lines{L"Couldn't get security information. (5) #1 disabled"}, Summary(weak.Get(), READ_CONTROL));
}

} // namespace
