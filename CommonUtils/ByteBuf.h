// ByteBuf: a cursor over a block of bytes. Fixed-width integers in both byte orders,
// raw runs, texts, length-prefixed blobs, text appends, token parsing and a boundary
// marker. The record never grows its storage.
//
// A buffer is written from position 0, turned with ByteBufFlip (limit = position,
// position = 0), then read. The fixed-width readers and writers and the raw copies do
// not test bounds: the caller checks ByteBufReadable / ByteBufWritable first. The
// operations whose names end in Checked, and the text operations, test their bounds.
#pragma once

#include <cstdint>
#include <cstdio>

struct ByteBuf {
    unsigned char* data; // storage: owned when ByteBufInit allocated it, else the caller's
    int32_t position;    // next byte to read or to write
    int32_t limit;       // end of the readable bytes
    int32_t capacity;    // size of the storage
    unsigned char marker[4];
    int32_t markerLength;   // 0 to 4
    int32_t delimiterCount; // 0 to 8
    char delimiters[8];
    int32_t owned; // 1 when the storage was allocated by ByteBufInit
};

// One record of two 32-bit fields, as read by the pair readers.
struct ByteBufPairU32 {
    uint32_t first;
    uint32_t second;
};

// Set-up and cursor.
int ByteBufInit(unsigned char* memory, int offset, int length, int size, ByteBuf* buf);
int ByteBufWritable(const ByteBuf* buf);
int ByteBufReadable(const ByteBuf* buf);
int ByteBufPosition(const ByteBuf* buf);
unsigned char* ByteBufCurrent(const ByteBuf* buf);
int ByteBufSetPosition(int n, ByteBuf* buf);
int ByteBufRewind(ByteBuf* buf);
int ByteBufToLimit(ByteBuf* buf);
int ByteBufFlip(ByteBuf* buf);
int ByteBufFlipTerminated(ByteBuf* buf);
int ByteBufSkip(int n, ByteBuf* buf);
int ByteBufAdvance(int n, ByteBuf* buf);
int ByteBufMove(int to, int from, ByteBuf* buf);
int ByteBufCompact(ByteBuf* buf);
int ByteBufTerminate(ByteBuf* buf);
int ByteBufReset(int release, ByteBuf* buf);
int ByteBufClear(ByteBuf* buf);
int ByteBufNop(void* a, void* b);

// Streams.
int ByteBufWriteFile(FILE* stream, const ByteBuf* buf);
int ByteBufReadFile(FILE* stream, int n, ByteBuf* buf);

// Fixed-width readers.
uint32_t ByteBufReadU8(ByteBuf* buf);
uint32_t ByteBufGetU8(ByteBuf* buf);
uint32_t ByteBufReadU16BE(ByteBuf* buf);
uint32_t ByteBufGetU16BE(ByteBuf* buf);
uint32_t ByteBufReadU16LE(ByteBuf* buf);
uint32_t ByteBufGetU16LE(ByteBuf* buf);
uint32_t ByteBufGetU24BE(ByteBuf* buf);
uint32_t ByteBufGetU24LE(ByteBuf* buf);
uint32_t ByteBufReadU32BE(ByteBuf* buf);
uint32_t ByteBufGetU32BE(ByteBuf* buf);
uint32_t ByteBufReadU32LE(ByteBuf* buf);
uint32_t ByteBufGetU32LE(ByteBuf* buf);
uint64_t ByteBufGetU64BE(ByteBuf* buf);
uint64_t ByteBufGetU64LE(ByteBuf* buf);
double ByteBufGetDouble(ByteBuf* buf);

// Array readers.
int ByteBufReadPairsU32LE(int count, ByteBufPairU32* out, ByteBuf* buf);
int ByteBufGetPairsU32LE(int count, ByteBufPairU32* out, ByteBuf* buf);
int ByteBufReadPairsU32BE(int count, ByteBufPairU32* out, ByteBuf* buf);
int ByteBufGetPairsU32BE(int count, ByteBufPairU32* out, ByteBuf* buf);
int ByteBufReadArrayU32LE(int count, uint32_t* out, ByteBuf* buf);
int ByteBufGetArrayU32LE(int count, uint32_t* out, ByteBuf* buf);
int ByteBufReadArrayU32BE(int count, uint32_t* out, ByteBuf* buf);
int ByteBufGetArrayU32BE(int count, uint32_t* out, ByteBuf* buf);
int ByteBufReadArrayU16LE(int count, uint16_t* out, ByteBuf* buf);
int ByteBufGetArrayU16LE(int count, uint16_t* out, ByteBuf* buf);
int ByteBufReadArrayU16BE(int count, uint16_t* out, ByteBuf* buf);
int ByteBufGetArrayU16BE(int count, uint16_t* out, ByteBuf* buf);

