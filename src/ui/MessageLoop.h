// The message loop's one step, and the modeless dialogs it offers messages to
// first: the one that is active, and the Load Generator while it is open.
#pragma once

#include <windows.h>

namespace ui {

struct MessageLoopState {
    HACCEL accelerators = nullptr; // of the main window
    HWND activeModelessDialog = nullptr;
    HWND loadGeneratorDialog = nullptr;
};

extern MessageLoopState messageLoop;

void SetAccelerators(HACCEL accelerators);
// A modeless dialog's WM_ACTIVATE: it gets the keyboard messages while active.
void NoteDialogActivation(HWND dialog, bool active);
void RegisterLoadGenerator(HWND dialog);
// A modeless dialog's WM_DESTROY: nothing goes on naming it.
void ForgetDialog(HWND dialog);

// One step of the message loop: modeless dialog, accelerators, dispatch.
void PumpMessage(MSG& message);

} // namespace ui
