// The adaptive Huffman LZSS decoder: one global state, static tables, nothing allocated.
#include "decode/unpack.h"

#include <cstring>

#include "decode/checkpoint.h"
#include "decode/stream.h"

const uint8_t OffsetHigh[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5,
    6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    8, 8, 8, 8, 8, 8, 8, 8, 9, 9, 9, 9, 9, 9, 9, 9,
    10, 10, 10, 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 11, 11, 11,
    12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 15, 15, 15, 15,
    16, 16, 16, 16, 17, 17, 17, 17, 18, 18, 18, 18, 19, 19, 19, 19,
    20, 20, 20, 20, 21, 21, 21, 21, 22, 22, 22, 22, 23, 23, 23, 23,
    24, 24, 25, 25, 26, 26, 27, 27, 28, 28, 29, 29, 30, 30, 31, 31,
    32, 32, 33, 33, 34, 34, 35, 35, 36, 36, 37, 37, 38, 38, 39, 39,
    40, 40, 41, 41, 42, 42, 43, 43, 44, 44, 45, 45, 46, 46, 47, 47,
    48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63,
};

const uint8_t OffsetCodeLength[256] = {
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};

DecoderState Decoder;
CodeTree Tree;

void ResetModel() { ResetModel(&Tree); }
void UpdateModel(int symbol) { UpdateModel(&Tree, symbol); }
void RebuildModel() { RebuildModel(&Tree); }

void ResetRingTail() {
    std::memset(Decoder.RingBuffer + StartPosition, 0, WindowSize - StartPosition);
}

// Keeps 9 to 16 valid bits in BitBuffer, aligned to bit 15.
static void RefillBits() {
    while (Decoder.BitCount <= 8) {
        uint16_t b = 0;
        if (Decoder.PackedLeft != 0) {
            b = ReadPtr(&Decoder.In, Decoder.Marker, Decoder.PackedLeft);
            --Decoder.PackedLeft;
        }
        Decoder.BitBuffer = (uint16_t)(Decoder.BitBuffer | (b << (8 - Decoder.BitCount)));
        Decoder.BitCount = (uint8_t)(Decoder.BitCount + 8);
    }
}

int ReadBit() {
    RefillBits();
    int bit = Decoder.BitBuffer >> 15;
    Decoder.BitBuffer = (uint16_t)(Decoder.BitBuffer << 1);
    --Decoder.BitCount;
    return bit;
}

int ReadEightBits() {
    RefillBits();
    int byte = Decoder.BitBuffer >> 8;
    Decoder.BitBuffer = (uint16_t)(Decoder.BitBuffer << 8);
    Decoder.BitCount = (uint8_t)(Decoder.BitCount - 8);
    return byte;
}

int ReadSymbol() {
    unsigned x = Tree.NodeChild[RootNode];
    while (x < (unsigned)NodeCount) x = Tree.NodeChild[x + ReadBit()];
    int symbol = (int)(x - NodeCount);
    UpdateModel(&Tree, symbol);
    return symbol;
}

int ReadMatchOffset() {
    unsigned i = (unsigned)ReadEightBits();
    unsigned high = OffsetHigh[i];
    for (int e = OffsetCodeLength[i] - 2; e > 0; --e) i = 2 * i + (unsigned)ReadBit();
    return (int)(high * 64 + (i % 64));
}

