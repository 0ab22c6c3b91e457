// The buffered reader and writer between the decoder and the C library's file streams.
//
// ReadPtr hands out the packed bytes of one entry one at a time, refilling its buffer with one
// stream read of min(left, 16384) bytes, so the stream is never read past the entry's data.
// WritePtr collects decoded bytes and writes them in chunks of 16384 bytes, cutting the last
// chunk so that the byte that completes the file also completes its last write.
// Both keep one global state; one file is processed at a time. Their fields are visible here so
// the decoder can run the same steps inline on its hot path.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int StreamChunk = 16384;

struct ReadState {
    uint8_t ReadBuffer[StreamChunk];  // the current chunk of packed data
    int16_t ReadLeft;                 // bytes of the chunk not yet handed out (-1 after an empty read)
    int16_t ReadPos;                  // index of the next byte to hand out
};

struct WriteState {
    uint8_t WriteBuffer[StreamChunk];  // decoded bytes not yet written
    int16_t WriteFill;                 // bytes collected; always below FlushSize between calls
    int16_t FlushSize;                 // fill level at which the buffer is written (<= 16384)
    uint16_t FlushSizeSet;             // FlushSize has been chosen for the current chunk
    uint32_t WrittenTotal;             // bytes of the current output file written so far
};

extern ReadState Reader;
extern WriteState Writer;

// ReadPtr(nullptr, 0, 0) resets the reader (zeroed buffer, nothing left) and returns 0.
// Otherwise returns the next packed byte, 0..255. `left` counts the entry's unread packed bytes,
// this one included. A read that delivers nothing is not reported: the byte then at the start of
// the buffer is returned (0 after a reset) and the next call reads again. A null *stream
// delivers nothing.
uint16_t ReadPtr(FILE** stream, int16_t marker, uint32_t left);

// WritePtr(nullptr, 0, 0, 0) resets the writer and returns 0. Otherwise collects `byte` of an
// output file of `size` bytes (the same on every call for one file) and writes the chunk once it
// is full or ends the file. Bytes passed after `size` start a new cycle of the same chunking.
// A write that falls short ends the process through FatalStop. Always returns 0.
uint16_t WritePtr(FILE** stream, uint8_t byte, int16_t marker, uint32_t size);

// Name of the file being written, for FatalStop's message; "output file" unless a caller sets it.
extern const char* FatalStopTarget;

// Ends the process at once with status 1 after telling the user which file could not be written.
// A link seam: native builds link decode/fatal_posix.cpp (a line on stderr), the installer
// decode/fatal_win32.cpp (a message box).
[[noreturn]] void FatalStop();
