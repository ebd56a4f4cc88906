#include "IPSecVPNContext.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <unistd.h>

#include "FileWrite.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "StrongSwanControl.h"
#include "SwanctlConf.h"
#include "TunnelPaths.h"
#include "zrwlog.h"

#define IPSEC_LOG(...) ZRWLog(6, 3, __VA_ARGS__)

using namespace IPSecPaths;

void ManualResetEvent::Set() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = true;
    changed.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex);
    return signalled;
}

bool ManualResetEvent::Wait(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled; });
}

namespace {
// Set and cleared on the GUI thread only (construction and destruction of the context).
IPSecVPNContext* currentContext = nullptr;

std::mutex rekeyRunnerMutex;
IPSecVPNContext::RekeyRunner rekeyRunner;
} // namespace

IPSecVPNContext::IPSecVPNContext()
    : sqlite(nullptr), rekeyTimerId(0), attempt(std::make_shared<IPSecConnectAttempt>(-1, false)),
      rekeyTimer(nullptr) {
    currentContext = this;
}

IPSecVPNContext::~IPSecVPNContext() {
    delete rekeyTimer;
    if (currentContext == this) {
        currentContext = nullptr;
    }
}

IPSecVPNContext* IPSecVPNContext::Current() {
    return currentContext;
}

int IPSecVPNContext::SetSqlite(IPCSqlite* store) {
    if (store == nullptr) {
        return -1;
    }
    sqlite = store;
    return 0;
}

void IPSecVPNContext::SetRekeyTimerId(int id) {
    rekeyTimerId = id;
}

const int& IPSecVPNContext::GetRekeyTimerId() const {
    return rekeyTimerId;
}

void IPSecVPNContext::SetPolicyName(const std::string& name) {
    policyName = name;
}

const std::string& IPSecVPNContext::GetPolicyName() const {
    return policyName;
}

void IPSecVPNContext::SetProjectPath(const std::string& path) {
    projectPath = path;
}

const std::string& IPSecVPNContext::GetProjectPath() const {
    return projectPath;
}

void IPSecVPNContext::SetConnectResult(int result) {
    attempt->result.store(result);
}

int IPSecVPNContext::GetConnectResult() const {
    return attempt->result.load();
}

void IPSecVPNContext::SetConnectFinished(bool finished) {
    attempt->finished.store(finished);
}

bool IPSecVPNContext::GetConnectFinished() const {
    return attempt->finished.load();
}

void IPSecVPNContext::SetConnectThread(std::thread::id id) {
    connectThread = id;
}

std::thread::id IPSecVPNContext::GetConnectThread() const {
    return connectThread;
}

void IPSecVPNContext::ResetInitiateEvent() {
    attempt->initiateEvent.Reset();
}

void IPSecVPNContext::SetInitiateEvent() {
    attempt->initiateEvent.Set();
}

bool IPSecVPNContext::IsInitiateEventSet() const {
    return attempt->initiateEvent.IsSet();
}

std::shared_ptr<IPSecConnectAttempt> IPSecVPNContext::BeginConnectAttempt() {
    attempt = std::make_shared<IPSecConnectAttempt>(0, false);
    return attempt;
}

std::shared_ptr<IPSecConnectAttempt> IPSecVPNContext::GetConnectAttempt() const {
    return attempt;
}

int IPSecVPNContext::GetIPSecInfoByID(int configId, IPSecVPNInfo* info) {
    if (info == nullptr || sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->GetIPSecProfileByID(info, configId));
}

