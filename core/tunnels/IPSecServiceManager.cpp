#include "IPSecServiceManager.h"

#include "ServiceControl.h"
#include "TunnelPaths.h"
#include "zrwlog.h"

#define IPSEC_LOG(...) ZRWLog(6, 3, __VA_ARGS__)

using namespace IPSecPaths;

IPSecServiceManager* IPSecServiceManager::instance = nullptr;
std::mutex IPSecServiceManager::creationMutex;

IPSecServiceManager* IPSecServiceManager::GetInstance() {
    if (instance != nullptr) {
        return instance;
    }
    std::lock_guard<std::mutex> lock(creationMutex);
    if (instance == nullptr) {
        instance = new IPSecServiceManager();
    }
    return instance;
}

unsigned long IPSecServiceManager::QueryIKEEXTState() {
    SC_HANDLE service = SvcOpen(kIKEEXTServiceName, SERVICE_QUERY_STATUS);
    if (service == nullptr) {
        return GetLastError();
    }
    SERVICE_STATUS status = {};
    unsigned long state = 0;
    if (!SvcQueryStatus(service, &status)) {
        // An error number must not read as a service state.
        state = GetLastError();
        if (state >= SERVICE_STOPPED && state <= SERVICE_PAUSED) {
            state = ERROR_GEN_FAILURE;
        }
    } else {
        state = status.dwCurrentState;
    }
    CloseServiceHandle(service);
    return state;
}

int IPSecServiceManager::DisableIKEEXT() {
    unsigned long state = QueryIKEEXTState();
    SC_HANDLE service = SvcOpen(kIKEEXTServiceName, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
        return 0;
    }

    switch (state) {
    case SERVICE_STOPPED:
    case SERVICE_STOP_PENDING:
        IPSEC_LOG("IPSec :: IKKEXT service status %ld, do nothing\n", static_cast<long>(state));
        break;
    case SERVICE_START_PENDING:
    case SERVICE_RUNNING:
    case SERVICE_CONTINUE_PENDING:
    case SERVICE_PAUSE_PENDING:
    case SERVICE_PAUSED: {
        IPSEC_LOG("IPSec :: IKKEXT service status %ld, stoping......\n", static_cast<long>(state));
        // The state the stop request reports counts, also when the request itself fails
        // (a service that stopped meanwhile); a request that reports nothing leaves it 0.
        SERVICE_STATUS status = {};
        SvcStop(service, &status);
        if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING) {
            CloseServiceHandle(service);
            return 0;
        }
        break;
    }
    default:
        IPSEC_LOG("IPSec :: Unexpected case, error code: %ld\n", static_cast<long>(state));
        CloseServiceHandle(service);
        return 0;
    }

    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
    if (manager == nullptr) {
        IPSEC_LOG("IPSec :: Get Service Manager Handle failed.\n");
        CloseServiceHandle(service);
        return 0;
    }
    SC_LOCK lock = LockServiceDatabase(manager);
    if (lock == nullptr && GetLastError() != ERROR_SERVICE_DATABASE_LOCKED) {
        IPSEC_LOG("IPSec :: LockServiceDatabase error.\n");
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return 0;
    }

    int result = 1;
    if (!ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
        IPSEC_LOG("IPSec :: ChangeServiceConfig error!\n");
        result = 0;
    }
    IPSEC_LOG("IPSec :: change state to Stopped and change start state to Disabled!\n");

    if (lock != nullptr) {
        UnlockServiceDatabase(lock);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

int IPSecServiceManager::EnableIKEEXT() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, GENERIC_ALL);
    SC_HANDLE service = SvcOpen(kIKEEXTServiceName, SERVICE_ALL_ACCESS);
    if (manager == nullptr || service == nullptr) {
        IPSEC_LOG("IPSec :: Get Service Manager Handle or Service Handle failed.\n");
        if (manager != nullptr) {
            CloseServiceHandle(manager);
        }
        if (service != nullptr) {
            CloseServiceHandle(service);
        }
        return 0;
    }

    int result = 1;
    SC_LOCK lock = LockServiceDatabase(manager);
    if (lock == nullptr && GetLastError() != ERROR_SERVICE_DATABASE_LOCKED) {
        IPSEC_LOG("IPSec :: LockServiceDatabase error.\n");
        result = 0;
    }
    if (result == 1 &&
        !ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
        IPSEC_LOG("IPSec :: Conntinue IKEEXT Service::ChangeServiceConfig error %ld!\n",
                  static_cast<long>(GetLastError()));
        result = 0;
    }
    if (lock != nullptr) {
        UnlockServiceDatabase(lock);
    }
    ZRWLog(6, 3, "change state to Enabled and change start state to SERVICE_AUTO_START!\n");

    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

SC_HANDLE IPSecServiceManager::CreateIPSecService() {
    IPSEC_LOG("IPSec :: IPSEC service prepare to start......\n");
    SC_HANDLE service = SvcCreate(kOwnServiceName, kOwnServiceName, kOwnServiceProgram, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  nullptr, nullptr, nullptr);
    if (service != nullptr) {
        IPSEC_LOG("IPSec :: Succeeded in creating IPSEC service!!!\n");
    } else {
        IPSEC_LOG("IPSec :: Failed to create IPSEC service!!!\n");
    }
    return service;
}

void IPSecServiceManager::StopIPSecService() {
    SC_HANDLE service = SvcOpen(kOwnServiceName, SERVICE_STOP);
    SERVICE_STATUS status = {};
    if (service != nullptr && SvcStop(service, &status)) {
        IPSEC_LOG("IPSec :: Succeeded in stopping IPSEC service!!!\n");
    } else {
        IPSEC_LOG("IPSec :: Failed to stop IPSEC service!!!\n");
    }
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
}

void IPSecServiceManager::DeleteIPSecService() {
    SC_HANDLE service = SvcOpen(kOwnServiceName, SERVICE_DELETE);
    if (service != nullptr && SvcDelete(service)) {
        IPSEC_LOG("IPSec :: Succeeded in deleting IPSEC service!!!\n");
    } else {
        IPSEC_LOG("IPSec :: Failed to delete IPSEC service!!!\n");
    }
    if (service != nullptr) {
        CloseServiceHandle(service);
    }
}

int IPSecServiceManager::QueryIPSecService() {
    SC_HANDLE service = SvcOpen(kOwnServiceName, SERVICE_QUERY_STATUS);
    if (service == nullptr) {
        return -1;
    }
    SERVICE_STATUS status = {};
    int state = SvcQueryStatus(service, &status) ? static_cast<int>(status.dwCurrentState) : -1;
    CloseServiceHandle(service);
    return state;
}
