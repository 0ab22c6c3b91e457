// winprobe: waits for a top-level window of a class, syncs with its thread's message loop and reports its state.
//
// Usage: winprobe CLASS TIMEOUT_MS
// Prints one line "visible=V text=<window text> rect=L,T,R,B" and exits 0; exits 2 when no window of
// CLASS appears within TIMEOUT_MS, 3 when the window's thread does not answer within TIMEOUT_MS.
//
// The sync: a message sent from another thread is delivered only when the receiving thread retrieves
// messages, so once SendMessageTimeoutA returns, the owner has reached its message loop (or a modal
// loop); whatever it did to the window before that (for example hiding it) has happened.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: winprobe CLASS TIMEOUT_MS\n");
        return 1;
    }
    const char *cls = argv[1];
    DWORD timeout = (DWORD)strtoul(argv[2], 0, 10);
    DWORD start = GetTickCount();
    HWND w = 0;
    while (!(w = FindWindowA(cls, 0))) {
        if (GetTickCount() - start > timeout)
            return 2;
        Sleep(10);
    }
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &answer))
        return 3;
    char text[512] = "";
    GetWindowTextA(w, text, sizeof text);
    RECT r = {0, 0, 0, 0};
    GetWindowRect(w, &r);
    printf("visible=%d text=%s rect=%ld,%ld,%ld,%ld\n", IsWindowVisible(w) ? 1 : 0, text,
           r.left, r.top, r.right, r.bottom);
    fflush(stdout);
    return 0;
}
