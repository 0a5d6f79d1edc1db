#include "security/Editor.h"

#include "app/AppState.h"
#include "app/Commands.h"
#include "model/Records.h"
#include "resources/resource.h"
#include "security/Summary.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

using namespace testing_support;
using security::OBJECT_PROCESS;
using security::OBJECT_THREAD;
using security::SecurityInformation;

constexpr GUID SECURITY_INFORMATION_ID = {0x965FC360, 0x16FF, 0x11D0, {0x91, 0xCB, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x23}};
constexpr GUID UNKNOWN_ID = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID OTHER_ID = {0xC3CCFDB4, 0x6F88, 0x11D2, {0xA3, 0xCE, 0x00, 0xC0, 0x4F, 0xB1, 0x78, 0x2A}};

TEST(Editor, ReferencesInterfacesRightsAndGenericMapping)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    auto* process = new SecurityInformation(child.process(), OBJECT_PROCESS, L"child", 0);
    ASSERT_TRUE(process->Valid());
    void* out = nullptr;
    EXPECT_EQ(S_OK, process->QueryInterface(UNKNOWN_ID, &out));
    EXPECT_EQ(S_OK, process->QueryInterface(SECURITY_INFORMATION_ID, &out));
    EXPECT_EQ(E_NOINTERFACE, process->QueryInterface(OTHER_ID, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(4u, process->AddRef());

    PSI_ACCESS entries = nullptr;
    ULONG count = 0, defaultEntry = 9;
    EXPECT_EQ(S_OK, process->GetAccessRights(nullptr, 0, &entries, &count, &defaultEntry));
    EXPECT_EQ(23u, count);
    EXPECT_EQ(0u, defaultEntry);
    ACCESS_MASK mask = GENERIC_READ | SYNCHRONIZE;
    process->MapGeneric(nullptr, nullptr, &mask);
    EXPECT_EQ(0x120410u, mask);

    for (ULONG expected : {3u, 2u, 1u, 0u})
        EXPECT_EQ(expected, process->Release());

    auto* thread = new SecurityInformation(child.process(), OBJECT_THREAD, L"t", 0);
    EXPECT_EQ(S_OK, thread->GetAccessRights(nullptr, 0, &entries, &count, &defaultEntry));
    EXPECT_EQ(18u, count);
    mask = GENERIC_ALL;
    thread->MapGeneric(nullptr, nullptr, &mask);
    EXPECT_EQ(0x1F03FFu, mask);
    mask = GENERIC_EXECUTE | GENERIC_WRITE;
    thread->MapGeneric(nullptr, nullptr, &mask);
    EXPECT_EQ(0x120000u, mask) << "a thread's write maps to nothing specific";
    EXPECT_EQ(0u, thread->Release());

    auto* other = new SecurityInformation(child.process(), 7, L"", 0);
    EXPECT_EQ(S_OK, other->GetAccessRights(nullptr, 0, &entries, &count, &defaultEntry));
    EXPECT_EQ(5u, count);
    EXPECT_EQ(0u, other->Release());
}

TEST(Editor, SecurityReadAndWrittenThroughTheObject)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    auto* information = new SecurityInformation(child.process(), OBJECT_PROCESS, L"child", 0);
    PSECURITY_DESCRIPTOR read = nullptr;
    EXPECT_EQ(E_FAIL, information->GetSecurity(DACL_SECURITY_INFORMATION, &read, TRUE));
    ASSERT_EQ(S_OK, information->GetSecurity(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &read, FALSE));
    core::LocalMemory<PSECURITY_DESCRIPTOR> before{read};

    // A new owner and a list that lets everyone only query the process.
    PSECURITY_DESCRIPTOR written = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;;0x400;;;WD)", SDDL_REVISION_1,
                                                                     &written, nullptr));
    core::LocalMemory<PSECURITY_DESCRIPTOR> newSecurity{written};
    ASSERT_EQ(S_OK, information->SetSecurity(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, written));

    ASSERT_EQ(S_OK, information->GetSecurity(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &read, FALSE));
    core::LocalMemory<PSECURITY_DESCRIPTOR> after{read};
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        read, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
    core::LocalMemory<wchar_t*> ownedText{text};
    EXPECT_STREQ(L"O:BAD:(A;;0x400;;;WD)", text);
    EXPECT_FALSE(core::KernelHandle{OpenProcess(PROCESS_TERMINATE, FALSE, child.processId())});

    // Put back what was there; a handle without the right is refused in HRESULT form.
    EXPECT_EQ(S_OK, information->SetSecurity(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, before.Get()));
    EXPECT_TRUE(core::KernelHandle{OpenProcess(PROCESS_TERMINATE, FALSE, child.processId())});
    EXPECT_EQ(0u, information->Release());

    core::KernelHandle weak{OpenProcess(SYNCHRONIZE, FALSE, child.processId())};
    auto* refused = new SecurityInformation(weak.Get(), OBJECT_PROCESS, L"child", 0);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), refused->SetSecurity(DACL_SECURITY_INFORMATION, written));
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), refused->GetSecurity(DACL_SECURITY_INFORMATION, &read, FALSE));
    EXPECT_EQ(0u, refused->Release());
    EXPECT_EQ(static_cast<HRESULT>(0x80004005), security::FromWin32(static_cast<LONG>(0x80004005)));
}

