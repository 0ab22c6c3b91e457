// Reading an installer for list, extract and verify.
#include "tools/lqpack/reader.h"

#include "install/naming.h"
#include "tools/lqpack/files.h"

std::string TargetNameFor(int index, const std::string& trimmedTitle, uint16_t firstNumber, const FileEntry& row) {
    std::string saverFile = trimmedTitle + ".scr";
    char baseName[PathSize];
    CopyText(baseName, sizeof baseName, saverFile.c_str());
    CutAtLastDot(baseName);
    std::string saverPath = "{windows}\\" + saverFile;
    char path[1024];
    if (!TargetPathFor(path, sizeof path, index, saverPath.c_str(), "{data}\\", baseName, firstNumber, row.NameSuffix, row.Kind))
        return "(name too long)";
    return path;
}

InstallerInfo ReadInstaller(const std::string& path) {
    InstallerInfo info;
    info.path = path;
    if (!FileSize(path, &info.fileSize)) throw ToolError(ExitInputError, path + ": cannot be read");

    HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR) throw ToolError(ExitInputError, path + ": cannot be opened");
    LocateError error = WalkToPackageRecord(file, &info.where);
    if (error != LocateError::None) {
        _lclose(file);
        throw ToolError(ExitInputError, path + ": no package record: " + LocateErrorText(error));
    }
    if (!ReadRecordHeader(file, &info.header)) info.problems.push_back("the record ends inside its header");
    if (info.where.Offset + 2ull + info.header.LicenseLength > info.fileSize)
        info.problems.push_back("the license runs past the end of the file");
    info.trimmedTitle = info.header.Title;
    while (!info.trimmedTitle.empty() && info.trimmedTitle.back() == ' ') info.trimmedTitle.pop_back();

    _llseek(file, (long)info.where.Offset, FILE_BEGIN);
    uint16_t firstNumber = SkipToFileTable(file);
    FileEntry row;
    int index = 0;
    while (ReadFileEntry(file, &row)) {
        InstallerEntry entry;
        entry.row = row;
        entry.targetName = TargetNameFor(index, info.trimmedTitle, firstNumber, row);
        if ((uint64_t)row.DataOffset + row.PackedSize > info.fileSize)
            entry.problem = "its data runs past the end of the file";
        else if (row.DataOffset > 0x7FFFFFFFu)
            entry.problem = "its data offset is beyond 2 GiB";
        if (!entry.problem.empty()) info.problems.push_back("entry " + std::to_string(index) + ": " + entry.problem);
        info.installedSize += InstalledBytes(row);
        info.entries.push_back(entry);
        ++index;
    }
    _lclose(file);
    // ReadFileEntry also stops on a row cut short by the end of the file; the terminator was there
    // only if 28 whole bytes stood after the last row.
    uint64_t tableStart = info.where.Offset + (uint64_t)record::TableOffset(info.header.LicenseLength);
    uint64_t terminatorEnd = tableStart + (uint64_t)(info.entries.size() + 1) * record::EntrySize;
    info.terminated = terminatorEnd <= info.fileSize;
    if (!info.terminated) info.problems.push_back("the file table has no terminator before the end of the file");
    return info;
}
