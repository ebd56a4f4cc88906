// The UTF-8 check and the decoders and converters of the text utilities, over any bytes
// (profile names, file names and texts read from files pass through them).
//
// Properties: a conversion says how much room it needs and fits exactly that room; what
// comes out of UTF-16 is well-formed UTF-8 that converts back to itself; a bounded copy
// is a prefix that never ends inside a character of well-formed input.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "StrUtils.h"

namespace {

// Well-formed UTF-8 as the conversions read it: no overlong forms, surrogates or values
// above U+10FFFF. Counts the characters.
bool wellFormed(const std::string& text, int* count) {
    int characters = 0;
    for (size_t i = 0; i < text.size(); ++characters) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        size_t length = b < 0x80                 ? 1
                        : b >= 0xC2 && b <= 0xDF ? 2
                        : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        char32_t value = length == 1 ? b : b & (0xFF >> (length + 1));
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (next & 0x3F);
        }
        static const char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    *count = characters;
    return true;
}

} // namespace

KORVA_FUZZ_TARGET(utf8) {
    // The utilities take NUL-terminated texts: the input up to its first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    int characters = 0;
    const bool valid = wellFormed(text, &characters);

    // The check accepts every well-formed text and counts its characters.
    int count = -1;
    const int checked = Utf8CheckAndCount(text.c_str(), &count);
    if (valid) {
        FUZZ_CHECK(checked == 1 && count == characters);
    }

    // Code points: one per character of a well-formed text (one, 0, for an empty one).
    std::vector<int> points(text.size() + 1);
    const int decoded = Utf8ToCodePoints(text.c_str(), points.data(), points.size());
    FUZZ_CHECK(decoded >= 1 && static_cast<size_t>(decoded) <= points.size());
    if (valid && !text.empty()) {
        FUZZ_CHECK(decoded == characters);
    }
    if (decoded > 1) {
        FUZZ_CHECK(Utf8ToCodePoints(text.c_str(), points.data(), static_cast<size_t>(decoded) - 1) == -1);
    }

    // UTF-8 to UTF-16 and back: the size the conversion needs, exactly.
    std::vector<char16_t> wide(text.size() + 1);
    const int units = Utf8ToUtf16Buf(text.c_str(), wide.data(), wide.size());
    FUZZ_CHECK(units >= 1 && static_cast<size_t>(units) <= wide.size() && wide[units - 1] == 0);
    std::vector<char16_t> tight(static_cast<size_t>(units));
    FUZZ_CHECK(Utf8ToUtf16Buf(text.c_str(), tight.data(), tight.size()) == units);
    if (units > 1) {
        std::vector<char16_t> small(static_cast<size_t>(units) - 1);
        FUZZ_CHECK(Utf8ToUtf16Buf(text.c_str(), small.data(), small.size()) == 0 && small[0] == 0);
    }
    std::vector<char> back(static_cast<size_t>(units) * 3 + 1);
    const int bytes = Utf16ToUtf8(wide.data(), back.data(), back.size());
    FUZZ_CHECK(bytes >= 1);
    const std::string once(back.data());
    int onceCount = 0;
    FUZZ_CHECK(wellFormed(once, &onceCount));
    if (valid) {
        FUZZ_CHECK(once == text);
    }

    // The two-step conversion, in its own buffer as the in-place forms use it.
    std::vector<char> inPlace(once.size() * 3 + text.size() * 3 + 4, '\0');
    std::memcpy(inPlace.data(), text.c_str(), text.size() + 1);
    FUZZ_CHECK(Utf8ToAnsiInPlace(inPlace.data(), inPlace.size()) >= 1);
    FUZZ_CHECK(once == inPlace.data());

    // The bounded copy into arrays of every small size.
    for (size_t room = 1; room <= 8 && room <= text.size() + 1; ++room) {
        char out[8];
        const size_t copied = Utf8CopyBounded(out, room, text.c_str());
        FUZZ_CHECK(copied < room && out[copied] == '\0' && std::memcmp(out, text.data(), copied) == 0);
        int ignored = 0;
        if (valid) {
            FUZZ_CHECK(wellFormed(std::string(out, copied), &ignored));
        }
    }
}
