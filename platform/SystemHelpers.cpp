#include "SystemHelpers.h"

#include "FileWrite.h"
#include "InvokingUser.h"
#include "PlatformConstants.h"
#include "RunFolder.h"
#include "StrUtils.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace {

std::string gSystemInfoRoot;

void CopyBounded(char* out, size_t size, const std::string& text) {
    Utf8CopyBounded(out, size, text.c_str());
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The home of the user the client works for: the account's when elevated.
std::string HomeFolder() {
    const InvokingUser& user = GetInvokingUser();
    return user.elevated ? user.home : EnvOr("HOME", "/root");
}

std::string ReadFileText(const std::string& path, bool* ok = nullptr) {
    std::ifstream file(path, std::ios::binary);
    if (ok != nullptr) {
        *ok = file.is_open();
    }
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::string Slashes(const char* text) {
    std::string path = text != nullptr ? text : "";
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

int FinishFolder(char* outPath, const std::string& path, bool userFolder) {
    if (path.size() >= kMaxPath) {
        return -1;
    }
    std::memcpy(outPath, path.c_str(), path.size() + 1);
    // A folder of the user's is looked at and made as the user.
    if (userFolder) {
        return MakeUserFolderPath(path);
    }
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return 0;
    }
    return MakeDirPath(path.c_str());
}

std::string AutostartFolder() {
    std::string dirs = EnvOr(kConfigDirsVariable, "");
    std::string first = dirs.substr(0, dirs.find(':'));
    return (first.empty() ? std::string(kSystemConfigDir) : first) + kAutostartFolder;
}

bool IsPlainName(const char* name) {
    if (name == nullptr || *name == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '/' || static_cast<unsigned char>(*p) < 0x20) {
            return false;
        }
    }
    return true;
}

// The program path as one Exec= argument: quoted, with the characters the desktop entry
// format reserves inside quotes escaped, then escaped once more as a string value.
bool DesktopExecValue(const char* program, std::string& value) {
    std::string quoted = "\"";
    for (const char* p = program; *p != '\0'; ++p) {
        const char c = *p;
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    value.clear();
    for (char c : quoted) {
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '%') {
            value += "%%";
        } else {
            value += c;
        }
    }
    return true;
}

// A string value of a desktop entry: the backslash is the one character to escape once
// control characters are refused.
std::string DesktopStringValue(const std::string& text) {
    std::string value;
    for (char c : text) {
        if (c == '\\') {
            value += "\\\\";
        } else {
            value += c;
        }
    }
    return value;
}

// The folder that holds the program: its path up to the last "/", or "/" for a program at
// the top.
std::string ProgramFolder(const char* program) {
    const std::string path = program;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SysPath(const std::string& path) {
    return gSystemInfoRoot + path;
}

void UnknownHardware(HardwareInfo* info, int flags) {
    if (flags & HARDWARE_PROCESSOR) {
        CopyBounded(info->processor, sizeof(info->processor), "Unknown");
    }
    if (flags & HARDWARE_SYSTEM) {
        CopyBounded(info->system, sizeof(info->system), "Unknown");
    }
    if (flags & HARDWARE_VIDEO) {
        CopyBounded(info->video[0], sizeof(info->video[0]), "Unknown");
        info->videoCount = 1;
    }
}

bool QueryProcessor(HardwareInfo* info) {
    bool ok = false;
    std::istringstream lines(ReadFileText(SysPath("/proc/cpuinfo"), &ok));
    std::string line;
    bool found = false;
    while (std::getline(lines, line)) {
        if (line.compare(0, 10, "model name") == 0) {
            size_t colon = line.find(':');
            std::string name = colon == std::string::npos ? "" : line.substr(colon + 1);
            name.erase(0, name.find_first_not_of(" \t"));
            // Every processor overwrites the text, so the last one stays.
            CopyBounded(info->processor, sizeof(info->processor), name);
            found = true;
        }
    }
    return ok && found;
}

bool QuerySystem(HardwareInfo* info) {
    bool modelOk = false;
    bool vendorOk = false;
    std::string model = FirstLine(ReadFileText(SysPath("/sys/class/dmi/id/product_name"), &modelOk));
    std::string vendor = FirstLine(ReadFileText(SysPath("/sys/class/dmi/id/sys_vendor"), &vendorOk));
    if (!modelOk || !vendorOk) {
        return false;
    }
    CopyBounded(info->system, sizeof(info->system), model + ", " + vendor);
    return true;
}

bool QueryVideo(HardwareInfo* info) {
    const std::string drm = SysPath("/sys/class/drm");
    DIR* folder = opendir(drm.c_str());
    if (folder == nullptr) {
        return false;
    }
    std::vector<std::string> cards;
    while (dirent* entry = readdir(folder)) {
        const char* name = entry->d_name;
        // card0, card1, ...; connectors (card0-HDMI-A-1) are not controllers.
        if (std::strncmp(name, "card", 4) == 0 && name[4] != '\0' &&
            std::strspn(name + 4, "0123456789") == std::strlen(name + 4)) {
            cards.push_back(name);
        }
    }
    closedir(folder);
    std::sort(cards.begin(), cards.end(), [](const std::string& a, const std::string& b) {
        return std::atoi(a.c_str() + 4) < std::atoi(b.c_str() + 4);
    });
    int count = 0;
    for (const std::string& card : cards) {
        if (count == 8) {
            break;
        }
        const std::string device = drm + "/" + card + "/device";
        char target[512] = {0};
        std::string driver = "unknown";
        ssize_t n = readlink((device + "/driver").c_str(), target, sizeof(target) - 1);
        if (n > 0) {
            target[n] = '\0';
            const char* slash = std::strrchr(target, '/');
            driver = slash != nullptr ? slash + 1 : target;
        }
        std::string vendor = FirstLine(ReadFileText(device + "/vendor"));
        std::string model = FirstLine(ReadFileText(device + "/device"));
        std::string text = driver;
        if (!vendor.empty() || !model.empty()) {
            text += " (" + vendor + ":" + model + ")";
        }
        CopyBounded(info->video[count], sizeof(info->video[count]), text);
        ++count;
    }
    info->videoCount = count;
    return true;
}

bool HasDefaultRoute() {
    std::istringstream routes(ReadFileText(SysPath("/proc/net/route")));
    std::string line;
    std::getline(routes, line); // the header
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string interface, destination;
        fields >> interface >> destination;
        if (destination == "00000000") {
            return true;
        }
    }
    std::istringstream routes6(ReadFileText(SysPath("/proc/net/ipv6_route")));
    while (std::getline(routes6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix;
        fields >> destination >> prefix;
        // ::/0 through a real interface; the unreachable default on lo does not count.
        if (destination == std::string(32, '0') && prefix == "00" && line.find(" lo") == std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<unsigned> KernelVersionNumbers() {
    std::vector<unsigned> numbers;
    struct utsname names;
    if (uname(&names) != 0) {
        return numbers;
    }
    const char* p = names.release;
    while (*p != '\0' && numbers.size() < 3) {
        char* end = nullptr;
        unsigned long value = std::strtoul(p, &end, 10);
        if (end == p) {
            break;
        }
        numbers.push_back(static_cast<unsigned>(value));
        p = end;
        if (*p != '.') {
            break;
        }
        ++p;
    }
    return numbers;
}

} // namespace

int TakeInstanceLock(const char* name, std::string* error) {
    static std::mutex heldMutex;
    static std::vector<int> held;
    std::string ignored;
    std::string& reason = error != nullptr ? *error : ignored;
    if (!IsPlainName(name)) {
        reason = "the lock name cannot stand as a file name";
        return -1;
    }
    const std::string folder = RunFolder(&reason);
    if (folder.empty()) {
        return -1;
    }
    const std::string path = folder + "/" + name;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        reason = path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        reason = path + ": not a lock file of this user";
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        close(fd);
        if (code == EWOULDBLOCK) {
            return 1;
        }
        reason = path + ": " + std::strerror(code);
        return -1;
    }
    std::lock_guard<std::mutex> lock(heldMutex);
    held.push_back(fd);
    return 0;
}

bool IsAlreadyRunning(const char* name) {
    return TakeInstanceLock(name, nullptr) == 1;
}

int GetSoftVersion(char* out) {
#if defined(KORVA_VERSION_MAJOR) && defined(KORVA_VERSION_MINOR) && defined(KORVA_VERSION_PATCH)
    std::snprintf(out, 64, "%d.%d.%d", KORVA_VERSION_MAJOR, KORVA_VERSION_MINOR, KORVA_VERSION_PATCH);
#else
    std::snprintf(out, 64, "%s", "Unknow Soft Version");
#endif
    return 0;
}

void GetArchName(char* out) {
    std::strcpy(out, kArchName);
}

int SetAutoStart(const char* valueName, const char* valueText, bool on) {
    if (!IsPlainName(valueName)) {
        return -1;
    }
    const std::string folder = AutostartFolder();
    const std::string path = folder + valueName + kDesktopSuffix;
    if (!on) {
        return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : -1;
    }
    std::string exec;
    if (valueText == nullptr || *valueText == '\0' || !DesktopExecValue(valueText, exec)) {
        return -1;
    }
    struct stat info;
    if (!(stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) &&
        MakeDirPath(folder.c_str(), 0755) != 0) {
        return -1;
    }
    // The client finds its program bundle relative to its working folder: it starts in
    // the program's own folder, as it does when started from there.
    const std::string entry = std::string("[Desktop Entry]\n") + "Type=Application\n" + "Name=" + valueName +
                              "\n" + "Exec=" + exec + "\n" +
                              "Path=" + DesktopStringValue(ProgramFolder(valueText)) + "\n" +
                              "X-GNOME-Autostart-enabled=true\n";
    return WriteFileWhole(path, entry, 0644) ? 0 : -1;
}

bool IsAutoStartSet(const char* valueName) {
    if (!IsPlainName(valueName)) {
        return false;
    }
    const std::string path = AutostartFolder() + valueName + kDesktopSuffix;
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

int MakeSpecialFolder(char* outPath, const char* suffix, int csidl) {
    if (outPath == nullptr) {
        return -1;
    }
    std::string folder;
    const bool elevated = GetInvokingUser().elevated;
    bool userFolder = true;
    switch (csidl) {
    case CSIDL_PERSONAL:
        folder = HomeFolder();
        break;
    case CSIDL_APPDATA:
        folder = UserConfigHome();
        break;
    case CSIDL_LOCAL_APPDATA:
        folder = elevated ? HomeFolder() + "/.local/share"
                          : EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share");
        break;
    case CSIDL_COMMON_APPDATA:
        folder = "/var/lib";
        userFolder = false;
        break;
    default:
        return -1;
    }
    return FinishFolder(outPath, folder + Slashes(suffix), userFolder);
}

int MakeWorkDirFolder(char* outPath, const char* suffix) {
    if (outPath == nullptr) {
        return -1;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof(cwd)) == nullptr) {
        return -1;
    }
    return FinishFolder(outPath, std::string(cwd) + Slashes(suffix), false);
}

int RedirectStdoutToConsole() {
    return setvbuf(stdout, nullptr, _IONBF, 0);
}

void IgnoreBrokenPipeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

uint32_t KeepSystemAwake() {
    return 0;
}

int EnableScreenSaver() {
    return 0;
}

uint32_t BeginTimerPeriod(uint32_t) {
    return 0;
}

uint32_t EndTimerPeriod(uint32_t) {
    return 0;
}

int GetOSName(char* out) {
    std::string name;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::istringstream lines(ReadFileText(path));
        std::string line;
        while (name.empty() && std::getline(lines, line)) {
            if (line.compare(0, 12, "PRETTY_NAME=") == 0) {
                name = line.substr(12);
                if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
                    name.back() == name.front()) {
                    name = name.substr(1, name.size() - 2);
                }
            }
        }
        if (!name.empty()) {
            break;
        }
    }
    struct utsname names;
    const bool haveNames = uname(&names) == 0;
    if (name.empty() && haveNames) {
        name = names.sysname;
    }
    if (name.empty()) {
        name = "Unknow OS";
    }
    SYSTEM_INFO system;
    GetNativeSystemInfoSafe(&system);
    const bool wide = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                      system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    CopyBounded(out, 64, name + (wide ? " x64" : " x86"));
    return 0;
}

int GetOSVersion(char* out) {
    std::vector<unsigned> numbers = KernelVersionNumbers();
    if (numbers.size() >= 2) {
        std::snprintf(out, 64, "%u.%u", numbers[0], numbers[1]);
    } else {
        std::snprintf(out, 64, "%s", "Unknow Version");
    }
    return 0;
}

int GetOSBuild(char* out) {
    std::vector<unsigned> numbers = KernelVersionNumbers();
    if (numbers.size() >= 3) {
        std::snprintf(out, 64, "%u", numbers[2]);
    } else {
        std::snprintf(out, 64, "%s", "Unknow Build");
    }
    return 0;
}

uint64_t GetDiskFreeBytes(const char* directory) {
    struct statvfs info;
    if (directory == nullptr || statvfs(directory, &info) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
}

int QueryHardwareInfo(HardwareInfo* info, int flags) {
    if (info == nullptr) {
        return -1;
    }
    if ((flags & (HARDWARE_PROCESSOR | HARDWARE_SYSTEM | HARDWARE_VIDEO)) == 0) {
        UnknownHardware(info, HARDWARE_PROCESSOR | HARDWARE_SYSTEM | HARDWARE_VIDEO);
        return -1;
    }
    if ((flags & HARDWARE_PROCESSOR) && !QueryProcessor(info)) {
        UnknownHardware(info, HARDWARE_PROCESSOR);
    }
    if ((flags & HARDWARE_SYSTEM) && !QuerySystem(info)) {
        UnknownHardware(info, HARDWARE_SYSTEM);
    }
    if ((flags & HARDWARE_VIDEO) && !QueryVideo(info)) {
        UnknownHardware(info, HARDWARE_VIDEO);
    }
    return 0;
}

int IsInternetConnected() {
    return HasDefaultRoute() ? 1 : 0;
}

void GetNativeSystemInfoSafe(SYSTEM_INFO* info) {
    if (info == nullptr) {
        return;
    }
    std::memset(info, 0, sizeof(*info));
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
    struct utsname names;
    if (uname(&names) == 0) {
        const std::string machine = names.machine;
        if (machine == "x86_64") {
            info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
        } else if (machine == "aarch64") {
            info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
        } else if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0) {
            info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
        } else if (machine.compare(0, 3, "arm") == 0) {
            info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
        }
    }
    long page = sysconf(_SC_PAGESIZE);
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info->dwPageSize = page > 0 ? static_cast<uint32_t>(page) : 4096;
    info->dwAllocationGranularity = info->dwPageSize;
    info->dwNumberOfProcessors = processors > 0 ? static_cast<uint32_t>(processors) : 1;
    info->dwActiveProcessorMask =
        info->dwNumberOfProcessors >= 64 ? ~0ULL : ((1ULL << info->dwNumberOfProcessors) - 1);
    info->lpMinimumApplicationAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(info->dwPageSize));
    info->lpMaximumApplicationAddress =
        reinterpret_cast<void*>(static_cast<uintptr_t>(0x00007ffffffeffffULL));
}

void OutputDebugStringA(const char* text) {
    if (text != nullptr) {
        WriteAll(STDERR_FILENO, text, std::strlen(text));
    }
}

bool IsDebuggerPresent() {
    std::istringstream status(ReadFileText("/proc/self/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 10, "TracerPid:") == 0) {
            return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
        }
    }
    return false;
}

void SetSystemInfoRoot(const char* root) {
    gSystemInfoRoot = root != nullptr ? root : "";
}
