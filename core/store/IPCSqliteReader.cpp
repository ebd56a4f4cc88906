#include "IPCSqliteReader.h"

#include <sqlite3.h>

#include "IPCSqlite.h"
#include "StoreStatements.h"

using namespace StoreSql;

namespace {

// Limits for a file from outside: no single value above 16 MiB, and a select stops after
// this many virtual-machine steps (a real profile database needs a tiny fraction).
constexpr int kMaxValueBytes = 16 * 1024 * 1024;
constexpr int kProgressStep = 10000;
constexpr long kMaxProgressCalls = 500; // 5 million steps

int StopRunawayStatement(void* calls) {
    long* count = static_cast<long*>(calls);
    return ++*count > kMaxProgressCalls ? 1 : 0;
}

// The progress count lives as long as the process: a reader's copies share the connection.
long progressCalls = 0;

struct CappedProfileList {
    std::vector<ProfileInfo>* list;
    size_t rows;
};

int CappedProfileListCallback(void* target, int columns, char** values, char** names) {
    CappedProfileList* capped = static_cast<CappedProfileList*>(target);
    if (++capped->rows > kMaxImportedProfiles) {
        return 1;
    }
    return IPCSqlite::ProfileListCallback(capped->list, columns, values, names);
}

} // namespace

IPCSqliteReader::IPCSqliteReader() : db(nullptr), mutex(nullptr), context(nullptr), status(0) {}

IPCSqliteReader::~IPCSqliteReader() {}

int IPCSqliteReader::Init(const char* path) {
    // The file is only read: it is opened read-only, and a missing file is not created.
    if (OpenDatabaseReadOnly(path, &db) != 0) {
        // The import does not close a reader that failed to open: release the handle
        // that SQLite gives even for a failed open.
        CloseDatabase(&db, &mutex);
        return -1;
    }
    // The schema of a foreign file is not trusted: no functions with side effects from
    // its views or triggers, and no writes to its internals.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_progress_handler(db, kProgressStep, StopRunawayStatement, &progressCalls);
    mutex = sqlite3_mutex_alloc(SQLITE_MUTEX_FAST);
    return 0;
}

int IPCSqliteReader::DeInit() {
    return CloseDatabase(&db, &mutex);
}

int IPCSqliteReader::ExecQuery(void* target, const char* sql, SqlRowCallback callback) {
    progressCalls = 0;
    return ExecSelect(db, mutex, target, sql, callback);
}

int IPCSqliteReader::GetProfileList(std::vector<ProfileInfo>& list) {
    const size_t before = list.size();
    CappedProfileList capped{&list, 0};
    progressCalls = 0;
    int result = ExecSelect(db, mutex, &capped, kSelectProfileList, CappedProfileListCallback,
                            kTooManyProfilesMessage);
    if (result != 0) {
        // A refused file adds nothing.
        list.resize(before);
    }
    return result;
}

int IPCSqliteReader::GetWireGuardInfoByID(WireGuardVPNInfo* info, int id) {
    return Query(*this, info, kSelectWireGuardByID, id, WireGuardInfoCallback);
}

int IPCSqliteReader::GetOpenVPNConfigByID(OpenVPNInfo* info, int id) {
    return Query(*this, info, kSelectOpenVPNByID, id, OpenVPNConfigCallback);
}

int IPCSqliteReader::GetIPSecProfileByID(IPSecVPNInfo* info, int id) {
    return Query(*this, info, kSelectIPSecByID, id, IPSecProfileCallback);
}

int IPCSqliteReader::ProfileListCallback(void* target, int columns, char** values, char** names) {
    return IPCSqlite::ProfileListCallback(target, columns, values, names);
}

int IPCSqliteReader::WireGuardInfoCallback(void* target, int columns, char** values, char** names) {
    return IPCSqlite::WireGuardInfoCallback(target, columns, values, names);
}

int IPCSqliteReader::OpenVPNConfigCallback(void* target, int columns, char** values, char** names) {
    return IPCSqlite::OpenVPNConfigCallback(target, columns, values, names);
}

int IPCSqliteReader::IPSecProfileCallback(void* target, int columns, char** values, char** names) {
    return IPCSqlite::IPSecProfileCallback(target, columns, values, names);
}
