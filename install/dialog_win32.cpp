// The "Installing" dialog: the whole installation runs inside its start command.
#include "shell/installer.h"

#include <direct.h>

#include <cstdio>
#include <cstring>

#include "decode/checkpoint.h"
#include "decode/extract.h"
#include "install/failures.h"
#include "install/naming.h"
#include "install/paths.h"
#include "install/system_win32.h"
#include "package/locate.h"
#include "package/record.h"

char FailedTargets[2048];
int FailedTargetCount;
int ExitStatus;

namespace {
char SaverBaseName[PathSize];
char SaverPath[PathSize];
char TargetPath[PathSize];
size_t DataFolderCreateFrom;  // the folders to create begin after this index of DataFolder
HANDLE InstallLog = INVALID_HANDLE_VALUE;  // open during the walk over the file table
bool Started;                 // the start command runs once

constexpr unsigned CopyChunk = 2048;

void Fail(const char* target) {
    RecordFailedTarget(FailedTargets, sizeof FailedTargets, &FailedTargetCount, target);
}

// The common application data folder through SHFOLDER.DLL, loaded at run time; empty when missing.
void QueryCommonAppData(char* out) {
    typedef HRESULT(WINAPI * GetFolderPath)(HWND, int, HANDLE, DWORD, LPSTR);
    out[0] = 0;
    HMODULE library = LoadLibraryA("SHFOLDER.DLL");
    if (!library) return;
    GetFolderPath query = (GetFolderPath)(void*)GetProcAddress(library, "SHGetFolderPathA");
    if (query && query(NULL, 0x23 /* CSIDL_COMMON_APPDATA */, NULL, 0, out) != S_OK) out[0] = 0;
    FreeLibrary(library);
}

// SaverBaseName, SaverPath and the text of DataFolder. False when a path would not fit its buffer.
bool ComposePaths() {
    CopyText(SaverBaseName, sizeof SaverBaseName, SaverFileName);
    CutAtLastDot(SaverBaseName);

    char windows[PathSize];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows) windows[0] = 0;
    // Without a Windows directory the saver would land in the current directory; refuse instead.
    if (!windows[0] || !ComposeSaverPath(SaverPath, sizeof SaverPath, windows, SaverFileName)) return false;

    char base[MAX_PATH + 1];
    QueryCommonAppData(base);
    bool fallback = base[0] == 0;
    if (fallback) CopyText(base, sizeof base, windows);
    return ComposeDataFolder(DataFolder, sizeof DataFolder, base, fallback, SaverBaseName, &DataFolderCreateFrom);
}

// Creates each folder level of DataFolder after its base; existing folders and failures pass.
void CreateDataFolders() {
    char level[PathSize];
    for (size_t i = DataFolderCreateFrom + 1; DataFolder[i]; ++i) {
        if (DataFolder[i] != '\\') continue;
        std::memcpy(level, DataFolder, i);
        level[i] = 0;
        _mkdir(level);
    }
}

// Copies a stored entry from the record reader to TargetPath, with the checkpoints. Returns false when
// the target could not be created or written whole; a stop on an abort is no failure.
bool PlainCopy(HFILE record, const FileEntry& entry, char* buffer) {
    uint32_t nextCheckpoint = 0;
    // Data that cannot be reached (at 2 GiB or beyond) counts as data past the end of the file: the
    // reads must not go on from wherever the record reader happens to stand.
    bool reached = entry.DataOffset <= 0x7FFFFFFFu &&
                   _llseek(record, (long)entry.DataOffset, FILE_BEGIN) == (long)entry.DataOffset;
    uint32_t total = 0;
    HFILE target = _lcreat(TargetPath, 0);
    if (target == HFILE_ERROR) return false;
    bool written = true, stopped = false;
    unsigned got;
    do {
        got = reached ? ReadUpTo(record, buffer, CopyChunk) : 0;  // a failed read counts as the end of the data
        total += got;
        unsigned keep = total > entry.PackedSize ? got - (total - entry.PackedSize) : got;
        if (keep > 0 && _lwrite(target, buffer, keep) != keep) {
            written = false;
            break;
        }
        if (!Checkpoint(total, &nextCheckpoint)) {
            stopped = true;
            break;
        }
    } while (got > 0 && total <= entry.PackedSize);
    if (_lclose(target) == HFILE_ERROR) written = false;
    // An installer that ends inside the entry's data leaves the file short.
    if (!stopped && total < entry.PackedSize) written = false;
    return written;
}

bool WriteEntry(HFILE* record, const FileEntry& entry, char* buffer) {
    if (entry.UnpackedSize == 0) return PlainCopy(*record, entry, buffer);
    // Packed data that runs past the end of the installer file still decodes to UnpackedSize bytes, but
    // not to the file that was packed: it is written all the same and reported as not written whole.
    long end = _llseek(*record, 0, FILE_END);
    bool whole = end >= 0 && (uint64_t)entry.DataOffset + entry.PackedSize <= (uint64_t)end;
    _lclose(*record);
    int32_t result = ExtractPackedFile(NULL, entry.DataOffset, (int32_t)entry.UnpackedSize, entry.PackedSize, TargetPath);
    *record = OpenPackageRecord();
    return result == 1 && whole;
}

