// The package record: the resource walk on the real stub and on built installers, the record layout,
// the table walk and InstalledSize.
#include <gtest/gtest.h>

#include <cstring>

#include "fixtures.h"
#include "package/locate.h"
#include "package/record.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/reader.h"
#include "tools/lqpack/stub.h"
#include "tools/lqpack/writer.h"

namespace {
std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (uint8_t)(seed + i * 7);
    return b;
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

// Builds a stored four-row package (saver, data, uninstaller, one media file) into dir.
BuildRequest FourRowRequest(const TempDir& dir, const std::string& license = "") {
    BuildRequest request;
    request.stubPath = StubPath();
    request.outputPath = dir.Path("setup.exe");
    request.title = "Aquarium";
    request.firstNumber = 6;
    if (!license.empty()) request.licensePath = dir.Write("license.txt", license);
    const char* names[] = {"saver.scr", "saver.dat", "uninstal.exe", "song.mid"};
    for (int i = 0; i < 4; ++i) {
        PackageInput input;
        input.path = dir.Write(names[i], Bytes(100 + i * 10, (uint8_t)i));
        input.pack = false;
        if (i == 3) input.nameSuffix = ".MID";
        request.files.push_back(input);
    }
    return request;
}
}  // namespace

class BuiltStub : public testing::Test {
protected:
    void SetUp() override {
        if (!StubBuilt()) GTEST_SKIP() << "the Windows build has not made " << StubPath();
    }
};

TEST_F(BuiltStub, WalkLandsOnTheLastFourBytesOfTheLastSection) {
    std::vector<uint8_t> stub = ReadWholeFile(StubPath());
    PackageLocation where;
    EXPECT_EQ(CheckStub(StubPath().c_str(), stub, &where), "");
    EXPECT_EQ(where.OptionalHeaderSize, 224);
    EXPECT_EQ(where.RsrcIndex + 1u, where.SectionCount) << ".rsrc must be the last section";
    EXPECT_EQ(where.Offset + 4u, stub.size());
    EXPECT_EQ(where.RsrcRawPointer + where.RsrcRawSize, stub.size());
    EXPECT_EQ(where.DataSize, 4u);

    HFILE file = OpenPackageRecordAt(StubPath().c_str());
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_EQ(_llseek(file, 0, FILE_CURRENT), (long)where.Offset);
    _lclose(file);
}

TEST_F(BuiltStub, FourRowRecordWithoutLicenseHasTheDocumentedOffsets) {
    TempDir dir;
    BuildRequest request = FourRowRequest(dir);
    BuildResult result = BuildInstaller(request);
    std::vector<uint8_t> installer = ReadWholeFile(request.outputPath);
    const uint32_t R = result.recordOffset;

    EXPECT_EQ(installer[R] | installer[R + 1] << 8, 0);                           // LicenseLength
    EXPECT_STREQ((const char*)&installer[R + 2], "Aquarium");                    // Title at 2
    EXPECT_EQ(Get32(installer, R + 262), 0u);                                    // NeedsDirectX
    EXPECT_EQ(Get32(installer, R + 266), 0x00FF0000u);                           // Reserved1
    EXPECT_EQ(installer[R + 276] | installer[R + 277] << 8, 6);                  // FirstNumber
    EXPECT_EQ(Get32(installer, R + 278), R + 418) << "first DataOffset: right after the 418-byte record";
    for (int i = 0; i < 28; ++i) EXPECT_EQ(installer[R + 390 + i], 0) << "terminator byte " << i;
    EXPECT_EQ(std::memcmp(&installer[R + 278 + 3 * 28 + 12], ".MID           ", 15), 0);
    // Data follows in table order, to the end of the file.
    uint32_t offset = R + 418;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Get32(installer, R + 278 + i * 28), offset);
        offset += 100 + i * 10;
    }
    EXPECT_EQ(offset, installer.size());
}

TEST_F(BuiltStub, HeaderAndTableReadsFollowTheLicense) {
    for (size_t licenseLength : {0u, 1u, 777u, 65535u}) {
        TempDir dir;
        BuildRequest request = FourRowRequest(dir, std::string(licenseLength, 'L'));
        request.needsDirectX = true;
        request.title = "Aurora   ";  // blanks are kept as stored
        BuildInstaller(request);

        HFILE file = OpenPackageRecordAt(request.outputPath.c_str());
        ASSERT_NE(file, HFILE_ERROR);
        long start = _llseek(file, 0, FILE_CURRENT);
        RecordHeader header;
        ASSERT_TRUE(ReadRecordHeader(file, &header));
        EXPECT_EQ(header.LicenseLength, licenseLength);
        EXPECT_STREQ(header.Title, "Aurora   ");
        EXPECT_EQ(header.NeedsDirectX, 1u);
        EXPECT_EQ(header.FirstNumber, 6);

        _llseek(file, start, FILE_BEGIN);
        EXPECT_EQ(SkipToFileTable(file), 6);
        EXPECT_EQ(_llseek(file, 0, FILE_CURRENT), start + (long)record::TableOffset((unsigned)licenseLength));
        FileEntry entry;
        int rows = 0;
        while (ReadFileEntry(file, &entry)) ++rows;
        EXPECT_EQ(rows, 4) << "license " << licenseLength;
        _lclose(file);
    }
}

