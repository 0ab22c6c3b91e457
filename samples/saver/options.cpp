// The sample saver's command line and settings file.
#include "samples/saver/options.h"

#include <cstdio>
#include <cstring>

namespace {
const uint32_t DefaultColours[] = {0x40FF90, 0x30C0FF, 0xA060FF, 0xFF60A0};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether text[0..n) equals the lower-case word, without regard to ASCII case.
bool IsWord(const char* text, size_t n, const char* word) {
    if (std::strlen(word) != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lower(text[i]) != word[i]) return false;
    return true;
}

// A decimal number filling text[0..n); false for anything else or past 1000000.
bool ReadDecimal(const char* text, size_t n, long* value) {
    if (n == 0) return false;
    bool negative = text[0] == '-';
    size_t i = negative ? 1 : 0;
    if (i == n) return false;
    long v = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 1000000) return false;
    }
    *value = negative ? -v : v;
    return true;
}

// Six hexadecimal digits, with or without a leading '#'.
bool ReadColour(const char* text, size_t n, uint32_t* colour) {
    if (n > 0 && text[0] == '#') ++text, --n;
    if (n != 6) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        char c = Lower(text[i]);
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(digit);
    }
    *colour = v;
    return true;
}

int Clamp(long v, int low, int high) {
    return v < low ? low : v > high ? high : static_cast<int>(v);
}

// Applies one "key=value" (both already trimmed); true when it changed a setting.
bool ApplySetting(const char* key, size_t keyLength, const char* value, size_t valueLength, SaverSettings* s) {
    long number;
    if (IsWord(key, keyLength, "speed") && ReadDecimal(value, valueLength, &number)) {
        s->Speed = Clamp(number, 1, 10);
        return true;
    }
    if (IsWord(key, keyLength, "bands") && ReadDecimal(value, valueLength, &number)) {
        s->Bands = Clamp(number, 1, MaxBands);
        return true;
    }
    if (IsWord(key, keyLength, "stars") && ReadDecimal(value, valueLength, &number)) {
        s->Stars = Clamp(number, 0, 400);
        return true;
    }
    if (IsWord(key, keyLength, "colours") || IsWord(key, keyLength, "colors")) {
        // All or nothing: a list with one bad entry keeps the colours as they were.
        uint32_t colours[MaxBands];
        int count = 0;
        size_t i = 0;
        while (i <= valueLength) {
            size_t end = i;
            while (end < valueLength && value[end] != ',') ++end;
            size_t a = i, b = end;
            while (a < b && IsBlank(value[a])) ++a;
            while (b > a && IsBlank(value[b - 1])) --b;
            if (count == MaxBands || !ReadColour(value + a, b - a, &colours[count])) return false;
            ++count;
            i = end + 1;
        }
        std::memcpy(s->Colours, colours, sizeof colours);
        s->ColourCount = count;
        return true;
    }
    return false;
}
}  // namespace

SaverCommand ParseSaverCommand(const char* arguments) {
    SaverCommand command = {SaverMode::Screen, 0};
    const char* p = arguments;
    while (IsBlank(*p)) ++p;
    if (*p != '/' && *p != '-') return command;
    char letter = Lower(p[1]);
    if (letter == 'c') command.Mode = SaverMode::Settings;
    else if (letter == 'p' || letter == 'l') command.Mode = SaverMode::Preview;
    else if (letter == 'a') command.Mode = SaverMode::Password;
    else return command;
    p += 2;
    while (IsBlank(*p) || *p == ':') ++p;
    uintptr_t window = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        uintptr_t next = window * 10 + static_cast<uintptr_t>(*p - '0');
        if (next / 10 != window) return SaverCommand{command.Mode, 0};  // overflow: no usable handle
        window = next;
    }
    command.Window = window;
    return command;
}

void DefaultSaverSettings(SaverSettings* settings) {
    settings->Speed = 4;
    settings->Bands = 4;
    settings->ColourCount = 4;
    for (int i = 0; i < MaxBands; ++i) settings->Colours[i] = DefaultColours[i % 4];
    settings->Stars = 120;
}

int ReadSaverSettings(const char* text, size_t length, SaverSettings* settings) {
    int applied = 0;
    size_t start = 0;
    while (start < length) {
        size_t end = start;
        while (end < length && text[end] != '\n' && text[end] != '\r') ++end;
        size_t a = start;
        while (a < end && IsBlank(text[a])) ++a;
        const char* equals = static_cast<const char*>(std::memchr(text + a, '=', end - a));
        if (a < end && text[a] != ';' && text[a] != '#' && equals != nullptr) {
            size_t keyEnd = static_cast<size_t>(equals - text);
            size_t v = keyEnd + 1;  // just past the '='
            while (keyEnd > a && IsBlank(text[keyEnd - 1])) --keyEnd;
            size_t vEnd = end;
            while (v < vEnd && IsBlank(text[v])) ++v;
            while (vEnd > v && IsBlank(text[vEnd - 1])) --vEnd;
            if (ApplySetting(text + a, keyEnd - a, text + v, vEnd - v, settings)) ++applied;
        }
        start = end + 1;
    }
    return applied;
}

bool DescribeSaverSettings(char* out, size_t size, const char* title, const char* path, bool found,
                           const SaverSettings& s) {
    // Seven bytes per colour: a comma (none before the first) and six digits.
    char list[MaxBands * 7 + 1] = "";
    size_t used = 0;
    for (int i = 0; i < s.ColourCount && i < MaxBands; ++i)
        used += static_cast<size_t>(std::snprintf(list + used, sizeof list - used, "%s%06X", i ? "," : "",
                                                  static_cast<unsigned>(s.Colours[i] & 0xFFFFFF)));
    int n = std::snprintf(out, size,
                          "%s draws slowly drifting curtains of light over a starry sky.\r\n\r\n"
                          "Its settings are read from the file\r\n%s\r\n%s\r\n\r\n"
                          "speed=%d  (1 to 10)\r\nbands=%d  (1 to %d)\r\ncolours=%s\r\nstars=%d  (0 to 400)\r\n\r\n"
                          "Edit that file with a text editor to change them.",
                          title, path, found ? "(found)" : "(not found: the defaults are used)", s.Speed,
                          s.Bands, MaxBands, list, s.Stars);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    return true;
}
