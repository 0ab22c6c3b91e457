// The pre-install checks' arithmetic and texts, free of any window system: root path of the free-space
// query, kilobyte counts, the room test and the two questions.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t RootPathSize = 32;    // the free-space query's root path buffer
constexpr size_t CheckTextSize = 512;  // the checks' message texts
constexpr uint32_t UnknownFreeSpace = 0xFFFFFFFF;  // GetFreeDiskSpaceKB: free space not found

// Copies path into root (RootPathSize bytes) and cuts the copy right after its last backslash, so that
// C:\WINDOWS becomes C:\. A path without backslash is kept whole. Only the first RootPathSize - 1
// characters are copied, so a path of 32 characters or more is cut at the last backslash among those
// 31 (C:\ for any ordinary Windows directory); root is always zero-terminated and never overrun.
void CutToRootPath(const char* path, char root[RootPathSize]);

// Whole kilobytes (units of 1024 bytes, rounded down), reduced to the low 32 bits.
inline uint32_t KilobytesOf(uint64_t bytes) { return (uint32_t)(bytes >> 10); }

// Free kilobytes from the older query's cluster counts, with 64-bit products throughout.
inline uint32_t KilobytesOfClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                                    uint32_t freeClusters) {
    uint64_t clusterBytes = (uint64_t)sectorsPerCluster * bytesPerSector;
    return KilobytesOf(clusterBytes * freeClusters);
}

// The disk-space check's test, unsigned: enough room only when free is strictly greater than needed,
// so equal values warn. UnknownFreeSpace always passes.
inline bool HasRoomFor(uint32_t freeKB, uint32_t neededKB) {
    return freeKB == UnknownFreeSpace || freeKB > neededKB;
}

// Joins a directory and a file name into out (outSize bytes) with one backslash between them, none
// added when the directory already ends in one. Returns false, with out set to "", when the whole path
// would not fit; out is never overrun.
bool JoinDirectoryAndName(const char* directory, const char* name, char* out, size_t outSize);

// The saver's file name as the existing-saver check looks it up: the title as read (blanks kept)
// followed by ".SCR". False, with name set to "", when it does not fit nameSize bytes.
bool ComposeSaverLookupName(const char* title, char* name, size_t nameSize);

// The replace question for an installed saver of the same file name. False when it would not fit
// CheckTextSize bytes (text is then ""); a name that fits 260 bytes always fits.
bool ComposeReplaceQuestion(const char* fileName, char text[CheckTextSize]);

// The "Disk Full" warning: needed kilobytes first, free second, both with thousands commas.
// Always fits: the numbers are at most 13 characters each.
bool ComposeDiskFullWarning(uint32_t neededKB, uint32_t freeKB, char text[CheckTextSize]);

// Shown instead of the replace question when the title cannot make a path in the Windows directory;
// the installation then stops before anything is written.
extern const char SaverNameTooLongText[];
extern const char SaverNameTooLongCaption[];
