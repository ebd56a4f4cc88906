// Reads the profiles out of a database file that did not come from this run: the
// deciphered file of a profile import. It creates no table and never writes; the
// statements, row callbacks, locking and failure lines are those of IPCSqlite.
//
// The file comes from outside the program, so the connection is opened defensively:
// texts longer than a record's array are cut at a character boundary (and logged), and a
// select that runs away is stopped.
#pragma once

#include <cstddef>
#include <vector>

#include "IPSecVPNInfo.h"
#include "ProfileRecords.h"
#include "StoreSql.h"

class AppContext;

// The most profiles one imported file may hold. A store holds some dozens of profiles, a
// large one thousands: a file with more is refused (by the import's check with a message
// that names this number, and by the reader as soon as its count passes it, before the rows
// fill the memory).
constexpr size_t kMaxImportedProfiles = 50000;

class IPCSqliteReader {
public:
    IPCSqliteReader();
    // Closes nothing: a copy shares the connection, and only DeInit on the reader that
    // opened it closes it.
    ~IPCSqliteReader();

    // Opens the file at a UTF-8 path read-only; a missing file fails, and a file that is
    // not a database of this program fails at its first select.
    int Init(const char* path);
    int DeInit();

    int GetProfileList(std::vector<ProfileInfo>& list);
    int GetWireGuardInfoByID(WireGuardVPNInfo* info, int id);
    int GetOpenVPNConfigByID(OpenVPNInfo* info, int id);
    int GetIPSecProfileByID(IPSecVPNInfo* info, int id);
    int ExecQuery(void* target, const char* sql, SqlRowCallback callback);

    static int ProfileListCallback(void* target, int columns, char** values, char** names);
    static int WireGuardInfoCallback(void* target, int columns, char** values, char** names);
    static int OpenVPNConfigCallback(void* target, int columns, char** values, char** names);
    static int IPSecProfileCallback(void* target, int columns, char** values, char** names);

private:
    sqlite3* db;
    sqlite3_mutex* mutex;
    // Laid out as IPCSqlite; the reader has no use for these two.
    [[maybe_unused]] AppContext* context;
    [[maybe_unused]] int status;
};
