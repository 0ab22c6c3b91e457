// The adaptive Huffman LZSS decoder: turns the packed bytes of one file-table entry into the file.
//
// Stream format: bytes in file order, bits of each byte from the most significant down; a
// sequence of codes, each a symbol sent as the path from the root of the current code tree to
// its leaf (bit 0 = lower child). Symbols 0..255 are literal bytes; 256..283 are matches of
// length symbol - 253 (3..30), followed by an offset code: 8 bits index OffsetHigh /
// OffsetCodeLength, then OffsetCodeLength - 2 more bits; the last 6 bits read are the offset's
// low bits. Offset d copies from d + 1 bytes back in the 4096-byte ring buffer, byte by byte
// (so a source running into the bytes being written repeats them). There is no header, no end
// marker and no checksum: the file table gives both sizes, decoding stops once `size` bytes are
// produced, and bits asked for beyond the packed bytes are zeros.
//
// Each file starts with a fresh code tree, ring positions 0..4065 blank (0x20) and the write
// position at 4066. Positions 4066..4095 carry over from the previous file (zeros before the
// first): a stream that refers to them before writing them decodes differently after different
// files. Damaged streams are not detected; they decode to wrong bytes of the right length, and
// every array index stays inside its array for any input.
#pragma once

#include <cstdint>
#include <cstdio>

#include "decode/code_tree.h"

// Upper 6 bits of an offset, by the first 8 bits of its code.
extern const uint8_t OffsetHigh[256];
// Length in bits of the prefix code selecting the upper 6 bits, by the same index (3..8).
extern const uint8_t OffsetCodeLength[256];

struct DecoderState {
    uint8_t RingBuffer[WindowSize];  // the most recent output bytes
    uint16_t WritePos;               // 0..4095: where the next output byte goes
    uint16_t BitBuffer;              // bits read but not used, the next one in bit 15
    uint8_t BitCount;                // valid bits in BitBuffer
    uint32_t PackedLeft;             // packed bytes of the entry not yet read
    int32_t OutCount;                // bytes produced for the current file
    int32_t FileSize;                // the entry's UnpackedSize
    int32_t NextCheckpoint;          // output count the next checkpoint must pass
    FILE* In;                        // the input stream, for the bit reader
    int16_t Marker;                  // handed unchanged to every ReadPtr and WritePtr call
};

// The decoder's single global state and code tree.
extern DecoderState Decoder;
extern CodeTree Tree;

// Decodes one entry from `in` (positioned at its first packed byte) to `out`: `size` bytes
// from `packed` packed bytes. ReadPtr and WritePtr must have been reset for this file. Returns
// OutCount, which can exceed `size` by up to 29 when the last match runs past the end: such a
// match still fills the ring buffer, but WritePtr is never handed a byte past `size`, so the
// file holds exactly `size` bytes (unless an abort stops it early). `size` 0 reads and writes
// nothing and leaves the tree and ring as they are; a negative size returns 0 after the reset.
// Runs the checkpoint after every symbol and returns at once when it says stop.
// The bit reader may take packed bytes a few bytes ahead of need; they come from the same entry
// through the same sequence of ReadPtr calls, so the bytes and the stream reads are unchanged.
int32_t UnpackStream(FILE* in, FILE* out, int32_t size, uint32_t packed, int16_t marker);

// Zeroes ring positions 4066..4095, so the next file decodes as the first file of a process.
void ResetRingTail();

// The decoder's inner operations on the global state, one bit at a time with the 16-bit
// BitBuffer; UnpackStream runs the same steps inline. ReadBit and ReadEightBits refill from
// Decoder.In while BitCount is 8 or less (zeros once PackedLeft is 0).
void ResetModel();
void UpdateModel(int symbol);
void RebuildModel();
int ReadBit();
int ReadEightBits();
int ReadSymbol();       // 0..283, counted in the tree
int ReadMatchOffset();  // 0..4095
