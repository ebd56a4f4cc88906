#include "StrUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char16_t kReplacement = 0xFFFD;

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes one well-formed UTF-8 sequence at s; returns its length and the value, or 0
// when the bytes there are no valid sequence (overlong, surrogate, above U+10FFFF, cut).
int DecodeUtf8(const unsigned char* s, char32_t* value) {
    unsigned char b = s[0];
    if (b < 0x80) {
        *value = b;
        return 1;
    }
    int length;
    char32_t v;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        v = b & 0x1F;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        v = b & 0x0F;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        v = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) {
            return 0; // also stops at the terminator
        }
        v = (v << 6) | (s[k] & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
        return 0;
    }
    *value = v;
    return length;
}

// UTF-8 to UTF-16 with invalid bytes replaced by U+FFFD, one per byte. Writes into out
// when it is not null; returns the units of the result, terminator included.
size_t ConvertUtf8ToUtf16(const char* text, char16_t* out) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t n = 0;
    while (*s != 0) {
        char32_t v;
        int length = DecodeUtf8(s, &v);
        if (length == 0) {
            v = kReplacement;
            length = 1;
        }
        s += length;
        if (v >= 0x10000) {
            if (out != nullptr) {
                out[n] = static_cast<char16_t>(0xD800 + ((v - 0x10000) >> 10));
                out[n + 1] = static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
            }
            n += 2;
        } else {
            if (out != nullptr) {
                out[n] = static_cast<char16_t>(v);
            }
            n += 1;
        }
    }
    if (out != nullptr) {
        out[n] = 0;
    }
    return n + 1;
}

// UTF-16 to UTF-8 with unpaired surrogates replaced by U+FFFD.
size_t ConvertUtf16ToUtf8(const char16_t* wide, char* out) {
    size_t n = 0;
    auto put = [&out, &n](unsigned char c) {
        if (out != nullptr) {
            out[n] = static_cast<char>(c);
        }
        ++n;
    };
    for (const char16_t* w = wide; *w != 0; ++w) {
        char32_t v = *w;
        if (v >= 0xD800 && v <= 0xDBFF && w[1] >= 0xDC00 && w[1] <= 0xDFFF) {
            v = 0x10000 + ((v - 0xD800) << 10) + (w[1] - 0xDC00);
            ++w;
        } else if (v >= 0xD800 && v <= 0xDFFF) {
            v = kReplacement;
        }
        if (v < 0x80) {
            put(static_cast<unsigned char>(v));
        } else if (v < 0x800) {
            put(static_cast<unsigned char>(0xC0 | (v >> 6)));
            put(static_cast<unsigned char>(0x80 | (v & 0x3F)));
        } else if (v < 0x10000) {
            put(static_cast<unsigned char>(0xE0 | (v >> 12)));
            put(static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F)));
            put(static_cast<unsigned char>(0x80 | (v & 0x3F)));
        } else {
            put(static_cast<unsigned char>(0xF0 | (v >> 18)));
            put(static_cast<unsigned char>(0x80 | ((v >> 12) & 0x3F)));
            put(static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F)));
            put(static_cast<unsigned char>(0x80 | (v & 0x3F)));
        }
    }
    if (out != nullptr) {
        out[n] = 0;
    }
    return n + 1;
}

// Size query, then one conversion into the caller's buffer. outSize SIZE_MAX stands for
// "the caller vouches for the room".
int ToUtf16(const char* text, char16_t* out, size_t outSize) {
    if (text == nullptr || out == nullptr) {
        return 0;
    }
    size_t needed = ConvertUtf8ToUtf16(text, nullptr);
    if (needed > outSize || needed > INT_MAX) {
        if (outSize > 0) {
            out[0] = 0;
        }
        return 0;
    }
    return static_cast<int>(ConvertUtf8ToUtf16(text, out));
}

int ToUtf8(const char16_t* wide, char* out, size_t outSize) {
    if (wide == nullptr || out == nullptr) {
        return 0;
    }
    size_t needed = ConvertUtf16ToUtf8(wide, nullptr);
    if (needed > outSize || needed > INT_MAX) {
        if (outSize > 0) {
            out[0] = 0;
        }
        return 0;
    }
    return static_cast<int>(ConvertUtf16ToUtf8(wide, out));
}

