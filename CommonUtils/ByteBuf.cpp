#include "ByteBuf.h"

#include "StrUtils.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Writes the low `width` bytes of value, most significant first.
void PutBE(uint64_t value, int width, ByteBuf* buf) {
    unsigned char* p = buf->data + buf->position;
    for (int i = 0; i < width; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
    }
    buf->position += width;
}

void PutLE(uint64_t value, int width, ByteBuf* buf) {
    unsigned char* p = buf->data + buf->position;
    for (int i = 0; i < width; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    }
    buf->position += width;
}

uint64_t GetBE(int width, ByteBuf* buf) {
    const unsigned char* p = buf->data + buf->position;
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        value = (value << 8) | p[i];
    }
    buf->position += width;
    return value;
}

uint64_t GetLE(int width, ByteBuf* buf) {
    const unsigned char* p = buf->data + buf->position;
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    buf->position += width;
    return value;
}

bool IsDelimiter(unsigned char c, const ByteBuf* buf) {
    for (int i = 0; i < buf->delimiterCount; ++i) {
        if (static_cast<unsigned char>(buf->delimiters[i]) == c) {
            return true;
        }
    }
    return false;
}

// Length of the text at the position: up to its NUL, never past the limit.
int TextLengthAtPosition(const ByteBuf* buf) {
    int readable = ByteBufReadable(buf);
    if (readable <= 0) {
        return 0;
    }
    const void* nul = memchr(buf->data + buf->position, 0, static_cast<size_t>(readable));
    if (nul == nullptr) {
        return readable;
    }
    return static_cast<int>(static_cast<const unsigned char*>(nul) - (buf->data + buf->position));
}

// Collects at most maxChars characters accepted by `accept` from the position into out.
template <typename Accept> int CollectNumber(char* out, int maxChars, Accept accept, const ByteBuf* buf) {
    int n = 0;
    while (n < maxChars && buf->position + n < buf->limit &&
           accept(static_cast<unsigned char>(buf->data[buf->position + n]))) {
        out[n] = static_cast<char>(buf->data[buf->position + n]);
        ++n;
    }
    out[n] = '\0';
    return n;
}

int AppendV(ByteBuf* buf, const char* format, va_list args) {
    int free = ByteBufWritable(buf);
    if (free <= 0 || buf->data == nullptr) {
        return 0;
    }
    char* at = reinterpret_cast<char*>(buf->data + buf->position);
    int wanted = vsnprintf(at, static_cast<size_t>(free), format, args);
    if (wanted < 0) {
        at[0] = '\0';
        return 0;
    }
    int stored = wanted < free ? wanted : free - 1;
    buf->position += stored;
    return stored;
}

} // namespace

int ByteBufInit(unsigned char* memory, int offset, int length, int size, ByteBuf* buf) {
    memset(buf, 0, sizeof(*buf));
    if (memory != nullptr) {
        buf->data = memory + offset;
        buf->limit = length - offset;
    } else {
        if (size < 0) {
            return -1;
        }
        buf->data = static_cast<unsigned char*>(calloc(size > 0 ? static_cast<size_t>(size) : 1, 1));
        if (buf->data == nullptr) {
            return -1;
        }
        buf->owned = 1;
        buf->limit = 0;
    }
    buf->capacity = size;
    buf->position = 0;
    buf->delimiterCount = 0;
    return 0;
}

int ByteBufWritable(const ByteBuf* buf) {
    return buf->capacity - buf->position;
}
int ByteBufReadable(const ByteBuf* buf) {
    return buf->limit - buf->position;
}
int ByteBufPosition(const ByteBuf* buf) {
    return buf->position;
}
unsigned char* ByteBufCurrent(const ByteBuf* buf) {
    return buf->data + buf->position;
}

int ByteBufSetPosition(int n, ByteBuf* buf) {
    buf->position = n;
    return 0;
}

int ByteBufRewind(ByteBuf* buf) {
    buf->position = 0;
    return 0;
}

