// Prints the export cipher's throughput file to file on a file of 64 MiB (or the size in
// MiB given as the first argument), beside a plain durable copy of the same file (read,
// temporary file, fsync, rename) that shows what the file work alone costs. Each figure
// is the best of five runs, in MB/s (10^6 bytes per second). Runs in a temporary folder
// under $TMPDIR (else /tmp) that it removes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchFiles.h"
#include "ConfigFileCipher.h"
#include "zrwlog.h"

using namespace benchfiles;

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
    if (!WriteFile("large.db", RandomBytes(bytes, 7))) {
        fprintf(stderr, "bench_cipher: cannot write the source file\n");
        return 1;
    }

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