// The hot loop below runs the same steps as ReadSymbol / ReadMatchOffset / WritePtr, with the
// reader, the writer and the counts held in locals:
//  - bits: a 64-bit accumulator, next bit in bit 63, `count` valid bits; below them only zeros
//    or copies of the very bytes that come next, so OR-ing those bytes in again is harmless.
//  - [rp, rend): the unread part of ReadBuffer's current chunk. When it is empty the next byte
//    comes from ReadPtr itself, which reads the next chunk exactly as it would for the
//    one-bit-at-a-time reader (same `left` sequence, so the same stream reads).
//  - [wp, wlim): bytes that may be stored in WriteBuffer without completing its chunk; the byte
//    that would complete it (or the first of a chunk, which picks FlushSize) goes to WritePtr.
// Globals are written back before every call out and before returning.
int32_t UnpackStream(FILE* in, FILE* out, int32_t size, uint32_t packed, int16_t marker) {
    Decoder.BitCount = 0;
    Decoder.BitBuffer = 0;
    Decoder.PackedLeft = packed;
    Decoder.NextCheckpoint = 0;
    Decoder.OutCount = 0;
    Decoder.FileSize = size;
    Decoder.In = in;
    Decoder.Marker = marker;
    if (size == 0) return 0;
    ResetModel(&Tree);
    std::memset(Decoder.RingBuffer, ' ', StartPosition);
    Decoder.WritePos = StartPosition;
    if (size < 0) return 0;

    FILE* inStream = in;
    FILE* outStream = out;
    uint8_t* const ring = Decoder.RingBuffer;
    uint16_t* const child = Tree.NodeChild;
    uint8_t* const readBase = Reader.ReadBuffer;
    uint8_t* const writeBase = Writer.WriteBuffer;

    uint64_t bits = 0;
    int count = 0;
    uint32_t packedLeft = packed;
    const uint8_t* rp;
    const uint8_t* rend;
    auto loadReader = [&]() {
        // ReadPos + max(ReadLeft, 0) is the size of the current chunk, at most 16384.
        rp = readBase + Reader.ReadPos;
        rend = rp + (Reader.ReadLeft > 0 ? Reader.ReadLeft : 0);
    };
    auto storeReader = [&]() {
        Reader.ReadPos = (int16_t)(rp - readBase);
        if (rend > rp) Reader.ReadLeft = (int16_t)(rend - rp);
        else if (Reader.ReadLeft > 0) Reader.ReadLeft = 0;
    };
    loadReader();
    auto nextByte = [&]() -> uint64_t {
        if (packedLeft == 0) return 0;
        if (rp == rend) {
            storeReader();
            uint16_t b = ReadPtr(&inStream, marker, packedLeft);
            --packedLeft;
            loadReader();
            return b;
        }
        --packedLeft;
        return *rp++;
    };
    // Brings count above 56 bits.
    auto refill = [&]() {
        if (rend - rp >= 8 && packedLeft >= 8) {
            uint64_t word;
            std::memcpy(&word, rp, 8);
            word = __builtin_bswap64(word);
            bits |= word >> count;
            int take = (63 - count) >> 3;
            rp += take;
            packedLeft -= (uint32_t)take;
            count += take * 8;
        } else {
            while (count <= 56) {
                bits |= nextByte() << (56 - count);
                count += 8;
            }
        }
    };

    uint8_t* wp;
    uint8_t* wlim;
    auto loadWriter = [&]() {
        // WriteFill < FlushSize <= 16384 while a chunk is open, so wlim <= the last byte.
        wp = writeBase + Writer.WriteFill;
        wlim = Writer.FlushSizeSet ? writeBase + Writer.FlushSize - 1 : wp;
    };
    loadWriter();
    auto put = [&](uint8_t b) {
        if (wp < wlim) {
            *wp++ = b;
            return;
        }
        Writer.WriteFill = (int16_t)(wp - writeBase);
        WritePtr(&outStream, b, marker, (uint32_t)size);
        loadWriter();
    };

    unsigned pos = StartPosition;
    // 64-bit counts: a match may take the count up to size + 29 and the checkpoint a step past it.
    int64_t outCount = 0;
    int64_t nextCheckpoint = 0;
    auto finish = [&]() {
        storeReader();
        Writer.WriteFill = (int16_t)(wp - writeBase);
        Decoder.PackedLeft = packedLeft;
        Decoder.WritePos = (uint16_t)pos;
        Decoder.OutCount = (int32_t)(uint32_t)outCount;
        Decoder.NextCheckpoint = (int32_t)(uint32_t)nextCheckpoint;
        return Decoder.OutCount;
    };

    do {
        if (count < 32) refill();
        // The walk runs on register copies; it leaves them only when the bits run out, which
        // a tree of this size and count limit never needs but a bound must still cover.
        unsigned x = child[RootNode];
        uint64_t walkBits = bits;
        int walkCount = count;
        for (;;) {
            while (x < (unsigned)NodeCount && walkCount > 0) {
                x = child[x + (unsigned)(walkBits >> 63)];
                walkBits <<= 1;
                --walkCount;
            }
            if (x >= (unsigned)NodeCount) break;
            bits = walkBits;
            count = walkCount;
            refill();
            walkBits = bits;
            walkCount = count;
        }
        bits = walkBits;
        count = walkCount;
        unsigned symbol = x - NodeCount;
        UpdateModel(&Tree, (int)symbol);

        if (symbol < 256) {
            ring[pos] = (uint8_t)symbol;
            pos = (pos + 1) & (WindowSize - 1);
            put((uint8_t)symbol);
            ++outCount;
        } else {
            if (count < 14) refill();
            unsigned code = (unsigned)(bits >> 50);  // the next 14 bits
            unsigned index = code >> 6;
            unsigned codeLength = OffsetCodeLength[index];
            unsigned offset = (unsigned)OffsetHigh[index] * 64 + ((code >> (8 - codeLength)) & 63);
            bits <<= codeLength + 6;
            count -= (int)codeLength + 6;

            unsigned length = symbol - 253;
            unsigned src = (pos - offset - 1) & (WindowSize - 1);
            // Bytes past `size` enter the ring but never reach WritePtr.
            int64_t room = size - outCount;
            unsigned handed = (int64_t)length < room ? length : (unsigned)room;
            if (src + length <= (unsigned)WindowSize && pos + length <= (unsigned)WindowSize &&
                wp + handed <= wlim) {
                // Neither range wraps and no byte completes a chunk: a plain forward copy.
                uint8_t* d = ring + pos;
                const uint8_t* s = ring + src;
                for (unsigned k = 0; k < length; ++k) d[k] = s[k];
                std::memcpy(wp, d, handed);
                wp += handed;
                pos = (pos + length) & (WindowSize - 1);
            } else {
                for (unsigned k = 0; k < length; ++k) {
                    uint8_t b = ring[src];
                    ring[pos] = b;
                    if (k < handed) put(b);
                    src = (src + 1) & (WindowSize - 1);
                    pos = (pos + 1) & (WindowSize - 1);
                }
            }
            outCount += length;
        }

        if (!Checkpoint(outCount, &nextCheckpoint)) return finish();
    } while (outCount < size);
    return finish();
}
