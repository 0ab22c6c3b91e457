// The sample screen saver aurora.scr: curtains of coloured light drifting over a starry sky, drawn with GDI.
//
// Usage (the screen-saver conventions): /s full screen, ending on a key, a click or a mouse move of
// more than a few pixels; /c[:HWND] a box telling where the settings are read from and what they are
// now; /p HWND draws into the given preview window until it goes away; no argument: as /s.
//
// Its title is its own file name without the extension, so an installer that names it "<title>.scr"
// gives it its title. Its settings come from "<title>.dat" in its data folder, the common application
// data folder + "\Tavimore LLC\Lumenquill\<title>\" (the folder the installer writes it to); a missing
// file leaves the defaults. The full-screen window has the class "LumenquillSaver" and the title as text.
//
// Frames are drawn into a 32-bit bitmap at half the window's size (cheap, and the soft bands lose
// nothing) and stretched onto the window, 25 times a second.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "samples/saver/options.h"

namespace {
const char WindowClass[] = "LumenquillSaver";
const UINT FrameTimer = 1;
const UINT FrameMilliseconds = 40;
const int MouseSlack = 4;  // pixels the mouse may move before the saver ends
const int MaxFrameWidth = 1024, MaxFrameHeight = 768;
const int MaxStars = 400;

char Title[MAX_PATH];
char SettingsPath[MAX_PATH];
bool SettingsFound;
SaverSettings Settings;
bool FullScreen;

// The frame: a top-down 32-bit DIB held in a fixed buffer, and the sky it starts from each time.
int FrameWidth, FrameHeight;
DWORD Frame[MaxFrameWidth * MaxFrameHeight];
DWORD Sky[MaxFrameWidth * MaxFrameHeight];
BITMAPINFO FrameInfo;
DWORD StartTick;

POINT MouseStart;
bool MouseSeen;

// ---- names and settings ----

// The title: the long form of our own file name, cut at its last dot.
void FindTitle() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    const char* name = "Screen Saver";
    WIN32_FIND_DATAA found;
    HANDLE search = (n > 0 && n < sizeof path) ? FindFirstFileA(path, &found) : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        name = found.cFileName;
    } else if (n > 0 && n < sizeof path) {
        const char* slash = std::strrchr(path, '\\');
        name = slash ? slash + 1 : path;
    }
    std::snprintf(Title, sizeof Title, "%s", name);
    char* dot = std::strrchr(Title, '.');
    if (dot && dot != Title) *dot = '\0';
}

// The common application data folder (SHFOLDER.DLL when present), else the Windows directory's
// "All Users\Application Data", as the installer chose it. False when neither can be had.
bool CommonDataFolder(char* out, size_t size) {
    typedef HRESULT(WINAPI * FolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);
    const int CommonAppData = 0x23;  // CSIDL_COMMON_APPDATA
    out[0] = '\0';
    HMODULE shfolder = LoadLibraryA("SHFOLDER.DLL");
    if (shfolder != NULL) {
        FolderPathProc folderPath = reinterpret_cast<FolderPathProc>(
            reinterpret_cast<void*>(GetProcAddress(shfolder, "SHGetFolderPathA")));
        if (size >= MAX_PATH && (folderPath == NULL || folderPath(NULL, CommonAppData, NULL, 0, out) != S_OK))
            out[0] = '\0';
        FreeLibrary(shfolder);
    }
    if (out[0] != '\0') return true;
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return false;
    const char* slash = windows[n - 1] == '\\' ? "" : "\\";
    int w = std::snprintf(out, size, "%s%sAll Users\\Application Data", windows, slash);
    return w >= 0 && static_cast<size_t>(w) < size;
}

