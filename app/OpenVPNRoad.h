// The road of SSL VPN and OpenVPN profiles: the credentials decision and prompt, the
// credential and configuration files, openvpn with its management interface (behind a
// password made for each connect), the completion poll of openvpn's output and its
// result (connected, refused credentials asked for again, a missing adapter offered to be
// created, openvpn's own end with its reason, failure), openvpn's end with the credential
// file and the tunnel's DNS, openvpn's end noticed while connected, and the traffic
// counters read through the management interface.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "ManagementClient.h"
#include "ProcessPipe.h"
#include "TunnelRoad.h"

class QTimer;
struct OpenVPNInfo;

class OpenVPNRoad : public TunnelRoad {
public:
    explicit OpenVPNRoad(ConnectionController& controller);
    ~OpenVPNRoad() override;

    // The credentials decision, then an attempt or the prompt.
    void connect() override;
    void beginAttempt() override;
    void dropAttempt() override;
    void cancel(const std::string& profileName, std::function<void()> done) override;
    bool disconnect(const std::string& profileName, std::function<void()> done) override;
    // One "load-stats" reading; its answer is read at the next one. First looks whether
    // openvpn has ended by itself, which ends the connection.
    bool readTraffic(TrafficTotals* totals) override;

    // One attempt: the status connecting, the files, openvpn's start, the poll's start.
    void startAttempt();
    // One tick of the completion poll.
    void pollTick();
    // Acts on the attempt's result.
    void finish(int result);
    // Creates a TAP adapter, then makes a new attempt.
    void addTapAndReconnect();
    bool isManagementConnected() const;

private:
    // The credentials prompt; afterRefusal shows its warning and makes a close a failure.
    void promptForCredentials(const OpenVPNInfo& info, bool afterRefusal);
    // Ends openvpn on the worker, the credential file with it; then `done` on the GUI thread.
    void endOpenVPN(std::function<void()> done);
    void removeCredentialFile();
    void closeManagement();
    // Takes what openvpn wrote since the last look, keeping its end in endTail; true once
    // openvpn has ended.
    bool takeOutput();
    // openvpn ended while connected: the page shows the failure and why, and what the
    // tunnel left is taken away.
    void connectionEnded();
    // The password typed into the prompt, for this connect's attempts only.
    void forgetTypedPassword();

    QTimer* pollTimer = nullptr;
    int pollElapsed = 0;
    // Runs openvpn and keeps its output pipe; shared with the worker, which starts it.
    std::shared_ptr<ProcessPipe> processPipe;
    // openvpn's output of the current attempt not yet matched: the tail of what was read
    // before, so that a text split between two reads is still found.
    std::string output;
    // What openvpn said last in this attempt or connection (at most kOpenVPNEndTail bytes).
    std::string endTail;
    // The text key of why openvpn ended by itself, for the attempt's result.
    const char* endReasonKey = nullptr;
    // A password typed into the prompt is used from here, never from the store, which
    // keeps it only when Remember Me is checked.
    bool hasTypedPassword = false;
    QString typedPassword;
    ManagementClient managementClient;
    bool managementConnected = false;
    // The management interface's password of the running openvpn.
    QString managementPassword;
    QString managementPending;
};
