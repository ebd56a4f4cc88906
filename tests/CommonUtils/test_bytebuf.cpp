#include "ByteBuf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A buffer over a zero-filled storage of `size` bytes, allocated by the buffer itself.
struct OwnedBuf {
    ByteBuf buf{};
    explicit OwnedBuf(int size) { EXPECT_EQ(0, ByteBufInit(nullptr, 0, 0, size, &buf)); }
    ~OwnedBuf() { ByteBufReset(1, &buf); }
    std::vector<unsigned char> Written() const { return {buf.data, buf.data + buf.position}; }
};

// A buffer ready for reading the given text (and nothing after it: no NUL in the storage).
struct TextBuf {
    std::vector<unsigned char> storage;
    ByteBuf buf{};
    explicit TextBuf(const std::string& text, int extra = 0) : storage(text.begin(), text.end()) {
        storage.resize(text.size() + static_cast<size_t>(extra), 'Z');
        ByteBufInit(storage.data(), 0, static_cast<int>(text.size()), static_cast<int>(storage.size()), &buf);
    }
};

struct EndianCase {
    const char* name;
    int (*put)(uint64_t, ByteBuf*);
    uint64_t (*get)(ByteBuf*);
    uint64_t value;
    std::vector<unsigned char> bytes;
};

template <int (*Put)(uint32_t, ByteBuf*)> int Put32(uint64_t v, ByteBuf* b) {
    return Put(static_cast<uint32_t>(v), b);
}
template <uint32_t (*Get)(ByteBuf*)> uint64_t Get32(ByteBuf* b) {
    return Get(b);
}

const EndianCase kEndianCases[] = {
    {"U8", Put32<ByteBufPutU8>, Get32<ByteBufGetU8>, 0xAB, {0xAB}},
    {"WriteU8/ReadU8", Put32<ByteBufWriteU8>, Get32<ByteBufReadU8>, 0x1FF, {0xFF}},
    {"U16BE", Put32<ByteBufPutU16BE>, Get32<ByteBufGetU16BE>, 0x0102, {0x01, 0x02}},
    {"StoreU16BE/ReadU16BE", Put32<ByteBufStoreU16BE>, Get32<ByteBufReadU16BE>, 0xBEEF, {0xBE, 0xEF}},
    {"WriteU16BE", Put32<ByteBufWriteU16BE>, Get32<ByteBufGetU16BE>, 0xFFFF, {0xFF, 0xFF}},
    {"U16LE", Put32<ByteBufPutU16LE>, Get32<ByteBufGetU16LE>, 0x0102, {0x02, 0x01}},
    {"WriteU16LE/ReadU16LE", Put32<ByteBufWriteU16LE>, Get32<ByteBufReadU16LE>, 0x8001, {0x01, 0x80}},
    {"U24BE", Put32<ByteBufPutU24BE>, Get32<ByteBufGetU24BE>, 0xAABBCC, {0xAA, 0xBB, 0xCC}},
    {"U24LE", Put32<ByteBufPutU24LE>, Get32<ByteBufGetU24LE>, 0xAABBCC, {0xCC, 0xBB, 0xAA}},
    {"U32BE", Put32<ByteBufPutU32BE>, Get32<ByteBufGetU32BE>, 0x01020304, {0x01, 0x02, 0x03, 0x04}},
    {"WriteU32BE/ReadU32BE",
     Put32<ByteBufWriteU32BE>,
     Get32<ByteBufReadU32BE>,
     0xFFFFFFFE,
     {0xFF, 0xFF, 0xFF, 0xFE}},
    {"U32LE", Put32<ByteBufPutU32LE>, Get32<ByteBufGetU32LE>, 0x01020304, {0x04, 0x03, 0x02, 0x01}},
    {"WriteU32LE/ReadU32LE", Put32<ByteBufWriteU32LE>, Get32<ByteBufReadU32LE>, 0x80000000, {0, 0, 0, 0x80}},
    {"U64BE", ByteBufPutU64BE, ByteBufGetU64BE, 0x0102030405060708ull, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"U64LE", ByteBufPutU64LE, ByteBufGetU64LE, 0x0102030405060708ull, {8, 7, 6, 5, 4, 3, 2, 1}},
};

TEST(ByteBufEndian, EveryWidthWritesItsByteOrderAndReadsBack) {
    for (const EndianCase& c : kEndianCases) {
        SCOPED_TRACE(c.name);
        OwnedBuf b(16);
        EXPECT_EQ(0, c.put(c.value, &b.buf));
        EXPECT_EQ(c.bytes, b.Written());
        EXPECT_EQ(static_cast<int>(c.bytes.size()), ByteBufPosition(&b.buf));
        ByteBufFlip(&b.buf);
        uint64_t mask = c.bytes.size() == 8 ? ~0ull : ((1ull << (8 * c.bytes.size())) - 1);
        EXPECT_EQ(c.value & mask, c.get(&b.buf));
        EXPECT_EQ(0, ByteBufReadable(&b.buf));
    }
}

