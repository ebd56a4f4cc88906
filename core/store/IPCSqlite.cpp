#include "IPCSqlite.h"

#include <cstring>
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

const char* const kPhaseOneTooLongMessage = "the phase-1 proposal text does not fit its buffer";

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

void FillIPSec(IPSecVPNInfo* info, int columns, char** values, char** names) {
    for (int i = 0; i < columns; ++i) {
        const char* value = values[i];
        const char* name = names[i];
        if (value == nullptr) {
            continue;
        }
        // Texts are taken only when they are not empty; the validating setters leave a
        // field unchanged for a value they refuse.
        bool set = value[0] != '\0';
        if (IsColumn(name, "ID")) {
            info->SetID(ColumnNumber(value));
        } else if (IsColumn(name, "Version")) {
            info->SetVersion(ColumnNumber(value));
        } else if (IsColumn(name, "PolicyName")) {
            if (set) {
                info->SetPolicyName(value);
            }
        } else if (IsColumn(name, "LocalAddrs")) {
            if (set) {
                info->SetLocalAddrs(value);
            }
        } else if (IsColumn(name, "RemoteAddrs")) {
            if (set) {
                info->SetRemoteAddrs(value);
            }
        } else if (IsColumn(name, "AuthMethod")) {
            info->SetAuthMethod(ColumnNumber(value));
        } else if (IsColumn(name, "TransportProtocol")) {
            info->SetTransportProtocol(ColumnNumber(value));
        } else if (IsColumn(name, "RemoteTrafficSelectors")) {
            if (set) {
                info->SetRemoteTrafficSelectorsText(value);
            }
        } else if (IsColumn(name, "LocalTrafficSelectors")) {
            if (set) {
                info->SetLocalTrafficSelectors(value);
            }
        } else if (IsColumn(name, "ProtocolType")) {
            info->SetProtocolType(ColumnNumber(value));
        } else if (IsColumn(name, "EspProposals")) {
            if (set) {
                info->SetEspProposals(value);
            }
        } else if (IsColumn(name, "AHProposals")) {
            if (set) {
                info->SetAHProposals(value);
            }
        } else if (IsColumn(name, "PhaseOneProposals")) {
            if (set && info->SetPhaseOneProposals(value) != 0 &&
                strlen(value) >= static_cast<size_t>(IPSecVPNInfo::ProposalBufferSize)) {
                ZRWLog(6, 2, "Column %s holds %zu bytes, more than its field takes: not taken\n", name,
                       strlen(value));
            }
        } else if (IsColumn(name, "IKEID")) {
            if (set) {
                info->SetIKEID(value);
            }
        } else if (IsColumn(name, "PSKSecret")) {
            if (set) {
                info->SetPSKSecret(value);
            }
        } else if (IsColumn(name, "EnableDPD")) {
            info->SetEnableDPD(ColumnNumber(value));
        } else if (IsColumn(name, "DPDPeriod")) {
            info->SetDPDPeriod(ColumnNumber(value));
        }
    }
}

} // namespace

IPCSqlite::IPCSqlite() : db(nullptr), mutex(nullptr), context(nullptr), status(0) {}

IPCSqlite::~IPCSqlite() {}

int IPCSqlite::Init(const char* path) {
    if (OpenDatabase(path, &db) != 0) {
        return -1;
    }
    for (const TableStatement& table : kCreateTables) {
        char* error = nullptr;
        int rc = sqlite3_exec(db, table.sql, nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            LogFailure(table.failureLine, error != nullptr ? error : sqlite3_errstr(rc));
            sqlite3_free(error);
            return -1;
        }
    }
    mutex = sqlite3_mutex_alloc(SQLITE_MUTEX_FAST);
    return 0;
}

