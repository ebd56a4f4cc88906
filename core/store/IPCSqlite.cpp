#include "IPCSqlite.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>

#include <sqlite3.h>

#include "StoreStatements.h"
#include "StrUtils.h"
#include "zrwlog.h"

using namespace StoreSql;

namespace {

// Failure lines of the writes.
const char* const kInsertProfileFailed = "Can't insert profile into table PROFILE: %s\n";
const char* const kDeleteProfileFailed = "Can't delete profile from table PROFILE: %s\n";
const char* const kUpdateProfileFailed = "System :: Can't update profile from table PROFILE: %s\n";
const char* const kInsertWireGuardFailed = "Can't insert wireguardinfo into table ZRWIREGUARDVPN: %s\n";
const char* const kDeleteWireGuardFailed = "Can't delete wireguardinfo from table ZRWIREGUARDVPN: %s\n";
const char* const kUpdateWireGuardFailed = "Can't update wireguardinfo from table ZRWIREGUARDVPN: %s\n";
const char* const kInsertOpenVPNFailed = "Can't insert OpenVPN config into table OPENVPN: %s\n";
const char* const kDeleteOpenVPNFailed = "Can't delete OpenVPN config from table OPENVPN: %s\n";
const char* const kUpdateOpenVPNFailed = "Can't update OpenVPN config from table OPENVPN: %s\n";
const char* const kInsertSettingFailed = "Can't insert settinginfo into table SETTINGINFO: %s\n";
const char* const kUpdateSettingFailed = "Can't update settinginfo from table SETTINGINFO: %s\n";
const char* const kInsertIPSecFailed = "Can't insert ipsec profile into table ZRIPSECVPN: %s\n";
const char* const kDeleteIPSecFailed = "Can't delete PROFILE from table ZRIPSECVPN: %s\n";
const char* const kUpdateIPSecFailed = "IPSec :: Can't update profile from table PROFILE: %s\n";

const char* const kBeginFailed = "Can't begin transaction: %s\n";
const char* const kCommitFailed = "Can't commit transaction: %s\n";
const char* const kRollbackFailed = "Can't roll back transaction: %s\n";

const char* const kPhaseOneTooLongMessage = "the phase-1 proposal text does not fit its buffer";
const char* const kNestedTransactionMessage = "a transaction is open already";
const char* const kNoTransactionMessage = "no transaction is open";

struct TableStatement {
    const char* sql;
    const char* failureLine;
};

const TableStatement kCreateTables[] = {
    {kCreateProfileTable, "Can't create table PROFILE: %s\n"},
    {kCreateWireGuardTable, "Can't create table ZRWIREGUARDVPN: %s\n"},
    {kCreateIPSecTable, "Can't create table ZRIPSECVPN: %s\n"},
    {kCreateOpenVPNTable, "Can't create table OPENVPN: %s\n"},
    {kCreateSettingTable, "Can't create table SETTINGINFO: %s\n"},
};

// A number column whose text is empty leaves the field as it was.
void TakeNumberIfSet(int& field, const char* value) {
    if (StrIsSet(value)) {
        field = ColumnNumber(value);
    }
}

void FillProfile(ProfileInfo* info, int columns, char** values, char** names) {
    for (int i = 0; i < columns; ++i) {
        const char* value = values[i];
        const char* name = names[i];
        if (value == nullptr) {
            continue;
        }
        if (IsColumn(name, "ProfileID")) {
            TakeNumberIfSet(info->ProfileID, value);
        } else if (IsColumn(name, "ProfileType")) {
            TakeNumberIfSet(info->ProfileType, value);
        } else if (IsColumn(name, "ProfileName")) {
            CopyColumnText(info->ProfileName, value, name);
        } else if (IsColumn(name, "ConfigID")) {
            TakeNumberIfSet(info->ConfigID, value);
        }
    }
}

// Columns of ZRIPSECVPN set through the record's setters; a text column is taken only
// when it is not empty, and a validating setter leaves its field for a value it refuses.
struct IPSecNumberColumn {
    const char* name;
    int (IPSecVPNInfo::*set)(int);
};
struct IPSecTextColumn {
    const char* name;
    int (IPSecVPNInfo::*set)(std::string);
};

const IPSecNumberColumn kIPSecNumbers[] = {
    {"ID", &IPSecVPNInfo::SetID},
    {"Version", &IPSecVPNInfo::SetVersion},
    {"AuthMethod", &IPSecVPNInfo::SetAuthMethod},
    {"TransportProtocol", &IPSecVPNInfo::SetTransportProtocol},
    {"ProtocolType", &IPSecVPNInfo::SetProtocolType},
};
// RemoteAddrs also sets IKEID; the IKEID column comes later in the selects and then
// sets the stored value.
const IPSecTextColumn kIPSecTexts[] = {
    {"PolicyName", &IPSecVPNInfo::SetPolicyName},
    {"LocalAddrs", &IPSecVPNInfo::SetLocalAddrs},
    {"RemoteAddrs", &IPSecVPNInfo::SetRemoteAddrs},
    {"LocalTrafficSelectors", &IPSecVPNInfo::SetLocalTrafficSelectors},
    {"EspProposals", &IPSecVPNInfo::SetEspProposals},
    {"AHProposals", &IPSecVPNInfo::SetAHProposals},
    {"IKEID", &IPSecVPNInfo::SetIKEID},
    {"PSKSecret", &IPSecVPNInfo::SetPSKSecret},
};

void FillIPSecColumn(IPSecVPNInfo* info, const char* name, const char* value) {
    for (const IPSecNumberColumn& column : kIPSecNumbers) {
        if (IsColumn(name, column.name)) {
            (info->*column.set)(ColumnNumber(value));
            return;
        }
    }
    if (IsColumn(name, "EnableDPD")) {
        info->SetEnableDPD(ColumnNumber(value));
    } else if (IsColumn(name, "DPDPeriod")) {
        info->SetDPDPeriod(ColumnNumber(value));
    } else if (!StrIsSet(value)) {
        return;
    } else if (IsColumn(name, "RemoteTrafficSelectors")) {
        info->SetRemoteTrafficSelectorsText(value);
    } else if (IsColumn(name, "PhaseOneProposals")) {
        if (info->SetPhaseOneProposals(value) != 0 &&
            strlen(value) >= static_cast<size_t>(IPSecVPNInfo::ProposalBufferSize)) {
            ZRWLog(6, 2, "Column %s holds %zu bytes, more than its field takes: not taken\n", name,
                   strlen(value));
        }
    } else {
        for (const IPSecTextColumn& column : kIPSecTexts) {
            if (IsColumn(name, column.name)) {
                (info->*column.set)(value);
                return;
            }
        }
    }
}

void FillIPSec(IPSecVPNInfo* info, int columns, char** values, char** names) {
    for (int i = 0; i < columns; ++i) {
        if (values[i] != nullptr) {
            FillIPSecColumn(info, names[i], values[i]);
        }
    }
}

} // namespace

