#include "ConfigFileCipher.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StorePaths.h"
#include "StrUtils.h"
#include "zrwlog.h"

namespace {

const char kBuiltInKey[] = "h4TqW9zLmR2xKc7VbN5pYs8GdJf3EwUa6ZtQo1HkXe0MiCrBvPn4SyDl7AgFj2";
constexpr size_t kKeyLength = sizeof(kBuiltInKey) - 1;
constexpr size_t kProjectPathSize = 260;
// The file is read, transformed and written in pieces of this size: a buffer of the whole
// file would cost an allocation and a first touch of every page on top of the file work.
constexpr size_t kChunkSize = 1u << 20;

// A target file is written under a temporary name beside it and renamed into place, so
// it is either the whole result or left as it was.
class TargetFile {
public:
    explicit TargetFile(const char* path) : target(path) {}
    ~TargetFile() { Discard(); }

    // Creates the temporary file, readable and writable by the user only and not
    // inherited by the programs the client starts.
    bool Open() {
        temp = target + StorePaths::kTempSuffix;
        int fd = mkostemp(&temp[0], O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        file = fdopen(fd, "wb");
        if (file == nullptr) {
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        return true;
    }

    bool IsOpen() const { return file != nullptr; }

    // Appends the bytes and starts their write-back at once, so that the disk works while
    // the next chunk is transformed and the final sync has little left to wait for.
    bool Write(const unsigned char* data, size_t length) {
        if (fwrite(data, 1, length, file) != length || fflush(file) != 0) {
            return false;
        }
        sync_file_range(fileno(file), static_cast<off_t>(written), static_cast<off_t>(length),
                        SYNC_FILE_RANGE_WRITE);
        written += length;
        return true;
    }

    // Flushes and syncs the temporary file and renames it into place; on any failure the
    // temporary file goes and the target stays as it was.
    bool Commit() {
        bool ok = fflush(file) == 0;
        ok = fsync(fileno(file)) == 0 && ok;
        ok = fclose(file) == 0 && ok;
        file = nullptr;
        if (ok && rename(temp.c_str(), target.c_str()) == 0) {
            return true;
        }
        unlink(temp.c_str());
        return false;
    }

    void Discard() {
        if (file != nullptr) {
            fclose(file);
            file = nullptr;
            unlink(temp.c_str());
        }
    }

private:
    std::string target;
    std::string temp;
    FILE* file = nullptr;
    size_t written = 0;
};

} // namespace

ConfigFileCipher::ConfigFileCipher() : S(), T(), key(kBuiltInKey) {}

ConfigFileCipher::~ConfigFileCipher() {}

void ConfigFileCipher::InitState() {
    for (int i = 0; i < 256; ++i) {
        S[i] = static_cast<uint8_t>(i);
    }
}

void ConfigFileCipher::InitKeyTable() {
    for (size_t i = 0; i < 256; ++i) {
        T[i] = static_cast<uint8_t>(key[i % kKeyLength]);
    }
}

void ConfigFileCipher::ScheduleKey() {
    InitState();
    InitKeyTable();
    unsigned j = 0;
    for (int i = 0; i < 256; ++i) {
        j = (j + S[i] + T[i]) & 0xFF;
        uint8_t swap = S[i];
        S[i] = S[j];
        S[j] = swap;
    }
}

// The byte stream: i advances after each byte, so the first byte uses S[0]. This is not
// RC4's output and must stay as it is.
void ConfigFileCipher::Transform(unsigned char* data, size_t length) {
    // The state works on a local copy: the data may alias the members as far as the
    // compiler knows, which would make it reload the state after every byte written.
    uint8_t state[256];
    memcpy(state, S, sizeof state);
    uint8_t i = streamI;
    uint8_t j = streamJ;
    for (size_t n = 0; n < length; ++n) {
        uint8_t a = state[i];
        j = static_cast<uint8_t>(j + a);
        state[i] = state[j];
        state[j] = a;
        uint8_t k = static_cast<uint8_t>(a + state[i]);
        data[n] ^= state[k];
        ++i;
    }
    memcpy(S, state, sizeof state);
    streamI = i;
    streamJ = j;
}

bool ConfigFileCipher::TransformFile(int length, const char* sourcePath, const char* targetPath,
                                     const char* failureLine) {
    ScheduleKey();

    FILE* source = sourcePath != nullptr ? fopen(sourcePath, "rbe") : nullptr;
    if (source == nullptr) {
        ZRWLog(6, 3, "System :: Faile to open user import file: \n");
        return false;
    }

    TargetFile target(targetPath);
    if (!target.Open()) {
        char projectPath[kProjectPathSize] = {};
        if (getcwd(projectPath, sizeof projectPath) == nullptr) {
            ZRWLog(6, 3, "System :: Failed to get project path! \n");
            fclose(source);
            return false;
        }
        std::string configDir = std::string(projectPath) + "/" + StorePaths::kConfigDir;
        if (MakeDirPath(configDir.c_str()) == -1) {
            ZRWLog(6, 3, "System :: Failed to create directory! \n");
            fclose(source);
            return false;
        }
        target.Open();
    }

    const bool opened = target.IsOpen();
    bool ok = opened && length >= 0;
    if (ok) {
        // The stream goes on from chunk to chunk exactly as over the whole file at once.
        streamI = 0;
        streamJ = 0;
        unsigned char* buffer = static_cast<unsigned char*>(malloc(kChunkSize));
        size_t left = static_cast<size_t>(length);
        ok = buffer != nullptr;
        while (ok && left > 0) {
            size_t wanted = left < kChunkSize ? left : kChunkSize;
            // A source that holds fewer bytes than asked for changed under us: leave the
            // target as it was rather than write part of it.
            ok = fread(buffer, 1, wanted, source) == wanted;
            if (ok) {
                Transform(buffer, wanted);
                ok = target.Write(buffer, wanted);
                left -= wanted;
            }
        }
        free(buffer);
        ok = ok && target.Commit();
    }
    // A failure part of the way leaves no partial file: the temporary file goes.
    target.Discard();
    if (!opened || (!ok && length >= 0)) {
        ZRWLog(6, 3, "%s", failureLine);
    }

    fclose(source);
    return ok;
}

bool ConfigFileCipher::EncryptFile(int length, const char* sourcePath) {
    return TransformFile(length, sourcePath, StorePaths::kEncryptedFile, "System :: Error exporting file!\n");
}

bool ConfigFileCipher::DecryptFile(int length, const char* sourcePath) {
    return TransformFile(length, sourcePath, StorePaths::kDecryptedFile, "System :: Error importing file!\n");
}

int ConfigFileCipher::GetFileSize(const char* path) {
    FILE* file = path != nullptr ? fopen(path, "re") : nullptr;
    if (file == nullptr) {
        ZRWLog(6, 3, "System :: Failed to open file: %s!\n", path != nullptr ? path : "");
        return -1;
    }
    struct stat info;
    long long size = -1;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && fseeko(file, 0, SEEK_END) == 0) {
        size = static_cast<long long>(ftello(file));
    }
    fclose(file);
    if (size < 0 || size > INT_MAX) {
        ZRWLog(6, 3, "System :: Failed to open file: %s!\n", path);
        return -1;
    }
    return static_cast<int>(size);
}