int IPCSqlite::DeInit() {
    if (sqlite3_close(db) != SQLITE_OK) {
        return -1;
    }
    db = nullptr;
    sqlite3_mutex_free(mutex);
    mutex = nullptr;
    return 0;
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
    sqlite3_exec(db, kBegin, nullptr, nullptr, nullptr);
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    int changes = sqlite3_changes(db);
    sqlite3_int64 rowID = sqlite3_last_insert_rowid(db);
    char* commitError = nullptr;
    int commitRC = sqlite3_exec(db, kCommit, nullptr, nullptr, &commitError);
    if (rc == SQLITE_OK && commitRC != SQLITE_OK) {
        // The change did not reach the file: undo it and report the commit's failure.
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        rc = commitRC;
        error = commitError;
        commitError = nullptr;
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

int IPCSqlite::ExecQuery(void* target, const char* sql, SqlRowCallback callback) {
    return ExecSelect(db, mutex, target, sql, callback);
}

int IPCSqlite::ToResultCode(int result) {
    return result == 0 ? 0 : -1;
}

// PROFILE

int IPCSqlite::InsertProfile(ProfileInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    if (!Terminated(info->ProfileName)) {
        LogFailure(kInsertProfileFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (Format(sql, kWriteMaxChars, kInsertProfile, info->ProfileName, info->ProfileType, info->ConfigID) !=
        0) {
        LogFailure(kInsertProfileFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kInsertProfileFailed, &info->ProfileID);
}

int IPCSqlite::DeleteProfile(ProfileInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kDeleteProfile, info->ProfileID);
    return RunWrite(sql, kDeleteProfileFailed, nullptr);
}

int IPCSqlite::UpdateProfile(ProfileInfo* info) {
    if (info == nullptr || info->ProfileID == 0) {
        return -1;
    }
    if (!Terminated(info->ProfileName)) {
        LogFailure(kUpdateProfileFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (Format(sql, kWriteMaxChars, kUpdateProfile, info->ProfileName, info->ProfileType, info->ConfigID,
               info->ProfileID) != 0) {
        LogFailure(kUpdateProfileFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kUpdateProfileFailed, nullptr);
}

int IPCSqlite::GetProfileList(std::vector<ProfileInfo>& list) {
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectProfileList);
    return ExecQuery(&list, sql, ProfileListCallback);
}

int IPCSqlite::GetProfileByID(ProfileInfo* info, int profileID) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectProfileByID, profileID);
    return ExecQuery(info, sql, ProfileByIDCallback);
}

int IPCSqlite::GetProfileByConfigID(ProfileInfo* info, int configID) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectProfileByConfigID, configID);
    return ExecQuery(info, sql, ProfileByConfigIDCallback);
}

namespace {

template <typename Swap> void BubbleSortByName(std::vector<ProfileInfo>& list, Swap outOfOrder) {
    for (size_t last = list.size() > 0 ? list.size() - 1 : 0; last >= 1; --last) {
        for (size_t i = 0; i < last; ++i) {
            if (outOfOrder(strncmp(list[i].ProfileName, list[i + 1].ProfileName, RECORD_TEXT_LONG))) {
                std::swap(list[i], list[i + 1]);
            }
        }
    }
}

} // namespace

int IPCSqlite::SortProfilesAscending(std::vector<ProfileInfo>& list) {
    BubbleSortByName(list, [](int order) { return order > 0; });
    return 0;
}

int IPCSqlite::SortProfilesDescending(std::vector<ProfileInfo>& list) {
    BubbleSortByName(list, [](int order) { return order < 0; });
    return 0;
}

// ZRWIREGUARDVPN

namespace {

int FormatWireGuard(char* sql, const char* format, const WireGuardVPNInfo* info) {
    // The trailing ID is only read by the update's format.
    return Format(sql, kWireGuardMaxChars, format, info->WanIP, info->PeerPort, info->PeerPubKey,
                  info->IPAddr, info->InterSubMask, info->InterPort, info->InterPriKey, info->InterPubKey,
                  info->DNS, info->PreShardKey, info->KeepaliveTime, info->AllowdIPs, info->ID);
}

bool WireGuardTextsTerminated(const WireGuardVPNInfo* info) {
    return Terminated(info->WanIP, info->PeerPubKey, info->IPAddr, info->InterPriKey, info->InterPubKey,
                      info->DNS, info->PreShardKey, info->AllowdIPs);
}

} // namespace

int IPCSqlite::InsertWireGuardInfo(WireGuardVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    if (!WireGuardTextsTerminated(info)) {
        LogFailure(kInsertWireGuardFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWireGuardBufferSize];
    if (FormatWireGuard(sql, kInsertWireGuard, info) != 0) {
        LogFailure(kInsertWireGuardFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kInsertWireGuardFailed, &info->ID);
}

int IPCSqlite::DeleteWireGuardInfo(WireGuardVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kDeleteWireGuard, info->ID);
    return RunWrite(sql, kDeleteWireGuardFailed, nullptr);
}

int IPCSqlite::UpdateWireGuardInfo(WireGuardVPNInfo* info) {
    if (info == nullptr || info->ID == 0) {
        return -1;
    }
    if (!WireGuardTextsTerminated(info)) {
        LogFailure(kUpdateWireGuardFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWireGuardBufferSize];
    if (FormatWireGuard(sql, kUpdateWireGuard, info) != 0) {
        LogFailure(kUpdateWireGuardFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kUpdateWireGuardFailed, nullptr);
}

int IPCSqlite::GetWireGuardInfoByID(WireGuardVPNInfo* info, int id) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectWireGuardByID, id);
    return ExecQuery(info, sql, WireGuardInfoCallback);
}

// OPENVPN

namespace {

int FormatOpenVPN(char* sql, const char* format, const OpenVPNInfo* info) {
    // The trailing ID is only read by the update's format.
    return Format(sql, kWriteMaxChars, format, info->ServerIP, info->ServerPort, info->ConfigFilePath,
                  info->NeedPwd, info->UserName, info->UserPwd, info->RememberMe, info->PromptPwd,
                  info->LocalIPType, info->LocalIP, info->LocalDns, info->LocalWinsServer,
                  info->EnableFullTraffic, info->AllowdIPs, info->VPNConfig.c_str(), info->ID);
}

bool OpenVPNTextsTerminated(const OpenVPNInfo* info) {
    return Terminated(info->ServerIP, info->ConfigFilePath, info->UserName, info->UserPwd, info->LocalIP,
                      info->LocalDns, info->LocalWinsServer, info->AllowdIPs);
}

} // namespace

int IPCSqlite::InsertOpenVPNConfig(OpenVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    if (!OpenVPNTextsTerminated(info)) {
        LogFailure(kInsertOpenVPNFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatOpenVPN(sql, kInsertOpenVPN, info) != 0) {
        LogFailure(kInsertOpenVPNFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kInsertOpenVPNFailed, &info->ID);
}

int IPCSqlite::DeleteOpenVPNConfig(OpenVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kDeleteOpenVPN, info->ID);
    return RunWrite(sql, kDeleteOpenVPNFailed, nullptr);
}

int IPCSqlite::UpdateOpenVPNConfig(OpenVPNInfo* info) {
    if (info == nullptr || info->ID == 0) {
        return -1;
    }
    if (!OpenVPNTextsTerminated(info)) {
        LogFailure(kUpdateOpenVPNFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatOpenVPN(sql, kUpdateOpenVPN, info) != 0) {
        LogFailure(kUpdateOpenVPNFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kUpdateOpenVPNFailed, nullptr);
}

int IPCSqlite::GetOpenVPNConfigByID(OpenVPNInfo* info, int id) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectOpenVPNByID, id);
    return ExecQuery(info, sql, OpenVPNConfigCallback);
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
    if (Format(sql, kWriteMaxChars, format, info->GetVersion(), info->GetPolicyName().c_str(),
               info->GetLocalAddrs().c_str(), info->GetRemoteAddrs().c_str(), info->GetAuthMethod(),
               info->GetTransportProtocol(), selectors.c_str(), info->GetLocalTrafficSelectors().c_str(),
               proposal.c_str(), phaseOne, info->GetIKEID().c_str(), info->GetPSKSecret().c_str(),
               info->GetEnableDPD(), info->GetDPDPeriod(), info->GetID()) != 0) {
        LogFailure(failureLine, kTooLongMessage);
        return -1;
    }
    return 0;
}

int IPCSqlite::InsertIPSecProfile(IPSecVPNInfo* info) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatIPSecWrite(sql, info, false, kInsertIPSecFailed) != 0) {
        return -1;
    }
    int id = info->GetID();
    if (RunWrite(sql, kInsertIPSecFailed, &id) != 0) {
        return -1;
    }
    info->SetID(id);
    return 0;
}

int IPCSqlite::DeleteIPSecProfile(int id) {
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kDeleteIPSec, id);
    return RunWrite(sql, kDeleteIPSecFailed, nullptr);
}

int IPCSqlite::UpdateIPSecProfile(IPSecVPNInfo* info) {
    if (info == nullptr || info->GetID() == 0) {
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatIPSecWrite(sql, info, true, kUpdateIPSecFailed) != 0) {
        return -1;
    }
    return RunWrite(sql, kUpdateIPSecFailed, nullptr);
}

int IPCSqlite::GetIPSecProfileByID(IPSecVPNInfo* info, int id) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectIPSecByID, id);
    return ExecQuery(info, sql, IPSecProfileCallback);
}

