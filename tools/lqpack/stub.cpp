// Checking and preparing the installer stub.
#include "tools/lqpack/stub.h"

#include <cstring>

#include "common/lfile.h"

namespace {
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = v; b[at + 1] = v >> 8; b[at + 2] = v >> 16; b[at + 3] = v >> 24;
}
uint32_t AlignUp(uint32_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }

// Offsets in the PE32 optional header, counted from the PE signature.
constexpr size_t OptionalHeader = 24;
constexpr size_t SectionAlignmentField = OptionalHeader + 32;
constexpr size_t FileAlignmentField = OptionalHeader + 36;
constexpr size_t SizeOfImageField = OptionalHeader + 56;
constexpr size_t ResourceDirectoryField = OptionalHeader + 96 + 2 * 8;

std::string Walk(const char* path, PackageLocation* where) {
    HFILE file = _lopen(path, OF_READ | OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR) return "cannot be opened";
    LocateError error = WalkToPackageRecord(file, where);
    _lclose(file);
    return error == LocateError::None ? "" : LocateErrorText(error);
}
}  // namespace

std::string CheckStub(const char* path, const std::vector<uint8_t>& stub, PackageLocation* where) {
    std::string walk = Walk(path, where);
    if (!walk.empty()) return walk;
    size_t pe = where->PeOffset;
    if (Get16(stub, pe + OptionalHeader) != 0x10B) return "not a PE32 (32-bit) executable";
    if (where->OptionalHeaderSize != 224) return "the optional header is not 224 bytes long";
    if (where->RsrcIndex + 1 != where->SectionCount) return "the .rsrc section is not the last section";
    uint64_t rawEnd = (uint64_t)where->RsrcRawPointer + where->RsrcRawSize;
    if (rawEnd != stub.size()) return "data follows the .rsrc section (relocations, symbols or an overlay)";
    if (where->DataSize != 4) return "the package resource is not 4 bytes long";
    if ((uint64_t)where->Offset + 4 != rawEnd) return "the package resource does not end the .rsrc section";
    if (Get32(stub, where->Offset) != 0) return "the stub already carries a package";
    return "";
}

std::string PrepareStub(const char* path, std::vector<uint8_t>& image) {
    PackageLocation where;
    std::string walk = Walk(path, &where);
    if (!walk.empty()) return walk;
    size_t pe = where.PeOffset;
    if (where.OptionalHeaderSize != 224 || Get16(image, pe + OptionalHeader) != 0x10B)
        return "not a PE32 executable with a 224-byte optional header";
    if (where.RsrcIndex + 1 != where.SectionCount) return "the .rsrc section is not the last section";
    if ((uint64_t)where.RsrcRawPointer + where.RsrcRawSize != image.size())
        return "data follows the .rsrc section; link without relocations or symbols";
    if (where.DataSize != 4) return "the package resource is not 4 bytes long";

    const uint32_t fileAlignment = Get32(image, pe + FileAlignmentField);
    const uint32_t sectionAlignment = Get32(image, pe + SectionAlignmentField);
    uint32_t rawSize = where.RsrcRawSize;
    // The contents end at VirtualSize; the record's 4 bytes must come after all of them.
    if (where.RsrcVirtualSize + 4 > rawSize) {
        uint32_t grown = AlignUp(where.RsrcVirtualSize + 4, fileAlignment);
        image.resize(image.size() + (grown - rawSize), 0);
        rawSize = grown;
    }
    uint8_t data[4];
    std::memcpy(data, &image[where.Offset], 4);
    std::memset(&image[where.Offset], 0, 4);
    uint32_t newOffset = where.RsrcRawPointer + rawSize - 4;
    std::memcpy(&image[newOffset], data, 4);

    size_t header = where.RsrcHeaderOffset;
    Put32(image, header + 8, rawSize);    // VirtualSize: the whole raw data is mapped
    Put32(image, header + 16, rawSize);   // SizeOfRawData
    Put32(image, where.DataEntryOffset, where.RsrcVirtualAddress + rawSize - 4);
    Put32(image, pe + ResourceDirectoryField + 4, rawSize);
    Put32(image, pe + SizeOfImageField, AlignUp(where.RsrcVirtualAddress + rawSize, sectionAlignment));
    return "";
}
