// boxtext: waits for a visible top-level window with an exact title and prints what it shows.
//
// Usage: boxtext TITLE TIMEOUT_MS
// Prints "owner=0|1 rect=L,T,R,B icon=WxH" (the size of the first static with SS_ICON, 0x0 when it has
// none or shows no image: a message box without an icon keeps the control, sized 0) and then one line
// per child control, in z order:
// "CLASS ID STYLE_HEX TEXT" (TEXT with CR and LF shown as \r and \n). A message box's text, its
// buttons and (as a static with SS_ICON) its icon can all be read from that. Exits 0, or 2 when no
// such window appears in time.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HWND Found;
static const char *Wanted;

static BOOL CALLBACK FindTop(HWND w, LPARAM)
{
    char text[1024];
    if (!IsWindowVisible(w)) return TRUE;
    GetWindowTextA(w, text, sizeof text);
    if (strcmp(text, Wanted) == 0) {
        Found = w;
        return FALSE;
    }
    return TRUE;
}

static void PrintEscaped(const char *s)
{
    for (; *s; ++s) {
        if (*s == '\r') fputs("\\r", stdout);
        else if (*s == '\n') fputs("\\n", stdout);
        else putchar(*s);
    }
}

static SIZE IconSize;
static bool IconSeen;

static BOOL CALLBACK FindIcon(HWND w, LPARAM)
{
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    if (!IconSeen && lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(w, GWL_STYLE) & 0x1F) == SS_ICON) {
        RECT r;
        GetWindowRect(w, &r);
        bool shown = IsWindowVisible(w) && SendMessageA(w, STM_GETICON, 0, 0) != 0;
        IconSize.cx = shown ? r.right - r.left : 0;
        IconSize.cy = shown ? r.bottom - r.top : 0;
        IconSeen = true;
    }
    return TRUE;
}

static BOOL CALLBACK PrintChild(HWND w, LPARAM)
{
    char cls[64], text[4096];
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    printf("%s %d %08lx ", cls, GetDlgCtrlID(w), (unsigned long)GetWindowLongA(w, GWL_STYLE));
    PrintEscaped(text);
    putchar('\n');
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: boxtext TITLE TIMEOUT_MS\n");
        return 1;
    }
    Wanted = argv[1];
    DWORD timeout = (DWORD)strtoul(argv[2], 0, 10), start = GetTickCount();
    while (EnumWindows(FindTop, 0), !Found) {
        if (GetTickCount() - start > timeout) return 2;
        Sleep(20);
    }
    RECT r;
    GetWindowRect(Found, &r);
    EnumChildWindows(Found, FindIcon, 0);
    printf("owner=%d rect=%ld,%ld,%ld,%ld icon=%ldx%ld\n", GetWindow(Found, GW_OWNER) != 0, r.left, r.top, r.right,
           r.bottom, IconSize.cx, IconSize.cy);
    EnumChildWindows(Found, PrintChild, 0);
    return 0;
}
