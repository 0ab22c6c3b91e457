// The installation's folder and file paths, composed whole or not at all.
#pragma once

#include <cstddef>

// The saver's path: the Windows directory, a backslash unless it ends in one, the saver's file name.
bool ComposeSaverPath(char* out, size_t size, const char* windowsDirectory, const char* saverFileName);

// DataFolder from its base: the common application data folder as the system gave it, or, when
// fallback is set, the Windows directory (a backslash unless it ends in one) + "All Users\Application
// Data"; then "\Tavimore LLC\Lumenquill\<baseName>\". The company level's backslash is appended without
// looking at the text before it. *createFrom is the index of the backslash that ends the base: the
// folders to create are the prefixes ending before each later backslash. False when it does not fit.
bool ComposeDataFolder(char* out, size_t size, const char* base, bool fallback, const char* baseName,
                       size_t* createFrom);

// "InstallLocation": the path ended before its last backslash, unless that backslash is also its first.
void InstallLocationOf(const char* path, char* out, size_t size);
