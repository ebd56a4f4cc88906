#include "RunFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "PlatformConstants.h"

namespace {

std::string Reason(const std::string& path, const char* what) {
    return path + ": " + what;
}

// Whether others can change what a folder holds: written by group or others, unless the
// sticky bit keeps them to their own entries.
bool OthersCanChange(const struct stat& info) {
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0;
}

// The folders above path (resolved, so that a link such as /var/run -> /run is followed
// once here): each is owned by root or by this process's user, and nobody else may
// change it.
bool AncestorsSafe(const std::string& path, std::string* error) {
    const size_t slash = path.rfind('/');
    const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    char resolved[PATH_MAX];
    if (realpath(parent.c_str(), resolved) == nullptr) {
        *error = Reason(parent, std::strerror(errno));
        return false;
    }
    std::string walk = resolved;
    while (true) {
        struct stat info {};
        if (lstat(walk.c_str(), &info) != 0) {
            *error = Reason(walk, std::strerror(errno));
            return false;
        }
        if ((info.st_uid != 0 && info.st_uid != geteuid()) || OthersCanChange(info)) {
            *error = Reason(walk, "another user can change this folder");
            return false;
        }
        if (walk == "/") {
            return true;
        }
        const size_t up = walk.rfind('/');
        walk = up == 0 ? std::string("/") : walk.substr(0, up);
    }
}

std::string Configured() {
    const char* chosen = std::getenv(kRunFolderVariable);
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string(kRunFolderPath);
}

} // namespace

bool FolderOnlyOwnerCanChange(const std::string& path, std::string* error) {
    std::string ignored;
    std::string& reason = error != nullptr ? *error : ignored;
    if (path.empty() || path[0] != '/') {
        reason = Reason(path, "not an absolute path");
        return false;
    }
    if (!AncestorsSafe(path, &reason)) {
        return false;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        reason = Reason(path, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        reason = Reason(path, "not a folder");
        return false;
    }
    if (info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        reason = Reason(path, "another user can change this folder");
        return false;
    }
    return true;
}

std::string RunFolder(std::string* error) {
    std::string ignored;
    std::string& reason = error != nullptr ? *error : ignored;
    std::string path = Configured();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path.empty() || path[0] != '/') {
        reason = Reason(path, "not an absolute path");
        return std::string();
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = Reason(path, std::strerror(errno));
        return std::string();
    }
    if (!FolderOnlyOwnerCanChange(path, &reason)) {
        return std::string();
    }
    // Nobody else reads what is in it either.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) {
        reason = Reason(path, std::strerror(errno));
        return std::string();
    }
    return path;
}

std::string RunSubfolder(const char* name) {
    const std::string folder = RunFolder();
    if (folder.empty() || name == nullptr || *name == '\0') {
        return folder;
    }
    const std::string path = folder + "/" + name;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::string();
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return std::string();
    }
    return path;
}
