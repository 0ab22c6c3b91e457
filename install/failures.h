// The list of targets an installation could not write, kept for the message shown after it.
#pragma once

#include <cstddef>

// Appends one target (a path or a description) and CR LF to list; counts it in *count either way.
// When the list is full the line is dropped and the final line reads "..." so the user knows.
void RecordFailedTarget(char* list, size_t size, int* count, const char* target);
