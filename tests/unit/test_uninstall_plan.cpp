// The sample uninstaller's decisions: the log's lines, the folders it may remove, the setting, its arguments.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The samples are not part of the core libraries: their portable part is compiled into this test.
#include "../../samples/uninstaller/plan.cpp"

namespace {
const char Folder[] = "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aurora\\";

// Parses text and returns the plan (large, so on the heap).
std::unique_ptr<RemovalPlan> Parse(const std::string& text) {
    std::unique_ptr<RemovalPlan> plan(new RemovalPlan);
    ParseInstallLog(text.data(), text.size(), plan.get());
    return plan;
}

std::vector<std::string> Files(const RemovalPlan& plan) {
    return std::vector<std::string>(plan.Files, plan.Files + plan.FileCount);
}
}  // namespace

TEST(UninstallLog, ListsEachFileOnceInTheOrderOfTheLog) {
    std::string dat = std::string(Folder) + "Aurora.dat", exe = std::string(Folder) + "UNINSTAL.EXE";
    std::string once = "C:\\windows\\Aurora.scr\r\n" + dat + "\r\n" + exe + "\r\n";
    // A second installation appends the same lines again; a case-changed path is the same file.
    auto plan = Parse(once + once + "C:\\WINDOWS\\AURORA.SCR\r\n");
    EXPECT_EQ(Files(*plan), (std::vector<std::string>{"C:\\windows\\Aurora.scr", dat, exe}));
    EXPECT_EQ(plan->RefusedCount, 0u);
}

TEST(UninstallLog, LineEndsAndEmptyLines) {
    struct Case { const char* name; std::string text; std::vector<std::string> files; } cases[] = {
        {"crlf", "C:\\a.scr\r\nC:\\b\\c.dat\r\n", {"C:\\a.scr", "C:\\b\\c.dat"}},
        {"lf only", "C:\\a.scr\nC:\\b\\c.dat\n", {"C:\\a.scr", "C:\\b\\c.dat"}},
        {"no final line end", "C:\\a.scr\r\nC:\\b\\c.dat", {"C:\\a.scr", "C:\\b\\c.dat"}},
        {"empty and blank lines", "\r\n\r\nC:\\a.scr\r\n   \r\n\t\r\n\nC:\\b\\c.dat\r\n\r\n", {"C:\\a.scr", "C:\\b\\c.dat"}},
        {"empty log", "", {}},
        {"a lone CR", "\r", {}},
        {"blanks inside a name stay", "C:\\My Saver\\My Saver.dat\r\n", {"C:\\My Saver\\My Saver.dat"}},
        {"server share", "\\\\server\\share\\x.dat\r\n", {"\\\\server\\share\\x.dat"}},
    };
    for (const Case& c : cases) {
        auto plan = Parse(c.text);
        EXPECT_EQ(Files(*plan), c.files) << c.name;
        EXPECT_EQ(plan->RefusedCount, 0u) << c.name;
    }
}

TEST(UninstallLog, RefusesLinesThatNameNoFileOfOurs) {
    const char* refused[] = {
        "Aurora.dat",                  // relative: would be taken from the current folder
        "\\windows\\Aurora.scr",       // no drive
        "C:Aurora.scr",                // drive-relative
        "C:\\",                        // a root
        "C:\\data\\",                  // a folder
        "C:\\data\\*.*",               // wildcards
        "C:\\data\\a?.dat",
        "C:\\data\\..\\windows\\x.dat", // leads out of the folder
        "C:\\data\\.\\x.dat",
        "C:\\data\\\\x.dat",           // an empty part
        "C:\\data\\x.dat:stream",      // a colon past the drive's
        "C:/data/x.dat",               // not how the installer writes paths
        "\\\\server\\x.dat",           // a share without its name
        "C:\\data\\\"x\".dat",
        "C:\\data\\tab\there.dat",
    };
    for (const char* line : refused) {
        auto plan = Parse(std::string(line) + "\r\nC:\\ok\\ok.dat\r\n");
        EXPECT_EQ(Files(*plan), std::vector<std::string>{"C:\\ok\\ok.dat"}) << line;
        ASSERT_EQ(plan->RefusedCount, 1u) << line;
        EXPECT_STREQ(plan->Refused[0], line);
    }
}

TEST(UninstallLog, RefusesLinesTooLongOrHoldingNul) {
    std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters: fits
    std::string tooLong = longest + "b";
    auto plan = Parse(longest + "\r\n" + tooLong + "\r\n" + std::string("C:\\a\0b.dat\r\n", 12));
    EXPECT_EQ(Files(*plan), std::vector<std::string>{longest});
    ASSERT_EQ(plan->RefusedCount, 2u);
    EXPECT_EQ(std::string(plan->Refused[0]), tooLong.substr(0, UninstallPathSize - 1)) << "cut to fit the report";
    EXPECT_EQ(std::string(plan->Refused[1]), "C:\\a") << "shown up to its NUL";
}

