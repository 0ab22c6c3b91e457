// The installation's folder and file paths.
#include "install/paths.h"

#include <cstring>

#include "install/naming.h"

bool ComposeSaverPath(char* out, size_t size, const char* windowsDirectory, const char* saverFileName) {
    if (size == 0) return false;  // no room even for the NUL; out is not looked at
    bool fits = CopyText(out, size, windowsDirectory);
    size_t n = std::strlen(out);
    if (fits && (n == 0 || out[n - 1] != '\\')) fits = AppendText(out, size, "\\");
    fits = fits && AppendText(out, size, saverFileName);
    if (!fits && size) out[0] = 0;
    return fits;
}

bool ComposeDataFolder(char* out, size_t size, const char* base, bool fallback, const char* baseName,
                       size_t* createFrom) {
    *createFrom = 0;
    if (size == 0) return false;  // no room even for the NUL; out is not looked at
    bool fits = CopyText(out, size, base);
    if (fallback && fits) {
        size_t n = std::strlen(out);
        if (n == 0 || out[n - 1] != '\\') fits = AppendText(out, size, "\\");
        *createFrom = std::strlen(out) - 1;  // the backslash that ends the Windows directory
        fits = fits && AppendText(out, size, "All Users\\Application Data");
    } else {
        *createFrom = std::strlen(out);  // the company level's backslash comes next
    }
    fits = fits && AppendText(out, size, "\\Tavimore LLC\\Lumenquill\\") && AppendText(out, size, baseName) &&
           AppendText(out, size, "\\");
    if (!fits && size) out[0] = 0;
    return fits;
}

void InstallLocationOf(const char* path, char* out, size_t size) {
    if (size == 0) return;
    CopyText(out, size, path);
    char* last = std::strrchr(out, '\\');
    if (last && last != std::strchr(out, '\\')) *last = 0;
}
