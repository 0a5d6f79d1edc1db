#include "actions/Debugger.h"

#include "actions/ObjectCommands.h"
#include "actions/Open.h"
#include "core/AccessRights.h"
#include "core/Handles.h"
#include "model/Records.h"
#include "resources/resource.h"
#include "ui/MessageLoop.h"
#include "ui/Platform.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace actions {

namespace {

constexpr DWORD DEBUGGER_TEXT_LENGTH = 255;
constexpr int MAX_DEBUGGER_CONVERSIONS = 2;
// The full set of this system, with the limited query and set rights: the
// system asks for those too when query or set is asked for, and a debugger
// opens the process with all of them.
constexpr DWORD DEBUG_RIGHTS = core::FULL_PROCESS_ACCESS;

bool IsFormatFlag(wchar_t c)
{
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0';
}

// A command line holds at most this many characters, its end included.
constexpr uint32_t COMMAND_LINE_CHARS = 32768;
// The most characters a 32-bit integer takes without a field width.
constexpr uint32_t INTEGER_CHARS = 11;

enum class Conversion { none, integer, pointer };

// Reads one conversion after its '%': an integer one that takes one 32-bit
// argument (with flags and a width, which goes into `width`), or a plain %p.
Conversion ReadConversion(const wchar_t*& p, uint32_t& width)
{
    if (*p == L'p') {
        ++p;
        return Conversion::pointer;
    }
    while (IsFormatFlag(*p))
        ++p;
    width = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
        width = std::min<uint32_t>(width * 10 + (*p - L'0'), COMMAND_LINE_CHARS);
    if (*p == L'l')
        ++p;
    if (*p != L'd' && *p != L'u' && *p != L'x')
        return Conversion::none;
    ++p;
    return Conversion::integer;
}

// The registered text as the format the command line is made with: the
// pointer conversion some registrations end with is written as the digit 0,
// since there is no debug-information block to hand over. Empty when the text
// is not a safe format.
core::WideString CommandFormat(const wchar_t* registered)
{
    std::wstring format;
    int integers = 0;
    bool pointer = false;
    uint64_t longest = 0; // of the command line, every field at its widest
    const wchar_t* literal = registered;
    for (const wchar_t* p = registered; *p;) {
        if (*p++ != L'%') {
            ++longest;
            continue;
        }
        if (*p == L'%') {
            ++p;
            ++longest;
            continue;
        }
        const wchar_t* start = p - 1;
        uint32_t width = 0;
        Conversion c = ReadConversion(p, width);
        // Integers first, at most two of them, then at most one pointer.
        if (c == Conversion::integer && !pointer && ++integers <= MAX_DEBUGGER_CONVERSIONS) {
            longest += std::max(width, INTEGER_CHARS);
        } else if (c == Conversion::pointer && !pointer && integers == MAX_DEBUGGER_CONVERSIONS) {
            pointer = true;
            format.append(literal, start).append(L"0");
            literal = p;
            ++longest;
        } else {
            return core::WideString();
        }
    }
    if (longest >= COMMAND_LINE_CHARS)
        return core::WideString();
    format.append(literal);
    return core::WideString(format.c_str());
}

struct StartedDebugger {
    core::KernelHandle process, thread;
};

// The registered format was checked to read nothing but these two 32-bit
// values; a handle's value fits in 32 bits even in a 64-bit process.
StartedDebugger StartDebugger(const core::WideString& format, DWORD processId, HANDLE event)
{
    core::WideString commandLine;
    commandLine.Format(format.Chars(), processId, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(event)));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    wchar_t desktop[] = L"Winsta0\\Default";
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION started = {};
    // Inheriting handles hands the debugger the event.
    if (!commandLine.text || !CreateProcessW(nullptr, commandLine.text, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                             &startup, &started))
        return {};
    return {core::KernelHandle(started.hProcess), core::KernelHandle(started.hThread)};
}

// Runs the messages until the event is signalled or the debugger's process
// or first thread ends. A quit request ends the wait too and is posted again,
// for the loop below this one, up to the main loop.
void RunWaitLoop(HANDLE event, const StartedDebugger& debugger)
{
    const HANDLE handles[] = {event, debugger.process.Get(), debugger.thread.Get()};
    const DWORD count = sizeof(handles) / sizeof(handles[0]);
    while (MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + count) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ui::PumpMessage(message);
        }
    }
}

void WaitWithDialog(HWND window, HANDLE event, const StartedDebugger& debugger, const wchar_t* processName)
{
    HWND dialog = CreateDialogParamW(ui::platform.instance, MAKEINTRESOURCEW(IDD_DEBUG_WAIT), window,
                                     WaitForDebuggerDialog, reinterpret_cast<LPARAM>(event));
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        core::WideString text;
        text.FormatResource(IDS_WAITING_FOR_DEBUGGER, processName);
        SetDlgItemTextW(dialog, IDC_DEBUG_WAIT_TEXT, text.Chars());
    }
    RunWaitLoop(event, debugger);
    // Gone already when its owner, the main window, was closed during the wait.
    if (dialog && IsWindow(dialog))
        DestroyWindow(dialog);
}

} // namespace

bool IsSafeDebuggerFormat(const wchar_t* format)
{
    return CommandFormat(format).Length() != 0;
}

core::WideString ReadRegisteredDebugger()
{
    wchar_t text[DEBUGGER_TEXT_LENGTH] = {};
    GetProfileStringW(L"AeDebug", L"Debugger", L"", text, DEBUGGER_TEXT_LENGTH);
    return text[0] ? CommandFormat(text) : core::WideString();
}

void LaunchDebugger(HWND window, unsigned command)
{
    const model::InstanceRecord* record = model::modelState.selectedRecord;
    bool debugCommand = command == CMD_DEBUG_PROCESS || command == CMD_DEBUG_PROCESS + GRANT_OFFSET;
    if (!debugCommand || !IsLocalRow(record, model::isProcess))
        return;
    // A failure box runs messages, and a refresh then rebuilds the records.
    DWORD processId = record->id;
    core::WideString processName(record->label);
    // The grant form adds every process right for the debugger to use; the
    // handle that did it is not needed after.
    if (command != CMD_DEBUG_PROCESS && !OpenForAction(window, processId, OpenProcess, IDS_OP_OPEN_PROCESS,
                                                       DEBUG_RIGHTS, IDS_OP_CHANGE_PROCESS_SECURITY))
        return;
    core::WideString registered = ReadRegisteredDebugger();
    if (!registered.Length())
        return;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    // Without the event the debugger still starts; there is then nothing to wait for.
    core::KernelHandle event{CreateEventW(&inheritable, TRUE, FALSE, nullptr)};
    StartedDebugger debugger = StartDebugger(registered, processId, event.Get());
    if (event && debugger.process)
        WaitWithDialog(window, event.Get(), debugger, processName.Chars());
}

namespace {

// Cancel ends the wait as the debugger's signal would.
void OnWaitCancelled(HWND dialog)
{
    HANDLE event = reinterpret_cast<HANDLE>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (event)
        SetEvent(event);
}

} // namespace

INT_PTR CALLBACK WaitForDebuggerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            OnWaitCancelled(dialog);
        return TRUE;
    case WM_NCHITTEST:
        // The whole dialog drags like a caption.
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, HTCAPTION);
        return TRUE;
    case WM_ACTIVATE:
        ui::NoteDialogActivation(dialog, LOWORD(wParam) != WA_INACTIVE);
        return TRUE;
    case WM_DESTROY:
        ui::ForgetDialog(dialog);
        return TRUE;
    }
    return FALSE;
}

} // namespace actions
