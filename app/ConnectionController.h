// The connection controller of the home page: connects the selected profile by its kind
// (IPsec, SSL VPN, OpenVPN, WireGuard), cancels a connect and disconnects, shows every
// status change on the page with its log line and signal, polls the connect's outcome,
// asks for credentials, samples the traffic once a second and publishes the connection
// report. It is also the roads by which the main window's close ends a tunnel.
//
// Every slow command of the VPN programs runs on the controller's tunnel worker, one
// after the other in the order asked; the GUI thread only starts them and acts on their
// results. Each connect attempt carries its own number: a result that arrives for an
// earlier attempt (one that was cancelled, or replaced) is dropped.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>
#include <string>

#include "ManagementClient.h"
#include "ProcessPipe.h"
#include "ProfileRecords.h"
#include "TunnelRoads.h"

class HomeWidget;
class QTimer;
class TunnelWorker;
struct IPSecConnectAttempt;

class ConnectionController : public QObject, public TunnelRoads {
    Q_OBJECT
public:
    explicit ConnectionController(HomeWidget* page);
    ~ConnectionController() override;

    // The connect button's press: connect (status 0 or 3), cancel (1) or disconnect (2).
    void buttonClicked();

    // TunnelRoads: the main window's close. Each returns once the tunnel's programs have
    // ended (at most kQuitWaitMs).
    void disconnectTunnel(const ProfileInfo& profile) override;
    void cancelConnect(const ProfileInfo& profile) override;

    // Waits until every tunnel command asked for has run, at most timeoutMs; true when
    // none is left. The program's end waits here before it stops the tunnel contexts.
    bool finishTunnelWork(int timeoutMs);

    // The clock of the hourly traffic series (local time); tests set their own.
    void setClock(std::function<QDateTime()> clock);

    // The kind's name in the log lines ("IPsec VPN", "SSL VPN", "Open VPN",
    // "WireGuard VPN"; empty for any other kind).
    static std::string VPNTypeToLogName(int vpnType);

    // What the controller holds, for the page and for tests.
    int currentAttempt() const;
    double uploadTotalMiB() const;
    double downloadTotalMiB() const;
    const QVector<double>& hourlyUploadMiB() const;
    const QVector<double>& hourlyDownloadMiB() const;
    int connectedSeconds() const;
    bool isManagementConnected() const;

    // How long the close of the main window waits for the tunnel's programs to end.
    static constexpr int kQuitWaitMs = 15000;

signals:
    void signalVPNConnectFinished(int iErrorCode);
    void signalIPSecVPNConnectFinished(int iErrorCode);
    // Carries the new connection status.
    void signalConnectedVPNChanged(int iProfileId);

public slots:
    // The status slots: each puts the page, the application context and the rest of the
    // program into one state.
    void slotConnectVPNStart();
    void slotConnectVPNStop();
    void slotNoConnectVPN();
    void slotConnectVPNFailed();
    void slotConnectVPNSuccess();
    void slotCancelVPNConnect();

    // The roads.
    void slotConnectToWireGuard();
    void slotDisconnectToWireGuard();
    void slotConnectToOpenVPN();
    void slotDisconnectToOpenVPN();
    void slotConnectToIPSec();
    void slotDisconnectToIPSec();

    // The once-a-second tick and the counter readings.
    void slotGetConnectStatusAndFlow();
    void slotGetWireGuardConnectInfo();
    void slotGetOpenVPNConnectInfo();

    // The completion polls and the results.
    void slotGetVPNConnectMsg();
    void slotVPNConnectFinished(int iErrorCode);
    void slotGetIPSecVPNConnectMsg();
    void slotIPSecVPNConnectFinished(int iErrorCode);
    void slotAddTapAndReconnect();

private:
    // The credentials decision before an SSL VPN or OpenVPN connect.
    void startOpenVPNConnect();
    // The credentials prompt; afterRefusal shows its warning and makes a close a failure.
    void promptForCredentials(const OpenVPNInfo& info, bool afterRefusal);
    // After a disconnect: the connection time back to 0 and no current profile.
    void finishDisconnect();
    // The profile of the cached list with the selected name, or false.
    bool findSelectedProfile(ProfileInfo* profile) const;
    // Writes the status into the application context and announces it.
    void enterStatus(int status);
    void logStatus(const char* format);
    // True while `attempt` is the current attempt and the status still connecting.
    bool attemptStillConnecting(int attempt) const;
    // Ends openvpn on the worker, the credential file with it; then `done` on the GUI thread.
    void endOpenVPN(std::function<void()> done);
    void removeCredentialFile();
    void closeManagement();
    // A toast over the page for 1500 ms.
    void showToast(const QString& text);
    // The WireGuard connect after its wait: connected only when the tunnel is up and its
    // peer has answered.
    void checkWireGuardTunnel(int attempt, const std::string& tunnelName);
    void postWireGuardSample();
    // A completion poll timer, made on first use.
    QTimer* pollTimer(QTimer*& timer, const char* name, const char* slot);
    static bool polling(QTimer* timer);
    void stopPoll(QTimer* timer);
    // Shows the totals while a reading of this connection has been had.
    void showTotals();
    // Starts teardown work that the button must not start twice, and ends it.
    void beginTeardown();
    void endTeardown();

    HomeWidget* page;
    // The tunnel commands, in the order asked.
    TunnelWorker* worker;
    // The traffic readings ("wg show"): apart from the tunnel commands, so that a reading
    // that hangs holds up neither a disconnect nor the close.
    TunnelWorker* sampler;
    QTimer* statusTimer;
    QTimer* openVPNPollTimer = nullptr;
    QTimer* ipsecPollTimer = nullptr;

    // The number of the current connect attempt; each slotConnectVPNStart counts one.
    int attempt = 0;
    // Disconnects whose programs have not yet ended; the button waits for them.
    int teardowns = 0;
    // The close of the main window has begun: results are no longer shown.
    bool quitting = false;

    // Runs openvpn and keeps its output pipe; shared with the worker, which starts it.
    std::shared_ptr<ProcessPipe> processPipe;
    int pollElapsed = 0;
    // openvpn's output of the current attempt not yet matched: the tail of what was read
    // before, so that a text split between two reads is still found.
    std::string openVPNOutput;
    ManagementClient managementClient;
    bool managementConnected = false;
    QString managementPending;
    std::shared_ptr<IPSecConnectAttempt> ipsecAttempt;

    double uploadTotal = 0;
    double downloadTotal = 0;
    double lastUploadTotal = 0;
    double lastDownloadTotal = 0;
    bool haveReading = false;
    int connectSeconds = 0;
    QVector<double> hourlyUpload;
    QVector<double> hourlyDownload;
    std::function<QDateTime()> clock;

    // The last "wg show" output of the connected tunnel not yet read, and whether one runs.
    bool wireGuardSampleRunning = false;
    bool wireGuardSampleReady = false;
    std::string wireGuardSample;
};