// Other readers.
int ByteBufGetFourCC(unsigned char* out, ByteBuf* buf);
int ByteBufGetRaw(void* out, int n, ByteBuf* buf);
int ByteBufGetRawChecked(void* out, int n, ByteBuf* buf);
int ByteBufGetBlob(void* out, ByteBuf* buf);
// As ByteBufGetBlob, but -1 (position unchanged) when the length word or the blob is not
// readable or the blob does not fit into outSize bytes.
int ByteBufGetBlobChecked(void* out, int outSize, ByteBuf* buf);
int ByteBufGetCString(char* out, int outSize, ByteBuf* buf);
int ByteBufGetUntil(char* out, int outSize, char stop, ByteBuf* buf);

// Fixed-width writers.
int ByteBufPutU8(uint32_t value, ByteBuf* buf);
int ByteBufWriteU8(uint32_t value, ByteBuf* buf);
int ByteBufPutU16BE(uint32_t value, ByteBuf* buf);
int ByteBufWriteU16BE(uint32_t value, ByteBuf* buf);
int ByteBufStoreU16BE(uint32_t value, ByteBuf* buf);
int ByteBufPutU16LE(uint32_t value, ByteBuf* buf);
int ByteBufWriteU16LE(uint32_t value, ByteBuf* buf);
int ByteBufPutU24BE(uint32_t value, ByteBuf* buf);
int ByteBufPutU24LE(uint32_t value, ByteBuf* buf);
int ByteBufPutU32BE(uint32_t value, ByteBuf* buf);
int ByteBufWriteU32BE(uint32_t value, ByteBuf* buf);
int ByteBufPutU32LE(uint32_t value, ByteBuf* buf);
int ByteBufWriteU32LE(uint32_t value, ByteBuf* buf);
int ByteBufPutU64BE(uint64_t value, ByteBuf* buf);
int ByteBufPutU64LE(uint64_t value, ByteBuf* buf);
int ByteBufPutDouble(double value, ByteBuf* buf);

// Other writers.
int ByteBufPutRaw(const void* bytes, int n, ByteBuf* buf);
int ByteBufWriteRaw(const void* bytes, int n, ByteBuf* buf);
int ByteBufPutRawChecked(const void* bytes, int n, ByteBuf* buf);
int ByteBufPutReversed(const void* bytes, int n, ByteBuf* buf);
int ByteBufWriteReversed(const void* bytes, int n, ByteBuf* buf);
int ByteBufPutFourCC(const unsigned char* bytes, ByteBuf* buf);
int ByteBufFill(int value, int n, ByteBuf* buf);
int ByteBufPutCString(const char* text, ByteBuf* buf);
int ByteBufPutBlob(const void* bytes, int n, ByteBuf* buf);
// value -1 reserves 4 bytes and returns their offset; any other value is written as
// 32-bit big-endian at the offset, the position unchanged, and the result is 4.
int ByteBufPatchU32BE(int64_t value, int offset, ByteBuf* buf);

// Text appends into the free space. Each returns the number of characters stored (a
// text that does not fit is cut, and the position advances only by what was stored).
int ByteBufAppendInt(int32_t value, ByteBuf* buf);
int ByteBufAppendInt64(int64_t value, ByteBuf* buf);
int ByteBufAppendDouble(double value, ByteBuf* buf);
int ByteBufAppendFormat(ByteBuf* buf, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Token and search operations over the readable bytes as text.
int ByteBufSetDelimiters(const char* chars, int n, ByteBuf* buf);
int ByteBufSkipSet(ByteBuf* buf);
int ByteBufParseInt(int* out, ByteBuf* buf);
int ByteBufParseHex(unsigned* out, ByteBuf* buf);
int ByteBufParseFloat(float* out, ByteBuf* buf);
int ByteBufSkipPast(const char* text, ByteBuf* buf);
int ByteBufMatchPrefix(const char* text, ByteBuf* buf);
int ByteBufFind(const char* text, const ByteBuf* buf);
int ByteBufParseIntAfter(int* out, const char* text, ByteBuf* buf);
int ByteBufGetCStringAfter(char* out, int outSize, const char* text, ByteBuf* buf);
int ByteBufSetMarker(const unsigned char* bytes, int n, ByteBuf* buf);
int ByteBufFindMarker(const ByteBuf* buf);
int ByteBufSkipPastMarker(ByteBuf* buf);
int ByteBufFindBeforeMarker(const char* text, const ByteBuf* buf);
