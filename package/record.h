// The package record: its byte layout, shared by the installer (which reads it) and lqpack (which writes it).
//
// Layout of an installer file:
//
//   +------------------------------+  0
//   | installer executable image   |  headers, sections, .rsrc up to the LASTRES data
//   +------------------------------+  R = the LASTRES resource's data position (OpenPackageRecord)
//   | u16  LicenseLength  (L)      |  R + 0
//   | u8   LicenseText[L]          |  R + 2            no terminating zero
//   | char Title[260]              |  R + 2 + L        zero-terminated, zero padded
//   | u32  NeedsDirectX            |  R + 262 + L
//   | u32  Reserved1, Reserved2    |  R + 266 + L      0x00FF0000, 0 from lqpack; never read
//   | u16  Reserved3               |  R + 274 + L      0; never read
//   | u16  FirstNumber             |  R + 276 + L      number of the first media file
//   | FileEntry[n], terminator     |  R + 278 + L      28 bytes each; the terminator is all zero
//   +------------------------------+  R + 278 + L + 28 (n + 1)
//   | packed data of every entry   |  in table order, each at its absolute DataOffset
//   +------------------------------+  end of file
//
// All integers are little-endian. Rows: 0 the saver, 1 its data file, 2 the uninstaller, 3.. media files.
#pragma once

#include <cstdint>

#include "common/lfile.h"

namespace record {
constexpr unsigned TitleSize = 260;
constexpr unsigned HeaderAfterLicense = 276;   // Title .. Reserved3, then FirstNumber
constexpr unsigned SkipAfterLicense = 274;     // Title, NeedsDirectX, Reserved1..3
constexpr unsigned EntrySize = 28;
constexpr unsigned NameSuffixSize = 15;
constexpr unsigned MaxLicenseLength = 65535;
constexpr uint32_t Reserved1Value = 0x00FF0000;

// Offsets inside the record with a license of L bytes.
constexpr unsigned TitleOffset(unsigned L) { return 2 + L; }
constexpr unsigned NeedsDirectXOffset(unsigned L) { return 262 + L; }
constexpr unsigned FirstNumberOffset(unsigned L) { return 276 + L; }
constexpr unsigned TableOffset(unsigned L) { return 278 + L; }
constexpr unsigned RecordSize(unsigned L, unsigned files) { return 278 + L + EntrySize * (files + 1); }
}  // namespace record

// One 28-byte row of the file table, as stored.
struct FileEntry {
    uint32_t DataOffset;    // absolute offset of the data in the installer file
    uint32_t PackedSize;    // bytes stored at DataOffset; 0 marks the terminator
    uint32_t UnpackedSize;  // size after decoding; 0 means stored uncompressed
    char NameSuffix[record::NameSuffixSize];  // blank padded, no terminating zero
    uint8_t Kind;           // '_', 0 or other: selects a media file's name prefix
};

// Row <-> bytes, little-endian whatever the host.
void DecodeFileEntry(const uint8_t bytes[record::EntrySize], FileEntry* entry);
void EncodeFileEntry(const FileEntry& entry, uint8_t bytes[record::EntrySize]);

// Reads the u16 LicenseLength and skips the text and the header fields, leaving the handle on the first
// FileEntry. Returns FirstNumber. The record is trusted to follow the layout: a short read counts as zeros.
uint16_t SkipToFileTable(HFILE file);

// Reads the next row of the table walk. Returns false at the end of the table: the terminator
// (PackedSize 0) or a row cut short by the end of the file, so a table without terminator ends there.
bool ReadFileEntry(HFILE file, FileEntry* entry);

// A row's share of InstalledSize: UnpackedSize if nonzero, else PackedSize.
inline uint32_t InstalledBytes(const FileEntry& entry) {
    return entry.UnpackedSize != 0 ? entry.UnpackedSize : entry.PackedSize;
}

// The header fields that the splash window and lqpack read.
struct RecordHeader {
    uint16_t LicenseLength;
    char Title[record::TitleSize];  // as stored; the last byte is forced to zero so it is always a string
    uint32_t NeedsDirectX;
    uint16_t FirstNumber;
};

// Reads LicenseLength, skips the text, reads Title, NeedsDirectX and (past the reserved fields) FirstNumber.
// Returns false when the record ends before NeedsDirectX; fields not reached stay zero.
bool ReadRecordHeader(HFILE file, RecordHeader* header);
