#include "StagedFile.h"

#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "FileWrite.h"

namespace {

// Makes a rename in the folder last through a power cut.
void syncFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    const int fd = open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool readWhole(const std::string& path, QByteArray& content, mode_t& mode) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    mode = info.st_mode & 07777;
    content.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            content.append(buffer, static_cast<int>(n));
        }
    }
    close(fd);
    return ok;
}

} // namespace

StagedFile::~StagedFile() {
    if (installed) {
        restore();
    }
    discard();
}

bool StagedFile::stage(const QString& path, const QByteArray& content, mode_t mode) {
    discard();
    target = path;
    const std::string pattern = QFile::encodeName(path).toStdString() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 &&
              WriteAll(fd, content.constData(), static_cast<size_t>(content.size())) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(name.data());
        return false;
    }
    staged = name.data();
    return true;
}

bool StagedFile::install() {
    if (staged.empty() || installed) {
        return false;
    }
    const std::string place = QFile::encodeName(target).toStdString();
    struct stat info {};
    hadEarlier = lstat(place.c_str(), &info) == 0;
    if (hadEarlier && !readWhole(place, earlier, earlierMode)) {
        return false;
    }
    if (rename(staged.c_str(), place.c_str()) != 0) {
        return false;
    }
    staged.clear();
    installed = true;
    syncFolder(place);
    return true;
}

bool StagedFile::restore() {
    if (!installed) {
        return true;
    }
    installed = false;
    const std::string place = QFile::encodeName(target).toStdString();
    if (hadEarlier) {
        return WriteFileWhole(place, earlier.toStdString(), earlierMode);
    }
    return unlink(place.c_str()) == 0 || errno == ENOENT;
}

void StagedFile::finish() {
    installed = false;
    earlier.clear();
    discard();
}

void StagedFile::discard() {
    if (!staged.empty()) {
        unlink(staged.c_str());
        staged.clear();
    }
}
