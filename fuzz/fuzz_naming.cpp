// The naming of targets and folders from arbitrary titles, suffixes, kinds, numbers and buffer sizes.
//
// Every text goes into a heap buffer of exactly its capacity, so AddressSanitizer sees any byte
// written or read past it; each result is also checked against the same composition done with
// std::string: a composition that fits is exact, one that does not leaves its buffer empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "install/media_types.h"
#include "install/naming.h"
#include "install/paths.h"

namespace {
void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Hands out the input piece by piece; past its end everything is zero.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return (uint16_t)(Byte() | Byte() << 8); }
    // A text of up to max bytes, without NUL, ending where the input holds a NUL.
    std::string Text(size_t max) {
        std::string text;
        while (text.size() < max && at_ < size_) {
            char c = (char)data_[at_++];
            if (c == 0) break;
            text.push_back(c);
        }
        return text;
    }
    // `count` raw bytes, NULs included.
    std::vector<char> Raw(size_t count) {
        std::vector<char> raw(count);
        for (char& c : raw) c = (char)Byte();
        return raw;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A buffer of exactly `size` bytes on the heap, so that AddressSanitizer bounds it.
struct Buffer {
    explicit Buffer(size_t size, char fill) : bytes(new char[size ? size : 1]), size(size) {
        std::memset(bytes, fill, size ? size : 1);
    }
    ~Buffer() { delete[] bytes; }
    std::string Text() const {
        const void* nul = std::memchr(bytes, 0, size);
        Check(nul != nullptr, "no NUL inside the buffer");
        return std::string(bytes);
    }
    char* bytes;
    size_t size;
};

// Either the expected text exactly (when it fits and the call said so) or an empty buffer.
void CheckComposed(const Buffer& out, bool fits, const std::string& expected, const char* what) {
    if (out.size == 0) {
        Check(!fits, what);
        return;
    }
    std::string got = out.Text();
    if (fits) Check(got == expected && expected.size() < out.size, what);
    else Check(got.empty() && expected.size() >= out.size, what);
}

std::string ExpectedMediaName(uint16_t firstNumber, int32_t index, const std::vector<char>& suffix, uint8_t kind) {
    std::string name = kind == '_' ? "JUK_" : kind == 0 ? "JUKE" : "FILE";
    char number[24];
    std::snprintf(number, sizeof number, "%04ld", (long)firstNumber + (long)index - 3);
    name += number;
    for (size_t i = 0; i < suffix.size() && suffix[i]; ++i) name.push_back(suffix[i]);
    return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const size_t outSize = in.Word() % 600;
    const int32_t index = (int32_t)(in.Word() | (uint32_t)in.Word() << 16);
    const uint16_t firstNumber = in.Word();
    const uint8_t kind = in.Byte();
    const bool fallback = in.Byte() & 1;
    std::vector<char> suffix = in.Raw(15);  // as stored: 15 bytes, no terminator
    const std::string title = in.Text(400);
    const std::string windows = in.Text(400);
    const std::string base = in.Text(400);
    const std::string mediaPath = in.Text(400);

    // The name checks read at most `length` bytes of a buffer that need not hold a NUL.
    {
        Buffer name(title.size(), 0);
        std::memcpy(name.bytes, title.data(), title.size());
        bool safe = IsSafeNamePart(name.bytes, name.size);
        bool forbidden = false;
        for (unsigned char c : title) forbidden = forbidden || c < 32 || std::strchr("\\/:*?\"<>|", c);
        Check(safe == (!forbidden && title != "." && title != ".."), "IsSafeNamePart on a title");
        Buffer stored(suffix.size(), 0);
        std::memcpy(stored.bytes, suffix.data(), suffix.size());
        IsSafeNamePart(stored.bytes, stored.size);
    }

    // The saver's file name, base name and path, as the install sequence forms them.
    std::string saverFile = title + ".scr";
    std::string baseName = title;
    Buffer saverPath(outSize, 'x');
    bool saverFits = ComposeSaverPath(saverPath.bytes, saverPath.size, windows.c_str(), saverFile.c_str());
    std::string expectedSaver = windows;
    if (expectedSaver.empty() || expectedSaver.back() != '\\') expectedSaver += '\\';
    CheckComposed(saverPath, saverFits, expectedSaver + saverFile, "ComposeSaverPath");

    // DataFolder and the first folder to create.
    Buffer dataFolder(outSize, 'x');
    size_t createFrom = 0;
    bool folderFits = ComposeDataFolder(dataFolder.bytes, dataFolder.size, base.c_str(), fallback, baseName.c_str(),
                                        &createFrom);
    std::string expectedFolder = base;
    if (fallback) {
        if (expectedFolder.empty() || expectedFolder.back() != '\\') expectedFolder += '\\';
        expectedFolder += "All Users\\Application Data";
    }
    expectedFolder += "\\Tavimore LLC\\Lumenquill\\" + baseName + "\\";
    CheckComposed(dataFolder, folderFits, expectedFolder, "ComposeDataFolder");
    if (folderFits) Check(createFrom < std::strlen(dataFolder.bytes), "createFrom outside DataFolder");

    // Every kind of row: the saver, the data file, the uninstaller, a media file of any number.
    const std::string folder = folderFits ? std::string(dataFolder.bytes) : base;
    const std::string saver = saverFits ? std::string(saverPath.bytes) : windows;
    for (int32_t row : {0, 1, 2, index < 3 ? 3 : index}) {
        Buffer target(outSize, 'x');
        bool fits = TargetPathFor(target.bytes, target.size, row, saver.c_str(), folder.c_str(), baseName.c_str(),
                                  firstNumber, suffix.data(), kind);
        std::string expected;
        if (row == 0) expected = saver;
        else if (row == 1) expected = folder + baseName + ".dat";
        else if (row == 2) expected = folder + "UNINSTAL.EXE";
        else {
            std::string name = ExpectedMediaName(firstNumber, row, suffix, kind);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            expected = folder + name;
        }
        // A media name that only fits once its trailing blanks are gone still counts as not fitting the
        // name buffer; the composition is then exact or empty all the same.
        if (fits) Check(target.Text() == expected, "TargetPathFor");
        else if (target.size) Check(target.Text().empty(), "TargetPathFor left text behind");
        if (row >= 3) {
            Buffer name(outSize, 'x');
            bool nameFits = MediaFileName(name.bytes, name.size, firstNumber, row, suffix.data(), kind);
            // Unlike the path compositions, a name that does not fit may leave a part of itself behind.
            std::string expectedName = ExpectedMediaName(firstNumber, row, suffix, kind);
            if (name.size == 0) Check(!nameFits, "MediaFileName into no buffer");
            else if (nameFits) Check(name.Text() == expectedName, "MediaFileName");
            else Check(expectedName.size() >= name.size && expectedName.rfind(name.Text(), 0) == 0, "MediaFileName");
        }
    }

    // InstallLocation from the uninstaller's path: that path cut before its last backslash, unless it is
    // also the first; empty when the path does not fit.
    for (const std::string& path : {folder + "UNINSTAL.EXE", base}) {
        Buffer location(outSize, 'x');
        InstallLocationOf(path.c_str(), location.bytes, location.size);
        if (location.size == 0) continue;
        std::string expected = path.size() < location.size ? path : "";
        size_t last = expected.rfind('\\');
        if (last != std::string::npos && last != expected.find('\\')) expected.resize(last);
        Check(location.Text() == expected, "InstallLocationOf");
    }

    // The list of missing media types, fed the same path twice and then the other texts.
    {
        size_t listSize = outSize ? outSize : 1;
        Buffer list(listSize, 0);
        for (const std::string& path : {mediaPath, mediaPath, title, windows, base}) {
            size_t before = std::strlen(list.bytes);
            RecordMissingMediaType(list.bytes, list.size, path.c_str());
            size_t after = list.Text().size();
            Check(after >= before && after < list.size, "RecordMissingMediaType");
        }
    }
    return 0;
}