TEST(ByteBufEndian, DoubleAndReversedAndArrays) {
    OwnedBuf b(64);
    ByteBufPutDouble(-2.5, &b.buf);
    const unsigned char rev[] = {1, 2, 3};
    ByteBufPutReversed(rev, 3, &b.buf);
    ByteBufWriteReversed(rev, 1, &b.buf);
    for (uint32_t v : {1u, 2u, 3u, 4u}) {
        ByteBufPutU32BE(v, &b.buf);
    }
    ByteBufPutU16LE(0x1234, &b.buf);
    ByteBufPutU16LE(0x5678, &b.buf);
    ByteBufFlip(&b.buf);
    EXPECT_EQ(-2.5, ByteBufGetDouble(&b.buf));
    EXPECT_EQ(3u, ByteBufGetU8(&b.buf));
    EXPECT_EQ(2u, ByteBufGetU8(&b.buf));
    EXPECT_EQ(1u, ByteBufGetU8(&b.buf));
    EXPECT_EQ(1u, ByteBufGetU8(&b.buf));
    ByteBufPairU32 pairs[2];
    EXPECT_EQ(0, ByteBufGetPairsU32BE(2, pairs, &b.buf));
    EXPECT_EQ(1u, pairs[0].first);
    EXPECT_EQ(2u, pairs[0].second);
    EXPECT_EQ(4u, pairs[1].second);
    uint16_t halves[2];
    EXPECT_EQ(0, ByteBufReadArrayU16LE(2, halves, &b.buf));
    EXPECT_EQ(0x1234, halves[0]);
    EXPECT_EQ(0x5678, halves[1]);
    EXPECT_EQ(0, ByteBufReadable(&b.buf));
}

TEST(ByteBufCursor, SkipIsClampedToTheReadableRange) {
    TextBuf t("0123456789");
    ByteBufSetPosition(4, &t.buf);
    ByteBufSkip(-10, &t.buf);
    EXPECT_EQ(0, ByteBufPosition(&t.buf));
    ByteBufSetPosition(4, &t.buf);
    ByteBufSkip(100, &t.buf);
    EXPECT_EQ(10, ByteBufPosition(&t.buf));
    ByteBufSkip(-3, &t.buf);
    EXPECT_EQ(7, ByteBufPosition(&t.buf));
}

TEST(ByteBufCursor, AdvanceStopsAtCapacityAndMoveCompacts) {
    OwnedBuf b(8);
    ByteBufAdvance(100, &b.buf);
    EXPECT_EQ(8, ByteBufPosition(&b.buf));
    ByteBufRewind(&b.buf);
    ByteBufPutRaw("abcdef", 6, &b.buf);
    ByteBufFlip(&b.buf);
    ByteBufSkip(4, &b.buf);
    EXPECT_EQ(0, ByteBufCompact(&b.buf));
    EXPECT_EQ(0, ByteBufPosition(&b.buf));
    EXPECT_EQ(2, ByteBufReadable(&b.buf));
    EXPECT_EQ(0, memcmp(b.buf.data, "ef", 2));
    // A move that would carry the bytes past the storage is refused.
    EXPECT_EQ(-1, ByteBufMove(7, 0, &b.buf));
    EXPECT_EQ(2, b.buf.limit);
}

TEST(ByteBufCursor, TerminatorsNeedRoomInTheStorage) {
    OwnedBuf b(4);
    ByteBufPutU32BE(0x41424344, &b.buf);
    EXPECT_EQ(-3, ByteBufFlipTerminated(&b.buf));
    EXPECT_EQ(4, ByteBufPosition(&b.buf));
    ByteBufSetPosition(3, &b.buf);
    EXPECT_EQ(0, ByteBufFlipTerminated(&b.buf));
    EXPECT_EQ(3, b.buf.limit);
    EXPECT_EQ(0, b.buf.data[3]);
    EXPECT_EQ(0, ByteBufTerminate(&b.buf));
    EXPECT_EQ(4, b.buf.limit);
    EXPECT_EQ(-3, ByteBufTerminate(&b.buf));
}

