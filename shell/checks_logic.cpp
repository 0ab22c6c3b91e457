// The pre-install checks' arithmetic and texts.
#include "shell/checks_logic.h"

#include <cstdio>
#include <cstring>

#include "shell/format_unsigned.h"

const char SaverNameTooLongText[] =
    "The name of this screen saver is too long to make a file name in your Windows directory.  "
    "The screen saver cannot be installed.";
const char SaverNameTooLongCaption[] = "Screen Saver Name Too Long";

namespace {
// snprintf into a fixed buffer; a text that would be cut counts as not composed and leaves "".
bool Fits(int length, char* out, size_t outSize) {
    if (length < 0 || (size_t)length >= outSize) {
        if (outSize > 0) out[0] = 0;
        return false;
    }
    return true;
}
}  // namespace

void CutToRootPath(const char* path, char root[RootPathSize]) {
    size_t length = 0;
    while (length < RootPathSize - 1 && path[length] != 0) {
        root[length] = path[length];
        ++length;
    }
    root[length] = 0;
    char* lastBackslash = std::strrchr(root, '\\');
    if (lastBackslash != nullptr) lastBackslash[1] = 0;
}

bool JoinDirectoryAndName(const char* directory, const char* name, char* out, size_t outSize) {
    size_t length = std::strlen(directory);
    const char* separator = (length > 0 && directory[length - 1] == '\\') ? "" : "\\";
    return Fits(std::snprintf(out, outSize, "%s%s%s", directory, separator, name), out, outSize);
}

bool ComposeSaverLookupName(const char* title, char* name, size_t nameSize) {
    return Fits(std::snprintf(name, nameSize, "%s.SCR", title), name, nameSize);
}

bool ComposeReplaceQuestion(const char* fileName, char text[CheckTextSize]) {
    int length = std::snprintf(text, CheckTextSize,
                               "There is already a screen saver by the same name (%s) installed on your "
                               "system.  Would you like to replace it?",
                               fileName);
    return Fits(length, text, CheckTextSize);
}

bool ComposeDiskFullWarning(uint32_t neededKB, uint32_t freeKB, char text[CheckTextSize]) {
    char needed[32], available[32];
    FormatThousandsUnsigned(neededKB, needed);
    FormatThousandsUnsigned(freeKB, available);
    int length = std::snprintf(text, CheckTextSize,
                               "You will need %s kilobytes free in your Windows directory to install this "
                               "screen saver.  It appears that you only have %s kilobytes free on this "
                               "drive.  Would you like to continue the installation?",
                               needed, available);
    return Fits(length, text, CheckTextSize);
}