// The two-step conversions: through a UTF-16 temporary on the heap, so the input may be
// the output buffer itself.
int ThroughUtf16(const char* text, char* out, size_t outSize) {
    if (text == nullptr || out == nullptr) {
        return 0;
    }
    std::vector<char16_t> wide(ConvertUtf8ToUtf16(text, nullptr));
    ConvertUtf8ToUtf16(text, wide.data());
    return ToUtf8(wide.data(), out, outSize);
}

// Copies text into out when it fits with its terminator; else an empty out and -1.
int CopyFitting(const std::string& text, char* out, size_t outSize) {
    if (text.size() + 1 > outSize) {
        if (outSize > 0) {
            out[0] = '\0';
        }
        return -1;
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return 0;
}

int CopyCase(const char* text, char* out, size_t outSize, int (*change)(int)) {
    if (text == nullptr || out == nullptr) {
        return -1;
    }
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(change(static_cast<unsigned char>(c)));
    }
    return CopyFitting(result, out, outSize);
}

int ChangeCase(char* text, int (*change)(int)) {
    if (text == nullptr) {
        return -1;
    }
    for (char* p = text; *p != '\0'; ++p) {
        *p = static_cast<char>(change(static_cast<unsigned char>(*p)));
    }
    return 0;
}

} // namespace

int Utf8ToUtf16Buf(const char* text, char16_t* out) {
    return ToUtf16(text, out, SIZE_MAX);
}
int Utf8ToUtf16Buf(const char* text, char16_t* out, size_t outSize) {
    return ToUtf16(text, out, outSize);
}
int Utf16ToUtf8(const char16_t* wide, char* out) {
    return ToUtf8(wide, out, SIZE_MAX);
}
int Utf16ToUtf8(const char16_t* wide, char* out, size_t outSize) {
    return ToUtf8(wide, out, outSize);
}

// The ANSI code page is UTF-8 here.
int Utf16ToAnsi(const char16_t* wide, char* out) {
    return ToUtf8(wide, out, SIZE_MAX);
}
int Utf16ToAnsi(const char16_t* wide, char* out, size_t outSize) {
    return ToUtf8(wide, out, outSize);
}
int AnsiToUtf16(const char* text, char16_t* out) {
    return ToUtf16(text, out, SIZE_MAX);
}
int AnsiToUtf16(const char* text, char16_t* out, size_t outSize) {
    return ToUtf16(text, out, outSize);
}
int Utf8ToAnsi(const char* text, char* out) {
    return ThroughUtf16(text, out, SIZE_MAX);
}
int Utf8ToAnsi(const char* text, char* out, size_t outSize) {
    return ThroughUtf16(text, out, outSize);
}
int AnsiToUtf8(const char* text, char* out) {
    return ThroughUtf16(text, out, SIZE_MAX);
}
int AnsiToUtf8(const char* text, char* out, size_t outSize) {
    return ThroughUtf16(text, out, outSize);
}

// The file-API code page is UTF-8 as well.
int FileApiToUtf8(const char* text, char* out) {
    return ThroughUtf16(text, out, SIZE_MAX);
}
int FileApiToUtf8(const char* text, char* out, size_t outSize) {
    return ThroughUtf16(text, out, outSize);
}

int AnsiToUtf8InPlace(char* buffer) {
    return AnsiToUtf8(buffer, buffer);
}
int AnsiToUtf8InPlace(char* buffer, size_t bufferSize) {
    return AnsiToUtf8(buffer, buffer, bufferSize);
}
int Utf8ToAnsiInPlace(char* buffer) {
    return Utf8ToAnsi(buffer, buffer);
}
int Utf8ToAnsiInPlace(char* buffer, size_t bufferSize) {
    return Utf8ToAnsi(buffer, buffer, bufferSize);
}

int Utf8ToCodePoints(const char* text, int* out) {
    return Utf8ToCodePoints(text, out, SIZE_MAX);
}

