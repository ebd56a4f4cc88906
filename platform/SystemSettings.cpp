#include "SystemSettings.h"

#include "InvokingUser.h"
#include "PlatformConstants.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::mutex gLocaleFileMutex;
std::string gLocaleFile;

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return "";
    }
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string Unquote(std::string value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string EnvValue(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? value : "";
}

// LANG as /etc/default/locale sets it ("LANG=de_DE.UTF-8", quotes and "export " allowed).
std::string LangFromLocaleFile(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::string lang;
    while (std::getline(file, line)) {
        line = Trim(line);
        if (line.compare(0, 7, "export ") == 0) {
            line = Trim(line.substr(7));
        }
        if (line.compare(0, 5, "LANG=") == 0) {
            lang = Unquote(line.substr(5));
        }
    }
    return lang;
}

struct LanguageEntry {
    const char* locale; // language, or language_TERRITORY
    uint16_t id;
};

// Windows language ids of the languages the client is translated into, their other
// common regions, and a few more.
constexpr LanguageEntry kLanguages[] = {
    {"en", 0x0409},    {"en_us", 0x0409}, {"en_gb", 0x0809}, {"en_au", 0x0C09}, {"en_ca", 0x1009},
    {"cs", 0x0405},    {"cs_cz", 0x0405}, {"nl", 0x0413},    {"nl_nl", 0x0413}, {"nl_be", 0x0813},
    {"fr", 0x040C},    {"fr_fr", 0x040C}, {"fr_be", 0x080C}, {"fr_ca", 0x0C0C}, {"fr_ch", 0x100C},
    {"de", 0x0407},    {"de_de", 0x0407}, {"de_ch", 0x0807}, {"de_at", 0x0C07}, {"hu", 0x040E},
    {"hu_hu", 0x040E}, {"it", 0x0410},    {"it_it", 0x0410}, {"it_ch", 0x0810}, {"ja", 0x0411},
    {"ja_jp", 0x0411}, {"ko", 0x0412},    {"ko_kr", 0x0412}, {"pl", 0x0415},    {"pl_pl", 0x0415},
    {"pt", 0x0416},    {"pt_br", 0x0416}, {"pt_pt", 0x0816}, {"ru", 0x0419},    {"ru_ru", 0x0419},
    {"sk", 0x041B},    {"sk_sk", 0x041B}, {"es", 0x0C0A},    {"es_es", 0x0C0A}, {"es_mx", 0x080A},
    {"zh", 0x0804},    {"zh_cn", 0x0804}, {"zh_tw", 0x0404}, {"zh_hk", 0x0C04}, {"zh_sg", 0x1004},
    {"tr", 0x041F},    {"tr_tr", 0x041F}, {"da", 0x0406},    {"da_dk", 0x0406}, {"fi", 0x040B},
    {"fi_fi", 0x040B}, {"sv", 0x041D},    {"sv_se", 0x041D}, {"nb", 0x0414},    {"nb_no", 0x0414},
    {"el", 0x0408},    {"el_gr", 0x0408}, {"uk", 0x0422},    {"uk_ua", 0x0422}, {"ro", 0x0418},
    {"ro_ro", 0x0418},
};

} // namespace

std::string ThemeSettingsPath() {
    return UserConfigHome() + kGtkSettingsFolder + "/" + kGtkSettingsFile;
}

