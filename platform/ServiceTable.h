// The service control manager as the client uses it, kept in a file: Linux has no
// IKEEXT and the client must not touch real Linux services, so the layer keeps a table
// of services (state and start type per service) and serves the Windows calls on it.
// The table is made on first use with IKEEXT present, running and starting
// automatically. The calls keep the Windows names, constants and error numbers; texts
// are UTF-8. GetLastError (WinCompat.h) gives the reason of a failure.
#pragma once

#include "WinCompat.h"

#include <string>

// Service states (SERVICE_STATUS::dwCurrentState).
enum : DWORD {
    SERVICE_STOPPED = 1,
    SERVICE_START_PENDING = 2,
    SERVICE_STOP_PENDING = 3,
    SERVICE_RUNNING = 4,
    SERVICE_CONTINUE_PENDING = 5,
    SERVICE_PAUSE_PENDING = 6,
    SERVICE_PAUSED = 7,
};

// Start types.
enum : DWORD {
    SERVICE_BOOT_START = 0,
    SERVICE_SYSTEM_START = 1,
    SERVICE_AUTO_START = 2,
    SERVICE_DEMAND_START = 3,
    SERVICE_DISABLED = 4,
};

enum : DWORD {
    SERVICE_NO_CHANGE = 0xffffffff,
    SERVICE_KERNEL_DRIVER = 0x1,
    SERVICE_WIN32_OWN_PROCESS = 0x10,
    SERVICE_WIN32_SHARE_PROCESS = 0x20,
    SERVICE_ERROR_IGNORE = 0,
    SERVICE_ERROR_NORMAL = 1,
    SERVICE_CONTROL_STOP = 1,
    SERVICE_CONTROL_PAUSE = 2,
    SERVICE_CONTROL_CONTINUE = 3,
    SERVICE_CONTROL_INTERROGATE = 4,
    SERVICE_ACCEPT_STOP = 1,
    SERVICE_ACCEPT_PAUSE_CONTINUE = 2,
};

// Access rights.
enum : DWORD {
    SERVICE_QUERY_CONFIG = 0x0001,
    SERVICE_CHANGE_CONFIG = 0x0002,
    SERVICE_QUERY_STATUS = 0x0004,
    SERVICE_ENUMERATE_DEPENDENTS = 0x0008,
    SERVICE_START = 0x0010,
    SERVICE_STOP = 0x0020,
    SERVICE_PAUSE_CONTINUE = 0x0040,
    SERVICE_INTERROGATE = 0x0080,
    SERVICE_USER_DEFINED_CONTROL = 0x0100,
    SERVICE_DELETE = 0x10000, // DELETE
    SERVICE_ALL_ACCESS = 0xF01FF,
    SC_MANAGER_CONNECT = 0x0001,
    SC_MANAGER_CREATE_SERVICE = 0x0002,
    SC_MANAGER_ENUMERATE_SERVICE = 0x0004,
    SC_MANAGER_LOCK = 0x0008,
    SC_MANAGER_QUERY_LOCK_STATUS = 0x0010,
    SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020,
    SC_MANAGER_ALL_ACCESS = 0xF003F,
    GENERIC_ALL = 0x10000000,
    GENERIC_EXECUTE = 0x20000000,
    GENERIC_WRITE = 0x40000000,
    GENERIC_READ = 0x80000000,
};

// Windows error numbers the calls report.
enum : DWORD {
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_GEN_FAILURE = 31,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_INVALID_NAME = 123,
    ERROR_INVALID_SERVICE_CONTROL = 1052,
    ERROR_SERVICE_DATABASE_LOCKED = 1055,
    ERROR_SERVICE_ALREADY_RUNNING = 1056,
    ERROR_SERVICE_DISABLED = 1058,
    ERROR_SERVICE_DOES_NOT_EXIST = 1060,
    ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061,
    ERROR_SERVICE_NOT_ACTIVE = 1062,
    ERROR_SERVICE_EXISTS = 1073,
    RPC_S_SERVER_UNAVAILABLE = 1722,
};

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

struct ServiceControlHandle;
typedef ServiceControlHandle* SC_HANDLE;
struct ServiceDatabaseLock;
typedef ServiceDatabaseLock* SC_LOCK;

// Only the local machine's active database exists: machine and database must be null
// or empty.
SC_HANDLE OpenSCManagerW(const char* machineName, const char* databaseName, DWORD desiredAccess);
SC_HANDLE OpenServiceW(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess);
SC_HANDLE CreateServiceW(SC_HANDLE manager, const char* serviceName, const char* displayName,
                         DWORD desiredAccess, DWORD serviceType, DWORD startType, DWORD errorControl,
                         const char* binaryPathName, const char* loadOrderGroup, DWORD* tagId,
                         const char* dependencies, const char* serviceStartName, const char* password);
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE handle);
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);
// Stop takes a service to SERVICE_STOPPED at once, continue a paused one to running;
// nothing is run, the table only records the state.
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
BOOL StartServiceW(SC_HANDLE service, DWORD argumentCount, const char** arguments);
BOOL ChangeServiceConfigW(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          const char* binaryPathName, const char* loadOrderGroup, DWORD* tagId,
                          const char* dependencies, const char* serviceStartName, const char* password,
                          const char* displayName);
// The database lock is held by one process at a time; another process gets
// ERROR_SERVICE_DATABASE_LOCKED until the holder unlocks or ends.
SC_LOCK LockServiceDatabase(SC_HANDLE manager);
BOOL UnlockServiceDatabase(SC_LOCK lock);

// The table itself, for set-up and for observing a service from outside the calls above.
struct ServiceEntry {
    std::string name;
    std::string displayName;
    std::string binaryPath;
    DWORD serviceType = SERVICE_WIN32_SHARE_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    DWORD currentState = SERVICE_STOPPED;
};

// The table's file: the path set here, else $KORVA_SERVICE_TABLE, else "services.table"
// in the data folder. An empty path returns to the default.
void SetServiceTablePath(const char* path);
std::string ServiceTablePath();
// Reads one service (names compare without regard to case). False when it is missing
// or the table cannot be read.
bool ServiceTableRead(const char* name, ServiceEntry* entry);
// Adds or replaces a service. False when the table cannot be written.
bool ServiceTableWrite(const ServiceEntry& entry);
// Removes a service. False when it is missing or the table cannot be written.
bool ServiceTableRemove(const char* name);
