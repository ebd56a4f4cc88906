#include "StrUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct CheckCase {
    std::string bytes;
    int valid;
    int count;
};

TEST(Utf8Check, CountsCharactersAndRejectsBadBytes) {
    const CheckCase cases[] = {
        {"", 1, 0},
        {"a\xC3\xA9", 1, 2},
        {"\xC3\x41", 0, 0},
        {"\xC3", 1, 1}, // cut short by the end: accepted and counted
        {"\xFE", 0, 0},
        {"\xFF", 0, 0},
        {"\x80", 0, 0}, // a stray continuation byte
        {"\xE2\x82\xAC\xF0\x9F\x98\x80", 1, 2},
        {"\xC0\x80", 1, 1},                 // overlong forms are not rejected
        {"\xED\xA0\x80", 1, 1},             // nor surrogates
        {"\xF8\x88\x80\x80\x80z", 1, 2},    // five-byte form
        {"\xFC\x84\x80\x80\x80\x80", 1, 1}, // six-byte form
        {"\xE2\x82", 1, 1},
        {"\xE2\x82z", 0, 0},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        int count = -1;
        EXPECT_EQ(c.valid, Utf8CheckAndCount(c.bytes.c_str(), &count));
        if (c.valid) {
            EXPECT_EQ(c.count, count);
        }
    }
}

TEST(Utf8CopyBounded, CutsBeforeACharacterThatWouldCrossTheEnd) {
    struct Case {
        const char* text;
        size_t size;
        const char* copied;
    } const cases[] = {
        {"abc", 4, "abc"},
        {"abcd", 4, "abc"},
        {"a\xC3\xA9", 3, "a"}, // é would need bytes 1 and 2 plus the terminator
        {"a\xC3\xA9", 4, "a\xC3\xA9"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"},
        {"\xF0\x9F\x98\x80", 4, ""},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char out[16];
        std::memset(out, 'x', sizeof(out));
        EXPECT_EQ(Utf8CopyBounded(out, c.size, c.text), std::strlen(c.copied));
        EXPECT_STREQ(out, c.copied);
        EXPECT_EQ(out[c.size], 'x'); // nothing written past the array
    }
    char one[1];
    EXPECT_EQ(Utf8CopyBounded(one, sizeof(one), nullptr), 0u);
    EXPECT_EQ(one[0], '\0');
}

struct DecodeCase {
    std::string bytes;
    std::vector<int> points;
};

TEST(Utf8Decode, CodePointsByLeadByte) {
    const DecodeCase cases[] = {
        {"", {0}},
        {"A", {0x41}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"a\xC3\xA9z", {0x61, 0xE9, 0x7A}},
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\x80", {0x00}}, // a stray continuation byte keeps its low seven bits
        {"\xBF!", {0x3F, 0x21}},
        {"\xC3\x41", {0xC1}},   // following bytes are taken as they are
        {"\xE2\x82", {0x2080}}, // cut short: the missing byte counts as zero bits
        {"x\xF0\x9F", {0x78, 0x1F000}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        int out[8];
        int n = Utf8ToCodePoints(c.bytes.c_str(), out);
        EXPECT_EQ(c.points, std::vector<int>(out, out + n));
    }
    int small[2];
    EXPECT_EQ(-1, Utf8ToCodePoints("abc", small, 2));
    EXPECT_EQ(2, Utf8ToCodePoints("ab", small, 2));
}

TEST(Conversions, Utf8AndUtf16BothWays) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"plain", u"plain"},
        {"K\xC3\xB6rva \xE2\x82\xAC", u"K\u00F6rva \u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        char16_t wide[32];
        EXPECT_EQ(static_cast<int>(c.utf16.size() + 1), Utf8ToUtf16Buf(c.utf8.c_str(), wide));
        EXPECT_EQ(c.utf16, std::u16string(wide));
        EXPECT_EQ(static_cast<int>(c.utf16.size() + 1), AnsiToUtf16(c.utf8.c_str(), wide));
        char narrow[32];
        EXPECT_EQ(static_cast<int>(c.utf8.size() + 1), Utf16ToUtf8(c.utf16.c_str(), narrow));
        EXPECT_EQ(c.utf8, narrow);
        EXPECT_EQ(static_cast<int>(c.utf8.size() + 1), Utf16ToAnsi(c.utf16.c_str(), narrow));
        EXPECT_EQ(c.utf8, narrow);
        EXPECT_EQ(static_cast<int>(c.utf8.size() + 1), Utf8ToAnsi(c.utf8.c_str(), narrow));
        EXPECT_EQ(c.utf8, narrow);
        EXPECT_EQ(static_cast<int>(c.utf8.size() + 1), AnsiToUtf8(c.utf8.c_str(), narrow));
        EXPECT_EQ(c.utf8, narrow);
        EXPECT_EQ(static_cast<int>(c.utf8.size() + 1), FileApiToUtf8(c.utf8.c_str(), narrow));
        EXPECT_EQ(c.utf8, narrow);
    }
}

