// The frames in which the process and thread commands run: the selected row
// is opened, the needed right granted first for the grant-offset forms, the
// action performed, and every failure reported in a box.
#pragma once

#include "model/Records.h"

#include <windows.h>

namespace actions {

// Whether the row is one of `kind` (either flag, when both are given) with a
// real id on the local machine: another machine's ids name nothing here.
bool IsLocalRow(const model::InstanceRecord* record, uint32_t kind);

// Whether the command (with or without the grant offset) is one of the
// process commands of RunProcessCommand, or the thread ones.
bool IsProcessCommand(unsigned command);
bool IsThreadCommand(unsigned command);

// Act on the selected process or thread of the local machine; nothing
// happens for another machine, another kind of row or id 0.
void RunProcessCommand(HWND window, unsigned command);
void RunThreadCommand(HWND window, unsigned command);

// "Security Details": the platform's access-control editor on the selected
// process or thread of the local machine.
void EditSelectedSecurity(HWND window);

} // namespace actions
