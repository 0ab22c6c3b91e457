// ReadPtr and WritePtr: one global state each, a 16384-byte static buffer each, nothing allocated.
#include "decode/stream.h"

#include <cstring>

ReadState Reader;
WriteState Writer;
const char* FatalStopTarget = "output file";

uint16_t ReadPtr(FILE** stream, int16_t marker, uint32_t left) {
    if (stream == nullptr && marker == 0 && left == 0) {
        std::memset(Reader.ReadBuffer, 0, sizeof Reader.ReadBuffer);
        Reader.ReadLeft = 0;
        Reader.ReadPos = 0;
        return 0;
    }
    int got;
    if (Reader.ReadLeft < 1) {
        size_t n = left < (uint32_t)StreamChunk ? left : (size_t)StreamChunk;
        FILE* in = stream ? *stream : nullptr;
        got = in ? (int)std::fread(Reader.ReadBuffer, 1, n, in) : 0;
        Reader.ReadPos = 0;
    } else {
        got = Reader.ReadLeft;
    }
    // ReadPos < got <= 16384 when got > 0; after an empty read it is 0. Either way in bounds.
    uint8_t byte = Reader.ReadBuffer[Reader.ReadPos];
    ++Reader.ReadPos;
    Reader.ReadLeft = (int16_t)(got - 1);
    return byte;
}

uint16_t WritePtr(FILE** stream, uint8_t byte, int16_t marker, uint32_t size) {
    if (stream == nullptr && byte == 0 && marker == 0 && size == 0) {
        Writer.FlushSizeSet = 0;
        std::memset(Writer.WriteBuffer, 0, sizeof Writer.WriteBuffer);
        Writer.WriteFill = 0;
        Writer.FlushSize = 0;
        Writer.WrittenTotal = 0;
        return 0;
    }
    // Between calls WriteFill is below FlushSize <= 16384 (or 0 after a write), so the store
    // stays inside the buffer.
    if ((uint32_t)Writer.WriteFill < size) {
        Writer.WriteBuffer[Writer.WriteFill] = byte;
        ++Writer.WriteFill;
    }
    if (Writer.FlushSizeSet == 0) {
        if (Writer.WrittenTotal >= size) Writer.WrittenTotal = 0;
        uint32_t rest = size - Writer.WrittenTotal;
        Writer.FlushSize = (int16_t)(rest < (uint32_t)StreamChunk ? rest : (uint32_t)StreamChunk);
        Writer.FlushSizeSet = 1;
    }
    if (Writer.WriteFill < Writer.FlushSize) return 0;
    FILE* out = stream ? *stream : nullptr;
    size_t fill = (size_t)Writer.WriteFill;
    size_t written = out ? std::fwrite(Writer.WriteBuffer, 1, fill, out) : 0;
    if (written != fill) FatalStop();
    Writer.WrittenTotal += (uint32_t)fill;
    Writer.WriteFill = 0;
    Writer.FlushSizeSet = 0;
    return 0;
}
