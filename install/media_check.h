// Whether the system's media layer can open a media file: two attempts, by element then as "MPEGVideo".
#pragma once

#include <cstddef>

// The media layer as the check uses it. open returns 0 on success and fills *device; byType asks for
// the "MPEGVideo" device instead of the one chosen by the file's extension.
struct MediaLayer {
    unsigned (*open)(const char* element, bool byType, unsigned* device);
    void (*close)(unsigned device);
};

// Opens element (the short path) by element, then, if that fails, as "MPEGVideo"; closes it at once when
// either succeeds. When both fail, records targetPath's type in the list (see RecordMissingMediaType).
// Returns true when the file could be opened.
bool CheckMediaFileWith(const MediaLayer& layer, const char* element, const char* targetPath, char* list,
                        size_t size);
