// The installer's entry point: mode from the command line, the splash window, the one message loop.
#include "shell/installer.h"

#include "shell/command_line.h"

int InstallMode = InteractiveMode;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    InstallMode = ParseInstallMode(commandLine);

    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SplashWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_WAIT);
    windowClass.lpszClassName = "LQWInstallClass";
    if (!RegisterClassA(&windowClass)) return 0;

    RECT workArea = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    HWND splash = CreateWindowExA(0, "LQWInstallClass", "TITLE", WS_POPUP | WS_VISIBLE, workArea.left,
                                  workArea.top, workArea.right - workArea.left, workArea.bottom - workArea.top,
                                  NULL, NULL, instance, NULL);
    if (!splash) return 0;

    ShowWindow(splash, InstallMode == InteractiveMode ? showCommand : SW_HIDE);
    UpdateWindow(splash);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
