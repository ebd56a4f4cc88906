// The profile database "vpn.db": opens the file, creates the five tables when they are
// missing, and offers per table an insert, a delete, an update and selects. Each
// statement is formatted as text and run with one sqlite3_exec while the store's mutex
// is held; each write runs as "begin", the statement, "commit".
//
// Results are 0 for success and -1 for failure; every failure is logged with module 6
// and level 2 together with SQLite's message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IPSecVPNInfo.h"
#include "ProfileRecords.h"
#include "StoreSql.h"

class AppContext;

// What the profile lists show of a profile's kind record beside the profile: the server's
// address, the local address and, for WireGuard, the prefix length, as the record's own
// select fills them (WanIP, IPAddr and InterSubMask; ServerIP and LocalIP; RemoteAddrs and
// LocalAddrs). Empty texts and 0 where the kind has no record.
struct ProfileKindSummary {
    std::string serverAddress;
    std::string localAddress;
    int prefixLength = 0;
};

class IPCSqlite {
public:
    IPCSqlite();
    ~IPCSqlite();

    // Opens the database at a UTF-8 path and creates the tables. A failed open leaves the
    // store closed.
    int Init(const char* path);
    // Closes the database; -1 when that fails (the mutex is then kept).
    int DeInit();
    int SetContext(AppContext* context);
    int TakeStatus(int* status);

    // One transaction around the writes that follow, so that several rows are stored
    // together or not at all (a profile with its kind's row, an import's whole file): until
    // Commit or Rollback each write runs without a "begin" and "commit" of its own, and a
    // failed write leaves the transaction open for its owner to roll back. Commit stores
    // them all (a failed commit undoes them); Rollback undoes them. 0, or -1.
    // The transaction belongs to the thread that began it: from Begin to Commit or
    // Rollback it holds the store's mutex, so the calls of other threads wait for its end.
    int BeginTransaction();
    int CommitTransaction();
    int RollbackTransaction();

    // Inserts copy the new row id into the record. An insert that the table ignores
    // (the profile name exists already) returns -1 and leaves the record's id as it was.
    // Updates return -1 at once when the record's id is 0.
    int InsertProfile(ProfileInfo* info);
    int DeleteProfile(ProfileInfo* info);
    // Deletes the profile's PROFILE row and the row of its kind's table that ConfigID names
    // (ProfileType 1 ZRIPSECVPN, 2 and 3 OPENVPN, 4 ZRWIREGUARDVPN) in one transaction:
    // both rows go, or neither does. Any other kind deletes the PROFILE row alone. 0, or -1
    // after the failing statement's line.
    int DeleteProfileWithConfig(ProfileInfo* info);
    int UpdateProfile(ProfileInfo* info);
    // Appends every row, newest ProfileID first; the list is not emptied first.
    int GetProfileList(std::vector<ProfileInfo>& list);
    // As GetProfileList, and beside each row what its kind's record gives the lists, all
    // read in one statement (the profiles joined with their kinds' tables).
    int GetProfileListWithKinds(std::vector<ProfileInfo>& list, std::vector<ProfileKindSummary>& kinds);
    // The positions of the list's records sorted by ProfileName as the two sorts below sort
    // them, so that a caller can show that order without moving the records.
    static std::vector<uint32_t> ProfileNameOrder(const std::vector<ProfileInfo>& list, bool ascending);
    // Fills ProfileType, ProfileName and ConfigID; a missing row leaves the record as it was.
    int GetProfileByID(ProfileInfo* info, int profileID);
    int GetProfileByConfigID(ProfileInfo* info, int configID);
    // Sort by ProfileName in byte order, stably: equal names keep their order, the order
    // that swapping neighbours only when strictly out of order gives.
    static int SortProfilesAscending(std::vector<ProfileInfo>& list);
    static int SortProfilesDescending(std::vector<ProfileInfo>& list);

    int InsertWireGuardInfo(WireGuardVPNInfo* info);
    int DeleteWireGuardInfo(WireGuardVPNInfo* info);
    int UpdateWireGuardInfo(WireGuardVPNInfo* info);
    // Fills every field but ID.
    int GetWireGuardInfoByID(WireGuardVPNInfo* info, int id);

    int InsertOpenVPNConfig(OpenVPNInfo* info);
    int DeleteOpenVPNConfig(OpenVPNInfo* info);
    int UpdateOpenVPNConfig(OpenVPNInfo* info);
    // Fills every field but ID.
    int GetOpenVPNConfigByID(OpenVPNInfo* info, int id);

    // ProtocolType 1 is stored as AH, any other value as ESP.
    int InsertIPSecProfile(IPSecVPNInfo* info);
    int DeleteIPSecProfile(int id);
    int UpdateIPSecProfile(IPSecVPNInfo* info);
    // Fills every field but ID through the record's validating setters.
    int GetIPSecProfileByID(IPSecVPNInfo* info, int id);
    // Appends one object per row, newest first.
    int GetIPSecProfileList(std::vector<IPSecVPNInfo>& list);

    int InsertSettingInfo(SETTINGINFO* info);
    int UpdateSettingInfo(SETTINGINFO* info);
    // Fills every field, ID included.
    int GetSettingInfoByID(SETTINGINFO* info, int id);

    int ExecQuery(void* target, const char* sql, SqlRowCallback callback);
    // 0 stays 0, any other value becomes -1.
    static int ToResultCode(int result);

    // Row callbacks: NULL values are skipped, columns are matched by exact name.
    static int ProfileListCallback(void* target, int columns, char** values, char** names);
    static int ProfileByIDCallback(void* target, int columns, char** values, char** names);
    static int ProfileByConfigIDCallback(void* target, int columns, char** values, char** names);
    static int SettingInfoCallback(void* target, int columns, char** values, char** names);
    static int WireGuardInfoCallback(void* target, int columns, char** values, char** names);
    static int OpenVPNConfigCallback(void* target, int columns, char** values, char** names);
    static int IPSecProfileCallback(void* target, int columns, char** values, char** names);
    static int IPSecProfileListCallback(void* target, int columns, char** values, char** names);

private:
    long long countProfiles();
    // Runs "begin", the statement and "commit" under the mutex. For an insert, newID
    // receives the new row id, and a statement that inserted nothing fails.
    int RunWrite(const char* sql, const char* failureLine, int* newID);
    int RunDelete(const char* format, int id, const char* failureLine);
    // Runs the statements between one "begin" and "commit" under the mutex; the first
    // failure rolls all of them back and logs that statement's line.
    int RunWriteGroup(const char* const* sql, const char* const* failureLines, int count);
    int FormatIPSecWrite(char* buf, const IPSecVPNInfo* info, bool update, const char* failureLine);

    // Runs "begin", "commit" or "rollback" alone under the mutex; logs the line on failure.
    int RunControl(const char* sql, const char* failureLine);

    sqlite3* db;
    sqlite3_mutex* mutex;
    AppContext* context;
    int status;
    // A transaction of BeginTransaction is open.
    bool inTransaction = false;
};
