// The tunnel context of IPsec profiles (IKE with a pre-shared key, through strongSwan):
// the ZRIPSECVPN rows, the swanctl.conf writer, the connect with its worker thread, the
// cancel and the teardowns, and the 60000 ms rekey timer that keeps a connected tunnel
// alive. The application context creates one, hands it the store and deletes it when it
// stops; every operation runs on the GUI thread but the worker of a connect.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
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
    // The current attempt, which a caller may keep to read its outcome from another thread.
    std::shared_ptr<IPSecConnectAttempt> GetConnectAttempt() const;

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
    // Stops the rekey timer when one was ever started; true when it did. Callable from
    // any thread: a check that the timer handed to the rekey runner before is dropped.
    bool KillRekeyTimer();
    // Where the timer's procedure runs its check: by default on the timer's own thread;
    // with a runner set, the check is handed to it (a worker thread), so that the slow
    // strongSwan commands never hold up the timer's thread. An empty runner restores
    // the default.
    using RekeyRunner = std::function<void(std::function<void()> check)>;
    static void SetRekeyRunner(RekeyRunner runner);
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
    // Counts the stops of the rekey timer; a handed-off check runs only while it is unchanged.
    std::atomic<unsigned> rekeyGeneration{0};

    // The check of one timer tick and its log line.
    void RunRekeyCheck();
};
