// lqpack's subcommands: one table gives their names, summaries, usage and handlers, and the help.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;
    const char* usage;  // options, one per line, shown by `lqpack NAME --help`
    int (*run)(const Args& args);
};

const std::vector<Command>& Commands();

int RunBuild(const Args& args);
int RunList(const Args& args);
int RunPrepareStub(const Args& args);
int RunEncode(const Args& args);
int RunDecode(const Args& args);
int RunExtract(const Args& args);
int RunVerify(const Args& args);

// Reads the options of one command: flags, valued options and positional arguments, with clear errors.
class OptionReader {
public:
    OptionReader(const char* command, const Args& args) : command_(command), args_(args) {}
    // Steps to the next argument; false at the end.
    bool Next();
    bool Is(const char* name) const { return current_ == name; }
    bool IsOption() const { return current_.size() > 1 && current_[0] == '-'; }
    const std::string& Current() const { return current_; }
    std::string Value();  // the value of the current option: "--name VALUE" or "--name=VALUE"
    unsigned long Number(unsigned long max);
    [[noreturn]] void Unknown() const;

private:
    const char* command_;
    const Args& args_;
    size_t next_ = 0;
    std::string current_;
    std::string inlineValue_;
    bool hasInline_ = false;
};

std::string ClosestName(const std::string& word, const std::vector<std::string>& names);
std::string DefaultStubPath();
// The sample uninstaller of this build (LQ_UNINSTALLER, or UNINSTAL.EXE found like the stub); "" if none.
std::string DefaultUninstallerPath();
bool QuietOutput();
