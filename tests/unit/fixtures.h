// Small fixtures shared by the unit tests: temporary files and the built installer stub.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

// A file in a fresh temporary folder, removed with it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/lqtest-XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string path = Path(name);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    std::string Write(const std::string& name, const std::string& text) const {
        return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }

private:
    std::string dir_;
};

// Bytes that do not pack: the same for the same seed.
inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = (uint8_t)rng();
    return v;
}

// The installer stub of the Windows build, which the tests read as a plain file.
inline std::string StubPath() {
    if (const char* env = std::getenv("LQ_STUB"); env && *env) return env;
    return std::string(LQ_SOURCE_DIR) + "/build/win32/lqstub.exe";
}
inline bool StubBuilt() { return access(StubPath().c_str(), R_OK) == 0; }
