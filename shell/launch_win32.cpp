// The end of an interactive installation: the saver's full path, the DirectX 7 check and offer, and the
// launch of the installed saver.
#include <direct.h>

#include <cstring>

#include "shell/checks_logic.h"
#include "shell/installer.h"
#include "shell/launch_logic.h"

namespace {
// IID_IDirectDraw7, as published for DirectDraw 7; defined here so that no DirectX header is needed.
const GUID DirectDraw7Interface = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// DDRAW.DLL's DirectDrawCreateEx(driver, object, interface, outer).
typedef HRESULT(WINAPI* DirectDrawCreateExProc)(GUID*, void**, const GUID*, void*);
// IUnknown::Release, slot 2 of every COM object's table.
typedef ULONG(WINAPI* ReleaseProc)(void*);

const char DirectXQuestion[] =
    "You do not have DirectX 7 or higher installed. To get the best performance out of this software, "
    "you will need to install this Windows component. Would you like to do download it now?";

// True when a DirectDraw 7 object can be created on the primary display driver; it is released at once.
bool HasDirectDraw7() {
    HMODULE ddraw = LoadLibraryA("DDRAW.DLL");
    if (ddraw == NULL) return false;
    bool present = false;
    DirectDrawCreateExProc create = reinterpret_cast<DirectDrawCreateExProc>(
        reinterpret_cast<void*>(GetProcAddress(ddraw, "DirectDrawCreateEx")));
    if (create != NULL) {
        void* object = NULL;
        if (create(NULL, &object, &DirectDraw7Interface, NULL) >= 0) {
            present = true;
            if (object != NULL) {
                void** table = *static_cast<void***>(object);
                reinterpret_cast<ReleaseProc>(table[2])(object);
            }
        }
    }
    FreeLibrary(ddraw);
    return present;
}

// DirectX 7 is missing: ask (unless the system is NT 4.0 or older) and open the download page.
void OfferDirectX(HWND splash, const char* installCaption) {
    OSVERSIONINFOA version;
    static_assert(sizeof version == 148, "OSVERSIONINFOA is 148 bytes");
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);  // a failed query leaves the record zero, which asks with the general page

    DirectXOffer offer = ChooseDirectXOffer(version.dwPlatformId, version.dwMajorVersion,
                                            version.dwMinorVersion);
    if (!offer.Ask) return;
    if (MessageBoxA(splash, DirectXQuestion, installCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;

    SHELLEXECUTEINFOA request;
    static_assert(sizeof request == 60, "SHELLEXECUTEINFOA is 60 bytes");
    std::memset(&request, 0, sizeof request);
    request.cbSize = sizeof request;
    request.lpVerb = "open";
    request.lpFile = offer.Page;
    request.nShow = SW_SHOWMAXIMIZED;
    if (!ShellExecuteExA(&request))
        MessageBoxA(splash, "Could not connect to this site.", offer.Page, MB_OK | MB_ICONHAND);
}
}  // namespace

void LaunchInstalledSaver(HWND splash, const char* installCaption) {
    char windowsDir[260];
    UINT length = GetWindowsDirectoryA(windowsDir, sizeof windowsDir);
    if (length > 0 && length < sizeof windowsDir) {
        // A path that would not fit leaves the bare file name, as a missing Windows directory does.
        char fullPath[260];
        if (JoinDirectoryAndName(windowsDir, SaverFileName, fullPath, sizeof fullPath))
            std::memcpy(SaverFileName, fullPath, sizeof SaverFileName);
    }

    if (NeedsDirectX != 0) {
        // The drive's root becomes the current directory for the DirectDraw test and stays so.
        char root[261];
        length = GetWindowsDirectoryA(root, sizeof root);
        if (length > 0 && length < sizeof root && CutAfterFirstBackslash(root)) _chdir(root);
        if (!HasDirectDraw7()) OfferDirectX(splash, installCaption);
    }

    char shortPath[260];
    DWORD shortLength = GetShortPathNameA(SaverFileName, shortPath, sizeof shortPath);
    if (shortLength > 0 && shortLength < sizeof shortPath) WinExec(shortPath, SW_SHOW);
}
