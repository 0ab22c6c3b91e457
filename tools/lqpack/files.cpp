// lqpack's file access.
#include "tools/lqpack/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::string TemporaryNameFor(const std::string& path) {
#ifdef _WIN32
    unsigned long id = GetCurrentProcessId();
#else
    unsigned long id = (unsigned long)getpid();
#endif
    return path + ".tmp-" + std::to_string(id);
}

bool ReplaceWith(const std::string& temp, const std::string& path) {
    std::error_code error;
    fs::rename(temp, path, error);
    if (error) errno = error.value();
    return !error;
}

std::string OwnFolder() {
#ifdef _WIN32
    char self[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
#else
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
#endif
    self[n] = 0;
    std::string path = self;
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsReadableFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

bool FileSize(const std::string& path, uint64_t* size) {
    std::error_code error;
    uintmax_t n = fs::file_size(path, error);
    if (error) return false;
    *size = n;
    return true;
}

bool OutputIsTerminal() { return isatty(fileno(stdout)); }

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw ToolError(ExitInputError, path + ": " + std::strerror(errno));
    if (IsFolder(path)) {
        std::fclose(f);
        throw ToolError(ExitInputError, path + ": is a directory");
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) throw ToolError(ExitInputError, path + ": read error");
    return bytes;
}

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, bool exec) {
    std::string temp = TemporaryNameFor(path);
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw ToolError(ExitInputError, path + ": cannot write: " + std::strerror(errno));
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int saved = errno;
    if (std::fflush(f) != 0 && ok) { ok = false; saved = errno; }
    if (std::fclose(f) != 0 && ok) { ok = false; saved = errno; }
#ifndef _WIN32
    if (ok && exec) chmod(temp.c_str(), 0755);
#endif
    if (ok && !ReplaceWith(temp, path)) { ok = false; saved = errno; }
    if (!ok) {
        std::remove(temp.c_str());
        throw ToolError(ExitInputError, path + ": cannot write: " + std::strerror(saved));
    }
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Extension(const std::string& path) {
    std::string base = BaseName(path);
    size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : base.substr(dot);
}
