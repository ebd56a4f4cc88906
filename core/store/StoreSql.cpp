#include "StoreSql.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "InvokingUser.h"
#include "StoreStatements.h"
#include "StrUtils.h"
#include "UserFileVfs.h"
#include "zrwlog.h"

namespace StoreSql {

namespace {

int FormatV(char* buf, int maxChars, const char* format, va_list args) {
    char* text = sqlite3_vmprintf(format, args);
    if (text == nullptr) {
        return -1;
    }
    size_t length = strlen(text);
    int result = -1;
    if (length <= static_cast<size_t>(maxChars)) {
        memcpy(buf, text, length + 1);
        result = 0;
    }
    sqlite3_free(text);
    return result;
}

} // namespace

int Format(char* buf, int maxChars, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatV(buf, maxChars, format, args);
    va_end(args);
    return result;
}

int FormatWrite(char* buf, int maxChars, bool terminated, const char* failureLine, const char* format, ...) {
    if (!terminated) {
        LogFailure(failureLine, kNotTerminatedMessage);
        return -1;
    }
    va_list args;
    va_start(args, format);
    int result = FormatV(buf, maxChars, format, args);
    va_end(args);
    if (result != 0) {
        LogFailure(failureLine, kTooLongMessage);
    }
    return result;
}

int ExecSelect(sqlite3* db, sqlite3_mutex* mutex, void* target, const char* sql, SqlRowCallback callback,
               const char* abortMessage) {
    if (db == nullptr) {
        LogFailure("Execute SQL command failed: %s\n", kNotOpenMessage);
        return -1;
    }
    char* error = nullptr;
    sqlite3_mutex_enter(mutex);
    int rc = sqlite3_exec(db, sql, callback, target, &error);
    sqlite3_mutex_leave(mutex);
    if (rc != SQLITE_OK) {
        const char* message = error != nullptr ? error : sqlite3_errstr(rc);
        if (rc == SQLITE_ABORT && abortMessage != nullptr) {
            message = abortMessage;
        }
        LogFailure("Execute SQL command failed: %s\n", message);
        sqlite3_free(error);
        return -1;
    }
    return 0;
}

int OpenDatabase(const char* path, sqlite3** db) {
    char utf8[kPathBufferSize] = {};
    if (path == nullptr || FileApiToUtf8(path, utf8, sizeof utf8) == 0) {
        LogFailure("Can't open database: %s\n", kPathTooLongMessage);
        return -1;
    }
    // The database holds passwords and keys: create it private to the user before SQLite
    // opens it (SQLite gives its journal files the database file's mode). It lies in the
    // user's data folder: made, like all of SQLite's work on its files, as the user.
    if (utf8[0] != '\0' && strcmp(utf8, ":memory:") != 0) {
        UserFileAccess access;
        int fd = open(utf8, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
        }
    }
    if (sqlite3_open_v2(utf8, db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, UserFileVfsName()) !=
        SQLITE_OK) {
        LogFailure("Can't open database: %s\n", sqlite3_errmsg(*db));
        return -1;
    }
    return 0;
}

int OpenDatabaseReadOnly(const char* path, sqlite3** db) {
    char utf8[kPathBufferSize] = {};
    if (path == nullptr || FileApiToUtf8(path, utf8, sizeof utf8) == 0) {
        LogFailure("Can't open database: %s\n", kPathTooLongMessage);
        return -1;
    }
    if (sqlite3_open_v2(utf8, db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        LogFailure("Can't open database: %s\n", sqlite3_errmsg(*db));
        return -1;
    }
    return 0;
}

int CloseDatabase(sqlite3** db, sqlite3_mutex** mutex) {
    if (sqlite3_close(*db) != SQLITE_OK) {
        return -1;
    }
    *db = nullptr;
    sqlite3_mutex_free(*mutex);
    *mutex = nullptr;
    return 0;
}

void LogFailure(const char* line, const char* message) {
    ZRWLog(6, 2, line, message);
}

int ColumnNumber(const char* value) {
    errno = 0;
    char* end = nullptr;
    long number = strtol(value, &end, 10);
    if (end == value) {
        return 0;
    }
    if (number > INT_MAX) {
        return INT_MAX;
    }
    if (number < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(number);
}

void CopyColumnText(char* dst, size_t size, const char* value, const char* column) {
    size_t length = strlen(value);
    size_t cut = Utf8CopyBounded(dst, size, value);
    if (cut == length) {
        return;
    }
    ZRWLog(6, 2, "Column %s holds %zu bytes, more than its field takes: cut to %zu bytes\n", column, length,
           cut);
}

} // namespace StoreSql
