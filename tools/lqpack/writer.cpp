// Building an installer from the stub and the saver's files.
#include "tools/lqpack/writer.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "install/naming.h"
#include "package/record.h"
#include "tools/lqpack/encoder.h"
#include "tools/lqpack/files.h"
#include "tools/lqpack/stub.h"

namespace {
void Put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF); }

std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 32) { char hex[8]; std::snprintf(hex, sizeof hex, "\\x%02X", c); out += hex; }
        else out += (char)c;
    }
    return out;
}
// The progress line on a terminal: this file's share done, all files' bytes and the rate, at most ten
// times a second.
struct ProgressLine {
    std::chrono::steady_clock::time_point started;
    size_t index, count;
    std::string name;
    uint64_t fileSize, doneBytes, totalBytes;
    double lastShown = -1;
};

void ShowProgress(double fraction, void* context) {
    ProgressLine* line = (ProgressLine*)context;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - line->started).count();
    if (fraction > 0 && seconds - line->lastShown < 0.1) return;
    line->lastShown = seconds;
    double done = (double)line->doneBytes + fraction * (double)line->fileSize;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s %3.0f%%  %.1f of %.1f MB  %.1f MB/s", line->index, line->count,
                 line->name.c_str(), 100 * fraction, done / 1e6, line->totalBytes / 1e6,
                 seconds > 0 ? done / 1e6 / seconds : 0.0);
    std::fflush(stderr);
}
}  // namespace

std::string CheckTitle(const std::string& title) {
    if (title.size() > record::TitleSize - 1) return "the title is " + std::to_string(title.size()) + " bytes long; at most 259 fit";
    if (title.find('\0') != std::string::npos) return "the title holds a zero byte";
    if (!IsSafeNamePart(title.c_str(), title.size()))
        return "the title \"" + Printable(title) + "\" holds a character a file name cannot hold, or is . or ..";
    std::string trimmed = title;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    if (trimmed.empty()) return "the title is empty";
    return "";
}

std::string CheckNameSuffix(const std::string& suffix) {
    if (suffix.size() > record::NameSuffixSize) return "the name suffix \"" + Printable(suffix) + "\" is longer than 15 bytes";
    if (!IsSafeNamePart(suffix.c_str(), suffix.size()) || suffix.find('\0') != std::string::npos)
        return "the name suffix \"" + Printable(suffix) + "\" holds a character a file name cannot hold";
    return "";
}

BuildResult BuildInstaller(const BuildRequest& request) {
    if (std::string problem = CheckTitle(request.title); !problem.empty()) throw ToolError(ExitInputError, problem);
    if (request.files.empty()) throw ToolError(ExitUsage, "a package needs at least the saver");
    for (size_t i = 3; i < request.files.size(); ++i)
        if (std::string problem = CheckNameSuffix(request.files[i].nameSuffix); !problem.empty())
            throw ToolError(ExitInputError, request.files[i].path + ": " + problem);

    std::vector<uint8_t> license;
    if (!request.licensePath.empty()) {
        license = ReadWholeFile(request.licensePath);
        if (license.size() > record::MaxLicenseLength)
            throw ToolError(ExitInputError, request.licensePath + ": the license is " + std::to_string(license.size()) +
                                                " bytes long; at most 65535 fit");
    }

    std::vector<uint8_t> installer = ReadWholeFile(request.stubPath);
    PackageLocation where;
    if (std::string problem = CheckStub(request.stubPath.c_str(), installer, &where); !problem.empty())
        throw ToolError(ExitInputError, request.stubPath + ": not a pack-ready installer stub: " + problem);
    installer.resize(where.Offset);  // the record replaces the 4 placeholder bytes at the very end

    // Every file's data first, so the table can give absolute offsets.
    BuildResult result;
    result.recordOffset = where.Offset;
    std::vector<std::vector<uint8_t>> data;
    uint64_t totalBytes = 0, doneBytes = 0;  // for the progress line
    for (const PackageInput& input : request.files) {
        uint64_t size = 0;
        if (FileSize(input.path, &size)) totalBytes += size;
    }
    ProgressLine line = {std::chrono::steady_clock::now(), 0, request.files.size(), "", 0, doneBytes, totalBytes};
    EncodeProgress progress = {ShowProgress, &line};
    for (const PackageInput& input : request.files) {
        line.index = data.size() + 1;
        line.name = BaseName(input.path);
        FileSize(input.path, &line.fileSize);
        if (request.showProgress) ShowProgress(0.0, &line);
        std::vector<uint8_t> bytes = ReadWholeFile(input.path);
        if (bytes.empty()) throw ToolError(ExitInputError, input.path + ": the file is empty; a package cannot hold an empty file");
        if (bytes.size() > 0x7FFFFFFFu) throw ToolError(ExitInputError, input.path + ": the file is 2 GiB or larger");
        BuiltEntry entry;
        entry.path = input.path;
        entry.size = (uint32_t)bytes.size();
        if (input.pack) {
            std::vector<uint8_t> packed =
                EncodeStream(bytes.data(), bytes.size(), request.fastPacking ? EncodeLevel::Fast : EncodeLevel::Best,
                             request.showProgress ? &progress : nullptr);
            if (packed.size() < bytes.size() && !packed.empty()) {
                bytes.swap(packed);
                entry.packed = true;
            }
        }
        entry.packedSize = (uint32_t)bytes.size();
        line.doneBytes += entry.size;
        result.entries.push_back(entry);
        data.push_back(std::move(bytes));
    }

    std::vector<uint8_t> rec;
    Put16(rec, (uint16_t)license.size());
    rec.insert(rec.end(), license.begin(), license.end());
    char title[record::TitleSize] = {};
    std::memcpy(title, request.title.data(), request.title.size());
    rec.insert(rec.end(), title, title + sizeof title);
    Put32(rec, request.needsDirectX ? 1 : 0);
    Put32(rec, record::Reserved1Value);
    Put32(rec, 0);
    Put16(rec, 0);
    Put16(rec, request.firstNumber);

    uint64_t offset = (uint64_t)where.Offset + record::RecordSize((unsigned)license.size(), (unsigned)data.size());
    for (size_t i = 0; i < data.size(); ++i) {
        FileEntry entry = {};
        entry.DataOffset = (uint32_t)offset;
        entry.PackedSize = result.entries[i].packedSize;
        entry.UnpackedSize = result.entries[i].packed ? result.entries[i].size : 0;
        std::memset(entry.NameSuffix, ' ', sizeof entry.NameSuffix);
        if (i >= 3) {
            const std::string& suffix = request.files[i].nameSuffix;
            std::memcpy(entry.NameSuffix, suffix.data(), suffix.size());
            entry.Kind = request.files[i].kind;
        }
        uint8_t row[record::EntrySize];
        EncodeFileEntry(entry, row);
        rec.insert(rec.end(), row, row + sizeof row);
        result.installedSize += InstalledBytes(entry);
        offset += data[i].size();
        if (offset > 0x7FFFFFFFu) throw ToolError(ExitInputError, "the installer would be 2 GiB or larger");
    }
    if (request.showProgress) std::fprintf(stderr, "\r\033[K");
    rec.insert(rec.end(), record::EntrySize, 0);  // terminator

    installer.insert(installer.end(), rec.begin(), rec.end());
    for (const auto& bytes : data) installer.insert(installer.end(), bytes.begin(), bytes.end());
    result.installerSize = installer.size();
    WriteFileAtomically(request.outputPath, installer, true);
    return result;
}
