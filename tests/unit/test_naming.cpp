// Target names and paths, the missing media types list and the failed targets list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/failures.h"
#include "install/media_check.h"
#include "install/media_types.h"
#include "install/naming.h"
#include "install/paths.h"

TEST(Naming, MediaNamesFollowKindNumberAndSuffix) {
    struct Case { uint16_t first; int index; const char* suffix; uint8_t kind; const char* name; } cases[] = {
        {6, 3, ".MID           ", ' ', "FILE0006.MID"},
        {6, 12, ".MID           ", 0, "JUKE0015.MID"},
        {9998, 5, ".MID           ", '_', "JUK_10000.MID"},
        {0, 3, ".WAV\0xxxxxxxxxx", 'x', "FILE0000.WAV"},       // a NUL ends the suffix
        {1, 3, "ABCDEFGHIJKLMNO", '_', "JUK_0001ABCDEFGHIJKLMNO"},  // 15 bytes whole, no Kind after
        {1, 3, "               ", ' ', "FILE0001"},           // blanks only: ends in the number
        {65535, 65535 + 3, ".X             ", ' ', "FILE131070.X"},
    };
    for (const Case& c : cases) {
        char path[PathSize];
        ASSERT_TRUE(TargetPathFor(path, sizeof path, c.index, "W\\s.scr", "D\\", "s", c.first, c.suffix, c.kind));
        EXPECT_EQ(std::string(path), std::string("D\\") + c.name) << c.name;
    }
}

TEST(Naming, FixedRowsAndTheBaseName) {
    char base[PathSize] = "My.Saver.scr";
    CutAtLastDot(base);
    EXPECT_STREQ(base, "My.Saver");
    const char* suffix = "garbage________";
    char path[PathSize];
    TargetPathFor(path, sizeof path, 0, "C:\\W\\My.Saver.scr", "D\\", base, 1, suffix, '_');
    EXPECT_STREQ(path, "C:\\W\\My.Saver.scr");
    TargetPathFor(path, sizeof path, 1, "", "D\\", base, 1, suffix, '_');
    EXPECT_STREQ(path, "D\\My.Saver.dat");
    TargetPathFor(path, sizeof path, 2, "", "D\\", base, 1, suffix, '_');
    EXPECT_STREQ(path, "D\\UNINSTAL.EXE");
}

TEST(Naming, PathsThatDoNotFitAreRefusedNotCut) {
    std::string folder(240, 'f');
    folder += "\\";
    char path[PathSize];
    EXPECT_TRUE(TargetPathFor(path, sizeof path, 3, "", folder.c_str(), "t", 1, ".MID           ", ' '));
    EXPECT_FALSE(TargetPathFor(path, sizeof path, 3, "", folder.c_str(), "t", 1, "ABCDEFGHIJKLMNO", ' '));
    EXPECT_STREQ(path, "");
    std::string title(250, 't');
    EXPECT_FALSE(TargetPathFor(path, sizeof path, 1, "", "C:\\data\\", title.c_str(), 1, "", ' '));

    char saver[PathSize];
    EXPECT_FALSE(ComposeSaverPath(saver, sizeof saver, "C:\\WINDOWS", (title + ".scr").c_str()));
    char data[PathSize];
    size_t from;
    EXPECT_FALSE(ComposeDataFolder(data, sizeof data, "C:\\ProgramData", false, title.c_str(), &from));
}

TEST(Paths, SaverPathAndDataFolderChains) {
    char path[PathSize];
    ComposeSaverPath(path, sizeof path, "C:\\WINDOWS", "Aurora.scr");
    EXPECT_STREQ(path, "C:\\WINDOWS\\Aurora.scr");
    ComposeSaverPath(path, sizeof path, "D:\\", "Aurora.scr");
    EXPECT_STREQ(path, "D:\\Aurora.scr");

    size_t from;
    ComposeDataFolder(path, sizeof path, "C:\\ProgramData", false, "Aquarium", &from);
    EXPECT_STREQ(path, "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aquarium\\");
    EXPECT_EQ(path[from], '\\');
    EXPECT_EQ(from, std::strlen("C:\\ProgramData"));

    ComposeDataFolder(path, sizeof path, "C:\\WINDOWS", true, "Aquarium", &from);
    EXPECT_STREQ(path, "C:\\WINDOWS\\All Users\\Application Data\\Tavimore LLC\\Lumenquill\\Aquarium\\");
    EXPECT_EQ(std::string(path, from), "C:\\WINDOWS") << "All Users is the first folder created";
    ComposeDataFolder(path, sizeof path, "D:\\", true, "A", &from);
    EXPECT_STREQ(path, "D:\\All Users\\Application Data\\Tavimore LLC\\Lumenquill\\A\\");
    ComposeDataFolder(path, sizeof path, "", true, "A", &from);  // no Windows directory at all
    EXPECT_STREQ(path, "\\All Users\\Application Data\\Tavimore LLC\\Lumenquill\\A\\");

    char location[PathSize];
    InstallLocationOf("C:\\P\\Tavimore LLC\\Lumenquill\\A\\UNINSTAL.EXE", location, sizeof location);
    EXPECT_STREQ(location, "C:\\P\\Tavimore LLC\\Lumenquill\\A");
    InstallLocationOf("C:\\UNINSTAL.EXE", location, sizeof location);  // last backslash is the first
    EXPECT_STREQ(location, "C:\\UNINSTAL.EXE");
}