int IPCSqlite::GetIPSecProfileList(std::vector<IPSecVPNInfo>& list) {
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectIPSecList);
    return ExecQuery(&list, sql, IPSecProfileListCallback);
}

// SETTINGINFO

namespace {

int FormatSetting(char* sql, const char* format, const SETTINGINFO* info) {
    // The trailing ID is only read by the update's format.
    return Format(sql, kWriteMaxChars, format, info->AutoStart, info->Reconnetion, info->NATTraversal,
                  info->LanguageType, info->ColorMode, info->SelectedName, info->DatabaseVersion, info->ID);
}

} // namespace

int IPCSqlite::InsertSettingInfo(SETTINGINFO* info) {
    if (info == nullptr) {
        return -1;
    }
    if (!Terminated(info->SelectedName, info->DatabaseVersion)) {
        LogFailure(kInsertSettingFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatSetting(sql, kInsertSetting, info) != 0) {
        LogFailure(kInsertSettingFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kInsertSettingFailed, &info->ID);
}

int IPCSqlite::UpdateSettingInfo(SETTINGINFO* info) {
    if (info == nullptr || info->ID == 0) {
        return -1;
    }
    if (!Terminated(info->SelectedName, info->DatabaseVersion)) {
        LogFailure(kUpdateSettingFailed, kNotTerminatedMessage);
        return -1;
    }
    char sql[kWriteBufferSize];
    if (FormatSetting(sql, kUpdateSetting, info) != 0) {
        LogFailure(kUpdateSettingFailed, kTooLongMessage);
        return -1;
    }
    return RunWrite(sql, kUpdateSettingFailed, nullptr);
}

int IPCSqlite::GetSettingInfoByID(SETTINGINFO* info, int id) {
    if (info == nullptr) {
        return -1;
    }
    char sql[kQueryBufferSize];
    Format(sql, kQueryMaxChars, kSelectSettingByID, id);
    return ExecQuery(info, sql, SettingInfoCallback);
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
