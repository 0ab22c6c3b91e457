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
const char UnsafeNames[] =
    "This installer is damaged: the screen saver's name or one of its file names holds characters "
    "that Windows does not allow in file names. Nothing has been installed.";

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

// What keeps the package from being installed at all, as the text that tells the user; nullptr when
// nothing does. Such a package is refused before anything is written:
//  - a record that cannot be found or whose header (title included) cannot be read whole, or a file
//    table that the end of the file cuts short: an installer that was not downloaded whole, or
//    damaged, from which no file could be installed as it should be;
//  - a title or name suffix holding a character no file name may hold, which would name files outside
//    the saver's folders or files that cannot be created. The title is checked as read, blanks and all.
const char* PackageProblem() {
    static const char Incomplete[] =
        "This installer is damaged or incomplete: the description of the files it holds cannot be read "
        "whole. Download it again. Nothing has been installed.";
    HFILE record = OpenPackageRecord();
    if (record == HFILE_ERROR) return Incomplete;
    long start = _llseek(record, 0, FILE_CURRENT);
    RecordHeader header;
    bool whole = ReadRecordHeader(record, &header) && header.Title[0] != 0;
    const char* problem = whole ? nullptr : Incomplete;
    if (!problem && !IsSafeNamePart(SaverTitle, sizeof SaverTitle)) problem = UnsafeNames;
    if (!problem) {
        _llseek(record, start, FILE_BEGIN);
        SkipToFileTable(record);
        // The terminator was read only if 28 whole bytes stood where the walk read it.
        long row = _llseek(record, 0, FILE_CURRENT);
        FileEntry entry;
        for (int index = 0; !problem && ReadFileEntry(record, &entry); ++index) {
            if (index >= 3 && !IsSafeNamePart(entry.NameSuffix, sizeof entry.NameSuffix)) problem = UnsafeNames;
            row = _llseek(record, 0, FILE_CURRENT);
        }
        long end = _llseek(record, 0, FILE_END);
        if (!problem && (row < 0 || end - row < (long)record::EntrySize)) problem = Incomplete;
    }
    _lclose(record);
    return problem;
}
}  // namespace

void RunInstallSequence(HWND splash) {
    KillTimer(splash, StartTimerId);
    SetClassLongPtrA(splash, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(NULL, (LPCSTR)IDC_ARROW));

    if (const char* problem = PackageProblem()) {
        // Shown in silent mode too, and the exit status says that nothing was installed.
        ExitStatus = 1;
        MessageBoxA(NULL, problem, "Error!!!", MB_OK | MB_ICONHAND);
        return Finish(splash);
    }
    // A second installer of the same saver running at the same time would write the same files and
    // compete for the log: only one runs; the other is told and ends before it writes anything. The
    // mutex is the process's until it ends.
    char mutexName[300];  // named after the title as installed, trailing blanks removed
    std::snprintf(mutexName, sizeof mutexName, "Lumenquill Setup %s", SaverTitle);
    TrimTrailingBlanks(mutexName);
    for (char* c = mutexName; *c; ++c)
        if (*c == '\\') *c = '/';
    CreateMutexA(NULL, TRUE, mutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ExitStatus = 1;
        MessageBoxA(NULL, "This screen saver is being installed already. Wait until that installation has ended.",
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
        ExitStatus = 1;
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
