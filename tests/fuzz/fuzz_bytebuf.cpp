// The byte buffer's readers and text parsers over bytes from outside: a run of
// operations, chosen by the input, on a buffer that holds the rest of the input in
// storage of exactly its size (so a read past its end is caught).
//
// Input: one byte with the length of the operation script, the script, then the bytes
// the buffer holds. Each operation is one byte, some followed by a size byte or a text
// (a length byte and its bytes).
//
// Properties: position, limit and capacity stay in order; every text read fits its
// array and is terminated; a bounded reader that fails moves nothing.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ByteBuf.h"
#include "FuzzTarget.h"

namespace {

class Script {
public:
    Script(const uint8_t* bytes, size_t size) : bytes(bytes), size(size) {}
    bool done() const { return at >= size; }
    uint8_t next() { return at < size ? bytes[at++] : 0; }
    std::string text() {
        const size_t length = next() % 16;
        std::string result;
        for (size_t i = 0; i < length && !done(); ++i) {
            result += static_cast<char>(next());
        }
        return result;
    }

private:
    const uint8_t* bytes;
    size_t size;
    size_t at = 0;
};

void checkCursor(const ByteBuf& buf) {
    FUZZ_CHECK(buf.position >= 0 && buf.position <= buf.limit && buf.limit <= buf.capacity);
}

// An out array of exactly the size given, checked for its terminator after a read.
struct OutText {
    explicit OutText(int size) : size(size), bytes(new char[size > 0 ? size : 1]) {}
    void checkTerminated() const {
        FUZZ_CHECK(size > 0 && std::memchr(bytes.get(), '\0', static_cast<size_t>(size)) != nullptr);
    }
    int size;
    std::unique_ptr<char[]> bytes;
};

} // namespace

KORVA_FUZZ_TARGET(bytebuf) {
    if (size == 0) {
        return;
    }
    const size_t scriptLength = data[0] < size - 1 ? data[0] : size - 1;
    Script script(data + 1, scriptLength);
    const size_t length = size - 1 - scriptLength;
    std::unique_ptr<unsigned char[]> storage(new unsigned char[length > 0 ? length : 1]);
    std::memcpy(storage.get(), data + 1 + scriptLength, length);
    ByteBuf buf;
    ByteBufInit(storage.get(), 0, static_cast<int>(length), static_cast<int>(length), &buf);

    while (!script.done()) {
        const int before = buf.position;
        switch (script.next() % 22) {
        case 0: {
            const std::string chars = script.text();
            ByteBufSetDelimiters(chars.data(), static_cast<int>(chars.size()), &buf);
            break;
        }
        case 1:
            ByteBufSkipSet(&buf);
            break;
        case 2: {
            int value = 0;
            ByteBufParseInt(&value, &buf);
            FUZZ_CHECK(value >= 0);
            break;
        }
        case 3: {
            unsigned value = 0;
            ByteBufParseHex(&value, &buf);
            break;
        }
        case 4: {
            float value = 0;
            ByteBufParseFloat(&value, &buf);
            break;
        }
        case 5: {
            OutText out(script.next() % 64 + 1);
            if (ByteBufGetCString(out.bytes.get(), out.size, &buf) == 0) {
                out.checkTerminated();
            } else {
                FUZZ_CHECK(buf.position == before);
            }
            break;
        }
        case 6: {
            OutText out(script.next() % 64);
            const char stop = static_cast<char>(script.next());
            if (ByteBufGetUntil(out.bytes.get(), out.size, stop, &buf) == 0) {
                out.checkTerminated();
            }
            break;
        }
        case 7: {
            OutText out(script.next() % 64);
            const int got = ByteBufGetBlobChecked(out.bytes.get(), out.size, &buf);
            FUZZ_CHECK(got == -1 ? buf.position == before
                                 : got <= out.size && buf.position == before + 4 + got);
            break;
        }
        case 8: {
            const int n = script.next() % 64;
            OutText out(n);
            const int got = ByteBufGetRawChecked(out.bytes.get(), n, &buf);
            FUZZ_CHECK(got == -1 ? buf.position == before : buf.position == before + n);
            break;
        }
        case 9:
            if (ByteBufSkipPast(script.text().c_str(), &buf) != 0) {
                FUZZ_CHECK(buf.position == before);
            }
            break;
        case 10:
            if (ByteBufMatchPrefix(script.text().c_str(), &buf) != 0) {
                // Only the delimiters before it are skipped.
                FUZZ_CHECK(buf.position >= before);
            }
            break;
        case 11: {
            const int offset = ByteBufFind(script.text().c_str(), &buf);
            FUZZ_CHECK(offset == -1 || (offset >= 0 && offset < buf.limit - buf.position));
            break;
        }
        case 12: {
            int value = 0;
            ByteBufParseIntAfter(&value, script.text().c_str(), &buf);
            break;
        }
        case 13: {
            const std::string text = script.text();
            OutText out(script.next() % 64 + 1);
            if (ByteBufGetCStringAfter(out.bytes.get(), out.size, text.c_str(), &buf) == 0) {
                out.checkTerminated();
            }
            break;
        }
        case 14: {
            const std::string marker = script.text();
            ByteBufSetMarker(reinterpret_cast<const unsigned char*>(marker.data()),
                             static_cast<int>(marker.size()), &buf);
            break;
        }
        case 15: {
            const int at = ByteBufFindMarker(&buf);
            FUZZ_CHECK(at == -1 || (at >= buf.position && at + buf.markerLength <= buf.limit));
            break;
        }
        case 16:
            ByteBufSkipPastMarker(&buf);
            break;
        case 17:
            ByteBufFindBeforeMarker(script.text().c_str(), &buf);
            break;
        case 18:
            ByteBufSkip(static_cast<int8_t>(script.next()), &buf);
            break;
        case 19:
            ByteBufRewind(&buf);
            break;
        case 20: {
            // The fixed-width readers, as their callers use them: after a bounds check.
            const int width = 1 << (script.next() % 4);
            if (ByteBufReadable(&buf) >= width) {
                switch (width) {
                case 1:
                    ByteBufGetU8(&buf);
                    break;
                case 2:
                    ByteBufGetU16LE(&buf);
                    break;
                case 4:
                    ByteBufGetU32BE(&buf);
                    break;
                default:
                    ByteBufGetDouble(&buf);
                    break;
                }
                FUZZ_CHECK(buf.position == before + width);
            }
            break;
        }
        case 21:
            ByteBufCompact(&buf);
            FUZZ_CHECK(buf.position == 0);
            break;
        }
        checkCursor(buf);
    }
}
