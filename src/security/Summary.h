// A process's or thread's security as read-only menus: the rights the user
// holds, and the owner, group and access lists with each entry's rights.
// Every item added here does nothing when chosen.
#pragma once

#include "core/WideString.h"

#include <windows.h>

namespace security {

constexpr unsigned OBJECT_PROCESS = 1;
constexpr unsigned OBJECT_THREAD = 2;

// The string id naming a single-bit right of the object type, or 0.
unsigned RightName(DWORD bit, unsigned objectType);

// Every named right, checked when held and greyed when not, and each held
// bit without a name.
void AppendRightsItems(DWORD mask, unsigned objectType, HMENU menu);

// Appends the SID's text form, such as S-1-5-18.
void SidToText(PSID sid, core::WideString& out);

// The account lookup (LookupAccountSidW); tests put a system's other answers here.
using LookupAccountFunction = BOOL(WINAPI*)(LPCWSTR system, PSID sid, LPWSTR name, LPDWORD nameChars,
                                            LPWSTR domain, LPDWORD domainChars, PSID_NAME_USE use);
extern LookupAccountFunction lookupAccount;

// Appends "<type> <domain>\<name>" and returns true for an account the
// system resolves to one of the nine classic types; otherwise appends the
// SID's text and returns false.
bool AccountText(PSID sid, core::WideString& out);

// One sub-menu per explicit entry of the list, titled with its mode and
// trustee and holding its rights. Returns GetExplicitEntriesFromAclW's code.
DWORD AppendAclItems(PACL acl, unsigned objectType, HMENU menu);

// Owner, group, DACL and SACL of the object, as far as `mask` lets them be
// read through `object`.
void AppendSecuritySummary(HANDLE object, unsigned objectType, DWORD mask, HMENU menu);

} // namespace security
