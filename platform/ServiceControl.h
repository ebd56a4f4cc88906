// Thin wrappers over the service control calls (ServiceTable.h). They keep no state;
// every handle they return belongs to the caller, who closes it with CloseServiceHandle.
// Only SvcOpen writes log lines; the others leave GetLastError to the caller.
#pragma once

#include "ServiceTable.h"

// Opens the local manager, then the service with the caller's access, and closes the
// manager. Null on failure, after one log line; GetLastError then gives the reason
// (ERROR_SERVICE_DOES_NOT_EXIST, 1060, for a missing service).
SC_HANDLE SvcOpen(const char* serviceName, DWORD desiredAccess);
BOOL SvcQueryStatus(SC_HANDLE service, SERVICE_STATUS* status);
BOOL SvcStop(SC_HANDLE service, SERVICE_STATUS* status);
BOOL SvcContinue(SC_HANDLE service, SERVICE_STATUS* status);
// At most kSvcMaxArguments arguments; a null argument or more than that fails with 0
// (ERROR_INVALID_PARAMETER) before the service is started.
constexpr int kSvcMaxArguments = 10;
BOOL SvcStart(SC_HANDLE service, int argumentCount, const char** arguments);
SC_HANDLE SvcCreate(const char* serviceName, const char* displayName, const char* binaryPathName,
                    DWORD desiredAccess, DWORD serviceType, DWORD startType, DWORD errorControl,
                    const char* loadOrderGroup, const char* dependencies, const char* serviceStartName);
BOOL SvcDelete(SC_HANDLE service);
