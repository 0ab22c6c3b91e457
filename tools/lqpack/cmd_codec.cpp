// lqpack encode, decode, extract and verify: everything that runs the packed format.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "decode/extract.h"
#include "decode/stream.h"
#include "decode/unpack.h"
#include "tools/lqpack/commands.h"
#include "tools/lqpack/encoder.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/reader.h"
#include "tools/lqpack/sha256.h"

namespace {
// Decodes one packed entry of an installer into memory through the installer's own decoder.
std::vector<uint8_t> DecodeEntry(const std::string& installer, const FileEntry& row) {
    std::error_code error;
    std::string temp = TemporaryNameFor((std::filesystem::temp_directory_path(error) / "lqpack-decode").string());
    FatalStopTarget = temp.c_str();
    int32_t result = ExtractPackedFileFrom(installer.c_str(), row.DataOffset, (int32_t)row.UnpackedSize, row.PackedSize,
                                           temp.c_str());
    if (result != 1) {
        std::remove(temp.c_str());
        throw ToolError(ExitInputError, installer + ": cannot decode an entry (" +
                                            (result == ExtractNoSource ? "the installer cannot be read" : "no temporary file") + ")");
    }
    std::vector<uint8_t> bytes = ReadWholeFile(temp);
    std::remove(temp.c_str());
    return bytes;
}

std::vector<uint8_t> StoredEntry(const std::vector<uint8_t>& installer, const FileEntry& row) {
    return std::vector<uint8_t>(installer.begin() + row.DataOffset, installer.begin() + row.DataOffset + row.PackedSize);
}

// The file name an extracted entry gets: the installer's name for it, without its folder, made safe.
std::string SafeName(const std::string& target, size_t index) {
    std::string name = target.substr(target.find_last_of('\\') + 1);
    for (char& c : name)
        if (c == '/' || (unsigned char)c < 32) c = '_';
    if (name.empty() || name == "." || name == "..") name = "entry" + std::to_string(index);
    return name;
}

// The arguments of a command that takes files only.
std::vector<std::string> FilesOnly(const char* command, const Args& args) {
    std::vector<std::string> paths;
    OptionReader options(command, args);
    while (options.Next()) {
        if (options.IsOption()) options.Unknown();
        paths.push_back(options.Current());
    }
    return paths;
}

// Hands every entry's bytes to use in table order, packed entries decoded each after the one before,
// as the installer decodes them (the first as the first file of a process).
template <typename Use>
void ForEachEntry(const std::string& path, const InstallerInfo& info, Use use) {
    std::vector<uint8_t> installer = ReadWholeFile(path);
    ResetRingTail();
    for (size_t i = 0; i < info.entries.size(); ++i) {
        const FileEntry& row = info.entries[i].row;
        use(i, row.UnpackedSize ? DecodeEntry(path, row) : StoredEntry(installer, row));
    }
}

InstallerInfo ReadSound(const std::string& path) {
    InstallerInfo info = ReadInstaller(path);
    for (const std::string& problem : info.problems)
        if (problem.find("entry") == 0) throw ToolError(ExitInputError, path + ": " + problem);
    return info;
}
}  // namespace

int RunEncode(const Args& args) {
    std::vector<std::string> paths;
    bool fast = false;
    OptionReader options("encode", args);
    while (options.Next()) {
        if (options.Is("--fast")) fast = true;
        else if (options.IsOption()) options.Unknown();
        else paths.push_back(options.Current());
    }
    if (paths.size() != 2) throw ToolError(ExitUsage, "encode: needs IN OUT");
    std::vector<uint8_t> in = ReadWholeFile(paths[0]);
    if (in.size() > 0x7FFFFFFFu) throw ToolError(ExitInputError, paths[0] + ": 2 GiB or larger");
    std::vector<uint8_t> out = EncodeStream(in.data(), in.size(), fast ? EncodeLevel::Fast : EncodeLevel::Best);
    WriteFileAtomically(paths[1], out);
    std::printf("%s: %zu bytes unpacked, %zu bytes packed\n", paths[1].c_str(), in.size(), out.size());
    return ExitOk;
}

