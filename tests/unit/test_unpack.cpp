// Tests of the decoder, its code tree and packed-file extraction, with fixtures from the packer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decoder_fixture.h"
#include "fixtures.h"
#include "decode/checkpoint.h"
#include "decode/extract.h"
#include "decode/pump_posix.h"
#include "decode/stream.h"
#include "decode/unpack.h"
#include "tools/lqpack/encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(FILE* f) {
    Bytes out;
    std::fflush(f);
    std::rewind(f);
    int c;
    while ((c = std::fgetc(f)) != EOF) out.push_back((uint8_t)c);
    return out;
}

Bytes ReadFile(const std::string& path) {
    Bytes out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        out = ReadAll(f);
        std::fclose(f);
    }
    return out;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string TempPath(const std::string& name) {
    return testing::TempDir() + "lq_unpack_" + std::to_string(getpid()) + "_" + name;
}

struct Decoded {
    Bytes bytes;
    int32_t outCount;
};

// Decodes through UnpackStream with freshly reset ReadPtr and WritePtr, as extraction does.
Decoded Decode(Bytes packed, int32_t size) {
    packed.push_back(0);  // fmemopen wants a nonempty buffer; the entry's size excludes this byte
    FILE* in = fmemopen(packed.data(), packed.size(), "rb");
    FILE* out = std::tmpfile();
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);
    Decoded d;
    d.outCount = UnpackStream(in, out, size, (uint32_t)packed.size() - 1, 514);
    d.bytes = ReadAll(out);
    std::fclose(out);
    std::fclose(in);
    return d;
}

// The decoding steps one bit at a time through the inner operations and WritePtr, with its own
// ring buffer started from `tail` (positions 4066..4095), to compare the hot loop against.
Decoded ReferenceDecode(Bytes packed, int32_t size, const uint8_t* tail, uint8_t* ring) {
    packed.push_back(0);
    FILE* in = fmemopen(packed.data(), packed.size(), "rb");
    FILE* out = std::tmpfile();
    WritePtr(nullptr, 0, 0, 0);
    StartReadingCodes(in, (uint32_t)packed.size() - 1);
    std::memset(ring, ' ', StartPosition);
    std::memcpy(ring + StartPosition, tail, WindowSize - StartPosition);
    unsigned pos = StartPosition;
    int64_t count = 0;
    do {
        int s = ReadSymbol();
        if (s < 256) {
            WritePtr(&out, (uint8_t)s, 514, (uint32_t)size);
            ring[pos] = (uint8_t)s;
            pos = (pos + 1) % WindowSize;
            ++count;
        } else {
            int d = ReadMatchOffset();
            unsigned src = (pos + WindowSize - d - 1) % WindowSize;
            for (int k = 0; k < s - 253; ++k) {
                if (count + k < size) WritePtr(&out, ring[src], 514, (uint32_t)size);
                ring[pos] = ring[src];
                pos = (pos + 1) % WindowSize;
                src = (src + 1) % WindowSize;
            }
            count += s - 253;
        }
    } while (count < size);
    Decoded d{ReadAll(out), (int32_t)count};
    std::fclose(out);
    std::fclose(in);
    return d;
}

// Text-like bytes with repeats near and far, so the packed form mixes literals and matches.
Bytes Compressible(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes v;
    const char* words[] = {"screen ", "saver ", "lumen ", "quill ", "the ", "install ", "\r\n", "0123 "};
    while (v.size() < n) {
        if (v.size() > 5000 && rng() % 4 == 0) {
            size_t from = v.size() - 1 - rng() % 4000, len = 3 + rng() % 40;
            for (size_t k = 0; k < len; ++k) v.push_back(v[from + k]);
        } else if (rng() % 5 == 0) {
            v.push_back((uint8_t)rng());
        } else {
            const char* w = words[rng() % 8];
            v.insert(v.end(), w, w + std::strlen(w));
        }
    }
    v.resize(n);
    return v;
}

