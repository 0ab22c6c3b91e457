// Thousands formatting for unsigned 32-bit counts.
#include "shell/format_unsigned.h"

#include <cstdio>
#include <cstring>

char* FormatThousandsUnsigned(uint32_t value, char* buffer) {
    char digits[32];
    int count = std::snprintf(digits, sizeof digits, "%lu", (unsigned long)value);
    // At most 10 digits and 3 commas: the 32-byte buffer always has room.
    size_t out = 0;
    for (int i = 0; i < count; ++i) {
        buffer[out++] = digits[i];
        int remaining = count - i - 1;
        if (remaining > 0 && remaining % 3 == 0) buffer[out++] = ',';
    }
    buffer[out] = 0;
    return buffer;
}
