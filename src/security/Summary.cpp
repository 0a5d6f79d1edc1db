#include "security/Summary.h"

#include "core/Handles.h"
#include "resources/resource.h"
#include "ui/Menus.h"

#include <aclapi.h>

#include <iterator>

namespace security {

LookupAccountFunction lookupAccount = LookupAccountSidW;

namespace {

struct RightText {
    DWORD mask;
    unsigned text;
};

constexpr RightText GENERAL_RIGHTS[] = {
    {DELETE, IDS_RIGHT_DELETE},
    {READ_CONTROL, IDS_RIGHT_READ_CONTROL},
    {WRITE_DAC, IDS_RIGHT_WRITE_DAC},
    {WRITE_OWNER, IDS_RIGHT_WRITE_OWNER},
    {SYNCHRONIZE, IDS_RIGHT_SYNCHRONIZE},
    {ACCESS_SYSTEM_SECURITY, IDS_RIGHT_ACCESS_SYSTEM_SECURITY},
    {GENERIC_ALL, IDS_RIGHT_GENERIC_ALL},
    {GENERIC_EXECUTE, IDS_RIGHT_GENERIC_EXECUTE},
    {GENERIC_WRITE, IDS_RIGHT_GENERIC_WRITE},
    {GENERIC_READ, IDS_RIGHT_GENERIC_READ},
};

// Process rights are bits 0..11, thread rights bits 0..9, named in bit order.
constexpr unsigned PROCESS_RIGHT_COUNT = 12;
constexpr unsigned THREAD_RIGHT_COUNT = 10;

const wchar_t* ModeWord(ACCESS_MODE mode)
{
    static const wchar_t* const words[] = {L"NotUsed", L"Grant", L"Set", L"Deny", L"Revoke", L"Audit Success",
                                           L"Audit Failure"};
    unsigned m = static_cast<unsigned>(mode);
    return m < std::size(words) ? words[m] : nullptr;
}

const wchar_t* AccountTypeWord(SID_NAME_USE use)
{
    static const wchar_t* const words[] = {L"User", L"group", L"Domain", L"Alias", L"Group",
                                           L"Deleted", L"Invalid", nullptr, L"Computer"};
    unsigned u = static_cast<unsigned>(use);
    return u >= 1 && u <= std::size(words) ? words[u - 1] : nullptr;
}

void AppendItem(HMENU menu, UINT flags, const wchar_t* text)
{
    ui::AppendItem(menu, flags, CMD_NONE, text);
}

void AppendSection(HMENU menu, const wchar_t* heading, PACL acl, unsigned objectType)
{
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, MF_DISABLED, heading);
    AppendAclItems(acl, objectType, menu);
}

} // namespace

unsigned RightName(DWORD bit, unsigned objectType)
{
    for (const RightText& right : GENERAL_RIGHTS)
        if (right.mask == bit)
            return right.text;
    for (unsigned i = 0; i < 32; ++i) {
        if (bit != (1u << i))
            continue;
        if (objectType == OBJECT_PROCESS && i < PROCESS_RIGHT_COUNT)
            return IDS_RIGHT_PROCESS_TERMINATE + i;
        if (objectType == OBJECT_THREAD && i < THREAD_RIGHT_COUNT)
            return IDS_RIGHT_THREAD_TERMINATE + i;
    }
    return 0;
}

void AppendRightsItems(DWORD mask, unsigned objectType, HMENU menu)
{
    DWORD held = mask & ~MAXIMUM_ALLOWED;
    for (unsigned bit = 0; bit < 32; ++bit) {
        DWORD right = 1u << bit;
        bool isHeld = (held & right) != 0;
        core::WideString text;
        if (unsigned name = RightName(right, objectType))
            text.LoadResourceString(name);
        else if (isHeld)
            text.FormatResource(IDS_UNDOCUMENTED_BIT, bit);
        else
            continue;
        AppendItem(menu, isHeld ? MF_CHECKED : MF_GRAYED, text.Chars());
    }
}

void SidToText(PSID sid, core::WideString& out)
{
    out.AppendFormat(L"S-%lu-", 1ul);
    const BYTE* a = GetSidIdentifierAuthority(sid)->Value;
    if (a[0] == 0 && a[1] == 0)
        out.AppendFormat(L"%lu", static_cast<unsigned long>(a[2]) << 24 | static_cast<unsigned long>(a[3]) << 16 |
                                     static_cast<unsigned long>(a[4]) << 8 | a[5]);
    else
        out.AppendFormat(L"0x%02hx%02hx%02hx%02hx%02hx%02hx", a[0], a[1], a[2], a[3], a[4], a[5]);
    UCHAR count = *GetSidSubAuthorityCount(sid);
    for (UCHAR i = 0; i < count; ++i)
        out.AppendFormat(L"-%lu", static_cast<unsigned long>(*GetSidSubAuthority(sid, i)));
}