// Checks the invariants the decoder's indexing relies on.
void ExpectValidTree(const CodeTree& t) {
    ASSERT_EQ(t.NodeFreq[NodeCount], 0xFFFF);
    ASSERT_EQ(t.NodeParent[RootNode], 0);
    std::vector<int> leafOf(SymbolCount, -1);
    for (int n = 0; n < NodeCount; ++n) {
        if (n + 1 < NodeCount) {
            ASSERT_LE(t.NodeFreq[n], t.NodeFreq[n + 1]) << "node " << n;
        }
        unsigned x = t.NodeChild[n];
        if (x >= (unsigned)NodeCount) {
            ASSERT_LT(x, (unsigned)(NodeCount + SymbolCount));
            ASSERT_EQ(leafOf[x - NodeCount], -1) << "symbol " << x - NodeCount << " twice";
            leafOf[x - NodeCount] = n;
            ASSERT_EQ(t.NodeParent[x], n);
        } else {
            ASSERT_LT(x + 1, (unsigned)n) << "children of " << n;
            ASSERT_EQ(t.NodeFreq[n], t.NodeFreq[x] + t.NodeFreq[x + 1]) << "node " << n;
            ASSERT_EQ(t.NodeParent[x], n);
            ASSERT_EQ(t.NodeParent[x + 1], n);
        }
    }
    for (int s = 0; s < SymbolCount; ++s) ASSERT_NE(leafOf[s], -1) << "symbol " << s << " missing";
}

int LeafFreq(const CodeTree& t, int symbol) { return t.NodeFreq[t.NodeParent[NodeCount + symbol]]; }

TEST(CodeTree, KeepsItsInvariantsThroughUpdatesAndRebuilds) {
    CodeTree t;
    ResetModel(&t);
    ExpectValidTree(t);
    EXPECT_EQ(t.NodeFreq[RootNode], SymbolCount);
    std::mt19937 rng(11);
    std::geometric_distribution<int> skew(0.05);
    int rebuilds = 0;
    for (int i = 0; i < 150000; ++i) {
        uint16_t before = t.NodeFreq[RootNode];
        UpdateModel(&t, std::min(skew(rng), SymbolCount - 1));
        if (t.NodeFreq[RootNode] < before) {
            ++rebuilds;
            ExpectValidTree(t);
        } else {
            ASSERT_EQ(t.NodeFreq[RootNode], before + 1);
        }
        if (i % 5000 == 0) ExpectValidTree(t);
    }
    EXPECT_GE(rebuilds, 6);
}

TEST(CodeTree, RebuildHalvesLeafCountsRoundingUp) {
    CodeTree t;
    ResetModel(&t);
    UpdateModel(&t, 'a');
    UpdateModel(&t, 'a');
    UpdateModel(&t, 'b');
    ASSERT_EQ(LeafFreq(t, 'a'), 3);
    ASSERT_EQ(LeafFreq(t, 'b'), 2);
    RebuildModel(&t);
    EXPECT_EQ(LeafFreq(t, 'a'), 2);
    EXPECT_EQ(LeafFreq(t, 'b'), 1);
    EXPECT_EQ(LeafFreq(t, 'c'), 1);
    EXPECT_EQ(t.NodeFreq[RootNode], SymbolCount + 1);
    ExpectValidTree(t);
}

TEST(CodeTree, CountedLeafMovesToTheTopOfItsRun) {
    CodeTree t;
    ResetModel(&t);
    UpdateModel(&t, 0);
    // Symbol 0's leaf was node 0, the lowest of the 284 leaves of count 1: it trades places with
    // node 283, the highest of them, and the counts above it grow along its new path.
    EXPECT_EQ(t.NodeParent[NodeCount + 0], 283);
    EXPECT_EQ(t.NodeChild[283], NodeCount + 0);
    EXPECT_EQ(t.NodeChild[0], NodeCount + 283);
    EXPECT_EQ(t.NodeFreq[283], 2);
    EXPECT_EQ(t.NodeFreq[RootNode], SymbolCount + 1);
    ExpectValidTree(t);
}

TEST(CodeTree, RebuildOfAFreshTreeChangesNothing) {
    // Counts of 1 stay 1, and each new node goes above the nodes of equal count before it, which
    // is where the fresh tree has it.
    CodeTree fresh, rebuilt;
    ResetModel(&fresh);
    ResetModel(&rebuilt);
    RebuildModel(&rebuilt);
    EXPECT_EQ(std::memcmp(&fresh, &rebuilt, sizeof fresh), 0);
}

