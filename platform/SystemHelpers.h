// System helpers: the single-instance test, the program's own version and architecture
// name, the start-with-system entry, the data folders, and a group of system queries
// and switches that the library offers (nothing in the client calls the second group).
// Each stands on a Linux facility; the comments say which where the name does not.
#pragma once

#include <cstdint>
#include <string>

// Shell folder ids accepted by MakeSpecialFolder. For an elevated client (InvokingUser.h) the
// user folders lie under the invoking user's account home, whatever the environment says.
enum {
    CSIDL_PERSONAL = 5,        // $HOME
    CSIDL_APPDATA = 26,        // ${XDG_CONFIG_HOME:-$HOME/.config}
    CSIDL_LOCAL_APPDATA = 28,  // ${XDG_DATA_HOME:-$HOME/.local/share}
    CSIDL_COMMON_APPDATA = 35, // /var/lib
};

// Flags of QueryHardwareInfo.
enum {
    HARDWARE_PROCESSOR = 1,
    HARDWARE_SYSTEM = 2,
    HARDWARE_VIDEO = 4,
};

struct HardwareInfo {
    char processor[64];
    char system[64];
    char video[8][64];
    int32_t videoCount;
};

// The processor architectures GetNativeSystemInfoSafe reports.
enum {
    PROCESSOR_ARCHITECTURE_INTEL = 0,
    PROCESSOR_ARCHITECTURE_ARM = 5,
    PROCESSOR_ARCHITECTURE_IA64 = 6,
    PROCESSOR_ARCHITECTURE_AMD64 = 9,
    PROCESSOR_ARCHITECTURE_ARM64 = 12,
    PROCESSOR_ARCHITECTURE_UNKNOWN = 0xffff,
};

struct SYSTEM_INFO {
    uint16_t wProcessorArchitecture;
    uint32_t dwPageSize;
    void* lpMinimumApplicationAddress;
    void* lpMaximumApplicationAddress;
    uint64_t dwActiveProcessorMask;
    uint32_t dwNumberOfProcessors;
    uint32_t dwAllocationGranularity;
};

// The single-instance lock: an flock on the lock file of that name in root's run folder
// (RunFolder.h), kept for the life of the process once taken. 0 when this call took it, 1
// when another process holds it, -1 when it cannot be opened or taken (the run folder is
// missing or refused, the file is not this user's lock file), with the reason in English.
int TakeInstanceLock(const char* name, std::string* error);

// True when another holder of the name exists (TakeInstanceLock gives 1). A lock that
// cannot be taken counts as "not running" here; the client asks TakeInstanceLock, which
// tells that case apart.
bool IsAlreadyRunning(const char* name);

// The program's version from the build (a.b.c.d) as "%d.%d.%d" into out (64 bytes), or
// "Unknow Soft Version" when the build gave none. Returns 0.
int GetSoftVersion(char* out);

// "x64".
void GetArchName(char* out);

// The start-with-system entry: on, <first folder of $XDG_CONFIG_DIRS, else
// /etc/xdg>/autostart/<valueName>.desktop is written whole with Exec= the program path in
// valueText and Path= the program's folder (the working folder it starts in); off, that file is removed (a
// missing file is fine). Returns 0, or -1 when the folder cannot be made, the file cannot be written or
// removed, or the name or the path cannot stand in an entry.
int SetAutoStart(const char* valueName, const char* valueText, bool on);

// True when the entry that SetAutoStart writes exists and can be read.
bool IsAutoStartSet(const char* valueName);

// The shell folder (see the CSIDL values) followed by suffix ('\' is taken as '/') into
// outPath (260 bytes), created level by level (mode 0700) when it is not a directory; a
// user folder is looked at and made as the invoking user (MakeUserFolderPath).
// Returns 0, or -1 for a null out path, an unknown folder id, a path that does not fit,
// or a folder that cannot be made.
int MakeSpecialFolder(char* outPath, const char* suffix, int csidl);

// The working directory followed directly by suffix, as MakeSpecialFolder.
int MakeWorkDirFolder(char* outPath, const char* suffix);

// Standard output is already the process's descriptor 1 on Linux; this makes it
// unbuffered so that log output reaches it at once. The result of setvbuf.
int RedirectStdoutToConsole();

// A write to an output that nobody reads any more (a closed terminal, a pipe into a
// program that has ended) fails with EPIPE instead of ending the process with SIGPIPE.
// Programs the layer starts get the default action back.
void IgnoreBrokenPipeSignal();

// Linux has no per-thread execution state or screen-saver switch without a desktop
// session: KeepSystemAwake answers 0 (no previous state) and EnableScreenSaver 0 (the
// failure value of the Windows call).
uint32_t KeepSystemAwake();
int EnableScreenSaver();

// Linux timers need no resolution request: both answer 0 (success).
uint32_t BeginTimerPeriod(uint32_t periodMs);
uint32_t EndTimerPeriod(uint32_t periodMs);

// The distribution's name (PRETTY_NAME of os-release, else the kernel's name) followed by
// " x64" on x86-64 and " x86" otherwise, into out (64 bytes); "Unknow OS" when neither can
// be read. Returns 0.
int GetOSName(char* out);
// The kernel's "major.minor" (64 bytes), or "Unknow Version". Returns 0.
int GetOSVersion(char* out);
// The kernel's third version number (64 bytes), or "Unknow Build". Returns 0.
int GetOSBuild(char* out);

// Free bytes of the file system holding the directory, or 0 on failure.
uint64_t GetDiskFreeBytes(const char* directory);

// Processor name (/proc/cpuinfo), model and manufacturer (/sys/class/dmi/id) and the
// video controllers (/sys/class/drm cards: driver and PCI ids, at most 8). A source that
// cannot be read gives "Unknown" (video count 1). Returns 0 when a requested query ran,
// -1 for no flag.
int QueryHardwareInfo(HardwareInfo* info, int flags);

// 1 when a default route exists (/proc/net/route or /proc/net/ipv6_route), else 0.
int IsInternetConnected();

void GetNativeSystemInfoSafe(SYSTEM_INFO* info);

// The debugger channel: OutputDebugStringA writes the text to standard error;
// IsDebuggerPresent is true when a tracer is attached (TracerPid in /proc/self/status).
void OutputDebugStringA(const char* text);
bool IsDebuggerPresent();

// The folder under which QueryHardwareInfo and IsInternetConnected read /proc and /sys;
// empty (the default) is the real root. Tests point it at a fixture.
void SetSystemInfoRoot(const char* root);
