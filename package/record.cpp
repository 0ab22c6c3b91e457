// Reads of the package record shared by the installer and lqpack.
#include "package/record.h"

#include <cstring>

namespace {
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
void Put32(uint8_t* p, uint32_t v) { p[0] = v; p[1] = v >> 8; p[2] = v >> 16; p[3] = v >> 24; }

uint16_t Read16(HFILE file, bool* ok = nullptr) {
    uint8_t b[2] = {0, 0};
    unsigned got = ReadUpTo(file, b, 2);
    if (ok) *ok = got == 2;
    return (uint16_t)(b[0] | b[1] << 8);
}
}  // namespace

void DecodeFileEntry(const uint8_t bytes[record::EntrySize], FileEntry* entry) {
    entry->DataOffset = Get32(bytes);
    entry->PackedSize = Get32(bytes + 4);
    entry->UnpackedSize = Get32(bytes + 8);
    std::memcpy(entry->NameSuffix, bytes + 12, record::NameSuffixSize);
    entry->Kind = bytes[27];
}

void EncodeFileEntry(const FileEntry& entry, uint8_t bytes[record::EntrySize]) {
    Put32(bytes, entry.DataOffset);
    Put32(bytes + 4, entry.PackedSize);
    Put32(bytes + 8, entry.UnpackedSize);
    std::memcpy(bytes + 12, entry.NameSuffix, record::NameSuffixSize);
    bytes[27] = entry.Kind;
}

uint16_t SkipToFileTable(HFILE file) {
    uint16_t licenseLength = Read16(file);
    _llseek(file, (long)licenseLength + record::SkipAfterLicense, FILE_CURRENT);
    return Read16(file);
}

bool ReadFileEntry(HFILE file, FileEntry* entry) {
    uint8_t bytes[record::EntrySize];
    if (ReadUpTo(file, bytes, record::EntrySize) != record::EntrySize) {
        std::memset(entry, 0, sizeof *entry);
        return false;
    }
    DecodeFileEntry(bytes, entry);
    return entry->PackedSize != 0;
}

bool ReadRecordHeader(HFILE file, RecordHeader* header) {
    std::memset(header, 0, sizeof *header);
    bool ok = false;
    header->LicenseLength = Read16(file, &ok);
    if (!ok) return false;
    _llseek(file, header->LicenseLength, FILE_CURRENT);
    if (ReadUpTo(file, header->Title, record::TitleSize) != record::TitleSize) {
        std::memset(header->Title, 0, sizeof header->Title);
        return false;
    }
    header->Title[record::TitleSize - 1] = 0;
    uint8_t flag[4];
    if (ReadUpTo(file, flag, 4) != 4) return false;
    header->NeedsDirectX = Get32(flag);
    _llseek(file, 10, FILE_CURRENT);  // Reserved1..3
    header->FirstNumber = Read16(file);
    return true;
}
