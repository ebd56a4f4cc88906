// The fixed folder names, file names and formats of the start-up and the application
// context. The working directory is the client's project path.
#pragma once

namespace ContextPaths {

// Under the roaming application-data folder: the client's data folder.
constexpr const char* kDataFolderSuffix = "/Halvex/Korva VPN/";
// Under the working directory: the log folder, and this run's log file in it from the
// folder, the architecture name, the version and the start time.
constexpr const char* kLogFolder = "Halvex_log/";
constexpr const char* kLogFileFormat = "%s/Korva VPN__%s_%s_%s.log";
constexpr const char* kLogTimeFormat = "%d%02d%02d_%02d%02d%02d";
// In the data folder: the profile database and the crash dump.
constexpr const char* kDatabasePathFormat = "%s/%s";
constexpr const char* kDatabaseFile = "vpn.db";
constexpr const char* kCrashDumpFormat = "%scrash.dmp";
// The version written into a new settings row.
constexpr const char* kDatabaseVersion = "1.0";

} // namespace ContextPaths