int Utf8ToCodePoints(const char* text, int* out, size_t outCount) {
    if (text == nullptr || out == nullptr) {
        return 0;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t length = strlen(text);
    size_t i = 0;
    size_t count = 0;
    // The first step runs before any test: an empty text gives one code point, 0.
    do {
        unsigned char b = s[i];
        int width = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        int value = width == 4 ? (b & 0x07) : width == 3 ? (b & 0x0F) : width == 2 ? (b & 0x1F) : (b & 0x7F);
        for (int k = 1; k < width; ++k) {
            // A sequence cut by the end of the text takes zero bits for the missing bytes.
            unsigned char follow = i + k < length ? s[i + k] : 0;
            value = (value << 6) | (follow & 0x3F);
        }
        if (count >= outCount) {
            return -1;
        }
        out[count++] = value;
        i += static_cast<size_t>(width);
    } while (i < length);
    return static_cast<int>(count);
}

int Utf8CheckAndCount(const char* text, int* count) {
    if (text == nullptr || count == nullptr) {
        return 0;
    }
    int expected = 0;
    int characters = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        unsigned char b = *p;
        if (expected > 0) {
            if (b < 0x80 || b > 0xBF) {
                return 0;
            }
            --expected;
            continue;
        }
        ++characters;
        if (b < 0x80) {
            continue;
        }
        if (b >= 0xC0 && b <= 0xDF) {
            expected = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            expected = 2;
        } else if (b >= 0xF0 && b <= 0xF7) {
            expected = 3;
        } else if (b >= 0xF8 && b <= 0xFB) {
            expected = 4;
        } else if (b >= 0xFC && b <= 0xFD) {
            expected = 5;
        } else {
            return 0;
        }
    }
    *count = characters;
    return 1;
}

int MakeDirPath(const char* path, unsigned mode) {
    if (path == nullptr) {
        return -1;
    }
    char work[255];
    size_t length = strlen(path);
    if (length >= sizeof(work)) {
        return -1;
    }
    memset(work, 0, sizeof(work));
    for (size_t i = 0; i < length; ++i) {
        work[i] = IsSeparator(path[i]) ? '/' : path[i];
        char next = path[i + 1];
        if (next != '\0' && !IsSeparator(next)) {
            continue;
        }
        struct stat st;
        if (stat(work, &st) == 0) {
            // A level that exists as a file cannot hold the next one.
            if (!S_ISDIR(st.st_mode)) {
                return -1;
            }
            continue;
        }
        if (mkdir(work, static_cast<mode_t>(mode)) != 0 &&
            !(errno == EEXIST && stat(work, &st) == 0 && S_ISDIR(st.st_mode))) {
            return -1;
        }
    }
    return 0;
}

int MakeFolderPrivate(const char* path) {
    if (path == nullptr || *path == '\0') {
        return -1;
    }
    // Each level is opened below the one before it without following a link, so that a
    // link anywhere on the way leads nowhere.
    int fd = open(*path == '/' ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string text(path);
    size_t at = 0;
    while (fd >= 0 && at < text.size()) {
        const size_t end = std::min(text.find('/', at), text.size());
        const std::string level = text.substr(at, end - at);
        at = end + 1;
        if (level.empty() || level == ".") {
            continue;
        }
        const int next =
            level == ".." ? -1 : openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(fd);
        fd = next;
    }
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    int result = -1;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid()) {
        result = (st.st_mode & 077) == 0 || fchmod(fd, st.st_mode & 0700) == 0 ? 0 : -1;
    }
    close(fd);
    return result;
}

int FileNameFromPath(const char* path, char* out) {
    return FileNameFromPath(path, out, SIZE_MAX);
}

int FileNameFromPath(const char* path, char* out, size_t outSize) {
    if (path == nullptr || out == nullptr) {
        return -1;
    }
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (IsSeparator(*p)) {
            last = p;
        }
    }
    if (last == nullptr) {
        return -1;
    }
    return CopyFitting(last + 1, out, outSize);
}

int StrIsSet(const char* text) {
    return text != nullptr && text[0] != '\0' ? 1 : 0;
}

