// Option reading and the shared bits of lqpack's commands.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "tools/lqpack/commands.h"
#include "tools/lqpack/files.h"

bool OptionReader::Next() {
    if (next_ >= args_.size()) return false;
    current_ = args_[next_++];
    hasInline_ = false;
    size_t eq = current_.find('=');
    if (current_.rfind("--", 0) == 0 && eq != std::string::npos) {
        inlineValue_ = current_.substr(eq + 1);
        current_ = current_.substr(0, eq);
        hasInline_ = true;
    }
    return true;
}

std::string OptionReader::Value() {
    if (hasInline_) return inlineValue_;
    if (next_ >= args_.size())
        throw ToolError(ExitUsage, std::string(command_) + ": " + current_ + " needs a value");
    return args_[next_++];
}

unsigned long OptionReader::Number(unsigned long max) {
    std::string name = current_;
    std::string text = Value();
    char* end = nullptr;
    errno = 0;
    unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || errno == ERANGE || value > max || text[0] == '-')
        throw ToolError(ExitUsage, std::string(command_) + ": " + name + " takes a number from 0 to " +
                                       std::to_string(max) + ", not \"" + text + "\"");
    return value;
}

void OptionReader::Unknown() const {
    // The command's own usage text lists its options: the closest one is the suggestion.
    std::vector<std::string> known;
    for (const Command& command : Commands()) {
        if (std::string(command.name) != command_) continue;
        std::string usage = command.usage;
        for (size_t at = usage.find('-'); at != std::string::npos; at = usage.find('-', at + 1)) {
            if (at > 0 && usage[at - 1] != ' ' && usage[at - 1] != ',') continue;
            size_t end = usage.find_first_of(" ,\n", at);
            known.push_back(usage.substr(at, end - at));
            at = end == std::string::npos ? usage.size() - 1 : end;
        }
    }
    std::string guess = ClosestName(current_, known);
    throw ToolError(ExitUsage, std::string(command_) + ": unknown option " + current_ +
                                   (guess.empty() ? "" : " (did you mean " + guess + "?)") + " (see lqpack " + command_ +
                                   " --help)");
}

// Edit distance, for "did you mean".
static size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string ClosestName(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& name : names) {
        size_t d = Distance(word, name);
        if (d < bestDistance) { bestDistance = d; best = name; }
    }
    return best;
}

// A Windows program of this build: the environment variable's path if set, else the build's layout
// (build/native/lqpack beside build/win32/NAME), else NAME beside lqpack; "" when there is none.
static std::string FindBuildProgram(const char* variable, const std::string& name) {
    if (const char* env = std::getenv(variable); env && *env) return env;
    std::string dir = OwnFolder();
    if (dir.empty()) return "";
    for (const std::string& path : {dir + "/../win32/" + name, dir + "/" + name})
        if (IsReadableFile(path)) return path;
    return "";
}

std::string DefaultStubPath() {
    std::string path = FindBuildProgram("LQ_STUB", "lqstub.exe");
    return path.empty() ? "lqstub.exe" : path;
}

std::string DefaultUninstallerPath() { return FindBuildProgram("LQ_UNINSTALLER", "UNINSTAL.EXE"); }

bool QuietOutput() { return !OutputIsTerminal(); }