TEST(UninstallLog, BoundsThePathsAndTheRefusedLinesKept) {
    std::string text;
    for (size_t i = 0; i < MaxLoggedFiles + 3; ++i) text += "C:\\d\\f" + std::to_string(i) + ".dat\r\n";
    for (size_t i = 0; i < MaxRefusedLines + 5; ++i) text += "bad" + std::to_string(i) + "\r\n";
    auto plan = Parse(text);
    EXPECT_EQ(plan->FileCount, MaxLoggedFiles);
    EXPECT_STREQ(plan->Files[MaxLoggedFiles - 1], ("C:\\d\\f" + std::to_string(MaxLoggedFiles - 1) + ".dat").c_str());
    // The three paths past the table are refused, not silently dropped.
    EXPECT_EQ(plan->RefusedCount, 3 + MaxRefusedLines + 5);
    EXPECT_STREQ(plan->Refused[0], ("C:\\d\\f" + std::to_string(MaxLoggedFiles) + ".dat").c_str());
    EXPECT_STREQ(plan->Refused[MaxRefusedLines - 1], ("bad" + std::to_string(MaxRefusedLines - 4)).c_str());
}

TEST(UninstallFolders, OnlyItsOwnFolderAndOurTwoAboveIt) {
    struct Case { const char* own; std::vector<std::string> folders; } cases[] = {
        {"C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aurora\\UNINSTAL.EXE",
         {"C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aurora", "C:\\ProgramData\\Tavimore LLC\\Lumenquill",
          "C:\\ProgramData\\Tavimore LLC"}},
        {"C:\\windows\\All Users\\Application Data\\TAVIMORE LLC\\lumenquill\\A b\\UNINSTAL.EXE",
         {"C:\\windows\\All Users\\Application Data\\TAVIMORE LLC\\lumenquill\\A b",
          "C:\\windows\\All Users\\Application Data\\TAVIMORE LLC\\lumenquill",
          "C:\\windows\\All Users\\Application Data\\TAVIMORE LLC"}},
        // A copy elsewhere: its folder only, and never what lies above it.
        {"C:\\Temp\\Aurora\\UNINSTAL.EXE", {"C:\\Temp\\Aurora"}},
        {"C:\\Temp\\Lumenquill\\Aurora\\UNINSTAL.EXE", {"C:\\Temp\\Lumenquill\\Aurora", "C:\\Temp\\Lumenquill"}},
        {"C:\\Tavimore LLC\\Aurora\\UNINSTAL.EXE", {"C:\\Tavimore LLC\\Aurora"}},  // not under "Lumenquill"
        {"C:\\Lumenquill\\Aurora\\UNINSTAL.EXE", {"C:\\Lumenquill\\Aurora", "C:\\Lumenquill"}},
        {"C:\\Tavimore LLC\\Lumenquill\\UNINSTAL.EXE", {"C:\\Tavimore LLC\\Lumenquill"}},
        // Never a root.
        {"C:\\UNINSTAL.EXE", {}},
        {"\\\\server\\share\\UNINSTAL.EXE", {}},
        {"\\\\server\\share\\Aurora\\UNINSTAL.EXE", {"\\\\server\\share\\Aurora"}},
        {"UNINSTAL.EXE", {}},
    };
    for (const Case& c : cases) {
        char folders[3][UninstallPathSize];
        size_t n = FoldersToTry(c.own, folders, 3);
        EXPECT_EQ(std::vector<std::string>(folders, folders + n), c.folders) << c.own;
    }
    char one[1][UninstallPathSize];
    EXPECT_EQ(FoldersToTry(cases[0].own, one, 1), 1u) << "the capacity is kept";
}

