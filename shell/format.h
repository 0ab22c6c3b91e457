// Number formatting for the installer's messages.
#pragma once

#include <cstdint>

// Writes value in decimal with a comma between groups of three digits (1234567 -> "1,234,567") into
// buffer, which must hold 32 bytes, and returns buffer. Negative values keep their sign in front
// ("-1,234"); no caller passes one.
char* FormatThousands(int32_t value, char* buffer);
