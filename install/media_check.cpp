// The media check of one file.
#include "install/media_check.h"

#include "install/media_types.h"

bool CheckMediaFileWith(const MediaLayer& layer, const char* element, const char* targetPath, char* list,
                        size_t size) {
    unsigned device = 0;
    unsigned result = layer.open(element, false, &device);
    if (result != 0) result = layer.open(element, true, &device);
    if (result == 0) {
        layer.close(device);
        return true;
    }
    RecordMissingMediaType(list, size, targetPath);
    return false;
}