TEST(Conversions, InvalidInputBecomesReplacementCharacters) {
    char16_t wide[16];
    EXPECT_EQ(4, Utf8ToUtf16Buf("a\xFF\xC3", wide));
    EXPECT_EQ(u"a\uFFFD\uFFFD", std::u16string(wide));
    EXPECT_EQ(3, Utf8ToUtf16Buf("\xC0\x80", wide)); // overlong: each byte replaced
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    char narrow[16];
    EXPECT_EQ(6, Utf16ToUtf8(lone, narrow));
    EXPECT_STREQ("x\xEF\xBF\xBDy", narrow);
    EXPECT_EQ(5, Utf8ToAnsi("\xFE|", narrow));
    EXPECT_STREQ("\xEF\xBF\xBD|", narrow);
}

TEST(Conversions, SizedFormsRefuseWhatDoesNotFit) {
    char16_t wide[4];
    EXPECT_EQ(0, Utf8ToUtf16Buf("abcd", wide, 4));
    EXPECT_EQ(u"", std::u16string(wide));
    EXPECT_EQ(4, Utf8ToUtf16Buf("abc", wide, 4));
    char narrow[4];
    EXPECT_EQ(0, Utf16ToUtf8(u"\u20AC", narrow, 3));
    EXPECT_STREQ("", narrow);
    EXPECT_EQ(4, Utf16ToUtf8(u"\u20AC", narrow, 4));
    EXPECT_EQ(0, Utf8ToAnsi("\xFF\xFF", narrow, 4)); // two replacements need 7 bytes
    EXPECT_EQ(0, Utf8ToUtf16Buf(nullptr, wide));
    EXPECT_EQ(0, Utf16ToUtf8(nullptr, narrow));
}

TEST(Conversions, InPlaceForms) {
    char buffer[16] = "K\xC3\xB6rva";
    EXPECT_EQ(7, AnsiToUtf8InPlace(buffer));
    EXPECT_STREQ("K\xC3\xB6rva", buffer);
    char bad[8] = "a\xFF";
    EXPECT_EQ(0, Utf8ToAnsiInPlace(bad, 4)); // "a" + U+FFFD needs 5 bytes
    char room[8] = "a\xFF";
    EXPECT_EQ(5, Utf8ToAnsiInPlace(room, sizeof(room)));
    EXPECT_STREQ("a\xEF\xBF\xBD", room);
}

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(MakeDirPath, CreatesEachMissingLevel) {
    struct Case {
        const char* path;
        int rc;
        const char* made; // a folder that exists afterwards
    };
    std::ofstream("plain-file") << "x";
    const Case cases[] = {
        {"one/two/three", 0, "one/two/three"},
        {"one/two/three", 0, "one/two/three"}, // all there: nothing to do
        {"back\\slash\\sep", 0, "back/slash/sep"},
        {"trail/", 0, "trail"},
        {"mixed/a\\b/", 0, "mixed/a/b"},
        {"", 0, "."},
        {"plain-file/sub", -1, nullptr}, // a level that is a file
        {"plain-file", -1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.rc, MakeDirPath(c.path));
        if (c.made != nullptr) {
            EXPECT_TRUE(IsDir(c.made));
        }
    }
    EXPECT_EQ(-1, MakeDirPath(nullptr));
    std::string longest(254, 'a');
    std::string tooLong(255, 'a');
    EXPECT_EQ(-1, MakeDirPath(tooLong.c_str()));
    EXPECT_FALSE(IsDir(tooLong));
    EXPECT_EQ(0, MakeDirPath(longest.c_str()));
    EXPECT_TRUE(IsDir(longest));
}

TEST(MakeDirPath, AbsolutePathAndModeOfNewLevels) {
    std::string base = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/mdp-abs/x/y";
    EXPECT_EQ(0, MakeDirPath(base.c_str()));
    EXPECT_TRUE(IsDir(base));
    struct stat st;
    ASSERT_EQ(0, stat(base.c_str(), &st));
    EXPECT_EQ(0u, st.st_mode & 077u); // private by default: the data folder holds secrets
    EXPECT_EQ(-1, MakeDirPath("/proc/no-such-level/x"));
}

