// lqpack: builds screen-saver installers from the installer stub, and lists, extracts and verifies them.
#include <cstdio>
#include <cstring>

#include "tools/lqpack/commands.h"
#include "tools/lqpack/files.h"

static void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: lqpack COMMAND [OPTIONS]\n\ncommands:\n");
    for (const Command& c : Commands()) std::fprintf(out, "  %-14s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'lqpack COMMAND --help' shows a command's options.\n"
                      "exit status: 0 success, 1 bad input or unwritable output, 2 usage error, 3 verification failed\n");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return ExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return ExitOk;
    }
    Args args(argv + 2, argv + argc);
    for (const Command& command : Commands()) {
        if (name != command.name) continue;
        for (const std::string& arg : args) {
            if (arg == "--help" || arg == "-h") {
                std::printf("usage: lqpack %s [OPTIONS]\n%s\n\n%s", command.name, command.summary, command.usage);
                return ExitOk;
            }
        }
        try {
            return command.run(args);
        } catch (const ToolError& error) {
            std::fprintf(stderr, "lqpack: %s\n", error.what());
            return error.code;
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "lqpack: out of memory\n");
            return ExitInputError;
        }
    }
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.push_back(c.name);
    std::string guess = ClosestName(name, names);
    std::fprintf(stderr, "lqpack: unknown command \"%s\"%s\n", name.c_str(),
                 guess.empty() ? "" : (" (did you mean \"" + guess + "\"?)").c_str());
    return ExitUsage;
}
