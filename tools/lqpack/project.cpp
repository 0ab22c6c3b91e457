// lqpack's project file.
#include "tools/lqpack/project.h"

#include <cctype>
#include <cstdlib>

#include "tools/lqpack/files.h"

namespace {
std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// A value may be quoted to keep leading or trailing blanks: "Aurora  ".
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

bool ParseYesNo(const std::string& value, bool* out) {
    if (value == "yes" || value == "true" || value == "1") return *out = true, true;
    if (value == "no" || value == "false" || value == "0") return *out = false, true;
    return false;
}
}  // namespace

bool ParseKind(const std::string& text, uint8_t* kind) {
    if (text == "0") *kind = 0;
    else if (text == "blank" || text == " ") *kind = ' ';
    else if (text.size() == 1) *kind = (uint8_t)text[0];
    else if (text.size() == 4 && text.rfind("0x", 0) == 0 && std::isxdigit((unsigned char)text[2]) &&
             std::isxdigit((unsigned char)text[3]))
        *kind = (uint8_t)std::strtoul(text.c_str() + 2, nullptr, 16);
    else return false;
    return true;
}

void ParseProject(const std::string& text, const std::string& path, BuildRequest* request, ProjectFiles* files) {
    size_t slash = path.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    auto relative = [&](const std::string& p) {
        bool absolute = !p.empty() && (p[0] == '/' || p[0] == '\\' || (p.size() > 1 && p[1] == ':'));
        return p.empty() || absolute ? p : folder + p;
    };
    size_t lineNumber = 0, start = 0;
    bool inMedia = false;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        auto fail = [&](const std::string& what) {
            throw ToolError(ExitInputError, path + ":" + std::to_string(lineNumber) + ": " + what);
        };
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line == "[media]") {
            files->media.emplace_back();
            inMedia = true;
            continue;
        }
        if (line[0] == '[') fail("unknown section " + line + " (only [media])");
        size_t eq = line.find('=');
        if (eq == std::string::npos) fail("expected key = value");
        std::string key = Trim(line.substr(0, eq)), value = Unquote(Trim(line.substr(eq + 1)));
        bool flag = false;
        if (inMedia) {
            PackageInput& media = files->media.back();
            if (key == "file") {
                media.path = relative(value);
                if (media.nameSuffix.empty()) media.nameSuffix = Extension(value);
            } else if (key == "kind") {
                if (!ParseKind(value, &media.kind)) fail("kind is _, 0, blank, one character or 0xNN");
            } else if (key == "suffix") {
                media.nameSuffix = value;
            } else if (key == "stored") {
                if (!ParseYesNo(value, &flag)) fail("stored is yes or no");
                media.pack = !flag;
            } else {
                fail("unknown media key \"" + key + "\"");
            }
            continue;
        }
        if (key == "title") request->title = value;
        else if (key == "saver") files->saver = relative(value);
        else if (key == "data") files->data = relative(value);
        else if (key == "uninstaller") files->uninstaller = relative(value);
        else if (key == "license") request->licensePath = relative(value);
        else if (key == "directx") {
            if (!ParseYesNo(value, &request->needsDirectX)) fail("directx is yes or no");
        } else if (key == "first-number") {
            char* stop = nullptr;
            unsigned long n = std::strtoul(value.c_str(), &stop, 10);
            if (value.empty() || *stop || n > 65535 || value[0] == '-') fail("first-number takes 0 to 65535");
            request->firstNumber = (uint16_t)n;
        } else if (key == "stored") {
            if (!ParseYesNo(value, &files->allStored)) fail("stored is yes or no");
        } else {
            fail("unknown key \"" + key + "\"");
        }
    }
    for (size_t i = 0; i < files->media.size(); ++i)
        if (files->media[i].path.empty())
            throw ToolError(ExitInputError, path + ": [media] number " + std::to_string(i + 1) + " has no file");
}
