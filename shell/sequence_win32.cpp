// The install sequence, run once from the splash window's start timer.
#include "shell/installer.h"

char SaverFileName[260];
char DataFolder[260];
char MissingMediaTypes[256];
HWND InstallDialog;

void RunInstallSequence(HWND splash) {
    KillTimer(splash, StartTimerId);
    SetClassLongPtrA(splash, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    // The checks, dialogs and the installation itself come here.
    DestroyWindow(splash);
}
