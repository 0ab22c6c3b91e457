// Starts the decoder's inner operations (ReadSymbol, ReadMatchOffset, ...) on a packed stream, as
// UnpackStream does before its first symbol, so a test can read one code at a time.
#pragma once

#include <cstdio>

#include "decode/stream.h"
#include "decode/unpack.h"

// in may be null with packedLeft 0: every bit read is then zero.
inline void StartReadingCodes(FILE* in, uint32_t packedLeft) {
    ReadPtr(nullptr, 0, 0);
    Decoder.BitCount = 0;
    Decoder.BitBuffer = 0;
    Decoder.PackedLeft = packedLeft;
    Decoder.In = in;
    Decoder.Marker = 514;
    ResetModel();
}
