// lqpack build, list and prepare-stub.
#include <chrono>
#include <cinttypes>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/lqpack/commands.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/project.h"
#include "tools/lqpack/reader.h"
#include "tools/lqpack/stub.h"
#include "tools/lqpack/writer.h"

namespace {
// PATH[,kind=K][,suffix=S][,stored]; K is _, 0 (a zero byte), blank, one character or 0xNN.
PackageInput ParseMediaSpec(const std::string& spec) {
    PackageInput input;
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = spec.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(spec.substr(start, comma - start));
    parts.push_back(spec.substr(start));
    input.path = parts[0];
    input.nameSuffix = Extension(input.path);
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.rfind("kind=", 0) == 0) {
            if (!ParseKind(part.substr(5), &input.kind)) throw ToolError(ExitUsage, "build: --media " + spec + ": kind is _, 0, blank, one character or 0xNN");
        } else if (part.rfind("suffix=", 0) == 0) {
            input.nameSuffix = part.substr(7);
        } else if (part == "stored") {
            input.pack = false;
        } else {
            throw ToolError(ExitUsage, "build: --media " + spec + ": unknown field \"" + part + "\"");
        }
    }
    return input;
}

std::string KindText(uint8_t kind) {
    if (kind == 0) return "0";
    if (kind >= 32 && kind < 127) return kind == ' ' ? "blank" : std::string(1, (char)kind);
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", kind);
    return hex;
}

std::string Suffix(const FileEntry& row) {
    std::string s(row.NameSuffix, row.NameSuffix + sizeof row.NameSuffix);
    size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}
}  // namespace

int RunBuild(const Args& args) {
    BuildRequest request;
    request.stubPath = DefaultStubPath();
    std::string saver, data, uninstaller;
    std::vector<PackageInput> media;
    bool allStored = false, quiet = false;
    OptionReader options("build", args);
    while (options.Next()) {
        if (options.Is("--project")) {
            // The project comes first; options after it override what it says.
            std::string path = options.Value();
            std::vector<uint8_t> bytes = ReadWholeFile(path);
            ProjectFiles project;
            ParseProject(std::string(bytes.begin(), bytes.end()), path, &request, &project);
            if (!project.saver.empty()) saver = project.saver;
            if (!project.data.empty()) data = project.data;
            if (!project.uninstaller.empty()) uninstaller = project.uninstaller;
            media.insert(media.end(), project.media.begin(), project.media.end());
            allStored = allStored || project.allStored;
        } else if (options.Is("-o") || options.Is("--output")) request.outputPath = options.Value();
        else if (options.Is("--stub")) request.stubPath = options.Value();
        else if (options.Is("--title")) request.title = options.Value();
        else if (options.Is("--license")) request.licensePath = options.Value();
        else if (options.Is("--directx")) request.needsDirectX = true;
        else if (options.Is("--first-number")) request.firstNumber = (uint16_t)options.Number(65535);
        else if (options.Is("--saver")) saver = options.Value();
        else if (options.Is("--data")) data = options.Value();
        else if (options.Is("--uninstaller")) uninstaller = options.Value();
        else if (options.Is("--media")) media.push_back(ParseMediaSpec(options.Value()));
        else if (options.Is("--stored")) allStored = true;
        else if (options.Is("--fast")) request.fastPacking = true;
        else if (options.Is("-q") || options.Is("--quiet")) quiet = true;
        else options.Unknown();
    }
    if (request.outputPath.empty()) throw ToolError(ExitUsage, "build: -o OUTPUT is required");
    if (saver.empty()) throw ToolError(ExitUsage, "build: --saver FILE is required");
    if (request.title.empty()) throw ToolError(ExitUsage, "build: --title TEXT is required");
    // Media rows need row 2: without --uninstaller, carry the sample one.
    if (uninstaller.empty() && !media.empty()) {
        uninstaller = DefaultUninstallerPath();
        if (uninstaller.empty())
            throw ToolError(ExitInputError, "build: media files need an uninstaller (row 2): give --uninstaller, "
                                            "or build the sample UNINSTAL.EXE (make)");
    }
    if (!media.empty() && (data.empty() || uninstaller.empty()))
        throw ToolError(ExitUsage, "build: media files need --data and --uninstaller (rows 1 and 2)");
    if (!uninstaller.empty() && data.empty())
        throw ToolError(ExitUsage, "build: --uninstaller needs --data (the uninstaller is row 2)");

    for (const std::string& path : {saver, data, uninstaller}) {
        if (path.empty()) continue;
        PackageInput input;
        input.path = path;
        request.files.push_back(input);
    }
    request.files.insert(request.files.end(), media.begin(), media.end());
    if (allStored)
        for (PackageInput& input : request.files) input.pack = false;

    request.showProgress = !quiet && !QuietOutput();
    auto started = std::chrono::steady_clock::now();
    BuildResult result = BuildInstaller(request);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!quiet) {
        uint64_t in = 0, out = 0;
        for (const BuiltEntry& e : result.entries) { in += e.size; out += e.packedSize; }
        std::printf("%s: %zu files, %" PRIu64 " bytes packed into %" PRIu64 " (%.1f%%), installer %" PRIu64
                    " bytes, %.2f s\n",
                    request.outputPath.c_str(), result.entries.size(), in, out, in ? 100.0 * out / in : 100.0,
                    result.installerSize, seconds);
    }
    return ExitOk;
}