int ByteBufToLimit(ByteBuf* buf) {
    buf->position = buf->limit;
    return 0;
}

int ByteBufFlip(ByteBuf* buf) {
    buf->limit = buf->position;
    buf->position = 0;
    return 0;
}

int ByteBufFlipTerminated(ByteBuf* buf) {
    if (buf->position >= buf->capacity) {
        return -3;
    }
    buf->limit = buf->position;
    buf->data[buf->limit] = 0;
    buf->position = 0;
    return 0;
}

int ByteBufSkip(int n, ByteBuf* buf) {
    int readable = ByteBufReadable(buf);
    if (n > readable) {
        n = readable;
    }
    if (n < -buf->position) {
        n = -buf->position;
    }
    buf->position += n;
    return 0;
}

int ByteBufAdvance(int n, ByteBuf* buf) {
    int free = ByteBufWritable(buf);
    buf->position += n < free ? n : free;
    return 0;
}

int ByteBufMove(int to, int from, ByteBuf* buf) {
    int count = buf->limit - from;
    // Moving bytes that lie outside the storage, or to a place where they do not fit,
    // would overrun it.
    if (from < 0 || to < 0 || count < 0 || to + count > buf->capacity) {
        return -1;
    }
    if (count > 0) {
        memmove(buf->data + to, buf->data + from, static_cast<size_t>(count));
    }
    buf->position += to - from;
    buf->limit += to - from;
    return 0;
}

int ByteBufCompact(ByteBuf* buf) {
    return ByteBufMove(0, buf->position, buf);
}

int ByteBufTerminate(ByteBuf* buf) {
    if (buf->limit >= buf->capacity) {
        return -3;
    }
    buf->data[buf->limit] = 0;
    buf->limit += 1;
    return 0;
}

int ByteBufReset(int release, ByteBuf* buf) {
    if (release) {
        // Only storage that the buffer allocated itself is released; the caller's stays.
        if (buf->owned) {
            free(buf->data);
        }
        buf->data = nullptr;
        buf->capacity = 0;
        buf->limit = 0;
        buf->owned = 0;
    }
    buf->position = 0;
    return 0;
}

int ByteBufClear(ByteBuf* buf) {
    return ByteBufReset(0, buf);
}

int ByteBufNop(void*, void*) {
    return 0;
}

int ByteBufWriteFile(FILE* stream, const ByteBuf* buf) {
    if (buf->position <= 0) {
        return 0;
    }
    size_t n = static_cast<size_t>(buf->position);
    return fwrite(buf->data, 1, n, stream) == n ? 0 : -1;
}

int ByteBufReadFile(FILE* stream, int n, ByteBuf* buf) {
    if (n < 0 || n > buf->capacity - buf->limit) {
        return -1;
    }
    size_t got = fread(buf->data + buf->limit, 1, static_cast<size_t>(n), stream);
    buf->limit += static_cast<int>(got);
    return 0;
}

uint32_t ByteBufReadU8(ByteBuf* buf) {
    return static_cast<uint32_t>(GetBE(1, buf));
}
uint32_t ByteBufGetU8(ByteBuf* buf) {
    return ByteBufReadU8(buf);
}
uint32_t ByteBufReadU16BE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetBE(2, buf));
}
uint32_t ByteBufGetU16BE(ByteBuf* buf) {
    return ByteBufReadU16BE(buf);
}
uint32_t ByteBufReadU16LE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetLE(2, buf));
}
uint32_t ByteBufGetU16LE(ByteBuf* buf) {
    return ByteBufReadU16LE(buf);
}
uint32_t ByteBufGetU24BE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetBE(3, buf));
}
uint32_t ByteBufGetU24LE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetLE(3, buf));
}
uint32_t ByteBufReadU32BE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetBE(4, buf));
}
uint32_t ByteBufGetU32BE(ByteBuf* buf) {
    return ByteBufReadU32BE(buf);
}
uint32_t ByteBufReadU32LE(ByteBuf* buf) {
    return static_cast<uint32_t>(GetLE(4, buf));
}
uint32_t ByteBufGetU32LE(ByteBuf* buf) {
    return ByteBufReadU32LE(buf);
}
uint64_t ByteBufGetU64BE(ByteBuf* buf) {
    return GetBE(8, buf);
}
uint64_t ByteBufGetU64LE(ByteBuf* buf) {
    return GetLE(8, buf);
}

