// The portable core of packed-file extraction; the installer's wrapper adds the module path.
#include "decode/extract.h"

#include <cstdio>

#include "decode/stream.h"
#include "decode/unpack.h"

int32_t ExtractPackedFileFrom(const char* sourcePath, uint32_t DataOffset, int32_t UnpackedSize,
                              uint32_t PackedSize, const char* TargetPath) {
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);

    FILE* in = std::fopen(sourcePath, "rb");
    if (!in) return ExtractNoSource;
    // fseek takes a long: offsets past 2 GiB cannot be reached on 32-bit targets.
    if (DataOffset > 0x7FFFFFFFu || std::fseek(in, (long)DataOffset, SEEK_SET) != 0) {
        std::fclose(in);
        return ExtractNoSource;
    }
    FILE* out = std::fopen(TargetPath, "wb");
    if (!out) {
        std::fclose(in);
        return ExtractNoTarget;
    }
    FatalStopTarget = TargetPath;
    UnpackStream(in, out, UnpackedSize, PackedSize, 514);
    // A full disk can show only when the last buffered bytes are flushed by the close.
    if (std::fclose(out) != 0) FatalStop();
    std::fclose(in);
    return 1;
}
