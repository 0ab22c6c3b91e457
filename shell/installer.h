// The installer's Win32 modules: shared state and the operations they call across folders.
#pragma once

#include <windows.h>

#include <cstdint>

// ---- Shared state: single global instances, alive for the whole process ----
extern int InstallMode;                  // 2 interactive (from start), 1 silent; set by WinMain only
extern char SaverTitle[260];             // from the package record; trailing blanks trimmed later
extern uint32_t NeedsDirectX;            // from the package record
extern char SaverFileName[260];          // trimmed title + ".scr"; later its full path
extern char DataFolder[260];             // per-saver data folder, ending in a backslash
extern char MissingMediaTypes[256];      // extensions the media layer could not open, each + CR LF
extern HWND InstallDialog;               // the "Installing" dialog, for PumpMessages

// ---- package/ ----
// Fills SaverTitle and NeedsDirectX from the record; leaves them as they are when there is none.
void ReadPackageHeader();

// ---- shell/ ----
LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The whole installation, run once from the splash window's first timer message; ends by destroying it.
void RunInstallSequence(HWND splash);

constexpr UINT_PTR StartTimerId = 1000;
constexpr UINT StartTimerInterval = 1000;