bool AccountText(PSID sid, core::WideString& out)
{
    wchar_t name[256] = {}, domain[64] = {};
    DWORD nameChars = static_cast<DWORD>(std::size(name)), domainChars = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use = SidTypeUnknown;
    if (lookupAccount(nullptr, sid, name, &nameChars, domain, &domainChars, &use)) {
        core::WideString word;
        if (use == SidTypeUnknown)
            word.LoadResourceString(IDS_UNKNOWN);
        else if (const wchar_t* known = AccountTypeWord(use))
            word.Append(known);
        if (word.Length() != 0) {
            out.AppendFormat(L"%ls %ls\\%ls", word.Chars(), domain, name);
            return true;
        }
        // Logon sessions, labels and newer types have no word: a blank
        // trustee would say nothing, the SID at least names it.
    }
    SidToText(sid, out);
    return false;
}

DWORD AppendAclItems(PACL acl, unsigned objectType, HMENU menu)
{
    ULONG count = 0;
    PEXPLICIT_ACCESS_W entries = nullptr;
    DWORD status = GetExplicitEntriesFromAclW(acl, &count, &entries);
    core::LocalMemory<PEXPLICIT_ACCESS_W> owned{entries};
    if (status != ERROR_SUCCESS)
        return status;
    for (ULONG i = 0; i < count; ++i) {
        const EXPLICIT_ACCESS_W& entry = entries[i];
        core::WideString text;
        if (const wchar_t* mode = ModeWord(entry.grfAccessMode))
            text.Append(mode);
        else
            text.AppendFormat(L"<unknown mode %d>", static_cast<int>(entry.grfAccessMode));
        text.Append(L" ");
        // Wine lists an entry it cannot decode (an audit entry) with no SID at all.
        if (entry.Trustee.TrusteeForm == TRUSTEE_IS_SID) {
            if (entry.Trustee.ptstrName)
                AccountText(static_cast<PSID>(entry.Trustee.ptstrName), text);
        }
        else if (entry.Trustee.TrusteeForm == TRUSTEE_IS_NAME)
            text.Append(entry.Trustee.ptstrName);
        else
            text.AppendFormat(L"<unknown trustee type %d>", static_cast<int>(entry.Trustee.TrusteeForm));
        core::Menu rights{CreatePopupMenu()};
        AppendRightsItems(entry.grfAccessPermissions, objectType, rights.Get());
        ui::AppendSubmenu(menu, rights, 0, text.Chars());
    }
    return ERROR_SUCCESS;
}

void AppendSecuritySummary(HANDLE object, unsigned objectType, DWORD mask, HMENU menu)
{
    bool readControl = (mask & READ_CONTROL) != 0, readAudits = (mask & ACCESS_SYSTEM_SECURITY) != 0;
    if (!readControl && !readAudits) {
        core::WideString text(core::TextId(IDS_NO_SECURITY_RIGHTS));
        AppendItem(menu, MF_DISABLED, text.Chars());
        return;
    }
    SECURITY_INFORMATION parts = (readControl ? OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                    DACL_SECURITY_INFORMATION
                                              : 0) |
                                 (readAudits ? SACL_SECURITY_INFORMATION : 0);
    // Only what the call returned is used or freed.
    PSID owner = nullptr, group = nullptr;
    PACL dacl = nullptr, sacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD status = GetSecurityInfo(object, SE_KERNEL_OBJECT, parts, readControl ? &owner : nullptr,
                                   readControl ? &group : nullptr, readControl ? &dacl : nullptr,
                                   readAudits ? &sacl : nullptr, &descriptor);
    core::LocalMemory<PSECURITY_DESCRIPTOR> owned{descriptor};
    if (status != ERROR_SUCCESS) {
        core::WideString text;
        text.FormatResource(IDS_SECURITY_READ_FAILED, static_cast<int>(status));
        AppendItem(menu, MF_DISABLED, text.Chars());
        return;
    }
    for (auto [sid, label] : {std::pair{owner, L"Owner: "}, std::pair{group, L"Group: "}}) {
        if (!sid)
            continue;
        core::WideString text(label);
        AccountText(sid, text);
        AppendItem(menu, 0, text.Chars());
    }
    if (dacl)
        AppendSection(menu, L"DACL", dacl, objectType);
    if (sacl)
        AppendSection(menu, L"SACL", sacl, objectType);
}

} // namespace security
