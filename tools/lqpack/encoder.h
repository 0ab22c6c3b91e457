// The packer for the installer's packed format, the inverse of decode/unpack.h.
//
// LZSS over a 4096-byte window with match lengths 3..30; literals and lengths are sent in the
// decoder's own adaptive code tree (decode/code_tree.h, the same code), offsets in its prefix code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decode/code_tree.h"

enum class EncodeLevel {
    Fast,  // greedy longest match over bounded hash chains
    Best,  // a cost-based parse under the adaptive code lengths; never larger than Fast's output
};

// Packs `size` bytes (any size up to 2 GiB - 1, the largest UnpackedSize) into a raw stream that
// UnpackStream(in, out, size, result.size(), ...) turns back into exactly these bytes whatever
// file was decoded before it: matches reach only this file's bytes and the 4066 blanks that
// precede it in the ring, never ring positions 4066..4095 left by an earlier file.
// An empty input gives an empty stream.
// Told now and then how much of the work is done, as a fraction from 0 to 1 (for a progress display).
struct EncodeProgress {
    void (*report)(double fraction, void* context);
    void* context;
};

std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, EncodeLevel level,
                                  const EncodeProgress* progress = nullptr);

// Writes codes one by one with the same model the decoder runs: the basis of EncodeStream and
// a way to craft streams the matcher would not produce (tests, format checks).
struct CodeWriter {
    CodeTree tree;
    std::vector<uint8_t> bytes;
    uint64_t pending;  // bits not yet in `bytes`, right-aligned
    int pendingCount;  // 0..7 between calls
};

void BeginCodes(CodeWriter* writer);
// Symbol 0..283: the path from the root to its leaf, then the tree counts it.
void PutSymbol(CodeWriter* writer, int symbol);
// Offset 0..4095 (copy from offset + 1 bytes back): prefix code of the upper 6 bits, then the
// lower 6 bits.
void PutOffset(CodeWriter* writer, int offset);
void PutLiteral(CodeWriter* writer, uint8_t byte);
// Length 3..30, offset 0..4095.
void PutMatch(CodeWriter* writer, int length, int offset);
// Pads the last byte with zero bits and hands over the stream.
std::vector<uint8_t> FinishCodes(CodeWriter* writer);

// Bits the current tree would spend on `symbol` (its leaf's depth).
int SymbolCost(const CodeTree& tree, int symbol);
// Bits an offset costs: its prefix code plus 6.
int OffsetCost(int offset);
