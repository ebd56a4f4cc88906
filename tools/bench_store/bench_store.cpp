// Prints figures of the profile store and the export cipher on a store of 10,000
// profiles (or the count given as the first argument): the time of one insert, of one
// read of the whole profile list and of sorting it, and the cipher's throughput beside a
// plain memory copy of the same bytes. Runs in a temporary folder that it removes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include "BenchFiles.h"
#include "ConfigFileCipher.h"
#include "IPCSqlite.h"
#include "zrwlog.h"

namespace {

void RemoveTree(const std::string& path) {
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                RemoveTree(path + "/" + name);
            }
        }
        closedir(dir);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

} // namespace

using namespace benchfiles;

int main(int argc, char** argv) {
    int count = argc > 1 ? atoi(argv[1]) : 10000;
    if (count <= 0) {
        fprintf(stderr, "usage: bench_store [profile count]\n");
        return 2;
    }
    const char* tmp = getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/bench_store.XXXXXX";
    if (mkdtemp(&folder[0]) == nullptr || chdir(folder.c_str()) != 0) {
        perror("bench_store: temporary folder");
        return 1;
    }
    ZRWLogOpenFile("bench.log");

    IPCSqlite store;
    if (store.Init("vpn.db") != 0) {
        fprintf(stderr, "bench_store: cannot open the store\n");
        return 1;
    }

    // Each insert is its own "begin" / statement / "commit", as the editor saves a profile.
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        ProfileInfo info;
        snprintf(info.ProfileName, sizeof info.ProfileName, "Profile %05d's office", i);
        info.ProfileType = 1 + i % 4;
        info.ConfigID = i + 1;
        if (store.InsertProfile(&info) != 0) {
            fprintf(stderr, "bench_store: insert %d failed\n", i);
            return 1;
        }
    }
    double insertSeconds = SecondsSince(start);

    const int listRuns = 10;
    double listSeconds = 0;
    std::vector<ProfileInfo> list;
    for (int run = 0; run < listRuns; ++run) {
        list.clear();
        start = Clock::now();
        store.GetProfileList(list);
        listSeconds += SecondsSince(start);
    }
    listSeconds /= listRuns;

    // The Profiles page sorts the cached list in place with these.
    start = Clock::now();
    IPCSqlite::SortProfilesAscending(list);
    double sortSeconds = SecondsSince(start);
    store.DeInit();

    // The export of this store: size query and encipherment of the database file.
    ConfigFileCipher exportCipher;
    start = Clock::now();
    int databaseSize = exportCipher.GetFileSize("vpn.db");
    bool exported = exportCipher.EncryptFile(databaseSize, "vpn.db");
    double exportSeconds = SecondsSince(start);

    // Throughput on a larger file, beside a memory copy of the same bytes.
    const size_t bytes = 64u * 1024 * 1024;
    std::vector<unsigned char> source = RandomBytes(bytes, 7);
    if (!WriteFile("large.db", source)) {
        fprintf(stderr, "bench_store: cannot write the large file\n");
        return 1;
    }
    ConfigFileCipher cipher;
    start = Clock::now();
    bool enciphered = cipher.EncryptFile(static_cast<int>(bytes), "large.db");
    double cipherSeconds = SecondsSince(start);

    // The same file written through a temporary file, fsync and rename without the
    // transform, to tell the cipher's own cost from the file work around it.
    start = Clock::now();
    bool copied = CopyFileDurably("large.db", "large.copy");
    double fileCopySeconds = SecondsSince(start);

    std::vector<unsigned char> copy(bytes);
    const int copyRuns = 5;
    double copySeconds = 0;
    for (int run = 0; run < copyRuns; ++run) {
        source[run] ^= 1; // keep the copies from being folded together
        start = Clock::now();
        memcpy(copy.data(), source.data(), bytes);
        copySeconds += SecondsSince(start);
    }
    copySeconds /= copyRuns;

    // The cipher reads into a buffer it has just allocated; so does this copy, whose
    // page faults are part of the figure as they are of the cipher's.
    double freshCopySeconds = 0;
    for (int run = 0; run < copyRuns; ++run) {
        start = Clock::now();
        unsigned char* fresh = static_cast<unsigned char*>(malloc(bytes));
        memcpy(fresh, source.data(), bytes);
        freshCopySeconds += SecondsSince(start);
        copy[run] = fresh[bytes - 1 - run];
        free(fresh);
    }
    freshCopySeconds /= copyRuns;
    // Rates in MB/s (10^6 bytes per second).
    const double megabytes = static_cast<double>(bytes) / 1e6;
    const double storeMegabytes = static_cast<double>(databaseSize) / 1e6;

    printf("profiles in the store:            %d\n", count);
    printf("insert, per profile:              %.1f us (%.2f s in all)\n", insertSeconds * 1e6 / count,
           insertSeconds);
    printf("GetProfileList, whole list:       %.2f ms (mean of %d)\n", listSeconds * 1e3, listRuns);
    printf("SortProfilesAscending, whole list: %.2f ms\n", sortSeconds * 1e3);
    printf("export of the store (%d bytes): %.2f ms, %.1f MB/s%s\n", databaseSize, exportSeconds * 1e3,
           storeMegabytes / exportSeconds, exported ? "" : " (FAILED)");
    printf("cipher, file to file (%zu MiB):   %.1f MB/s%s\n", bytes >> 20, megabytes / cipherSeconds,
           enciphered ? "" : " (FAILED)");
    printf("plain file copy, same way:        %.1f MB/s%s\n", megabytes / fileCopySeconds,
           copied ? "" : " (FAILED)");
    printf("memcpy of the same bytes:         %.1f MB/s (check %u)\n", megabytes / copySeconds,
           static_cast<unsigned>(copy[bytes / 2]));
    printf("memcpy into fresh memory:         %.1f MB/s (check %u)\n", megabytes / freshCopySeconds,
           static_cast<unsigned>(copy[0]));

    ZRWLogClose();
    chdir("/");
    RemoveTree(folder);
    return exported && enciphered ? 0 : 1;
}