TEST(FileNameFromPath, TextAfterTheLastSeparator) {
    char out[32];
    EXPECT_EQ(0, FileNameFromPath("C:\\dir\\file.txt", out));
    EXPECT_STREQ("file.txt", out);
    EXPECT_EQ(0, FileNameFromPath("/var/log/korva.log", out));
    EXPECT_STREQ("korva.log", out);
    EXPECT_EQ(0, FileNameFromPath("dir/", out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(-1, FileNameFromPath("nofolder", out));
    EXPECT_EQ(-1, FileNameFromPath(nullptr, out));
    EXPECT_EQ(-1, FileNameFromPath("/a/longname", out, 8));
    EXPECT_EQ(0, FileNameFromPath("/a/longname", out, 9));
}

TEST(Strings, IsSetAndToInt) {
    EXPECT_EQ(0, StrIsSet(nullptr));
    EXPECT_EQ(0, StrIsSet(""));
    EXPECT_EQ(1, StrIsSet(" "));
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"0x1F", 31},
        {"0X", 0},
        {"0x1G", 0},
        {"42abc", 42},
        {"-7", -7},
        {"  12", 12},
        {"", 0},
        {"7", 7},
        {"0xffffffff", -1},
        {"99999999999", 2147483647},
        {"0", 0},
        {"0x7fffffff", 2147483647},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, StrToInt(c.text)) << c.text;
    }
    EXPECT_EQ(0, StrToInt(nullptr));
}

TEST(Strings, CaseChanges) {
    char text[] = "Korva VPN 1.0";
    EXPECT_EQ(0, StrToUpper(text));
    EXPECT_STREQ("KORVA VPN 1.0", text);
    EXPECT_EQ(0, StrToLower(text));
    EXPECT_STREQ("korva vpn 1.0", text);
    EXPECT_EQ(-1, StrToUpper(nullptr));
    EXPECT_EQ(-1, StrToLower(nullptr));
    char out[8];
    EXPECT_EQ(0, StrCopyUpper("abC", out));
    EXPECT_STREQ("ABC", out);
    EXPECT_EQ(0, StrCopyLower("AbC", out));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(-1, StrCopyLower(nullptr, out));
    EXPECT_EQ(-1, StrCopyUpper("too long", out, sizeof(out)));
}

TEST(Strings, Tokens) {
    char word[16];
    EXPECT_EQ(2, StrScanToken("  alpha beta", word));
    EXPECT_STREQ("alpha", word);
    EXPECT_EQ(-1, StrScanToken("   ", word));
    EXPECT_EQ(-1, StrScanToken(nullptr, word));
    EXPECT_EQ(-1, StrScanToken("averyveryverylongword", word, sizeof(word)));

    const char* cursor = " one  two\tthree ";
    std::vector<std::string> words;
    while (StrNextToken(&cursor, word) == 0) {
        words.push_back(word);
    }
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), words);
    EXPECT_STREQ(" ", cursor);
}

TEST(Strings, ReplaceAll) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* result;
    };
    const Case cases[] = {
        {"a-b-c", "-", "+", "a+b+c"}, {"aaaa", "aa", "b", "bb"},          {"none", "x", "y", "none"},
        {"abab", "ab", "", ""},       {"path\\to", "\\", "/", "path/to"}, {"", "a", "b", ""},
        {"xyx", "x", "xx", "xxyxx"},
    };
    for (const Case& c : cases) {
        char out[32];
        EXPECT_EQ(0, StrReplaceAll(c.text, out, c.search, c.replacement)) << c.text;
        EXPECT_STREQ(c.result, out);
    }
    char out[8];
    EXPECT_EQ(-1, StrReplaceAll("abc", out, "", "x"));
    EXPECT_EQ(-1, StrReplaceAll(nullptr, out, "a", "b"));
    EXPECT_EQ(-1, StrReplaceAll("abc", out, sizeof(out), "b", "12345678"));
}

TEST(Strings, UrlEncodingAndHexPairs) {
    char out[64];
    EXPECT_EQ(0, UrlEncode("a b/c~", out));
    EXPECT_STREQ("a%20b%2fc~", out);
    EXPECT_EQ(0, UrlEncode("Az09-_.~\xC3\xA9", out));
    EXPECT_STREQ("Az09-_.~%c3%a9", out);
    EXPECT_EQ(0, UrlDecode("a+b%41", out));
    EXPECT_STREQ("a bA", out);
    EXPECT_EQ(0, UrlDecode("%c3%A9%2F", out));
    EXPECT_STREQ("\xC3\xA9/", out);
    EXPECT_EQ(0, UrlDecode("cut%4", out)); // nothing is read past the end
    EXPECT_STREQ("cut%4", out);
    EXPECT_EQ(0, UrlDecode("end%", out));
    EXPECT_STREQ("end%", out);
    EXPECT_EQ(-1, UrlEncode(nullptr, out));
    EXPECT_EQ(-1, UrlDecode("x", nullptr));
    EXPECT_EQ(-1, UrlEncode("   ", out, 9)); // needs 10 bytes
    EXPECT_EQ(0xAB, HexPairToByte('a', 'B'));
    EXPECT_EQ(0x0F, HexPairToByte('0', 'f'));
    EXPECT_EQ(0x10, HexPairToByte('1', 'z')); // a non-digit adds nothing
}