TEST(ByteBufCursor, ResetReleasesOnlyItsOwnStorage) {
    unsigned char mine[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteBuf b{};
    ByteBufInit(mine, 2, 6, 6, &b);
    EXPECT_EQ(mine + 2, b.data);
    EXPECT_EQ(4, ByteBufReadable(&b));
    EXPECT_EQ(3u, ByteBufGetU8(&b));
    EXPECT_EQ(0, ByteBufReset(1, &b)); // must not free the caller's array
    EXPECT_EQ(nullptr, b.data);
    EXPECT_EQ(0, b.capacity);
    OwnedBuf o(4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, o.buf.data[i]);
    }
    ByteBufPutU8(9, &o.buf);
    ByteBufClear(&o.buf);
    EXPECT_EQ(0, ByteBufPosition(&o.buf));
    EXPECT_NE(nullptr, o.buf.data);
    EXPECT_EQ(0, ByteBufNop(nullptr, nullptr));
}

TEST(ByteBufRaw, CheckedCopiesRefuseWhatDoesNotFit) {
    OwnedBuf b(6);
    EXPECT_EQ(4, ByteBufPutRawChecked("abcd", 4, &b.buf));
    EXPECT_EQ(-1, ByteBufPutRawChecked("efg", 3, &b.buf));
    EXPECT_EQ(4, ByteBufPosition(&b.buf));
    ByteBufFlip(&b.buf);
    char out[8] = {};
    EXPECT_EQ(-1, ByteBufGetRawChecked(out, 5, &b.buf));
    EXPECT_EQ(0, ByteBufPosition(&b.buf));
    EXPECT_EQ(3, ByteBufGetRawChecked(out, 3, &b.buf));
    EXPECT_STREQ("abc", out);
}

TEST(ByteBufRaw, BlobFourCCCStringAndFill) {
    OwnedBuf b(64);
    ByteBufPutBlob("xyz", 3, &b.buf);
    const unsigned char cc[4] = {'R', 'I', 'F', 'F'};
    EXPECT_EQ(4, ByteBufPutFourCC(cc, &b.buf));
    EXPECT_EQ(6, ByteBufPutCString("hello", &b.buf));
    ByteBufFill(0x7E, 3, &b.buf);
    EXPECT_EQ((std::vector<unsigned char>{0,   0,   0,   3,   'x', 'y', 'z', 'R',  'I',  'F',
                                          'F', 'h', 'e', 'l', 'l', 'o', 0,   0x7E, 0x7E, 0x7E}),
              b.Written());
    ByteBufFlip(&b.buf);
    char blob[8] = {};
    EXPECT_EQ(3, ByteBufGetBlob(blob, &b.buf));
    EXPECT_STREQ("xyz", blob);
    unsigned char fourcc[4];
    ByteBufGetFourCC(fourcc, &b.buf);
    EXPECT_EQ(0, memcmp(fourcc, cc, 4));
    char text[16];
    EXPECT_EQ(0, ByteBufGetCString(text, sizeof(text), &b.buf));
    EXPECT_STREQ("hello", text);
    EXPECT_EQ(17, ByteBufPosition(&b.buf));
}

TEST(ByteBufRaw, CheckedBlobRefusesALengthBeyondTheDataOrTheOutBuffer) {
    OwnedBuf b(16);
    ByteBufPutU32BE(100, &b.buf); // claims 100 bytes, holds 2
    ByteBufPutRaw("ab", 2, &b.buf);
    ByteBufFlip(&b.buf);
    char out[4];
    EXPECT_EQ(-1, ByteBufGetBlobChecked(out, sizeof(out), &b.buf));
    EXPECT_EQ(0, ByteBufPosition(&b.buf));
    OwnedBuf c(16);
    ByteBufPutBlob("abcdef", 6, &c.buf);
    ByteBufFlip(&c.buf);
    EXPECT_EQ(-1, ByteBufGetBlobChecked(out, sizeof(out), &c.buf));
    char big[8] = {};
    EXPECT_EQ(6, ByteBufGetBlobChecked(big, sizeof(big), &c.buf));
    EXPECT_STREQ("abcdef", big);
}

TEST(ByteBufPatch, ReservesAndPatchesAWord) {
    OwnedBuf b(16);
    ByteBufSetPosition(8, &b.buf);
    EXPECT_EQ(8, ByteBufPatchU32BE(-1, 0, &b.buf));
    EXPECT_EQ(12, ByteBufPosition(&b.buf));
    EXPECT_EQ(4, ByteBufPatchU32BE(5, 8, &b.buf));
    EXPECT_EQ(12, ByteBufPosition(&b.buf));
    EXPECT_EQ((std::vector<unsigned char>{0, 0, 0, 5}),
              std::vector<unsigned char>(b.buf.data + 8, b.buf.data + 12));
}

