// The sample uninstaller's decisions, apart from the system: INSTALL.LOG's lines, the folders to try, the setting.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t UninstallPathSize = 260;   // every path; at most 259 characters before the NUL
constexpr size_t MaxLoggedFiles = 1024;     // distinct paths one log may list
constexpr size_t MaxRefusedLines = 16;      // refused lines kept for the report (all are counted)
constexpr size_t MaxLogBytes = 512 * 1024;  // a longer log is not an install log of ours

// What the log asks to remove. Files holds each listed path once (compared without regard to ASCII
// case, as Windows compares names), in the order of first appearance. A line that cannot be acted on
// safely is refused: longer than 259 characters, not a full path ("X:\..." or "\\server\share\..."),
// holding a wildcard, a control character, a "." or ".." part, or ending in a backslash, or one past
// MaxLoggedFiles. RefusedCount counts them all; Refused keeps the first MaxRefusedLines of them,
// each cut to fit its buffer, for the report. Empty lines and lines of blanks are skipped.
struct RemovalPlan {
    char Files[MaxLoggedFiles][UninstallPathSize];
    size_t FileCount;
    char Refused[MaxRefusedLines][UninstallPathSize];
    size_t RefusedCount;
};

// Fills *plan from the log's bytes. Lines end in LF, CR LF or the end of the text; a trailing CR is
// dropped. Text after a NUL byte is read like any other (the log is not a C string).
void ParseInstallLog(const char* text, size_t length, RemovalPlan* plan);

// Whether a log line names a file we may delete (see RemovalPlan for what is refused).
bool IsRemovablePath(const char* path);

// Two paths naming the same file as Windows compares them: ASCII letters without regard to case.
bool SamePath(const char* a, const char* b);

// A path whose file name ends in ".scr" (any case): a saver the log lists.
bool IsSaverPath(const char* path);

// The folders to try to remove once the files are gone, innermost first, given the uninstaller's own
// full path: its folder; then that folder's parent if it is named "Lumenquill"; then the parent's
// parent if that is named "Tavimore LLC". No other folder is ever named: a log copied elsewhere does
// not lead outside that folder. Returns how many were written to out (0 to 3).
size_t FoldersToTry(const char* ownPath, char out[][UninstallPathSize], size_t capacity);

// The last part of a folder path ("...\Lumenquill\Aurora" gives "Aurora"), a trailing backslash
// ignored; false (out empty) when it is empty, a drive ("C:") or does not fit.
bool LastPathPart(const char* path, char* out, size_t size);

// The uninstall key below HKEY_LOCAL_MACHINE for a title; false (out empty) when the title is empty,
// holds a backslash or the key does not fit.
bool UninstallKeyFor(const char* title, char* out, size_t size);

// Whether the "SCRNSAVE.EXE" setting of system.ini names the saver, given in its long form and, when
// known (else NULL or empty), its short form. Blanks and double quotes around the setting are ignored.
bool SettingPointsAt(const char* setting, const char* longPath, const char* shortPath);

// Whether the arguments ask for a silent run: a word "/s" or "-s", in any case.
bool IsSilentSwitch(const char* arguments);

// The arguments that hand the removal of the uninstaller's own file to a copy of it (a running program
// cannot delete its own file): "/finish HANDLE "PATH"", HANDLE the decimal value of an inherited handle
// on the original process, PATH the original's file. False (out empty) when it does not fit.
bool ComposeFinishArguments(char* out, size_t size, uintptr_t process, const char* path);
// Reads such arguments back; false when they are not exactly of that form or the path does not fit.
bool ParseFinishArguments(const char* arguments, uintptr_t* process, char* path, size_t size);

// The report of what could not be removed: a heading, then one item per line. Items that do not fit
// are summed up in a last line "... and N more". Always leaves a terminated text in out.
void ComposeFailureReport(char* out, size_t size, const char (*items)[UninstallPathSize], size_t count);
