// lqpack: builds screen-saver installers from the installer stub, and lists, extracts and verifies them.
#include <cstdio>
#include <cstring>

#include "tools/lqpack/commands.h"
#include "tools/lqpack/files.h"

const std::vector<Command>& Commands() {
    static const std::vector<Command> table = {
        {"build", "build an installer from a saver and its files",
         "  -o, --output FILE      the installer to write (replaced whole, never left half-written)\n"
         "  --project FILE         read the package from a project file (see examples/aurora.lqp);\n"
         "                         options after it override it\n"
         "  --title TEXT           the saver's title (up to 259 bytes; may end in blanks)\n"
         "  --saver FILE           row 0: the saver (.scr), installed into the Windows directory\n"
         "  --data FILE            row 1: its data file, installed as <title>.dat\n"
         "  --uninstaller FILE     row 2: the uninstaller, installed as UNINSTAL.EXE\n"
         "                         (default with --media: the sample UNINSTAL.EXE of this build)\n"
         "  --media SPEC           rows 3 on, repeatable: PATH[,kind=_|0|blank|C|0xNN][,suffix=.EXT][,stored]\n"
         "                         (suffix defaults to the file's extension; kind to blank: FILE0001.EXT)\n"
         "  --license FILE         license text shown before installing (up to 65535 bytes)\n"
         "  --directx              check for DirectX 7 before starting the saver\n"
         "  --first-number N       number of the first media file (default 1)\n"
         "  --stored               store every file uncompressed\n"
         "  --fast                 quicker, slightly larger packing\n"
         "  --stub FILE            the installer stub (default: LQ_STUB, or lqstub.exe of this build)\n"
         "  -q, --quiet            no summary line\n",
         RunBuild},
        {"list", "show an installer's header and file table",
         "  FILE                   the installer\n"
         "  --json                 machine-readable output\n",
         RunList},
        {"extract", "write every file of an installer into a folder, by the names it installs them under",
         "  INSTALLER FOLDER       the installer and an existing folder\n",
         RunExtract},
        {"verify", "decode every file of an installer and show its size and SHA-256",
         "  INSTALLER [FILES...]   with the source files in row order, compare each one too\n",
         RunVerify},
        {"encode", "pack one file into a raw stream of the installer's format",
         "  IN OUT                 the file and the stream to write\n"
         "  --fast                 quicker, slightly larger\n",
         RunEncode},
        {"decode", "unpack a raw stream as the installer does (as the first file it decodes)",
         "  --size S               the unpacked size\n"
         "  IN OUT                 the stream and the file to write\n",
         RunDecode},
        {"prepare-stub", "make a freshly linked installer pack-ready (a build step)",
         "  LINKED.exe STUB.exe    read the linked program, write the stub\n",
         RunPrepareStub},
    };
    return table;
}

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
