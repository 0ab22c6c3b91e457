// The resource walk shared by the installer and lqpack.
#include "package/locate.h"

#include <cstring>

namespace {
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }

constexpr uint32_t DirectoryBit = 0x80000000u;
constexpr unsigned FixedOptionalHeaderSize = 224;  // the installer's layout; the field is not trusted

// Seeks to an absolute offset and reads exactly count bytes.
bool ReadAt(HFILE file, uint32_t offset, void* buffer, unsigned count) {
    if (offset > 0x7FFFFFFFu) return false;
    if (_llseek(file, (long)offset, FILE_BEGIN) != (long)offset) return false;
    return ReadUpTo(file, buffer, count) == count;
}
}  // namespace

const char* LocateErrorText(LocateError error) {
    switch (error) {
        case LocateError::None: return "ok";
        case LocateError::ShortFile: return "the file ends inside its PE headers or resource directory";
        case LocateError::NoRsrc: return "no section named .rsrc";
        case LocateError::NotDirectory: return "the first resource entries do not lead to one data entry";
        case LocateError::OutsideRsrc: return "the package resource's data lies outside the .rsrc section";
    }
    return "unknown error";
}

LocateError WalkToPackageRecord(HFILE file, PackageLocation* where) {
    std::memset(where, 0, sizeof *where);
    uint8_t b[40];
    if (!ReadAt(file, 60, b, 4)) return LocateError::ShortFile;
    where->PeOffset = Get32(b);
    // Signature (4) and COFF header (20): only the section count is taken, to end the search.
    if (!ReadAt(file, where->PeOffset, b, 24)) return LocateError::ShortFile;
    where->SectionCount = Get16(b + 6);
    where->OptionalHeaderSize = Get16(b + 20);

    uint32_t header = where->PeOffset + 24 + FixedOptionalHeaderSize;
    bool found = false;
    for (uint32_t i = 0; i < where->SectionCount; ++i, header += 40) {
        if (!ReadAt(file, header, b, 40)) return LocateError::ShortFile;
        if (std::memcmp(b, ".rsrc", 6) == 0) {  // the name as a zero-terminated string
            where->RsrcHeaderOffset = header;
            where->RsrcIndex = i;
            where->RsrcVirtualSize = Get32(b + 8);
            where->RsrcVirtualAddress = Get32(b + 12);
            where->RsrcRawSize = Get32(b + 16);
            where->RsrcRawPointer = Get32(b + 20);
            found = true;
            break;
        }
    }
    if (!found) return LocateError::NoRsrc;

    const uint32_t base = where->RsrcRawPointer;  // R
    const uint32_t entries = base + 16;           // E: offsets of sub-directories count from here
    // Type level, then name level: the first entry must point to a sub-directory.
    uint32_t entry = entries;
    for (int level = 0; level < 2; ++level) {
        if (!ReadAt(file, entry, b, 8)) return LocateError::ShortFile;
        uint32_t offset = Get32(b + 4);
        if (!(offset & DirectoryBit)) return LocateError::NotDirectory;
        entry = entries + (offset & 0x7FFFFFFFu);
        if (entry < entries) return LocateError::ShortFile;  // wrapped past 4 GiB
    }
    // Language level: the first entry points to a data entry, relative to R.
    if (!ReadAt(file, entry, b, 8)) return LocateError::ShortFile;
    uint32_t dataEntry = Get32(b + 4);
    if (dataEntry & DirectoryBit) return LocateError::NotDirectory;
    where->DataEntryOffset = base + dataEntry;
    if (where->DataEntryOffset < base) return LocateError::ShortFile;
    if (!ReadAt(file, where->DataEntryOffset, b, 16)) return LocateError::ShortFile;
    where->DataRva = Get32(b);
    where->DataSize = Get32(b + 4);

    uint32_t span = where->RsrcVirtualSize > where->RsrcRawSize ? where->RsrcVirtualSize : where->RsrcRawSize;
    if (where->DataRva < where->RsrcVirtualAddress || where->DataRva - where->RsrcVirtualAddress >= span)
        return LocateError::OutsideRsrc;
    where->Offset = where->DataRva - where->RsrcVirtualAddress + base;
    if (where->Offset > 0x7FFFFFFFu || _llseek(file, (long)where->Offset, FILE_BEGIN) != (long)where->Offset)
        return LocateError::ShortFile;
    return LocateError::None;
}

HFILE OpenPackageRecordAt(const char* path) {
    HFILE file = _lopen(path, OF_READ | OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR) return HFILE_ERROR;
    PackageLocation where;
    if (WalkToPackageRecord(file, &where) != LocateError::None) {
        _lclose(file);
        return HFILE_ERROR;
    }
    return file;
}
