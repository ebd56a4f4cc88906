#include "ServiceTable.h"

#include "FileWrite.h"
#include "InvokingUser.h"
#include "PlatformConstants.h"
#include "StrUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct ServiceControlHandle {
    bool manager = false;
    DWORD access = 0;
    std::string name;
};

struct ServiceDatabaseLock {
    int fd = -1;
};

namespace {

std::mutex gPathMutex;
std::string gTablePath;

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD MapServiceAccess(DWORD access) {
    if (access & GENERIC_ALL) {
        access |= SERVICE_ALL_ACCESS;
    }
    if (access & GENERIC_READ) {
        access |=
            SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE | SERVICE_ENUMERATE_DEPENDENTS;
    }
    if (access & GENERIC_WRITE) {
        access |= SERVICE_CHANGE_CONFIG;
    }
    if (access & GENERIC_EXECUTE) {
        access |= SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL;
    }
    return access;
}

DWORD MapManagerAccess(DWORD access) {
    if (access & GENERIC_ALL) {
        access |= SC_MANAGER_ALL_ACCESS;
    }
    if (access & GENERIC_READ) {
        access |= SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    }
    if (access & GENERIC_WRITE) {
        access |= SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    }
    if (access & GENERIC_EXECUTE) {
        access |= SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    }
    return access;
}

// A service name or text field must not break the table's line format; names also
// exclude the path separators, as Windows does.
bool IsValidText(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\t' || *p == '\n' || *p == '\r') {
            return false;
        }
    }
    return true;
}

bool IsValidName(const char* name) {
    return name != nullptr && *name != '\0' && IsValidText(name) && std::strchr(name, '/') == nullptr &&
           std::strchr(name, '\\') == nullptr;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

DWORD ToNumber(const std::string& text) {
    return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
}

ServiceEntry InitialIkeext() {
    ServiceEntry entry;
    entry.name = kIkeextService;
    entry.displayName = kIkeextDisplayName;
    entry.binaryPath = "svchost.exe -k netsvcs -p";
    entry.serviceType = SERVICE_WIN32_SHARE_PROCESS;
    entry.startType = SERVICE_AUTO_START;
    entry.errorControl = SERVICE_ERROR_NORMAL;
    entry.currentState = SERVICE_RUNNING;
    return entry;
}

// The table held under its lock file for one read-modify-write. errorCode is an errno
// value when the table could not be locked, read or made. The table lies in the user's
// data folder: all of its file work is done as that user.
class Table {
public:
    Table() : path(ServiceTablePath()) {
        const std::string folder = FolderOf(path);
        struct stat info;
        if (!(stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) &&
            MakeDirPath(folder.c_str()) != 0) {
            errorCode = errno != 0 ? errno : ENOENT;
            return;
        }
        lockFd =
            open((path + kServiceTableLockSuffix).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lockFd < 0) {
            errorCode = errno;
            return;
        }
        while (flock(lockFd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                errorCode = errno;
                return;
            }
        }
        Load();
    }
    ~Table() {
        if (lockFd >= 0) {
            close(lockFd);
        }
    }

    bool ok() const { return errorCode == 0; }
    int error() const { return errorCode; }

    ServiceEntry* Find(const std::string& name) {
        for (ServiceEntry& entry : entries) {
            if (strcasecmp(entry.name.c_str(), name.c_str()) == 0) {
                return &entry;
            }
        }
        return nullptr;
    }

    void Put(const ServiceEntry& entry) {
        if (ServiceEntry* existing = Find(entry.name)) {
            *existing = entry;
        } else {
            entries.push_back(entry);
        }
    }

    bool Remove(const std::string& name) {
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (strcasecmp(it->name.c_str(), name.c_str()) == 0) {
                entries.erase(it);
                return true;
            }
        }
        return false;
    }

    // Writes the table whole: a temporary file beside it, renamed over it.
    bool Save() {
        std::ostringstream text;
        text << "# name\tdisplay name\tprogram\ttype\tstart type\terror control\tstate\n";
        for (const ServiceEntry& entry : entries) {
            text << entry.name << '\t' << entry.displayName << '\t' << entry.binaryPath << '\t'
                 << entry.serviceType << '\t' << entry.startType << '\t' << entry.errorControl << '\t'
                 << entry.currentState << '\n';
        }
        if (WriteFileWhole(path, text.str(), 0600)) {
            return true;
        }
        errorCode = errno;
        return false;
    }

private:
    void Load() {
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info;
        if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            close(fd);
            errorCode = EINVAL;
            return;
        }
        if (fd < 0) {
            if (errno != ENOENT) {
                errorCode = errno;
                return;
            }
            entries.push_back(InitialIkeext());
            Save();
            return;
        }
        std::string content;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) {
                content.append(buffer, static_cast<size_t>(n));
            }
        }
        close(fd);
        std::istringstream lines(content);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            std::vector<std::string> fields = SplitTabs(line);
            if (fields.size() != 7 || fields[0].empty()) {
                continue;
            }
            ServiceEntry entry;
            entry.name = fields[0];
            entry.displayName = fields[1];
            entry.binaryPath = fields[2];
            entry.serviceType = ToNumber(fields[3]);
            entry.startType = ToNumber(fields[4]);
            entry.errorControl = ToNumber(fields[5]);
            entry.currentState = ToNumber(fields[6]);
            entries.push_back(entry);
        }
    }

    // First, so that every step from the constructor to the destructor runs as the user.
    UserFileAccess access;
    std::string path;
    int lockFd = -1;
    int errorCode = 0;
    std::vector<ServiceEntry> entries;
};

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

