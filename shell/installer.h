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

// ---- shell/: pre-install checks, dialogs, launch (each returns 1 to go on, 0 to stop) ----
// Asks before a saver of the same name in the Windows directory is replaced (interactive mode only).
int CheckExistingSaver();
// Sums the package's InstalledSize into *installedSize (0 first) and warns, in both modes, when the
// Windows drive has too little room.
int CheckDiskSpace(uint32_t* installedSize);
// Free kilobytes on the drive of path, or 0xFFFFFFFF when they cannot be found.
uint32_t GetFreeDiskSpaceKB(const char* path);
// Shows the package's license, if it has one, in both modes: 1 accepted or no license, 0 declined.
int RunLicenseDialog(HINSTANCE module);
INT_PTR CALLBACK LicenseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OrderingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Moves a dialog to the centre of the primary display, size unchanged.
void CenterDialog(HWND dialog);
// The last step of an interactive installation: full path, DirectX 7 check and offer, start the saver.
void LaunchInstalledSaver(HWND splash, const char* installCaption);

// ---- install/ ----
INT_PTR CALLBACK InstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Resource ids.
constexpr int InstallDialogId = 103;
constexpr int OrderingDialogId = 104;
constexpr int LicenseDialogId = 106;
constexpr int LicenseTextId = 1009;
constexpr int InstallSaverNameId = 1001;

// ---- install/: what the "Installing" dialog leaves for the install sequence ----
// Targets that could not be created, opened or fully written, one per line (CR LF); the count may
// exceed the lines listed when the text is full.
extern char FailedTargets[2048];
extern int FailedTargetCount;
// The process's exit status: 0, or 1 when the installation could not write what it had to.
extern int ExitStatus;
// When a write of decoded data fell short and the process must end at once: the file being written
// still gets its line in the install log, so the uninstaller finds it.
void LogInterruptedTarget();