TEST_F(BuiltStub, InstallersOfAnySizeKeepTheStubWalkable) {
    TempDir dir;
    BuildRequest request = FourRowRequest(dir);
    request.files[3].path = dir.Write("big.wav", Bytes(3 << 20, 9));
    BuildInstaller(request);
    InstallerInfo info = ReadInstaller(request.outputPath);
    EXPECT_TRUE(info.problems.empty());
    ASSERT_EQ(info.entries.size(), 4u);
    EXPECT_EQ(info.entries[3].row.PackedSize, 3u << 20);
    EXPECT_EQ(info.entries[3].targetName, "{data}\\FILE0006.MID");
}

TEST_F(BuiltStub, TruncatedInstallerEndsTheTableAtTheEndOfTheFile) {
    TempDir dir;
    BuildRequest request = FourRowRequest(dir);
    BuildResult result = BuildInstaller(request);
    std::vector<uint8_t> installer = ReadWholeFile(request.outputPath);
    // Cut inside the second row: one whole row remains and no terminator.
    installer.resize(result.recordOffset + 278 + 28 + 10);
    std::string cut = dir.Write("cut.exe", installer);

    HFILE file = OpenPackageRecordAt(cut.c_str());
    ASSERT_NE(file, HFILE_ERROR);
    SkipToFileTable(file);
    FileEntry entry;
    int rows = 0;
    while (ReadFileEntry(file, &entry) && rows < 10) ++rows;
    EXPECT_EQ(rows, 1);
    _lclose(file);

    InstallerInfo info = ReadInstaller(cut);
    EXPECT_FALSE(info.terminated);
    EXPECT_FALSE(info.problems.empty());
}

TEST(RecordTable, InstalledSizeCountsUnpackedSizeElsePackedSize) {
    TempDir dir;
    struct Row { uint32_t packed, unpacked; } rows[] = {{1000, 3000}, {500, 0}, {200, 700}};
    std::vector<uint8_t> bytes(278, 0);  // no license; FirstNumber 0
    for (const Row& row : rows) {
        FileEntry entry = {};
        entry.DataOffset = 1;
        entry.PackedSize = row.packed;
        entry.UnpackedSize = row.unpacked;
        uint8_t raw[28];
        EncodeFileEntry(entry, raw);
        bytes.insert(bytes.end(), raw, raw + 28);
    }
    bytes.insert(bytes.end(), 28, 0);
    std::string path = dir.Write("record.bin", bytes);

    HFILE file = _lopen(path.c_str(), OF_READ);
    SkipToFileTable(file);
    uint32_t installed = 0;
    FileEntry entry;
    while (ReadFileEntry(file, &entry)) installed += InstalledBytes(entry);
    EXPECT_EQ(installed, 4200u);
    _lclose(file);

    // A table holding only the terminator: no rows, nothing installed.
    std::vector<uint8_t> empty(278 + 28, 0);
    file = _lopen(dir.Write("empty.bin", empty).c_str(), OF_READ);
    SkipToFileTable(file);
    EXPECT_FALSE(ReadFileEntry(file, &entry));
    _lclose(file);
}

TEST(ResourceWalk, DamagedHeadersGiveNoRecord) {
    TempDir dir;
    struct Case { const char* name; std::vector<uint8_t> bytes; } cases[] = {
        {"empty", {}},
        {"dos header only", std::vector<uint8_t>(64, 0)},
        {"e_lfanew past the end", [] { std::vector<uint8_t> b(64, 0); b[60] = 0xF0; b[61] = 0xFF; return b; }()},
        {"no sections", [] { std::vector<uint8_t> b(512, 0); b[60] = 64; return b; }()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpenPackageRecordAt(dir.Write("bad.exe", c.bytes).c_str()), HFILE_ERROR) << c.name;
    }
    EXPECT_EQ(OpenPackageRecordAt(dir.Path("missing.exe").c_str()), HFILE_ERROR);
}

TEST_F(BuiltStub, StubWithoutRsrcOrWithDataAfterItIsNotPackReady) {
    TempDir dir;
    std::vector<uint8_t> stub = ReadWholeFile(StubPath());
    PackageLocation where;
    ASSERT_EQ(CheckStub(StubPath().c_str(), stub, &where), "");

    std::vector<uint8_t> overlay = stub;
    overlay.resize(overlay.size() + 512, 0);
    EXPECT_NE(CheckStub(dir.Write("overlay.exe", overlay).c_str(), overlay, &where), "");

    std::vector<uint8_t> renamed = stub;
    std::memcpy(&renamed[where.RsrcHeaderOffset], ".rsrx", 5);
    EXPECT_EQ(CheckStub(dir.Write("renamed.exe", renamed).c_str(), renamed, &where), LocateErrorText(LocateError::NoRsrc));
}
