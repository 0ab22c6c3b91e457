// lqpack's file access.
#include "tools/lqpack/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw ToolError(ExitInputError, path + ": " + std::strerror(errno));
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
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
    std::string temp = path + ".tmp-" + std::to_string((long)getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw ToolError(ExitInputError, path + ": cannot write: " + std::strerror(errno));
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int saved = errno;
    if (std::fflush(f) != 0 && ok) { ok = false; saved = errno; }
    if (std::fclose(f) != 0 && ok) { ok = false; saved = errno; }
    if (ok && exec) chmod(temp.c_str(), 0755);
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) { ok = false; saved = errno; }
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