namespace {
// Add and update: -1 for a null record, 0 without writing when the flag is 0, else the
// store operation's result.
int writeIPSecInfo(IPCSqlite* store, IPSecVPNInfo* info, int write,
                   int (IPCSqlite::*operation)(IPSecVPNInfo*)) {
    if (info == nullptr) {
        return -1;
    }
    if (write == 0) {
        return 0;
    }
    if (store == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode((store->*operation)(info));
}
} // namespace

int IPSecVPNContext::AddIPSecInfo(IPSecVPNInfo* info, int write) {
    return writeIPSecInfo(sqlite, info, write, &IPCSqlite::InsertIPSecProfile);
}

int IPSecVPNContext::UpdateIPSecInfo(IPSecVPNInfo* info, int write) {
    return writeIPSecInfo(sqlite, info, write, &IPCSqlite::UpdateIPSecProfile);
}

int IPSecVPNContext::DeleteIPSecInfo(int configId) {
    if (configId < 0 || sqlite == nullptr) {
        return -1;
    }
    return IPCSqlite::ToResultCode(sqlite->DeleteIPSecProfile(configId));
}

int IPSecVPNContext::Connect(IPSecVPNInfo* info, const std::string& path) {
    if (info == nullptr) {
        return -1;
    }
    policyName = info->GetPolicyName();
    projectPath = path;
    if (WriteSwanctlConf(info, path) < 0) {
        return -1;
    }
    return startIPSecPolicy(info->GetPolicyName(), path);
}

int IPSecVPNContext::WriteSwanctlConf(IPSecVPNInfo* info, const std::string& path) {
    std::string file = path + kSwanctlConfFile;
    ::unlink(file.c_str());

    std::string text;
    if (info == nullptr || FormatSwanctlConf(*info, text) != 0) {
        IPSEC_LOG("IPSec :: Error: invalid ipsec profile, config file not written!\n");
        return -3;
    }
    // Written whole or not at all, readable by the owner only: the file holds the key.
    if (!WriteFileWhole(file, text, 0600)) {
        IPSEC_LOG("IPSec :: Error: Failed to create ipsec config file!\n");
        return -3;
    }
    return 0;
}

int IPSecVPNContext::Terminate(const std::string& name, const std::string& path) {
    return stopIPSecPolicy(name, path);
}

int IPSecVPNContext::StopAll() {
    KillRekeyTimer();
    attempt->finished.store(true);
    return stopCharon();
}

void IPSecVPNContext::Disconnect() {
    if (attempt->finished.load()) {
        Terminate(policyName, projectPath);
        return;
    }
    attempt->finished.store(true);
    if (attempt->initiateEvent.IsSet()) {
        Terminate(policyName, projectPath);
    }
    StopAll();
}

int IPSecVPNContext::StartRekeyTimer() {
    if (rekeyTimer == nullptr) {
        rekeyTimer = new QTimer();
        rekeyTimer->setInterval(kRekeyIntervalMs);
        QObject::connect(rekeyTimer, &QTimer::timeout, &IPSecVPNContext::RekeyTimerProc);
    }
    rekeyTimer->start();
    rekeyTimerId = rekeyTimer->timerId();
    return 0;
}

bool IPSecVPNContext::KillRekeyTimer() {
    if (rekeyTimerId == 0) {
        return false;
    }
    rekeyGeneration.fetch_add(1);
    if (rekeyTimer != nullptr) {
        if (rekeyTimer->thread() == QThread::currentThread()) {
            rekeyTimer->stop();
        } else {
            // A timer is stopped on its own thread; the stop arrives there before anything
            // that this thread asks of that one later.
            QMetaObject::invokeMethod(rekeyTimer, "stop", Qt::QueuedConnection);
        }
    }
    return true;
}

void IPSecVPNContext::SetRekeyRunner(RekeyRunner runner) {
    std::lock_guard<std::mutex> lock(rekeyRunnerMutex);
    rekeyRunner = std::move(runner);
}

bool IPSecVPNContext::IsRekeyTimerActive() const {
    return rekeyTimer != nullptr && rekeyTimer->isActive();
}

int IPSecVPNContext::RekeyTimerInterval() const {
    return rekeyTimer != nullptr ? rekeyTimer->interval() : 0;
}

namespace {
std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::string stamp = std::ctime(&now);
    if (!stamp.empty()) {
        stamp.pop_back();
    }
    return stamp;
}
} // namespace

void IPSecVPNContext::RekeyTimerProc() {
    IPSecVPNContext* context = Current();
    if (context == nullptr) {
        IPSEC_LOG("IPSec :: %s RekeyTimerError: IPSEC Context null\n", TimeStamp().c_str());
        return;
    }
    RekeyRunner runner;
    {
        std::lock_guard<std::mutex> lock(rekeyRunnerMutex);
        runner = rekeyRunner;
    }
    if (!runner) {
        context->RunRekeyCheck();
        return;
    }
    const unsigned generation = context->rekeyGeneration.load();
    runner([context, generation] {
        // The timer was stopped (a teardown) after this check was handed off.
        if (context->rekeyGeneration.load() == generation) {
            context->RunRekeyCheck();
        }
    });
}

void IPSecVPNContext::RunRekeyCheck() {
    const std::string stamp = TimeStamp();
    int result = CheckRekey(policyName, projectPath);
    if (result < 0) {
        IPSEC_LOG("IPSec :: %s RekeyEnd: ErrorCode %d\n", stamp.c_str(), result);
    }
}

int IPSecVPNContext::CheckRekey(const std::string& name, const std::string& path) {
    std::string listing;
    if (listSas(path, listing) != 0) {
        return Reconnect();
    }
    std::string child = SwanctlConnectionName(name) + kChildSuffix;
    int state = getChildSaState(listing, child);
    if (state == 1) {
        for (int i = 0; i < kRekeyAttempts; ++i) {
            if (rekeyChildSa(child, path)) {
                return 0;
            }
        }
        return -10;
    }
    if (state == 2 || state == 3) {
        int result = initiateChildSaWithRetry(child, path);
        IPSEC_LOG("IPSec :: RECONNECT::ErrorCode:%d!\n", result);
        return result;
    }
    return 0;
}

int IPSecVPNContext::Reconnect() {
    IPSEC_LOG("IPSec :: Reconnection start......\n");
    if (getCharonPid() <= 0) {
        if (startCharon(projectPath) == -1) {
            return -1;
        }
        // A new daemon knows no connection yet: load the configuration before initiating.
        if (waitForCharon(projectPath)) {
            logCharonBackend(projectPath);
        }
        loadSwanctlConf(projectPath);
    }
    int result = initiateChildSaWithRetry(SwanctlConnectionName(policyName) + kChildSuffix, projectPath);
    IPSEC_LOG("IPSec :: Reconnection::ErororCode %d.\n", result);
    return result;
}