TEST(OffsetTables, HoldEachUpperValueInARunOfItsCodeLength) {
    // Value h fills 2^k entries and has a code of 8 - k bits; runs are in increasing order.
    int index = 0;
    for (int h = 0; h < 64; ++h) {
        int length = OffsetCodeLength[index];
        int run = 1 << (8 - length);
        EXPECT_EQ(length, h == 0 ? 3 : h < 4 ? 4 : h < 12 ? 5 : h < 24 ? 6 : h < 48 ? 7 : 8) << h;
        for (int k = 0; k < run; ++k, ++index) {
            ASSERT_EQ(OffsetHigh[index], h) << index;
            ASSERT_EQ(OffsetCodeLength[index], length) << index;
        }
    }
    EXPECT_EQ(index, 256);
}

struct ZeroCase {
    int32_t size;
    int32_t outCount;
};

TEST(UnpackStream, AllZeroStreamIsALiteralThenAMatchCutAtTheSize) {
    // Every bit zero: literal 56 ('8'), then symbol 283 with offset 0, thirty more '8's.
    const ZeroCase cases[] = {{1, 1}, {2, 31}, {16, 31}, {29, 31}, {31, 31}};
    for (const ZeroCase& c : cases) {
        SCOPED_TRACE(c.size);
        Decoded d = Decode({}, c.size);
        EXPECT_EQ(d.outCount, c.outCount);
        EXPECT_EQ(d.bytes, Bytes((size_t)c.size, 0x38));
    }
    // The same, one symbol at a time through the inner operations.
    StartReadingCodes(nullptr, 0);
    EXPECT_EQ(ReadSymbol(), 56);
    EXPECT_EQ(ReadSymbol(), 283);
    EXPECT_EQ(ReadMatchOffset(), 0);
}

TEST(UnpackStream, SizeZeroReadsNothingAndNegativeSizeOnlyResets) {
    Bytes packed = RandomBytes(64, 3);
    FILE* in = fmemopen(packed.data(), packed.size(), "rb");
    FILE* out = std::tmpfile();
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);
    Decoder.RingBuffer[0] = 'Q';
    EXPECT_EQ(UnpackStream(in, out, 0, 64, 514), 0);
    EXPECT_EQ(Decoder.RingBuffer[0], 'Q');
    EXPECT_EQ(UnpackStream(in, out, -5, 64, 514), 0);
    EXPECT_EQ(Decoder.RingBuffer[0], ' ');
    EXPECT_EQ(Decoder.WritePos, StartPosition);
    EXPECT_EQ(std::ftell(in), 0);
    EXPECT_TRUE(ReadAll(out).empty());
    std::fclose(out);
    std::fclose(in);
}

TEST(UnpackStream, FirstRebuildComesWithSymbol32485) {
    for (int symbols : {32484, 32485}) {
        SCOPED_TRACE(symbols);
        CodeWriter w;
        BeginCodes(&w);
        Bytes expected;
        for (int i = 0; i < symbols; ++i) {
            uint8_t b = (uint8_t)(i * 7 + i / 300);
            PutLiteral(&w, b);
            expected.push_back(b);
        }
        Decoded d = Decode(FinishCodes(&w), symbols);
        ASSERT_EQ(d.bytes, expected);
        if (symbols == 32484) {
            EXPECT_EQ(Tree.NodeFreq[RootNode], 0x8000);  // 284 + 32484: the next update rebuilds
        } else {
            EXPECT_LT(Tree.NodeFreq[RootNode], 0x8000 / 2 + SymbolCount);
        }
        EXPECT_EQ(std::memcmp(&Tree, &w.tree, sizeof Tree), 0) << "decoder and packer models differ";
    }
}

struct TailCase {
    const char* what;
    bool afterFile;  // decode a 5000-byte file first; otherwise start as the first file
    int offset;      // of the crafted file's first code, a 30-byte match
};

TEST(UnpackStream, RingTailCarriesOverFromThePreviousFile) {
    Bytes previous = Compressible(5000, 21);
    Bytes previousPacked = EncodeStream(previous.data(), previous.size(), EncodeLevel::Fast);
    // After 5000 bytes, ring positions 4066 + j were last written by byte 4096 + j.
    Bytes tail(previous.begin() + 4096, previous.begin() + 4126);
    const TailCase cases[] = {
        {"first file, offset 4095", false, 4095},
        {"after a file, offset 4095", true, 4095},
        {"after a file, offset 4080", true, 4080},
        {"after a file, offset 4065", true, 4065},
    };
    for (const TailCase& c : cases) {
        SCOPED_TRACE(c.what);
        ResetRingTail();
        if (c.afterFile) {
            ASSERT_EQ(Decode(previousPacked, 5000).bytes, previous);
        }
        CodeWriter w;
        BeginCodes(&w);
        PutMatch(&w, 30, c.offset);
        Decoded d = Decode(FinishCodes(&w), 30);
        // The match starts at 4066 - offset - 1 (mod 4096) and runs up through the ring.
        Bytes expected;
        for (int k = 0; k < 30; ++k) {
            int p = (StartPosition - c.offset - 1 + k + WindowSize) % WindowSize;
            expected.push_back(p < StartPosition ? ' ' : c.afterFile ? tail[p - StartPosition] : 0);
        }
        EXPECT_EQ(d.bytes, expected);
    }
    ResetRingTail();
}

