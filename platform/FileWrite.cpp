#include "FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteFileWhole(const std::string& path, const std::string& content, mode_t mode) {
    const std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, content.data(), content.size()) && fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(name.data(), path.c_str()) == 0) {
        return true;
    }
    if (ok) {
        error = errno;
    }
    unlink(name.data());
    errno = error != 0 ? error : EIO;
    return false;
}
