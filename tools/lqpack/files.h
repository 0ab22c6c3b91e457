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

// A temporary name beside path, unique to this process.
std::string TemporaryNameFor(const std::string& path);
// Moves temp over path, replacing it (also on Windows). False on failure, errno set where known.
bool ReplaceWith(const std::string& temp, const std::string& path);
// The folder of the running lqpack, or "" when the system does not say.
std::string OwnFolder();
bool IsFolder(const std::string& path);
bool IsReadableFile(const std::string& path);
// The size of a file; false when it cannot be had.
bool FileSize(const std::string& path, uint64_t* size);
bool OutputIsTerminal();

std::string BaseName(const std::string& path);
std::string Extension(const std::string& path);  // from the last dot of the base name, dot included
