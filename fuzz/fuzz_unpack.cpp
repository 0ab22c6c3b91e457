// The decoder over arbitrary packed streams and sizes, and the packer's round trip.
//
// Input: byte 0 picks the mode, bytes 1..3 the unpacked size (at most MaxSize), the rest is the data.
// (The size: bytes 1-2 shifted left by byte 3 when that is 0..4, so up to 1 MiB.)
//   mode bit 0 clear: the rest is a packed stream, decoded to `size` bytes exactly as the installer
//                     does (ExtractPackedFile's steps over a memory stream).
//   mode bit 0 set:   the rest is a file, packed with EncodeStream (bit 1: Fast or Best) and decoded
//                     again; the result must be the file itself. The size bytes are then unused.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decode/stream.h"
#include "decode/unpack.h"
#include "tools/lqpack/encoder.h"

namespace {
constexpr uint32_t MaxSize = 1u << 20;
// Best packing costs far more than decoding: its round trips keep to smaller files.
constexpr size_t MaxBestInput = 64u << 10;

// An output stream that keeps every byte written to it.
ssize_t Collect(void* cookie, const char* buffer, size_t size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(cookie);
    bytes->insert(bytes->end(), buffer, buffer + size);
    return (ssize_t)size;
}

FILE* CollectingStream(std::vector<uint8_t>* bytes) {
    cookie_io_functions_t functions = {};
    functions.write = Collect;
    return fopencookie(bytes, "wb", functions);
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Decodes `packed` bytes to `size` bytes as the first file of a process.
std::vector<uint8_t> Decode(const uint8_t* packed, size_t packedSize, int32_t size) {
    std::vector<uint8_t> out;
    // fmemopen refuses an empty buffer; a stream that delivers nothing stands in for it.
    static const uint8_t none = 0;
    FILE* in = fmemopen((void*)(packedSize ? packed : &none), packedSize ? packedSize : 1, "rb");
    FILE* sink = CollectingStream(&out);
    Check(in && sink, "the memory streams cannot be opened");
    ResetRingTail();
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);
    int32_t produced = UnpackStream(in, sink, size, (uint32_t)packedSize, 514);
    Check(std::fclose(sink) == 0, "the sink failed");
    std::fclose(in);
    Check(size <= 0 || (produced >= size && produced <= size + MaxMatch - 1), "a wrong output count");
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t mode = data[0];
    // Bytes 1-2 give the size, byte 3 a left shift of 0..4 (other values: 0), so most inputs stay small.
    const unsigned shift = (data[3] & 15) <= 4 ? (data[3] & 15) : 0;
    const uint32_t wanted = std::min<uint32_t>((uint32_t)(data[1] | data[2] << 8) << shift, MaxSize);
    const uint8_t* rest = data + 4;
    const size_t restSize = size - 4;

    if (!(mode & 1)) {
        std::vector<uint8_t> out = Decode(rest, restSize, (int32_t)wanted);
        Check(out.size() == wanted, "the file does not hold exactly UnpackedSize bytes");
        return 0;
    }

    EncodeLevel level = (mode & 2) ? EncodeLevel::Best : EncodeLevel::Fast;
    if (level == EncodeLevel::Best && restSize > MaxBestInput) return 0;
    std::vector<uint8_t> packed = EncodeStream(rest, restSize, level);
    std::vector<uint8_t> back = Decode(packed.data(), packed.size(), (int32_t)restSize);
    Check(back.size() == restSize && (restSize == 0 || std::memcmp(back.data(), rest, restSize) == 0),
          "the packed file does not decode to itself");
    return 0;
}
