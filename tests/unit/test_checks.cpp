// The pre-install checks' arithmetic and texts: root path, kilobytes, the room test and the messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/checks_logic.h"
#include "shell/format.h"
#include "shell/format_unsigned.h"

TEST(FreeSpaceRoot, CutsRightAfterTheLastBackslash) {
    struct Case { const char* path; const char* root; } cases[] = {
        {"C:\\WINDOWS", "C:\\"},
        {"C:\\", "C:\\"},
        {"D:\\GAMES\\WIN", "D:\\GAMES\\"},
        {"C:", "C:"},  // no backslash: kept whole
        {"", ""},
    };
    for (const Case& c : cases) {
        char root[RootPathSize];
        CutToRootPath(c.path, root);
        EXPECT_STREQ(root, c.root) << c.path;
    }
}

TEST(FreeSpaceRoot, LongDirectoryStaysInsideTheBuffer) {
    // 32 characters and more: only the first 31 are looked at, and the root is always terminated.
    struct Case { std::string path, root; } cases[] = {
        {"C:\\" + std::string(29, 'W'), "C:\\"},                       // exactly 32 characters
        {"C:\\" + std::string(200, 'W'), "C:\\"},
        {"C:\\SHORT\\" + std::string(40, 'W'), "C:\\SHORT\\"},
        {"C:\\" + std::string(27, 'A') + "\\B", "C:\\" + std::string(27, 'A') + "\\"},  // 31st is '\'
        {"C:\\" + std::string(28, 'A') + "\\B", "C:\\"},  // its backslash is the 32nd character
    };
    for (const Case& c : cases) {
        char root[RootPathSize + 8];
        std::memset(root, 'x', sizeof root);
        CutToRootPath(c.path.c_str(), root);
        EXPECT_STREQ(root, c.root.c_str()) << c.path;
        for (size_t i = RootPathSize; i < sizeof root; ++i) EXPECT_EQ(root[i], 'x') << "written at " << i;
    }
}

TEST(Kilobytes, RoundDownAndKeepTheLow32Bits) {
    struct Case { uint64_t bytes; uint32_t kb; } cases[] = {
        {0, 0}, {1023, 0}, {1024, 1}, {465728, 454}, {0xFFFFFFFFull, 0x3FFFFF},
        {(uint64_t)5 << 40, 1u << 30},  // 5 TiB is 5 * 2^30 KB: only the low 32 bits remain
    };
    for (const Case& c : cases) EXPECT_EQ(KilobytesOf(c.bytes), c.kb) << c.bytes;
}

TEST(Kilobytes, ClusterProductsDoNotOverflow32Bits) {
    // 64 sectors of 512 bytes, 2^20 free clusters: 32 GiB, past 2^32 bytes.
    EXPECT_EQ(KilobytesOfClusters(64, 512, 1u << 20), 32u * 1024 * 1024);
    EXPECT_EQ(KilobytesOfClusters(8, 512, 3), 12u);
    EXPECT_EQ(KilobytesOfClusters(1, 512, 1), 0u);
    EXPECT_EQ(KilobytesOfClusters(65536, 65536, 1), 1u << 22);  // the first product alone is 2^32
}

