#include "ui/MessageLoop.h"

#include "ui/Platform.h"

namespace ui {

MessageLoopState messageLoop;

void SetAccelerators(HACCEL accelerators)
{
    messageLoop.accelerators = accelerators;
}

void NoteDialogActivation(HWND dialog, bool active)
{
    if (active)
        messageLoop.activeModelessDialog = dialog;
    else if (messageLoop.activeModelessDialog == dialog)
        messageLoop.activeModelessDialog = nullptr;
}

void RegisterLoadGenerator(HWND dialog)
{
    messageLoop.loadGeneratorDialog = dialog;
}

void ForgetDialog(HWND dialog)
{
    if (messageLoop.loadGeneratorDialog == dialog)
        messageLoop.loadGeneratorDialog = nullptr;
    if (messageLoop.activeModelessDialog == dialog)
        messageLoop.activeModelessDialog = nullptr;
}

void PumpMessage(MSG& message)
{
    HWND dialog = messageLoop.activeModelessDialog;
    if (dialog && IsDialogMessageW(dialog, &message))
        return;
    HWND main = platform.mainWindow;
    if (main && messageLoop.accelerators && TranslateAcceleratorW(main, messageLoop.accelerators, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace ui