uint32_t ReadAppsUseLightTheme() {
    // The user's file, read as the user (a link in it leads nowhere the user cannot read),
    // and only when it is a regular file (a FIFO would never answer).
    std::string text;
    {
        UserFileAccess access;
        const int fd = open(ThemeSettingsPath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            char buffer[4096];
            ssize_t n = 0;
            while (text.size() < kMaxSettingsFileBytes &&
                   ((n = read(fd, buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR))) {
                if (n > 0) {
                    text.append(buffer, static_cast<size_t>(n));
                }
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }
    std::istringstream file(text);
    std::string line;
    uint32_t light = 1;
    while (std::getline(file, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos || Trim(line.substr(0, equals)) != kGtkPreferDarkKey) {
            continue;
        }
        const std::string value = Lower(Trim(line.substr(equals + 1)));
        light = value == "1" || value == "true" ? 0 : 1;
    }
    return light;
}

void SetSystemLocaleFile(const char* path) {
    std::lock_guard<std::mutex> lock(gLocaleFileMutex);
    gLocaleFile = path != nullptr ? path : "";
}

std::string SystemLocaleFile() {
    std::lock_guard<std::mutex> lock(gLocaleFileMutex);
    return gLocaleFile.empty() ? std::string(kSystemLocaleFile) : gLocaleFile;
}

uint16_t LanguageIdFromLocale(const std::string& locale) {
    // language[_TERRITORY][.codeset][@modifier]
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    for (char& c : name) {
        if (c == '-') {
            c = '_';
        }
    }
    name = Lower(Trim(name));
    if (name.empty() || name == "c" || name == "posix") {
        return 0x0409;
    }
    const std::string language = name.substr(0, name.find('_'));
    uint16_t languageOnly = 0;
    for (const LanguageEntry& entry : kLanguages) {
        if (name == entry.locale) {
            return entry.id;
        }
        if (language == entry.locale) {
            languageOnly = entry.id;
        }
    }
    // A language alone takes its main region; a region the table does not list keeps only
    // the language (the neutral id), as Windows gives a region of its own there.
    return name == language ? languageOnly : static_cast<uint16_t>(languageOnly & 0x3FF);
}

uint16_t GetUserDefaultUILanguage() {
    std::string locale = LangFromLocaleFile(SystemLocaleFile());
    if (locale.empty()) {
        const std::string languages = EnvValue("LANGUAGE");
        locale = languages.substr(0, languages.find(':'));
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!locale.empty()) {
            break;
        }
        locale = EnvValue(name);
    }
    return LanguageIdFromLocale(locale);
}

namespace {

// The folder above a path: "a/b" gives "a", "a" gives ".", "/a" gives "/"; "." and "/" are
// their own parents.
std::string ParentFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name of the folder right below `above` on the way to `below` ("a" for "." and "a/b").
std::string NextComponent(const std::string& above, const std::string& below) {
    size_t begin = 0;
    if (above == "/") {
        begin = 1;
    } else if (above != ".") {
        begin = above.size() + 1;
    }
    if (begin >= below.size()) {
        return "";
    }
    size_t end = below.find('/', begin);
    return below.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// Repeated separators fold into one and a trailing one goes, so that every folder above
// the path is reached by cutting at its last separator.
std::string TidyFolder(const std::string& path) {
    std::string tidy;
    for (char c : path) {
        if (c != '/' || tidy.empty() || tidy.back() != '/') {
            tidy += c;
        }
    }
    if (tidy.size() > 1 && tidy.back() == '/') {
        tidy.pop_back();
    }
    return tidy.empty() ? "." : tidy;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsPresent(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

constexpr uint32_t kFileFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB;
constexpr uint32_t kFolderGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;
constexpr uint32_t kFolderAboveEvents = IN_CREATE | IN_MOVED_TO;

} // namespace

FileChangeWatcher::FileChangeWatcher(std::string path, std::function<void()> callback)
    : onChange(std::move(callback)) {
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : TidyFolder(path.substr(0, slash)));
    fileName = slash == std::string::npos ? path : path.substr(slash + 1);
}

FileChangeWatcher::~FileChangeWatcher() {
    Stop();
}

bool FileChangeWatcher::Start() {
    if (thread.joinable()) {
        return true;
    }
    inotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (inotifyFd < 0 || stopFd < 0 || !PlaceWatch()) {
        Stop();
        return false;
    }
    thread = std::thread(&FileChangeWatcher::Run, this);
    return true;
}

void FileChangeWatcher::Stop() {
    if (thread.joinable()) {
        uint64_t one = 1;
        ssize_t written = write(stopFd, &one, sizeof(one));
        (void)written;
        thread.join();
    }
    if (inotifyFd >= 0) {
        close(inotifyFd);
        inotifyFd = -1;
    }
    if (stopFd >= 0) {
        close(stopFd);
        stopFd = -1;
    }
    watch = -1;
    watched.clear();
}

bool FileChangeWatcher::PlaceWatch() {
    if (watch >= 0) {
        // A watch whose folder went away is gone already; removing it again only fails.
        inotify_rm_watch(inotifyFd, watch);
        watch = -1;
        watched.clear();
    }
    // A folder may appear between the look at it and the watch on the one above it: the
    // walk starts again from the top whenever the next folder down turned out to exist.
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string candidate = folder;
        while (true) {
            const bool fileFolder = candidate == folder;
            const uint32_t events = fileFolder ? kFileFolderEvents | IN_DELETE_SELF | IN_MOVE_SELF
                                               : kFolderAboveEvents | IN_DELETE_SELF | IN_MOVE_SELF;
            int wd = inotify_add_watch(inotifyFd, candidate.c_str(), events | IN_ONLYDIR);
            if (wd >= 0) {
                watch = wd;
                watched = candidate;
                break;
            }
            if (errno != ENOENT && errno != ENOTDIR) {
                return false;
            }
            const std::string parent = ParentFolder(candidate);
            if (parent == candidate) {
                return false;
            }
            candidate = parent;
        }
        if (WatchesFileFolder() || !IsFolder(watched + "/" + NextComponent(watched, folder))) {
            return true;
        }
        inotify_rm_watch(inotifyFd, watch);
        watch = -1;
        watched.clear();
    }
    return false;
}

void FileChangeWatcher::Run() {
    alignas(inotify_event) char buffer[4096];
    while (true) {
        pollfd waits[2] = {{inotifyFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
        bool changed = false;
        bool replace = false;
        while (true) {
            ssize_t length = read(inotifyFd, buffer, sizeof(buffer));
            if (length <= 0) {
                break;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                // Events of a watch that was replaced meanwhile say nothing any more.
                if (event->wd != watch) {
                    continue;
                }
                if ((event->mask & kFolderGoneEvents) != 0) {
                    replace = true;
                } else if (event->len == 0) {
                    continue;
                } else if (WatchesFileFolder()) {
                    changed = changed || fileName == event->name;
                } else if (NextComponent(watched, folder) == event->name) {
                    replace = true;
                }
            }
        }
        if (replace) {
            const bool hadFileFolder = WatchesFileFolder();
            PlaceWatch();
            // Losing the file's folder loses the file; reaching it finds a file that may have
            // come with it.
            changed = changed || hadFileFolder || (WatchesFileFolder() && IsPresent(folder + "/" + fileName));
        }
        if (changed && onChange) {
            onChange();
        }
    }
}