void ReadSettings() {
    DefaultSaverSettings(&Settings);
    char base[MAX_PATH];
    SettingsPath[0] = '\0';
    if (!CommonDataFolder(base, sizeof base)) return;
    int n = std::snprintf(SettingsPath, sizeof SettingsPath, "%s\\Tavimore LLC\\Lumenquill\\%s\\%s.dat", base, Title,
                          Title);
    if (n < 0 || static_cast<size_t>(n) >= sizeof SettingsPath) {
        SettingsPath[0] = '\0';
        return;
    }
    HANDLE file = CreateFileA(SettingsPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    static char text[16384];  // a settings file is a few lines; more is not read
    DWORD got = 0;
    if (ReadFile(file, text, sizeof text, &got, NULL)) {
        SettingsFound = true;
        ReadSaverSettings(text, got, &Settings);
    }
    CloseHandle(file);
}

// ---- drawing ----

DWORD Pack(int r, int g, int b) {
    return static_cast<DWORD>((r << 16) | (g << 8) | b);
}

// Adds a colour scaled by level (0..256) to a pixel, each channel saturating at 255.
void AddLight(DWORD* pixel, uint32_t colour, int level) {
    int r = static_cast<int>((*pixel >> 16) & 0xFF) + static_cast<int>(((colour >> 16) & 0xFF) * level >> 8);
    int g = static_cast<int>((*pixel >> 8) & 0xFF) + static_cast<int>(((colour >> 8) & 0xFF) * level >> 8);
    int b = static_cast<int>(*pixel & 0xFF) + static_cast<int>((colour & 0xFF) * level >> 8);
    *pixel = Pack(r > 255 ? 255 : r, g > 255 ? 255 : g, b > 255 ? 255 : b);
}

// The sky: deep blue fading to black, stars at fixed places, and dark hills along the bottom.
void PaintSky() {
    for (int y = 0; y < FrameHeight; ++y) {
        int f = 255 * y / (FrameHeight > 1 ? FrameHeight - 1 : 1);
        DWORD c = Pack(4 + (10 * (255 - f)) / 255, 6 + (18 * (255 - f)) / 255, 16 + (40 * (255 - f)) / 255);
        for (int x = 0; x < FrameWidth; ++x) Sky[y * FrameWidth + x] = c;
    }
    unsigned seed = 12345;  // the same sky every run
    int stars = Settings.Stars * FrameWidth * FrameHeight / (512 * 384);
    if (stars > MaxStars) stars = MaxStars;
    for (int i = 0; i < stars; ++i) {
        seed = seed * 1103515245u + 12345u;
        int x = static_cast<int>((seed >> 8) % static_cast<unsigned>(FrameWidth));
        seed = seed * 1103515245u + 12345u;
        int y = static_cast<int>((seed >> 8) % static_cast<unsigned>(FrameHeight * 3 / 4 + 1));
        int level = 90 + static_cast<int>((seed >> 4) % 120);
        AddLight(&Sky[y * FrameWidth + x], 0xFFFFFF, level);
    }
    for (int x = 0; x < FrameWidth; ++x) {
        float u = static_cast<float>(x) / FrameWidth;
        float ground = FrameHeight * (0.86f + 0.04f * std::sin(u * 7.0f + 1.0f) + 0.025f * std::sin(u * 23.0f));
        for (int y = static_cast<int>(ground); y < FrameHeight; ++y)
            if (y >= 0) Sky[y * FrameWidth + x] = Pack(2, 3, 8);
    }
}

// One frame at time t (seconds): each band is a curtain whose lower edge waves across the sky; its
// light is brightest at that edge, fades upwards over the curtain's height, and is broken into rays.
void PaintFrame(float t) {
    std::memcpy(Frame, Sky, sizeof(DWORD) * FrameWidth * FrameHeight);
    float s = 0.15f + 0.1f * Settings.Speed;
    for (int b = 0; b < Settings.Bands; ++b) {
        uint32_t colour = Settings.Colours[b % (Settings.ColourCount > 0 ? Settings.ColourCount : 1)];
        float phase = 1.7f * b + 0.4f;
        float row = 0.30f + 0.32f * b / (Settings.Bands > 1 ? Settings.Bands - 1 : 1);
        for (int x = 0; x < FrameWidth; ++x) {
            float u = static_cast<float>(x) / FrameWidth;
            float edge = FrameHeight * (row + 0.07f * std::sin(u * 7.5f + t * 0.6f * s + phase) +
                                        0.035f * std::sin(u * 19.0f - t * 0.9f * s + 2.0f * phase));
            float height = FrameHeight * (0.20f + 0.07f * std::sin(u * 4.0f + t * 0.35f * s + phase));
            float rays = 0.55f + 0.45f * std::sin(u * 57.0f + t * 0.8f * s + phase) * std::sin(u * 131.0f - t * 0.5f * s);
            float below = FrameHeight * 0.025f;
            int top = static_cast<int>(edge - height), bottom = static_cast<int>(edge + below);
            if (top < 0) top = 0;
            if (bottom > FrameHeight - 1) bottom = FrameHeight - 1;
            for (int y = top; y <= bottom; ++y) {
                float f = y <= edge ? (y - (edge - height)) / height : 1.0f - (y - edge) / below;
                if (f <= 0.0f) continue;
                int level = static_cast<int>(150.0f * f * f * rays);
                if (level > 0) AddLight(&Frame[y * FrameWidth + x], colour, level);
            }
        }
    }
}

void SizeFrame(int width, int height) {
    // Half the window's size, within the buffer; a preview's few pixels are drawn one for one.
    int w = width > 320 ? width / 2 : width, h = height > 240 ? height / 2 : height;
    FrameWidth = w < 1 ? 1 : w > MaxFrameWidth ? MaxFrameWidth : w;
    FrameHeight = h < 1 ? 1 : h > MaxFrameHeight ? MaxFrameHeight : h;
    std::memset(&FrameInfo, 0, sizeof FrameInfo);
    FrameInfo.bmiHeader.biSize = sizeof FrameInfo.bmiHeader;
    FrameInfo.bmiHeader.biWidth = FrameWidth;
    FrameInfo.bmiHeader.biHeight = -FrameHeight;  // top-down rows
    FrameInfo.bmiHeader.biPlanes = 1;
    FrameInfo.bmiHeader.biBitCount = 32;
    FrameInfo.bmiHeader.biCompression = BI_RGB;
    PaintSky();
}

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    PaintFrame((GetTickCount() - StartTick) / 1000.0f);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, r.right, r.bottom, 0, 0, FrameWidth, FrameHeight, Frame, &FrameInfo, DIB_RGB_COLORS,
                  SRCCOPY);
    EndPaint(window, &ps);
}

