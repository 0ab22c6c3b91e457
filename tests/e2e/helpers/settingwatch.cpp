// settingwatch: runs a program and logs every font-smoothing change that is announced while it runs.
//
// Usage: settingwatch LOGFILE PROGRAM [ARGUMENTS...]
// Creates a hidden top-level window, starts PROGRAM with the arguments, and until PROGRAM ends
// appends one line per WM_SETTINGCHANGE with wParam SPI_SETFONTSMOOTHING to LOGFILE:
// "fontsmoothing=V", V being the user's stored setting at that moment, the value FontSmoothing of
// HKCU\Control Panel\Desktop ("-" when it is missing). The first line is "start fontsmoothing=V",
// the last "end fontsmoothing=V exit=CODE". Exits with PROGRAM's exit code, or 120 when the window,
// the log or the process cannot be created.
//
// The stored value is read rather than SPI_GETFONTSMOOTHING because Wine caches system parameters
// per process: this process would keep reporting the value it read first.
//
// Announcements are sent to every top-level window, hidden ones too, and the sender waits for each
// answer, so when PROGRAM has ended every change it announced is in the log.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static FILE *Log;

// The stored font-smoothing setting as text, or "-" when it cannot be read.
static const char *SmoothingNow()
{
    static char value[64];
    DWORD size = sizeof value - 1, type = 0;
    HKEY key;
    strcpy(value, "-");
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    if (RegQueryValueExA(key, "FontSmoothing", 0, &type, (BYTE *)value, &size) != ERROR_SUCCESS || type != REG_SZ)
        strcpy(value, "-");
    else
        value[size] = 0;
    RegCloseKey(key);
    return value;
}

static LRESULT CALLBACK WatchProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SETTINGCHANGE && wp == SPI_SETFONTSMOOTHING) {
        fprintf(Log, "fontsmoothing=%s\n", SmoothingNow());
        fflush(Log);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

// Appends ARG to CMD quoted the way the C start-up code splits it again.
static void AppendArgument(char *cmd, size_t size, const char *arg)
{
    size_t n = strlen(cmd);
    if (n && n + 1 < size)
        cmd[n++] = ' ';
    bool quote = !*arg || strpbrk(arg, " \t\"") != 0;
    if (quote && n + 1 < size)
        cmd[n++] = '"';
    for (const char *p = arg; *p && n + 2 < size; p++) {
        if (*p == '"')
            cmd[n++] = '\\';
        cmd[n++] = *p;
    }
    if (quote && n + 1 < size)
        cmd[n++] = '"';
    cmd[n] = 0;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: settingwatch LOGFILE PROGRAM [ARGUMENTS...]\n");
        return 120;
    }
    Log = fopen(argv[1], "w");
    if (!Log)
        return 120;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WatchProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = "LQTestSettingWatch";
    if (!RegisterClassA(&wc))
        return 120;
    HWND w = CreateWindowExA(0, wc.lpszClassName, "settingwatch", WS_POPUP, 0, 0, 1, 1, 0, 0, wc.hInstance, 0);
    if (!w)
        return 120;
    fprintf(Log, "start fontsmoothing=%s\n", SmoothingNow());
    fflush(Log);

    static char cmd[32768];
    for (int i = 2; i < argc; i++)
        AppendArgument(cmd, sizeof cmd, argv[i]);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[2], cmd, 0, 0, FALSE, 0, 0, 0, &si, &pi))
        return 120;
    CloseHandle(pi.hThread);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Answer whatever is still queued before the process ended.
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DWORD code = 120;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    fprintf(Log, "end fontsmoothing=%s exit=%lu\n", SmoothingNow(), code);
    fclose(Log);
    DestroyWindow(w);
    return (int)code;
}