int RunDecode(const Args& args) {
    std::vector<std::string> paths;
    long long size = -1;
    OptionReader options("decode", args);
    while (options.Next()) {
        if (options.Is("--size")) size = (long long)options.Number(0x7FFFFFFF);
        else if (options.IsOption()) options.Unknown();
        else paths.push_back(options.Current());
    }
    if (paths.size() != 2 || size < 0) throw ToolError(ExitUsage, "decode: needs --size S IN OUT");
    FILE* in = std::fopen(paths[0].c_str(), "rb");
    if (!in) throw ToolError(ExitInputError, paths[0] + ": cannot be read");
    std::fseek(in, 0, SEEK_END);
    long packed = std::ftell(in);
    std::fseek(in, 0, SEEK_SET);
    std::string temp = TemporaryNameFor(paths[1]);
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        throw ToolError(ExitInputError, paths[1] + ": cannot be written");
    }
    FatalStopTarget = paths[1].c_str();
    ResetRingTail();  // as the first file of a process
    ReadPtr(nullptr, 0, 0);
    WritePtr(nullptr, 0, 0, 0);
    UnpackStream(in, out, (int32_t)size, (uint32_t)packed, 514);
    std::fclose(in);
    if (std::fclose(out) != 0 || !ReplaceWith(temp, paths[1])) {
        std::remove(temp.c_str());
        throw ToolError(ExitInputError, paths[1] + ": cannot be written");
    }
    std::printf("%s: %lld bytes from %ld packed bytes\n", paths[1].c_str(), size, packed);
    return ExitOk;
}

int RunExtract(const Args& args) {
    std::vector<std::string> paths = FilesOnly("extract", args);
    if (paths.size() != 2) throw ToolError(ExitUsage, "extract: needs INSTALLER FOLDER");
    InstallerInfo info = ReadSound(paths[0]);
    const std::string& folder = paths[1];
    if (!IsFolder(folder)) throw ToolError(ExitInputError, folder + ": no such folder");
    ForEachEntry(paths[0], info, [&](size_t i, const std::vector<uint8_t>& bytes) {
        std::string name = SafeName(info.entries[i].targetName, i);
        WriteFileAtomically(folder + "/" + name, bytes);
        std::printf("%s\n", name.c_str());
    });
    return ExitOk;
}

int RunVerify(const Args& args) {
    std::vector<std::string> paths = FilesOnly("verify", args);
    if (paths.empty()) throw ToolError(ExitUsage, "verify: needs INSTALLER [SOURCE FILES in row order]");
    InstallerInfo info = ReadSound(paths[0]);
    if (!info.terminated) throw ToolError(ExitInputError, paths[0] + ": the file table has no terminator");
    if (paths.size() > 1 && paths.size() - 1 != info.entries.size())
        throw ToolError(ExitUsage, "verify: the installer has " + std::to_string(info.entries.size()) +
                                       " files; give that many source files or none");
    bool allMatch = true;
    ForEachEntry(paths[0], info, [&](size_t i, const std::vector<uint8_t>& bytes) {
        std::string verdict;
        if (paths.size() > 1) {
            bool same = ReadWholeFile(paths[i + 1]) == bytes;
            allMatch = allMatch && same;
            verdict = same ? "  matches " + paths[i + 1] : "  DIFFERS from " + paths[i + 1];
        }
        std::printf("%-3zu %-28s %10zu bytes  %s%s\n", i, info.entries[i].targetName.c_str(), bytes.size(),
                    Sha256Hex(bytes.data(), bytes.size()).c_str(), verdict.c_str());
    });
    return allMatch ? ExitOk : ExitVerifyFailed;
}
