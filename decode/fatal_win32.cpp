// FatalStop for the installer: a write of decoded data fell short (a full disk, a write error).
#include "shell/installer.h"

#include <cstdio>
#include <cstdlib>

#include "decode/stream.h"

void FatalStop() {
    // Shown in silent mode too: a file the installation needs is incomplete.
    char text[512];
    std::snprintf(text, sizeof text,
                  "The installation could not write the file\r\n\r\n%s\r\n\r\nThe disk may be full or the file in use. "
                  "The installation has stopped.",
                  FatalStopTarget);
    LogInterruptedTarget();
    MessageBoxA(NULL, text, "Installation Failed", MB_OK | MB_ICONHAND);
    std::exit(1);
}
