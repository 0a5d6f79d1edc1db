#include "core/Report.h"

#include "core/WideString.h"
#include "resources/resource.h"

namespace core {

namespace {

// Both locks exist from before the entry point until process exit; the report
// lock is deleted first.
struct ProcessLocks {
    CRITICAL_SECTION reportLock;
    CRITICAL_SECTION loadGeneratorLock;
    int reportDepth = 0;

    ProcessLocks()
    {
        InitializeCriticalSection(&reportLock);
        InitializeCriticalSection(&loadGeneratorLock);
    }
    ~ProcessLocks()
    {
        DeleteCriticalSection(&reportLock);
        DeleteCriticalSection(&loadGeneratorLock);
    }
};

ProcessLocks locks;

} // namespace

CRITICAL_SECTION& LoadGeneratorLock()
{
    return locks.loadGeneratorLock;
}

int ReportFailure(HWND owner, const wchar_t* operation, const wchar_t* detail, const wchar_t* kind,
                  uint32_t code, uint32_t style)
{
    WideString operationText(operation);
    WideString detailText(detail);
    WideString kindText(kind);

    int result = 0;
    EnterCriticalSection(&locks.reportLock);
    // The critical section is recursive, so a report made on this thread from
    // inside the box's own message loop gets here and is dropped.
    if (locks.reportDepth++ == 0) {
        WideString message;
        message.FormatResource(IDS_REPORT_FORMAT, operationText.Chars(), kindText.Chars(), code,
                               static_cast<int>(code), detailText.Chars());
        WideString caption(IDS_ERROR_CAPTION, nullptr);
        // A box for an owner that is already gone would not be shown at all.
        if (owner && !IsWindow(owner))
            owner = nullptr;
        result = MessageBoxW(owner, message.Chars(), caption.Chars(), style | MB_TASKMODAL);
    }
    --locks.reportDepth;
    LeaveCriticalSection(&locks.reportLock);
    return result;
}

int ReportWin32Failure(HWND owner, const wchar_t* operation, uint32_t code, uint32_t style)
{
    if (code == 0)
        code = GetLastError();
    WideString detail;
    // Without arguments the inserts ("%1") must be left as they are: reading
    // them would fail, or on some systems read through a null pointer.
    detail.FormatSystemMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                               nullptr);
    return ReportFailure(owner, operation, detail.text ? detail.text : L"", TextId(IDS_KIND_WIN32),
                         code, style);
}

} // namespace core
