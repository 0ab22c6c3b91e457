// The sample uninstaller UNINSTAL.EXE: removes what INSTALL.LOG beside it lists, and the saver's traces.
//
// Usage: UNINSTAL.EXE [/s]
// Removes, in this order: every file the log lists (each once; never anything it does not list), the
// "SCRNSAVE.EXE" setting of system.ini when it names a saver of the log, the uninstall key
// HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\<title>, the log, itself when the log lists
// it, and then its folder, "Lumenquill" and "Tavimore LLC" when each is empty. When a listed file
// cannot be removed, the key, the log and the uninstaller stay, so that it can be run again. <title> is the name of
// its folder, which the installer names after the saver. Asks first unless /s is given (the installer
// passes /s after an aborted installation). What could not be removed is listed in one message box,
// in silent runs too; the exit status is then 1, else 0.
//
// A running program cannot delete its own file (neither on Windows nor on Wine). So it copies itself
// into the temporary folder, opened there with FILE_FLAG_DELETE_ON_CLOSE and that handle inherited,
// and starts the copy with "/finish HANDLE "PATH"" (the trick Jeffrey Richter described in MSJ, 1996).
// The copy waits for this process to end, deletes the original and the folders left empty, and ends;
// its file goes with its last handle. It deletes only a file that is byte for byte a copy of itself.
// When the copy cannot be started, the file and its folder are left to the next restart
// (MOVEFILE_DELAY_UNTIL_REBOOT); only when that fails too is the file reported.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "samples/uninstaller/plan.h"

namespace {
const char LogName[] = "INSTALL.LOG";
const size_t MaxFailures = MaxLoggedFiles + MaxRefusedLines + 8;

// Large tables live here, not on the stack.
RemovalPlan Plan;
char LogText[MaxLogBytes];
char Failures[MaxFailures][UninstallPathSize];
size_t FailureCount;
char Report[8192];

void NoteFailure(const char* what) {
    if (FailureCount == MaxFailures) return;  // cannot happen: every source is bounded below this
    std::snprintf(Failures[FailureCount], UninstallPathSize, "%s", what);
    ++FailureCount;
}

// The long form of a path when the system can give it (GetLongPathNameA is missing on Windows 95);
// otherwise the path as given. False when neither fits.
bool LongFormOf(const char* path, char* out, size_t size) {
    typedef DWORD(WINAPI * LongPathProc)(LPCSTR, LPSTR, DWORD);
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    LongPathProc longPath = kernel ? reinterpret_cast<LongPathProc>(
                                         reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")))
                                   : NULL;
    if (longPath != NULL) {
        DWORD n = longPath(path, out, static_cast<DWORD>(size));
        if (n > 0 && n < size) return true;
    }
    int n = std::snprintf(out, size, "%s", path);
    return n >= 0 && static_cast<size_t>(n) < size;
}

// The short form of an existing path, or an empty text.
void ShortFormOf(const char* path, char* out, size_t size) {
    DWORD n = GetShortPathNameA(path, out, static_cast<DWORD>(size));
    if (n == 0 || n >= size) out[0] = '\0';
}

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Deletes one file; a read-only one is made writable first. True when it is gone (or never was).
bool RemoveFile(const char* path) {
    if (DeleteFileA(path) || !Exists(path)) return true;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;  // a folder of that name: not ours to remove
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        if (DeleteFileA(path)) return true;
    }
    return !Exists(path);
}

// Whether two files hold the same bytes (the original uninstaller and its copy, some 50 KB).
bool SameContents(const char* pathA, const char* pathB) {
    HANDLE a = CreateFileA(pathA, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    HANDLE b = CreateFileA(pathB, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE && GetFileSize(a, NULL) == GetFileSize(b, NULL);
    static char bufferA[16384], bufferB[16384];
    while (same) {
        DWORD gotA = 0, gotB = 0;
        if (!ReadFile(a, bufferA, sizeof bufferA, &gotA, NULL) || !ReadFile(b, bufferB, sizeof bufferB, &gotB, NULL) ||
            gotA != gotB || std::memcmp(bufferA, bufferB, gotA) != 0) {
            same = false;
        } else if (gotA == 0) {
            break;
        }
    }
    if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
    return same;
}

// Reads the whole log into LogText; false when it is missing, unreadable or too long.
bool ReadLog(const char* path, size_t* length) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, NULL);
    bool ok = size != INVALID_FILE_SIZE && size <= sizeof LogText;
    DWORD got = 0;
    if (ok) ok = ReadFile(file, LogText, size, &got, NULL) && got == size;
    CloseHandle(file);
    *length = got;
    return ok;
}

// Whether system.ini's screen saver is one of the savers the log lists, by its long or short path.
// Must run before the files are removed: a short path can only be had for an existing file.
bool SettingIsOurs() {
    char setting[UninstallPathSize];
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", setting, sizeof setting, "system.ini");
    if (setting[0] == '\0') return false;
    for (size_t i = 0; i < Plan.FileCount; ++i) {
        if (!IsSaverPath(Plan.Files[i])) continue;
        char shortPath[UninstallPathSize];
        ShortFormOf(Plan.Files[i], shortPath, sizeof shortPath);
        if (SettingPointsAt(setting, Plan.Files[i], shortPath)) return true;
    }
    return false;
}

void RemoveSetting() {
    // A NULL value removes the entry; the switch is turned off so that no missing saver is started.
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", NULL, "system.ini");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, NULL, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    char left[UninstallPathSize];
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", left, sizeof left, "system.ini");
    if (left[0] != '\0') NoteFailure("the screen saver setting SCRNSAVE.EXE in system.ini");
}

void RemoveKey(const char* title) {
    char key[UninstallPathSize * 2];
    if (!UninstallKeyFor(title, key, sizeof key)) return;  // no title: no key can be ours
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        char what[UninstallPathSize];
        int n = std::snprintf(what, sizeof what, "HKEY_LOCAL_MACHINE\\%s", key);
        NoteFailure(n >= 0 && static_cast<size_t>(n) < sizeof what ? what : "the uninstall entry in the registry");
    }
}