TEST(DiskSpace, WarnsUnlessFreeIsGreaterThanNeeded) {
    uint32_t needed = KilobytesOf(465728);
    ASSERT_EQ(needed, 454u);
    struct Case { uint32_t freeKB; uint32_t neededKB; bool room; } cases[] = {
        {455, needed, true},
        {454, needed, false},  // equal values warn
        {453, needed, false},
        {0, 0, false},
        {1, 0, true},
        {UnknownFreeSpace, needed, true},  // the failed query always passes
        {UnknownFreeSpace, UnknownFreeSpace, true},
        {0xFFFFFFFE, 0xFFFFFFFD, true},    // unsigned: no sign trouble at the top
        {0x80000000u, 0x7FFFFFFFu, true},
        {0x7FFFFFFFu, 0x80000000u, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasRoomFor(c.freeKB, c.neededKB), c.room) << c.freeKB << " free, " << c.neededKB << " needed";
}

TEST(DiskSpace, WarningShowsNeededThenFreeWithCommas) {
    char text[CheckTextSize];
    ASSERT_TRUE(ComposeDiskFullWarning(1234, 987, text));
    EXPECT_STREQ(text,
                 "You will need 1,234 kilobytes free in your Windows directory to install this screen saver."
                 "  It appears that you only have 987 kilobytes free on this drive.  Would you like to "
                 "continue the installation?");
    // The largest numbers still fit the 512-byte text.
    ASSERT_TRUE(ComposeDiskFullWarning(0xFFFFFFFF, 0xFFFFFFFE, text));
    EXPECT_NE(std::strstr(text, "need 4,294,967,295 kilobytes"), nullptr) << text;
    EXPECT_NE(std::strstr(text, "only have 4,294,967,294 kilobytes"), nullptr) << text;
}

TEST(ExistingSaver, LookupNameKeepsTheTitleAsRead) {
    char name[260];
    ASSERT_TRUE(ComposeSaverLookupName("Aurora   ", name, sizeof name));
    EXPECT_STREQ(name, "Aurora   .SCR");
    ASSERT_TRUE(ComposeSaverLookupName(std::string(255, 'T').c_str(), name, sizeof name));  // 259 chars
    EXPECT_EQ(std::strlen(name), 259u);
    EXPECT_FALSE(ComposeSaverLookupName(std::string(256, 'T').c_str(), name, sizeof name));
    EXPECT_STREQ(name, "");
}

TEST(ExistingSaver, PathGetsOneBackslashAndNeverOverruns) {
    struct Case { const char* dir; const char* name; const char* path; } cases[] = {
        {"C:\\WINDOWS", "Aurora.SCR", "C:\\WINDOWS\\Aurora.SCR"},
        {"C:\\", "Aurora.SCR", "C:\\Aurora.SCR"},  // a drive root gets no second backslash
        {"", "Aurora.SCR", "\\Aurora.SCR"},
    };
    for (const Case& c : cases) {
        char path[260];
        ASSERT_TRUE(JoinDirectoryAndName(c.dir, c.name, path, sizeof path)) << c.dir;
        EXPECT_STREQ(path, c.path);
    }

    std::string dir = "C:\\WINDOWS";  // 10 characters, + '\' + name: 259 fits, 260 does not
    char path[260 + 8];
    std::memset(path, 'x', sizeof path);
    EXPECT_TRUE(JoinDirectoryAndName(dir.c_str(), std::string(248, 'N').c_str(), path, 260));
    EXPECT_EQ(std::strlen(path), 259u);
    EXPECT_FALSE(JoinDirectoryAndName(dir.c_str(), std::string(249, 'N').c_str(), path, 260));
    EXPECT_STREQ(path, "");
    for (size_t i = 260; i < sizeof path; ++i) EXPECT_EQ(path[i], 'x') << "written at " << i;
}

TEST(ExistingSaver, QuestionNamesTheFileNotThePath) {
    char text[CheckTextSize];
    ASSERT_TRUE(ComposeReplaceQuestion("Aurora.SCR", text));
    EXPECT_STREQ(text,
                 "There is already a screen saver by the same name (Aurora.SCR) installed on your system.  "
                 "Would you like to replace it?");
    // The longest name that fits its 260-byte buffer still fits the question.
    EXPECT_TRUE(ComposeReplaceQuestion(std::string(259, 'N').c_str(), text));
}

TEST(FormatThousandsUnsigned, GroupsOfThreeFromTheRight) {
    struct Case { uint32_t value; const char* text; } cases[] = {
        {0, "0"},           {999, "999"},           {1000, "1,000"},
        {465728, "465,728"}, {1234567, "1,234,567"}, {100000, "100,000"},
        {0x7FFFFFFF, "2,147,483,647"}, {0x80000000u, "2,147,483,648"}, {0xFFFFFFFF, "4,294,967,295"},
    };
    for (const Case& c : cases) {
        char buffer[32];
        EXPECT_EQ(FormatThousandsUnsigned(c.value, buffer), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value;
    }
}

TEST(FormatThousandsUnsigned, MatchesFormatThousandsBelow2To31) {
    for (uint32_t value : {0u, 7u, 12u, 123u, 1234u, 12345u, 123456u, 999999u, 1000000u, 0x7FFFFFFFu}) {
        char a[32], b[32];
        EXPECT_STREQ(FormatThousandsUnsigned(value, a), FormatThousands((int32_t)value, b)) << value;
    }
}
