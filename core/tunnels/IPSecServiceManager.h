// The switch of the system's own IKE keying service, IKEEXT, which competes with
// strongSwan for the IKE ports: stopped and disabled before an IPsec connect, set back to
// automatic start (without starting it) when the connection is torn down. One instance
// per process. On Linux the service lives in the platform layer's service table.
#pragma once

#include <mutex>

#include "ServiceTable.h"

class IPSecServiceManager {
public:
    static IPSecServiceManager* GetInstance();

    // The service state of IKEEXT (1 to 7), or the error number when it cannot be opened
    // or its status cannot be read.
    unsigned long QueryIKEEXTState();
    // 1 when IKEEXT is stopped or stopping and its start type was set to disabled, else 0.
    int DisableIKEEXT();
    // 1 when the start type was set to automatic, else 0. The service is not started.
    int EnableIKEEXT();

    // The program's own IPsec service; nothing in the system uses it.
    SC_HANDLE CreateIPSecService();
    void StopIPSecService();
    void DeleteIPSecService();
    int QueryIPSecService();

private:
    IPSecServiceManager() = default;
    IPSecServiceManager(const IPSecServiceManager&) = delete;
    IPSecServiceManager& operator=(const IPSecServiceManager&) = delete;

    static IPSecServiceManager* instance;
    static std::mutex creationMutex;
};