void ReportTooLong() {
    ExitStatus = 1;  // nothing is installed
    MessageBoxA(NULL,
                "The folders this screen saver installs into have paths longer than Windows allows "
                "(259 characters). Nothing has been installed.",
                "Error!!!", MB_OK | MB_ICONHAND);
}

void RunInstallation(HWND dialog) {
    if (!ComposePaths()) {
        ReportTooLong();
        EndDialog(dialog, IDCANCEL);
        return;
    }
    if (TestUninstallAccess(SaverBaseName) == ERROR_ACCESS_DENIED) {
        MessageBoxA(NULL,
                    "You do not have access to make the required system configuration modifications. Please "
                    "rerun this installation from an administrators account.",
                    "Error!!!", MB_OK);
        EndDialog(dialog, IDCANCEL);
        return;
    }
    CreateDataFolders();
    InstallLog = OpenInstallLog(DataFolder);
    HANDLE log = InstallLog;

    HFILE record = OpenPackageRecord();
    uint16_t firstNumber = 0;
    if (record != HFILE_ERROR) firstNumber = SkipToFileTable(record);
    else Fail("the package inside this installer (the installer file cannot be read)");
    char* buffer = (char*)LocalAlloc(LMEM_FIXED, CopyChunk);
    if (!buffer && record != HFILE_ERROR) {
        Fail("the package inside this installer (out of memory)");
        _lclose(record);
        record = HFILE_ERROR;
    }

    FileEntry entry;
    bool more = record != HFILE_ERROR && ReadFileEntry(record, &entry);
    for (int32_t index = 0; more; ++index) {
        CopyUninterruptible = 0;
        bool named = TargetPathFor(TargetPath, sizeof TargetPath, index, SaverPath, DataFolder, SaverBaseName,
                                   firstNumber, entry.NameSuffix, entry.Kind);
        if (index == 2) {
            CopyUninterruptible = 1;
            if (named) WriteUninstallRegistration(SaverBaseName, TargetPath, SaverPath);
        }
        long saved = _llseek(record, 0, FILE_CURRENT);
        bool ok = false;
        if (named) {
            ok = WriteEntry(&record, entry, buffer);
            AppendInstallLog(log, TargetPath);
            if (!ok) Fail(TargetPath);
        } else {
            char what[64];
            std::snprintf(what, sizeof what, "file %ld of the package (its path is too long)", (long)index + 1);
            Fail(what);
        }
        if (record == HFILE_ERROR) {
            Fail("the rest of the package (the installer file cannot be read again)");
            break;
        }
        _llseek(record, saved, FILE_BEGIN);
        more = ReadFileEntry(record, &entry);
        if (!AbortRequested && index > 2 && ok) CheckMediaFile(TargetPath);
    }

    if (buffer) LocalFree(buffer);
    if (record != HFILE_ERROR) _lclose(record);
    CloseInstallLog(log);
    InstallLog = INVALID_HANDLE_VALUE;
    // A saver that was not written whole is never made the system's screen saver.
    if (MissingMediaTypes[0] == 0 && FailedTargetCount == 0) ActivateSaver(SaverPath);
    EndDialog(dialog, IDOK);
}
}  // namespace

void LogInterruptedTarget() {
    if (InstallLog == INVALID_HANDLE_VALUE) return;
    AppendInstallLog(InstallLog, TargetPath);
    CloseInstallLog(InstallLog);
    InstallLog = INVALID_HANDLE_VALUE;
}

INT_PTR CALLBACK InstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[300];
    switch (message) {
        case WM_INITDIALOG:
            if (InstallMode == 2) ShowWindow(dialog, SW_SHOW);
            InstallDialog = dialog;
            std::snprintf(text, sizeof text, "%s Screen Saver Installation", SaverTitle);
            SetWindowTextA(dialog, text);
            std::snprintf(text, sizeof text, "%s Screen Saver", SaverTitle);
            SetDlgItemTextA(dialog, InstallSaverNameId, text);
            PostMessageA(dialog, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(dialog, IDOK));
            return TRUE;
        case WM_COMMAND:
            if (wParam == IDOK) {
                if (!Started) {
                    Started = true;
                    RunInstallation(dialog);
                }
                return TRUE;
            }
            if (wParam == IDCANCEL && !AbortRequested &&
                MessageBoxA(dialog, "Are you sure you would like to abort this installation?", "Abort Installation?",
                            MB_YESNO) == IDYES)
                AbortRequested = 1;
            return FALSE;
    }
    return FALSE;
}