TEST(MissingMediaTypes, EachTypeOnceCaseSensitiveSubstringRule) {
    char list[MissingMediaTypesSize] = "";
    for (const char* path : {"D\\FILE0003.MID", "D\\FILE0004.MID", "D\\FILE0005.MPG", "D\\FILE0006.MP",
                             "D\\FILE0007.mid", "D.x\\FILE0008"})
        RecordMissingMediaType(list, sizeof list, path);
    EXPECT_STREQ(list, ".MID\r\n.MPG\r\n.mid\r\nFILE0008\r\n");
}

TEST(MissingMediaTypes, AFullListDropsTypesWithoutOverflow) {
    char list[MissingMediaTypesSize] = "";
    char path[64];
    for (int i = 0; i < 100; ++i) {
        std::snprintf(path, sizeof path, "D\\F.T%03d", i);
        RecordMissingMediaType(list, sizeof list, path);
    }
    EXPECT_LT(std::strlen(list), MissingMediaTypesSize);
    EXPECT_EQ(std::strlen(list), 255u / 7 * 7) << "whole entries only";
}

namespace {
unsigned FakeResults[2];
int FakeOpens, FakeCloses;
unsigned FakeOpen(const char*, bool byType, unsigned* device) {
    ++FakeOpens;
    *device = 7;
    return FakeResults[byType ? 1 : 0];
}
void FakeClose(unsigned device) { FakeCloses += device == 7; }
}  // namespace

TEST(MediaCheck, TwoAttemptsAndCloseOnSuccess) {
    struct Case { unsigned byElement, byType; int opens; bool playable; } cases[] = {
        {0, 277, 1, true},    // the first attempt opens it: no second attempt
        {296, 0, 2, true},    // only the "MPEGVideo" device opens it
        {281, 277, 2, false},  // neither: the type is recorded
    };
    for (const Case& c : cases) {
        FakeResults[0] = c.byElement;
        FakeResults[1] = c.byType;
        FakeOpens = FakeCloses = 0;
        char list[MissingMediaTypesSize] = "";
        bool playable = CheckMediaFileWith({FakeOpen, FakeClose}, "D\\FILE~1.XYZ", "D\\FILE0003.XYZ", list, sizeof list);
        EXPECT_EQ(playable, c.playable);
        EXPECT_EQ(FakeOpens, c.opens);
        EXPECT_EQ(FakeCloses, c.playable ? 1 : 0);
        EXPECT_STREQ(list, c.playable ? "" : ".XYZ\r\n");
    }
}

TEST(FailedTargets, ListsEveryTargetUntilFullThenMarksTheRest) {
    char list[64] = "";
    int count = 0;
    RecordFailedTarget(list, sizeof list, &count, "C:\\WINDOWS\\A.scr");
    EXPECT_STREQ(list, "C:\\WINDOWS\\A.scr\r\n");
    for (int i = 0; i < 10; ++i) RecordFailedTarget(list, sizeof list, &count, "D\\FILE0003.MID");
    EXPECT_EQ(count, 11);
    EXPECT_LT(std::strlen(list), sizeof list);
    EXPECT_EQ(std::string(list).substr(std::strlen(list) - 5), "...\r\n");
}

TEST(NameCharacters, ForbiddenInWindowsFileNames) {
    for (char c : std::string("\\/:*?\"<>|\t\n\x01")) EXPECT_TRUE(IsForbiddenNameChar((unsigned char)c)) << (int)c;
    for (char c : std::string("aZ09 ._-()&'\xE9")) EXPECT_FALSE(IsForbiddenNameChar((unsigned char)c)) << (int)c;
}

TEST(NameCharacters, SafeNamePartsStayInTheirFolder) {
    struct Case { const char* name; bool safe; } cases[] = {
        {"Aurora", true}, {"Dr. Who", true}, {"Aurora   ", true}, {"", true}, {"...", true},
        {".", false}, {"..", false}, {"A/B", false}, {"..\\x", false}, {"C:", false}, {"tab\there", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSafeNamePart(c.name, 260), c.safe) << c.name;
    EXPECT_TRUE(IsSafeNamePart(".MID\0/:*", 8)) << "a NUL ends the name";
}
