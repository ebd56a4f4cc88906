#include "ServiceControl.h"

#include "zrwlog.h"

namespace {
constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
} // namespace

SC_HANDLE SvcOpen(const char* serviceName, DWORD desiredAccess) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
    if (manager == nullptr) {
        ZRWLog(kLogModule, kLogLevel, "Get SC MANAGER handle failed, ERROR: %ld.\n",
               static_cast<long>(GetLastError()));
        return nullptr;
    }
    SC_HANDLE service = OpenServiceW(manager, serviceName, desiredAccess);
    DWORD error = GetLastError();
    if (service == nullptr) {
        ZRWLog(kLogModule, kLogLevel, "Get Service %s Service Handle failed, ERROR: %ld.\n",
               serviceName != nullptr ? serviceName : "(null)", static_cast<long>(error));
    }
    CloseServiceHandle(manager);
    // The caller reads why the open failed, not how the close went.
    SetLastError(error);
    return service;
}

BOOL SvcQueryStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    return QueryServiceStatus(service, status);
}

BOOL SvcStop(SC_HANDLE service, SERVICE_STATUS* status) {
    return ControlService(service, SERVICE_CONTROL_STOP, status);
}

BOOL SvcContinue(SC_HANDLE service, SERVICE_STATUS* status) {
    return ControlService(service, SERVICE_CONTROL_CONTINUE, status);
}

BOOL SvcStart(SC_HANDLE service, int argumentCount, const char** arguments) {
    if (argumentCount < 0 || argumentCount > kSvcMaxArguments ||
        (argumentCount > 0 && arguments == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* vector[kSvcMaxArguments] = {};
    for (int i = 0; i < argumentCount; ++i) {
        if (arguments[i] == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        vector[i] = arguments[i];
    }
    return StartServiceW(service, static_cast<DWORD>(argumentCount), argumentCount > 0 ? vector : nullptr);
}

SC_HANDLE SvcCreate(const char* serviceName, const char* displayName, const char* binaryPathName,
                    DWORD desiredAccess, DWORD serviceType, DWORD startType, DWORD errorControl,
                    const char* loadOrderGroup, const char* dependencies, const char* serviceStartName) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    // Without a manager CreateServiceW fails with ERROR_INVALID_HANDLE, as on Windows.
    SC_HANDLE service =
        CreateServiceW(manager, serviceName, displayName, desiredAccess, serviceType, startType, errorControl,
                       binaryPathName, loadOrderGroup, nullptr, dependencies, serviceStartName, "");
    DWORD error = GetLastError();
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
    SetLastError(error);
    return service;
}

BOOL SvcDelete(SC_HANDLE service) {
    return DeleteService(service);
}