// The service behind a handle, with the access the call needs. Sets the last error and
// returns null when the handle, the access or the service is wrong.
ServiceEntry* ServiceFor(Table& table, SC_HANDLE service, DWORD needed) {
    if (service == nullptr || service->manager) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((service->access & needed) != needed) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!table.ok()) {
        Fail(ErrorFromErrno(table.error()));
        return nullptr;
    }
    ServiceEntry* entry = table.Find(service->name);
    if (entry == nullptr) {
        Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    }
    return entry;
}

void FillStatus(const ServiceEntry& entry, SERVICE_STATUS* status) {
    if (status == nullptr) {
        return;
    }
    std::memset(status, 0, sizeof(*status));
    status->dwServiceType = entry.serviceType;
    status->dwCurrentState = entry.currentState;
    if (entry.currentState == SERVICE_RUNNING || entry.currentState == SERVICE_PAUSED) {
        status->dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    }
}

} // namespace

void SetServiceTablePath(const char* path) {
    std::lock_guard<std::mutex> lock(gPathMutex);
    gTablePath = path != nullptr ? path : "";
}

std::string ServiceTablePath() {
    {
        std::lock_guard<std::mutex> lock(gPathMutex);
        if (!gTablePath.empty()) {
            return gTablePath;
        }
    }
    const char* fromEnvironment = getenv(kServiceTableVariable);
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    return UserConfigHome() + kDataFolderSuffix + kServiceTableFile;
}

bool ServiceTableRead(const char* name, ServiceEntry* entry) {
    if (name == nullptr || entry == nullptr) {
        return false;
    }
    Table table;
    ServiceEntry* found = table.ok() ? table.Find(name) : nullptr;
    if (found == nullptr) {
        return false;
    }
    *entry = *found;
    return true;
}

bool ServiceTableWrite(const ServiceEntry& entry) {
    if (!IsValidName(entry.name.c_str()) || !IsValidText(entry.displayName.c_str()) ||
        !IsValidText(entry.binaryPath.c_str())) {
        return false;
    }
    Table table;
    if (!table.ok()) {
        return false;
    }
    table.Put(entry);
    return table.Save();
}

bool ServiceTableRemove(const char* name) {
    if (name == nullptr) {
        return false;
    }
    Table table;
    return table.ok() && table.Remove(name) && table.Save();
}

