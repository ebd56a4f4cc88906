// Prints the export cipher's throughput file to file on a file of 64 MiB (or the size in
// MiB given as the first argument), beside a plain durable copy of the same file (read,
// temporary file, fsync, rename) that shows what the file work alone costs. Each figure
// is the best of five runs, in MB/s (10^6 bytes per second). Runs in a temporary folder
// under $TMPDIR (else /tmp) that it removes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "ConfigFileCipher.h"
#include "zrwlog.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool WriteFile(const char* path, const std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// The same file work as the cipher's, without the transform: chunks of 1 MiB read and
// written to a temporary file, fsync, rename.
bool CopyFileDurably(const char* from, const char* to) {
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

} // namespace

int main(int argc, char** argv) {
    const long mebibytes = argc > 1 ? atol(argv[1]) : 64;
    if (mebibytes <= 0 || mebibytes > 1024) {
        fprintf(stderr, "usage: bench_cipher [size in MiB, 1 to 1024]\n");
        return 2;
    }
    const char* tmp = getenv("TMPDIR");
    std::string folder =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/bench_cipher.XXXXXX";
    if (mkdtemp(&folder[0]) == nullptr || chdir(folder.c_str()) != 0) {
        perror("bench_cipher: temporary folder");
        return 1;
    }
    ZRWLogOpenFile("bench.log");

    const size_t bytes = static_cast<size_t>(mebibytes) << 20;
    std::vector<unsigned char> source(bytes);
    std::mt19937 random(7);
    for (unsigned char& byte : source) {
        byte = static_cast<unsigned char>(random());
    }
    if (!WriteFile("large.db", source)) {
        fprintf(stderr, "bench_cipher: cannot write the source file\n");
        return 1;
    }
    source.clear();
    source.shrink_to_fit();

    const int runs = 5;
    double cipherBest = 1e9;
    double copyBest = 1e9;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        ConfigFileCipher cipher;
        Clock::time_point start = Clock::now();
        ok = cipher.EncryptFile(static_cast<int>(bytes), "large.db") && ok;
        cipherBest = std::min(cipherBest, SecondsSince(start));

        start = Clock::now();
        ok = CopyFileDurably("large.db", "large.copy") && ok;
        copyBest = std::min(copyBest, SecondsSince(start));
    }

    const double megabytes = static_cast<double>(bytes) / 1e6;
    printf("cipher, file to file (%ld MiB):  %.1f MB/s (best of %d)%s\n", mebibytes, megabytes / cipherBest,
           runs, ok ? "" : " (FAILED)");
    printf("plain durable copy, same file:   %.1f MB/s (best of %d)\n", megabytes / copyBest, runs);

    ZRWLogClose();
    unlink("large.db");
    unlink("large.copy");
    unlink("Config/encrypted.cfg");
    rmdir("Config");
    unlink("bench.log");
    chdir("/");
    rmdir(folder.c_str());
    return ok ? 0 : 1;
}
