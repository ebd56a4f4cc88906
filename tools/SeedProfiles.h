// Fills a profile store's file for the benchmarks: PROFILE rows with names in no order
// (the same order on every run), written in one transaction straight into the file.
#pragma once

#include <algorithm>
#include <random>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace seedprofiles {

// `count` rows whose kinds go round 1 to 4 and whose ConfigIDs count up from firstConfigID.
inline bool SeedProfileRows(const std::string& databasePath, int count, int firstConfigID) {
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    std::vector<int> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        numbers[static_cast<size_t>(i)] = i;
    }
    std::mt19937 random(11);
    std::shuffle(numbers.begin(), numbers.end(), random);
    const char* words[] = {"office", "Lab", "branch", "Backup", "edge", "Home", "site", "Tunnel"};
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < count; ++i) {
        const int n = numbers[static_cast<size_t>(i)];
        char* sql = sqlite3_mprintf(
            "INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) VALUES ('%s_%05d', %d, %d)",
            words[n % 8], n, 1 + i % 4, firstConfigID + i);
        ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_free(sql);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace seedprofiles
