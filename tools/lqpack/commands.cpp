// The table of lqpack's subcommands: names, summaries, options and handlers; the help comes from it.
#include "tools/lqpack/commands.h"

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
