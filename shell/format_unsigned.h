// Thousands formatting for unsigned 32-bit counts (kilobytes, byte totals) that may exceed INT32_MAX.
#pragma once

#include <cstdint>

// Writes value in decimal with a comma between groups of three digits, counted from the right, into
// buffer, which must hold 32 bytes, and returns buffer. Every uint32_t fits: the longest text,
// "4,294,967,295", is 13 characters. For values below 2^31 the text equals FormatThousands'.
char* FormatThousandsUnsigned(uint32_t value, char* buffer);
