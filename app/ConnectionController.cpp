#include "ConnectionController.h"

#include <QCoreApplication>
#include <QTimer>

#include "AppConstants.h"
#include "AppContext.h"
#include "HomeWidget.h"
#include "IPSecRoad.h"
#include "IPSecVPNContext.h"
#include "OpenVPNRoad.h"
#include "SystemContext.h"
#include "TunnelWorker.h"
#include "VPNBarChart.h"
#include "WireGuardRoad.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

using namespace AppConstants;

#define CONNECT_LOG(...) ZRWLog(kLogModule, kLogLevel, __VA_ARGS__)

namespace {

constexpr double kSmallestIncrease = 1e-10;

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

// Which single connection the process-wide rekey runner belongs to.
ConnectionController* rekeyRunnerOwner = nullptr;

} // namespace

ConnectionController::ConnectionController(HomeWidget* page)
    : QObject(page), page(page), worker(new TunnelWorker(this)), sampler(new TunnelWorker(this, 0)),
      statusTimer(new QTimer(this)), ipsecRoad(std::make_unique<IPSecRoad>(*this)),
      openVPNRoad(std::make_unique<OpenVPNRoad>(*this)),
      wireGuardRoad(std::make_unique<WireGuardRoad>(*this)), hourlyUpload(VPNBarChart::HourCount, 0.0),
      hourlyDownload(VPNBarChart::HourCount, 0.0), clock([] { return QDateTime::currentDateTime(); }) {
    // The report's hourly series by name, for queued connections and signal spies.
    qRegisterMetaType<QVector<double>>("QVector<double>");
    connect(this, SIGNAL(signalVPNConnectFinished(int)), this, SLOT(slotVPNConnectFinished(int)));
    connect(this, SIGNAL(signalIPSecVPNConnectFinished(int)), this, SLOT(slotIPSecVPNConnectFinished(int)));

    statusTimer->setObjectName(QStringLiteral("statusTimer"));
    statusTimer->setInterval(timingValues.statusTickMs);
    connect(statusTimer, SIGNAL(timeout()), this, SLOT(slotGetConnectStatusAndFlow()));
    statusTimer->start();

    // The IPsec rekey check runs strongSwan's commands: on the worker, after whatever
    // tunnel work was asked for before it.
    rekeyRunnerOwner = this;
    TunnelWorker* rekeyWorker = worker;
    IPSecVPNContext::SetRekeyRunner([rekeyWorker](std::function<void()> check) { rekeyWorker->post(check); });

    // The program's end stops the tunnel contexts once the event loop has ended: the
    // programs asked to end must have ended by then.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        quitting = true;
        finishTunnelWork(timingValues.quitWaitMs);
    });
}

ConnectionController::~ConnectionController() {
    quitting = true;
    if (rekeyRunnerOwner == this) {
        IPSecVPNContext::SetRekeyRunner(nullptr);
        rekeyRunnerOwner = nullptr;
    }
    statusTimer->stop();
    // Waits for the tunnel work in hand before the roads its results would reach go.
    delete worker;
    worker = nullptr;
    delete sampler;
    sampler = nullptr;
}

void ConnectionController::setTimings(const ConnectionTimings& value) {
    timingValues = value;
    statusTimer->setInterval(timingValues.statusTickMs);
}

const ConnectionTimings& ConnectionController::timings() const {
    return timingValues;
}

std::array<TunnelRoad*, 3> ConnectionController::roads() const {
    return {ipsecRoad.get(), openVPNRoad.get(), wireGuardRoad.get()};
}

TunnelRoad* ConnectionController::roadFor(int vpnType) const {
    switch (vpnType) {
    case VPN_TYPE_IPSEC:
        return ipsecRoad.get();
    case VPN_TYPE_SSLVPN:
    case VPN_TYPE_OPENVPN:
        return openVPNRoad.get();
    case VPN_TYPE_WIREGUARD:
        return wireGuardRoad.get();
    default:
        return nullptr;
    }
}

// Status slots

std::string ConnectionController::VPNTypeToLogName(int vpnType) {
    if (vpnType < VPN_TYPE_IPSEC || vpnType > VPN_TYPE_WIREGUARD) {
        return std::string();
    }
    return kKindLogNames[vpnType - VPN_TYPE_IPSEC];
}

void ConnectionController::logStatus(const char* format) {
    CONNECT_LOG(format, page->selectedProfileName().c_str(),
                VPNTypeToLogName(page->selectedVPNType()).c_str());
}

void ConnectionController::enterStatus(int status) {
    appContext()->SetConnectStatus(status);
}

