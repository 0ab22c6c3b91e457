// Benchmark of the packer and the installer's decoder on what screen savers carry (prints figures).
//
// The corpus is built from files found on this machine or generated here: Wine's i386 PE DLLs,
// a 24-bit BMP, a PCM WAV, a MIDI file and text from /usr/share. Decoding runs UnpackStream
// through ReadPtr and WritePtr between real files, as the installer does; the baseline is the
// same bytes written with fwrite in 16384-byte chunks.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decode/stream.h"
#include "decode/unpack.h"
#include "tools/lqpack/encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t CorpusLimit = 8u << 20;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool AppendFile(const std::string& path, Bytes* out, size_t limit) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while (out->size() < limit && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->insert(out->end(), buffer, buffer + std::min(n, limit - out->size()));
    std::fclose(f);
    return true;
}

std::vector<std::string> ListDir(const std::string& dir, const char* suffix) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            size_t len = std::strlen(suffix);
            if (name.size() > len && name.compare(name.size() - len, len, suffix) == 0)
                names.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes PeCorpus() {
    Bytes out;
    const char* dirs[] = {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows"};
    for (const char* dir : dirs) {
        // Middle-sized DLLs, so the corpus mixes many modules rather than one huge one.
        for (const std::string& path : ListDir(dir, ".dll")) {
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || st.st_size < 100000 || st.st_size > 1500000) continue;
            AppendFile(path, &out, CorpusLimit);
            if (out.size() >= CorpusLimit) return out;
        }
    }
    for (const char* name : {"/usr/bin/cmake", "/usr/bin/gdb", "/usr/bin/python3", "/usr/bin/perl"})
        if (out.size() < CorpusLimit) AppendFile(name, &out, CorpusLimit);
    return out;
}

Bytes TextCorpus() {
    Bytes out;
    for (const std::string& path : ListDir("/usr/share/common-licenses", "")) AppendFile(path, &out, CorpusLimit);
    if (DIR* d = opendir("/usr/share/doc")) {
        std::vector<std::string> names;
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(std::string("/usr/share/doc/") + e->d_name + "/copyright");
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& path : names) {
            if (out.size() >= CorpusLimit) break;
            AppendFile(path, &out, CorpusLimit);
        }
    }
    return out;
}

void Put16(Bytes* b, uint32_t v) { b->push_back(v & 255); b->push_back(v >> 8 & 255); }
void Put32(Bytes* b, uint32_t v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }
void Put32BE(Bytes* b, uint32_t v) { for (int s = 24; s >= 0; s -= 8) b->push_back(v >> s & 255); }

// A 1024x768 24-bit image: a diagonal gradient with a checker overlay and soft noise.
Bytes BmpImage() {
    const int w = 1024, h = 768, row = w * 3;
    Bytes b;
    b.push_back('B'); b.push_back('M');
    Put32(&b, 54 + row * h); Put32(&b, 0); Put32(&b, 54);
    Put32(&b, 40); Put32(&b, w); Put32(&b, h); Put16(&b, 1); Put16(&b, 24); Put32(&b, 0);
    Put32(&b, row * h); Put32(&b, 2835); Put32(&b, 2835); Put32(&b, 0); Put32(&b, 0);
    uint32_t seed = 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245 + 12345;
            int noise = (seed >> 16) % 3;
            bool check = ((x / 64) + (y / 64)) % 2;
            b.push_back((uint8_t)(x * 255 / w));
            b.push_back((uint8_t)(y * 255 / h + noise));
            b.push_back((uint8_t)(check ? 200 : (x + y) / 8));
        }
    return b;
}

// Ten seconds of 16-bit stereo 22050 Hz: two sines and a little noise.
Bytes WavAudio() {
    const int rate = 22050, frames = rate * 10;
    Bytes b;
    for (char c : std::string("RIFF")) b.push_back(c);
    Put32(&b, 36 + frames * 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(c);
    Put32(&b, 16); Put16(&b, 1); Put16(&b, 2); Put32(&b, rate); Put32(&b, rate * 4); Put16(&b, 4); Put16(&b, 16);
    for (char c : std::string("data")) b.push_back(c);
    Put32(&b, frames * 4);
    uint32_t seed = 7;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1103515245 + 12345;
        double t = (double)i / rate;
        double v = 0.5 * std::sin(2 * M_PI * 440 * t) + 0.25 * std::sin(2 * M_PI * 659.25 * t);
        int noise = (int)((seed >> 16) % 64) - 32;
        int16_t left = (int16_t)(v * 20000 + noise), right = (int16_t)(v * 18000 - noise);
        Put16(&b, (uint16_t)left); Put16(&b, (uint16_t)right);
    }
    return b;
}

