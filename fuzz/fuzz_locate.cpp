// The resource walk, the record reads, the table walk, the packed extraction and lqpack's reader over
// arbitrary installer files.
//
// The input is the whole installer file, held in a memory file so that the path-based entry points
// (OpenPackageRecordAt, ReadInstaller, ExtractPackedFileFrom) read it through /proc/self/fd.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "decode/extract.h"
#include "decode/unpack.h"
#include "package/locate.h"
#include "package/record.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/reader.h"
#include "tools/lqpack/stub.h"

namespace {
// A table can hold no more rows than the file has bytes for; the bound only guards against a walk
// that fails to advance.
constexpr unsigned MaxRows = 1u << 16;
// Packed entries are decoded for real up to this size; larger ones would only cost time.
constexpr uint32_t MaxDecodedSize = 1u << 16;

int MemoryFile() {
    static int fd = memfd_create("installer", 0);
    if (fd < 0) std::abort();
    return fd;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The table walk as the installer's loop runs it: rows read one at a time, each row's data visited
// (extracted when packed and small), then back to the row after it.
void WalkTable(const char* path, HFILE file, uint64_t fileSize) {
    SkipToFileTable(file);
    FileEntry entry;
    for (unsigned rows = 0; ReadFileEntry(file, &entry); ++rows) {
        Check(rows < MaxRows, "the table walk does not end");
        Check(entry.PackedSize != 0, "a row with PackedSize 0 was handed out");
        long saved = _llseek(file, 0, FILE_CURRENT);
        Check(saved > 0 && (uint64_t)saved <= fileSize, "the walk stands outside the file");
        if (entry.UnpackedSize != 0 && entry.UnpackedSize <= MaxDecodedSize) {
            int32_t result = ExtractPackedFileFrom(path, entry.DataOffset, (int32_t)entry.UnpackedSize,
                                                   entry.PackedSize, "/dev/null");
            Check(result == 1 || (result == ExtractNoSource && entry.DataOffset > 0x7FFFFFFFu),
                  "extraction of a readable installer failed");
            if (result == 1) Check(Decoder.OutCount >= (int32_t)entry.UnpackedSize, "the decoder stopped short");
        }
        _llseek(file, saved, FILE_BEGIN);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = MemoryFile();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != (ssize_t)size) std::abort();
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

    // The walk on a handle of our own, from an arbitrary start position.
    HFILE file = _lopen(path, OF_READ);
    Check(file != HFILE_ERROR, "the memory file cannot be opened");
    _llseek(file, size / 2, FILE_BEGIN);
    PackageLocation where;
    LocateError error = WalkToPackageRecord(file, &where);
    Check(LocateErrorText(error) != nullptr, "no text for a walk error");
    if (error == LocateError::None) {
        Check(where.Offset <= 0x7FFFFFFFu, "a record offset beyond 2 GiB");
        Check(_llseek(file, 0, FILE_CURRENT) == (long)where.Offset, "the walk left the handle elsewhere");
    }
    _lclose(file);

    // The installer's reads, each on a freshly opened record as the installer does.
    ResetRingTail();
    file = OpenPackageRecordAt(path);
    Check((file != HFILE_ERROR) == (error == LocateError::None), "the two walks disagree");
    if (file != HFILE_ERROR) {
        RecordHeader header;
        bool whole = ReadRecordHeader(file, &header);
        Check(std::memchr(header.Title, 0, sizeof header.Title) != nullptr, "a title without its zero");
        if (!whole) Check(header.NeedsDirectX == 0 && header.FirstNumber == 0, "fields set past the end");
        _lclose(file);

        file = OpenPackageRecordAt(path);
        Check(file != HFILE_ERROR, "the record opens once but not twice");
        WalkTable(path, file, size);
        _lclose(file);
    }

    // lqpack's reader and its stub check, which users point at any file.
    try {
        InstallerInfo info = ReadInstaller(path);
        Check(info.fileSize == size, "ReadInstaller saw another size");
        Check(std::memchr(info.header.Title, 0, sizeof info.header.Title) != nullptr, "a title without its zero");
        for (const InstallerEntry& entry : info.entries) Check(!entry.targetName.empty(), "an entry without a name");
    } catch (const ToolError&) {
        Check(error != LocateError::None, "ReadInstaller refused a file the walk accepts");
    }
    std::vector<uint8_t> bytes(data, data + size);
    PackageLocation stubWhere;
    CheckStub(path, bytes, &stubWhere);
    PrepareStub(path, bytes);
    return 0;
}