void ConnectionController::slotConnectVPNStart() {
    page->showConnecting();
    enterStatus(CONNECT_STATUS_CONNECTING);
    const QByteArray selected = page->activeProfileName().toUtf8();
    AppContext* app = appContext();
    for (const ProfileInfo& profile : *app->GetProfileList()) {
        if (selected == profile.ProfileName) {
            app->SetCurrentProfile(profile);
        }
    }
    totals = TrafficTotals();
    lastTotals = TrafficTotals();
    haveReading = false;
    ++attempt;
    for (TunnelRoad* road : roads()) {
        road->beginAttempt();
    }
    emit signalConnectedVPNChanged(CONNECT_STATUS_CONNECTING);
}

void ConnectionController::slotConnectVPNSuccess() {
    page->showConnected();
    enterStatus(CONNECT_STATUS_CONNECTED);
    logStatus(kConnectedLine);
    if (TunnelRoad* road = roadFor(page->selectedVPNType())) {
        road->connected();
    }
    emit signalConnectedVPNChanged(CONNECT_STATUS_CONNECTED);
}

void ConnectionController::slotConnectVPNFailed() {
    page->showConnectFailed();
    enterStatus(CONNECT_STATUS_DISCONNECTED);
    logStatus(kConnectFailedLine);
    emit signalConnectedVPNChanged(CONNECT_STATUS_DISCONNECTED);
}

void ConnectionController::slotCancelVPNConnect() {
    page->showConnectCancelled();
    enterStatus(CONNECT_STATUS_DISCONNECTED);
    logStatus(kCancelConnectLine);
    emit signalConnectedVPNChanged(CONNECT_STATUS_DISCONNECTED);
}

void ConnectionController::slotNoConnectVPN() {
    page->showNotConnected();
    enterStatus(CONNECT_STATUS_NOT_CONNECTED);
    totals = TrafficTotals();
    haveReading = false;
    emit signalConnectedVPNChanged(CONNECT_STATUS_NOT_CONNECTED);
}

void ConnectionController::slotConnectVPNStop() {
    page->showConnectionKept();
}

bool ConnectionController::attemptStillConnecting(int which) const {
    return !quitting && which == attempt && page->currentStatus() == CONNECT_STATUS_CONNECTING;
}

void ConnectionController::showToast(const QString& text) {
    if (!quitting) {
        ZRToastDialog::instance()->showToast(page, text, timingValues.toastMs);
    }
}

void ConnectionController::beginTeardown() {
    ++teardowns;
    page->setConnectBusy(true);
}

void ConnectionController::endTeardown() {
    if (teardowns > 0) {
        --teardowns;
    }
    if (teardowns == 0) {
        page->setConnectBusy(false);
    }
}

// The connect button

bool ConnectionController::findSelectedProfile(ProfileInfo* profile) const {
    const QByteArray selected = page->activeProfileName().toUtf8();
    for (const ProfileInfo& candidate : *appContext()->GetProfileList()) {
        if (selected == candidate.ProfileName) {
            *profile = candidate;
            return true;
        }
    }
    return false;
}

void ConnectionController::buttonClicked() {
    AppContext* app = appContext();
    if (app->GetProfileList()->empty()) {
        return;
    }
    // A disconnect is still ending its programs: the next step waits for it (the button
    // is disabled meanwhile; a press that comes another way is dropped).
    if (teardowns > 0) {
        return;
    }
    const int status = page->currentStatus();
    TunnelRoad* selected = roadFor(page->selectedVPNType());
    if (status == CONNECT_STATUS_NOT_CONNECTED || status == CONNECT_STATUS_DISCONNECTED) {
        logStatus(kConnectingLine);
        if (selected != nullptr) {
            selected->connect();
        }
        return;
    }
    if (status == CONNECT_STATUS_CONNECTING) {
        // A cancel ends the current profile's connect.
        ProfileInfo current;
        app->GetCurrentProfile(&current);
        dropAttempt();
        beginTeardown();
        auto cancelled = [this] {
            endTeardown();
            slotCancelVPNConnect();
        };
        if (TunnelRoad* road = roadFor(current.ProfileType)) {
            road->cancel(current.ProfileName, cancelled);
        } else {
            cancelled();
        }
        return;
    }
    if (status == CONNECT_STATUS_CONNECTED) {
        logStatus(kDisconnectLine);
        if (selected != nullptr) {
            endConnection(*selected);
        } else {
            finishDisconnect();
        }
    }
}

void ConnectionController::dropAttempt() {
    ++attempt;
    for (TunnelRoad* road : roads()) {
        road->dropAttempt();
    }
}

void ConnectionController::endConnection(TunnelRoad& road) {
    beginTeardown();
    const bool started = road.disconnect(page->selectedProfileName(), [this] {
        endTeardown();
        slotNoConnectVPN();
        finishDisconnect();
    });
    if (!started) {
        endTeardown();
    }
}