double ByteBufGetDouble(ByteBuf* buf) {
    double value;
    memcpy(&value, buf->data + buf->position, sizeof(value));
    buf->position += static_cast<int>(sizeof(value));
    return value;
}

int ByteBufReadPairsU32LE(int count, ByteBufPairU32* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i].first = ByteBufReadU32LE(buf);
        out[i].second = ByteBufReadU32LE(buf);
    }
    return 0;
}

int ByteBufGetPairsU32LE(int count, ByteBufPairU32* out, ByteBuf* buf) {
    return ByteBufReadPairsU32LE(count, out, buf);
}

int ByteBufReadPairsU32BE(int count, ByteBufPairU32* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i].first = ByteBufReadU32BE(buf);
        out[i].second = ByteBufReadU32BE(buf);
    }
    return 0;
}

int ByteBufGetPairsU32BE(int count, ByteBufPairU32* out, ByteBuf* buf) {
    return ByteBufReadPairsU32BE(count, out, buf);
}

int ByteBufReadArrayU32LE(int count, uint32_t* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i] = ByteBufReadU32LE(buf);
    }
    return 0;
}

int ByteBufGetArrayU32LE(int count, uint32_t* out, ByteBuf* buf) {
    return ByteBufReadArrayU32LE(count, out, buf);
}

int ByteBufReadArrayU32BE(int count, uint32_t* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i] = ByteBufReadU32BE(buf);
    }
    return 0;
}

int ByteBufGetArrayU32BE(int count, uint32_t* out, ByteBuf* buf) {
    return ByteBufReadArrayU32BE(count, out, buf);
}

int ByteBufReadArrayU16LE(int count, uint16_t* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<uint16_t>(ByteBufReadU16LE(buf));
    }
    return 0;
}

int ByteBufGetArrayU16LE(int count, uint16_t* out, ByteBuf* buf) {
    return ByteBufReadArrayU16LE(count, out, buf);
}

int ByteBufReadArrayU16BE(int count, uint16_t* out, ByteBuf* buf) {
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<uint16_t>(ByteBufReadU16BE(buf));
    }
    return 0;
}

int ByteBufGetArrayU16BE(int count, uint16_t* out, ByteBuf* buf) {
    return ByteBufReadArrayU16BE(count, out, buf);
}

int ByteBufGetFourCC(unsigned char* out, ByteBuf* buf) {
    return ByteBufGetRaw(out, 4, buf);
}

int ByteBufGetRaw(void* out, int n, ByteBuf* buf) {
    if (n > 0) {
        memcpy(out, buf->data + buf->position, static_cast<size_t>(n));
        buf->position += n;
    }
    return 0;
}

int ByteBufGetRawChecked(void* out, int n, ByteBuf* buf) {
    if (n < 0 || n > ByteBufReadable(buf)) {
        return -1;
    }
    ByteBufGetRaw(out, n, buf);
    return n;
}

int ByteBufGetBlob(void* out, ByteBuf* buf) {
    int length = static_cast<int>(ByteBufGetU32BE(buf));
    ByteBufGetRaw(out, length, buf);
    return length;
}

int ByteBufGetBlobChecked(void* out, int outSize, ByteBuf* buf) {
    if (ByteBufReadable(buf) < 4) {
        return -1;
    }
    int start = buf->position;
    uint32_t length = ByteBufGetU32BE(buf);
    if (length > static_cast<uint32_t>(INT_MAX) || static_cast<int>(length) > ByteBufReadable(buf) ||
        static_cast<int>(length) > outSize) {
        buf->position = start;
        return -1;
    }
    ByteBufGetRaw(out, static_cast<int>(length), buf);
    return static_cast<int>(length);
}

