// Fixed texts, names and sizes of the platform layer: the process runner's result
// texts and command-line forms, and the files the layer keeps on the client's behalf.
#pragma once

#include <cstddef>

// The strongSwan daemon. A capturing run whose command line names it and that reads
// nothing answers kCharonNotExist; the daemon lookup relies on that text.
constexpr const char kCharonProgram[] = "charon-svc.exe";

// Result texts of ProcessPipe.
constexpr const char kResultFailed[] = "Failed";
constexpr const char kResultSuccess[] = "Success";
constexpr const char kCharonNotExist[] = "charon-svc.exe not exist";

// A command line with this prefix is served by the layer's own command interpreter.
constexpr const char kCmdPrefix[] = "cmd.exe /c ";

// One read of a child's output takes at most kReadSize bytes into a work buffer of
// kWorkBufferSize zero-filled bytes, so the text always ends in a NUL.
constexpr size_t kWorkBufferSize = 10240;
constexpr size_t kReadSize = kWorkBufferSize - 1;
// Command lines are converted in a buffer of this size; a longer line is refused.
constexpr size_t kCommandLineBufferSize = 2048;

// How long a termination request waits before the process is killed outright.
constexpr int kTerminateGraceMs = 3000;
// How long ending a started program waits for it after SIGKILL (a process stuck in the
// kernel), and how often it looks.
constexpr int kKillReapMs = 2000;
constexpr int kReapPollMs = 10;

// The fixed-size path buffers of the start-up code.
constexpr size_t kMaxPath = 260;

// Root's run folder (the single-instance lock and socket, the records of started programs
// and of the TAP adapters the client made); the variable names another one (tests).
constexpr const char kRunFolderPath[] = "/run/korva-vpn";
constexpr const char kRunFolderVariable[] = "KORVA_RUN_DIR";
// In the run folder: one record per started program, named by its process id.
constexpr const char kChildRecordsFolder[] = "children";

// Start-with-system entry: <first folder of XDG_CONFIG_DIRS, else kSystemConfigDir>/autostart/<name>.desktop.
constexpr const char kConfigDirsVariable[] = "XDG_CONFIG_DIRS";
constexpr const char kSystemConfigDir[] = "/etc/xdg";
constexpr const char kAutostartFolder[] = "/autostart/";
constexpr const char kDesktopSuffix[] = ".desktop";

// The roaming application-data folder and the client's data folder under it.
constexpr const char kConfigHomeVariable[] = "XDG_CONFIG_HOME";
constexpr const char kConfigHomeUnderHome[] = "/.config";
constexpr const char kDataFolderSuffix[] = "/Halvex/Korva VPN/";

// The system's colour preference: gtk-3.0/settings.ini under the configuration home,
// whose key below set to 1 (or true) asks for dark colours.
constexpr const char kGtkSettingsFolder[] = "/gtk-3.0";
constexpr const char kGtkSettingsFile[] = "settings.ini";
constexpr const char kGtkPreferDarkKey[] = "gtk-application-prefer-dark-theme";
// The most of that file that is read.
constexpr size_t kMaxSettingsFileBytes = 1 << 20;
// The system's interface language: LANG in this file, else the environment.
constexpr const char kSystemLocaleFile[] = "/etc/default/locale";

// The service table that stands in for the service control manager; the environment
// variable, when set, names another file (tests use it).
constexpr const char kServiceTableFile[] = "services.table";
constexpr const char kServiceTableVariable[] = "KORVA_SERVICE_TABLE";
constexpr const char kServiceTableLockSuffix[] = ".lock";
constexpr const char kServiceDatabaseLockSuffix[] = ".dblock";
// The one service the table holds when it is first made.
constexpr const char kIkeextService[] = "IKEEXT";
constexpr const char kIkeextDisplayName[] = "IKE and AuthIP IPsec Keying Modules";

// Crash dumps: the dump path before start-up sets one, the architecture name, and the
// log folder whose open log file receives the crash report.
constexpr const char kDefaultDumpPath[] = "/tmp/utility.dmp";
constexpr const char kArchName[] = "x64";
constexpr const char kLogFolderName[] = "Halvex_log";

// Elevation: the client runs as root; started by another user it runs itself again
// through pkexec, whose polkit action (installed by the set-up) keeps the display.
constexpr const char kPkexecProgram[] = "/usr/bin/pkexec";
constexpr const char kPkexecUidVariable[] = "PKEXEC_UID";
// pkexec's own exit codes: the authentication dialog was dismissed; not authorised or failed.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
// The exit code of a client that cannot obtain administrator rights.
constexpr int kNoAdminExitCode = 1;

// The log lines of a failed elevation and of a close by SIGTERM or SIGINT (module 6,
// level 3).
constexpr const char kElevationFailedLine[] = "System :: Administrator rights not obtained: %s\n";
constexpr const char kSystemCloseLine[] = "System :: Close requested by signal %d\n";
constexpr int kSystemLogModule = 6;
constexpr int kSystemLogLevel = 3;