TEST(Strings, BracesAndDigits) {
    struct Case {
        const char* text;
        int length;
        int closed;
    };
    const Case cases[] = {
        {"{a}", 3, 1},  {"{a", 2, 0},  {"}{}", 3, 0}, {"{{}}", 4, 1},
        {"{{}}", 3, 0}, {"{}", 50, 1}, {"{", 50, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.closed, HasClosedBrace(c.text, c.length)) << c.text << " " << c.length;
    }
    EXPECT_EQ(1, StrIsDigits("0123"));
    EXPECT_EQ(0, StrIsDigits(""));
    EXPECT_EQ(0, StrIsDigits("12a"));
    EXPECT_EQ(0, StrIsDigits("-1"));
}

TEST(Strings, SizeTexts) {
    struct Case {
        const char* text;
        int64_t bytes;
    };
    const Case cases[] = {
        {"10", 10},      {"abc", 0},     {"1.5K", 1536}, {"2GB", 2147483648LL},
        {"3m", 3145728}, {"512 B", 512}, {"", 0},        {"0.5k", 512},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.bytes, SizeTextToBytes(c.text)) << c.text;
    }
    EXPECT_EQ(-1, SizeTextToBytes(nullptr));

    struct Back {
        int64_t bytes;
        const char* text;
    };
    const Back backs[] = {
        {0, "0B"},           {1023, "1023B"},     {1024, "1.00KB"},       {1536, "1.50KB"},
        {1048576, "1.00MB"}, {1572864, "1.50MB"}, {1073741824, "1.00GB"}, {5368709120LL, "5.00GB"},
    };
    for (const Back& b : backs) {
        char out[32];
        EXPECT_EQ(0, BytesToSizeText(b.bytes, out));
        EXPECT_STREQ(b.text, out);
    }
    char small[5];
    EXPECT_EQ(-1, BytesToSizeText(1536, small, sizeof(small)));
}

TEST(Strings, MemFind) {
    const char hay[] = "abcabd";
    EXPECT_EQ(hay + 3, MemFind(hay, 6, "abd", 3));
    EXPECT_EQ(hay, MemFind(hay, 6, "ab", 2));
    EXPECT_EQ(nullptr, MemFind("ab", 2, "bc", 2));
    EXPECT_EQ(nullptr, MemFind(hay, 5, "abd", 3)); // the needle must lie wholly inside
    const unsigned char bin[] = {0, 1, 0, 2};
    const unsigned char needle[] = {0, 2};
    EXPECT_EQ(bin + 2, MemFind(bin, 4, needle, 2));
}

TEST(Strings, InsertSeparator) {
    struct Case {
        const char* text;
        char separator;
        unsigned group;
        unsigned outSize;
        int rc;
        const char* out;
    };
    const Case cases[] = {
        {"abcdef", ':', 2, 16, 0, "ab:cd:ef"},
        {"abcdefg", ':', 2, 16, 0, "ab:cd:ef:g"},
        {"1234567", ',', 3, 16, 0, "123,456,7"},
        {"abcdef", ':', 2, 9, 0, "ab:cd:ef"},
        {"abcdef", ':', 2, 8, -1, "ab:cd:e"},
        {"abc", ':', 0, 4, 0, "abc"},
        {"abc", ':', 0, 3, -1, ""},
        {"", ':', 2, 1, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " group " << c.group << " size " << c.outSize);
        char out[16] = {};
        EXPECT_EQ(c.rc, StrInsertSeparator(c.text, c.separator, c.group, out, c.outSize));
        EXPECT_STREQ(c.out, out);
    }
    char out[4];
    EXPECT_EQ(-1, StrInsertSeparator("a", ':', 1, out, 0));
}

TEST(Strings, CompareDottedVersion) {
    struct Case {
        const char* a;
        const char* b;
        int result;
    };
    const Case cases[] = {
        {"1.2.3", "1.2", 1}, {"1.2", "1.2.3", -1}, {"1.2.3", "1.2.3", 1},
        {"1.10", "1.9", 1},  {"2", "10", -1},      {"1.0.0.1", "1.0.0.0", 1},
        {"", "", 1},         {"0.9", "1.0", -1},   {"1.a", "1.9", 1}, // 'a' counts as 49
        {"1.-", "1.0", -1},                                           // '-' counts as -3
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, CompareDottedVersion(c.a, c.b)) << c.a << " vs " << c.b;
    }
}

} // namespace
