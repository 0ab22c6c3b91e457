// The installer's command-line switch.
#include <gtest/gtest.h>

#include "shell/command_line.h"

TEST(CommandLine, OnlyTheCharacterAfterTheFirstSwitchCounts) {
    struct Case { const char* line; int mode; } cases[] = {
        {"", InteractiveMode},        {"/s", SilentMode},          {"/S", SilentMode},
        {"-s", SilentMode},           {"-S", SilentMode},          {"/Silent", SilentMode},
        {"-S /X", InteractiveMode},   // the "/" wins over every "-"
        {"a/b -S", InteractiveMode},  {"C:/Saves", SilentMode},     {"/", InteractiveMode},
        {"-", InteractiveMode},       {"x -y /s", SilentMode},     {"setup.exe", InteractiveMode},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseInstallMode(c.line), c.mode) << '"' << c.line << '"';
    EXPECT_EQ(ParseInstallMode(nullptr), InteractiveMode);
}
