#include "actions/ObjectCommands.h"

#include "actions/Open.h"
#include "actions/Priority.h"
#include "core/Handles.h"
#include "model/Records.h"
#include "perf/PerfData.h"
#include "resources/resource.h"
#include "security/Editor.h"
#include "security/Summary.h"
#include "ui/Platform.h"

namespace actions {

namespace {

constexpr DWORD THREAD_TERMINATED_EXIT_CODE = 0xDEADBAAD;
// PROCESS_SET_LIMITED_INFORMATION, missing from some headers.
constexpr DWORD PROCESS_SET_LIMITED = 0x2000;

unsigned WithoutGrant(unsigned command)
{
    return command >= CMD_TERMINATE_PROCESS + GRANT_OFFSET ? command - GRANT_OFFSET : command;
}

bool IsProcessAction(unsigned command)
{
    switch (command) {
    case CMD_TERMINATE_PROCESS:
    case CMD_ENABLE_PROCESS_BOOST:
    case CMD_DISABLE_PROCESS_BOOST:
    case CMD_PRIORITY_CLASS_IDLE:
    case CMD_PRIORITY_CLASS_BELOW_NORMAL:
    case CMD_PRIORITY_CLASS_NORMAL:
    case CMD_PRIORITY_CLASS_ABOVE_NORMAL:
    case CMD_PRIORITY_CLASS_HIGH:
    case CMD_PRIORITY_CLASS_REALTIME:
        return true;
    }
    return false;
}

bool IsThreadAction(unsigned command)
{
    return command == CMD_ENABLE_THREAD_BOOST || command == CMD_DISABLE_THREAD_BOOST ||
           command == CMD_TERMINATE_THREAD ||
           (command >= CMD_THREAD_PRIORITY_FIRST && command <= CMD_THREAD_PRIORITY_LAST);
}

const model::InstanceRecord* SelectedLocal(uint32_t kind)
{
    const model::InstanceRecord* record = model::modelState.selectedRecord;
    return IsLocalRow(record, kind) ? record : nullptr;
}

} // namespace

bool IsLocalRow(const model::InstanceRecord* record, uint32_t kind)
{
    return record && record->Has(kind) && record->id != 0 && perf::IsLocalMachine();
}

bool IsProcessCommand(unsigned command)
{
    return IsProcessAction(WithoutGrant(command));
}

bool IsThreadCommand(unsigned command)
{
    return IsThreadAction(WithoutGrant(command));
}

void RunProcessCommand(HWND window, unsigned command)
{
    const model::InstanceRecord* record = SelectedLocal(model::isProcess);
    if (!record || !IsProcessCommand(command))
        return;
    unsigned action = WithoutGrant(command);
    // Asking for the set right asks for the limited one as well (Wine checks
    // both against the list), so both are granted; the same for threads.
    DWORD right = action == CMD_TERMINATE_PROCESS ? PROCESS_TERMINATE
                                                  : PROCESS_SET_INFORMATION | PROCESS_SET_LIMITED;
    core::KernelHandle process = OpenForAction(window, record->id, OpenProcess, IDS_OP_OPEN_PROCESS,
                                               command != action ? right : 0, IDS_OP_CHANGE_PROCESS_SECURITY);
    if (!process)
        return;
    if (action == CMD_TERMINATE_PROCESS) {
        if (!TerminateProcess(process.Get(), 0))
            ReportLastError(window, IDS_OP_TERMINATE_PROCESS);
        return;
    }
    PerformProcessPriorityCommand(window, process.Get(), action);
}

void RunThreadCommand(HWND window, unsigned command)
{
    const model::InstanceRecord* record = SelectedLocal(model::isThread);
    if (!ui::platform.openThreadFn || !record || !IsThreadCommand(command))
        return;
    unsigned action = WithoutGrant(command);
    DWORD right = action == CMD_TERMINATE_THREAD ? THREAD_TERMINATE
                                                 : THREAD_SET_INFORMATION | THREAD_SET_LIMITED_INFORMATION;
    core::KernelHandle thread = OpenForAction(window, record->id, ui::platform.openThreadFn, IDS_OP_OPEN_THREAD,
                                              command != action ? right : 0, IDS_OP_CHANGE_THREAD_SECURITY);
    if (!thread)
        return;
    if (action == CMD_TERMINATE_THREAD) {
        if (!TerminateThread(thread.Get(), THREAD_TERMINATED_EXIT_CODE))
            ReportLastError(window, IDS_OP_TERMINATE_THREAD);
        return;
    }
    PerformThreadPriorityCommand(window, thread.Get(), action);
}

void EditSelectedSecurity(HWND window)
{
    const model::InstanceRecord* record = model::modelState.selectedRecord;
    if (!IsLocalRow(record, model::isProcess | model::isThread))
        return;
    DWORD mask = 0;
    core::KernelHandle object;
    unsigned type = 0;
    if (record->Has(model::isProcess)) {
        object = OpenProcessProbed(record->id, mask);
        type = security::OBJECT_PROCESS;
    } else if (record->Has(model::isThread) && ui::platform.openThreadFn) {
        object = OpenThreadProbed(record->id, mask);
        type = security::OBJECT_THREAD;
    }
    if (object)
        security::EditObjectSecurity(window, object.Get(), type, record->label, security::EditorFlags(mask));
}

} // namespace actions