IPCSqlite::IPCSqlite() : db(nullptr), mutex(nullptr), context(nullptr), status(0) {}

IPCSqlite::~IPCSqlite() {}

int IPCSqlite::Init(const char* path) {
    if (OpenDatabase(path, &db) != 0) {
        // SQLite hands out a connection even for a failed open: close it, so that nothing
        // stays behind and a later open starts clean.
        CloseDatabase(&db, &mutex);
        return -1;
    }
    for (const TableStatement& table : kCreateTables) {
        char* error = nullptr;
        int rc = sqlite3_exec(db, table.sql, nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            LogFailure(table.failureLine, error != nullptr ? error : sqlite3_errstr(rc));
            sqlite3_free(error);
            CloseDatabase(&db, &mutex);
            return -1;
        }
    }
    // Recursive: a transaction holds the mutex from its "begin" to its "commit", and the
    // statements of its own thread enter it again meanwhile.
    mutex = sqlite3_mutex_alloc(SQLITE_MUTEX_RECURSIVE);
    return 0;
}

int IPCSqlite::DeInit() {
    // Waits for a transaction of another thread to end. Closing rolls back a transaction of
    // this thread that is still open; its hold on the mutex goes with it.
    sqlite3_mutex_enter(mutex);
    if (inTransaction) {
        inTransaction = false;
        sqlite3_mutex_leave(mutex);
    }
    sqlite3_mutex_leave(mutex);
    return CloseDatabase(&db, &mutex);
}

int IPCSqlite::SetContext(AppContext* appContext) {
    context = appContext;
    return 0;
}

int IPCSqlite::TakeStatus(int* out) {
    if (out != nullptr) {
        *out = status;
    }
    status = 0;
    return 0;
}

