// OpenPackageRecord for the installer: the record inside the running executable.
#include <windows.h>

#include "package/locate.h"

HFILE OpenPackageRecord() {
    char path[256];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    // A path that does not fit comes back cut (length == size); opening a cut path could find another file.
    if (length == 0 || length >= sizeof path) return HFILE_ERROR;
    return OpenPackageRecordAt(path);
}
