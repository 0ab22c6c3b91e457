// The installation's system records: uninstall registration, install log, media check, activation.
#include "install/system_win32.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "install/media_check.h"
#include "install/media_types.h"
#include "install/naming.h"
#include "install/paths.h"

namespace {
const char UninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

LONG CreateUninstallKey(const char* baseName, HKEY* key, DWORD* disposition) {
    char scratch[1024];
    std::snprintf(scratch, sizeof scratch, "%s\\%s", UninstallRoot, baseName);  // at most 312 bytes
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, scratch, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           NULL, key, disposition);
}

void SetText(HKEY key, const char* name, DWORD type, const char* text) {
    RegSetValueExA(key, name, 0, type, (const BYTE*)text, (DWORD)std::strlen(text) + 1);
}

void SetNumber(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

unsigned OpenMedia(const char* element, bool byType, unsigned* device) {
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "MPEGVideo";
    open.lpstrElementName = element;
    DWORD flags = byType ? MCI_OPEN_ELEMENT | MCI_OPEN_TYPE : MCI_OPEN_ELEMENT;
    MCIERROR result = mciSendCommandA(0, MCI_OPEN, flags, (DWORD_PTR)&open);
    *device = open.wDeviceID;
    return (unsigned)result;
}

void CloseMedia(unsigned device) { mciSendCommandA((MCIDEVICEID)device, MCI_CLOSE, 0, 0); }

const MediaLayer SystemMediaLayer = {OpenMedia, CloseMedia};

// The short (8.3) form of a path, or the path itself when the system cannot give one.
void ShortPathOf(const char* path, char* out) {
    DWORD length = GetShortPathNameA(path, out, PathSize);
    if (length == 0 || length >= PathSize) CopyText(out, PathSize, path);
}
}  // namespace

LONG TestUninstallAccess(const char* baseName) {
    HKEY key = NULL;
    LONG result = CreateUninstallKey(baseName, &key, NULL);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    return result;
}

void WriteUninstallRegistration(const char* baseName, const char* uninstallerPath, const char* saverPath) {
    HKEY key = NULL;
    DWORD disposition = 0;
    if (CreateUninstallKey(baseName, &key, &disposition) != ERROR_SUCCESS) return;
    char scratch[1024];  // every text below is at most 259 + 13 bytes
    std::snprintf(scratch, sizeof scratch, "%s Screen Saver", baseName);
    SetText(key, "DisplayName", REG_SZ, scratch);
    SetText(key, "UninstallString", REG_EXPAND_SZ, uninstallerPath);
    InstallLocationOf(uninstallerPath, scratch, sizeof scratch);
    SetText(key, "InstallLocation", REG_EXPAND_SZ, scratch);
    std::snprintf(scratch, sizeof scratch, "%s,-0", saverPath);
    SetText(key, "DisplayIcon", REG_SZ, scratch);
    SetText(key, "Publisher", REG_SZ, "Made with Tavimore's Lumenquill");
    SetNumber(key, "VersionMajor", 8);
    SetNumber(key, "VersionMinor", 0);
    RegCloseKey(key);
}

HANDLE OpenInstallLog(const char* dataFolder) {
    char path[PathSize];
    if (!CopyText(path, sizeof path, dataFolder) || !AppendText(path, sizeof path, "INSTALL.LOG"))
        return INVALID_HANDLE_VALUE;
    HANDLE log = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (log != INVALID_HANDLE_VALUE) SetFilePointer(log, 0, NULL, FILE_END);
    return log;
}

void AppendInstallLog(HANDLE log, const char* targetPath) {
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(log, targetPath, (DWORD)std::strlen(targetPath), &written, NULL);
    WriteFile(log, "\r\n", 2, &written, NULL);
}

void CloseInstallLog(HANDLE log) {
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
}

void CheckMediaFile(const char* targetPath) {
    char element[PathSize];
    ShortPathOf(targetPath, element);
    CheckMediaFileWith(SystemMediaLayer, element, targetPath, MissingMediaTypes, sizeof MissingMediaTypes);
}

void ActivateSaver(const char* saverPath) {
    char shortPath[PathSize];
    ShortPathOf(saverPath, shortPath);
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", shortPath, "system.ini");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_UPDATEINIFILE);
}