TEST(UninstallNames, TitleKeyAndSaverPaths) {
    char title[UninstallPathSize];
    EXPECT_TRUE(LastPathPart("C:\\P\\Tavimore LLC\\Lumenquill\\Dr. Who", title, sizeof title));
    EXPECT_STREQ(title, "Dr. Who");
    EXPECT_TRUE(LastPathPart("C:\\P\\Aurora\\", title, sizeof title));
    EXPECT_STREQ(title, "Aurora");
    EXPECT_FALSE(LastPathPart("C:\\", title, sizeof title));
    EXPECT_STREQ(title, "");
    char small[4];
    EXPECT_FALSE(LastPathPart("C:\\Aurora", small, sizeof small));

    char key[UninstallPathSize];
    EXPECT_TRUE(UninstallKeyFor("Aurora", key, sizeof key));
    EXPECT_STREQ(key, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Aurora");
    EXPECT_FALSE(UninstallKeyFor("", key, sizeof key)) << "never the whole Uninstall key";
    EXPECT_FALSE(UninstallKeyFor("a\\b", key, sizeof key));
    EXPECT_FALSE(UninstallKeyFor(std::string(250, 't').c_str(), key, sizeof key));
    EXPECT_STREQ(key, "");

    struct Case { const char* path; bool saver; } savers[] = {
        {"C:\\windows\\Aurora.scr", true}, {"C:\\windows\\AURORA.SCR", true}, {"C:\\w\\Dr. Who.scr", true},
        {"C:\\w\\Aurora.dat", false}, {"C:\\w\\.scr", false}, {"C:\\w.scr\\x.dat", false}, {"scr", false},
    };
    for (const Case& c : savers) EXPECT_EQ(IsSaverPath(c.path), c.saver) << c.path;
}

TEST(UninstallSetting, PointsAtTheSaverByLongOrShortPath) {
    const char* longPath = "C:\\windows\\Aurora Drift.scr";
    const char* shortPath = "C:\\windows\\AURO~RQF.SCR";
    struct Case { const char* setting; const char* shortForm; bool ours; } cases[] = {
        {"C:\\windows\\AURO~RQF.SCR", shortPath, true},
        {"c:\\WINDOWS\\auro~rqf.scr", shortPath, true},
        {"C:\\windows\\Aurora Drift.scr", shortPath, true},
        {"\"C:\\windows\\Aurora Drift.scr\"", nullptr, true},
        {"  C:\\windows\\AURO~RQF.SCR  ", shortPath, true},
        {"C:\\windows\\AURO~RQF.SCR", nullptr, false},  // the short form is not known
        {"C:\\windows\\AURO~RQF.SCR", "", false},
        {"C:\\windows\\Other.scr", shortPath, false},
        {"C:\\windows\\Aurora Drift.scr.bak", shortPath, false},
        {"C:\\windows\\Aurora Drift.sc", shortPath, false},
        {"", shortPath, false},
        {"\"\"", shortPath, false},
    };
    for (const Case& c : cases) EXPECT_EQ(SettingPointsAt(c.setting, longPath, c.shortForm), c.ours) << c.setting;
}

TEST(UninstallArguments, SilentSwitch) {
    struct Case { const char* arguments; bool silent; } cases[] = {
        {"/s", true}, {"/S", true}, {"-s", true}, {"  /s  ", true}, {"/x /s", true},
        {"", false}, {"/", false}, {"/silent", false}, {"s", false}, {"/sx", false}, {"a/s", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSilentSwitch(c.arguments), c.silent) << c.arguments;
}

TEST(UninstallArguments, FinishArgumentsRoundTrip) {
    const char* path = "C:\\ProgramData\\Tavimore LLC\\Lumenquill\\Aurora\\UNINSTAL.EXE";
    char arguments[UninstallPathSize + 40];
    ASSERT_TRUE(ComposeFinishArguments(arguments, sizeof arguments, 1234, path));
    EXPECT_EQ(std::string(arguments), std::string("/finish 1234 \"") + path + "\"");
    uintptr_t handle = 0;
    char back[UninstallPathSize];
    ASSERT_TRUE(ParseFinishArguments(arguments, &handle, back, sizeof back));
    EXPECT_EQ(handle, 1234u);
    EXPECT_STREQ(back, path);

    char small[20];
    EXPECT_FALSE(ComposeFinishArguments(small, sizeof small, 1, path));
    EXPECT_STREQ(small, "");
    EXPECT_FALSE(ComposeFinishArguments(arguments, sizeof arguments, 1, "C:\\a\"b"));

    const char* malformed[] = {
        "", "/s", "/finish", "/finish 12", "/finish \"C:\\x\"", "/finish 0 \"C:\\x\"", "/finish 12 C:\\x",
        "/finish 12 \"C:\\x", "/finish 12 \"\"", "/finish 12 \"C:\\x\" more", "/FINISH 12 \"C:\\x\"",
        "/finish 99999999999999999999999 \"C:\\x\"",
    };
    for (const char* text : malformed) EXPECT_FALSE(ParseFinishArguments(text, &handle, back, sizeof back)) << text;
    char tiny[4];
    EXPECT_FALSE(ParseFinishArguments("/finish 12 \"C:\\xyz\"", &handle, tiny, sizeof tiny));
}

TEST(UninstallReport, ListsItemsAndSumsUpWhatDoesNotFit) {
    char items[3][UninstallPathSize] = {"C:\\windows\\Aurora.scr", "C:\\d\\x.dat", "the screen saver setting"};
    char report[512];
    ComposeFailureReport(report, sizeof report, items, 3);
    EXPECT_STREQ(report, "These could not be removed:\r\nC:\\windows\\Aurora.scr\r\nC:\\d\\x.dat\r\n"
                         "the screen saver setting\r\n");

    static char many[200][UninstallPathSize];
    for (int i = 0; i < 200; ++i) snprintf(many[i], sizeof many[i], "C:\\some\\rather\\long\\folder\\file%03d.dat", i);
    char bounded[1024];
    ComposeFailureReport(bounded, sizeof bounded, many, 200);
    std::string text(bounded);
    EXPECT_LT(text.size(), sizeof bounded);
    size_t shown = 0;
    for (size_t at = 0; (at = text.find("file", at)) != std::string::npos; ++at) ++shown;
    EXPECT_GT(shown, 10u);
    EXPECT_NE(text.find("... and " + std::to_string(200 - shown) + " more"), std::string::npos) << text;

    char tooSmall[16] = "x";
    ComposeFailureReport(tooSmall, sizeof tooSmall, items, 3);
    EXPECT_STREQ(tooSmall, "");
}
