// holdopen: opens a file without sharing and keeps it open, as a running program holds its own file.
//
// Usage: holdopen PATH SECONDS
// Creates PATH if needed, opens it with no sharing, prints "open" and waits SECONDS (a bound, so a
// forgotten holder ends by itself). Exits 0, or 1 when the file cannot be opened.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: holdopen PATH SECONDS\n");
        return 1;
    }
    HANDLE f = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return 1;
    printf("open\n");
    fflush(stdout);
    Sleep((DWORD)strtoul(argv[2], 0, 10) * 1000);
    CloseHandle(f);
    return 0;
}
