#include "security/Summary.h"

#include "support/ChildProcess.h"
#include "support/MenuLines.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <vector>

namespace {

using namespace testing_support;
using security::OBJECT_PROCESS;
using Lines = std::vector<std::wstring>;

Lines Checked(HMENU menu)
{
    Lines lines = MenuLines(menu);
    std::erase_if(lines, [](const std::wstring& l) { return !l.ends_with(L" checked"); });
    return lines;
}

Lines CheckedRights(DWORD mask, unsigned type)
{
    core::Menu menu{CreatePopupMenu()};
    security::AppendRightsItems(mask, type, menu.Get());
    return Checked(menu.Get());
}

TEST(Summary, RightsAreNamedByObjectTypeAndUnnamedHeldBitsListed)
{
    EXPECT_EQ((Lines{L"Query process information #1 checked", L"Synchronize #1 checked"}),
              CheckedRights(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, OBJECT_PROCESS));
    // Bit 12 has no process name; MAXIMUM_ALLOWED is never listed.
    EXPECT_EQ(Lines{L"Undocumented bit 12 #1 checked"}, CheckedRights(0x1000 | MAXIMUM_ALLOWED, OBJECT_PROCESS));
    EXPECT_EQ((Lines{L"Force thread termination #1 checked", L"Undocumented bit 11 #1 checked"}),
              CheckedRights(THREAD_TERMINATE | 0x800, security::OBJECT_THREAD));
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

std::wstring Account(const wchar_t* sidText, bool named)
{
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(sidText, &sid)) << sidText;
    core::LocalMemory<PSID> owned{sid};
    core::WideString text;
    EXPECT_EQ(named, security::AccountText(sid, text)) << sidText;
    return text.Chars();
}

TEST(Summary, SidAndAccountTexts)
{
    EXPECT_EQ(L"Alias BUILTIN\\Administrators", Account(L"S-1-5-32-544", true));
    EXPECT_EQ(L"S-1-5-21-1-2-3-4444", Account(L"S-1-5-21-1-2-3-4444", false)) << "no one resolves it";
    // A type without a word reads as the SID, not as a blank account.
    security::lookupAccount = FakeLookup;
    fakeUse = static_cast<SID_NAME_USE>(11);
    EXPECT_EQ(L"S-1-5-5-0-1234", Account(L"S-1-5-5-0-1234", false));
    fakeUse = SidTypeUnknown;
    EXPECT_EQ(L"Unknown NT AUTHORITY\\LogonSessionId_0_1234", Account(L"S-1-5-5-0-1234", true));
    fakeUse = static_cast<SID_NAME_USE>(9); // the last type with a word
    EXPECT_EQ(L"Computer NT AUTHORITY\\LogonSessionId_0_1234", Account(L"S-1-5-5-0-1234", true));
    security::lookupAccount = LookupAccountSidW;
}

Lines Summary(HANDLE process, DWORD mask, core::Menu& menu)
{
    menu.Reset(CreatePopupMenu());
    security::AppendSecuritySummary(process, OBJECT_PROCESS, mask, menu.Get());
    return MenuLines(menu.Get());
}

TEST(Summary, SecuritySummaryOfAProcess)
{
    // Reading a system list takes the security privilege, enabled.
    core::KernelHandle token;
    TOKEN_PRIVILEGES privileges = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put()) &&
                LookupPrivilegeValueW(nullptr, SE_SECURITY_NAME, &privileges.Privileges[0].Luid) &&
                AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) &&
                GetLastError() == ERROR_SUCCESS);
    ChildProcess child(L"D:P(D;;0x1;;;S-1-5-21-9-9-9-1001)(A;;0x1F0FFF;;;WD)S:(AU;SA;0x1;;;WD)");
    ASSERT_TRUE(child.started());
    core::KernelHandle process{OpenProcess(READ_CONTROL | ACCESS_SYSTEM_SECURITY, FALSE, child.processId())};
    ASSERT_TRUE(process) << GetLastError();

    // The creator's user and primary group own it: the group "None" of this machine.
    wchar_t machine[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD machineChars = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(machine, &machineChars));
    std::wstring account = std::wstring(L"group ") + machine + L"\\None #1";
    core::Menu menu;
    EXPECT_EQ((Lines{L"Owner: " + account, L"Group: " + account, L"---", L"DACL #1 disabled",
                     L"Deny S-1-5-21-9-9-9-1001 >", L"Grant Group \\Everyone >"}),
              Summary(process.Get(), READ_CONTROL, menu));
    EXPECT_EQ(Lines{L"Force process termination #1 checked"}, Checked(GetSubMenu(menu.Get(), 4)));

    // Only the system list; Wine lists its audit entry as unused, with no SID.
    Lines audits = Summary(process.Get(), ACCESS_SYSTEM_SECURITY, menu);
    ASSERT_EQ(3u, audits.size());
    EXPECT_EQ(L"SACL #1 disabled", audits[1]);
    EXPECT_TRUE(audits[2] == L"Audit Success Group \\Everyone >" || audits[2] == L"NotUsed  >") << audits[2];

    EXPECT_EQ(Lines{L"You don't have rights to read any security on this object. #1 disabled"},
              Summary(process.Get(), SYNCHRONIZE, menu));
    // A mask that claims more than the handle holds: the platform's refusal shows.
    core::KernelHandle weak{OpenProcess(SYNCHRONIZE, FALSE, child.processId())};
    EXPECT_EQ(Lines{L"Couldn't get security information. (5) #1 disabled"}, Summary(weak.Get(), READ_CONTROL, menu));
}

} // namespace