int StrToInt(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    if (strlen(text) < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        // atoi, without its undefined overflow: out-of-range values are clamped.
        long value = strtol(text, nullptr, 10);
        return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    }
    uint32_t value = 0;
    for (const char* p = text + 2; *p != '\0'; ++p) {
        int digit = HexDigitValue(*p);
        if (digit < 0) {
            return 0;
        }
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return static_cast<int>(value);
}

int StrToUpper(char* text) {
    return ChangeCase(text, toupper);
}
int StrToLower(char* text) {
    return ChangeCase(text, tolower);
}
int StrCopyUpper(const char* text, char* out) {
    return CopyCase(text, out, SIZE_MAX, toupper);
}
int StrCopyUpper(const char* text, char* out, size_t outSize) {
    return CopyCase(text, out, outSize, toupper);
}
int StrCopyLower(const char* text, char* out) {
    return CopyCase(text, out, SIZE_MAX, tolower);
}
int StrCopyLower(const char* text, char* out, size_t outSize) {
    return CopyCase(text, out, outSize, tolower);
}

int StrScanToken(const char* text, char* word) {
    return StrScanToken(text, word, SIZE_MAX);
}

int StrScanToken(const char* text, char* word, size_t wordSize) {
    if (text == nullptr || word == nullptr) {
        return -1;
    }
    // A word is a run of non-blank characters; the offset is where it begins, so that a
    // cursor moved by offset + length lands just after it.
    size_t start = 0;
    while (text[start] != '\0' && IsBlank(static_cast<unsigned char>(text[start]))) {
        ++start;
    }
    size_t end = start;
    while (text[end] != '\0' && !IsBlank(static_cast<unsigned char>(text[end]))) {
        ++end;
    }
    if (end == start || start > INT_MAX) {
        return -1;
    }
    if (CopyFitting(std::string(text + start, end - start), word, wordSize) != 0) {
        return -1;
    }
    return static_cast<int>(start);
}

int StrNextToken(const char** cursor, char* word) {
    return StrNextToken(cursor, word, SIZE_MAX);
}

int StrNextToken(const char** cursor, char* word, size_t wordSize) {
    if (cursor == nullptr || *cursor == nullptr) {
        return -1;
    }
    int offset = StrScanToken(*cursor, word, wordSize);
    if (offset < 0) {
        return -1;
    }
    *cursor += offset + strlen(word);
    return 0;
}

int StrReplaceAll(const char* text, char* out, const char* search, const char* replacement) {
    return StrReplaceAll(text, out, SIZE_MAX, search, replacement);
}

int StrReplaceAll(const char* text, char* out, size_t outSize, const char* search, const char* replacement) {
    if (text == nullptr || out == nullptr || search == nullptr || replacement == nullptr) {
        return -1;
    }
    size_t searchLength = strlen(search);
    if (searchLength == 0) {
        return -1; // an empty search text matches everywhere and ends nowhere
    }
    std::string result;
    const char* rest = text;
    for (const char* hit = strstr(rest, search); hit != nullptr; hit = strstr(rest, search)) {
        result.append(rest, static_cast<size_t>(hit - rest));
        result.append(replacement);
        rest = hit + searchLength;
    }
    result.append(rest);
    return CopyFitting(result, out, outSize);
}

int HexPairToByte(char high, char low) {
    int value = 0;
    for (char c : {high, low}) {
        value <<= 4;
        int digit = HexDigitValue(c);
        if (digit >= 0) {
            value += digit;
        }
    }
    return value;
}

int UrlEncode(const char* text, char* out) {
    return UrlEncode(text, out, SIZE_MAX);
}

int UrlEncode(const char* text, char* out, size_t outSize) {
    if (text == nullptr || out == nullptr) {
        return -1;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string result;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (IsAsciiAlnum(*p) || *p == '-' || *p == '_' || *p == '.' || *p == '~') {
            result += static_cast<char>(*p);
        } else {
            result += '%';
            result += kHex[*p >> 4];
            result += kHex[*p & 0x0F];
        }
    }
    return CopyFitting(result, out, outSize);
}

int UrlDecode(const char* text, char* out) {
    return UrlDecode(text, out, SIZE_MAX);
}

int UrlDecode(const char* text, char* out, size_t outSize) {
    if (text == nullptr || out == nullptr) {
        return -1;
    }
    std::string result;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '%' && p[1] != '\0' && p[2] != '\0') {
            result += static_cast<char>(HexPairToByte(p[1], p[2]));
            p += 2;
        } else if (*p == '+') {
            result += ' ';
        } else {
            // Also a '%' with fewer than two characters after it: kept as it is.
            result += *p;
        }
    }
    return CopyFitting(result, out, outSize);
}

int HasClosedBrace(const char* text, int length) {
    if (text == nullptr) {
        return 0;
    }
    int open = 0;
    int close = 0;
    for (int i = 0; i < length && text[i] != '\0'; ++i) {
        if (text[i] == '{') {
            ++open;
        } else if (text[i] == '}') {
            ++close;
            if (open > 0 && close == open) {
                return 1;
            }
        }
    }
    return 0;
}

int StrIsDigits(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return 0;
    }
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return 0;
        }
    }
    return 1;
}

