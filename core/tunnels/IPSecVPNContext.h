// The tunnel context of IPsec profiles (IKE with a pre-shared key, through strongSwan):
// the ZRIPSECVPN rows, the swanctl.conf writer, the connect with its worker thread, the
// cancel and the teardowns, and the 60000 ms rekey timer that keeps a connected tunnel
// alive. The application context creates one, hands it the store and deletes it when it
// stops; every operation runs on the GUI thread but the worker of a connect.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class IPCSqlite;
class IPSecVPNInfo;
class QTimer;

// A manual-reset event: stays signalled until reset, whoever waits.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled) : signalled(signalled) {}
    void Set();
    void Reset();
    // A wait with a time-out of 0: true when signalled.
    bool IsSet() const;
    // True when signalled within the time limit.
    bool Wait(int timeoutMs) const;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool signalled;
};

// What one connect attempt shares with its worker thread. Each attempt has its own, so a
// worker of an earlier attempt that is still initiating when a new connect starts writes
// its outcome into its own attempt and never into the newer one.
struct IPSecConnectAttempt {
    IPSecConnectAttempt(int result, bool finished) : result(result), finished(finished) {}

    // The worker's outcome; written before finished is set.
    std::atomic<int> result;
    // True when the worker has ended, or when the GUI thread wants it to stop.
    std::atomic<bool> finished;
    // Signalled while no initiate command of the worker runs.
    ManualResetEvent initiateEvent{true};
};

class IPSecVPNContext {
public:
    IPSecVPNContext();
    ~IPSecVPNContext();
    IPSecVPNContext(const IPSecVPNContext&) = delete;
    IPSecVPNContext& operator=(const IPSecVPNContext&) = delete;

    // The one context the strongSwan control functions and the rekey timer work on: the
    // most recently constructed one that still exists, or null.
    static IPSecVPNContext* Current();

    int SetSqlite(IPCSqlite* store);

    void SetRekeyTimerId(int id);
    const int& GetRekeyTimerId() const;
    void SetPolicyName(const std::string& name);
    const std::string& GetPolicyName() const;
    void SetProjectPath(const std::string& path);
    const std::string& GetProjectPath() const;
    // The current attempt's shared values.
    void SetConnectResult(int result);
    int GetConnectResult() const;
    void SetConnectFinished(bool finished);
    bool GetConnectFinished() const;
    void SetConnectThread(std::thread::id id);
    std::thread::id GetConnectThread() const;
    void ResetInitiateEvent();
    void SetInitiateEvent();
    bool IsInitiateEventSet() const;

    // Starts a new attempt (not finished, result 0, event signalled) and returns it; the
    // previous attempt stays with whatever worker still holds it.
    std::shared_ptr<IPSecConnectAttempt> BeginConnectAttempt();

    int GetIPSecInfoByID(int configId, IPSecVPNInfo* info);
    int AddIPSecInfo(IPSecVPNInfo* info, int write);
    int UpdateIPSecInfo(IPSecVPNInfo* info, int write);
    int DeleteIPSecInfo(int configId);

    // 0 when the worker was started; -1 when swanctl.conf cannot be written; otherwise
    // startIPSecPolicy's failure (-7, -8 or -1).
    int Connect(IPSecVPNInfo* info, const std::string& projectPath);
    // 0, or -3 when the file cannot be written whole.
    int WriteSwanctlConf(IPSecVPNInfo* info, const std::string& projectPath);
    int Terminate(const std::string& policyName, const std::string& projectPath);
    int StopAll();
    // The cancel of a connect in progress.
    void Disconnect();

    // Starts (or restarts) the rekey timer on the calling thread, which must run a Qt
    // event loop (the GUI thread); 0.
    int StartRekeyTimer();
    // Stops the rekey timer when one was ever started; true when it did.
    bool KillRekeyTimer();
    bool IsRekeyTimerActive() const;
    int RekeyTimerInterval() const;
    // The timer's procedure: checks the child SA of the current context and logs a failure.
    static void RekeyTimerProc();
    // 0, or a negative code: -1 the daemon could not be started again, -9 five initiates
    // failed, -10 five rekeys failed.
    int CheckRekey(const std::string& policyName, const std::string& projectPath);
    // 0, -1 or -9.
    int Reconnect();

private:
    IPCSqlite* sqlite;
    int rekeyTimerId;
    std::string policyName;
    std::string projectPath;
    std::shared_ptr<IPSecConnectAttempt> attempt;
    std::thread::id connectThread;
    QTimer* rekeyTimer;
};
