// Number formatting for the installer's messages.
#include "shell/format.h"

#include <cstdio>
#include <cstring>

char* FormatThousands(int32_t value, char* buffer) {
    char digits[32];
    // The magnitude as unsigned, so INT32_MIN formats too.
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    std::snprintf(digits, sizeof digits, "%lu", (unsigned long)magnitude);
    size_t count = std::strlen(digits), out = 0;
    if (value < 0) buffer[out++] = '-';
    for (size_t i = 0; i < count; ++i) {
        buffer[out++] = digits[i];
        size_t remaining = count - i - 1;
        if (remaining > 0 && remaining % 3 == 0) buffer[out++] = ',';
    }
    buffer[out] = 0;  // at most 1 + 10 digits + 3 commas
    return buffer;
}
