// Named sets of process and thread rights, as the platform's headers of the
// first NT systems defined them and as the later ones do.
#pragma once

#include <windows.h>

namespace core {

// PROCESS_ALL_ACCESS and THREAD_ALL_ACCESS before the limited rights were
// added; the access-control editor and the menu's Debug item speak of these.
constexpr DWORD CLASSIC_PROCESS_ALL_ACCESS = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x0FFF;
constexpr DWORD CLASSIC_THREAD_ALL_ACCESS = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x03FF;
// Every process right of today's systems, the limited ones included: what a
// debugger opening the process asks for.
constexpr DWORD FULL_PROCESS_ACCESS = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFFF;

static_assert(CLASSIC_PROCESS_ALL_ACCESS == 0x1F0FFF && CLASSIC_THREAD_ALL_ACCESS == 0x1F03FF &&
              FULL_PROCESS_ACCESS == 0x1FFFFF);

// What reading, writing and executing a process mean to its access list.
constexpr DWORD PROCESS_READ_RIGHTS = READ_CONTROL | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION;
constexpr DWORD PROCESS_WRITE_RIGHTS = READ_CONTROL | PROCESS_TERMINATE | PROCESS_CREATE_THREAD |
                                       PROCESS_SET_SESSIONID | PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                                       PROCESS_DUP_HANDLE | PROCESS_CREATE_PROCESS | PROCESS_SET_QUOTA |
                                       PROCESS_SET_INFORMATION | PROCESS_SUSPEND_RESUME;
constexpr DWORD EXECUTE_RIGHTS = SYNCHRONIZE | READ_CONTROL;
// Changing an object's security: its owner, its access list, or deleting it.
constexpr DWORD CHANGE_SECURITY_RIGHTS = WRITE_OWNER | WRITE_DAC | DELETE;

static_assert(PROCESS_READ_RIGHTS == 0x020410 && PROCESS_WRITE_RIGHTS == 0x020BEF && EXECUTE_RIGHTS == 0x120000 &&
              CHANGE_SECURITY_RIGHTS == 0x0D0000);

} // namespace core
