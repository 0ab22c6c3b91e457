// Damaged installers: one good installer built by lqpack, damaged in each of the ways a download cut
// short or a hostile file can damage it, run through the installer's own walk, reads and extraction and
// through lqpack's reader. Each case states what every layer must make of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "decode/checkpoint.h"
#include "decode/extract.h"
#include "decode/pump_posix.h"
#include "decode/unpack.h"
#include "fixtures.h"
#include "package/locate.h"
#include "package/record.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/reader.h"
#include "tools/lqpack/writer.h"

namespace {
using Bytes = std::vector<uint8_t>;

uint32_t Get32At(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
void Put16(Bytes& b, size_t at, uint16_t v) { b[at] = (uint8_t)v; b[at + 1] = (uint8_t)(v >> 8); }
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

Bytes Text(size_t n, const char* line) {
    Bytes b;
    while (b.size() < n) b.insert(b.end(), line, line + std::strlen(line));
    b.resize(n);
    return b;
}

Bytes Noise(size_t n, uint32_t seed) {
    Bytes b(n);
    for (uint8_t& x : b) x = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 16);
    return b;
}

// The good installer: a license, a packed saver, a stored data file, a packed uninstaller and a stored
// media file, and where each of its structures lies.
struct Good {
    std::vector<Bytes> files;
    Bytes bytes;
    PackageLocation where;
    uint32_t R;        // the record
    unsigned L;        // its license length
    uint32_t table;    // its first row
    std::vector<FileEntry> rows;
};

const Good& TheGood() {
    static Good good = [] {
        Good g;
        TempDir dir;
        g.files = {Text(5000, "saver code and pictures "), Noise(700, 2), Text(3000, "uninstaller "),
                   Noise(400, 4)};
        BuildRequest request;
        request.stubPath = StubPath();
        request.outputPath = dir.Path("setup.exe");
        request.title = "Aquarium";
        request.firstNumber = 6;
        request.licensePath = dir.Write("license.txt", std::string(120, 'L'));
        const char* names[] = {"saver.scr", "saver.dat", "uninstal.exe", "song.mid"};
        for (int i = 0; i < 4; ++i) {
            PackageInput input;
            input.path = dir.Write(names[i], g.files[i]);
            input.pack = i == 0 || i == 2;
            if (i == 3) input.nameSuffix = ".MID";
            request.files.push_back(input);
        }
        BuildInstaller(request);
        g.bytes = ReadWholeFile(request.outputPath);
        InstallerInfo info = ReadInstaller(request.outputPath);
        g.where = info.where;
        g.R = info.where.Offset;
        g.L = info.header.LicenseLength;
        g.table = g.R + record::TableOffset(g.L);
        for (const InstallerEntry& e : info.entries) g.rows.push_back(e.row);
        return g;
    }();
    return good;
}

uint32_t RowAt(const Good& g, int row) { return g.table + row * record::EntrySize; }

// What each layer makes of a damaged installer.
struct Outcome {
    LocateError walk;          // WalkToPackageRecord
    bool header;               // ReadRecordHeader read the whole header
    size_t titleLength;        // strlen of the title it gives
    int rows;                  // rows the table walk hands out
    bool terminated;           // lqpack: the table ends with its terminator inside the file
    const char* problem;       // lqpack: a problem it lists (nullptr: none at all)
};

struct Case {
    const char* name;
    void (*damage)(const Good& g, Bytes& b);
    Outcome expected;
    // Rows whose data is damaged: their targets need not hold the original bytes.
    std::vector<int> damagedRows;
};

const LocateError Ok = LocateError::None;
const LocateError Short = LocateError::ShortFile;

const Case Cases[] = {
    {"cut inside the PE headers", [](const Good& g, Bytes& b) { b.resize(g.where.PeOffset + 100); },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"cut inside the section table", [](const Good& g, Bytes& b) { b.resize(g.where.RsrcHeaderOffset + 20); },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"cut inside the resource directory", [](const Good& g, Bytes& b) { b.resize(g.where.RsrcRawPointer + 20); },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"cut inside the license", [](const Good& g, Bytes& b) { b.resize(g.R + 2 + g.L / 2); },
     {Ok, false, 0, 0, false, "the record ends inside its header"}, {}},
    {"cut inside the title", [](const Good& g, Bytes& b) { b.resize(g.R + record::TitleOffset(g.L) + 100); },
     {Ok, false, 0, 0, false, "the record ends inside its header"}, {}},
    {"cut inside the file table", [](const Good& g, Bytes& b) { b.resize(RowAt(g, 1) + 10); },
     {Ok, true, 8, 1, false, "no terminator"}, {0}},
    {"cut after the last row, before the terminator", [](const Good& g, Bytes& b) { b.resize(RowAt(g, 4)); },
     {Ok, true, 8, 4, false, "no terminator"}, {0, 1, 2, 3}},
    {"cut inside a packed entry's data",
     [](const Good& g, Bytes& b) { b.resize(g.rows[2].DataOffset + g.rows[2].PackedSize / 2); },
     {Ok, true, 8, 4, true, "entry 2: its data runs past the end"}, {2, 3}},
    {"cut inside the last entry's data", [](const Good& g, Bytes& b) { b.resize(b.size() - 100); },
     {Ok, true, 8, 4, true, "entry 3: its data runs past the end"}, {3}},
    {"no section named .rsrc", [](const Good& g, Bytes& b) { std::memcpy(&b[g.where.RsrcHeaderOffset], ".rsrx", 5); },
     {LocateError::NoRsrc, false, 0, 0, false, nullptr}, {}},
    {"resource base outside the file",
     [](const Good& g, Bytes& b) { Put32(b, g.where.RsrcHeaderOffset + 20, 0x7FFFFF00u); },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"type entry leads outside the file",
     [](const Good& g, Bytes& b) { Put32(b, g.where.RsrcRawPointer + 16 + 4, 0x80000000u | 0x7FFFFFF0u); },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"data entry outside the file",
     [](const Good& g, Bytes& b) {
         // The language entry's offset (relative to the base) is the walk's last pointer before the data entry.
         uint32_t E = g.where.RsrcRawPointer + 16;
         uint32_t name = E + (Get32At(b, E + 4) & 0x7FFFFFFFu);
         uint32_t language = E + (Get32At(b, name + 4) & 0x7FFFFFFFu);
         Put32(b, language + 4, 0x7FFFFFF0u);
     },
     {Short, false, 0, 0, false, nullptr}, {}},
    {"data RVA outside the .rsrc section", [](const Good& g, Bytes& b) { Put32(b, g.where.DataEntryOffset, 0x10); },
     {LocateError::OutsideRsrc, false, 0, 0, false, nullptr}, {}},
    {"title without its terminating zero",
     [](const Good& g, Bytes& b) { std::memset(&b[g.R + record::TitleOffset(g.L)], 'A', record::TitleSize); },
     {Ok, true, 259, 4, true, nullptr}, {}},
    {"LicenseLength beyond the end of the file", [](const Good& g, Bytes& b) { Put16(b, g.R, 0xFFFF); },
     {Ok, false, 0, 0, false, "the license runs past the end of the file"}, {}},
    {"DataOffset beyond the end of the file",
     [](const Good& g, Bytes& b) { Put32(b, RowAt(g, 3), (uint32_t)b.size() + 1000); },
     {Ok, true, 8, 4, true, "entry 3: its data runs past the end"}, {3}},
    {"DataOffset beyond 2 GiB", [](const Good& g, Bytes& b) { Put32(b, RowAt(g, 2), 0x80000010u); },
     {Ok, true, 8, 4, true, "entry 2: its data runs past the end"}, {2}},
    {"PackedSize beyond the end of the file", [](const Good& g, Bytes& b) { Put32(b, RowAt(g, 1) + 4, 1u << 30); },
     {Ok, true, 8, 4, true, "entry 1: its data runs past the end"}, {1}},
    {"huge UnpackedSize against tiny packed data", [](const Good& g, Bytes& b) { Put32(b, RowAt(g, 0) + 8, 8u << 20); },
     {Ok, true, 8, 4, true, nullptr}, {0}},
};

// Decodes a row as the installer does, with a pump hook that counts the checkpoints and, should a
// decode ever run away, stops it by the abort flag: the count is then far above the bound.
int Pumps;
constexpr int PumpBound = 1000;  // 100 MB of output; every case here needs far fewer
void CountPump() {
    if (++Pumps > PumpBound) AbortRequested = 1;
}

class DamagedInstaller : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!StubBuilt()) GTEST_SKIP() << "the Windows build has not made " << StubPath();
    }
};
}  // namespace

