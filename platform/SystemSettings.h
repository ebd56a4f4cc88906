// The two Windows registry values the client reads besides its start-with-system entry,
// and the watchers that report their changes:
// - "AppsUseLightTheme" is read from GTK's settings file: dark when
//   gtk-application-prefer-dark-theme is set in ${XDG_CONFIG_HOME:-$HOME/.config}/gtk-3.0/settings.ini
//   (for an elevated client the invoking user's ~/.config, read as that user);
// - the user's interface language (GetUserDefaultUILanguage) is LANG in /etc/default/locale
//   when that file sets it, else the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG in the
//   environment, given as a Windows language id.
// A watcher blocks on inotify on the folder of its file instead of a registry key; while
// that folder does not exist it watches the nearest folder above it that does, and moves
// down as the missing folders appear (it creates nothing itself).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// 0 when the system asks for dark colours; 1 otherwise, also when the file is missing or
// cannot be read.
uint32_t ReadAppsUseLightTheme();
// The file ReadAppsUseLightTheme reads and the theme watcher watches.
std::string ThemeSettingsPath();

// The Windows language id of the system's interface language: the locale's language
// and territory (de_DE.UTF-8 is 0x0407 German (Germany); a language alone takes its main
// region, de is 0x0407; a region the table does not list gives the language's neutral id,
// de_LU is 0x0007); "C", "POSIX" or nothing set is 0x0409 English (United States); a
// language the table does not know is 0.
uint16_t GetUserDefaultUILanguage();
// The locale as a Windows language id, as above.
uint16_t LanguageIdFromLocale(const std::string& locale);
// The locale file GetUserDefaultUILanguage reads first and the language watcher watches;
// an empty path returns to /etc/default/locale. Tests point it elsewhere.
void SetSystemLocaleFile(const char* path);
std::string SystemLocaleFile();

// Reports changes of one file: after each wake-up in which the file was written, replaced,
// created or removed, onChange runs once on the watcher's own thread (several changes
// before a wake-up give one call). A folder of the file's path that is missing, or that
// goes away, is waited for: the watch stays on the nearest existing folder above it until
// the path exists again, and reaching the file's folder counts as a change when the file
// is there (it may have come with the folder). Stop, or destroying the watcher, wakes the
// thread and joins it, so onChange never runs after Stop has returned.
class FileChangeWatcher {
public:
    FileChangeWatcher(std::string path, std::function<void()> onChange);
    ~FileChangeWatcher();
    FileChangeWatcher(const FileChangeWatcher&) = delete;
    FileChangeWatcher& operator=(const FileChangeWatcher&) = delete;

    // False when no folder of the file's path can be watched; nothing is then reported, as
    // for a registry key that cannot be opened.
    bool Start();
    void Stop();

private:
    void Run();
    // Moves the watch to the file's folder, or to the nearest existing folder above it.
    // True when it could be placed.
    bool PlaceWatch();
    bool WatchesFileFolder() const { return watched == folder; }

    std::string folder;
    std::string fileName;
    std::function<void()> onChange;
    int inotifyFd = -1;
    int stopFd = -1;
    int watch = -1;
    // The folder the watch is on: the file's folder or one above it.
    std::string watched;
    std::thread thread;
};
