// Reading an installer for list, extract and verify: the record through the installer's own walk and
// reads, with every entry checked against the file's real length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/locate.h"
#include "package/record.h"

struct InstallerEntry {
    FileEntry row;
    std::string targetName;   // where the installer would write it, e.g. {windows}\Aurora.scr
    std::string problem;      // empty, or why this entry cannot be read whole
};

struct InstallerInfo {
    std::string path;
    uint64_t fileSize = 0;
    PackageLocation where;
    RecordHeader header;
    std::string trimmedTitle;     // the title as the installer uses it, trailing blanks removed
    std::vector<InstallerEntry> entries;
    bool terminated = false;      // the table ended with its terminator, not with the end of the file
    uint32_t installedSize = 0;   // the installer's sum: UnpackedSize where nonzero, else PackedSize
    std::vector<std::string> problems;  // damage found anywhere
};

// Throws ToolError when the file cannot be read or holds no package record.
InstallerInfo ReadInstaller(const std::string& path);

// The name the installer gives a row: {windows}\<title>.scr, {data}\<title>.dat, {data}\UNINSTAL.EXE,
// {data}\FILE0006.MID, ...; {data} stands for ...\Tavimore LLC\Lumenquill\<title>\.
std::string TargetNameFor(int index, const std::string& trimmedTitle, uint16_t firstNumber, const FileEntry& row);