// A format-0 MIDI file: a repeating melody with varying velocities over 8000 notes.
Bytes MidiFile() {
    Bytes track;
    const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    uint32_t seed = 3;
    for (int i = 0; i < 8000; ++i) {
        seed = seed * 1103515245 + 12345;
        int note = scale[(i * 3 + (i / 16)) % 8] + ((i / 64) % 2) * 12;
        int velocity = 64 + (seed >> 16) % 40;
        track.push_back(0x00); track.push_back(0x90); track.push_back(note); track.push_back(velocity);
        track.push_back(0x60); track.push_back(0x80); track.push_back(note); track.push_back(0x40);
    }
    track.push_back(0x00); track.push_back(0xFF); track.push_back(0x2F); track.push_back(0x00);
    Bytes b;
    for (char c : std::string("MThd")) b.push_back(c);
    Put32BE(&b, 6); b.push_back(0); b.push_back(0); b.push_back(0); b.push_back(1); b.push_back(0); b.push_back(96);
    for (char c : std::string("MTrk")) b.push_back(c);
    Put32BE(&b, (uint32_t)track.size());
    b.insert(b.end(), track.begin(), track.end());
    return b;
}

// Repeats `run` until it has taken at least 0.3 s, 2 runs at least; returns the best seconds.
template <typename F>
double Best(F run) {
    double best = 1e30, start = Now();
    for (int i = 0; i < 2 || Now() - start < 0.3; ++i) {
        double t0 = Now();
        run();
        best = std::min(best, Now() - t0);
    }
    return best;
}

std::string TempPath(const char* name) { return std::string("/tmp/bench_codec_") + std::to_string(getpid()) + name; }

double DecodeSeconds(const Bytes& packed, const Bytes& original) {
    std::string packedPath = TempPath(".lq"), outPath = TempPath(".out");
    FILE* f = std::fopen(packedPath.c_str(), "wb");
    std::fwrite(packed.data(), 1, packed.size(), f);
    std::fclose(f);
    double seconds = Best([&] {
        ReadPtr(nullptr, 0, 0);
        WritePtr(nullptr, 0, 0, 0);
        ResetRingTail();
        FILE* in = std::fopen(packedPath.c_str(), "rb");
        FILE* out = std::fopen(outPath.c_str(), "wb");
        UnpackStream(in, out, (int32_t)original.size(), (uint32_t)packed.size(), 514);
        std::fclose(out);
        std::fclose(in);
    });
    Bytes back;
    AppendFile(outPath, &back, (size_t)-1);
    if (back != original) std::printf("  DECODE MISMATCH\n");
    std::remove(packedPath.c_str());
    std::remove(outPath.c_str());
    return seconds;
}

double FwriteSeconds(const Bytes& data) {
    std::string outPath = TempPath(".raw");
    double seconds = Best([&] {
        FILE* out = std::fopen(outPath.c_str(), "wb");
        for (size_t at = 0; at < data.size(); at += StreamChunk)
            std::fwrite(data.data() + at, 1, std::min<size_t>(StreamChunk, data.size() - at), out);
        std::fclose(out);
    });
    std::remove(outPath.c_str());
    return seconds;
}

void Report(const char* name, const Bytes& data) {
    double mb = data.size() / 1e6;
    Bytes fast, best;
    double fastSeconds = Best([&] { fast = EncodeStream(data.data(), data.size(), EncodeLevel::Fast); });
    double bestSeconds = Best([&] { best = EncodeStream(data.data(), data.size(), EncodeLevel::Best); });
    double decodeSeconds = DecodeSeconds(best, data);
    double fwriteSeconds = FwriteSeconds(data);
    std::printf("%-6s %9zu  fast %9zu (%5.1f%%) %6.1f MB/s  best %9zu (%5.1f%%) %6.1f MB/s  best-vs-greedy %+5.2f%%"
                "  decode %6.1f MB/s = %4.2f of fwrite (%6.0f MB/s)\n",
                name, data.size(), fast.size(), 100.0 * fast.size() / data.size(), mb / fastSeconds,
                best.size(), 100.0 * best.size() / data.size(), mb / bestSeconds,
                100.0 * ((double)best.size() - (double)fast.size()) / (double)fast.size(),
                mb / decodeSeconds, fwriteSeconds / decodeSeconds, mb / fwriteSeconds);
    std::fflush(stdout);
}

}  // namespace

int main() {
    Report("pe", PeCorpus());
    Report("bmp", BmpImage());
    Report("wav", WavAudio());
    Report("midi", MidiFile());
    Report("text", TextCorpus());
    return 0;
}
