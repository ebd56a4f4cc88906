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

    bool WriteAndCommit(const unsigned char* data, size_t length) {
        bool ok = fwrite(data, 1, length, file) == length;
        ok = fflush(file) == 0 && ok;
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
    uint8_t i = 0;
    uint8_t j = 0;
    for (size_t n = 0; n < length; ++n) {
        uint8_t a = S[i];
        j = static_cast<uint8_t>(j + a);
        S[i] = S[j];
        S[j] = a;
        uint8_t k = static_cast<uint8_t>(a + S[i]);
        data[n] ^= S[k];
        ++i;
    }
}

bool ConfigFileCipher::TransformFile(int length, const char* sourcePath, const char* targetPath,
                                     const char* failureLine) {
    ScheduleKey();

    FILE* source = sourcePath != nullptr ? fopen(sourcePath, "rbe") : nullptr;
    if (source == nullptr) {
        ZRWLog(6, 3, "System :: Faile to open user import file: \n");
        return false;
    }

    // One byte at least, so that an empty file gives a buffer as well.
    unsigned char* buffer =
        length >= 0 ? static_cast<unsigned char*>(malloc(length > 0 ? static_cast<size_t>(length) : 1))
                    : nullptr;

    TargetFile target(targetPath);
    if (!target.Open()) {
        char projectPath[kProjectPathSize] = {};
        if (getcwd(projectPath, sizeof projectPath) == nullptr) {
            ZRWLog(6, 3, "System :: Failed to get project path! \n");
            fclose(source);
            free(buffer);
            return false;
        }
        std::string configDir = std::string(projectPath) + "/" + StorePaths::kConfigDir;
        if (MakeDirPath(configDir.c_str()) == -1) {
            ZRWLog(6, 3, "System :: Failed to create directory! \n");
            fclose(source);
            free(buffer);
            return false;
        }
        target.Open();
    }

    bool ok = target.IsOpen();
    if (!ok) {
        ZRWLog(6, 3, "%s", failureLine);
    } else if (buffer != nullptr) {
        size_t wanted = static_cast<size_t>(length);
        // A source that holds fewer bytes than asked for changed under us: leave the
        // target as it was rather than write part of it.
        ok = fread(buffer, 1, wanted, source) == wanted;
        if (ok) {
            Transform(buffer, wanted);
            ok = target.WriteAndCommit(buffer, wanted);
        }
        if (!ok) {
            ZRWLog(6, 3, "%s", failureLine);
        }
    } else {
        ok = false;
    }

    fclose(source);
    free(buffer);
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
