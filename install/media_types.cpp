// The list of media file types the system could not open.
#include "install/media_types.h"

#include <cstring>

#include "install/naming.h"

void RecordMissingMediaType(char* list, size_t size, const char* path) {
    const char* type = std::strrchr(path, '.');
    const char* name = std::strrchr(path, '\\');
    if (!type || (name && type < name)) type = name ? name + 1 : path;
    if (std::strstr(list, type)) return;
    size_t have = std::strlen(list), add = std::strlen(type);
    if (have + add + 2 >= size) return;
    AppendText(list, size, type);
    AppendText(list, size, "\r\n");
}
