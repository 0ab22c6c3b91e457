// Tests of ReadPtr and WritePtr: chunk sizes of every stream call, short reads, the write cycle.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "decode/stream.h"

namespace {

// A stream over memory that records the size of every write the C library makes on it.
// Unbuffered, so each fwrite of WritePtr reaches it as one call.
struct RecordingStream {
    std::vector<uint8_t> data;  // bytes to read, or bytes written
    size_t readPos = 0;
    std::vector<size_t> writes;
    std::vector<size_t> writeCalls;  // for each write, the number of WritePtr calls made so far
    size_t callsSoFar = 0;
    FILE* file = nullptr;

    static ssize_t Read(void* cookie, char* buf, size_t n) {
        auto* s = static_cast<RecordingStream*>(cookie);
        size_t got = std::min(n, s->data.size() - s->readPos);
        if (got) std::memcpy(buf, s->data.data() + s->readPos, got);
        s->readPos += got;
        return (ssize_t)got;
    }
    static ssize_t Write(void* cookie, const char* buf, size_t n) {
        auto* s = static_cast<RecordingStream*>(cookie);
        s->writes.push_back(n);
        s->writeCalls.push_back(s->callsSoFar);
        s->data.insert(s->data.end(), buf, buf + n);
        return (ssize_t)n;
    }
    void Open(const char* mode) {
        file = fopencookie(this, mode, cookie_io_functions_t{Read, Write, nullptr, nullptr});
        ASSERT_NE(file, nullptr);
        setvbuf(file, nullptr, _IONBF, 0);
    }
    ~RecordingStream() {
        if (file) std::fclose(file);
    }
};

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1103515245 + 12345;
        b = (uint8_t)(seed >> 16);
    }
    return v;
}

struct ReadCase {
    size_t packed;
    std::vector<size_t> reads;
};

TEST(ReadPtr, ReadsEntryInChunksAndNeverPastIt) {
    // An unbuffered stream over a real file: each fread becomes one read of the descriptor, so
    // the descriptor's position after each ReadPtr call shows every stream read and its size.
    const ReadCase cases[] = {
        {1, {1}},
        {16384, {16384}},
        {16385, {16384, 1}},
        {2 * 16384 + 1, {16384, 16384, 1}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.packed);
        std::vector<uint8_t> data = Pattern(c.packed + 100, 5);  // bytes after the entry stay unread
        FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::fwrite(data.data(), 1, data.size(), f);
        std::fflush(f);
        std::rewind(f);
        setvbuf(f, nullptr, _IONBF, 0);
        ReadPtr(nullptr, 0, 0);
        std::vector<uint8_t> got;
        std::vector<size_t> reads;
        off_t at = 0;
        for (uint32_t left = (uint32_t)c.packed; left > 0; --left) {
            got.push_back((uint8_t)ReadPtr(&f, 514, left));
            off_t now = lseek(fileno(f), 0, SEEK_CUR);
            if (now != at) reads.push_back((size_t)(now - at));
            at = now;
        }
        std::fclose(f);
        EXPECT_EQ(reads, c.reads);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
    }
}

TEST(ReadPtr, ReadThatDeliversNothingRepeatsFirstByteOfBuffer) {
    RecordingStream s;
    s.Open("r");
    ReadPtr(nullptr, 0, 0);
    EXPECT_EQ(ReadPtr(&s.file, 514, 4), 0);  // right after a reset: a zero byte
    EXPECT_EQ(Reader.ReadLeft, -1);

    RecordingStream t;
    t.data = {0x11, 0x22, 0x33};
    t.Open("r");
    ReadPtr(nullptr, 0, 0);
    std::vector<uint16_t> got;
    for (uint32_t left = 6; left > 0; --left) got.push_back(ReadPtr(&t.file, 514, left));
    // The entry claims 6 bytes but the file ends after 3: the first byte of the last chunk comes
    // back for each read that delivers nothing, and every such call tries to read again.
    EXPECT_EQ(got, (std::vector<uint16_t>{0x11, 0x22, 0x33, 0x11, 0x11, 0x11}));
    EXPECT_EQ(Reader.ReadLeft, -1);
    EXPECT_EQ(Reader.ReadPos, 1);
}

struct WriteCase {
    uint32_t size;
    size_t passed;                    // bytes handed to WritePtr, without a reset between
    std::vector<size_t> writes;       // sizes of the stream writes
    std::vector<size_t> writeCalls;   // the call (1-based count) that made each write
};

TEST(WritePtr, WritesChunksEndingExactlyAtSizeThenStartsANewCycle) {
    const WriteCase cases[] = {
        {16384, 16384, {16384}, {16384}},
        {16385, 16385, {16384, 1}, {16384, 16385}},
        {1, 1, {1}, {1}},
        {40000, 40000, {16384, 16384, 7232}, {16384, 32768, 40000}},
        // Past `size` a new cycle collects min(size, 16384) bytes before writing; fewer are kept.
        {20, 20 + 19, {20}, {20}},
        {20, 20 + 20, {20, 20}, {20, 40}},
        {40000, 40000 + 16383, {16384, 16384, 7232}, {16384, 32768, 40000}},
        {40000, 40000 + 16384, {16384, 16384, 7232, 16384}, {16384, 32768, 40000, 56384}},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " passed " << c.passed);
        RecordingStream s;
        s.Open("w");
        WritePtr(nullptr, 0, 0, 0);
        std::vector<uint8_t> bytes = Pattern(c.passed, 9);
        for (size_t i = 0; i < c.passed; ++i) {
            s.callsSoFar = i + 1;
            WritePtr(&s.file, bytes[i], 514, c.size);
        }
        EXPECT_EQ(s.writes, c.writes);
        EXPECT_EQ(s.writeCalls, c.writeCalls);
        ASSERT_LE(s.data.size(), bytes.size());
        EXPECT_TRUE(std::equal(s.data.begin(), s.data.end(), bytes.begin()));
    }
}

TEST(WritePtr, ResetClearsAPartChunk) {
    RecordingStream s;
    s.Open("w");
    WritePtr(nullptr, 0, 0, 0);
    for (int i = 0; i < 10; ++i) WritePtr(&s.file, 'a', 514, 100);
    WritePtr(nullptr, 0, 0, 0);
    EXPECT_EQ(Writer.WriteFill, 0);
    EXPECT_EQ(Writer.WrittenTotal, 0u);
    for (int i = 0; i < 3; ++i) WritePtr(&s.file, 'b', 514, 3);
    EXPECT_EQ(s.writes, (std::vector<size_t>{3}));
    EXPECT_EQ(std::string(s.data.begin(), s.data.end()), "bbb");
}

TEST(WritePtrDeathTest, ShortWriteEndsWithStatusOneNamingTheFile) {
    auto shortWrite = [] {
        FILE* full = std::fopen("/dev/full", "wb");
        setvbuf(full, nullptr, _IONBF, 0);
        WritePtr(nullptr, 0, 0, 0);
        FatalStopTarget = "C:\\Windows\\saver.scr";
        for (int i = 0; i < 16384; ++i) WritePtr(&full, 'x', 514, 20000);
        std::fprintf(stderr, "went on after a short write\n");
        std::exit(0);
    };
    EXPECT_EXIT(shortWrite(), testing::ExitedWithCode(1),
                "^error: could not write C:\\\\Windows\\\\saver\\.scr: No space left on device");
}

}  // namespace
