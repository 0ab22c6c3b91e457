// The saver launch's choices, free of any window system: the DirectX 7 offer by system version and the
// root directory made current before the DirectDraw test.
#pragma once

#include <cstdint>

// Platform ids of the version record (VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT).
constexpr uint32_t PlatformWindows9x = 1;
constexpr uint32_t PlatformWindowsNT = 2;

// The platform vendor's DirectX download pages.
extern const char DirectXWin95Page[];    // the DirectX release for Windows 95
extern const char DirectXGeneralPage[];  // the general DirectX page

// What to offer when DirectX 7 is missing.
struct DirectXOffer {
    bool Ask;          // show the download question
    const char* Page;  // the page to open after Yes; null when there is no question
};

// NT 4.0 and older: no question (DirectX 7 never came to them). Windows 95 (platform 1, 4.0): the
// Windows 95 release. Everything else, also an unknown platform or a zeroed record: the general page.
DirectXOffer ChooseDirectXOffer(uint32_t platformId, uint32_t major, uint32_t minor);

// Cuts directory right after its first backslash (C:\WINDOWS -> C:\). Returns false, leaving the text
// as it was, when it holds no backslash.
bool CutAfterFirstBackslash(char* directory);