int64_t SizeTextToBytes(const char* text) {
    if (text == nullptr) {
        return -1;
    }
    std::string copy(text);
    float unit = 1.0f;
    size_t cut = copy.find_first_of("GgMmKkBb");
    if (cut != std::string::npos) {
        switch (copy[cut]) {
        case 'G':
        case 'g':
            unit = 1073741824.0f;
            break;
        case 'M':
        case 'm':
            unit = 1048576.0f;
            break;
        case 'K':
        case 'k':
            unit = 1024.0f;
            break;
        default:
            break;
        }
        copy.resize(cut);
    }
    float number = 0.0f;
    if (sscanf(copy.c_str(), "%f", &number) != 1) {
        number = 0.0f;
    }
    float bytes = number * unit;
    if (!(bytes < 9.2e18f && bytes > -9.2e18f)) {
        return -1; // beyond what a 64-bit count holds (or not a number)
    }
    return static_cast<int64_t>(bytes);
}

int BytesToSizeText(int64_t bytes, char* out) {
    return BytesToSizeText(bytes, out, SIZE_MAX);
}

int BytesToSizeText(int64_t bytes, char* out, size_t outSize) {
    if (out == nullptr) {
        return -1;
    }
    char text[64];
    if (bytes < 1024) {
        snprintf(text, sizeof(text), "%lldB", static_cast<long long>(bytes));
    } else if (bytes < 1048576) {
        snprintf(text, sizeof(text), "%0.2fKB", static_cast<double>(static_cast<float>(bytes) / 1024.0f));
    } else if (bytes < 1073741824) {
        snprintf(text, sizeof(text), "%0.2fMB", static_cast<double>(static_cast<float>(bytes) / 1048576.0f));
    } else {
        snprintf(text, sizeof(text), "%0.2fGB",
                 static_cast<double>(static_cast<float>(bytes) / 1073741824.0f));
    }
    return CopyFitting(text, out, outSize);
}

const void* MemFind(const void* haystack, unsigned haystackLength, const void* needle,
                    unsigned needleLength) {
    if (haystack == nullptr || needle == nullptr || needleLength == 0 || needleLength > haystackLength) {
        return nullptr;
    }
    const unsigned char* h = static_cast<const unsigned char*>(haystack);
    const unsigned char* n = static_cast<const unsigned char*>(needle);
    const unsigned char* end = h + (haystackLength - needleLength) + 1;
    for (const unsigned char* p = h; p < end; ++p) {
        p = static_cast<const unsigned char*>(memchr(p, n[0], static_cast<size_t>(end - p)));
        if (p == nullptr) {
            return nullptr;
        }
        if (memcmp(p + 1, n + 1, needleLength - 1) == 0) {
            return p;
        }
    }
    return nullptr;
}

int StrInsertSeparator(const char* text, char separator, unsigned groupSize, char* out, unsigned outSize) {
    if (text == nullptr || out == nullptr || outSize == 0) {
        return -1;
    }
    size_t length = strlen(text);
    if (groupSize == 0) {
        if (outSize < length + 1) {
            return -1;
        }
        memcpy(out, text, length + 1);
        return 0;
    }
    memset(out, 0, outSize);
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        size_t piece = (i > 0 && i % groupSize == 0) ? 2 : 1;
        if (written + piece + 1 > outSize) {
            return -1;
        }
        if (piece == 2) {
            out[written++] = separator;
        }
        out[written++] = text[i];
    }
    return 0;
}

int CompareDottedVersion(const char* a, const char* b) {
    if (a == nullptr) {
        a = "";
    }
    if (b == nullptr) {
        b = "";
    }
    // Every character adds its value minus '0', so one below '0' lowers the component.
    // The sum wraps rather than overflows and is compared as a signed number.
    auto component = [](const char*& p) {
        uint64_t value = 0;
        while (*p != '\0' && *p != '.') {
            value = value * 10 + static_cast<uint64_t>(static_cast<int64_t>(*p - '0'));
            ++p;
        }
        return static_cast<int64_t>(value);
    };
    int64_t ca = component(a);
    int64_t cb = component(b);
    while (ca == cb && *a != '\0' && *b != '\0') {
        ++a; // past the '.'
        ++b;
        ca = component(a);
        cb = component(b);
    }
    if (ca != cb) {
        return ca > cb ? 1 : -1;
    }
    return *b == '\0' ? 1 : -1;
}

size_t Utf8CopyBounded(char* out, size_t size, const char* text) {
    if (out == nullptr || size == 0) {
        return 0;
    }
    size_t length = text != nullptr ? std::strlen(text) : 0;
    if (length >= size) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memcpy(out, text != nullptr ? text : "", length);
    out[length] = '\0';
    return length;
}
