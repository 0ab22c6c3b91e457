// The sample uninstaller's decisions: reading INSTALL.LOG, the folders to try, the screen-saver setting.
#include "samples/uninstaller/plan.h"

#include <cstdio>
#include <cstring>

namespace {
const char UninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive (ASCII) comparison of n bytes.
bool SameBytes(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Copies at most size-1 bytes of text[0..length) and terminates; used for refused lines, which the
// report shows cut rather than not at all.
void CopyCut(char* out, size_t size, const char* text, size_t length) {
    if (length > size - 1) length = size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// The path parts after the root: every part must be a plain name, not "." or "..", and not empty.
bool PartsArePlain(const char* parts) {
    const char* p = parts;
    for (;;) {
        const char* end = std::strchr(p, '\\');
        size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (n == 0) return false;  // "\\" inside, or a trailing backslash
        if ((n == 1 && p[0] == '.') || (n == 2 && p[0] == '.' && p[1] == '.')) return false;
        if (!end) return true;
        p = end + 1;
    }
}

// Where the parts after the root begin, or NULL when the path is not a full path.
const char* AfterRoot(const char* path) {
    char c = FoldAscii(path[0]);
    if (c >= 'a' && c <= 'z' && path[1] == ':' && path[2] == '\\') return path + 3;
    if (path[0] == '\\' && path[1] == '\\') {
        // \\server\share\ then the parts; server and share must be present.
        const char* server = path + 2;
        const char* share = std::strchr(server, '\\');
        if (!share || share == server) return nullptr;
        const char* rest = std::strchr(share + 1, '\\');
        if (!rest || rest == share + 1) return nullptr;
        return rest + 1;
    }
    return nullptr;
}

// The start of the last part of path[0..length): just after its last backslash, or path itself.
size_t LastPartStart(const char* path, size_t length) {
    size_t i = length;
    while (i > 0 && path[i - 1] != '\\') --i;
    return i;
}
}  // namespace

bool IsRemovablePath(const char* path) {
    size_t length = std::strlen(path);
    if (length == 0 || length >= UninstallPathSize) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' || c == '/')
            return false;
        if (c == ':' && i != 1) return false;  // only the drive's colon
    }
    const char* parts = AfterRoot(path);
    return parts != nullptr && PartsArePlain(parts);
}

void ParseInstallLog(const char* text, size_t length, RemovalPlan* plan) {
    plan->FileCount = 0;
    plan->RefusedCount = 0;
    size_t start = 0;
    while (start < length) {
        size_t end = start;
        while (end < length && text[end] != '\n') ++end;
        size_t next = end + 1;
        if (end > start && text[end - 1] == '\r') --end;

        size_t first = start;
        while (first < end && IsBlank(text[first])) ++first;
        if (first < end) {
            char line[UninstallPathSize];
            bool fits = end - start < sizeof line;
            if (fits) CopyCut(line, sizeof line, text + start, end - start);
            bool refused = !fits || std::memchr(text + start, '\0', end - start) != nullptr ||
                           !IsRemovablePath(line);
            bool known = false;
            for (size_t i = 0; !refused && !known && i < plan->FileCount; ++i)
                known = SamePath(plan->Files[i], line);
            if (!refused && !known && plan->FileCount == MaxLoggedFiles) refused = true;
            if (refused) {
                if (plan->RefusedCount < MaxRefusedLines)
                    CopyCut(plan->Refused[plan->RefusedCount], UninstallPathSize, text + start, end - start);
                ++plan->RefusedCount;
            } else if (!known) {
                std::memcpy(plan->Files[plan->FileCount++], line, std::strlen(line) + 1);
            }
        }
        start = next;
    }
}

bool SamePath(const char* a, const char* b) {
    size_t n = std::strlen(a);
    return n == std::strlen(b) && SameBytes(a, b, n);
}

bool IsSaverPath(const char* path) {
    size_t n = std::strlen(path);
    size_t name = LastPartStart(path, n);
    return n - name > 4 && SameBytes(path + n - 4, ".scr", 4);
}

bool LastPathPart(const char* path, char* out, size_t size) {
    out[0] = '\0';
    size_t n = std::strlen(path);
    if (n > 0 && path[n - 1] == '\\') --n;
    size_t start = LastPartStart(path, n);
    if (n == start || n - start >= size || std::memchr(path + start, ':', n - start) != nullptr)
        return false;  // nothing, too long, or a drive ("C:") rather than a folder
    std::memcpy(out, path + start, n - start);
    out[n - start] = '\0';
    return true;
}

size_t FoldersToTry(const char* ownPath, char out[][UninstallPathSize], size_t capacity) {
    // The names that may be removed above the uninstaller's own folder, from the inside out.
    static const char* const Owners[] = {"Lumenquill", "Tavimore LLC"};
    size_t length = std::strlen(ownPath);
    if (length >= UninstallPathSize) return 0;
    size_t folderEnd = LastPartStart(ownPath, length);
    if (folderEnd < 2) return 0;  // no folder before the file name
    --folderEnd;                  // drop the backslash before the file name

    size_t count = 0;
    for (size_t level = 0; count < capacity; ++level) {
        if (AfterRoot(ownPath) == nullptr || folderEnd <= static_cast<size_t>(AfterRoot(ownPath) - ownPath))
            break;  // never a drive's or share's root
        std::memcpy(out[count], ownPath, folderEnd);
        out[count][folderEnd] = '\0';
        ++count;
        if (level == sizeof Owners / sizeof Owners[0]) break;
        size_t parentEnd = LastPartStart(ownPath, folderEnd);
        if (parentEnd == 0) break;
        --parentEnd;
        size_t nameStart = LastPartStart(ownPath, parentEnd);
        size_t nameLength = parentEnd - nameStart;
        if (nameLength != std::strlen(Owners[level]) || !SameBytes(ownPath + nameStart, Owners[level], nameLength))
            break;
        folderEnd = parentEnd;
    }
    return count;
}

bool UninstallKeyFor(const char* title, char* out, size_t size) {
    out[0] = '\0';
    if (title[0] == '\0' || std::strchr(title, '\\') != nullptr) return false;
    int n = std::snprintf(out, size, "%s%s", UninstallRoot, title);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool SettingPointsAt(const char* setting, const char* longPath, const char* shortPath) {
    size_t start = 0, end = std::strlen(setting);
    while (start < end && (IsBlank(setting[start]) || setting[start] == '"')) ++start;
    while (end > start && (IsBlank(setting[end - 1]) || setting[end - 1] == '"')) --end;
    size_t n = end - start;
    if (n == 0) return false;
    const char* candidates[] = {longPath, shortPath};
    for (const char* candidate : candidates) {
        if (candidate != nullptr && candidate[0] != '\0' && std::strlen(candidate) == n &&
            SameBytes(setting + start, candidate, n))
            return true;
    }
    return false;
}

bool IsSilentSwitch(const char* arguments) {
    const char* p = arguments;
    while (*p) {
        while (IsBlank(*p)) ++p;
        const char* word = p;
        while (*p && !IsBlank(*p)) ++p;
        if (p - word == 2 && (word[0] == '/' || word[0] == '-') && FoldAscii(word[1]) == 's') return true;
    }
    return false;
}

bool ComposeFinishArguments(char* out, size_t size, uintptr_t process, const char* path) {
    int n = std::snprintf(out, size, "/finish %lu \"%s\"", static_cast<unsigned long>(process), path);
    if (n < 0 || static_cast<size_t>(n) >= size || std::strchr(path, '"') != nullptr) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    return true;
}

bool ParseFinishArguments(const char* arguments, uintptr_t* process, char* path, size_t size) {
    const char* p = arguments;
    while (IsBlank(*p)) ++p;
    if (std::strncmp(p, "/finish ", 8) != 0) return false;
    p += 8;
    uintptr_t value = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        uintptr_t next = value * 10 + static_cast<uintptr_t>(*p - '0');
        if (next / 10 != value) return false;
        value = next;
    }
    if (p == digits || value == 0 || p[0] != ' ' || p[1] != '"') return false;
    p += 2;
    const char* end = std::strchr(p, '"');
    if (end == nullptr || end == p || static_cast<size_t>(end - p) >= size) return false;
    const char* rest = end + 1;
    while (IsBlank(*rest)) ++rest;
    if (*rest != '\0') return false;
    std::memcpy(path, p, static_cast<size_t>(end - p));
    path[end - p] = '\0';
    *process = value;
    return true;
}

void ComposeFailureReport(char* out, size_t size, const char (*items)[UninstallPathSize], size_t count) {
    static const char Heading[] = "These could not be removed:\r\n";
    // Room kept for the summing-up line, so that it always fits once the items stop.
    static const size_t TailRoom = 40;
    out[0] = '\0';
    if (size < sizeof Heading + TailRoom) return;
    std::memcpy(out, Heading, sizeof Heading);
    size_t used = sizeof Heading - 1;
    size_t shown = 0;
    for (; shown < count; ++shown) {
        size_t n = std::strlen(items[shown]);
        if (used + n + 2 + TailRoom >= size) break;
        std::memcpy(out + used, items[shown], n);
        std::memcpy(out + used + n, "\r\n", 3);
        used += n + 2;
    }
    if (shown < count)
        std::snprintf(out + used, size - used, "... and %lu more", static_cast<unsigned long>(count - shown));
}
