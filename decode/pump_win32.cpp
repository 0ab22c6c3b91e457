// PumpMessages for the installer: keeps the "Installing" dialog and the splash window painted and
// delivers a click on Cancel while a file is written.
#include "shell/installer.h"

#include "decode/checkpoint.h"

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageA(InstallDialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
