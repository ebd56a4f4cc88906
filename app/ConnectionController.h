// The connection controller of the home page: connects the selected profile by its kind
// (IPsec, SSL VPN, OpenVPN, WireGuard), cancels a connect and disconnects, shows every
// status change on the page with its log line and signal, asks for credentials, samples
// the traffic once a second and publishes the connection report. It is also what the
// main window's close ends a tunnel through.
//
// What each kind does lives in that kind's road (IPSecRoad, OpenVPNRoad, WireGuardRoad);
// the slots below that name a kind are the entries into its road, and the button and the
// close reach the roads the same way.
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
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "ConnectionTimings.h"
#include "ProfileRecords.h"
#include "TunnelRoad.h"
#include "TunnelTeardown.h"

class HomeWidget;
class IPSecRoad;
class OpenVPNRoad;
class QTimer;
class TunnelWorker;
class WireGuardRoad;

class ConnectionController : public QObject, public TunnelTeardown {
    Q_OBJECT
public:
    explicit ConnectionController(HomeWidget* page);
    ~ConnectionController() override;

    // The connect button's press: connect (status 0 or 3), cancel (1) or disconnect (2).
    void buttonClicked();

    // TunnelTeardown: the main window's close. Each returns once the tunnel's programs have
    // ended (at most the timings' quitWaitMs).
    void disconnectTunnel(const ProfileInfo& profile) override;
    void cancelConnect(const ProfileInfo& profile) override;

    // Waits until every tunnel command asked for has run, at most timeoutMs; true when
    // none is left. The program's end waits here before it stops the tunnel contexts.
    bool finishTunnelWork(int timeoutMs);

    // The clock of the hourly traffic series (local time); tests set their own.
    void setClock(std::function<QDateTime()> clock);
    // The times the controller waits; the client's own unless set. A running status tick
    // takes its new interval at once, a poll or a wait with its next start.
    void setTimings(const ConnectionTimings& timings);
    const ConnectionTimings& timings() const;

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

    // Each kind's connect and disconnect, through its road.
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
    // The roads reach the page, the threads, the attempt and the status through the
    // controller.
    friend class TunnelRoad;

    // The road of a kind; null for any other kind.
    TunnelRoad* roadFor(int vpnType) const;
    std::array<TunnelRoad*, 3> roads() const;
    // The button's disconnect of the selected profile through its road: status 0 once the
    // tunnel's programs have ended.
    void endConnection(TunnelRoad& road);
    // The current attempt is over: whatever it still reports is dropped.
    void dropAttempt();
    // One counter reading of the connected tunnel through its road.
    void readTraffic(TunnelRoad& road);
    // After a disconnect: the connection time back to 0 and no current profile.
    void finishDisconnect();
    // The profile of the cached list with the selected name, or false.
    bool findSelectedProfile(ProfileInfo* profile) const;
    // Writes the status into the application context and announces it.
    void enterStatus(int status);
    void logStatus(const char* format);
    // True while `attempt` is the current attempt and the status still connecting.
    bool attemptStillConnecting(int attempt) const;
    // A toast over the page for the timings' toast time.
    void showToast(const QString& text);
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
    ConnectionTimings timingValues;

    std::unique_ptr<IPSecRoad> ipsecRoad;
    std::unique_ptr<OpenVPNRoad> openVPNRoad;
    std::unique_ptr<WireGuardRoad> wireGuardRoad;

    // The number of the current connect attempt; each slotConnectVPNStart counts one.
    int attempt = 0;
    // Disconnects whose programs have not yet ended; the button waits for them.
    int teardowns = 0;
    // The close of the main window has begun: results are no longer shown.
    bool quitting = false;

    TrafficTotals totals;
    TrafficTotals lastTotals;
    bool haveReading = false;
    int connectSeconds = 0;
    QVector<double> hourlyUpload;
    QVector<double> hourlyDownload;
    std::function<QDateTime()> clock;
};
