// One fuzz target: a function of one input's bytes that must neither crash nor break a
// FUZZ_CHECK, whatever the bytes are.
//
//     KORVA_FUZZ_TARGET(name) { ... data, size ... }
//
// In a fuzz build (KORVA_LIBFUZZER) it is the program's libFuzzer entry point; in every
// other build it registers itself with the corpus test, which replays corpus/<name>/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// A property of the result that must hold for every input: a broken one ends the run
// with the condition, so that the fuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: FUZZ_CHECK failed: %s\n", __FILE__, __LINE__, #condition);          \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace korvafuzz {

using Entry = void (*)(const uint8_t* data, size_t size);

// The corpus test's table of targets (not in a fuzz build).
bool registerTarget(const char* name, Entry entry);

// A scratch folder of this process for targets that need files: a folder of its own
// under $TMPDIR (else /tmp), made at the first call. The target removes what it writes.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/korva-fuzz.XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) {
            std::perror("korva fuzz: no scratch folder");
            std::abort();
        }
        return pattern;
    }();
    return folder;
}

} // namespace korvafuzz

#ifdef KORVA_LIBFUZZER
// A program that links the system context gets, before main, the client's crash handler
// (which ends the process on SIGABRT and SIGSEGV before libFuzzer can keep the input) and
// its log on the console. Both are undone before the first input, where they are linked:
// the weak references do not pull them in where they are not.
struct EXCEPTION_POINTERS;
long (*SetUnhandledExceptionFilter(long (*filter)(EXCEPTION_POINTERS*)))(EXCEPTION_POINTERS*)
    __attribute__((weak));
void ZRWLogSetOutput(int mask) __attribute__((weak));

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (SetUnhandledExceptionFilter != nullptr) {
        SetUnhandledExceptionFilter(nullptr);
    }
    if (ZRWLogSetOutput != nullptr) {
        ZRWLogSetOutput(0);
    }
    return 0;
}

#define KORVA_FUZZ_TARGET(name)                                                                              \
    static void KorvaFuzz_##name(const uint8_t* data, size_t size);                                          \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                                \
        KorvaFuzz_##name(data, size);                                                                        \
        return 0;                                                                                            \
    }                                                                                                        \
    static void KorvaFuzz_##name(const uint8_t* data, size_t size)
#else
#define KORVA_FUZZ_TARGET(name)                                                                              \
    static void KorvaFuzz_##name(const uint8_t* data, size_t size);                                          \
    static const bool kKorvaFuzzRegistered_##name = korvafuzz::registerTarget(#name, KorvaFuzz_##name);      \
    static void KorvaFuzz_##name(const uint8_t* data, size_t size)
#endif
