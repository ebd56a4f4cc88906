#include "ImportFileCheck.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sqlite3.h>
#include <utility>
#include <vector>

#include "IPCSqliteReader.h"
#include "OpenVPNConfigSyntax.h"
#include "ProfileNameRule.h"
#include "ProfileRecords.h"
#include "WireGuardValues.h"

namespace {

// The header of a database file: its first 16 bytes, and the file format's write and read
// versions at offsets 18 and 19 (1: a rollback journal; 2 would be a write-ahead log).
constexpr char kHeader[] = "SQLite format 3";
constexpr size_t kHeaderSize = 100;
constexpr int kPageSizeOffset = 16;
constexpr int kWriteVersionOffset = 18;
constexpr int kReadVersionOffset = 19;
constexpr int kChangeCounterOffset = 24;
constexpr int kPageCountOffset = 28;
constexpr int kValidForOffset = 92;

unsigned long long BigEndian(const unsigned char* bytes, int count) {
    unsigned long long value = 0;
    for (int i = 0; i < count; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

// Limits of a file from outside: no value above 16 MiB, and a bounded amount of work for
// the whole check (a store of fifty thousand profiles needs a small part of it).
constexpr int kMaxValueBytes = 16 * 1024 * 1024;
constexpr int kProgressStep = 10000;
constexpr long kMaxProgressCalls = 100000; // a thousand million steps

// Texts of the kinds' rows: what each record's array holds; a one-line text that the
// program writes into a configuration file or a command; the IPsec texts, which are
// strings, are bounded by the statement that inserts them.
constexpr size_t kShortText = RECORD_TEXT_SHORT - 1;
constexpr size_t kLongText = RECORD_TEXT_LONG - 1;
constexpr size_t kIPSecText = 4096;
constexpr size_t kPhaseOneText = 31;

struct Column {
    const char* name;
    enum Type { Number, Line, Text } type;
    size_t maxBytes; // for texts
};

struct Table {
    const char* name;
    const char* key;
    std::vector<Column> columns;
};

const Table kProfileTable = {"PROFILE",
                             "ProfileID",
                             {{"ProfileID", Column::Number, 0},
                              {"ProfileName", Column::Line, kLongText},
                              {"ProfileType", Column::Number, 0},
                              {"ConfigID", Column::Number, 0}}};

const Table kWireGuardTable = {"ZRWIREGUARDVPN",
                               "ID",
                               {{"WanIP", Column::Line, kShortText},
                                {"PeerPort", Column::Number, 0},
                                {"PeerPubKey", Column::Line, kShortText},
                                {"IPAddr", Column::Line, kShortText},
                                {"InterSubMask", Column::Number, 0},
                                {"InterPort", Column::Number, 0},
                                {"InterPriKey", Column::Line, kShortText},
                                {"InterPubKey", Column::Line, kShortText},
                                {"DNS", Column::Line, kShortText},
                                {"PreShardKey", Column::Line, kShortText},
                                {"KeepaliveTime", Column::Number, 0},
                                {"AllowdIPs", Column::Line, kShortText}}};

const Table kOpenVPNTable = {"OPENVPN",
                             "ID",
                             {{"ServerIP", Column::Line, kShortText},
                              {"ServerPort", Column::Number, 0},
                              {"ConfigFilePath", Column::Line, kLongText},
                              {"NeedPwd", Column::Number, 0},
                              {"UserName", Column::Line, kShortText},
                              {"UserPwd", Column::Line, kShortText},
                              {"RememberMe", Column::Number, 0},
                              {"PromptPwd", Column::Number, 0},
                              {"LocalIPType", Column::Number, 0},
                              {"LocalIP", Column::Line, kShortText},
                              {"LocalDns", Column::Line, kShortText},
                              {"LocalWinsServer", Column::Line, kShortText},
                              {"EnableFullTraffic", Column::Number, 0},
                              {"AllowdIPs", Column::Line, kShortText},
                              {"VPNConfig", Column::Text, 0}}};

const Table kIPSecTable = {"ZRIPSECVPN",
                           "ID",
                           {{"Version", Column::Number, 0},
                            {"PolicyName", Column::Line, kIPSecText},
                            {"LocalAddrs", Column::Line, kIPSecText},
                            {"RemoteAddrs", Column::Line, kIPSecText},
                            {"AuthMethod", Column::Number, 0},
                            {"TransportProtocol", Column::Number, 0},
                            {"RemoteTrafficSelectors", Column::Line, kIPSecText},
                            {"LocalTrafficSelectors", Column::Line, kIPSecText},
                            {"ProtocolType", Column::Number, 0},
                            {"EspProposals", Column::Line, kIPSecText},
                            {"AHProposals", Column::Line, kIPSecText},
                            {"PhaseOneProposals", Column::Line, kPhaseOneText},
                            {"IKEID", Column::Line, kIPSecText},
                            {"PSKSecret", Column::Line, kIPSecText},
                            {"EnableDPD", Column::Number, 0},
                            {"DPDPeriod", Column::Number, 0}}};

const Table* kindTable(int vpnType) {
    switch (vpnType) {
    case VPN_TYPE_IPSEC:
        return &kIPSecTable;
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN:
        return &kOpenVPNTable;
    case VPN_TYPE_WIREGUARD:
        return &kWireGuardTable;
    default:
        return nullptr;
    }
}

// Decodes whole UTF-8 (no overlong forms, surrogates or values beyond U+10FFFF); false
// for anything else.
bool DecodeUtf8(const char* text, size_t length, std::vector<char32_t>* out) {
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        char32_t value = 0;
        if (lead < 0x80) {
            value = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            value = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            value = lead & 0x07;
        } else {
            return false;
        }
        if (i + extra >= length && extra > 0) {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (extra == 3 && (value < 0x10000 || value > 0x10FFFF))) {
            return false;
        }
        if (out != nullptr) {
            out->push_back(value);
        }
        i += extra + 1;
    }
    return true;
}

bool HasControlCharacter(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

int StopRunawayCheck(void* calls) {
    long* count = static_cast<long*>(calls);
    return ++*count > kMaxProgressCalls ? 1 : 0;
}

class Check {
public:
    Check(ImportFileProblem* problem, size_t* profiles) : problem(problem), profiles(profiles) {}
    ~Check() { sqlite3_close(db); }

    bool Run(const std::string& path) {
        return Header(path) && Open(path) && Whole() && Schema(kProfileTable) && Schema(kWireGuardTable) &&
               Schema(kOpenVPNTable) && Schema(kIPSecTable) && Profiles();
    }

private:
    bool Refuse(ImportFileProblem::Kind kind, const std::string& name, const std::string& detail) {
        problem->kind = kind;
        problem->name = name;
        // The detail goes into the log, and SQLite's messages may quote the file's own
        // names: it stays on one line.
        problem->detail = detail;
        for (char& c : problem->detail) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                c = '?';
            }
        }
        return false;
    }
    bool NotProfileFile(const std::string& detail) {
        return Refuse(ImportFileProblem::NotProfileFile, "", detail);
    }

    bool Header(const std::string& path) {
        FILE* file = fopen(path.c_str(), "rbe");
        if (file == nullptr) {
            return NotProfileFile("the file cannot be read");
        }
        unsigned char header[kHeaderSize] = {};
        const size_t read = fread(header, 1, sizeof header, file);
        long long size = -1;
        if (fseeko(file, 0, SEEK_END) == 0) {
            size = static_cast<long long>(ftello(file));
        }
        fclose(file);
        if (read < kHeaderSize || size < 0 || memcmp(header, kHeader, sizeof kHeader) != 0) {
            return NotProfileFile("no database header");
        }
        if (header[kWriteVersionOffset] != 1 || header[kReadVersionOffset] != 1) {
            return NotProfileFile("a database of another journal mode");
        }
        // SQLite writes whole pages, and a file whose header is current names its own
        // length: a file cut short anywhere is refused, also where SQLite would read the
        // missing part as zeros.
        const unsigned pageSize =
            BigEndian(header + kPageSizeOffset, 2) == 1 ? 65536u : BigEndian(header + kPageSizeOffset, 2);
        if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || size % pageSize != 0) {
            return NotProfileFile("not a whole number of pages");
        }
        const bool sizeCurrent =
            BigEndian(header + kChangeCounterOffset, 4) == BigEndian(header + kValidForOffset, 4);
        if (sizeCurrent &&
            BigEndian(header + kPageCountOffset, 4) != static_cast<unsigned long long>(size / pageSize)) {
            return NotProfileFile("the file is shorter or longer than its header says");
        }
        return true;
    }