int ByteBufGetCString(char* out, int outSize, ByteBuf* buf) {
    if (ByteBufReadable(buf) <= 0) {
        return -1;
    }
    int length = TextLengthAtPosition(buf);
    if (length >= outSize) {
        return -3;
    }
    memcpy(out, buf->data + buf->position, static_cast<size_t>(length));
    out[length] = '\0';
    ByteBufSkip(length + 1, buf);
    return 0;
}

int ByteBufGetUntil(char* out, int outSize, char stop, ByteBuf* buf) {
    ByteBufSkipSet(buf);
    if (ByteBufReadable(buf) <= 0 || outSize <= 0) {
        return -1;
    }
    int copied = 0;
    while (copied < outSize - 1 && buf->position + copied < buf->limit &&
           buf->data[buf->position + copied] != static_cast<unsigned char>(stop)) {
        out[copied] = static_cast<char>(buf->data[buf->position + copied]);
        ++copied;
    }
    out[copied] = '\0';
    // The stop character is skipped only when it is there: a text cut by the out size
    // keeps its next byte for the next read.
    int skip = copied;
    if (buf->position + copied < buf->limit &&
        buf->data[buf->position + copied] == static_cast<unsigned char>(stop)) {
        ++skip;
    }
    ByteBufSkip(skip, buf);
    return copied > 0 ? 0 : -1;
}

int ByteBufPutU8(uint32_t value, ByteBuf* buf) {
    PutBE(value, 1, buf);
    return 0;
}
int ByteBufWriteU8(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU8(value, buf);
}

int ByteBufPutU16BE(uint32_t value, ByteBuf* buf) {
    PutBE(value, 2, buf);
    return 0;
}
int ByteBufWriteU16BE(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU16BE(value, buf);
}
int ByteBufStoreU16BE(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU16BE(value, buf);
}

int ByteBufPutU16LE(uint32_t value, ByteBuf* buf) {
    PutLE(value, 2, buf);
    return 0;
}
int ByteBufWriteU16LE(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU16LE(value, buf);
}

int ByteBufPutU24BE(uint32_t value, ByteBuf* buf) {
    PutBE(value, 3, buf);
    return 0;
}

int ByteBufPutU24LE(uint32_t value, ByteBuf* buf) {
    PutLE(value, 3, buf);
    return 0;
}

int ByteBufPutU32BE(uint32_t value, ByteBuf* buf) {
    PutBE(value, 4, buf);
    return 0;
}
int ByteBufWriteU32BE(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU32BE(value, buf);
}

int ByteBufPutU32LE(uint32_t value, ByteBuf* buf) {
    PutLE(value, 4, buf);
    return 0;
}
int ByteBufWriteU32LE(uint32_t value, ByteBuf* buf) {
    return ByteBufPutU32LE(value, buf);
}

int ByteBufPutU64BE(uint64_t value, ByteBuf* buf) {
    PutBE(value, 8, buf);
    return 0;
}

int ByteBufPutU64LE(uint64_t value, ByteBuf* buf) {
    PutLE(value, 8, buf);
    return 0;
}

int ByteBufPutDouble(double value, ByteBuf* buf) {
    memcpy(buf->data + buf->position, &value, sizeof(value));
    buf->position += static_cast<int>(sizeof(value));
    return 0;
}

int ByteBufPutRaw(const void* bytes, int n, ByteBuf* buf) {
    if (n > 0) {
        memcpy(buf->data + buf->position, bytes, static_cast<size_t>(n));
        buf->position += n;
    }
    return 0;
}
int ByteBufWriteRaw(const void* bytes, int n, ByteBuf* buf) {
    return ByteBufPutRaw(bytes, n, buf);
}

int ByteBufPutRawChecked(const void* bytes, int n, ByteBuf* buf) {
    if (n < 0 || n > ByteBufWritable(buf)) {
        return -1;
    }
    ByteBufPutRaw(bytes, n, buf);
    return n;
}