TEST(ByteBufText, GetCStringKeepsThePositionWhenTheOutBufferIsTooSmall) {
    TextBuf t(std::string("hello\0rest", 10));
    char out[8];
    EXPECT_EQ(-3, ByteBufGetCString(out, 5, &t.buf));
    EXPECT_EQ(0, ByteBufPosition(&t.buf));
    EXPECT_EQ(0, ByteBufGetCString(out, 6, &t.buf));
    EXPECT_STREQ("hello", out);
    EXPECT_EQ(6, ByteBufPosition(&t.buf));
}

TEST(ByteBufText, GetCStringStopsAtTheLimitWhenNoNulFollows) {
    TextBuf t("abc", 8); // the storage after the limit holds no NUL
    char out[16];
    EXPECT_EQ(0, ByteBufGetCString(out, sizeof(out), &t.buf));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(3, ByteBufPosition(&t.buf));
    EXPECT_EQ(-1, ByteBufGetCString(out, sizeof(out), &t.buf));
}

TEST(ByteBufText, GetUntilReadsFieldsAndKeepsACutText) {
    TextBuf t("  name=value;x");
    ByteBufSetDelimiters(" ", 1, &t.buf);
    char out[16];
    EXPECT_EQ(0, ByteBufGetUntil(out, sizeof(out), '=', &t.buf));
    EXPECT_STREQ("name", out);
    EXPECT_EQ(0, ByteBufGetUntil(out, 4, ';', &t.buf));
    EXPECT_STREQ("val", out);
    EXPECT_EQ(0, ByteBufGetUntil(out, sizeof(out), ';', &t.buf));
    EXPECT_STREQ("ue", out);
    EXPECT_EQ(0, ByteBufGetUntil(out, sizeof(out), ';', &t.buf));
    EXPECT_STREQ("x", out);
    EXPECT_EQ(-1, ByteBufGetUntil(out, sizeof(out), ';', &t.buf));
}

TEST(ByteBufText, AppendsStoreWhatFitsAndAdvanceByIt) {
    OwnedBuf b(12);
    EXPECT_EQ(3, ByteBufAppendInt(-42, &b.buf));
    EXPECT_EQ(1, ByteBufAppendFormat(&b.buf, "%c", ','));
    EXPECT_EQ(5, ByteBufAppendInt64(12345, &b.buf));
    EXPECT_EQ(9, ByteBufPosition(&b.buf));
    // "1.500000" needs 8 characters; 3 bytes are free, 2 characters and the terminator fit.
    EXPECT_EQ(2, ByteBufAppendDouble(1.5, &b.buf));
    EXPECT_EQ(11, ByteBufPosition(&b.buf));
    EXPECT_STREQ("-42,123451.", reinterpret_cast<char*>(b.buf.data));
    EXPECT_EQ(0, ByteBufAppendInt(7, &b.buf));
    EXPECT_EQ(11, ByteBufPosition(&b.buf));
}

struct ParseCase {
    const char* text;
    const char* delimiters;
    int rc;
    long long value;
    int position;
};

TEST(ByteBufParse, IntegersWithDelimiters) {
    const ParseCase cases[] = {
        {" ,42,7", " ,", 0, 42, 4},
        {"007x", "", 0, 7, 3},
        {",,", ",", -1, 0, 2},
        {"-5", "", -1, 0, 0}, // no sign is collected
        {"999999999999999", "", 0, 2147483647, 15},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        TextBuf t(c.text);
        ByteBufSetDelimiters(c.delimiters, static_cast<int>(strlen(c.delimiters)), &t.buf);
        int value = -1;
        EXPECT_EQ(c.rc, ByteBufParseInt(&value, &t.buf));
        if (c.rc == 0) {
            EXPECT_EQ(c.value, value);
        }
        EXPECT_EQ(c.position, ByteBufPosition(&t.buf));
    }
}

TEST(ByteBufParse, HexAndFloat) {
    TextBuf hex("1aG");
    unsigned h = 0;
    EXPECT_EQ(0, ByteBufParseHex(&h, &hex.buf));
    EXPECT_EQ(0x1au, h);
    EXPECT_EQ(2, ByteBufPosition(&hex.buf));
    EXPECT_EQ(-1, ByteBufParseHex(&h, &hex.buf));

    TextBuf fl("3.25;.");
    ByteBufSetDelimiters(";", 1, &fl.buf);
    float f = 0;
    EXPECT_EQ(0, ByteBufParseFloat(&f, &fl.buf));
    EXPECT_FLOAT_EQ(3.25f, f);
    EXPECT_EQ(4, ByteBufPosition(&fl.buf));
    EXPECT_EQ(-1, ByteBufParseFloat(&f, &fl.buf)); // a lone '.' is no number
}

