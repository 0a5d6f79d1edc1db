#include "actions/Open.h"

#include "core/Report.h"
#include "core/WideString.h"
#include "ui/Platform.h"

#include <aclapi.h>

namespace actions {

core::KernelHandle OpenWithProbedAccess(DWORD id, DWORD& granted, OpenFunction open)
{
    DWORD mask = 0;
    for (DWORD right = 1; right != 0; right <<= 1) {
        if (right == MAXIMUM_ALLOWED)
            continue;
        if (core::KernelHandle single{open(right, FALSE, id)})
            mask |= right;
    }
    granted = mask;
    if (mask == 0)
        return {};
    return core::KernelHandle{open(mask, FALSE, id)};
}

core::KernelHandle OpenProcessProbed(DWORD processId, DWORD& granted)
{
    return OpenWithProbedAccess(processId, granted, OpenProcess);
}

core::KernelHandle OpenThreadProbed(DWORD threadId, DWORD& granted)
{
    if (!ui::platform.openThreadFn)
        return {};
    return OpenWithProbedAccess(threadId, granted, ui::platform.openThreadFn);
}

namespace {

// The object's list with an allow entry for the current user merged in.
DWORD AddCurrentUserEntry(HANDLE object, DWORD rights, core::LocalMemory<PACL>& merged)
{
    // The security calls write these only when they succeed: they start null
    // so that the owners free nothing that was not returned.
    PACL oldList = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD status = GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   &oldList, nullptr, &descriptor);
    core::LocalMemory<PSECURITY_DESCRIPTOR> ownedDescriptor{descriptor};
    if (status != ERROR_SUCCESS)
        return status;

    EXPLICIT_ACCESSW entry = {};
    wchar_t trustee[] = L"CURRENT_USER";
    BuildExplicitAccessWithNameW(&entry, trustee, rights, GRANT_ACCESS, NO_INHERITANCE);
    PACL newList = nullptr;
    status = SetEntriesInAclW(1, &entry, oldList, &newList);
    merged.Reset(newList);
    return status;
}

} // namespace

bool GrantSelfAccess(core::KernelHandle& handle, DWORD extra, DWORD rights)
{
    core::LocalMemory<PACL> newList;
    DWORD status = AddCurrentUserEntry(handle.Get(), rights, newList);
    if (status == ERROR_SUCCESS)
        status = SetSecurityInfo(handle.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 newList.Get(), nullptr);
    if (status != ERROR_SUCCESS) {
        SetLastError(status);
        return false;
    }
    HANDLE process = GetCurrentProcess();
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(process, handle.Get(), process, &duplicate, extra | rights, FALSE, 0))
        return false;
    handle.Reset(duplicate);
    return true;
}

core::KernelHandle OpenForAction(HWND window, DWORD id, OpenFunction open, unsigned openFailure,
                                 DWORD rightToGrant, unsigned grantFailure)
{
    core::KernelHandle object{open(MAXIMUM_ALLOWED, FALSE, id)};
    if (!object) {
        ReportLastError(window, openFailure);
        return {};
    }
    if (rightToGrant != 0 && !GrantSelfAccess(object, 0, rightToGrant)) {
        ReportLastError(window, grantFailure);
        return {};
    }
    return object;
}

void ReportLastError(HWND window, unsigned operation)
{
    core::ReportWin32Failure(window, core::TextId(operation), 0, 0);
}

} // namespace actions