int ByteBufPutReversed(const void* bytes, int n, ByteBuf* buf) {
    const unsigned char* src = static_cast<const unsigned char*>(bytes);
    for (int i = 0; i < n; ++i) {
        buf->data[buf->position + i] = src[n - 1 - i];
    }
    if (n > 0) {
        buf->position += n;
    }
    return 0;
}
int ByteBufWriteReversed(const void* bytes, int n, ByteBuf* buf) {
    return ByteBufPutReversed(bytes, n, buf);
}

int ByteBufPutFourCC(const unsigned char* bytes, ByteBuf* buf) {
    ByteBufPutRaw(bytes, 4, buf);
    return 4;
}

int ByteBufFill(int value, int n, ByteBuf* buf) {
    if (n > 0) {
        memset(buf->data + buf->position, value, static_cast<size_t>(n));
        buf->position += n;
    }
    return 0;
}

int ByteBufPutCString(const char* text, ByteBuf* buf) {
    int n = static_cast<int>(strlen(text)) + 1;
    ByteBufPutRaw(text, n, buf);
    return n;
}

int ByteBufPutBlob(const void* bytes, int n, ByteBuf* buf) {
    ByteBufPutU32BE(static_cast<uint32_t>(n), buf);
    ByteBufPutRaw(bytes, n, buf);
    return 0;
}

int ByteBufPatchU32BE(int64_t value, int offset, ByteBuf* buf) {
    if (value == -1) {
        int at = buf->position;
        buf->position += 4;
        return at;
    }
    int saved = buf->position;
    buf->position = offset;
    PutBE(static_cast<uint32_t>(value), 4, buf);
    buf->position = saved;
    return 4;
}

int ByteBufAppendInt(int32_t value, ByteBuf* buf) {
    return ByteBufAppendFormat(buf, "%d", value);
}

int ByteBufAppendInt64(int64_t value, ByteBuf* buf) {
    return ByteBufAppendFormat(buf, "%lld", static_cast<long long>(value));
}

int ByteBufAppendDouble(double value, ByteBuf* buf) {
    return ByteBufAppendFormat(buf, "%f", value);
}

int ByteBufAppendFormat(ByteBuf* buf, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = AppendV(buf, format, args);
    va_end(args);
    return n;
}

int ByteBufSetDelimiters(const char* chars, int n, ByteBuf* buf) {
    if (n > 8) {
        n = 8;
    }
    if (n < 0 || chars == nullptr) {
        n = 0;
    }
    if (n > 0) {
        memcpy(buf->delimiters, chars, static_cast<size_t>(n));
    }
    buf->delimiterCount = n;
    return 0;
}

int ByteBufSkipSet(ByteBuf* buf) {
    while (buf->position < buf->limit && IsDelimiter(buf->data[buf->position], buf)) {
        ++buf->position;
    }
    return 0;
}

int ByteBufParseInt(int* out, ByteBuf* buf) {
    ByteBufSkipSet(buf);
    char digits[16];
    int n = CollectNumber(
        digits, 15, [](unsigned char c) { return c >= '0' && c <= '9'; }, buf);
    if (n == 0) {
        return -1;
    }
    // Fifteen digits do not fit an int: the value is clamped instead of overflowing.
    long long value = strtoll(digits, nullptr, 10);
    *out = value > INT_MAX ? INT_MAX : static_cast<int>(value);
    buf->position += n;
    return 0;
}

int ByteBufParseHex(unsigned* out, ByteBuf* buf) {
    ByteBufSkipSet(buf);
    char digits[16];
    int n = CollectNumber(
        digits, 15,
        [](unsigned char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        },
        buf);
    if (n == 0) {
        return -1;
    }
    unsigned long long value = strtoull(digits, nullptr, 16);
    *out = value > UINT_MAX ? UINT_MAX : static_cast<unsigned>(value);
    buf->position += n;
    return 0;
}

