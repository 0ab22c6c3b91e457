// Names and paths of the installed files, composed into fixed buffers without ever overrunning them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t PathSize = 260;  // every path buffer; at most 259 characters before the NUL

// Appends text to the zero-terminated buffer dest of capacity size. Returns false, leaving dest
// unchanged, when the result would not fit.
bool AppendText(char* dest, size_t size, const char* text);
// Copies text into dest; false (dest empty) when it does not fit.
bool CopyText(char* dest, size_t size, const char* text);

// The file name of media row `index` (3 and on): prefix by kind ('_' "JUK_", 0 "JUKE", else "FILE"),
// FirstNumber + index - 3 with at least four digits, then NameSuffix up to its first NUL (at most 15
// bytes). Trailing blanks are not removed here (see MediaTargetPath). False when it does not fit.
bool MediaFileName(char* out, size_t size, uint16_t firstNumber, int32_t index, const char* nameSuffix,
                   uint8_t kind);

// The title cut at its last dot (SaverFileName always carries the dot of ".scr").
void CutAtLastDot(char* name);

// Removes trailing blanks (code 32 only) in place.
void TrimTrailingBlanks(char* text);

// TargetPath for a row: 0 saverPath; 1 dataFolder + baseName + ".dat"; 2 dataFolder + "UNINSTAL.EXE";
// 3 and on dataFolder + media file name, trailing blanks removed. False (out empty) when it does not fit.
bool TargetPathFor(char* out, size_t size, int32_t index, const char* saverPath, const char* dataFolder,
                   const char* baseName, uint16_t firstNumber, const char* nameSuffix, uint8_t kind);

// A character that no Windows file name may hold: \ / : * ? " < > | and control characters.
bool IsForbiddenNameChar(unsigned char c);
// The first forbidden character of a name of at most length bytes (stopping at a NUL), or -1.
int FindForbiddenNameChar(const char* name, size_t length);
// A title or name suffix that can only name a file in its own folder: no forbidden character, and
// not "." or ".." (which as a folder name would lead out of the saver's folder).
bool IsSafeNamePart(const char* name, size_t length);
