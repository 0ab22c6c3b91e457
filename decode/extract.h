// Packed-file extraction: decodes one packed file-table entry of an installer file to its target.
#pragma once

#include <cstdint>

// Results besides 1 (the decoder ran, whether it finished or stopped on an abort).
constexpr int32_t ExtractNoSource = -1;  // source not opened or not positioned; no target created
constexpr int32_t ExtractNoTarget = -2;  // target not opened; nothing decoded

// Resets ReadPtr and WritePtr, opens `sourcePath` ("rb") at `DataOffset`, creates or truncates
// `TargetPath` ("wb"), runs UnpackStream(..., 514) and closes the output, then the input.
// A stream that failed to open is never read, written or closed. A write that falls short,
// or a failing close of the output, ends the process through FatalStop naming TargetPath.
// An abort at a checkpoint leaves only the whole 16384-byte chunks written before it.
int32_t ExtractPackedFileFrom(const char* sourcePath, uint32_t DataOffset, int32_t UnpackedSize,
                              uint32_t PackedSize, const char* TargetPath);

#ifdef _WIN32
// The installer's form (decode/extract_win32.cpp): the packed data lies in the file of `module`
// (null: the running executable). Returns 0 when that file's path cannot be obtained.
int32_t ExtractPackedFile(void* module, uint32_t DataOffset, int32_t UnpackedSize,
                          uint32_t PackedSize, const char* TargetPath);
#endif
