// lqpack's file access: whole-file reads, all-or-nothing writes, and the error type its commands throw.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Exit codes of lqpack, documented in the README.
enum ExitCode : int {
    ExitOk = 0,
    ExitInputError = 1,   // a file missing, unreadable, too long, damaged; an unwritable output
    ExitUsage = 2,        // unknown command or option, missing or malformed argument
    ExitVerifyFailed = 3, // verify: an entry does not decode to what it should
};

// What a command reports to the user: one line naming the file and the problem.
struct ToolError : std::runtime_error {
    int code;
    ToolError(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Writes bytes to path through a temporary file in the same folder and a rename, so the path holds
// either the old content or the whole new one, never a part. exec sets the execute bits.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, bool exec = false);

std::string BaseName(const std::string& path);
std::string Extension(const std::string& path);  // from the last dot of the base name, dot included
