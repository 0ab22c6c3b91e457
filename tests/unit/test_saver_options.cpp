// The sample saver's command line, its settings file and the text of its settings box.
#include <gtest/gtest.h>

#include <string>

// The samples are not part of the core libraries: their portable part is compiled into this test.
#include "../../samples/saver/options.cpp"

TEST(SaverCommand, FollowsTheScreenSaverConventions) {
    struct Case { const char* arguments; SaverMode mode; uintptr_t window; } cases[] = {
        {"", SaverMode::Screen, 0},        {"/s", SaverMode::Screen, 0},       {"-S", SaverMode::Screen, 0},
        {"  /s", SaverMode::Screen, 0},    {"/x", SaverMode::Screen, 0},       {"nonsense", SaverMode::Screen, 0},
        {"/c", SaverMode::Settings, 0},    {"/C:1234", SaverMode::Settings, 1234},
        {"-c 77", SaverMode::Settings, 77}, {"/p 65594", SaverMode::Preview, 65594},
        {"/P:42", SaverMode::Preview, 42}, {"/l 9", SaverMode::Preview, 9},    {"/p", SaverMode::Preview, 0},
        {"/p abc", SaverMode::Preview, 0}, {"/a 12", SaverMode::Password, 12},
        {"/p 99999999999999999999999", SaverMode::Preview, 0},  // too big for a handle: none
    };
    for (const Case& c : cases) {
        SaverCommand command = ParseSaverCommand(c.arguments);
        EXPECT_EQ(command.Mode, c.mode) << c.arguments;
        EXPECT_EQ(command.Window, c.window) << c.arguments;
    }
}

TEST(SaverSettings, DefaultsAndValuesInRange) {
    SaverSettings s;
    DefaultSaverSettings(&s);
    EXPECT_EQ(s.Speed, 4);
    EXPECT_EQ(s.Bands, 4);
    EXPECT_EQ(s.Stars, 120);
    ASSERT_EQ(s.ColourCount, 4);
    EXPECT_EQ(s.Colours[0], 0x40FF90u);

    struct Case { const char* text; int applied, speed, bands, stars; } cases[] = {
        {"speed=7\r\nbands=2\r\nstars=300\r\n", 3, 7, 2, 300},
        {"  Speed = 9 \n\tBANDS=\t1", 2, 9, 1, 120},
        {"speed=0\nbands=99\nstars=-5", 3, 1, MaxBands, 0},       // brought into range
        {"speed=fast\nbands=\nstars=1e3\nspeed=12x", 0, 4, 4, 120},  // not numbers: ignored
        {"; speed=9\n# bands=1\nspeed 9\nunknown=3\n=5", 0, 4, 4, 120},
        {"speed=2\rbands=3", 2, 2, 3, 120},                        // a lone CR ends a line too
        {"speed=99999999999", 0, 4, 4, 120},
        {"", 0, 4, 4, 120},
    };
    for (const Case& c : cases) {
        DefaultSaverSettings(&s);
        std::string text(c.text);
        EXPECT_EQ(ReadSaverSettings(text.data(), text.size(), &s), c.applied) << c.text;
        EXPECT_EQ(s.Speed, c.speed) << c.text;
        EXPECT_EQ(s.Bands, c.bands) << c.text;
        EXPECT_EQ(s.Stars, c.stars) << c.text;
    }
}

TEST(SaverSettings, ColourLists) {
    struct Case { const char* text; int count; uint32_t first, last; } cases[] = {
        {"colours=112233", 1, 0x112233, 0x112233},
        {"colors=#A0B0C0, ffffff ,000001", 3, 0xA0B0C0, 0x000001},
        {"colours=010101,020202,030303,040404,050505,060606", MaxBands, 0x010101, 0x060606},
        // All or nothing: a bad entry, an empty one or one too many keeps the defaults.
        {"colours=112233,zz0000", 4, 0x40FF90, 0xFF60A0},
        {"colours=112233,,445566", 4, 0x40FF90, 0xFF60A0},
        {"colours=", 4, 0x40FF90, 0xFF60A0},
        {"colours=1122334", 4, 0x40FF90, 0xFF60A0},
        {"colours=010101,020202,030303,040404,050505,060606,070707", 4, 0x40FF90, 0xFF60A0},
    };
    for (const Case& c : cases) {
        SaverSettings s;
        DefaultSaverSettings(&s);
        std::string text(c.text);
        ReadSaverSettings(text.data(), text.size(), &s);
        ASSERT_EQ(s.ColourCount, c.count) << c.text;
        EXPECT_EQ(s.Colours[0], c.first) << c.text;
        EXPECT_EQ(s.Colours[s.ColourCount - 1], c.last) << c.text;
    }
}

TEST(SaverSettings, TheSettingsBoxSaysWhereAndWhat) {
    SaverSettings s;
    DefaultSaverSettings(&s);
    std::string text("speed=6\ncolours=102030,405060\n");
    ReadSaverSettings(text.data(), text.size(), &s);
    const char* path = "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aurora\\Aurora.dat";
    char box[1024];
    ASSERT_TRUE(DescribeSaverSettings(box, sizeof box, "Aurora", path, true, s));
    std::string shown(box);
    for (const std::string& part : {std::string(path) + "\r\n(found)", std::string("speed=6 "),
                                    std::string("bands=4 "), std::string("colours=102030,405060\r\n"),
                                    std::string("stars=120 "), std::string("Aurora draws")})
        EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;

    ASSERT_TRUE(DescribeSaverSettings(box, sizeof box, "Aurora", path, false, s));
    EXPECT_NE(std::string(box).find("(not found: the defaults are used)"), std::string::npos);

    char small[64] = "x";
    EXPECT_FALSE(DescribeSaverSettings(small, sizeof small, "Aurora", path, true, s));
    EXPECT_STREQ(small, "");
}