int RunList(const Args& args) {
    std::string path;
    bool json = false;
    OptionReader options("list", args);
    while (options.Next()) {
        if (options.Is("--json")) json = true;
        else if (options.IsOption()) options.Unknown();
        else if (path.empty()) path = options.Current();
        else throw ToolError(ExitUsage, "list: one installer at a time");
    }
    if (path.empty()) throw ToolError(ExitUsage, "list: which installer? (lqpack list FILE)");
    InstallerInfo info = ReadInstaller(path);

    if (json) {
        nlohmann::ordered_json out;
        out["file"] = path;
        out["file_size"] = info.fileSize;
        out["record_offset"] = info.where.Offset;
        out["title"] = info.header.Title;
        out["license_length"] = info.header.LicenseLength;
        out["needs_directx"] = info.header.NeedsDirectX != 0;
        out["first_number"] = info.header.FirstNumber;
        out["installed_size"] = info.installedSize;
        out["terminated"] = info.terminated;
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (size_t i = 0; i < info.entries.size(); ++i) {
            const InstallerEntry& e = info.entries[i];
            nlohmann::ordered_json row;
            row["index"] = i;
            row["target"] = e.targetName;
            row["data_offset"] = e.row.DataOffset;
            row["packed_size"] = e.row.PackedSize;
            row["unpacked_size"] = e.row.UnpackedSize;
            row["stored"] = e.row.UnpackedSize == 0;
            row["kind"] = KindText(e.row.Kind);
            row["name_suffix"] = Suffix(e.row);
            if (!e.problem.empty()) row["problem"] = e.problem;
            rows.push_back(row);
        }
        out["entries"] = rows;
        out["problems"] = info.problems;
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        std::printf("installer:      %s (%" PRIu64 " bytes, record at %u)\n", path.c_str(), info.fileSize, info.where.Offset);
        std::printf("title:          \"%s\"\n", info.header.Title);
        std::printf("license:        %u bytes\n", info.header.LicenseLength);
        std::printf("needs DirectX:  %s\n", info.header.NeedsDirectX ? "yes" : "no");
        std::printf("first number:   %u\n", info.header.FirstNumber);
        std::printf("%-4s %-44s %10s %10s  %s\n", "row", "target", "packed", "unpacked", "stored at");
        for (size_t i = 0; i < info.entries.size(); ++i) {
            const InstallerEntry& e = info.entries[i];
            std::string unpacked = e.row.UnpackedSize ? std::to_string(e.row.UnpackedSize) : "(stored)";
            std::printf("%-4zu %-44s %10u %10s  %u%s%s\n", i, e.targetName.c_str(), e.row.PackedSize, unpacked.c_str(),
                        e.row.DataOffset, e.problem.empty() ? "" : "  ! ", e.problem.c_str());
        }
        std::printf("installed size: %u bytes\n", info.installedSize);
        for (const std::string& problem : info.problems) std::printf("problem:        %s\n", problem.c_str());
    }
    return info.problems.empty() ? ExitOk : ExitInputError;
}

int RunPrepareStub(const Args& args) {
    if (args.size() != 2) throw ToolError(ExitUsage, "prepare-stub: needs LINKED.exe STUB.exe");
    std::vector<uint8_t> image = ReadWholeFile(args[0]);
    if (std::string problem = PrepareStub(args[0].c_str(), image); !problem.empty())
        throw ToolError(ExitInputError, args[0] + ": " + problem);
    WriteFileAtomically(args[1], image, true);
    std::vector<uint8_t> written = ReadWholeFile(args[1]);
    PackageLocation where;
    if (std::string problem = CheckStub(args[1].c_str(), written, &where); !problem.empty()) {
        std::remove(args[1].c_str());
        throw ToolError(ExitInputError, args[1] + ": prepared stub fails its check: " + problem);
    }
    return ExitOk;
}
