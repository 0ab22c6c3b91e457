// The compatibility file functions (_lopen, _llseek, _lread, _lclose, _lcreat, _lwrite) for portable code.
//
// On Windows these are KERNEL32's own functions; the declarations below match them exactly, so this
// header can stand beside <windows.h> without including it. Everywhere else common/lfile_posix.cpp
// implements them over POSIX files, so the same resource walk and record reads run natively.
#pragma once

typedef int HFILE;

#ifndef HFILE_ERROR
#define HFILE_ERROR ((HFILE)-1)
#endif
#ifndef OF_READ
#define OF_READ 0x0000
#endif
#ifndef OF_SHARE_DENY_NONE
#define OF_SHARE_DENY_NONE 0x0040
#endif
#ifndef FILE_BEGIN
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#endif

#ifdef _WIN32
#define LQ_LFILE_API __attribute__((dllimport, stdcall))
extern "C" {
#else
#define LQ_LFILE_API
#endif

// Opens an existing file; only read access is used here. Returns HFILE_ERROR on failure.
HFILE LQ_LFILE_API _lopen(const char* path, int mode);
// Creates or truncates a file for writing (attribute 0: normal). Returns HFILE_ERROR on failure.
HFILE LQ_LFILE_API _lcreat(const char* path, int attribute);
// Moves the position; returns the new absolute position, or -1.
long LQ_LFILE_API _llseek(HFILE file, long offset, int origin);
// Reads up to count bytes; returns the count read (0 at the end), or (unsigned)-1 on error.
unsigned LQ_LFILE_API _lread(HFILE file, void* buffer, unsigned count);
// Writes count bytes; returns the count written, or (unsigned)-1 on error.
unsigned LQ_LFILE_API _lwrite(HFILE file, const char* buffer, unsigned count);
// Closes the handle; returns 0, or HFILE_ERROR.
HFILE LQ_LFILE_API _lclose(HFILE file);

#ifdef _WIN32
}
#endif

// A read that may deliver fewer bytes than asked (or fail) counted as delivered bytes, never as -1.
inline unsigned ReadUpTo(HFILE file, void* buffer, unsigned count) {
    unsigned got = _lread(file, buffer, count);
    return got == (unsigned)-1 ? 0 : got;
}
