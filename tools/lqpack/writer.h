// Building an installer: the stub, then the package record, then every file's data in table order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One row of the package, in table order: saver, data file, uninstaller, media files.
struct PackageInput {
    std::string path;
    bool pack = true;          // packed unless it would not get smaller, or stored on request
    uint8_t kind = ' ';        // media rows: '_' "JUK_", 0 "JUKE", anything else "FILE"
    std::string nameSuffix;    // media rows: up to 15 bytes, blank padded when written
};

struct BuildRequest {
    std::string stubPath;
    std::string outputPath;
    std::string title;          // up to 259 bytes; may end in blanks
    std::string licensePath;    // empty: no license
    bool needsDirectX = false;
    uint16_t firstNumber = 1;
    std::vector<PackageInput> files;
    bool fastPacking = false;
    bool showProgress = false;  // a progress line on stderr while files are packed (for terminals)
};

struct BuiltEntry {
    std::string path;
    uint32_t size = 0;         // the file's own size
    uint32_t packedSize = 0;   // bytes in the installer
    bool packed = false;
};

struct BuildResult {
    uint64_t installerSize = 0;
    uint32_t recordOffset = 0;
    uint32_t installedSize = 0;
    std::vector<BuiltEntry> entries;
};

// Checks the request (title, suffixes, license, files), builds the installer in memory and writes it
// all-or-nothing. Throws ToolError naming the file and the problem.
BuildResult BuildInstaller(const BuildRequest& request);

// The checks on a title and a suffix that the installer would refuse or mis-name; empty when fine.
std::string CheckTitle(const std::string& title);
std::string CheckNameSuffix(const std::string& suffix);
