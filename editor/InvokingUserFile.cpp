#include "InvokingUserFile.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace InvokingUserFile {

namespace {

// The variable pkexec sets to the id of the user it runs the client for.
constexpr const char* kInvokingUidVariable = "PKEXEC_UID";

// Whose rights a read takes.
struct Identity {
    // False: the process's own (it runs as the user, or as root for root).
    bool switched = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

// The invoking user of an elevated run, from that user's account; false when the run is
// elevated for a user whose account cannot be read (nothing is read then).
bool invokingIdentity(Identity* identity) {
    const char* text = std::getenv(kInvokingUidVariable);
    if (geteuid() != 0 || text == nullptr || *text == '\0') {
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' ||
        parsed > static_cast<unsigned long>(static_cast<uid_t>(-1) - 1)) {
        return false;
    }
    if (parsed == 0) {
        return true;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(static_cast<uid_t>(parsed), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return false;
    }
    identity->switched = true;
    identity->uid = found->pw_uid;
    identity->gid = found->pw_gid;
    int count = 32;
    for (int attempt = 0; attempt < 8; ++attempt) {
        identity->groups.assign(static_cast<size_t>(count), 0);
        int wanted = count;
        if (getgrouplist(found->pw_name, found->pw_gid, identity->groups.data(), &wanted) >= 0) {
            identity->groups.resize(static_cast<size_t>(wanted));
            return true;
        }
        count = wanted > count ? wanted : count * 2;
    }
    return false;
}

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
    Identity identity;
    if (path.isEmpty() || !invokingIdentity(&identity)) {
        return false;
    }
    const QByteArray encoded = QFile::encodeName(path);
    if (!identity.switched) {
        return readRegularFile(encoded, maxBytes, content);
    }
    // File-system identity and groups belong to one thread on Linux: the raw calls change
    // them for this reading thread alone, which ends with the read. Taking a file-system
    // user id other than 0 also drops the thread's rights to pass over file permissions.
    bool read = false;
    std::thread reader([&] {
        if (syscall(SYS_setgroups, identity.groups.size(), identity.groups.data()) != 0) {
            return;
        }
        syscall(SYS_setfsgid, identity.gid);
        syscall(SYS_setfsuid, identity.uid);
        // An invalid id changes nothing and answers the one in force.
        if (static_cast<uid_t>(syscall(SYS_setfsuid, static_cast<uid_t>(-1))) != identity.uid ||
            static_cast<gid_t>(syscall(SYS_setfsgid, static_cast<gid_t>(-1))) != identity.gid) {
            return;
        }
        read = readRegularFile(encoded, maxBytes, content);
    });
    reader.join();
    return read;
}

} // namespace InvokingUserFile
