// recordrun: a stand-in for a program the installer starts (an uninstaller, a saver, a web browser).
//
// Appends one line to "<its own path>.ran": the command line after the program's name, as the program
// received it. Shows nothing and exits 0 at once.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main()
{
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    strcat(path, ".ran");
    const char *line = GetCommandLineA();
    // Skip the program's own name, quoted or not.
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line ? line + 1 : "";
    } else {
        while (*line && *line != ' ') ++line;
    }
    while (*line == ' ') ++line;
    FILE *f = fopen(path, "ab");
    if (!f) return 1;
    fprintf(f, "%s\r\n", line);
    fclose(f);
    return 0;
}