int ByteBufParseFloat(float* out, ByteBuf* buf) {
    ByteBufSkipSet(buf);
    char digits[32];
    int n = CollectNumber(
        digits, 31, [](unsigned char c) { return (c >= '0' && c <= '9') || c == '.'; }, buf);
    float value = 0;
    if (n == 0 || sscanf(digits, "%f", &value) != 1) {
        return -1;
    }
    *out = value;
    buf->position += n;
    return 0;
}

int ByteBufSkipPast(const char* text, ByteBuf* buf) {
    int readable = ByteBufReadable(buf);
    if (readable <= 0) {
        return -1;
    }
    unsigned length = static_cast<unsigned>(strlen(text));
    const void* found = MemFind(buf->data + buf->position, static_cast<unsigned>(readable), text, length);
    if (found == nullptr) {
        return -1;
    }
    buf->position =
        static_cast<int>(static_cast<const unsigned char*>(found) - buf->data) + static_cast<int>(length);
    return 0;
}

int ByteBufMatchPrefix(const char* text, ByteBuf* buf) {
    ByteBufSkipSet(buf);
    int length = static_cast<int>(strlen(text));
    if (length >= ByteBufReadable(buf)) {
        return -1;
    }
    if (strncasecmp(reinterpret_cast<const char*>(buf->data + buf->position), text,
                    static_cast<size_t>(length)) != 0) {
        return -1;
    }
    buf->position += length;
    return 0;
}

int ByteBufFind(const char* text, const ByteBuf* buf) {
    if (ByteBufReadable(buf) <= 0) {
        return -1;
    }
    // The search ends at the text's NUL or at the limit, whichever comes first.
    int length = TextLengthAtPosition(buf);
    const void* found = MemFind(buf->data + buf->position, static_cast<unsigned>(length), text,
                                static_cast<unsigned>(strlen(text)));
    if (found == nullptr) {
        return -1;
    }
    return static_cast<int>(static_cast<const unsigned char*>(found) - (buf->data + buf->position));
}

int ByteBufParseIntAfter(int* out, const char* text, ByteBuf* buf) {
    int rc = ByteBufSkipPast(text, buf);
    if (rc < 0) {
        return rc;
    }
    ByteBufSkipSet(buf);
    return ByteBufParseInt(out, buf);
}

int ByteBufGetCStringAfter(char* out, int outSize, const char* text, ByteBuf* buf) {
    int rc = ByteBufSkipPast(text, buf);
    if (rc < 0) {
        return rc;
    }
    ByteBufSkipSet(buf);
    return ByteBufGetCString(out, outSize, buf);
}

int ByteBufSetMarker(const unsigned char* bytes, int n, ByteBuf* buf) {
    if (n > 4) {
        n = 4;
    }
    if (n < 0 || bytes == nullptr) {
        n = 0;
    }
    if (n > 0) {
        memcpy(buf->marker, bytes, static_cast<size_t>(n));
    }
    buf->markerLength = n;
    return 0;
}

int ByteBufFindMarker(const ByteBuf* buf) {
    if (buf->markerLength <= 0) {
        return -1;
    }
    for (int i = buf->position; i <= buf->limit - buf->markerLength; ++i) {
        if (memcmp(buf->data + i, buf->marker, static_cast<size_t>(buf->markerLength)) == 0) {
            return i;
        }
    }
    return -1;
}

int ByteBufSkipPastMarker(ByteBuf* buf) {
    int at = ByteBufFindMarker(buf);
    if (at < 0) {
        return -1; // no marker follows: the position stays
    }
    buf->position = at + buf->markerLength;
    return 0;
}

int ByteBufFindBeforeMarker(const char* text, const ByteBuf* buf) {
    int marker = ByteBufFindMarker(buf);
    if (marker < 0) {
        return -1;
    }
    int offset = ByteBufFind(text, buf);
    if (offset < 0) {
        return -1;
    }
    return buf->position + offset < marker + buf->markerLength ? offset : -1;
}
