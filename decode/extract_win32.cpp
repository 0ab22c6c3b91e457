// ExtractPackedFile for the installer: the packed data lies in the running executable.
#include <windows.h>

#include "decode/extract.h"

int32_t ExtractPackedFile(void* module, uint32_t DataOffset, int32_t UnpackedSize, uint32_t PackedSize,
                          const char* TargetPath) {
    char path[260];
    DWORD length = GetModuleFileNameA((HMODULE)module, path, sizeof path);
    if (length == 0 || length >= sizeof path) return 0;  // a cut path could name another file
    return ExtractPackedFileFrom(path, DataOffset, UnpackedSize, PackedSize, TargetPath);
}
