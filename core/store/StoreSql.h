// Helpers shared by the store and the imported-database reader: bounded statement
// formatting, the locked select, and the column conversions of the row callbacks.
#pragma once

#include <cstddef>
#include <cstring>

#include "StoreStatements.h"

struct sqlite3;
struct sqlite3_mutex;

using SqlRowCallback = int (*)(void* target, int columns, char** values, char** names);

namespace StoreSql {

// Formats a statement with SQLite's printf into buf (at least maxChars + 1 bytes). When
// the statement is longer than maxChars characters nothing is written and -1 returned.
int Format(char* buf, int maxChars, const char* format, ...);

// Formats a write. A record whose texts are not all terminated, or a statement that does
// not fit, is refused with the operation's failure line: 0 or -1.
int FormatWrite(char* buf, int maxChars, bool terminated, const char* failureLine, const char* format, ...);

// Logs one of the store's failure lines (module 6, level 2) with its message.
void LogFailure(const char* line, const char* message);

// Formats a select that takes at most one id into a 2048-byte buffer and
// runs it through the owner's ExecQuery. -1 for a missing target.
template <typename Owner>
int Query(Owner& owner, void* target, const char* format, int id, SqlRowCallback callback) {
    if (target == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    if (Format(sql, kQueryMaxChars, format, id) != 0) {
        LogFailure("Execute SQL command failed: %s\n", kTooLongMessage);
        return -1;
    }
    return owner.ExecQuery(target, sql, callback);
}

// Runs a select under the mutex, handing each row to the callback. Logs "Execute SQL
// command failed: %s\n" and returns -1 on failure; a select that the callback stopped
// logs abortMessage, when given, in place of SQLite's message.
int ExecSelect(sqlite3* db, sqlite3_mutex* mutex, void* target, const char* sql, SqlRowCallback callback,
               const char* abortMessage = nullptr);

// Converts the path (file-API code page) to UTF-8 and opens the database file, creating
// it with mode 0600 when it is missing. Logs "Can't open database: %s\n" and returns -1
// on failure; *db may then hold a handle all the same.
int OpenDatabase(const char* path, sqlite3** db);

// Opens an existing database file read-only, as OpenDatabase converts its path: nothing
// is created and nothing can be written through the connection. Logs "Can't open
// database: %s\n" and returns -1 on failure; *db may then hold a handle all the same.
int OpenDatabaseReadOnly(const char* path, sqlite3** db);

// Closes the database and frees the mutex, nulling both; -1 when the close fails (the
// mutex is then kept).
int CloseDatabase(sqlite3** db, sqlite3_mutex** mutex);

// A column's number: the leading decimal digits (with sign), clamped to int; 0 otherwise.
int ColumnNumber(const char* value);

// Copies a column's text into a fixed array. A text that does not fit is cut at a UTF-8
// character boundary and the cut is logged.
void CopyColumnText(char* dst, size_t size, const char* value, const char* column);

template <size_t N> void CopyColumnText(char (&dst)[N], const char* value, const char* column) {
    CopyColumnText(dst, N, value, column);
}

// True when every given array holds its NUL terminator.
template <size_t N> bool Terminated(const char (&text)[N]) {
    return memchr(text, '\0', N) != nullptr;
}
template <size_t N, typename... Rest> bool Terminated(const char (&text)[N], const Rest&... rest) {
    return Terminated(text) && Terminated(rest...);
}

inline bool IsColumn(const char* name, const char* column) {
    return strcmp(name, column) == 0;
}

} // namespace StoreSql
