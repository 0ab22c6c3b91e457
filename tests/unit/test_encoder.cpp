// Tests of the packer: every shape of input decodes byte for byte through the installer's decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decoder_fixture.h"
#include "fixtures.h"
#include "decode/stream.h"
#include "decode/unpack.h"
#include "tools/lqpack/encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes after a file that left 0xA5 in ring positions 4066..4095, so a stream that leaned on
// those positions instead of the blanks would come out wrong.
Bytes DecodeAfterHostileTail(Bytes packed, size_t size) {
    std::memset(Decoder.RingBuffer + StartPosition, 0xA5, WindowSize - StartPosition);
    packed.push_back(0);  // fmemopen wants a nonempty buffer; the entry's size excludes it
    FILE* in = fmemopen(packed.data(), packed.size(), "rb");
    FILE* out = std::tmpfile();
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);
    UnpackStream(in, out, (int32_t)size, (uint32_t)packed.size() - 1, 514);
    std::fflush(out);
    std::rewind(out);
    Bytes result;
    int c;
    while ((c = std::fgetc(out)) != EOF) result.push_back((uint8_t)c);
    std::fclose(out);
    std::fclose(in);
    ResetRingTail();
    return result;
}

Bytes Text(size_t n) {
    static const char para[] =
        "Lumen Quill draws slow ribbons of light across the screen while the machine rests. "
        "Press any key or move the mouse to return to work.\r\n";
    std::mt19937 rng(77);
    Bytes v;
    while (v.size() < n) {
        size_t from = rng() % (sizeof para - 20), len = 5 + rng() % 15;
        v.insert(v.end(), para + from, para + from + len);
        if (rng() % 7 == 0) v.push_back((uint8_t)('0' + rng() % 10));
    }
    v.resize(n);
    return v;
}

// A block of 4096 random bytes and the same block again: its only matches lie 4096 back.
Bytes RepeatAtWindowEdge() {
    Bytes v = RandomBytes(4096, 31);
    Bytes again = v;
    v.insert(v.end(), again.begin(), again.end());
    return v;
}

// Mixed content of 2 MB: enough symbols for dozens of tree rebuilds.
Bytes Mixed(size_t n) {
    Bytes v;
    uint32_t seed = 1;
    while (v.size() < n) {
        Bytes part = (seed % 3 == 0) ? RandomBytes(3000, seed) : Text(5000 + seed % 3000);
        v.insert(v.end(), part.begin(), part.end());
        v.insert(v.end(), seed % 200, (uint8_t)seed);
        ++seed;
    }
    v.resize(n);
    return v;
}

struct Shape {
    const char* name;
    Bytes data;
    double maxRatio;  // packed / size must stay at or below this (0: no bound)
};

std::vector<Shape> Shapes() {
    Bytes blanksThenText(3000, ' ');
    Bytes text = Text(2000);
    blanksThenText.insert(blanksThenText.end(), text.begin(), text.end());
    Bytes zeros(40000, 0);
    Bytes run(70000, 'a');
    Bytes leadingZeros(100, 0);  // zeros at the start would match the tail of an earlier file
    Bytes r = RandomBytes(200, 4);
    leadingZeros.insert(leadingZeros.end(), r.begin(), r.end());
    return {
        {"empty", {}, 0},
        {"one byte", {0x42}, 0},
        {"two blanks", {' ', ' '}, 0},
        {"thirty blanks", Bytes(30, ' '), 0.2},
        {"random 100000", RandomBytes(100000, 1), 1.13},
        {"zeros 40000", zeros, 0.05},
        {"run 70000", run, 0.05},
        {"leading zeros", leadingZeros, 0},
        {"text 50000", Text(50000), 0.5},
        {"blanks then text", blanksThenText, 0.3},
        {"repeat 4096 back", RepeatAtWindowEdge(), 0.7},
        {"text 16383", Text(16383), 0},
        {"text 16384", Text(16384), 0},
        {"random 16385", RandomBytes(16385, 9), 0},
        {"mixed 2 MB", Mixed(2 << 20), 0.75},
    };
}

TEST(EncodeStream, EveryShapeDecodesByteForByte) {
    for (const Shape& s : Shapes()) {
        SCOPED_TRACE(s.name);
        Bytes fast = EncodeStream(s.data.data(), s.data.size(), EncodeLevel::Fast);
        Bytes best = EncodeStream(s.data.data(), s.data.size(), EncodeLevel::Best);
        ASSERT_TRUE(DecodeAfterHostileTail(fast, s.data.size()) == s.data) << "fast";
        ASSERT_TRUE(DecodeAfterHostileTail(best, s.data.size()) == s.data) << "best";
        EXPECT_LE(best.size(), fast.size());
        if (s.data.empty()) {
            EXPECT_TRUE(fast.empty());
        }
        if (s.maxRatio > 0) {
            EXPECT_LE((double)fast.size(), s.maxRatio * (double)s.data.size());
        }
    }
}

TEST(CodeWriter, EveryLengthAndOffsetReadsBackThroughTheInnerOperations) {
    // One match for each offset 0..4095, lengths cycling through 3..30, literals between.
    CodeWriter w;
    BeginCodes(&w);
    for (int d = 0; d < WindowSize; ++d) {
        PutMatch(&w, MinMatch + d % (MaxMatch - MinMatch + 1), d);
        PutLiteral(&w, (uint8_t)(d * 13));
    }
    Bytes packed = FinishCodes(&w);
    packed.push_back(0);
    FILE* in = fmemopen(packed.data(), packed.size(), "rb");
    StartReadingCodes(in, (uint32_t)packed.size() - 1);
    for (int d = 0; d < WindowSize; ++d) {
        ASSERT_EQ(ReadSymbol(), 256 + d % (MaxMatch - MinMatch + 1)) << d;
        ASSERT_EQ(ReadMatchOffset(), d);
        ASSERT_EQ(ReadSymbol(), (uint8_t)(d * 13)) << d;
    }
    EXPECT_LE(Decoder.PackedLeft, 1u);
    std::fclose(in);
}

TEST(CodeWriter, CostsAreTheBitsWritten) {
    CodeWriter w;
    BeginCodes(&w);
    size_t bits = 0;
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        int symbol = (int)(rng() % 40 == 0 ? 256 + rng() % 28 : rng() % 64);
        bits += (size_t)SymbolCost(w.tree, symbol);
        PutSymbol(&w, symbol);
        if (symbol >= 256) {
            int offset = (int)(rng() % WindowSize);
            bits += (size_t)OffsetCost(offset);
            PutOffset(&w, offset);
        }
    }
    EXPECT_EQ(FinishCodes(&w).size(), (bits + 7) / 8);
}

}  // namespace
