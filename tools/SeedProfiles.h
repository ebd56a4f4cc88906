// Fills a profile store's file for the benchmarks, written in one transaction straight into
// the file, with names in no order (the same order on every run).
#pragma once

#include <algorithm>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace seedprofiles {

// The words that the seeded names start with, by number modulo 8.
constexpr const char* kNameWords[8] = {"office", "Lab", "branch", "Backup", "edge", "Home", "site", "Tunnel"};

// The numbers 0 to count - 1 in no order, the same on every run.
inline std::vector<int> ShuffledNumbers(int count) {
    std::vector<int> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        numbers[static_cast<size_t>(i)] = i;
    }
    std::mt19937 random(11);
    std::shuffle(numbers.begin(), numbers.end(), random);
    return numbers;
}

// `count` rows whose kinds go round 1 to 4 and whose ConfigIDs count up from firstConfigID.
inline bool SeedProfileRows(const std::string& databasePath, int count, int firstConfigID) {
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const std::vector<int> numbers = ShuffledNumbers(count);
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < count; ++i) {
        const int n = numbers[static_cast<size_t>(i)];
        char* sql = sqlite3_mprintf(
            "INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) VALUES ('%s_%05d', %d, %d)",
            kNameWords[n % 8], n, 1 + i % 4, firstConfigID + i);
        ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_free(sql);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// `count` profiles as a user's store holds them: each with its record in its kind's table
// (the kinds go round IPsec, SSL VPN, OpenVPN, WireGuard), names in no order, all written in
// one transaction. With selectNewest the settings row's SelectedName becomes the
// newest profile's name.
inline bool SeedProfilesWithRecords(const std::string& databasePath, int count, bool selectNewest = false) {
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const std::vector<int> numbers = ShuffledNumbers(count);
    const auto exec = [db](char* sql) {
        const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_free(sql);
        return ok;
    };
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    std::string newest;
    for (int i = 0; ok && i < count; ++i) {
        const int n = numbers[static_cast<size_t>(i)];
        const int kind = 1 + i % 4;
        const int host = 1 + n % 250;
        if (kind == 1) {
            ok = exec(sqlite3_mprintf(
                "INSERT INTO ZRIPSECVPN (Version, PolicyName, LocalAddrs, RemoteAddrs, AuthMethod, "
                "TransportProtocol, RemoteTrafficSelectors, LocalTrafficSelectors, ProtocolType, "
                "EspProposals, "
                "PhaseOneProposals, IKEID, PSKSecret, EnableDPD, DPDPeriod) VALUES (2, 'policy%d', "
                "'192.0.2.%d', "
                "'203.0.113.%d', 1, 1, '10.%d.0.0/24', '', 2, 'aes256-sha256', 'aes256-sha256-modp2048', '', "
                "'secret', 0, 30)",
                n, host, host, n % 250));
        } else if (kind == 4) {
            ok = exec(sqlite3_mprintf(
                "INSERT INTO ZRWIREGUARDVPN (WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, InterPort, "
                "InterPriKey, InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs) VALUES "
                "('198.51.100.%d', "
                "51820, 'hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=', '10.8.%d.2', 24, 0, "
                "'yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=', "
                "'xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=', "
                "'', '', 25, '10.8.0.0/16')",
                host, n % 250));
        } else {
            ok = exec(sqlite3_mprintf(
                "INSERT INTO OPENVPN (ServerIP, ServerPort, ConfigFilePath, NeedPwd, UserName, UserPwd, "
                "RememberMe, "
                "PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, EnableFullTraffic, AllowdIPs, "
                "VPNConfig) VALUES ('vpn%d.example.org', 1194, '', 1, 'user', 'secret', 1, 0, 0, '', '', '', "
                "0, "
                "'', 'client\ndev tun\nremote vpn%d.example.org 1194\n')",
                n, n));
        }
        const long long record = sqlite3_last_insert_rowid(db);
        char name[64];
        std::snprintf(name, sizeof name, "%s_%05d", kNameWords[n % 8], n);
        ok = ok && exec(sqlite3_mprintf("INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) VALUES "
                                        "('%q', %d, %lld)",
                                        name, kind, record));
        newest = name;
    }
    if (ok && selectNewest && !newest.empty()) {
        ok = exec(sqlite3_mprintf("UPDATE SETTINGINFO SET SelectedName = '%q' WHERE ID = 1", newest.c_str()));
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace seedprofiles
