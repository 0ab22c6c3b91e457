// The list of targets an installation could not write.
#include "install/failures.h"

#include <cstring>

#include "install/naming.h"

void RecordFailedTarget(char* list, size_t size, int* count, const char* target) {
    ++*count;
    size_t have = std::strlen(list), add = std::strlen(target);
    if (have + add + 2 + 5 < size) {  // keeps room for a final "...\r\n"
        AppendText(list, size, target);
        AppendText(list, size, "\r\n");
    } else if (have < 5 || std::strcmp(list + have - 5, "...\r\n") != 0) {
        AppendText(list, size, "...\r\n");
    }
}