TEST(Editor, FlagsFollowTheProbedRights)
{
    const struct {
        DWORD mask, flags;
    } cases[] = {
        {WRITE_OWNER | WRITE_DAC, 0x11}, {WRITE_OWNER | ACCESS_SYSTEM_SECURITY, 0x13},
        {WRITE_DAC, 0x51},               {WRITE_DAC | ACCESS_SYSTEM_SECURITY, 0x53},
        {READ_CONTROL, 0x19},            {ACCESS_SYSTEM_SECURITY, 0x1B},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.flags, security::EditorFlags(c.mask)) << std::hex << c.mask;
}

// An editor as the tests play it: it reads what the object says and may keep
// a reference past its return, as an editor on another thread would.
struct SeenByEditor {
    HWND owner = nullptr;
    SI_OBJECT_INFO info = {};
    std::wstring name;
    ISecurityInformation* kept = nullptr;
    bool keep = false;
    int calls = 0;
};
SeenByEditor seen;

BOOL WINAPI FakeEditSecurity(HWND owner, void* object)
{
    auto* information = static_cast<ISecurityInformation*>(object);
    ++seen.calls;
    seen.owner = owner;
    information->GetObjectInformation(&seen.info);
    seen.name = seen.info.pszObjectName;
    if (seen.keep) {
        information->AddRef();
        seen.kept = information;
    }
    return TRUE;
}

class EditorCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen = SeenByEditor();
        app::state.editSecurityFn = FakeEditSecurity;
        app::state.openThreadFn = OpenThread;
    }
    void TearDown() override
    {
        app::state = app::AppState();
        model::state.selectedRecord = nullptr;
    }
};

TEST_F(EditorCommand, TheObjectOutlivesTheCallersHandleWhileTheEditorHoldsIt)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    HWND owner = GetDesktopWindow();
    seen.keep = true;
    {
        core::KernelHandle handle{OpenProcess(READ_CONTROL | WRITE_DAC, FALSE, child.processId())};
        EXPECT_EQ(1u, security::EditObjectSecurity(owner, handle.Get(), OBJECT_PROCESS,
                                                   L"a name of thirty-two characters.", 0x51));
    }
    EXPECT_EQ(owner, seen.owner);
    EXPECT_EQ(0x51u, seen.info.dwFlags);
    EXPECT_EQ(GetModuleHandleW(nullptr), seen.info.hInstance);
    EXPECT_EQ(L"a name of thirty-two characters", seen.name);
    // Past the call and the caller's handle, the object still answers.
    SI_OBJECT_INFO later = {};
    ASSERT_EQ(S_OK, seen.kept->GetObjectInformation(&later));
    EXPECT_STREQ(L"a name of thirty-two characters", later.pszObjectName);
    PSECURITY_DESCRIPTOR read = nullptr;
    EXPECT_EQ(S_OK, seen.kept->GetSecurity(DACL_SECURITY_INFORMATION, &read, FALSE));
    LocalFree(read);
    EXPECT_EQ(0u, seen.kept->Release());

    seen.keep = false;
    EXPECT_EQ(0u, security::EditObjectSecurity(owner, child.process(), OBJECT_PROCESS, L"x", 0x11));
    app::state.editSecurityFn = nullptr;
    EXPECT_EQ(0u, security::EditObjectSecurity(owner, child.process(), OBJECT_PROCESS, L"x", 0x11));
    EXPECT_EQ(2, seen.calls);
}

TEST_F(EditorCommand, SecurityDetailsOpensTheEditorOnTheSelectedRow)
{
    ChildProcess child;
    ASSERT_TRUE(child.started());
    model::InstanceRecord record;
    model::state.selectedRecord = &record;
    record.flags = model::isProcess;
    record.id = child.processId();
    model::CopyLabel(record.label, L"test_child.exe");
    app::DispatchCommand(nullptr, 0, CMD_EDIT_SECURITY, 0);
    ASSERT_EQ(1, seen.calls);
    EXPECT_EQ(L"test_child.exe", seen.name);
    EXPECT_EQ(0x13u, seen.info.dwFlags) << "every right, audits included";

    record.flags = model::isThread;
    record.id = child.threadId();
    app::DispatchCommand(nullptr, 0, CMD_EDIT_SECURITY, 0);
    EXPECT_EQ(2, seen.calls);

    // Without OpenThread, with id 0, or for a process that cannot be opened: no editor.
    app::state.openThreadFn = nullptr;
    app::DispatchCommand(nullptr, 0, CMD_EDIT_SECURITY, 0);
    record.flags = model::isProcess;
    record.id = 0;
    app::DispatchCommand(nullptr, 0, CMD_EDIT_SECURITY, 0);
    record.id = 0xFFFFFFF0u;
    app::DispatchCommand(nullptr, 0, CMD_EDIT_SECURITY, 0);
    EXPECT_EQ(2, seen.calls);
}

} // namespace
