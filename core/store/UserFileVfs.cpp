#include "UserFileVfs.h"

#include <mutex>
#include <sqlite3.h>

#include "InvokingUser.h"

namespace {

constexpr const char* kVfsName = "korva-user-files";

sqlite3_vfs gVfs;
sqlite3_vfs* gBase = nullptr;

int UserOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    UserFileAccess access;
    return gBase->xOpen(gBase, name, file, flags, outFlags);
}

int UserDelete(sqlite3_vfs*, const char* name, int syncDir) {
    UserFileAccess access;
    return gBase->xDelete(gBase, name, syncDir);
}

int UserAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
    UserFileAccess access;
    return gBase->xAccess(gBase, name, flags, result);
}

int UserFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    UserFileAccess access;
    return gBase->xFullPathname(gBase, name, size, out);
}

} // namespace

const char* UserFileVfsName() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        gBase = sqlite3_vfs_find(nullptr);
        if (gBase == nullptr) {
            return;
        }
        // The files SQLite opens keep SQLite's own methods; only the calls that name a path
        // are wrapped.
        gVfs = *gBase;
        gVfs.pNext = nullptr;
        gVfs.zName = kVfsName;
        gVfs.xOpen = UserOpen;
        gVfs.xDelete = UserDelete;
        gVfs.xAccess = UserAccess;
        gVfs.xFullPathname = UserFullPathname;
        registered = sqlite3_vfs_register(&gVfs, 0) == SQLITE_OK;
    });
    return registered ? kVfsName : nullptr;
}
