// The statements of the profile database. The CREATE statements are run as they stand;
// the others are formatted with SQLite's printf, where "%q" doubles the single quotes of a
// text value so that the value cannot end its literal early.
#pragma once

// clang-format off
namespace StoreSql {

// Statement buffers: a statement longer than the buffer's limit is not run.
constexpr int kWriteBufferSize = 10240; // writes of PROFILE, OPENVPN, ZRIPSECVPN, SETTINGINFO
constexpr int kWriteMaxChars = 10238;
constexpr int kQueryBufferSize = 2048; // deletes and selects
constexpr int kQueryMaxChars = 2046;
constexpr int kWireGuardBufferSize = 1024; // insert and update of ZRWIREGUARDVPN
constexpr int kWireGuardMaxChars = 1023;
// An OPENVPN write holds the whole configuration text (inline certificates and keys make
// it larger than the fixed buffer): its buffer grows by twice the text's length, every
// quote doubled, for a text of at most this many bytes.
constexpr int kOpenVPNConfigMaxBytes = 1048576;
// The UTF-8 database path, terminator included, must fit this buffer.
constexpr int kPathBufferSize = 173;

// Messages that stand in for SQLite's in a failure line when no statement could run.
constexpr const char* kNotOpenMessage = "the database is not open";
constexpr const char* kTooLongMessage = "the statement does not fit its buffer";
constexpr const char* kNotTerminatedMessage = "a text field is not terminated";
constexpr const char* kNulInTextMessage = "the configuration text holds a NUL byte";
constexpr const char* kNotInsertedMessage = "no row was inserted";
constexpr const char* kPathTooLongMessage = "the path is too long";
constexpr const char* kTooManyProfilesMessage = "the file holds more profiles than a store can";

constexpr const char* kCreateProfileTable =
    "CREATE TABLE IF NOT EXISTS PROFILE (                     ProfileID INTEGER PRIMARY KEY AUTOINCREMENT, ProfileName TEXT NOT NULL UNIQUE, ProfileType INTEGER NOT NULL, ConfigID INTEGER NOT NULL);";
constexpr const char* kCreateWireGuardTable =
    "CREATE TABLE IF NOT EXISTS ZRWIREGUARDVPN (                     ID INTEGER PRIMARY KEY AUTOINCREMENT, WanIP TEXT NOT NULL, PeerPort INTEGER NOT NULL, PeerPubKey TEXT NOT NULL, IPAddr TEXT NOT NULL, InterSubMask INTEGER NOT NULL,                      InterPort INTEGER, InterPriKey TEXT NOT NULL, InterPubKey TEXT NOT NULL, DNS TEXT, PreShardKey TEXT, KeepaliveTime INTEGER, AllowdIPs TEXT);";
constexpr const char* kCreateIPSecTable =
    "CREATE TABLE IF NOT EXISTS ZRIPSECVPN                      (ID INTEGER PRIMARY KEY AUTOINCREMENT, Version INTEGER NOT NULL, PolicyName TEXT NOT NULL, LocalAddrs TEXT NOT NULL, RemoteAddrs TEXT NOT NULL, AuthMethod INTEGER NOT NULL,                      TransportProtocol INTEGER NOT NULL, RemoteTrafficSelectors TEXT NOT NULL, LocalTrafficSelectors TEXT NOT NULL, ProtocolType INTEGER NOT NULL, EspProposals TEXT, AHProposals TEXT,                       PhaseOneProposals TEXT NOT NULL, IKEID TEXT NOT NULL, PSKSecret TEXT NOT NULL, EnableDPD INTEGER NOT NULL, DPDPeriod INTEGER NOT NULL);";
constexpr const char* kCreateOpenVPNTable =
    "CREATE TABLE IF NOT EXISTS OPENVPN (        ID INTEGER PRIMARY KEY AUTOINCREMENT, ServerIP TEXT NOT NULL, ServerPort INTEGER NOT NULL, ConfigFilePath TEXT NOT NULL,         NeedPwd INTEGER NOT NULL, UserName TEXT, UserPwd TEXT,         RememberMe INTEGER NOT NULL, PromptPwd INTEGER NOT NULL, LocalIPType INTEGER NOT NULL, LocalIP TEXT NOT NULL,         LocalDns TEXT NOT NULL, LocalWinsServer TEXT NOT NULL, EnableFullTraffic INTEGER NOT NULL, AllowdIPs TEXT, VPNConfig TEXT);";
constexpr const char* kCreateSettingTable =
    "CREATE TABLE IF NOT EXISTS SETTINGINFO (        ID INTEGER PRIMARY KEY AUTOINCREMENT, AutoStart INTEGER NOT NULL, Reconnetion INTEGER NOT NULL, NATTraversal INTEGER NOT NULL,         LanguageType INTEGER NOT NULL, ColorMode INTEGER NOT NULL, SelectedName TEXT, DatabaseVersion TEXT NOT NULL);";
constexpr const char* kInsertProfile =
    "INSERT OR IGNORE INTO PROFILE (ProfileID, ProfileName, ProfileType, ConfigID) VALUES (NULL, '%q', %d, %d)";
constexpr const char* kDeleteProfile =
    "DELETE FROM PROFILE WHERE ProfileID = %d";
constexpr const char* kUpdateProfile =
    "UPDATE PROFILE SET ProfileName = '%q', ProfileType = %d, ConfigID = %d WHERE ProfileID = %d";
constexpr const char* kSelectProfileList =
    "SELECT * FROM PROFILE ORDER BY ProfileID DESC";
constexpr const char* kCountProfiles =
    "SELECT COUNT(*) FROM PROFILE";
// Every profile, newest first, with the columns of its kind's record that the lists show;
// the list takes each column by its place here. Each row looks up its own kind's record
// alone: a join on a key that is NULL for the other kinds seeks nothing in their tables.
constexpr const char* kSelectProfileListWithKinds =
    "SELECT p.ProfileID AS ProfileID, p.ProfileName AS ProfileName, p.ProfileType AS ProfileType, p.ConfigID AS ConfigID,         w.WanIP AS WanIP, w.IPAddr AS IPAddr, w.InterSubMask AS InterSubMask, o.ServerIP AS ServerIP, o.LocalIP AS LocalIP,         i.RemoteAddrs AS RemoteAddrs, i.LocalAddrs AS LocalAddrs FROM PROFILE p         LEFT JOIN ZRWIREGUARDVPN w ON w.ID = CASE WHEN p.ProfileType = 4 THEN p.ConfigID END         LEFT JOIN OPENVPN o ON o.ID = CASE WHEN p.ProfileType IN (2, 3) THEN p.ConfigID END         LEFT JOIN ZRIPSECVPN i ON i.ID = CASE WHEN p.ProfileType = 1 THEN p.ConfigID END ORDER BY p.ProfileID DESC";
constexpr const char* kSelectProfileByID =
    "SELECT ProfileType, ProfileName, ConfigID FROM PROFILE WHERE ProfileID = %d";
constexpr const char* kSelectProfileByConfigID =
    "SELECT ProfileID, ProfileType, ProfileName FROM PROFILE WHERE ConfigID = %d";
constexpr const char* kInsertWireGuard =
    "INSERT OR IGNORE INTO ZRWIREGUARDVPN (ID, WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, InterPort, InterPriKey,                      InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs) VALUES (NULL, '%q', %d, '%q', '%q', %d, %d, '%q', '%q', '%q', '%q', %d, '%q')";
constexpr const char* kDeleteWireGuard =
    "DELETE FROM ZRWIREGUARDVPN WHERE ID = %d";
constexpr const char* kUpdateWireGuard =
    "UPDATE ZRWIREGUARDVPN SET WanIP = '%q', PeerPort = %d, PeerPubKey = '%q', IPAddr = '%q', InterSubMask = %d, InterPort = %d, InterPriKey = '%q',                      InterPubKey = '%q', DNS = '%q', PreShardKey = '%q', KeepaliveTime = %d, AllowdIPs = '%q' WHERE ID = %d";
constexpr const char* kSelectWireGuardByID =
    "SELECT WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, InterPort, InterPriKey,                      InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs FROM ZRWIREGUARDVPN WHERE ID = %d";
constexpr const char* kInsertOpenVPN =
    "INSERT OR IGNORE INTO OPENVPN           (ID, ServerIP, ServerPort, ConfigFilePath, NeedPwd, UserName, UserPwd, RememberMe, PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, EnableFullTraffic, AllowdIPs, VPNConfig)              VALUES (NULL, '%q', %d, '%q', %d, '%q', '%q', %d, %d, %d, '%q', '%q', '%q', %d, '%q', '%q')";
constexpr const char* kDeleteOpenVPN =
    "DELETE FROM OPENVPN WHERE ID = %d;";
constexpr const char* kUpdateOpenVPN =
    "UPDATE OPENVPN SET ServerIP = '%q', ServerPort = %d, ConfigFilePath = '%q', NeedPwd = %d, UserName = '%q', UserPwd = '%q',         RememberMe = %d, PromptPwd = %d, LocalIPType = %d, LocalIP = '%q', LocalDns = '%q', LocalWinsServer = '%q', EnableFullTraffic = %d, AllowdIPs = '%q', VPNConfig = '%q' WHERE ID = %d;";
constexpr const char* kSelectOpenVPNByID =
    "SELECT * FROM OPENVPN WHERE ID = %d;";
constexpr const char* kInsertSetting =
    "INSERT OR IGNORE INTO SETTINGINFO (ID, AutoStart, Reconnetion, NATTraversal, LanguageType,         ColorMode, SelectedName, DatabaseVersion) VALUES (NULL, %d, %d, %d, %d, %d, '%q', '%q')";
constexpr const char* kUpdateSetting =
    "UPDATE SETTINGINFO SET AutoStart = '%d', Reconnetion = %d, NATTraversal = %d, LanguageType = %d,         ColorMode = %d, SelectedName = '%q', DatabaseVersion = '%q' WHERE ID = %d";
constexpr const char* kSelectSettingByID =
    "SELECT * FROM SETTINGINFO WHERE ID = %d";
constexpr const char* kInsertIPSecAH =
    "INSERT OR IGNORE INTO ZRIPSECVPN (ID, Version, PolicyName, LocalAddrs, RemoteAddrs, AuthMethod, TransportProtocol, RemoteTrafficSelectors,            LocalTrafficSelectors, ProtocolType, EspProposals, AHProposals, PhaseOneProposals, IKEID, PSKSecret, EnableDPD, DPDPeriod) VALUES(NULL, %d, '%q', '%q', '%q', %d, %d, '%q', '%q', 1, NULL, '%q', '%q', '%q', '%q', %d, %d)";
constexpr const char* kInsertIPSecESP =
    "INSERT OR IGNORE INTO ZRIPSECVPN (ID, Version, PolicyName, LocalAddrs, RemoteAddrs, AuthMethod, TransportProtocol, RemoteTrafficSelectors,             LocalTrafficSelectors, ProtocolType, EspProposals, AHProposals, PhaseOneProposals, IKEID, PSKSecret, EnableDPD, DPDPeriod) VALUES(NULL, %d, '%q', '%q', '%q', %d, %d, '%q', '%q', 2, '%q', NULL, '%q', '%q', '%q', %d, %d)";
constexpr const char* kUpdateIPSecAH =
    "UPDATE ZRIPSECVPN SET Version = %d, PolicyName = '%q', LocalAddrs = '%q', RemoteAddrs = '%q', AuthMethod = %d, TransportProtocol= %d, RemoteTrafficSelectors = '%q',              LocalTrafficSelectors = '%q', ProtocolType = 1, EspProposals = NULL, AHProposals = '%q', PhaseOneProposals = '%q', IKEID = '%q', PSKSecret = '%q', EnableDPD = %d, DPDPeriod = %d WHERE ID = %d";
constexpr const char* kUpdateIPSecESP =
    "UPDATE ZRIPSECVPN SET Version = %d, PolicyName = '%q', LocalAddrs = '%q', RemoteAddrs = '%q', AuthMethod = %d, TransportProtocol= %d, RemoteTrafficSelectors = '%q',              LocalTrafficSelectors = '%q', ProtocolType = 2, EspProposals = '%q', AHProposals = NULL, PhaseOneProposals = '%q', IKEID = '%q', PSKSecret = '%q', EnableDPD = %d, DPDPeriod = %d WHERE ID = %d";
constexpr const char* kDeleteIPSec =
    "DELETE FROM ZRIPSECVPN WHERE ID = %d";
constexpr const char* kSelectIPSecByID =
    "SELECT Version, PolicyName, LocalAddrs, RemoteAddrs, AuthMethod, TransportProtocol, RemoteTrafficSelectors,         LocalTrafficSelectors, ProtocolType, EspProposals, AHProposals, PhaseOneProposals, IKEID, PSKSecret, EnableDPD, DPDPeriod FROM ZRIPSECVPN WHERE ID = %d";
constexpr const char* kSelectIPSecList =
    "SELECT * FROM ZRIPSECVPN ORDER BY ID DESC";

constexpr const char* kBegin = "begin";
constexpr const char* kCommit = "commit";
constexpr const char* kRollback = "rollback";

} // namespace StoreSql
// clang-format on