TEST(ByteBufSearch, SkipPastMatchPrefixAndFind) {
    TextBuf t("Key: value; bytesin=1234,bytesout=99");
    ByteBufSetDelimiters(" ", 1, &t.buf);
    EXPECT_EQ(0, ByteBufMatchPrefix("KEY:", &t.buf));
    EXPECT_EQ(4, ByteBufPosition(&t.buf));
    EXPECT_EQ(-1, ByteBufMatchPrefix("nothing", &t.buf));
    EXPECT_EQ(5, ByteBufPosition(&t.buf)); // the delimiters before it were skipped
    EXPECT_EQ(7, ByteBufFind("bytesin", &t.buf));
    EXPECT_EQ(-1, ByteBufFind("absent", &t.buf));
    int in = 0;
    EXPECT_EQ(0, ByteBufParseIntAfter(&in, "bytesin=", &t.buf));
    EXPECT_EQ(1234, in);
    int out = 0;
    EXPECT_EQ(-1, ByteBufParseIntAfter(&out, "missing=", &t.buf));
    EXPECT_EQ(0, ByteBufParseIntAfter(&out, "bytesout=", &t.buf));
    EXPECT_EQ(99, out);
    EXPECT_EQ(-1, ByteBufSkipPast("x", &t.buf)); // nothing readable any more
}

TEST(ByteBufSearch, FindStopsAtTheLimit) {
    TextBuf t("abc", 0);
    std::string after = "needle";
    t.storage.insert(t.storage.end(), after.begin(), after.end());
    ByteBufInit(t.storage.data(), 0, 3, static_cast<int>(t.storage.size()), &t.buf);
    EXPECT_EQ(-1, ByteBufFind("needle", &t.buf));
    EXPECT_EQ(-1, ByteBufFind("cn", &t.buf));
    EXPECT_EQ(1, ByteBufFind("bc", &t.buf));
}

TEST(ByteBufSearch, GetCStringAfterAText) {
    TextBuf t(std::string("name= Alice\0tail", 16));
    ByteBufSetDelimiters(" ", 1, &t.buf);
    char out[16];
    EXPECT_EQ(0, ByteBufGetCStringAfter(out, sizeof(out), "name=", &t.buf));
    EXPECT_STREQ("Alice", out);
    EXPECT_EQ(-1, ByteBufGetCStringAfter(out, sizeof(out), "name=", &t.buf));
}

TEST(ByteBufMarker, FindSkipAndSearchBeforeTheMarker) {
    TextBuf t("ab--cd--ef");
    const unsigned char dashes[] = {'-', '-'};
    EXPECT_EQ(-1, ByteBufFindMarker(&t.buf)); // no marker set yet
    ByteBufSetMarker(dashes, 2, &t.buf);
    EXPECT_EQ(2, ByteBufFindMarker(&t.buf));
    EXPECT_EQ(1, ByteBufFindBeforeMarker("b", &t.buf));
    EXPECT_EQ(-1, ByteBufFindBeforeMarker("cd", &t.buf));
    EXPECT_EQ(0, ByteBufSkipPastMarker(&t.buf));
    EXPECT_EQ(4, ByteBufPosition(&t.buf));
    EXPECT_EQ(6, ByteBufFindMarker(&t.buf));
    EXPECT_EQ(0, ByteBufSkipPastMarker(&t.buf));
    EXPECT_EQ(8, ByteBufPosition(&t.buf));
    // No marker follows: the position stays.
    EXPECT_EQ(-1, ByteBufSkipPastMarker(&t.buf));
    EXPECT_EQ(8, ByteBufPosition(&t.buf));
}

TEST(ByteBufStream, WriteAndReadFiles) {
    FILE* f = tmpfile();
    ASSERT_NE(nullptr, f);
    OwnedBuf w(8);
    ByteBufPutU32BE(0x01020304, &w.buf);
    EXPECT_EQ(0, ByteBufWriteFile(f, &w.buf));
    rewind(f);
    OwnedBuf r(6);
    // Asking for more than the file holds grows the limit only by what was read.
    EXPECT_EQ(0, ByteBufReadFile(f, 6, &r.buf));
    EXPECT_EQ(4, ByteBufReadable(&r.buf));
    EXPECT_EQ(0x01020304u, ByteBufGetU32BE(&r.buf));
    // More than the free storage is refused.
    EXPECT_EQ(-1, ByteBufReadFile(f, 3, &r.buf));
    fclose(f);
}

} // namespace
