#include "StrUtils.h"

#include <cstring>

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
