#include "SystemContext.h"

#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "AppContext.h"
#include "ContextPaths.h"
#include "CrashDump.h"
#include "StrUtils.h"
#include "SystemHelpers.h"
#include "zrwlog.h"

namespace {

SystemContext* instance = nullptr;

// Names this run's log file. A file of the same name belongs to another start within
// the same second, possibly still running: this run then takes the next free name
// instead of truncating that one.
void ComposeLogPath(char* out, size_t size, const char* folder, const char* arch, const char* version,
                    const char* time) {
    char base[260] = {};
    std::snprintf(base, sizeof(base), ContextPaths::kLogFileFormat, folder, arch, version, time);
    std::snprintf(out, size, "%s", base);
    size_t stem = std::strlen(base) > 4 ? std::strlen(base) - 4 : 0; // before ".log"
    for (int n = 2; n < 100 && access(out, F_OK) == 0; ++n) {
        std::snprintf(out, size, "%.*s_%d.log", static_cast<int>(stem), base, n);
    }
}

// The log folder is the client's own: a folder (not a link) of this process's user that
// nobody else can write, so that nobody can lead the log elsewhere or replace it.
bool LogFolderIsOwn(const char* folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Appends text to a fixed buffer without the C runtime's formatting (safe in a signal
// handler).
void Append(char* out, size_t size, const char* text) {
    size_t used = std::strlen(out);
    while (*text != '\0' && used + 1 < size) {
        out[used++] = *text++;
    }
    out[used] = '\0';
}

} // namespace

// The holder is constructed first, so that its destructor runs at exit after everything
// created later; then the instance itself is created, before main.
static SystemContext::Deleter systemContextDeleter;
[[maybe_unused]] static SystemContext* const systemContextCreated = SystemContext::Instance();

SystemContext::Deleter::~Deleter() {
    delete instance;
    instance = nullptr;
}

SystemContext* SystemContext::Instance() {
    // Static initialisation runs on the main thread before any other thread exists, so
    // the first call creates the instance without a race.
    static bool created = false;
    if (!created) {
        created = true;
        instance = new SystemContext();
    }
    return instance;
}

SettingManager* SystemContext::GetSettingManager() {
    SystemContext* context = Instance();
    return context != nullptr ? &context->settingManager : nullptr;
}

SystemContext::SystemContext()
    : application(nullptr), translator(nullptr), settingManager(), appContext(nullptr) {
    ZRWLogReset();
    InitSystemContext(this);
}

SystemContext::~SystemContext() {
    // The application context lives as long as the process; it goes before the log it
    // may write to.
    delete appContext;
    appContext = nullptr;
    ZRWLogClose();
}

void SystemContext::SetApplication(QObject* app) {
    application = app;
}

QObject* SystemContext::GetApplication() {
    return application;
}

AppContext* SystemContext::GetAppContext() {
    return appContext;
}

QTranslator* SystemContext::GetTranslator() {
    if (translator == nullptr) {
        translator = new QTranslator(application);
    }
    return translator;
}

void SystemContext::SetTranslator(QTranslator* value) {
    translator = value;
}

void InitSystemContext(SystemContext* context) {
    // The log writes to the console from here on: an output that nobody reads any more
    // (a closed terminal, a pipe into a program that has ended) must fail the write, not
    // end the client.
    IgnoreBrokenPipeSignal();

    context->appContext = new AppContext();

    char dataFolder[260] = {};
    MakeSpecialFolder(dataFolder, ContextPaths::kDataFolderSuffix, CSIDL_APPDATA);

    char logPath[260] = {};
    std::snprintf(logPath, sizeof(logPath), "%s", ContextPaths::kLogFolder);
    MakeDirPath(logPath);

    char arch[64] = {};
    char version[64] = {};
    GetArchName(arch);
    GetSoftVersion(version);

    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char timeText[64] = {};
    std::snprintf(timeText, sizeof(timeText), ContextPaths::kLogTimeFormat, local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);

    char folder[260] = {};
    std::snprintf(folder, sizeof(folder), "%s", logPath);
    ComposeLogPath(logPath, sizeof(logPath), folder, arch, version, timeText);

    ZRWLogEnableTimeStamp(1);
    ZRWLogSetTimeFormat(ZRWLOG_TIME_LOCAL);
    ZRWLogSetLevel(4);
    ZRWLogEnableModule(1, 1);
    ZRWLogEnableModule(1, 4);
    ZRWLogEnableModule(1, 5);
    ZRWLogEnableModule(1, 6);
    if (LogFolderIsOwn(ContextPaths::kLogFolder)) {
        ZRWLogOpenFile(logPath);
    } else {
        ZRWLogOpenFile(nullptr);
    }
    if (IsDebuggerPresent()) {
        ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_FILE | ZRWLOG_OUTPUT_DEBUGGER);
    } else {
        ZRWLogSetOutput(ZRWLOG_OUTPUT_CONSOLE | ZRWLOG_OUTPUT_FILE);
    }

    // A data folder that did not fit leaves the dump beside the working directory.
    char dumpPath[260] = {};
    std::snprintf(dumpPath, sizeof(dumpPath), ContextPaths::kCrashDumpFormat, dataFolder);
    SetDumpFilePath(dumpPath);
    SetUnhandledExceptionFilter(TopLevelExceptionFilter);

    ZRWLog(6, 3, "System :: ******** InitSystemContext ********\n");

    context->appContext->SetDataPath(dataFolder);
    context->appContext->SetLogPath(logPath);
}

long TopLevelExceptionFilter(EXCEPTION_POINTERS* exception) {
    char dumpName[260] = {};
    long result = HandleCrash(exception, dumpName);
    char line[300] = {};
    Append(line, sizeof(line), "IPCDataStatisticsModule::");
    Append(line, sizeof(line), dumpName);
    CrashLogWrite(line);
    CrashMessageBox("Sorry. Application exception occurs. Please refer to log files for more information.",
                    "FatalAppExit");
    // Asking the Qt application to quit cannot be done from a signal handler; the crash
    // handler ends the process when this returns.
    return result;
}
