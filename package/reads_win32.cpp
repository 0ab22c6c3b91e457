// The installer's reads of its own package record.
#include "shell/installer.h"

#include <cstring>

#include "package/locate.h"
#include "package/record.h"

char SaverTitle[260];
uint32_t NeedsDirectX;

void ReadPackageHeader() {
    HFILE file = OpenPackageRecord();
    if (file == HFILE_ERROR) return;
    RecordHeader header;
    ReadRecordHeader(file, &header);
    _lclose(file);
    std::memcpy(SaverTitle, header.Title, sizeof SaverTitle);
    NeedsDirectX = header.NeedsDirectX;
}
