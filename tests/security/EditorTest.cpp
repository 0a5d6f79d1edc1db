#include "security/Editor.h"

#include "resources/resource.h"
#include "security/Summary.h"
#include "support/ChildProcess.h"
#include "support/SelectedRow.h"

#include <sddl.h>

#include <string>

namespace {

using namespace testing_support;
using security::OBJECT_PROCESS;
using security::SecurityInformation;

TEST(Editor, InterfacesAndReferences)
{
    const GUID securityInformationId = {0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}};
    const GUID unknownId = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const GUID otherId = {0xC3CCFDB4, 0x6F88, 0x11D2, {0xA3, 0xCE, 0x00, 0xC0, 0x4F, 0xB1, 0x78, 0x2A}};
    auto* information = new SecurityInformation(GetCurrentProcess(), OBJECT_PROCESS, L"self", 0);
    void* out = nullptr;
    EXPECT_EQ(S_OK, information->QueryInterface(unknownId, &out));
    EXPECT_EQ(S_OK, information->QueryInterface(securityInformationId, &out));
    EXPECT_EQ(E_NOINTERFACE, information->QueryInterface(otherId, &out));
    EXPECT_EQ(nullptr, out);
    for (ULONG held : {2u, 1u, 0u})
        EXPECT_EQ(held, information->Release());
}

std::wstring SecurityText(ISecurityInformation* information)
{
    PSECURITY_DESCRIPTOR read = nullptr;
    SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    EXPECT_EQ(S_OK, information->GetSecurity(parts, &read, FALSE));
    core::LocalMemory<PSECURITY_DESCRIPTOR> owned{read};
    core::LocalMemory<wchar_t*> text;
    EXPECT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(read, SDDL_REVISION_1, parts, text.Put(),
                                                                     nullptr));
    return text.Get() ? text.Get() : L"";
}

TEST(Editor, SecurityReadAndWrittenThroughTheObject)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    auto* information = new SecurityInformation(child.process(), OBJECT_PROCESS, L"child", 0);
    PSECURITY_DESCRIPTOR read = nullptr;
    EXPECT_EQ(E_FAIL, information->GetSecurity(DACL_SECURITY_INFORMATION, &read, TRUE)) << "no default security";

    // A new owner and a list that lets everyone only query the process.
    core::LocalMemory<PSECURITY_DESCRIPTOR> written;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;;0x400;;;WD)", SDDL_REVISION_1,
                                                                     written.Put(), nullptr));
    ASSERT_EQ(S_OK, information->SetSecurity(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, written.Get()));
    EXPECT_EQ(L"O:BAD:(A;;0x400;;;WD)", SecurityText(information));
    EXPECT_FALSE(core::KernelHandle{OpenProcess(PROCESS_TERMINATE, FALSE, child.processId())});
    EXPECT_EQ(0u, information->Release());

    // Refusals come back as HRESULTs of the platform's codes.
    core::KernelHandle weak{OpenProcess(SYNCHRONIZE, FALSE, child.processId())};
    auto* refused = new SecurityInformation(weak.Get(), OBJECT_PROCESS, L"child", 0);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), refused->GetSecurity(DACL_SECURITY_INFORMATION, &read, FALSE));
    EXPECT_EQ(0u, refused->Release());

    // Read-only unless the list may be changed; the owner too unless it may be taken.
    EXPECT_EQ(0x11u, security::EditorFlags(WRITE_OWNER | WRITE_DAC));
    EXPECT_EQ(0x53u, security::EditorFlags(WRITE_DAC | ACCESS_SYSTEM_SECURITY));
    EXPECT_EQ(0x19u, security::EditorFlags(READ_CONTROL));
}

// An editor as the tests play it: it reads what the object says and may keep
// a reference past its return, as an editor on another thread would.
struct SeenByEditor {
    SI_OBJECT_INFO info = {};
    std::wstring name;
    ISecurityInformation* kept = nullptr;
    bool keep = false;
    int calls = 0;
} seen;

BOOL WINAPI FakeEditSecurity(HWND, void* object)
{
    auto* information = static_cast<ISecurityInformation*>(object);
    ++seen.calls;
    information->GetObjectInformation(&seen.info);
    seen.name = seen.info.pszObjectName;
    if (seen.keep) {
        information->AddRef();
        seen.kept = information;
    }
    return TRUE;
}

class EditorCommand : public SelectedRowTest {
protected:
    void SetUp() override
    {
        SelectedRowTest::SetUp();
        seen = SeenByEditor();
        ui::platform.editSecurityFn = FakeEditSecurity;
    }
    void Edit(uint32_t kind, DWORD id) { Run(kind, id, CMD_EDIT_SECURITY); }
};

TEST_F(EditorCommand, TheObjectOutlivesTheCallWhileTheEditorHoldsIt)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    seen.keep = true;
    {
        core::KernelHandle handle{OpenProcess(READ_CONTROL | WRITE_DAC, FALSE, child.processId())};
        EXPECT_EQ(1u, security::EditObjectSecurity(nullptr, handle.Get(), OBJECT_PROCESS,
                                                   L"a name of thirty-two characters.", 0x51));
    }
    EXPECT_EQ(0x51u, seen.info.dwFlags);
    EXPECT_EQ(L"a name of thirty-two characters", seen.name) << "31 characters and the end";
    // Past the call and the caller's handle, the object still answers.
    EXPECT_NE(L"", SecurityText(seen.kept));
    EXPECT_EQ(0u, seen.kept->Release());

    // Security Details opens it on the selected row, with the probed rights.
    seen = SeenByEditor();
    Edit(model::isProcess, child.processId());
    EXPECT_EQ(L"test_child.exe", seen.name);
    EXPECT_EQ(0x13u, seen.info.dwFlags) << "every right, audits included";
    Edit(model::isThread, child.threadId());
    EXPECT_EQ(2, seen.calls);

    // Without OpenThread, with id 0, for a process that cannot be opened, or
    // without an editor: no editor.
    ui::platform.openThreadFn = nullptr;
    Edit(model::isThread, child.threadId());
    Edit(model::isProcess, 0);
    Edit(model::isProcess, 0xFFFFFFF0u);
    ui::platform.editSecurityFn = nullptr;
    Edit(model::isProcess, child.processId());
    EXPECT_EQ(2, seen.calls);
}

} // namespace
