// Names and paths of the installed files.
#include "install/naming.h"

#include <cstdio>
#include <cstring>
#include <string_view>

bool AppendText(char* dest, size_t size, const char* text) {
    size_t have = std::strlen(dest), add = std::strlen(text);
    if (have + add >= size) return false;
    std::memcpy(dest + have, text, add + 1);
    return true;
}

bool CopyText(char* dest, size_t size, const char* text) {
    if (size == 0) return false;
    dest[0] = 0;
    return AppendText(dest, size, text);
}

bool MediaFileName(char* out, size_t size, uint16_t firstNumber, int32_t index, const char* nameSuffix,
                   uint8_t kind) {
    const char* prefix = kind == '_' ? "JUK_" : kind == 0 ? "JUKE" : "FILE";
    char number[20];
    std::snprintf(number, sizeof number, "%04ld", (long)firstNumber + (long)index - 3);
    char suffix[16];
    size_t n = 0;
    while (n < 15 && nameSuffix[n]) { suffix[n] = nameSuffix[n]; ++n; }
    suffix[n] = 0;
    return CopyText(out, size, prefix) && AppendText(out, size, number) && AppendText(out, size, suffix);
}

void CutAtLastDot(char* name) {
    char* dot = std::strrchr(name, '.');
    if (dot) *dot = 0;
}

void TrimTrailingBlanks(char* text) {
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
}

bool TargetPathFor(char* out, size_t size, int32_t index, const char* saverPath, const char* dataFolder,
                   const char* baseName, uint16_t firstNumber, const char* nameSuffix, uint8_t kind) {
    bool fits;
    if (index == 0) {
        fits = CopyText(out, size, saverPath);
    } else if (index == 1) {
        fits = CopyText(out, size, dataFolder) && AppendText(out, size, baseName) && AppendText(out, size, ".dat");
    } else if (index == 2) {
        fits = CopyText(out, size, dataFolder) && AppendText(out, size, "UNINSTAL.EXE");
    } else {
        char name[PathSize];
        // The name ends in the number at the latest, so trimming it alone trims the whole path.
        fits = MediaFileName(name, sizeof name, firstNumber, index, nameSuffix, kind);
        TrimTrailingBlanks(name);
        fits = fits && CopyText(out, size, dataFolder) && AppendText(out, size, name);
    }
    if (!fits && size) out[0] = 0;
    return fits;
}

bool IsForbiddenNameChar(unsigned char c) {
    return c < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

int FindForbiddenNameChar(const char* name, size_t length) {
    for (size_t i = 0; i < length && name[i]; ++i)
        if (IsForbiddenNameChar((unsigned char)name[i])) return (int)i;
    return -1;
}

bool IsSafeNamePart(const char* name, size_t length) {
    if (FindForbiddenNameChar(name, length) >= 0) return false;
    size_t n = 0;
    while (n < length && name[n]) ++n;
    std::string_view text(name, n);
    return text != "." && text != "..";
}
