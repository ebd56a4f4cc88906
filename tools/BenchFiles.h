// File helpers of the store and cipher benchmarks: a clock in seconds, a file of random
// bytes, and a durable copy that does the export cipher's file work without its transform.
#pragma once

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace benchfiles {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same bytes for the same seed, so that runs compare.
inline std::vector<unsigned char> RandomBytes(size_t count, unsigned seed) {
    std::vector<unsigned char> bytes(count);
    std::mt19937 random(seed);
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    return bytes;
}

inline bool WriteFile(const char* path, const std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// The cipher's file work without the transform: chunks of 1 MiB read and written to a
// temporary file, fsync, rename.
inline bool CopyFileDurably(const char* from, const char* to) {
    std::vector<unsigned char> buffer(1u << 20);
    FILE* in = fopen(from, "rb");
    if (in == nullptr) {
        return false;
    }
    std::string temp = std::string(to) + ".XXXXXX";
    int fd = mkstemp(&temp[0]);
    FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (out == nullptr) {
        fclose(in);
        return false;
    }
    bool ok = true;
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        ok = fwrite(buffer.data(), 1, got, out) == got && ok;
    }
    fclose(in);
    ok = fflush(out) == 0 && fsync(fileno(out)) == 0 && ok;
    ok = fclose(out) == 0 && ok;
    return ok && rename(temp.c_str(), to) == 0;
}

} // namespace benchfiles