// ---- the window ----

LRESULT CALLBACK SaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        StartTick = GetTickCount();
        SetTimer(window, FrameTimer, FrameMilliseconds, NULL);
        return 0;
    case WM_SIZE:
        SizeFrame(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_TIMER:
        InvalidateRect(window, NULL, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted by the frame
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_SETCURSOR:
        if (FullScreen) {
            SetCursor(NULL);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (FullScreen) {
            POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            // The first move only tells where the mouse rests: a window appearing under it sends one.
            if (!MouseSeen) {
                MouseStart = p;
                MouseSeen = true;
            } else if (std::abs(p.x - MouseStart.x) > MouseSlack || std::abs(p.y - MouseStart.y) > MouseSlack) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
        }
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (FullScreen) PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSCOMMAND:
        if (FullScreen && ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER))
            return 0;  // already the screen saver
        break;
    case WM_DESTROY:
        KillTimer(window, FrameTimer);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterSaverClass(HINSTANCE instance) {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SaverProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = WindowClass;
    return RegisterClassA(&wc) != 0;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int RunFullScreen(HINSTANCE instance) {
    // A second start while one runs (the system and a user both starting it) only brings it forward.
    HWND running = FindWindowA(WindowClass, NULL);
    if (running != NULL) {
        SetForegroundWindow(running);
        return 0;
    }
    FullScreen = true;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, WindowClass, Title, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    UpdateWindow(window);
    return RunMessageLoop();
}

int RunPreview(HINSTANCE instance, HWND parent) {
    if (parent == NULL || !IsWindow(parent)) return 1;
    RECT r;
    GetClientRect(parent, &r);
    HWND window = CreateWindowExA(0, WindowClass, Title, WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom, parent, NULL,
                                  instance, NULL);
    if (window == NULL) return 1;
    return RunMessageLoop();  // ends when the parent, and so this window, is destroyed
}

int ShowSettings(HWND owner) {
    char text[1024];
    const char* where = SettingsPath[0] ? SettingsPath : "(no data folder could be found)";
    if (!DescribeSaverSettings(text, sizeof text, Title, where, SettingsFound, Settings))
        std::snprintf(text, sizeof text, "%s reads its settings from %s.dat in its data folder.", Title, Title);
    char caption[MAX_PATH + 16];
    std::snprintf(caption, sizeof caption, "%s Settings", Title);
    // Brought forward: started from a control panel that has gone, it would otherwise not get the keys.
    UINT style = MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND;
    MessageBoxA(owner != NULL && IsWindow(owner) ? owner : NULL, text, caption, style);
    return 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    SaverCommand command = ParseSaverCommand(arguments ? arguments : "");
    FindTitle();
    ReadSettings();
    HWND given = reinterpret_cast<HWND>(command.Window);
    switch (command.Mode) {
    case SaverMode::Settings:
        return ShowSettings(given);
    case SaverMode::Password:
        return 0;  // no password of its own
    case SaverMode::Preview:
        if (!RegisterSaverClass(instance)) return 1;
        return RunPreview(instance, given);
    case SaverMode::Screen:
        break;
    }
    if (!RegisterSaverClass(instance)) return 1;
    return RunFullScreen(instance);
}
