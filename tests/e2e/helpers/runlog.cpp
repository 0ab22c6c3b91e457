// runlog: a stand-in program that records how it was started, used as the test saver and as the
// handler of http addresses.
//
// Appends one line to the file named after its own module path with ".log" added:
//   cmdline=<GetCommandLineA>|module=<long module path>|cwd=<current directory>|show=<wShowWindow>
// show is the show command it was started with (STARTUPINFO, -1 when none was given). Then exits 0.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char module[MAX_PATH] = "", longModule[MAX_PATH] = "", cwd[MAX_PATH] = "", log[MAX_PATH + 8];
    GetModuleFileNameA(0, module, sizeof module);
    if (!GetLongPathNameA(module, longModule, sizeof longModule))
        strcpy(longModule, module);
    GetCurrentDirectoryA(sizeof cwd, cwd);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    if (snprintf(log, sizeof log, "%s.log", longModule) >= (int)sizeof log)
        return 1;
    FILE *f = fopen(log, "ab");
    if (!f)
        return 1;
    fprintf(f, "cmdline=%s|module=%s|cwd=%s|show=%d\n", GetCommandLineA(), longModule, cwd, show);
    fclose(f);
    return 0;
}
