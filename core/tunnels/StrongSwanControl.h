// The free functions that drive strongSwan through command lines: the daemon's start,
// lookup and end, the configuration load, initiating, rekeying and listing the child SA,
// and the two compound operations with which an IPsec connection is brought up
// (startIPSecPolicy, which starts the initiating worker thread) and torn down
// (stopIPSecPolicy). They work on the one IPsec context, IPSecVPNContext::Current.
//
// P is the project path (the working directory, without a trailing separator); the
// strongSwan folder is P followed by "/bin/ipsec/".
#pragma once

#include <memory>
#include <string>

struct IPSecConnectAttempt;

// 0 when the worker thread was started; -7 IKEEXT was not stopped and disabled; -8 the
// daemon is not running after a start; -1 the daemon start failed.
int startIPSecPolicy(const std::string& policyName, const std::string& projectPath);
// 0 after a teardown; otherwise the process lookup's result (0, -1 or -2).
int stopIPSecPolicy(const std::string& policyName, const std::string& projectPath);
// The worker's body: up to five initiate attempts of the policy's child SA. Its outcome
// (0, -4 stopped, -9 five failures) goes into its own attempt, result before flag.
void startIPSecPolicyThread(std::shared_ptr<IPSecConnectAttempt> attempt, std::string policyName,
                            std::string projectPath);

bool initiateChildSa(const std::string& child, const std::string& projectPath, const std::string& workDir);
// 0 at the first of up to five successful initiates, else -9.
int initiateChildSaWithRetry(const std::string& child, const std::string& projectPath);
bool rekeyChildSa(const std::string& child, const std::string& projectPath);
// Appends the listing of the security associations; 0, or -1 when the listing failed.
int listSas(const std::string& projectPath, std::string& listing);
// 0 installed, 1 rekeying, 2 absent, 3 other.
int getChildSaState(const std::string& listing, const std::string& child);

// 0, or -1 when the daemon cannot be started.
int startCharon(const std::string& projectPath);
// Waits until a freshly started daemon answers on its control socket (at most
// kCharonReadyTimeLimitMs); true when it does.
bool waitForCharon(const std::string& projectPath);
// Logs the IPsec backend that the daemon's start chose (the kernel's or strongSwan's
// user-space IPsec); nothing when the start wrote none.
void logCharonBackend(const std::string& projectPath);
// Loads swanctl.conf into the daemon and waits until swanctl has done so.
void loadSwanctlConf(const std::string& projectPath);
// The process id (> 1) of the daemon that runs from this client's own bundle (the
// strongSwan folder of the working directory); 0 not running; -1 no process id in the
// answer; -2 the lookup failed.
int getCharonPid();
int parseCharonPid(const std::string& answer);
// Asks the process to end and waits until it has (at most kCharonEndTimeLimitMs). Always
// 0; a process id of 1 or less is never signalled.
int killProcessByPid(int pid);
// 0 after the daemon was ended; otherwise the lookup's result (0, -1 or -2).
int stopCharon();
bool terminateIke(const std::string& name, const std::string& projectPath, bool force);

// The strongSwan folder of a project path, with its trailing separator.
std::string strongSwanFolder(const std::string& projectPath);
// A swanctl command line with the given arguments.
std::string swanctlCommand(const std::string& projectPath, const std::string& args);