SC_HANDLE OpenSCManagerW(const char* machineName, const char* databaseName, DWORD desiredAccess) {
    if (machineName != nullptr && *machineName != '\0') {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    if (databaseName != nullptr && *databaseName != '\0' &&
        std::strcmp(databaseName, "ServicesActive") != 0) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    // Opening the manager makes the table when it is not there yet.
    Table table;
    if (!table.ok()) {
        SetLastError(ErrorFromErrno(table.error()));
        return nullptr;
    }
    SC_HANDLE handle = new ServiceControlHandle;
    handle->manager = true;
    handle->access = MapManagerAccess(desiredAccess);
    return handle;
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) {
    if (manager == nullptr || !manager->manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!IsValidName(serviceName)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    Table table;
    if (!table.ok()) {
        SetLastError(ErrorFromErrno(table.error()));
        return nullptr;
    }
    ServiceEntry* entry = table.Find(serviceName);
    if (entry == nullptr) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    SC_HANDLE handle = new ServiceControlHandle;
    handle->access = MapServiceAccess(desiredAccess);
    handle->name = entry->name;
    return handle;
}

SC_HANDLE CreateServiceW(SC_HANDLE manager, const char* serviceName, const char* displayName,
                         DWORD desiredAccess, DWORD serviceType, DWORD startType, DWORD errorControl,
                         const char* binaryPathName, const char* /*loadOrderGroup*/, DWORD* tagId,
                         const char* /*dependencies*/, const char* /*serviceStartName*/,
                         const char* /*password*/) {
    if (manager == nullptr || !manager->manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((manager->access & SC_MANAGER_CREATE_SERVICE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!IsValidName(serviceName) || (displayName != nullptr && !IsValidText(displayName))) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (binaryPathName == nullptr || *binaryPathName == '\0' || !IsValidText(binaryPathName) ||
        startType > SERVICE_DISABLED) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Table table;
    if (!table.ok()) {
        SetLastError(ErrorFromErrno(table.error()));
        return nullptr;
    }
    if (table.Find(serviceName) != nullptr) {
        SetLastError(ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    ServiceEntry entry;
    entry.name = serviceName;
    entry.displayName = displayName != nullptr ? displayName : serviceName;
    entry.binaryPath = binaryPathName;
    entry.serviceType = serviceType;
    entry.startType = startType;
    entry.errorControl = errorControl;
    entry.currentState = SERVICE_STOPPED;
    table.Put(entry);
    if (!table.Save()) {
        SetLastError(ErrorFromErrno(table.error()));
        return nullptr;
    }
    if (tagId != nullptr) {
        *tagId = 0;
    }
    SC_HANDLE handle = new ServiceControlHandle;
    handle->access = MapServiceAccess(desiredAccess);
    handle->name = entry.name;
    return handle;
}

BOOL DeleteService(SC_HANDLE service) {
    Table table;
    ServiceEntry* entry = ServiceFor(table, service, SERVICE_DELETE);
    if (entry == nullptr) {
        return FALSE;
    }
    table.Remove(entry->name);
    if (!table.Save()) {
        return Fail(ErrorFromErrno(table.error()));
    }
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (handle == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete handle;
    return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    if (status == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Table table;
    ServiceEntry* entry = ServiceFor(table, service, SERVICE_QUERY_STATUS);
    if (entry == nullptr) {
        return FALSE;
    }
    FillStatus(*entry, status);
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
    DWORD needed = 0;
    switch (control) {
    case SERVICE_CONTROL_STOP:
        needed = SERVICE_STOP;
        break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        needed = SERVICE_PAUSE_CONTINUE;
        break;
    case SERVICE_CONTROL_INTERROGATE:
        needed = SERVICE_INTERROGATE;
        break;
    default:
        return Fail(ERROR_INVALID_SERVICE_CONTROL);
    }
    Table table;
    ServiceEntry* entry = ServiceFor(table, service, needed);
    if (entry == nullptr) {
        return FALSE;
    }
    const DWORD state = entry->currentState;
    DWORD error = 0;
    if (state == SERVICE_STOPPED) {
        error = ERROR_SERVICE_NOT_ACTIVE;
    } else if (control == SERVICE_CONTROL_STOP) {
        if (state == SERVICE_STOP_PENDING) {
            error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        } else {
            entry->currentState = SERVICE_STOPPED;
        }
    } else if (control == SERVICE_CONTROL_PAUSE) {
        if (state == SERVICE_RUNNING || state == SERVICE_PAUSED) {
            entry->currentState = SERVICE_PAUSED;
        } else {
            error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        }
    } else if (control == SERVICE_CONTROL_CONTINUE) {
        if (state == SERVICE_RUNNING || state == SERVICE_PAUSED) {
            entry->currentState = SERVICE_RUNNING;
        } else {
            error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        }
    }
    FillStatus(*entry, status);
    if (error != 0) {
        return Fail(error);
    }
    if (entry->currentState != state && !table.Save()) {
        return Fail(ErrorFromErrno(table.error()));
    }
    return TRUE;
}

BOOL StartServiceW(SC_HANDLE service, DWORD argumentCount, const char** arguments) {
    if (argumentCount > 0 && arguments == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Table table;
    ServiceEntry* entry = ServiceFor(table, service, SERVICE_START);
    if (entry == nullptr) {
        return FALSE;
    }
    if (entry->startType == SERVICE_DISABLED) {
        return Fail(ERROR_SERVICE_DISABLED);
    }
    if (entry->currentState != SERVICE_STOPPED) {
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    }
    entry->currentState = SERVICE_RUNNING;
    if (!table.Save()) {
        return Fail(ErrorFromErrno(table.error()));
    }
    return TRUE;
}

BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          const char* binaryPathName, const char* /*loadOrderGroup*/, DWORD* tagId,
                          const char* /*dependencies*/, const char* /*serviceStartName*/,
                          const char* /*password*/, const char* displayName) {
    if (startType != SERVICE_NO_CHANGE && startType > SERVICE_DISABLED) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((binaryPathName != nullptr && (*binaryPathName == '\0' || !IsValidText(binaryPathName))) ||
        (displayName != nullptr && !IsValidText(displayName))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Table table;
    ServiceEntry* entry = ServiceFor(table, service, SERVICE_CHANGE_CONFIG);
    if (entry == nullptr) {
        return FALSE;
    }
    if (serviceType != SERVICE_NO_CHANGE) {
        entry->serviceType = serviceType;
    }
    if (startType != SERVICE_NO_CHANGE) {
        entry->startType = startType;
    }
    if (errorControl != SERVICE_NO_CHANGE) {
        entry->errorControl = errorControl;
    }
    if (binaryPathName != nullptr) {
        entry->binaryPath = binaryPathName;
    }
    if (displayName != nullptr) {
        entry->displayName = displayName;
    }
    if (!table.Save()) {
        return Fail(ErrorFromErrno(table.error()));
    }
    if (tagId != nullptr) {
        *tagId = 0;
    }
    return TRUE;
}

SC_LOCK LockServiceDatabase(SC_HANDLE manager) {
    if (manager == nullptr || !manager->manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((manager->access & SC_MANAGER_LOCK) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::string path = ServiceTablePath() + kServiceDatabaseLockSuffix;
    int fd = -1;
    {
        UserFileAccess access;
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    }
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const DWORD error = errno == EWOULDBLOCK ? ERROR_SERVICE_DATABASE_LOCKED : ErrorFromErrno(errno);
        close(fd);
        SetLastError(error);
        return nullptr;
    }
    SC_LOCK lock = new ServiceDatabaseLock;
    lock->fd = fd;
    return lock;
}

BOOL UnlockServiceDatabase(SC_LOCK lock) {
    if (lock == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    close(lock->fd);
    delete lock;
    return TRUE;
}
