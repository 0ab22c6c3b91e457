// The install sequence, run once from the splash window's start timer: checks, confirmation, license,
// the "Installing" dialog, and the reaction to its outcome.
#include "shell/installer.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "decode/checkpoint.h"
#include "install/naming.h"
#include "package/locate.h"
#include "package/record.h"
#include "shell/format_unsigned.h"

char SaverFileName[260];
char DataFolder[260];
char MissingMediaTypes[256];
HWND InstallDialog;

namespace {
const char MediaPlayerPage[] = "http://www.microsoft.com/windows/mediaplayer";

void StartUninstaller() {
    char path[PathSize];
    if (!CopyText(path, sizeof path, DataFolder) || !AppendText(path, sizeof path, "UNINSTAL.EXE")) return;
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.lpVerb = "open";
    request.lpFile = path;
    request.lpParameters = "/s";
    request.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&request);
}

void ShowMissingSupport(HWND splash) {
    char text[1024];  // the fixed parts, the address and at most 255 characters of types
    std::snprintf(text, sizeof text,
                  "The following file types are not currently supported by your Windows media player:\r\n\r\n%s"
                  "\r\nThese file types must be supported before you can run this file.  Click on the OK button "
                  "below to download a copy from %s.  If you wish to get this file at a later time, click Cancel.",
                  MissingMediaTypes, MediaPlayerPage);
    if (MessageBoxA(splash, text, "Missing support codecs", MB_OKCANCEL) == IDOK) {
        SHELLEXECUTEINFOA request = {};
        request.cbSize = sizeof request;
        request.lpVerb = "open";
        request.lpFile = MediaPlayerPage;
        request.nShow = SW_SHOWMAXIMIZED;
        if (!ShellExecuteExA(&request))
            MessageBoxA(splash, "Could not connect to this site.", MediaPlayerPage, MB_OK | MB_ICONHAND);
    }
}

void ShowFailedTargets(HWND splash) {
    char text[2400];
    std::snprintf(text, sizeof text,
                  "The installation could not write %d of its files:\r\n\r\n%s\r\nThe screen saver has not been "
                  "made your default Screen Saver. Close any program that uses these files, make sure the disk "
                  "has room, and run this installation again.",
                  FailedTargetCount, FailedTargets);
    MessageBoxA(splash, text, "Installation Incomplete", MB_OK | MB_ICONHAND);
}

void Finish(HWND splash) { DestroyWindow(splash); }

// A title or name suffix holding a character no file name may hold would name files outside the
// saver's folders, or files that cannot be created: such a package is refused before anything is
// written. The title is checked as read, trailing blanks and all.
bool PackageNamesAreSafe() {
    if (!IsSafeNamePart(SaverTitle, sizeof SaverTitle)) return false;
    HFILE record = OpenPackageRecord();
    if (record == HFILE_ERROR) return true;  // nothing to install; the installation reports that
    SkipToFileTable(record);
    FileEntry entry;
    bool safe = true;
    for (int index = 0; safe && ReadFileEntry(record, &entry); ++index)
        if (index >= 3 && !IsSafeNamePart(entry.NameSuffix, sizeof entry.NameSuffix)) safe = false;
    _lclose(record);
    return safe;
}
}  // namespace

void RunInstallSequence(HWND splash) {
    KillTimer(splash, StartTimerId);
    SetClassLongPtrA(splash, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(NULL, (LPCSTR)IDC_ARROW));

    if (!PackageNamesAreSafe()) {
        MessageBoxA(NULL,
                    "This installer is damaged: the screen saver's name or one of its file names holds characters "
                    "that Windows does not allow in file names. Nothing has been installed.",
                    "Error!!!", MB_OK | MB_ICONHAND);
        return Finish(splash);
    }
    if (!CheckExistingSaver()) return Finish(splash);
    uint32_t installedSize = 0;
    if (!CheckDiskSpace(&installedSize)) return Finish(splash);

    TrimTrailingBlanks(SaverTitle);
    char installCaption[300];  // the title (at most 259) and 26 characters
    std::snprintf(installCaption, sizeof installCaption, "%s Screen Saver Installation", SaverTitle);
    std::snprintf(SaverFileName, sizeof SaverFileName, "%s.scr", SaverTitle);
    if (std::strlen(SaverTitle) + 4 >= sizeof SaverFileName) {
        MessageBoxA(NULL, "The screen saver's title is too long for a file name. Nothing has been installed.",
                    installCaption, MB_OK | MB_ICONHAND);
        return Finish(splash);
    }

    char windows[260];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows) CopyText(windows, sizeof windows, "the Windows directory");
    for (char* c = windows; *c; ++c)
        if (*c >= 'a' && *c <= 'z') *c = (char)(*c - 'a' + 'A');
    char size[32];
    FormatThousandsUnsigned(installedSize, size);  // sizes are unsigned: never a negative value
    char confirmation[700];  // the title, the directory (259 each) and the fixed text: at most 655
    std::snprintf(confirmation, sizeof confirmation,
                  "This program will install %s Screen Saver to %s and will make it your default Screen Saver.  "
                  "This installation will take %s bytes.",
                  SaverTitle, windows, size);
    if (InstallMode == 2 && MessageBoxA(splash, confirmation, installCaption, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return Finish(splash);

    HINSTANCE module = GetModuleHandleA(NULL);
    if (!RunLicenseDialog(module)) return Finish(splash);

    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(InstallDialogId), splash, InstallDialogProc, 0);
    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    if (result == IDCANCEL) return Finish(splash);

    if (AbortRequested) {
        StartUninstaller();
        return Finish(splash);
    }
    if (FailedTargetCount > 0) {
        // Shown in silent mode too: the saver or its files are missing, which the user must know.
        ExitStatus = 1;
        ShowFailedTargets(splash);
        return Finish(splash);
    }
    if (MissingMediaTypes[0]) {
        ShowMissingSupport(splash);
    } else {
        if (InstallMode != 2) return Finish(splash);
        MessageBoxA(splash, "Installation Complete!", installCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    if (InstallMode != 2) return Finish(splash);
    DialogBoxParamA(module, MAKEINTRESOURCEA(OrderingDialogId), splash, OrderingDialogProc, 0);
    if (MissingMediaTypes[0]) return Finish(splash);
    LaunchInstalledSaver(splash, installCaption);
    Finish(splash);
}
