#include "InvokingUser.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "PlatformConstants.h"
#include "StrUtils.h"

namespace {

constexpr int kMaxGroups = 256;

// What the guard needs, in plain data (zero before anything is resolved), so that it works
// inside a signal handler. The facility may be used before static initialisation has run
// (the program's first step resolves the user), so nothing here needs a constructor.
struct Identity {
    bool elevated;
    uid_t uid;
    gid_t gid;
    int userGroupCount;
    gid_t userGroups[kMaxGroups];
    int ownGroupCount;
    gid_t ownGroups[kMaxGroups];
};

std::mutex gMutex;
bool gResolved = false;
Identity gIdentity;
thread_local int tDepth = 0;

InvokingUser& TheUser() {
    static InvokingUser user;
    return user;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The account of uid: false when there is none.
bool Account(uid_t uid, InvokingUser* user) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return false;
    }
    user->uid = found->pw_uid;
    user->gid = found->pw_gid;
    user->name = found->pw_name != nullptr ? found->pw_name : "";
    user->home = found->pw_dir != nullptr ? found->pw_dir : "";
    return true;
}

// PKEXEC_UID as a user id other than root's, or -1.
long PkexecUid() {
    const char* text = std::getenv(kPkexecUidVariable);
    if (text == nullptr || *text == '\0') {
        return -1;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 0x7fffffffUL) {
        return -1;
    }
    return static_cast<long>(value);
}

// Sets the state for working for the account of uid (elevated), or for this process's own
// user (uid -1). Called under gMutex.
bool ResolveLocked(long uid) {
    InvokingUser user;
    Identity identity{};
    if (uid >= 0 && geteuid() == 0 && Account(static_cast<uid_t>(uid), &user) && user.uid != 0 &&
        !user.home.empty() && user.home[0] == '/') {
        user.elevated = true;
        identity.elevated = true;
        identity.uid = user.uid;
        identity.gid = user.gid;
        int count = kMaxGroups;
        if (getgrouplist(user.name.c_str(), user.gid, identity.userGroups, &count) < 0) {
            count = 1;
            identity.userGroups[0] = user.gid;
        }
        identity.userGroupCount = count;
        const int own = getgroups(kMaxGroups, identity.ownGroups);
        identity.ownGroupCount = own > 0 ? own : 0;
    } else {
        if (uid >= 0 && uid != static_cast<long>(geteuid())) {
            return false;
        }
        user = InvokingUser();
        user.uid = geteuid();
        user.gid = getegid();
        InvokingUser account;
        if (Account(user.uid, &account)) {
            user.name = account.name;
        }
        user.home = EnvOr("HOME", account.home.empty() ? std::string("/root") : account.home);
    }
    TheUser() = user;
    gIdentity = identity;
    gResolved = true;
    return true;
}

// Opens a folder level below a parent without following a link.
int OpenLevel(int parent, const char* name) {
    return openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Hands back to the user the root-owned regular files directly in the folder (earlier
// versions made them as root). A file with a second link is left alone: it may be another
// file of root's.
void HandOverFiles(int folder, const InvokingUser& user) {
    const int listing = dup(folder);
    DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    while (dirent* entry = readdir(dir)) {
        struct stat info {};
        if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != 0) {
            continue;
        }
        const int fd = openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == 0 && info.st_nlink == 1) {
            if (fchown(fd, user.uid, user.gid) != 0) {
                // Left as it is; the store then says that it cannot open it.
            }
        }
        close(fd);
    }
    closedir(dir);
}

// Hands back the levels of path below the user's home that are owned by root, walking
// down without following links and only inside folders the user owns.
void HandOverEarlierFolders(const std::string& path, const InvokingUser& user) {
    const std::string home = user.home.back() == '/' ? user.home : user.home + "/";
    if (path.compare(0, home.size(), home) != 0) {
        return;
    }
    int folder = open(user.home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    size_t start = home.size();
    bool reachedEnd = false;
    while (folder >= 0) {
        struct stat parent {};
        if (fstat(folder, &parent) != 0 || parent.st_uid != user.uid) {
            break;
        }
        while (start < path.size() && path[start] == '/') {
            ++start;
        }
        if (start >= path.size()) {
            reachedEnd = true;
            break;
        }
        const size_t end = path.find('/', start);
        const std::string name =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? path.size() : end;
        const int next = OpenLevel(folder, name.c_str());
        close(folder);
        folder = next;
        struct stat info {};
        if (folder >= 0 && fstat(folder, &info) == 0 && info.st_uid == 0) {
            if (fchown(folder, user.uid, user.gid) != 0) {
                break;
            }
        }
    }
    if (reachedEnd) {
        HandOverFiles(folder, user);
    }
    if (folder >= 0) {
        close(folder);
    }
}

} // namespace

const InvokingUser& GetInvokingUser() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gResolved) {
        ResolveLocked(PkexecUid());
    }
    return TheUser();
}

bool SetInvokingUserForTesting(uid_t uid) {
    std::lock_guard<std::mutex> lock(gMutex);
    return ResolveLocked(uid == static_cast<uid_t>(-1) ? -1 : static_cast<long>(uid));
}

std::string UserConfigHome() {
    const InvokingUser& user = GetInvokingUser();
    if (user.elevated) {
        return user.home + kConfigHomeUnderHome;
    }
    return EnvOr(kConfigHomeVariable, EnvOr("HOME", user.home) + kConfigHomeUnderHome);
}

UserFileAccess::UserFileAccess() {
    if (!gIdentity.elevated || tDepth++ > 0) {
        return;
    }
    syscall(SYS_setgroups, static_cast<size_t>(gIdentity.userGroupCount), gIdentity.userGroups);
    previousGid = syscall(SYS_setfsgid, gIdentity.gid);
    previousUid = syscall(SYS_setfsuid, gIdentity.uid);
    switched = true;
}

UserFileAccess::~UserFileAccess() {
    if (!gIdentity.elevated) {
        return;
    }
    --tDepth;
    if (!switched) {
        return;
    }
    syscall(SYS_setfsuid, previousUid);
    syscall(SYS_setfsgid, previousGid);
    syscall(SYS_setgroups, static_cast<size_t>(gIdentity.ownGroupCount), gIdentity.ownGroups);
}

int MakeUserFolderPath(const std::string& path) {
    const InvokingUser& user = GetInvokingUser();
    if (!user.elevated) {
        return MakeDirPath(path.c_str());
    }
    HandOverEarlierFolders(path, user);
    UserFileAccess access;
    return MakeDirPath(path.c_str());
}
