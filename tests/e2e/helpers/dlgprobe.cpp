// dlgprobe: waits for a dialog or message box by its caption, reports its window and controls, and
// optionally acts on it.
//
// Usage: dlgprobe CAPTION TIMEOUT_MS [contains=TEXT] [ACTION]
// Waits for a visible top-level dialog (class #32770) whose caption is exactly CAPTION and, when
// contains= is given, one of whose controls' texts holds TEXT; syncs with its thread's message loop
// (a sent WM_NULL is answered only once that thread retrieves messages) and prints:
//   window rect=L,T,R,B client=X,Y,W,H units=BX,BY focus=ID
//   control id=ID class=CLASS style=0xSTYLE rect=L,T,R,B sel=S,E text=TEXT    (one per child)
// Rects of controls are in the dialog's client coordinates, the window rect in screen coordinates;
// client gives the client area's screen origin and size. units are the dialog base units of
// "MS Sans Serif" 8 at this screen's resolution, computed as the dialog manager does (average width
// of the 52 letters, rounded; character height), so a template rect converts as MulDiv(x, BX, 4),
// MulDiv(y, BY, 8). focus is the control id of the dialog thread's focus window (0 when none). sel is
// EM_GETSEL's start and end for edit controls, "-" otherwise. Texts escape backslash, CR and LF as
// \\, \r and \n. ACTION, done after printing, is sent (not posted), so when dlgprobe exits the
// dialog procedure has handled it; a dialog it ends is hidden by then:
//   close        WM_SYSCOMMAND SC_CLOSE (what the close box does)
//   command=N    WM_COMMAND with wParam N (decimal or 0x hex) and lParam 0
// Exits 0; 2 when no such window appears within TIMEOUT_MS; 3 when its thread does not answer.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *Caption;
static const char *Needle;
static HWND Found;

static void PrintEscaped(const char *text)
{
    for (const char *c = text; *c; ++c) {
        if (*c == '\\')
            fputs("\\\\", stdout);
        else if (*c == '\r')
            fputs("\\r", stdout);
        else if (*c == '\n')
            fputs("\\n", stdout);
        else
            putchar(*c);
    }
}

static BOOL CALLBACK HasNeedle(HWND child, LPARAM found)
{
    char text[4096] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 1000, &length))
        text[0] = 0;
    text[sizeof text - 1] = 0;
    if (strstr(text, Needle)) {
        *(BOOL *)found = TRUE;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK Candidate(HWND w, LPARAM unused)
{
    char cls[64] = "", text[512] = "";
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    if (strcmp(cls, "#32770") || strcmp(text, Caption) || !IsWindowVisible(w))
        return TRUE;
    if (Needle) {
        BOOL found = FALSE;
        EnumChildWindows(w, HasNeedle, (LPARAM)&found);
        if (!found)
            return TRUE;
    }
    Found = w;
    return FALSE;
}

// The base units of the dialogs' font, the way the dialog manager derives them.
static void BaseUnits(int *x, int *y)
{
    HDC dc = GetDC(0);
    HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_DONTCARE, FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE,
                             "MS Sans Serif");
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SIZE size;
    GetTextExtentPointA(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    *x = (size.cx / 26 + 1) / 2;
    *y = tm.tmHeight;
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(0, dc);
}

static BOOL CALLBACK PrintControl(HWND child, LPARAM dialog)
{
    if (GetParent(child) != (HWND)dialog)
        return TRUE;
    static char text[70000];
    char cls[64] = "";
    GetClassNameA(child, cls, sizeof cls);
    // WM_GETTEXT itself: GetWindowTextA does not ask a control of another process for its text.
    DWORD_PTR length = 0;
    text[0] = 0;
    if (!SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 5000, &length))
        text[0] = 0;
    text[sizeof text - 1] = 0;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(0, (HWND)dialog, (POINT *)&r, 2);
    int id = GetDlgCtrlID(child);
    printf("control id=%d class=%s style=0x%08lx rect=%ld,%ld,%ld,%ld sel=", (short)id, cls,
           (unsigned long)GetWindowLongA(child, GWL_STYLE), r.left, r.top, r.right, r.bottom);
    if (!lstrcmpiA(cls, "Edit")) {
        DWORD sel = (DWORD)SendMessageA(child, EM_GETSEL, 0, 0);
        printf("%u,%u", LOWORD(sel), HIWORD(sel));
    } else {
        putchar('-');
    }
    fputs(" text=", stdout);
    PrintEscaped(text);
    putchar('\n');
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: dlgprobe CAPTION TIMEOUT_MS [contains=TEXT] [close|command=N]\n");
        return 1;
    }
    Caption = argv[1];
    DWORD timeout = (DWORD)strtoul(argv[2], 0, 10);
    const char *action = 0;
    for (int i = 3; i < argc; ++i) {
        if (!strncmp(argv[i], "contains=", 9))
            Needle = argv[i] + 9;
        else
            action = argv[i];
    }
    DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(Candidate, 0);
        if (Found)
            break;
        if (GetTickCount() - start > timeout)
            return 2;
        Sleep(10);
    }
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(Found, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &answer))
        return 3;

    RECT r, client;
    GetWindowRect(Found, &r);
    GetClientRect(Found, &client);
    POINT origin = {0, 0};
    ClientToScreen(Found, &origin);
    int bx, by;
    BaseUnits(&bx, &by);
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    int focus = 0;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(Found, 0), &info) && info.hwndFocus)
        focus = (short)GetDlgCtrlID(info.hwndFocus);
    printf("window rect=%ld,%ld,%ld,%ld client=%ld,%ld,%ld,%ld units=%d,%d focus=%d\n", r.left, r.top,
           r.right, r.bottom, origin.x, origin.y, client.right, client.bottom, bx, by, focus);
    EnumChildWindows(Found, PrintControl, (LPARAM)Found);
    fflush(stdout);

    if (action && !strcmp(action, "close"))
        SendMessageTimeoutA(Found, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, timeout, &answer);
    else if (action && !strncmp(action, "command=", 8))
        SendMessageTimeoutA(Found, WM_COMMAND, (WPARAM)strtoul(action + 8, 0, 0), 0, SMTO_NORMAL, timeout,
                            &answer);
    return 0;
}
