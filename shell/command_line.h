// The installer's one command-line switch.
#pragma once

constexpr int InteractiveMode = 2;
constexpr int SilentMode = 1;

// The character after the first "/" (else the first "-") selects the mode: "S" in either case is silent,
// anything else, or a switch character at the very end, interactive. Only that one character counts,
// wherever it stands (C:/Saves is silent). A null text is interactive.
int ParseInstallMode(const char* commandLine);