TEST_P(DamagedInstaller, EveryLayerEndsWithTheDocumentedOutcome) {
    const Good& g = TheGood();
    const Case& c = GetParam();
    Bytes bytes = g.bytes;
    c.damage(g, bytes);
    TempDir dir;
    const std::string path = dir.Write("setup.exe", bytes);
    const Outcome& want = c.expected;

    // The walk, as OpenPackageRecord runs it.
    HFILE file = _lopen(path.c_str(), OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    PackageLocation where;
    EXPECT_EQ(WalkToPackageRecord(file, &where), want.walk);
    _lclose(file);
    file = OpenPackageRecordAt(path.c_str());
    ASSERT_EQ(file != HFILE_ERROR, want.walk == Ok);
    if (file == HFILE_ERROR) {
        EXPECT_THROW(ReadInstaller(path), ToolError);
        return;
    }

    // The header read of the splash window, then the table walk of the installation, each on its own handle.
    RecordHeader header;
    EXPECT_EQ(ReadRecordHeader(file, &header), want.header);
    EXPECT_EQ(std::strlen(header.Title), want.titleLength);
    _lclose(file);

    file = OpenPackageRecordAt(path.c_str());
    SkipToFileTable(file);
    std::vector<FileEntry> rows;
    FileEntry entry;
    while (rows.size() <= g.rows.size() && ReadFileEntry(file, &entry)) rows.push_back(entry);
    _lclose(file);
    ASSERT_EQ((int)rows.size(), want.rows);

    // Every packed row decodes to exactly UnpackedSize bytes; rows whose data is intact to their file.
    ResetRingTail();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].UnpackedSize == 0) continue;
        const std::string target = dir.Path("row" + std::to_string(i));
        Pumps = 0;
        AbortRequested = 0;
        PumpHook = CountPump;
        int32_t result = ExtractPackedFileFrom(path.c_str(), rows[i].DataOffset, (int32_t)rows[i].UnpackedSize,
                                               rows[i].PackedSize, target.c_str());
        PumpHook = nullptr;
        AbortRequested = 0;
        EXPECT_LE(Pumps, PumpBound) << "row " << i;
        if (rows[i].DataOffset > 0x7FFFFFFFu) {
            EXPECT_EQ(result, ExtractNoSource) << "row " << i;
            EXPECT_NE(access(target.c_str(), F_OK), 0) << "no target for a row that cannot be reached";
            continue;
        }
        ASSERT_EQ(result, 1) << "row " << i;
        Bytes written = ReadWholeFile(target);
        EXPECT_EQ(written.size(), rows[i].UnpackedSize) << "row " << i;
        bool damaged = std::find(c.damagedRows.begin(), c.damagedRows.end(), (int)i) != c.damagedRows.end();
        if (!damaged) {
            EXPECT_EQ(written, g.files[i]) << "row " << i << " lost its bytes";
        }
    }

    // lqpack's reader finds the same rows and names the damage.
    InstallerInfo info = ReadInstaller(path);
    EXPECT_EQ((int)info.entries.size(), want.rows);
    EXPECT_EQ(info.terminated, want.terminated);
    std::string problems;
    for (const std::string& p : info.problems) problems += p + "\n";
    if (want.problem) {
        EXPECT_NE(problems.find(want.problem), std::string::npos) << problems;
    } else {
        EXPECT_EQ(problems, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedInstaller, testing::ValuesIn(Cases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p) name += std::isalnum((unsigned char)*p) ? *p : '_';
    return name;
});
