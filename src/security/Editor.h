// The platform's access-control editor on a process or thread: the object
// that answers its questions, and the "Security Details" command.
#pragma once

#include "core/Handles.h"

#include <windows.h>

#include <aclui.h>

namespace security {

// Serves the editor for one kernel object. It holds its own duplicate of
// the object's handle and its own copy of the name, and is freed by its last
// Release, so nothing it answers with can go away while the editor holds it.
class SecurityInformation final : public ISecurityInformation {
public:
    // The count starts at 1, for the creator. Check Valid() after making it.
    SecurityInformation(HANDLE object, unsigned objectType, const wchar_t* name, DWORD flags);
    SecurityInformation(const SecurityInformation&) = delete;
    SecurityInformation& operator=(const SecurityInformation&) = delete;

    bool Valid() const { return static_cast<bool>(object); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetObjectInformation(PSI_OBJECT_INFO info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR* descriptor,
                                          BOOL useDefault) noexcept override;
    HRESULT STDMETHODCALLTYPE SetSecurity(SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAccessRights(const GUID* objectTypeId, DWORD flags, PSI_ACCESS* entries,
                                              ULONG* count, ULONG* defaultEntry) noexcept override;
    HRESULT STDMETHODCALLTYPE MapGeneric(const GUID* objectTypeId, UCHAR* aceFlags, ACCESS_MASK* mask) noexcept override;
    HRESULT STDMETHODCALLTYPE GetInheritTypes(PSI_INHERIT_TYPE* types, ULONG* count) noexcept override;
    HRESULT STDMETHODCALLTYPE PropertySheetPageCallback(HWND window, UINT message, SI_PAGE_TYPE page) noexcept override;

private:
    ~SecurityInformation();
    void AppendEntries(const SI_ACCESS* entries);

    core::KernelHandle object;
    unsigned objectType;
    volatile LONG referenceCount = 1;
    DWORD flags;
    wchar_t objectName[32] = {};
    SI_ACCESS accessEntries[32] = {};
    ULONG accessCount = 0;
};

// A platform error code as an HRESULT; a value already negative is kept.
HRESULT FromWin32(LONG code);

// The editor's flags for an object opened with the probed `mask`: owner and
// advanced pages always, audits with ACCESS_SYSTEM_SECURITY, and read-only
// parts for what cannot be written.
DWORD EditorFlags(DWORD mask);

// Runs the editor (when the platform has one) until it closes. Returns the
// references the editor still holds on the object afterwards: 0 when it let
// go of all of them; otherwise the object lives on until it does.
ULONG EditObjectSecurity(HWND window, HANDLE object, unsigned objectType, const wchar_t* name, DWORD flags);

} // namespace security