TEST(UnpackStream, DamagedStreamsMatchTheOneBitReaderAndStayInBounds) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        size_t packedSize = round < 3 ? 0 : rng() % (round % 4 == 0 ? 40000 : 3000);
        Bytes packed = RandomBytes(packedSize, (uint32_t)round);
        if (round % 10 == 1) std::fill(packed.begin(), packed.end(), 0xFF);
        int32_t size = 1 + (int32_t)(rng() % (round % 3 == 0 ? 120000 : 5000));
        uint8_t tail[WindowSize - StartPosition];
        std::memcpy(tail, Decoder.RingBuffer + StartPosition, sizeof tail);
        Decoded fast = Decode(packed, size);
        uint8_t fastRing[WindowSize];
        std::memcpy(fastRing, Decoder.RingBuffer, WindowSize);
        uint8_t refRing[WindowSize];
        Decoded ref = ReferenceDecode(packed, size, tail, refRing);
        ASSERT_EQ(fast.bytes.size(), (size_t)size);
        ASSERT_EQ(fast.outCount, ref.outCount);
        ASSERT_LT(fast.outCount - size, MaxMatch);
        ASSERT_TRUE(fast.bytes == ref.bytes);
        ASSERT_EQ(std::memcmp(fastRing, refRing, WindowSize), 0);
    }
    ResetRingTail();
}

// Records the decoder's writes, and at each write how far the decoder has read its input.
struct CallLog {
    FILE* input = nullptr;
    std::vector<size_t> writes;
    std::vector<long> readSoFar;
    static ssize_t Write(void* cookie, const char*, size_t n) {
        auto* log = static_cast<CallLog*>(cookie);
        log->writes.push_back(n);
        log->readSoFar.push_back((long)lseek(fileno(log->input), 0, SEEK_CUR));
        return (ssize_t)n;
    }
};

struct CallCase {
    Bytes packed;
    int32_t size;
    std::vector<size_t> writes;  // empty: only the total is checked
};

TEST(UnpackStream, MakesTheStreamCallsOfTheBufferedReaderAndWriter) {
    // The input is an unbuffered stream over a real file, so its descriptor moves by exactly
    // the stream reads: whole chunks of 16384 bytes, then the remainder, never past the entry.
    Bytes file16385 = Compressible(16385, 4);
    const CallCase cases[] = {
        // 2 x 16384 + 1 packed bytes, more than the output needs: read whole, then zeros.
        {RandomBytes(2 * 16384 + 1, 8), 2000000, {}},
        {EncodeStream(file16385.data(), file16385.size(), EncodeLevel::Best), 16385, {16384, 1}},
        {{}, 16384, {16384}},
        {{}, 1, {1}},
    };
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.size);
        Bytes image = c.packed;
        image.resize(c.packed.size() + 50, 0xEE);
        FILE* in = std::tmpfile();
        std::fwrite(image.data(), 1, image.size(), in);
        std::fflush(in);
        std::rewind(in);
        setvbuf(in, nullptr, _IONBF, 0);
        CallLog log;
        log.input = in;
        FILE* out = fopencookie(&log, "w", cookie_io_functions_t{nullptr, CallLog::Write, nullptr, nullptr});
        setvbuf(out, nullptr, _IONBF, 0);
        ReadPtr(nullptr, 0, 0);
        WritePtr(nullptr, 0, 0, 0);
        UnpackStream(in, out, c.size, (uint32_t)c.packed.size(), 514);
        long endPosition = (long)lseek(fileno(in), 0, SEEK_CUR);
        std::fclose(out);
        std::fclose(in);
        EXPECT_EQ(endPosition, (long)c.packed.size());
        for (long at : log.readSoFar)
            EXPECT_TRUE(at % 16384 == 0 || at == (long)c.packed.size()) << "read so far: " << at;
        size_t total = 0;
        for (size_t n : log.writes) total += n;
        EXPECT_EQ(total, (size_t)c.size);
        if (!c.writes.empty()) {
            EXPECT_EQ(log.writes, c.writes);
        }
    }
}

