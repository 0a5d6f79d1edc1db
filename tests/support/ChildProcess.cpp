#include "support/ChildProcess.h"

#include <sddl.h>

namespace testing_support {

std::wstring TestFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

namespace {

// Security attributes holding the descriptor made from `sddl`, or none.
struct Security {
    explicit Security(const wchar_t* sddl)
    {
        if (sddl && ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.Put(),
                                                                         nullptr))
            attributes.lpSecurityDescriptor = descriptor.Get();
    }
    SECURITY_ATTRIBUTES* Get() { return descriptor ? &attributes : nullptr; }

    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    core::LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
};

} // namespace

ChildProcess::ChildProcess(const wchar_t* sddl, const wchar_t* threadSddl)
{
    Security security(sddl), threadSecurity(threadSddl);
    if ((sddl && !security.Get()) || (threadSddl && !threadSecurity.Get()))
        return;
    std::wstring command = L"\"" + TestFolder() + L"test_child.exe\" " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, command.data(), security.Get(), threadSecurity.Get(), FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return;
    handle.Reset(info.hProcess);
    thread.Reset(info.hThread);
    id = info.dwProcessId;
    mainThreadId = info.dwThreadId;
}

ChildProcess::~ChildProcess()
{
    if (!handle)
        return;
    TerminateProcess(handle.Get(), 0);
    WaitForSingleObject(handle.Get(), 5000);
}

} // namespace testing_support
