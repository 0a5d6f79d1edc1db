#include "ui/Platform.h"

#include "core/Handles.h"
#include "core/Module.h"

namespace ui {

PlatformState platform;

void ProbePlatform(HINSTANCE instance)
{
    platform.instance = instance;
    DWORD version = GetVersion();
    platform.isWindows2000OrLater = (version & 0x80000000) == 0 && LOBYTE(LOWORD(version)) >= 5;
    platform.openThreadFn = core::FindExport<OpenThreadFunction>(GetModuleHandleW(L"KERNEL32"), "OpenThread");
    HMODULE user = GetModuleHandleW(L"USER32");
    platform.dpiForWindowFn = core::FindExport<DpiForWindowFunction>(user, "GetDpiForWindow");
    platform.metricForDpiFn = core::FindExport<MetricForDpiFunction>(user, "GetSystemMetricsForDpi");
    platform.messageFilterFn = core::FindExport<MessageFilterFunction>(user, "ChangeWindowMessageFilterEx");
    platform.aclUiModule = core::LoadSystemLibrary(L"aclui.dll");
    platform.editSecurityFn = core::FindExport<EditSecurityFunction>(platform.aclUiModule, "EditSecurity");
}

void ReleasePlatform()
{
    platform.editSecurityFn = nullptr;
    if (platform.aclUiModule)
        FreeLibrary(platform.aclUiModule);
    platform.aclUiModule = nullptr;
}

void SetMainWindow(HWND window)
{
    platform.mainWindow = window;
}

} // namespace ui
