#include "security/Editor.h"

#include "core/AccessRights.h"
#include "core/WideString.h"
#include "resources/resource.h"
#include "security/Summary.h"
#include "ui/Platform.h"

#include <aclapi.h>

#include <iterator>

namespace security {

namespace {

// The interface ids, written out so that no id library is needed.
constexpr GUID UNKNOWN_ID = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID SECURITY_INFORMATION_ID = {0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}};
const GUID NO_OBJECT_TYPE = {};

constexpr DWORD GENERAL = SI_ACCESS_GENERAL;
// The first systems' name for the process bit that is now PROCESS_SUSPEND_RESUME.
constexpr DWORD PROCESS_SET_PORT = 0x0800;
constexpr DWORD SPECIFIC = SI_ACCESS_SPECIFIC;

// Each list ends at an entry with mask 0.
const SI_ACCESS PROCESS_ENTRIES[] = {
    {&NO_OBJECT_TYPE, core::CLASSIC_PROCESS_ALL_ACCESS, core::TextId(IDS_FULL_PROCESS_ACCESS), GENERAL},
    {&NO_OBJECT_TYPE, core::PROCESS_READ_RIGHTS, core::TextId(IDS_RIGHT_GENERIC_READ), GENERAL},
    {&NO_OBJECT_TYPE, core::EXECUTE_RIGHTS, core::TextId(IDS_RIGHT_GENERIC_EXECUTE), GENERAL},
    {&NO_OBJECT_TYPE, core::PROCESS_WRITE_RIGHTS, core::TextId(IDS_RIGHT_GENERIC_WRITE), GENERAL},
    {&NO_OBJECT_TYPE, core::CHANGE_SECURITY_RIGHTS, core::TextId(IDS_OP_CHANGE_PROCESS_SECURITY), GENERAL},
    {&NO_OBJECT_TYPE, core::CLASSIC_PROCESS_ALL_ACCESS, core::TextId(IDS_FULL_PROCESS_ACCESS), SPECIFIC},
    {&NO_OBJECT_TYPE, PROCESS_SET_PORT, core::TextId(IDS_RIGHT_PROCESS_SET_PORT), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x400, core::TextId(IDS_RIGHT_PROCESS_QUERY_INFORMATION), SPECIFIC},
    {&NO_OBJECT_TYPE, THREAD_DIRECT_IMPERSONATION, core::TextId(IDS_RIGHT_PROCESS_SET_INFORMATION), SPECIFIC},
    {&NO_OBJECT_TYPE, THREAD_IMPERSONATE, core::TextId(IDS_RIGHT_PROCESS_SET_QUOTA), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x80, core::TextId(IDS_RIGHT_PROCESS_CREATE_PROCESS), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x40, core::TextId(IDS_RIGHT_PROCESS_DUP_HANDLE), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x20, core::TextId(IDS_RIGHT_PROCESS_VM_WRITE), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x10, core::TextId(IDS_RIGHT_PROCESS_VM_READ), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x8, core::TextId(IDS_RIGHT_PROCESS_VM_OPERATION), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x4, core::TextId(IDS_RIGHT_PROCESS_SET_SESSIONID), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x2, core::TextId(IDS_RIGHT_PROCESS_CREATE_THREAD), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x1, core::TextId(IDS_RIGHT_PROCESS_TERMINATE), SPECIFIC},
    {},
};

const SI_ACCESS THREAD_ENTRIES[] = {
    {&NO_OBJECT_TYPE, core::CLASSIC_THREAD_ALL_ACCESS, core::TextId(IDS_FULL_THREAD_ACCESS), GENERAL},
    {&NO_OBJECT_TYPE, core::EXECUTE_RIGHTS, core::TextId(IDS_RIGHT_GENERIC_EXECUTE), GENERAL},
    {&NO_OBJECT_TYPE, core::CLASSIC_THREAD_ALL_ACCESS, core::TextId(IDS_FULL_THREAD_ACCESS), SPECIFIC},
    {&NO_OBJECT_TYPE, THREAD_DIRECT_IMPERSONATION, core::TextId(IDS_RIGHT_THREAD_DIRECT_IMPERSONATION), SPECIFIC},
    {&NO_OBJECT_TYPE, THREAD_IMPERSONATE, core::TextId(IDS_RIGHT_THREAD_IMPERSONATE), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x80, core::TextId(IDS_RIGHT_THREAD_SET_THREAD_TOKEN), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x40, core::TextId(IDS_RIGHT_THREAD_QUERY_INFORMATION), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x20, core::TextId(IDS_RIGHT_THREAD_SET_INFORMATION), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x10, core::TextId(IDS_RIGHT_THREAD_SET_CONTEXT), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x8, core::TextId(IDS_RIGHT_THREAD_GET_CONTEXT), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x4, core::TextId(IDS_RIGHT_THREAD_ALERT), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x2, core::TextId(IDS_RIGHT_THREAD_SUSPEND_RESUME), SPECIFIC},
    {&NO_OBJECT_TYPE, 0x1, core::TextId(IDS_RIGHT_THREAD_TERMINATE), SPECIFIC},
    {},
};

const SI_ACCESS STANDARD_ENTRIES[] = {
    {&NO_OBJECT_TYPE, SYNCHRONIZE, core::TextId(IDS_RIGHT_SYNCHRONIZE), SPECIFIC},
    {&NO_OBJECT_TYPE, WRITE_OWNER, core::TextId(IDS_RIGHT_WRITE_OWNER), SPECIFIC},
    {&NO_OBJECT_TYPE, WRITE_DAC, core::TextId(IDS_RIGHT_WRITE_DAC), SPECIFIC},
    {&NO_OBJECT_TYPE, READ_CONTROL, core::TextId(IDS_RIGHT_READ_CONTROL), SPECIFIC},
    {&NO_OBJECT_TYPE, DELETE, core::TextId(IDS_RIGHT_DELETE), SPECIFIC},
    {},
};

GENERIC_MAPPING MappingFor(unsigned objectType)
{
    if (objectType == OBJECT_PROCESS)
        return {GENERIC_READ | core::PROCESS_READ_RIGHTS, GENERIC_WRITE | core::PROCESS_WRITE_RIGHTS,
                GENERIC_EXECUTE | core::EXECUTE_RIGHTS, GENERIC_ALL | core::CLASSIC_PROCESS_ALL_ACCESS};
    if (objectType == OBJECT_THREAD)
        return {GENERIC_READ, GENERIC_WRITE, GENERIC_EXECUTE | core::EXECUTE_RIGHTS,
                GENERIC_ALL | core::CLASSIC_THREAD_ALL_ACCESS};
    return {GENERIC_READ, GENERIC_WRITE, GENERIC_EXECUTE, GENERIC_ALL};
}

} // namespace