void ConnectionController::finishDisconnect() {
    connectSeconds = 0;
    page->showConnectDuration(connectSeconds);
    appContext()->SetCurrentProfile(ProfileInfo());
}

// The roads' entries

void ConnectionController::slotConnectToOpenVPN() {
    openVPNRoad->startAttempt();
}

void ConnectionController::slotGetVPNConnectMsg() {
    openVPNRoad->pollTick();
}

void ConnectionController::slotVPNConnectFinished(int iErrorCode) {
    openVPNRoad->finish(iErrorCode);
}

void ConnectionController::slotAddTapAndReconnect() {
    openVPNRoad->addTapAndReconnect();
}

void ConnectionController::slotDisconnectToOpenVPN() {
    endConnection(*openVPNRoad);
}

void ConnectionController::slotConnectToIPSec() {
    ipsecRoad->connect();
}

void ConnectionController::slotGetIPSecVPNConnectMsg() {
    ipsecRoad->pollTick();
}

void ConnectionController::slotIPSecVPNConnectFinished(int iErrorCode) {
    ipsecRoad->finish(iErrorCode);
}

void ConnectionController::slotDisconnectToIPSec() {
    endConnection(*ipsecRoad);
}

void ConnectionController::slotConnectToWireGuard() {
    wireGuardRoad->connect();
}

void ConnectionController::slotDisconnectToWireGuard() {
    endConnection(*wireGuardRoad);
}

// Traffic

void ConnectionController::setClock(std::function<QDateTime()> value) {
    clock = std::move(value);
}

void ConnectionController::showTotals() {
    if (haveReading) {
        page->showTrafficTotals(totals.upload, totals.download);
    }
}

void ConnectionController::slotGetConnectStatusAndFlow() {
    if (page->currentStatus() == CONNECT_STATUS_CONNECTED) {
        ++connectSeconds;
        page->showConnectDuration(connectSeconds);
        // No reading while a disconnect ends the tunnel's programs.
        TunnelRoad* road = roadFor(page->selectedVPNType());
        if (teardowns == 0 && road != nullptr) {
            readTraffic(*road);
        }
        showTotals();
        const int hour = clock().time().hour();
        if (hour >= 0 && hour < VPNBarChart::HourCount) {
            const double up = totals.upload - lastTotals.upload;
            const double down = totals.download - lastTotals.download;
            if (up >= kSmallestIncrease) {
                hourlyUpload[hour] += up;
            }
            if (down >= kSmallestIncrease) {
                hourlyDownload[hour] += down;
            }
        }
        page->showHourlyTraffic(hourlyUpload, hourlyDownload);
        lastTotals = totals;
    }
    page->publishConnectInfo();
}

void ConnectionController::readTraffic(TunnelRoad& road) {
    if (road.readTraffic(&totals)) {
        haveReading = true;
        showTotals();
    }
}

void ConnectionController::slotGetOpenVPNConnectInfo() {
    readTraffic(*openVPNRoad);
}

void ConnectionController::slotGetWireGuardConnectInfo() {
    readTraffic(*wireGuardRoad);
}

// The main window's close

void ConnectionController::disconnectTunnel(const ProfileInfo& profile) {
    quitting = true;
    dropAttempt();
    if (TunnelRoad* road = roadFor(profile.ProfileType)) {
        road->disconnect(profile.ProfileName, nullptr);
    }
    finishTunnelWork(timingValues.quitWaitMs);
}

void ConnectionController::cancelConnect(const ProfileInfo& profile) {
    // This attempt is over: nothing it still reports is shown.
    quitting = true;
    dropAttempt();
    if (TunnelRoad* road = roadFor(profile.ProfileType)) {
        road->cancel(profile.ProfileName, nullptr);
    }
    finishTunnelWork(timingValues.quitWaitMs);
}

bool ConnectionController::finishTunnelWork(int timeoutMs) {
    return worker == nullptr || worker->waitIdle(timeoutMs);
}

// What the controller holds

int ConnectionController::currentAttempt() const {
    return attempt;
}

double ConnectionController::uploadTotalMiB() const {
    return totals.upload;
}

double ConnectionController::downloadTotalMiB() const {
    return totals.download;
}

const QVector<double>& ConnectionController::hourlyUploadMiB() const {
    return hourlyUpload;
}

const QVector<double>& ConnectionController::hourlyDownloadMiB() const {
    return hourlyDownload;
}

int ConnectionController::connectedSeconds() const {
    return connectSeconds;
}

bool ConnectionController::isManagementConnected() const {
    return openVPNRoad->isManagementConnected();
}
