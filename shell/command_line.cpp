// The installer's command-line switch.
#include "shell/command_line.h"

#include <cstring>

int ParseInstallMode(const char* commandLine) {
    if (!commandLine) return InteractiveMode;
    const char* mark = std::strchr(commandLine, '/');
    if (!mark) mark = std::strchr(commandLine, '-');
    if (!mark) return InteractiveMode;
    char letter = mark[1];
    if (letter >= 'a' && letter <= 'z') letter = (char)(letter - 'a' + 'A');
    return letter == 'S' ? SilentMode : InteractiveMode;
}