HRESULT FromWin32(LONG code)
{
    if (code <= 0)
        return code;
    return static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(code) & 0xFFFF));
}

SecurityInformation::SecurityInformation(HANDLE source, unsigned objectType, const wchar_t* name, DWORD flags)
    : objectType(objectType), flags(flags)
{
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, source, self, object.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS))
        object.Release();
    lstrcpynW(objectName, name ? name : L"", static_cast<int>(std::size(objectName)));
    if (objectType == OBJECT_PROCESS)
        AppendEntries(PROCESS_ENTRIES);
    else if (objectType == OBJECT_THREAD)
        AppendEntries(THREAD_ENTRIES);
    AppendEntries(STANDARD_ENTRIES);
}

SecurityInformation::~SecurityInformation() = default;

void SecurityInformation::AppendEntries(const SI_ACCESS* entries)
{
    for (; entries->mask != 0 && accessCount < std::size(accessEntries); ++entries)
        accessEntries[accessCount++] = *entries;
}

HRESULT SecurityInformation::QueryInterface(REFIID id, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    if (!IsEqualGUID(id, UNKNOWN_ID) && !IsEqualGUID(id, SECURITY_INFORMATION_ID)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<ISecurityInformation*>(this);
    AddRef();
    return S_OK;
}

ULONG SecurityInformation::AddRef() noexcept
{
    return static_cast<ULONG>(InterlockedIncrement(&referenceCount));
}

ULONG SecurityInformation::Release() noexcept
{
    LONG left = InterlockedDecrement(&referenceCount);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT SecurityInformation::GetObjectInformation(PSI_OBJECT_INFO info) noexcept
{
    *info = {};
    info->dwFlags = flags;
    info->hInstance = GetModuleHandleW(nullptr); // the right names are string ids of the program
    info->pszObjectName = objectName;
    return S_OK;
}

HRESULT SecurityInformation::GetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR* descriptor,
                                         BOOL useDefault) noexcept
{
    if (useDefault)
        return E_FAIL; // a process or thread has no default security to offer
    // The editor frees the descriptor with LocalFree.
    return FromWin32(static_cast<LONG>(
        GetSecurityInfo(object.Get(), SE_KERNEL_OBJECT, parts, nullptr, nullptr, nullptr, nullptr, descriptor)));
}

HRESULT SecurityInformation::SetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor) noexcept
{
    PSID owner = nullptr, group = nullptr;
    PACL dacl = nullptr, sacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    GetSecurityDescriptorGroup(descriptor, &group, &defaulted);
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present)
        dacl = nullptr;
    if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present)
        sacl = nullptr;
    return FromWin32(
        static_cast<LONG>(SetSecurityInfo(object.Get(), SE_KERNEL_OBJECT, parts, owner, group, dacl, sacl)));
}

HRESULT SecurityInformation::GetAccessRights(const GUID*, DWORD, PSI_ACCESS* entries, ULONG* count,
                                             ULONG* defaultEntry) noexcept
{
    *entries = accessEntries;
    *count = accessCount;
    *defaultEntry = 0;
    return S_OK;
}

HRESULT SecurityInformation::MapGeneric(const GUID*, UCHAR*, ACCESS_MASK* mask) noexcept
{
    GENERIC_MAPPING mapping = MappingFor(objectType);
    MapGenericMask(mask, &mapping);
    return S_OK;
}

HRESULT SecurityInformation::GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) noexcept
{
    *types = nullptr;
    *count = 0;
    return S_OK;
}

HRESULT SecurityInformation::PropertySheetPageCallback(HWND, UINT, SI_PAGE_TYPE) noexcept
{
    return S_OK;
}

DWORD EditorFlags(DWORD mask)
{
    DWORD flags = SI_EDIT_OWNER | SI_ADVANCED;
    if (mask & ACCESS_SYSTEM_SECURITY)
        flags |= SI_EDIT_AUDITS;
    if (mask & WRITE_OWNER)
        return flags;
    return flags | ((mask & WRITE_DAC) ? SI_OWNER_READONLY : SI_READONLY);
}

ULONG EditObjectSecurity(HWND window, HANDLE object, unsigned objectType, const wchar_t* name, DWORD flags)
{
    if (!ui::platform.editSecurityFn)
        return 0;
    auto* information = new SecurityInformation(object, objectType, name, flags);
    if (information->Valid())
        ui::platform.editSecurityFn(window, static_cast<ISecurityInformation*>(information));
    // The editor should have let go by now; if it has not, the object stays
    // alive for it instead of vanishing under it.
    return information->Release();
}

} // namespace security
