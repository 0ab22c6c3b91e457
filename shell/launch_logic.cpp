// The saver launch's choices.
#include "shell/launch_logic.h"

#include <cstring>

const char DirectXWin95Page[] = "http://www.microsoft.com/downloads/release.asp?ReleaseID=27741";
const char DirectXGeneralPage[] = "http://www.microsoft.com/windows/directx/";

DirectXOffer ChooseDirectXOffer(uint32_t platformId, uint32_t major, uint32_t minor) {
    if (platformId == PlatformWindowsNT && major <= 4) return {false, nullptr};
    if (platformId == PlatformWindows9x && major == 4 && minor == 0) return {true, DirectXWin95Page};
    return {true, DirectXGeneralPage};
}

bool CutAfterFirstBackslash(char* directory) {
    char* backslash = std::strchr(directory, '\\');
    if (backslash == nullptr) return false;
    backslash[1] = 0;
    return true;
}
