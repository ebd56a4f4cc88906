// The records that mirror the rows of the profile database, field for field, and the
// numbering of the kinds, states and codes that the store, the contexts and the pages
// share. Field names are the column names, spelled as the tables spell them.
//
// Every record starts zero-filled: every number 0, every text empty. Texts are
// NUL-terminated UTF-8 in fixed arrays; an array of N bytes holds at most N-1 bytes.
#pragma once

#include <string>
#include <type_traits>

// The kind of a profile, the column ProfileType.
enum VPNType {
    VPN_TYPE_IPSEC = 1,
    VPN_TYPE_SSLVPN = 2,
    VPN_TYPE_OPENVPN = 3,
    VPN_TYPE_WIREGUARD = 4,
};

// The connection state held by the application context.
enum ConnectStatus {
    CONNECT_STATUS_NOT_CONNECTED = 0,
    CONNECT_STATUS_CONNECTING = 1,
    CONNECT_STATUS_CONNECTED = 2,
    CONNECT_STATUS_DISCONNECTED = 3,
};

// The result of one connection attempt.
enum ConnectErrorCode {
    CONNECT_OK = 0,
    CONNECT_ERROR_PREPARE = -1,
    CONNECT_ERROR_TIMEOUT = -4,
    CONNECT_ERROR_NO_TAP = -5,
    CONNECT_ERROR_AUTH = -6,
    CONNECT_ERROR_IKEEXT = -7,
    CONNECT_ERROR_DAEMON = -8,
    CONNECT_ERROR_INITIATE = -9,
    // Only logged by the IPsec rekey timer: five rekey commands failed.
    CONNECT_ERROR_REKEY = -10,
    // openvpn ended by itself before it said how the attempt went.
    CONNECT_ERROR_ENDED = -11,
};

// The stored colour mode. The mode applied by SettingManager is -1 until a style sheet
// has been applied, then COLOR_MODE_NORMAL or COLOR_MODE_DARK.
enum ColorMode {
    COLOR_MODE_NOT_APPLIED = -1,
    COLOR_MODE_SYSTEM = 0,
    COLOR_MODE_NORMAL = 1,
    COLOR_MODE_DARK = 2,
};

// The stored language: 0 follows the system, 1 to 16 are the embedded translations in
// the order of the Settings page's language list.
enum LanguageType {
    LANGUAGE_TYPE_SYSTEM = 0,
    LANGUAGE_TYPE_FIRST = 1,
    LANGUAGE_TYPE_LAST = 16,
};

enum {
    RECORD_TEXT_SHORT = 128,
    RECORD_TEXT_LONG = 512,
    ADAPTER_TEXT_SIZE = 16,
};

// One row of PROFILE: one profile of any kind. The record's order is not the table's
// column order.
struct ProfileInfo {
    int ProfileID = 0;
    int ProfileType = 0;
    char ProfileName[RECORD_TEXT_LONG] = {};
    // ID of the profile's row in its kind's table.
    int ConfigID = 0;
};

// The settings row; only the row with ID 1 is used.
struct SETTINGINFO {
    int ID = 0;
    int AutoStart = 0;
    int Reconnetion = 0;
    int NATTraversal = 0;
    int LanguageType = 0;
    int ColorMode = 0;
    char SelectedName[RECORD_TEXT_LONG] = {};
    char DatabaseVersion[RECORD_TEXT_LONG] = {};
};

// One row of ZRWIREGUARDVPN: the settings of one WireGuard profile.
struct WireGuardVPNInfo {
    int ID = 0;
    char WanIP[RECORD_TEXT_SHORT] = {};
    int PeerPort = 0;
    char PeerPubKey[RECORD_TEXT_SHORT] = {};
    char IPAddr[RECORD_TEXT_SHORT] = {};
    int InterSubMask = 0;
    int InterPort = 0;
    char InterPriKey[RECORD_TEXT_SHORT] = {};
    char InterPubKey[RECORD_TEXT_SHORT] = {};
    char DNS[RECORD_TEXT_SHORT] = {};
    char PreShardKey[RECORD_TEXT_SHORT] = {};
    int KeepaliveTime = 0;
    char AllowdIPs[RECORD_TEXT_SHORT] = {};
};

// One row of OPENVPN, used by SSL VPN and OpenVPN profiles alike. VPNConfig holds the
// whole stored ".ovpn" text, so the record is copied by its copy operations and cleared
// by assigning a new record (OpenVPNInfo()), never with memset.
struct OpenVPNInfo {
    int ID = 0;
    char ServerIP[RECORD_TEXT_SHORT] = {};
    int ServerPort = 0;
    char ConfigFilePath[RECORD_TEXT_LONG] = {};
    int NeedPwd = 0;
    char UserName[RECORD_TEXT_SHORT] = {};
    char UserPwd[RECORD_TEXT_SHORT] = {};
    int RememberMe = 0;
    int PromptPwd = 0;
    int LocalIPType = 0;
    char LocalIP[RECORD_TEXT_SHORT] = {};
    char LocalDns[RECORD_TEXT_SHORT] = {};
    char LocalWinsServer[RECORD_TEXT_SHORT] = {};
    int EnableFullTraffic = 0;
    char AllowdIPs[RECORD_TEXT_SHORT] = {};
    std::string VPNConfig;
};

// One local IPv4 address and its mask as dotted texts.
struct AdapterAddress {
    char ip[ADAPTER_TEXT_SIZE] = {};
    char mask[ADAPTER_TEXT_SIZE] = {};
};

// The plain records are copied byte for byte and may be zero-filled with memset.
static_assert(std::is_trivially_copyable<ProfileInfo>::value, "ProfileInfo is a plain record");
static_assert(std::is_trivially_copyable<SETTINGINFO>::value, "SETTINGINFO is a plain record");
static_assert(std::is_trivially_copyable<WireGuardVPNInfo>::value, "WireGuardVPNInfo is a plain record");
static_assert(std::is_trivially_copyable<AdapterAddress>::value, "AdapterAddress is a plain record");