int IPCSqlite::RunWrite(const char* sql, const char* failureLine, int* newID) {
    if (db == nullptr) {
        LogFailure(failureLine, kNotOpenMessage);
        return -1;
    }
    char* error = nullptr;
    sqlite3_mutex_enter(mutex);
    if (!inTransaction) {
        sqlite3_exec(db, kBegin, nullptr, nullptr, nullptr);
    }
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    int changes = sqlite3_changes(db);
    sqlite3_int64 rowID = sqlite3_last_insert_rowid(db);
    char* commitError = nullptr;
    // Inside an open transaction its owner commits.
    int commitRC = inTransaction ? SQLITE_OK : sqlite3_exec(db, kCommit, nullptr, nullptr, &commitError);
    if (commitRC != SQLITE_OK) {
        // The transaction is still open and holds its lock: undo it, so that nothing is
        // left half-written and the next write starts a transaction of its own.
        if (sqlite3_get_autocommit(db) == 0) {
            sqlite3_exec(db, kRollback, nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) {
            // The change did not reach the file: report the commit's failure.
            rc = commitRC;
            error = commitError;
            commitError = nullptr;
        }
    }
    sqlite3_free(commitError);
    sqlite3_mutex_leave(mutex);
    if (rc != SQLITE_OK) {
        LogFailure(failureLine, error != nullptr ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        return -1;
    }
    if (newID != nullptr) {
        // INSERT OR IGNORE that ignored the row: the last row id belongs to another row.
        if (changes == 0) {
            LogFailure(failureLine, kNotInsertedMessage);
            return -1;
        }
        *newID = static_cast<int>(rowID);
    }
    return 0;
}

int IPCSqlite::RunDelete(const char* format, int id, const char* failureLine) {
    char sql[kQueryBufferSize];
    if (Format(sql, kQueryMaxChars, format, id) != 0) {
        LogFailure(failureLine, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, failureLine, nullptr);
}

int IPCSqlite::RunWriteGroup(const char* const* sql, const char* const* failureLines, int count) {
    if (db == nullptr) {
        LogFailure(failureLines[0], kNotOpenMessage);
        return -1;
    }
    char* error = nullptr;
    const char* failureLine = failureLines[0];
    sqlite3_mutex_enter(mutex);
    // Inside an open transaction its owner commits, or rolls back after a failure.
    int rc = inTransaction ? SQLITE_OK : sqlite3_exec(db, kBegin, nullptr, nullptr, &error);
    for (int i = 0; rc == SQLITE_OK && i < count; ++i) {
        failureLine = failureLines[i];
        rc = sqlite3_exec(db, sql[i], nullptr, nullptr, &error);
    }
    if (rc == SQLITE_OK && !inTransaction) {
        rc = sqlite3_exec(db, kCommit, nullptr, nullptr, &error);
    }
    if (rc != SQLITE_OK && !inTransaction && sqlite3_get_autocommit(db) == 0) {
        sqlite3_exec(db, kRollback, nullptr, nullptr, nullptr);
    }
    sqlite3_mutex_leave(mutex);
    if (rc != SQLITE_OK) {
        LogFailure(failureLine, error != nullptr ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        return -1;
    }
    return 0;
}

int IPCSqlite::RunControl(const char* sql, const char* failureLine) {
    if (db == nullptr) {
        LogFailure(failureLine, kNotOpenMessage);
        return -1;
    }
    char* error = nullptr;
    sqlite3_mutex_enter(mutex);
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    sqlite3_mutex_leave(mutex);
    if (rc != SQLITE_OK) {
        LogFailure(failureLine, error != nullptr ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        return -1;
    }
    return 0;
}

int IPCSqlite::BeginTransaction() {
    if (db == nullptr) {
        LogFailure(kBeginFailed, kNotOpenMessage);
        return -1;
    }
    // Held until Commit or Rollback: the store is the transaction's thread's alone, so no
    // statement of another thread runs inside it or sees what it has not committed yet.
    sqlite3_mutex_enter(mutex);
    if (inTransaction) {
        sqlite3_mutex_leave(mutex);
        LogFailure(kBeginFailed, kNestedTransactionMessage);
        return -1;
    }
    if (RunControl(kBegin, kBeginFailed) != 0) {
        sqlite3_mutex_leave(mutex);
        return -1;
    }
    inTransaction = true;
    return 0;
}

int IPCSqlite::CommitTransaction() {
    sqlite3_mutex_enter(mutex);
    if (!inTransaction) {
        sqlite3_mutex_leave(mutex);
        LogFailure(kCommitFailed, kNoTransactionMessage);
        return -1;
    }
    inTransaction = false;
    int result = RunControl(kCommit, kCommitFailed);
    // A commit that failed (a full disk, a lock) leaves the transaction open.
    if (result != 0 && sqlite3_get_autocommit(db) == 0) {
        RunControl(kRollback, kRollbackFailed);
    }
    sqlite3_mutex_leave(mutex);
    sqlite3_mutex_leave(mutex);
    return result;
}

int IPCSqlite::RollbackTransaction() {
    sqlite3_mutex_enter(mutex);
    if (!inTransaction) {
        sqlite3_mutex_leave(mutex);
        return -1;
    }
    inTransaction = false;
    // SQLite may have rolled back by itself after some failures.
    int result = 0;
    if (db != nullptr && sqlite3_get_autocommit(db) == 0) {
        result = RunControl(kRollback, kRollbackFailed);
    }
    sqlite3_mutex_leave(mutex);
    sqlite3_mutex_leave(mutex);
    return result;
}

int IPCSqlite::ExecQuery(void* target, const char* sql, SqlRowCallback callback) {
    return ExecSelect(db, mutex, target, sql, callback);
}

int IPCSqlite::ToResultCode(int result) {
    return result == 0 ? 0 : -1;
}

// PROFILE

int IPCSqlite::InsertProfile(ProfileInfo* info) {
    char sql[kWriteBufferSize];
    if (info == nullptr ||
        FormatWrite(sql, kWriteMaxChars, Terminated(info->ProfileName), kInsertProfileFailed, kInsertProfile,
                    info->ProfileName, info->ProfileType, info->ConfigID) != 0) {
        return -1;
    }
    return RunWrite(sql, kInsertProfileFailed, &info->ProfileID);
}

int IPCSqlite::DeleteProfile(ProfileInfo* info) {
    return info == nullptr ? -1 : RunDelete(kDeleteProfile, info->ProfileID, kDeleteProfileFailed);
}

int IPCSqlite::DeleteProfileWithConfig(ProfileInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    const char* kindFormat = nullptr;
    const char* kindFailureLine = nullptr;
    switch (info->ProfileType) {
    case VPN_TYPE_IPSEC:
        kindFormat = kDeleteIPSec;
        kindFailureLine = kDeleteIPSecFailed;
        break;
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN:
        kindFormat = kDeleteOpenVPN;
        kindFailureLine = kDeleteOpenVPNFailed;
        break;
    case VPN_TYPE_WIREGUARD:
        kindFormat = kDeleteWireGuard;
        kindFailureLine = kDeleteWireGuardFailed;
        break;
    default:
        return RunDelete(kDeleteProfile, info->ProfileID, kDeleteProfileFailed);
    }
    char profileSql[kQueryBufferSize];
    char kindSql[kQueryBufferSize];
    if (Format(profileSql, kQueryMaxChars, kDeleteProfile, info->ProfileID) != 0 ||
        Format(kindSql, kQueryMaxChars, kindFormat, info->ConfigID) != 0) {
        LogFailure(kDeleteProfileFailed, kTooLongMessage);
        return -1;
    }
    const char* const statements[] = {profileSql, kindSql};
    const char* const failureLines[] = {kDeleteProfileFailed, kindFailureLine};
    return RunWriteGroup(statements, failureLines, 2);
}

int IPCSqlite::UpdateProfile(ProfileInfo* info) {
    char sql[kWriteBufferSize];
    if (info == nullptr || info->ProfileID == 0 ||
        FormatWrite(sql, kWriteMaxChars, Terminated(info->ProfileName), kUpdateProfileFailed, kUpdateProfile,
                    info->ProfileName, info->ProfileType, info->ConfigID, info->ProfileID) != 0) {
        return -1;
    }
    return RunWrite(sql, kUpdateProfileFailed, nullptr);
}

// The number of profiles stored, for sizing a list before it is read; 0 when the count fails.
long long IPCSqlite::countProfiles() {
    long long rows = 0;
    const auto countCallback = [](void* target, int columns, char** values, char**) {
        if (columns > 0 && values[0] != nullptr) {
            *static_cast<long long*>(target) = std::atoll(values[0]);
        }
        return 0;
    };
    if (db == nullptr || Query(*this, &rows, kCountProfiles, 0, countCallback) != 0) {
        return 0;
    }
    return rows;
}

int IPCSqlite::GetProfileList(std::vector<ProfileInfo>& list) {
    // The list is sized once for the rows to come: a fresh list of 10,000 records grown
    // by doubling costs ten times the read itself. A count that fails only skips that.
    const long long rows = countProfiles();
    if (rows > 0) {
        list.reserve(list.size() + static_cast<size_t>(rows));
    }
    return Query(*this, &list, kSelectProfileList, 0, ProfileListCallback);
}

namespace {

struct ProfilesWithKinds {
    std::vector<ProfileInfo>* list;
    std::vector<ProfileKindSummary>* kinds;
};

// The columns of kSelectProfileListWithKinds, in its order: the profile's four, then the
// kind's.
enum ProfileWithKindColumn {
    kProfileIDColumn,
    kProfileNameColumn,
    kProfileTypeColumn,
    kConfigIDColumn,
    kWanIPColumn,
    kIPAddrColumn,
    kInterSubMaskColumn,
    kServerIPColumn,
    kLocalIPColumn,
    kRemoteAddrsColumn,
    kLocalAddrsColumn,
    kProfileWithKindColumns,
};

// The text a record's fixed field of N bytes holds of a column's value, cut as the record's
// own select cuts it (a cut is logged the same); empty for NULL or an empty text.
template <size_t N> std::string FieldText(const char* value, const char* column) {
    if (value == nullptr || *value == '\0') {
        return std::string();
    }
    char field[N];
    CopyColumnText(field, value, column);
    return std::string(field, strnlen(field, N));
}

} // namespace

namespace {

// A column's text as the row callbacks get it from sqlite3_exec: NULL for a NULL value.
const char* ColumnText(sqlite3_stmt* statement, int column) {
    return reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
}

// A number column as ColumnNumber reads its text, into `field`; an integer stored as such
// is taken without making its text. A NULL value, and an empty text unless `emptyCounts`,
// leave the field as it was.
void TakeColumnNumber(sqlite3_stmt* statement, int column, bool emptyCounts, int& field) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER: {
        const sqlite3_int64 number = sqlite3_column_int64(statement, column);
        field = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
        return;
    }
    default: {
        const char* text = ColumnText(statement, column);
        if (text != nullptr && (emptyCounts || *text != '\0')) {
            field = ColumnNumber(text);
        }
        return;
    }
    }
}

// One row of kSelectProfileListWithKinds: the profile as the list's own select fills it
// (FillProfile), and of its kind's columns only those the lists show, cut and checked as
// the select of the kind's record gives them: WanIP and IPAddr cut to their fields,
// InterSubMask a number even from an empty text, ServerIP and LocalIP cut to theirs,
// RemoteAddrs and LocalAddrs whole. No record of the kind is built, and no text is made of
// a column the row does not use.
void TakeProfileWithKind(sqlite3_stmt* statement, char** names, ProfilesWithKinds& out) {
    out.list->emplace_back();
    ProfileInfo& info = out.list->back();
    TakeColumnNumber(statement, kProfileIDColumn, false, info.ProfileID);
    if (const char* name = ColumnText(statement, kProfileNameColumn)) {
        CopyColumnText(info.ProfileName, name, names[kProfileNameColumn]);
    }
    TakeColumnNumber(statement, kProfileTypeColumn, false, info.ProfileType);
    TakeColumnNumber(statement, kConfigIDColumn, false, info.ConfigID);
    out.kinds->emplace_back();
    ProfileKindSummary& summary = out.kinds->back();
    const auto text = [statement](int column) { return ColumnText(statement, column); };
    switch (info.ProfileType) {
    case VPN_TYPE_WIREGUARD:
        summary.serverAddress =
            FieldText<sizeof(WireGuardVPNInfo::WanIP)>(text(kWanIPColumn), names[kWanIPColumn]);
        summary.localAddress =
            FieldText<sizeof(WireGuardVPNInfo::IPAddr)>(text(kIPAddrColumn), names[kIPAddrColumn]);
        TakeColumnNumber(statement, kInterSubMaskColumn, true, summary.prefixLength);
        break;
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN:
        summary.serverAddress =
            FieldText<sizeof(OpenVPNInfo::ServerIP)>(text(kServerIPColumn), names[kServerIPColumn]);
        summary.localAddress =
            FieldText<sizeof(OpenVPNInfo::LocalIP)>(text(kLocalIPColumn), names[kLocalIPColumn]);
        break;
    case VPN_TYPE_IPSEC:
        if (const char* remote = text(kRemoteAddrsColumn); StrIsSet(remote)) {
            summary.serverAddress = remote;
        }
        if (const char* local = text(kLocalAddrsColumn); StrIsSet(local)) {
            summary.localAddress = local;
        }
        break;
    default:
        break;
    }
}

} // namespace

// The statement is stepped here rather than run by sqlite3_exec, which makes a text of
// every column of every row (the profile chooser lists 10,000 rows each time it opens).
int IPCSqlite::GetProfileListWithKinds(std::vector<ProfileInfo>& list,
                                       std::vector<ProfileKindSummary>& kinds) {
    if (db == nullptr) {
        LogFailure("Execute SQL command failed: %s\n", kNotOpenMessage);
        return -1;
    }
    const long long rows = countProfiles();
    if (rows > 0) {
        list.reserve(list.size() + static_cast<size_t>(rows));
        kinds.reserve(kinds.size() + static_cast<size_t>(rows));
    }
    ProfilesWithKinds target{&list, &kinds};
    std::string failure;
    sqlite3_mutex_enter(mutex);
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, kSelectProfileListWithKinds, -1, &statement, nullptr);
    if (rc == SQLITE_OK && sqlite3_column_count(statement) != kProfileWithKindColumns) {
        rc = SQLITE_ERROR;
    }
    char* names[kProfileWithKindColumns] = {};
    for (int i = 0; rc == SQLITE_OK && i < kProfileWithKindColumns; ++i) {
        names[i] = const_cast<char*>(sqlite3_column_name(statement, i));
    }
    while (rc == SQLITE_OK) {
        const int step = sqlite3_step(statement);
        if (step != SQLITE_ROW) {
            rc = step == SQLITE_DONE ? SQLITE_OK : step;
            break;
        }
        TakeProfileWithKind(statement, names, target);
    }
    if (rc != SQLITE_OK) {
        const char* message = sqlite3_errmsg(db);
        failure = message != nullptr ? message : sqlite3_errstr(rc);
    }
    sqlite3_finalize(statement);
    sqlite3_mutex_leave(mutex);
    if (rc != SQLITE_OK) {
        LogFailure("Execute SQL command failed: %s\n", failure.c_str());
        return -1;
    }
    return 0;
}

int IPCSqlite::GetProfileByID(ProfileInfo* info, int profileID) {
    return Query(*this, info, kSelectProfileByID, profileID, ProfileByIDCallback);
}

int IPCSqlite::GetProfileByConfigID(ProfileInfo* info, int configID) {
    return Query(*this, info, kSelectProfileByConfigID, configID, ProfileByConfigIDCallback);
}

namespace {

// A stable sort with the comparison of neighbour swapping gives the same order. The records
// are large, so their positions are sorted and the records then moved into place along the
// permutation's cycles, each once, without a second list.
template <typename Before>
std::vector<uint32_t> OrderByName(const std::vector<ProfileInfo>& list, Before before) {
    std::vector<uint32_t> order(list.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&list, &before](uint32_t a, uint32_t b) {
        return before(strncmp(list[a].ProfileName, list[b].ProfileName, RECORD_TEXT_LONG));
    });
    return order;
}

bool Ascending(int order) {
    return order < 0;
}

bool Descending(int order) {
    return order > 0;
}

template <typename Before> void StableSortByName(std::vector<ProfileInfo>& list, Before before) {
    const size_t count = list.size();
    const std::vector<uint32_t> order = OrderByName(list, before);
    // Position k receives the record that stood at order[k].
    std::vector<bool> placed(count, false);
    for (size_t start = 0; start < count; ++start) {
        if (placed[start] || order[start] == start) {
            continue;
        }
        const ProfileInfo held = list[start];
        size_t k = start;
        for (;;) {
            placed[k] = true;
            const size_t from = order[k];
            if (from == start) {
                list[k] = held;
                break;
            }
            list[k] = list[from];
            k = from;
        }
    }
}

} // namespace

int IPCSqlite::SortProfilesAscending(std::vector<ProfileInfo>& list) {
    StableSortByName(list, Ascending);
    return 0;
}

int IPCSqlite::SortProfilesDescending(std::vector<ProfileInfo>& list) {
    StableSortByName(list, Descending);
    return 0;
}

std::vector<uint32_t> IPCSqlite::ProfileNameOrder(const std::vector<ProfileInfo>& list, bool ascending) {
    return ascending ? OrderByName(list, Ascending) : OrderByName(list, Descending);
}

// ZRWIREGUARDVPN

namespace {

int FormatWireGuard(char* sql, const char* format, const WireGuardVPNInfo* info, const char* failureLine) {
    bool terminated = Terminated(info->WanIP, info->PeerPubKey, info->IPAddr, info->InterPriKey,
                                 info->InterPubKey, info->DNS, info->PreShardKey, info->AllowdIPs);
    // The trailing ID is only read by the update's format.
    return FormatWrite(sql, kWireGuardMaxChars, terminated, failureLine, format, info->WanIP, info->PeerPort,
                       info->PeerPubKey, info->IPAddr, info->InterSubMask, info->InterPort, info->InterPriKey,
                       info->InterPubKey, info->DNS, info->PreShardKey, info->KeepaliveTime, info->AllowdIPs,
                       info->ID);
}

} // namespace

int IPCSqlite::InsertWireGuardInfo(WireGuardVPNInfo* info) {
    char sql[kWireGuardBufferSize];
    if (info == nullptr || FormatWireGuard(sql, kInsertWireGuard, info, kInsertWireGuardFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kInsertWireGuardFailed, &info->ID);
}

int IPCSqlite::DeleteWireGuardInfo(WireGuardVPNInfo* info) {
    return info == nullptr ? -1 : RunDelete(kDeleteWireGuard, info->ID, kDeleteWireGuardFailed);
}

int IPCSqlite::UpdateWireGuardInfo(WireGuardVPNInfo* info) {
    char sql[kWireGuardBufferSize];
    if (info == nullptr || info->ID == 0 ||
        FormatWireGuard(sql, kUpdateWireGuard, info, kUpdateWireGuardFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kUpdateWireGuardFailed, nullptr);
}

int IPCSqlite::GetWireGuardInfoByID(WireGuardVPNInfo* info, int id) {
    return Query(*this, info, kSelectWireGuardByID, id, WireGuardInfoCallback);
}

// OPENVPN

namespace {

// The statement's buffer: the fixed one, grown by room for the configuration text with
// every quote doubled; empty for a text longer than the limit, and for a text with a NUL
// byte, which the statement would cut there and so store only in part.
std::vector<char> OpenVPNStatementBuffer(const OpenVPNInfo* info, const char* failureLine, int* maxChars) {
    const size_t textBytes = info->VPNConfig.size();
    if (textBytes > static_cast<size_t>(kOpenVPNConfigMaxBytes)) {
        LogFailure(failureLine, kTooLongMessage);
        return std::vector<char>();
    }
    if (info->VPNConfig.find('\0') != std::string::npos) {
        LogFailure(failureLine, kNulInTextMessage);
        return std::vector<char>();
    }
    *maxChars = kWriteMaxChars + 2 * static_cast<int>(textBytes);
    return std::vector<char>(static_cast<size_t>(*maxChars) + 2);
}

int FormatOpenVPN(std::vector<char>& buffer, const char* format, const OpenVPNInfo* info,
                  const char* failureLine) {
    int maxChars = 0;
    buffer = OpenVPNStatementBuffer(info, failureLine, &maxChars);
    if (buffer.empty()) {
        return -1;
    }
    bool terminated = Terminated(info->ServerIP, info->ConfigFilePath, info->UserName, info->UserPwd,
                                 info->LocalIP, info->LocalDns, info->LocalWinsServer, info->AllowdIPs);
    // The trailing ID is only read by the update's format.
    return FormatWrite(buffer.data(), maxChars, terminated, failureLine, format, info->ServerIP,
                       info->ServerPort, info->ConfigFilePath, info->NeedPwd, info->UserName, info->UserPwd,
                       info->RememberMe, info->PromptPwd, info->LocalIPType, info->LocalIP, info->LocalDns,
                       info->LocalWinsServer, info->EnableFullTraffic, info->AllowdIPs,
                       info->VPNConfig.c_str(), info->ID);
}

} // namespace

int IPCSqlite::InsertOpenVPNConfig(OpenVPNInfo* info) {
    std::vector<char> sql;
    if (info == nullptr || FormatOpenVPN(sql, kInsertOpenVPN, info, kInsertOpenVPNFailed) != 0) {
        return -1;
    }
    return RunWrite(sql.data(), kInsertOpenVPNFailed, &info->ID);
}

int IPCSqlite::DeleteOpenVPNConfig(OpenVPNInfo* info) {
    return info == nullptr ? -1 : RunDelete(kDeleteOpenVPN, info->ID, kDeleteOpenVPNFailed);
}

int IPCSqlite::UpdateOpenVPNConfig(OpenVPNInfo* info) {
    std::vector<char> sql;
    if (info == nullptr || info->ID == 0 ||
        FormatOpenVPN(sql, kUpdateOpenVPN, info, kUpdateOpenVPNFailed) != 0) {
        return -1;
    }
    return RunWrite(sql.data(), kUpdateOpenVPNFailed, nullptr);
}

int IPCSqlite::GetOpenVPNConfigByID(OpenVPNInfo* info, int id) {
    return Query(*this, info, kSelectOpenVPNByID, id, OpenVPNConfigCallback);
}

// ZRIPSECVPN

int IPCSqlite::FormatIPSecWrite(char* sql, const IPSecVPNInfo* info, bool update, const char* failureLine) {
    char phaseOne[IPSecVPNInfo::ProposalBufferSize] = {};
    if (info->GetPhaseOneProposals(phaseOne) != 0) {
        LogFailure(failureLine, kPhaseOneTooLongMessage);
        return -1;
    }
    std::string selectors;
    info->GetRemoteTrafficSelectorsText(selectors, 1);
    bool ah = info->GetProtocolType() == 1;
    const char* format =
        update ? (ah ? kUpdateIPSecAH : kUpdateIPSecESP) : (ah ? kInsertIPSecAH : kInsertIPSecESP);
    const std::string& proposal = ah ? info->GetAHProposals() : info->GetEspProposals();
    // The trailing ID is only read by the updates' formats.
    return FormatWrite(sql, kWriteMaxChars, true, failureLine, format, info->GetVersion(),
                       info->GetPolicyName().c_str(), info->GetLocalAddrs().c_str(),
                       info->GetRemoteAddrs().c_str(), info->GetAuthMethod(), info->GetTransportProtocol(),
                       selectors.c_str(), info->GetLocalTrafficSelectors().c_str(), proposal.c_str(),
                       phaseOne, info->GetIKEID().c_str(), info->GetPSKSecret().c_str(), info->GetEnableDPD(),
                       info->GetDPDPeriod(), info->GetID());
}

int IPCSqlite::InsertIPSecProfile(IPSecVPNInfo* info) {
    char sql[kWriteBufferSize];
    int id = 0;
    if (info == nullptr || FormatIPSecWrite(sql, info, false, kInsertIPSecFailed) != 0 ||
        RunWrite(sql, kInsertIPSecFailed, &id) != 0) {
        return -1;
    }
    info->SetID(id);
    return 0;
}

int IPCSqlite::DeleteIPSecProfile(int id) {
    return RunDelete(kDeleteIPSec, id, kDeleteIPSecFailed);
}

int IPCSqlite::UpdateIPSecProfile(IPSecVPNInfo* info) {
    char sql[kWriteBufferSize];
    if (info == nullptr || info->GetID() == 0 || FormatIPSecWrite(sql, info, true, kUpdateIPSecFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kUpdateIPSecFailed, nullptr);
}

int IPCSqlite::GetIPSecProfileByID(IPSecVPNInfo* info, int id) {
    return Query(*this, info, kSelectIPSecByID, id, IPSecProfileCallback);
}

int IPCSqlite::GetIPSecProfileList(std::vector<IPSecVPNInfo>& list) {
    return Query(*this, &list, kSelectIPSecList, 0, IPSecProfileListCallback);
}

// SETTINGINFO

namespace {

int FormatSetting(char* sql, const char* format, const SETTINGINFO* info, const char* failureLine) {
    // The trailing ID is only read by the update's format.
    return FormatWrite(sql, kWriteMaxChars, Terminated(info->SelectedName, info->DatabaseVersion),
                       failureLine, format, info->AutoStart, info->Reconnetion, info->NATTraversal,
                       info->LanguageType, info->ColorMode, info->SelectedName, info->DatabaseVersion,
                       info->ID);
}

} // namespace

int IPCSqlite::InsertSettingInfo(SETTINGINFO* info) {
    char sql[kWriteBufferSize];
    if (info == nullptr || FormatSetting(sql, kInsertSetting, info, kInsertSettingFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kInsertSettingFailed, &info->ID);
}

int IPCSqlite::UpdateSettingInfo(SETTINGINFO* info) {
    char sql[kWriteBufferSize];
    if (info == nullptr || info->ID == 0 ||
        FormatSetting(sql, kUpdateSetting, info, kUpdateSettingFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kUpdateSettingFailed, nullptr);
}

int IPCSqlite::GetSettingInfoByID(SETTINGINFO* info, int id) {
    return Query(*this, info, kSelectSettingByID, id, SettingInfoCallback);
}

// Row callbacks

int IPCSqlite::ProfileListCallback(void* target, int columns, char** values, char** names) {
    ProfileInfo info;
    FillProfile(&info, columns, values, names);
    static_cast<std::vector<ProfileInfo>*>(target)->push_back(info);
    return 0;
}

int IPCSqlite::ProfileByIDCallback(void* target, int columns, char** values, char** names) {
    // The select holds no ProfileID, so the caller's id stays.
    FillProfile(static_cast<ProfileInfo*>(target), columns, values, names);
    return 0;
}

int IPCSqlite::ProfileByConfigIDCallback(void* target, int columns, char** values, char** names) {
    // The select holds no ConfigID; with several rows the last one read wins.
    FillProfile(static_cast<ProfileInfo*>(target), columns, values, names);
    return 0;
}

int IPCSqlite::SettingInfoCallback(void* target, int columns, char** values, char** names) {
    SETTINGINFO* info = static_cast<SETTINGINFO*>(target);
    for (int i = 0; i < columns; ++i) {
        const char* value = values[i];
        const char* name = names[i];
        if (value == nullptr) {
            continue;
        }
        if (IsColumn(name, "ID")) {
            TakeNumberIfSet(info->ID, value);
        } else if (IsColumn(name, "AutoStart")) {
            TakeNumberIfSet(info->AutoStart, value);
        } else if (IsColumn(name, "Reconnetion")) {
            TakeNumberIfSet(info->Reconnetion, value);
        } else if (IsColumn(name, "NATTraversal")) {
            TakeNumberIfSet(info->NATTraversal, value);
        } else if (IsColumn(name, "LanguageType")) {
            TakeNumberIfSet(info->LanguageType, value);
        } else if (IsColumn(name, "ColorMode")) {
            TakeNumberIfSet(info->ColorMode, value);
        } else if (IsColumn(name, "SelectedName")) {
            CopyColumnText(info->SelectedName, value, name);
        } else if (IsColumn(name, "DatabaseVersion")) {
            CopyColumnText(info->DatabaseVersion, value, name);
        }
    }
    return 0;
}

int IPCSqlite::WireGuardInfoCallback(void* target, int columns, char** values, char** names) {
    WireGuardVPNInfo* info = static_cast<WireGuardVPNInfo*>(target);
    for (int i = 0; i < columns; ++i) {
        const char* value = values[i];
        const char* name = names[i];
        if (value == nullptr) {
            continue;
        }
        // Numbers are taken even from an empty text (giving 0); an empty text leaves its
        // field as it was.
        if (IsColumn(name, "ID")) {
            info->ID = ColumnNumber(value);
        } else if (IsColumn(name, "PeerPort")) {
            info->PeerPort = ColumnNumber(value);
        } else if (IsColumn(name, "InterSubMask")) {
            info->InterSubMask = ColumnNumber(value);
        } else if (IsColumn(name, "InterPort")) {
            info->InterPort = ColumnNumber(value);
        } else if (IsColumn(name, "KeepaliveTime")) {
            info->KeepaliveTime = ColumnNumber(value);
        } else if (!StrIsSet(value)) {
            continue;
        } else if (IsColumn(name, "WanIP")) {
            CopyColumnText(info->WanIP, value, name);
        } else if (IsColumn(name, "PeerPubKey")) {
            CopyColumnText(info->PeerPubKey, value, name);
        } else if (IsColumn(name, "IPAddr")) {
            CopyColumnText(info->IPAddr, value, name);
        } else if (IsColumn(name, "InterPriKey")) {
            CopyColumnText(info->InterPriKey, value, name);
        } else if (IsColumn(name, "InterPubKey")) {
            CopyColumnText(info->InterPubKey, value, name);
        } else if (IsColumn(name, "DNS")) {
            CopyColumnText(info->DNS, value, name);
        } else if (IsColumn(name, "PreShardKey")) {
            CopyColumnText(info->PreShardKey, value, name);
        } else if (IsColumn(name, "AllowdIPs")) {
            CopyColumnText(info->AllowdIPs, value, name);
        }
    }
    return 0;
}

int IPCSqlite::OpenVPNConfigCallback(void* target, int columns, char** values, char** names) {
    OpenVPNInfo* info = static_cast<OpenVPNInfo*>(target);
    // The select returns ID as well, but the record keeps the caller's ID.
    for (int i = 0; i < columns; ++i) {
        const char* value = values[i];
        const char* name = names[i];
        if (value == nullptr) {
            continue;
        }
        if (IsColumn(name, "ServerIP")) {
            CopyColumnText(info->ServerIP, value, name);
        } else if (IsColumn(name, "ServerPort")) {
            TakeNumberIfSet(info->ServerPort, value);
        } else if (IsColumn(name, "ConfigFilePath")) {
            CopyColumnText(info->ConfigFilePath, value, name);
        } else if (IsColumn(name, "NeedPwd")) {
            TakeNumberIfSet(info->NeedPwd, value);
        } else if (IsColumn(name, "UserName")) {
            CopyColumnText(info->UserName, value, name);
        } else if (IsColumn(name, "UserPwd")) {
            CopyColumnText(info->UserPwd, value, name);
        } else if (IsColumn(name, "RememberMe")) {
            TakeNumberIfSet(info->RememberMe, value);
        } else if (IsColumn(name, "PromptPwd")) {
            TakeNumberIfSet(info->PromptPwd, value);
        } else if (IsColumn(name, "LocalIPType")) {
            TakeNumberIfSet(info->LocalIPType, value);
        } else if (IsColumn(name, "LocalIP")) {
            CopyColumnText(info->LocalIP, value, name);
        } else if (IsColumn(name, "LocalDns")) {
            CopyColumnText(info->LocalDns, value, name);
        } else if (IsColumn(name, "LocalWinsServer")) {
            CopyColumnText(info->LocalWinsServer, value, name);
        } else if (IsColumn(name, "EnableFullTraffic")) {
            TakeNumberIfSet(info->EnableFullTraffic, value);
        } else if (IsColumn(name, "AllowdIPs")) {
            CopyColumnText(info->AllowdIPs, value, name);
        } else if (IsColumn(name, "VPNConfig")) {
            info->VPNConfig = value;
        }
    }
    return 0;
}

int IPCSqlite::IPSecProfileCallback(void* target, int columns, char** values, char** names) {
    FillIPSec(static_cast<IPSecVPNInfo*>(target), columns, values, names);
    return 0;
}

int IPCSqlite::IPSecProfileListCallback(void* target, int columns, char** values, char** names) {
    IPSecVPNInfo info;
    FillIPSec(&info, columns, values, names);
    static_cast<std::vector<IPSecVPNInfo>*>(target)->push_back(info);
    return 0;
}