int PumpCount;
int AbortAtPump;
void CountPump() {
    ++PumpCount;
    if (PumpCount == AbortAtPump) AbortRequested = 1;
}

struct ExtractCase {
    const char* what;
    int32_t size;
    int abortAtPump;  // the pump whose handler confirms an abort; 0 never, -1 before the start
    bool uninterruptible;
    int pumps;
    size_t targetSize;
};

TEST(ExtractPackedFileFrom, PumpsAtCheckpointsAndStopsOnAbort) {
    const ExtractCase cases[] = {
        {"282624 bytes", 282624, 0, false, 3, 282624},
        {"102400 bytes", 102400, 0, false, 1, 102400},
        {"102401 bytes", 102401, 0, false, 2, 102401},
        {"abort in the pump past 102400", 282624, 2, false, 2, 98304},
        {"abort before the start", 282624, -1, false, 1, 0},
        {"abort while the uninstaller is written", 282624, 2, true, 3, 282624},
    };
    Bytes data = Compressible(282624, 13);
    const std::string source = TempPath("source.exe"), target = TempPath("target.scr");
    for (const ExtractCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file(data.begin(), data.begin() + c.size);
        Bytes packed = EncodeStream(file.data(), file.size(), EncodeLevel::Fast);
        Bytes image(1234, 'M');  // the entry's data sits after other bytes of the installer
        image.insert(image.end(), packed.begin(), packed.end());
        image.resize(image.size() + 77, 'Z');
        WriteFile(source, image);

        PumpCount = 0;
        AbortAtPump = c.abortAtPump;
        AbortRequested = c.abortAtPump == -1;
        CopyUninterruptible = c.uninterruptible;
        PumpHook = CountPump;
        int32_t result = ExtractPackedFileFrom(source.c_str(), 1234, c.size, (uint32_t)packed.size(),
                                               target.c_str());
        PumpHook = nullptr;
        AbortRequested = 0;
        CopyUninterruptible = 0;

        EXPECT_EQ(result, 1);
        EXPECT_EQ(PumpCount, c.pumps);
        Bytes written = ReadFile(target);
        EXPECT_EQ(written.size(), c.targetSize);
        EXPECT_TRUE(std::equal(written.begin(), written.end(), file.begin()));
    }
    std::remove(source.c_str());
    std::remove(target.c_str());
}

TEST(ExtractPackedFileFrom, ReportsStreamsThatCannotBeOpened) {
    const std::string source = TempPath("present.exe"), target = TempPath("never.scr");
    WriteFile(source, Bytes(100, 0));
    std::remove(target.c_str());
    EXPECT_EQ(ExtractPackedFileFrom(TempPath("missing.exe").c_str(), 0, 10, 5, target.c_str()),
              ExtractNoSource);
    EXPECT_NE(access(target.c_str(), F_OK), 0) << "a target was created without a source";
    EXPECT_EQ(ExtractPackedFileFrom(source.c_str(), 0, 10, 5, TempPath("no/such/dir.scr").c_str()),
              ExtractNoTarget);
    std::remove(source.c_str());
}

TEST(ExtractPackedFileFromDeathTest, WriteToAFullDiskEndsWithStatusOneNamingTheFile) {
    // Without the process id: a death test's child may run this body again up to the exit, and
    // it must write the same file the parent removes.
    const std::string source = testing::TempDir() + "lq_unpack_full_disk_source.exe";
    // 10 bytes fail only when the close flushes them; 40000 fail in WritePtr's first chunk.
    for (int32_t size : {10, 40000}) {
        SCOPED_TRACE(size);
        Bytes file = Compressible((size_t)size, 5);
        WriteFile(source, EncodeStream(file.data(), file.size(), EncodeLevel::Fast));
        uint32_t packedSize = (uint32_t)ReadFile(source).size();
        EXPECT_EXIT(ExtractPackedFileFrom(source.c_str(), 0, size, packedSize, "/dev/full"),
                    testing::ExitedWithCode(1),
                    "^error: could not write /dev/full: No space left on device");
    }
    std::remove(source.c_str());
}

}  // namespace
