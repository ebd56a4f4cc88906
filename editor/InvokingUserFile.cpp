#include "InvokingUserFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "InvokingUser.h"

namespace InvokingUserFile {

namespace {

// Reads a regular file whole through a descriptor that cannot block on a FIFO or a device.
bool readRegularFile(const QByteArray& path, qint64 maxBytes, QByteArray* content) {
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool whole = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxBytes;
    QByteArray bytes;
    char chunk[65536];
    while (whole) {
        const ssize_t got = ::read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            whole = got == 0;
            break;
        }
        bytes.append(chunk, static_cast<int>(got));
        whole = bytes.size() <= maxBytes;
    }
    close(fd);
    if (whole) {
        *content = bytes;
    }
    return whole;
}

} // namespace

bool read(const QString& path, qint64 maxBytes, QByteArray* content) {
    if (path.isEmpty()) {
        return false;
    }
    // The file is opened with the user's own identity; nothing changes when the client
    // works for root.
    UserFileAccess access;
    return readRegularFile(QFile::encodeName(path), maxBytes, content);
}

} // namespace InvokingUserFile
