// The license dialog (106), the ordering dialog (104) and the centring step they share.
#include "package/license_win32.h"
#include "shell/center.h"
#include "shell/installer.h"

namespace {
// A dialog ends only on a command whose whole wParam is 1 (IDOK) or 2 (IDCANCEL): a notification
// code in the upper 16 bits makes it a different command.
bool IsEndingCommand(WPARAM wParam) { return wParam == 1 || wParam == 2; }
}  // namespace

void CenterDialog(HWND dialog) {
    RECT frame;
    GetWindowRect(dialog, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    int x = CenteredOrigin(GetSystemMetrics(SM_CXSCREEN), width);
    int y = CenteredOrigin(GetSystemMetrics(SM_CYSCREEN), height);
    MoveWindow(dialog, x, y, width, height, FALSE);
}

INT_PTR CALLBACK LicenseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        HWND text = GetDlgItem(dialog, LicenseTextId);
        SetWindowTextA(text, reinterpret_cast<const char*>(lParam));  // up to the first zero byte
        CenterDialog(dialog);
        SetFocus(text);
        // Posted, not sent: the dialog manager selects the whole text when the edit gets the focus, and
        // this message arrives after that, leaving nothing selected once the dialog is shown.
        PostMessageA(text, EM_SETSEL, (WPARAM)-1, 0);
        return FALSE;  // the focus has been set here
    }
    case WM_COMMAND:
        if (!IsEndingCommand(wParam)) return FALSE;
        EndDialog(dialog, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK OrderingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog);
        return TRUE;  // the dialog manager focuses the first tab stop, the OK button
    case WM_COMMAND:
        if (!IsEndingCommand(wParam)) return FALSE;
        EndDialog(dialog, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}

int RunLicenseDialog(HINSTANCE module) {
    LicenseText license;
    if (!ReadLicenseText(&license)) return 1;  // no license: go on as if accepted
    // No owner: the dialog stands on its own, also in silent mode where the splash window is hidden.
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(LicenseDialogId), NULL, LicenseDialogProc,
                                     reinterpret_cast<LPARAM>(license.Text));
    ReleaseLicenseText(&license);
    return result == 1 ? 1 : 0;  // Decline, Escape, the close box and a failed dialog all stop
}