    bool Open(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            return NotProfileFile(std::string("cannot open: ") + sqlite3_errmsg(db));
        }
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
        sqlite3_progress_handler(db, kProgressStep, StopRunawayCheck, &progressCalls);
        return true;
    }

    // Prepares a statement; null (with the problem) when it cannot be prepared.
    sqlite3_stmt* Prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            NotProfileFile(sql + ": " + sqlite3_errmsg(db));
            return nullptr;
        }
        return statement;
    }

    bool Whole() {
        sqlite3_stmt* statement = Prepare("PRAGMA quick_check(1)");
        if (statement == nullptr) {
            return false;
        }
        const bool ok = sqlite3_step(statement) == SQLITE_ROW &&
                        sqlite3_column_type(statement, 0) == SQLITE_TEXT &&
                        strcmp(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "ok") == 0;
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        return ok || NotProfileFile("the database is damaged: " + message);
    }

    // The table exists as a table (not a view) with every column the program reads.
    bool Schema(const Table& table) {
        sqlite3_stmt* statement = Prepare("SELECT type FROM sqlite_master WHERE name = '" +
                                          std::string(table.name) + "' COLLATE NOCASE");
        if (statement == nullptr) {
            return false;
        }
        const bool isTable =
            sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) == SQLITE_TEXT &&
            strcmp(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "table") == 0;
        sqlite3_finalize(statement);
        if (!isTable) {
            return NotProfileFile(std::string("no table ") + table.name);
        }
        std::vector<std::string> present;
        statement = Prepare(std::string("PRAGMA table_info(") + table.name + ")");
        if (statement == nullptr) {
            return false;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* name = sqlite3_column_text(statement, 1);
            present.emplace_back(name != nullptr ? reinterpret_cast<const char*>(name) : "");
        }
        sqlite3_finalize(statement);
        std::vector<const char*> wanted{table.key};
        for (const Column& column : table.columns) {
            wanted.push_back(column.name);
        }
        for (const char* column : wanted) {
            bool found = false;
            for (const std::string& name : present) {
                found = found || name == column;
            }
            if (!found) {
                return NotProfileFile(std::string("no column ") + table.name + "." + column);
            }
        }
        return true;
    }

    // The first line of an OpenVPN configuration that would make openvpn, running as
    // root, open a file, folder or device by its path, or serve (OpenVPNConfigSyntax): its
    // number and directive, or nullopt.
    static std::optional<std::pair<int, std::string>> BarredOpenVPNLine(sqlite3_stmt* statement, int index) {
        if (sqlite3_column_type(statement, index) != SQLITE_TEXT) {
            return std::nullopt;
        }
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        const OpenVPNConfigSyntax::Reading reading = OpenVPNConfigSyntax::Read(
            std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, index))));
        for (const OpenVPNConfigSyntax::Line& line : reading.lines) {
            if (line.role == OpenVPNConfigSyntax::Role::Directive &&
                OpenVPNConfigSyntax::TreatmentOf(line.words) == OpenVPNConfigSyntax::Treatment::Barred) {
                return std::make_pair(line.number, OpenVPNConfigSyntax::RuledDirective(line.words));
            }
        }
        return std::nullopt;
    }

    // A number as SQLite holds it: absent, or an integer that fits 32 bits.
    static bool NumberFits(sqlite3_stmt* statement, int index) {
        const int type = sqlite3_column_type(statement, index);
        if (type == SQLITE_NULL) {
            return true;
        }
        if (type != SQLITE_INTEGER) {
            return false;
        }
        const sqlite3_int64 value = sqlite3_column_int64(statement, index);
        return value >= INT_MIN && value <= INT_MAX;
    }

    // A text as SQLite holds it: absent, or whole UTF-8 text of at most maxBytes bytes
    // (Text: any length) without a NUL, and on one line without control characters.
    static bool TextFits(sqlite3_stmt* statement, int index, const Column& column) {
        const int type = sqlite3_column_type(statement, index);
        if (type == SQLITE_NULL) {
            return true;
        }
        if (type != SQLITE_TEXT) {
            return false;
        }
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        const size_t length = static_cast<size_t>(sqlite3_column_bytes(statement, index));
        if (text == nullptr || memchr(text, '\0', length) != nullptr || !DecodeUtf8(text, length, nullptr)) {
            return false;
        }
        if (column.type == Column::Text) {
            return true;
        }
        return length <= column.maxBytes && !HasControlCharacter(text, length);
    }

    static bool InRange(sqlite3_stmt* statement, int index, int low, int high) {
        if (sqlite3_column_type(statement, index) == SQLITE_NULL) {
            return true;
        }
        const sqlite3_int64 value = sqlite3_column_int64(statement, index);
        return value >= low && value <= high;
    }

    // The IPsec values that the record's validating setters would refuse and so replace
    // by their defaults.
    static bool IPSecValuesFit(sqlite3_stmt* statement, const Table& table) {
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const std::string name = table.columns[i].name;
            const int index = static_cast<int>(i);
            if ((name == "Version" || name == "TransportProtocol" || name == "ProtocolType") &&
                !InRange(statement, index, 1, 2)) {
                return false;
            }
            if (name == "AuthMethod" && !InRange(statement, index, 1, 1)) {
                return false;
            }
            if (name == "PhaseOneProposals" && sqlite3_column_type(statement, index) == SQLITE_TEXT &&
                sqlite3_column_bytes(statement, index) > 0) {
                const std::string text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
                const size_t first = text.find('-');
                if (first == std::string::npos || text.find('-', first + 1) == std::string::npos) {
                    return false;
                }
            }
        }
        return true;
    }

    // The WireGuard record the merge would make of the row (its texts fit, TextFits), and
    // the first key of its configuration file whose value is not allowed, or empty.
    static std::string WireGuardUnfitKey(sqlite3_stmt* statement, const Table& table) {
        WireGuardVPNInfo info;
        const struct {
            const char* column;
            char* text;
            int* number;
        } fields[] = {
            {"WanIP", info.WanIP, nullptr},
            {"PeerPort", nullptr, &info.PeerPort},
            {"PeerPubKey", info.PeerPubKey, nullptr},
            {"IPAddr", info.IPAddr, nullptr},
            {"InterSubMask", nullptr, &info.InterSubMask},
            {"InterPort", nullptr, &info.InterPort},
            {"InterPriKey", info.InterPriKey, nullptr},
            {"DNS", info.DNS, nullptr},
            {"PreShardKey", info.PreShardKey, nullptr},
            {"KeepaliveTime", nullptr, &info.KeepaliveTime},
            {"AllowdIPs", info.AllowdIPs, nullptr},
        };
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const int index = static_cast<int>(i);
            for (const auto& field : fields) {
                if (std::strcmp(field.column, table.columns[i].name) != 0) {
                    continue;
                }
                if (field.number != nullptr) {
                    *field.number = sqlite3_column_int(statement, index);
                } else if (const unsigned char* text = sqlite3_column_text(statement, index)) {
                    std::snprintf(field.text, RECORD_TEXT_SHORT, "%s", reinterpret_cast<const char*>(text));
                }
            }
        }
        return WireGuardValues::FirstUnfitKey(info);
    }

    // The row of the profile's kind exists and every value of it fits its record.
    bool KindRow(const std::string& name, int vpnType, sqlite3_int64 configID) {
        const Table& table = *kindTable(vpnType);
        std::string sql = "SELECT ";
        for (size_t i = 0; i < table.columns.size(); ++i) {
            sql += std::string(i == 0 ? "" : ", ") + table.columns[i].name;
        }
        sql += std::string(" FROM ") + table.name + " WHERE " + table.key + " = " + std::to_string(configID);
        sqlite3_stmt* statement = Prepare(sql);
        if (statement == nullptr) {
            return false;
        }
        const int step = sqlite3_step(statement);
        if (step != SQLITE_ROW) {
            sqlite3_finalize(statement);
            if (step == SQLITE_DONE) {
                return Refuse(ImportFileProblem::BadProfile, name, std::string("no row in ") + table.name);
            }
            return NotProfileFile(std::string(table.name) + ": " + sqlite3_errmsg(db));
        }
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const Column& column = table.columns[i];
            const int index = static_cast<int>(i);
            const bool fits = column.type == Column::Number ? NumberFits(statement, index)
                                                            : TextFits(statement, index, column);
            if (!fits) {
                sqlite3_finalize(statement);
                return Refuse(ImportFileProblem::BadProfile, name,
                              std::string("a value its record cannot hold in ") + table.name + "." +
                                  column.name);
            }
            // A profile file comes from someone else: its OpenVPN configuration names no
            // file for root to read and makes no server.
            const std::optional<std::pair<int, std::string>> barred =
                &table == &kOpenVPNTable && std::strcmp(column.name, "VPNConfig") == 0
                    ? BarredOpenVPNLine(statement, index)
                    : std::nullopt;
            if (barred) {
                sqlite3_finalize(statement);
                problem->directive = barred->second;
                return Refuse(ImportFileProblem::BarredDirective, name,
                              "OPENVPN.VPNConfig opens a file by its path or serves, line " +
                                  std::to_string(barred->first) + ": " + barred->second);
            }
        }
        const bool fits = vpnType != VPN_TYPE_IPSEC || IPSecValuesFit(statement, table);
        // A WireGuard profile's values go into its configuration file as they are: each
        // must be what its key takes.
        const std::string unfitKey =
            vpnType == VPN_TYPE_WIREGUARD ? WireGuardUnfitKey(statement, table) : std::string();
        sqlite3_finalize(statement);
        if (!unfitKey.empty()) {
            problem->field = unfitKey;
            return Refuse(ImportFileProblem::BadValue, name,
                          "a value not allowed in " + unfitKey + " of " + std::string(table.name));
        }
        return fits || Refuse(ImportFileProblem::BadProfile, name,
                              std::string("a value out of its range in ") + table.name);
    }

    bool Profiles() {
        sqlite3_stmt* statement =
            Prepare("SELECT ProfileID, ProfileName, ProfileType, ConfigID FROM PROFILE");
        if (statement == nullptr) {
            return false;
        }
        struct Row {
            std::string name;
            int vpnType;
            sqlite3_int64 configID;
        };
        std::vector<Row> rows;
        size_t count = 0;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            if (++count > kMaxImportedProfiles) {
                sqlite3_finalize(statement);
                return Refuse(ImportFileProblem::TooManyProfiles, "",
                              "more than " + std::to_string(kMaxImportedProfiles) + " profiles");
            }
            const Column& nameColumn = kProfileTable.columns[1];
            // The type is read before the text: reading the text may convert the value.
            const bool nameFits =
                sqlite3_column_type(statement, 1) == SQLITE_TEXT && TextFits(statement, 1, nameColumn);
            const unsigned char* text = sqlite3_column_text(statement, 1);
            const std::string name = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            if (!NumberFits(statement, 0) || sqlite3_column_type(statement, 0) == SQLITE_NULL ||
                !NumberFits(statement, 2) || sqlite3_column_type(statement, 2) == SQLITE_NULL ||
                !NumberFits(statement, 3) || sqlite3_column_type(statement, 3) == SQLITE_NULL) {
                sqlite3_finalize(statement);
                return Refuse(ImportFileProblem::BadProfile, name, "a number of PROFILE that is none");
            }
            const int vpnType = sqlite3_column_int(statement, 2);
            if (kindTable(vpnType) == nullptr) {
                continue; // the merge skips it
            }
            if (!nameFits || !IsImportableProfileName(name, vpnType)) {
                sqlite3_finalize(statement);
                return Refuse(ImportFileProblem::BadName, name, "a profile name that cannot be used");
            }
            rows.push_back({name, vpnType, sqlite3_column_int64(statement, 3)});
        }
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        if (step != SQLITE_DONE) {
            return NotProfileFile("PROFILE: " + message);
        }
        for (const Row& row : rows) {
            if (!KindRow(row.name, row.vpnType, row.configID)) {
                return false;
            }
        }
        if (profiles != nullptr) {
            *profiles = rows.size();
        }
        return true;
    }

    ImportFileProblem* problem;
    size_t* profiles;
    sqlite3* db = nullptr;
    long progressCalls = 0;
};

} // namespace

bool IsImportableProfileName(const std::string& name, int vpnType) {
    return ProfileNameRule::accepts(name.c_str(), vpnType);
}

bool CheckImportFile(const std::string& path, ImportFileProblem* problem, size_t* profiles) {
    ImportFileProblem ignored;
    ImportFileProblem* target = problem != nullptr ? problem : &ignored;
    *target = ImportFileProblem();
    return Check(target, profiles).Run(path);
}
