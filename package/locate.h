// The resource locator: finds the package record inside an installer file by walking its PE headers.
//
// The walk reads the file as a plain file (never through the system's resource loader): offset 60 gives
// the PE signature, the section table starts 248 bytes after it (the optional header is 224 bytes), the
// section named ".rsrc" gives the resource base, and the first entry of each of the three directory
// levels leads to one data entry whose RVA is the record's position. Names and IDs are never compared.
// Every read is checked: a file that ends early, or a section table without ".rsrc", gives no record.
#pragma once

#include <cstdint>

#include "common/lfile.h"

// What the walk found, for lqpack's checks and the stub preparation; the installer needs only Offset.
struct PackageLocation {
    uint32_t PeOffset;          // e_lfanew
    uint16_t SectionCount;      // from the COFF header; bounds the section search
    uint16_t OptionalHeaderSize;
    uint32_t RsrcHeaderOffset;  // file offset of the ".rsrc" section header
    uint32_t RsrcIndex;         // its index in the section table
    uint32_t RsrcVirtualAddress;
    uint32_t RsrcVirtualSize;
    uint32_t RsrcRawSize;
    uint32_t RsrcRawPointer;    // the resource base R
    uint32_t DataEntryOffset;   // file offset of the 16-byte resource data entry
    uint32_t DataRva;
    uint32_t DataSize;          // declared size; never used to read the record
    uint32_t Offset;            // file offset of the record's first byte
};

enum class LocateError {
    None,
    ShortFile,     // the file ends inside a structure the walk must read
    NoRsrc,        // no section header named ".rsrc"
    NotDirectory,  // a type or name entry without bit 31, or a language entry with it
    OutsideRsrc,   // the data RVA does not lie inside the .rsrc section
};

const char* LocateErrorText(LocateError error);

// Walks an open file from any position. On success fills *where and returns LocateError::None;
// the file position is then the record's first byte.
LocateError WalkToPackageRecord(HFILE file, PackageLocation* where);

// Opens path read-only and walks to the record. Returns the handle positioned there, or -1.
HFILE OpenPackageRecordAt(const char* path);

// The running installer's own record (package/open_record_win32.cpp); -1 when there is none.
HFILE OpenPackageRecord();
