// The pre-install checks: an installed saver of the same name, and room on the Windows drive.
#include <sys/stat.h>

#include "package/locate.h"
#include "package/record.h"
#include "shell/checks_logic.h"
#include "shell/installer.h"

int CheckExistingSaver() {
    char windowsDir[260];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) return 1;

    // The title as read, blanks included: the install sequence trims it only after the checks.
    char fileName[260], path[260];
    if (!ComposeSaverLookupName(SaverTitle, fileName, sizeof fileName) ||
        !JoinDirectoryAndName(windowsDir, fileName, path, sizeof path)) {
        // The authoring tool never writes such a title; refuse it rather than look up a cut name.
        MessageBoxA(NULL, SaverNameTooLongText, SaverNameTooLongCaption, MB_OK | MB_ICONHAND);
        ExitStatus = 1;  // nothing is installed
        return 0;
    }

    // Only the status query is made, so a directory of that name counts as an installed saver too.
    struct stat status;
    if (stat(path, &status) != 0) return 1;

    char question[CheckTextSize];
    ComposeReplaceQuestion(fileName, question);  // a 260-byte name always fits
    if (InstallMode != 2) return 1;              // a silent installation replaces the saver
    int answer = MessageBoxA(NULL, question, "Replace Screen Saver?", MB_YESNO | MB_ICONQUESTION);
    return answer == IDNO ? 0 : 1;
}

uint32_t GetFreeDiskSpaceKB(const char* path) {
    char root[RootPathSize];
    CutToRootPath(path, root);

    // The extended query is looked up at run time: the first releases of Windows 95 do not have it.
    typedef BOOL(WINAPI * GetDiskFreeSpaceExProc)(const char*, ULARGE_INTEGER*, ULARGE_INTEGER*,
                                                  ULARGE_INTEGER*);
    HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    if (kernel != NULL) {
        GetDiskFreeSpaceExProc query = reinterpret_cast<GetDiskFreeSpaceExProc>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
        ULARGE_INTEGER available, total, totalFree;
        if (query != NULL && query(root, &available, &total, &totalFree)) {
            FreeLibrary(kernel);
            return KilobytesOf(available.QuadPart);
        }
        FreeLibrary(kernel);
    }

    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return UnknownFreeSpace;
    return KilobytesOfClusters(sectorsPerCluster, bytesPerSector, freeClusters);
}

int CheckDiskSpace(uint32_t* installedSize) {
    *installedSize = 0;
    HFILE record = OpenPackageRecord();
    if (record == HFILE_ERROR) return 1;
    SkipToFileTable(record);
    FileEntry entry;
    while (ReadFileEntry(record, &entry)) *installedSize += InstalledBytes(entry);  // the terminator adds 0
    _lclose(record);

    char windowsDir[512];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length == 0 || length >= sizeof windowsDir) return 1;

    uint32_t freeKB = GetFreeDiskSpaceKB(windowsDir);
    uint32_t neededKB = KilobytesOf(*installedSize);
    if (HasRoomFor(freeKB, neededKB)) return 1;

    // Shown in silent installations too: the user must decide.
    char warning[CheckTextSize];
    ComposeDiskFullWarning(neededKB, freeKB, warning);  // two numbers of at most 13 characters: fits
    int answer = MessageBoxA(NULL, warning, "Disk Full", MB_OKCANCEL | MB_ICONINFORMATION);
    return answer == IDCANCEL ? 0 : 1;
}