// Tries the folders innermost first and stops at the first that stays: an outer one cannot be empty then.
void RemoveFolders(const char* ownPath, bool selfPending) {
    char folders[3][UninstallPathSize];
    size_t count = FoldersToTry(ownPath, folders, 3);
    for (size_t i = 0; i < count; ++i) {
        if (RemoveDirectoryA(folders[i])) continue;
        // Our own folder still holds this program until the restart; have it removed after the file.
        if (i == 0 && selfPending) MoveFileExA(folders[i], NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        break;
    }
}

// The copy's side: waits for the original to end, then removes its file and the folders left empty.
int FinishRemoval(uintptr_t processValue, const char* originalPath) {
    HANDLE original = reinterpret_cast<HANDLE>(processValue);
    // Bounded: the original ends as soon as its last message box is answered.
    WaitForSingleObject(original, 10 * 60 * 1000);
    CloseHandle(original);

    // Only a copy of this very program is ever removed this way.
    char ownPath[UninstallPathSize];
    DWORD n = GetModuleFileNameA(NULL, ownPath, sizeof ownPath);
    if (n == 0 || n >= sizeof ownPath || !SameContents(ownPath, originalPath)) return 1;

    // The system may hold the ended program's image for a moment after the process handle signals.
    bool gone = false;
    for (int attempt = 0; attempt < 50 && !(gone = RemoveFile(originalPath)); ++attempt) Sleep(100);
    bool pending = !gone && MoveFileExA(originalPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    RemoveFolders(originalPath, pending);
    return gone || pending ? 0 : 1;
}

// Starts a copy of this program that removes its file once it has ended (see the top of this file).
bool HandOverSelfRemoval(const char* ownPath) {
    char temp[UninstallPathSize], copy[UninstallPathSize];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp || !GetTempFileNameA(temp, "lqu", 0, copy)) return false;
    if (!CopyFileA(ownPath, copy, FALSE)) {
        DeleteFileA(copy);
        return false;
    }
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE copyFile = CreateFileA(copy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited,
                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    HANDLE self = NULL;
    bool ok = DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE,
                              0) != 0;
    char arguments[UninstallPathSize + 40], commandLine[2 * UninstallPathSize + 48];
    ok = ok && ComposeFinishArguments(arguments, sizeof arguments, reinterpret_cast<uintptr_t>(self), ownPath);
    int c = ok ? std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", copy, arguments) : -1;
    ok = c >= 0 && static_cast<size_t>(c) < sizeof commandLine;
    if (ok) {
        STARTUPINFOA startup;
        std::memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started;
        // Started in the temporary folder, so that it holds no folder of ours open.
        ok = CreateProcessA(copy, commandLine, NULL, NULL, TRUE, 0, NULL, temp, &startup, &started) != 0;
        if (ok) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
    if (self != NULL) CloseHandle(self);
    if (copyFile != INVALID_HANDLE_VALUE) {
        CloseHandle(copyFile);  // the copy holds its own inherited handle; without it the file goes now
    } else if (ok) {
        MoveFileExA(copy, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);  // not deleted on close: at the restart
    }
    if (!ok) DeleteFileA(copy);
    return ok;
}

int Finish(const char* caption, bool silent, const char* title) {
    if (FailureCount > 0) {
        ComposeFailureReport(Report, sizeof Report, Failures, FailureCount);
        MessageBoxA(NULL, Report, caption, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        return 1;
    }
    if (!silent) {
        char done[512];
        int n = std::snprintf(done, sizeof done, "%s Screen Saver has been removed from your computer.", title);
        MessageBoxA(NULL, n >= 0 && static_cast<size_t>(n) < sizeof done ? done : "The screen saver has been removed.",
                    caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
    return 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    uintptr_t original = 0;
    char originalPath[UninstallPathSize];
    if (arguments && ParseFinishArguments(arguments, &original, originalPath, sizeof originalPath))
        return FinishRemoval(original, originalPath);
    bool silent = IsSilentSwitch(arguments ? arguments : "");

    char modulePath[UninstallPathSize], ownPath[UninstallPathSize];
    DWORD n = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
    if (n == 0 || n >= sizeof modulePath || !LongFormOf(modulePath, ownPath, sizeof ownPath)) {
        MessageBoxA(NULL, "The uninstaller cannot find its own folder, so nothing was removed.", "Uninstall",
                    MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
        return 1;
    }
    char ownShort[UninstallPathSize];
    ShortFormOf(ownPath, ownShort, sizeof ownShort);

    char folder[UninstallPathSize], title[UninstallPathSize], logPath[UninstallPathSize];
    std::memcpy(folder, ownPath, sizeof folder);
    char* lastSlash = std::strrchr(folder, '\\');
    if (lastSlash) *lastSlash = '\0';
    if (!LastPathPart(folder, title, sizeof title)) title[0] = '\0';

    char caption[UninstallPathSize + 40];
    int c = std::snprintf(caption, sizeof caption, "Uninstall %s Screen Saver", title);
    if (c < 0 || static_cast<size_t>(c) >= sizeof caption) std::snprintf(caption, sizeof caption, "Uninstall");

    int l = std::snprintf(logPath, sizeof logPath, "%s\\%s", folder, LogName);
    size_t logLength = 0;
    if (l < 0 || static_cast<size_t>(l) >= sizeof logPath || !ReadLog(logPath, &logLength)) {
        char text[512 + UninstallPathSize];
        std::snprintf(text, sizeof text, "The install log %s could not be read, so nothing was removed.",
                      l >= 0 && static_cast<size_t>(l) < sizeof logPath ? logPath : LogName);
        MessageBoxA(NULL, text, caption, MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
        return 1;
    }
    ParseInstallLog(LogText, logLength, &Plan);

    if (!silent) {
        char question[512 + UninstallPathSize];
        int q = std::snprintf(question, sizeof question,
                              "This will remove %s Screen Saver and the %lu files it installed from your "
                              "computer.\r\n\r\nAre you sure you want to uninstall it?",
                              title, static_cast<unsigned long>(Plan.FileCount));
        if (q < 0 || static_cast<size_t>(q) >= sizeof question)
            std::snprintf(question, sizeof question, "Are you sure you want to uninstall this screen saver?");
        UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND;
        if (MessageBoxA(NULL, question, caption, style) != IDYES) return 0;
    }

    bool settingIsOurs = SettingIsOurs();
    bool selfListed = false;
    for (size_t i = 0; i < Plan.FileCount; ++i) {
        const char* path = Plan.Files[i];
        if (SamePath(path, ownPath) || SamePath(path, modulePath) || (ownShort[0] && SamePath(path, ownShort))) {
            selfListed = true;  // last, once everything else is done
            continue;
        }
        if (!RemoveFile(path)) NoteFailure(path);
    }
    // A listed file that stays (in use, say) keeps the log, the entry and this program, so that the
    // uninstaller can be run again once it is free.
    bool filesStay = FailureCount > 0;
    for (size_t i = 0; i < Plan.RefusedCount && i < MaxRefusedLines; ++i) NoteFailure(Plan.Refused[i]);
    if (Plan.RefusedCount > MaxRefusedLines) NoteFailure("(more lines of the log that name no file)");

    if (settingIsOurs) RemoveSetting();
    if (filesStay) return Finish(caption, silent, title);
    RemoveKey(title);
    if (!RemoveFile(logPath)) NoteFailure(logPath);

    bool selfPending = false, handedOver = false;
    if (selfListed && !RemoveFile(ownPath)) {
        handedOver = HandOverSelfRemoval(ownPath);
        if (!handedOver) selfPending = MoveFileExA(ownPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
        if (!handedOver && !selfPending) NoteFailure(ownPath);
    }
    if (!handedOver) RemoveFolders(ownPath, selfPending);  // else the copy does it once this file is gone
    return Finish(caption, silent, title);
}
