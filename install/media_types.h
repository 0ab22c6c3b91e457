// The list of media file types the system could not open, as shown to the user.
#pragma once

#include <cstddef>

constexpr size_t MissingMediaTypesSize = 256;

// Records the type of a media file that could not be opened: its extension (from the last dot of the
// path, dot included; a name without a dot stands for itself) followed by CR LF, unless the list
// already holds that text anywhere (case-sensitive). A type that would not fit the list is dropped;
// the list is not empty then, so the saver is not activated either way.
void RecordMissingMediaType(char* list, size_t size, const char* path);
