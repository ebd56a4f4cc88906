#include "ConnectionController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "AccountLoginDialog.h"
#include "AppConstants.h"
#include "AppContext.h"
#include "FileWrite.h"
#include "HomeWidget.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "OpenVPNContext.h"
#include "SystemContext.h"
#include "TrafficReadings.h"
#include "TunnelPaths.h"
#include "TunnelWorker.h"
#include "VPNBarChart.h"
#include "WireGuardContext.h"
#include "WireGuardProbe.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

using namespace AppConstants;

#define CONNECT_LOG(...) ZRWLog(kLogModule, kLogLevel, __VA_ARGS__)

namespace {

constexpr double kSmallestIncrease = 1e-10;
constexpr mode_t kSecretFileMode = 0600;

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

bool isOpenVPNKind(int type) {
    return type == VPN_TYPE_SSLVPN || type == VPN_TYPE_OPENVPN;
}

// The project path: the working directory. False when it cannot be had (the folder was
// removed, or its path is too long).
bool projectPath(std::string* path) {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof(buffer)) == nullptr) {
        return false;
    }
    *path = buffer;
    return true;
}

bool fileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::string credentialFilePath() {
    return std::string(TunnelPaths::kOpenVPNConfigDir) + "/" + TunnelPaths::kOpenVPNPasswordFile;
}

// Which single connection the process-wide rekey runner belongs to.
ConnectionController* rekeyRunnerOwner = nullptr;

// How the OpenVPN attempt's preparation on the worker ended.
enum class OpenVPNStart { Started, CredentialsNotWritten, ConfigNotWritten };
struct OpenVPNStartResult {
    OpenVPNStart outcome = OpenVPNStart::Started;
    std::string path;
};

struct IPSecPrepared {
    int code = -1;
    std::shared_ptr<IPSecConnectAttempt> attempt;
};

} // namespace

ConnectionController::ConnectionController(HomeWidget* page)
    : QObject(page), page(page), worker(new TunnelWorker(this)), sampler(new TunnelWorker(this, 0)),
      statusTimer(new QTimer(this)), processPipe(std::make_shared<ProcessPipe>()),
      hourlyUpload(VPNBarChart::HourCount, 0.0), hourlyDownload(VPNBarChart::HourCount, 0.0),
      clock([] { return QDateTime::currentDateTime(); }) {
    // The report's hourly series by name, for queued connections and signal spies.
    qRegisterMetaType<QVector<double>>("QVector<double>");
    connect(this, SIGNAL(signalVPNConnectFinished(int)), this, SLOT(slotVPNConnectFinished(int)));
    connect(this, SIGNAL(signalIPSecVPNConnectFinished(int)), this, SLOT(slotIPSecVPNConnectFinished(int)));

    statusTimer->setObjectName(QStringLiteral("statusTimer"));
    statusTimer->setInterval(kStatusTickMs);
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
        finishTunnelWork(kQuitWaitMs);
    });
}

ConnectionController::~ConnectionController() {
    quitting = true;
    if (rekeyRunnerOwner == this) {
        IPSecVPNContext::SetRekeyRunner(nullptr);
        rekeyRunnerOwner = nullptr;
    }
    statusTimer->stop();
    // Waits for the tunnel work in hand before the members its results would reach go.
    delete worker;
    worker = nullptr;
    delete sampler;
    sampler = nullptr;
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
    uploadTotal = downloadTotal = 0;
    lastUploadTotal = lastDownloadTotal = 0;
    haveReading = false;
    pollElapsed = 0;
    ++attempt;
    openVPNOutput.clear();
    wireGuardSampleReady = false;
    emit signalConnectedVPNChanged(CONNECT_STATUS_CONNECTING);
}

void ConnectionController::slotConnectVPNSuccess() {
    page->showConnected();
    enterStatus(CONNECT_STATUS_CONNECTED);
    logStatus(kConnectedLine);
    if (page->selectedVPNType() == VPN_TYPE_WIREGUARD) {
        // The first reading is under way before the first tick asks for it.
        postWireGuardSample();
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
    uploadTotal = downloadTotal = 0;
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
        ZRToastDialog::instance()->showToast(page, text, kToastDurationMs);
    }
}

void ConnectionController::beginTeardown() {
    ++teardowns;
}

void ConnectionController::endTeardown() {
    if (teardowns > 0) {
        --teardowns;
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
    // A disconnect is still ending its programs: the next step waits for it.
    if (teardowns > 0) {
        return;
    }
    const int status = page->currentStatus();
    const int vpnType = page->selectedVPNType();
    if (status == CONNECT_STATUS_NOT_CONNECTED || status == CONNECT_STATUS_DISCONNECTED) {
        logStatus(kConnectingLine);
        if (vpnType == VPN_TYPE_IPSEC) {
            slotConnectToIPSec();
        } else if (isOpenVPNKind(vpnType)) {
            startOpenVPNConnect();
        } else if (vpnType == VPN_TYPE_WIREGUARD) {
            slotConnectToWireGuard();
        }
        return;
    }
    if (status == CONNECT_STATUS_CONNECTING) {
        ProfileInfo current;
        app->GetCurrentProfile(&current);
        // The attempt is over from here on: whatever it still reports is dropped.
        ++attempt;
        beginTeardown();
        auto cancelled = [this] {
            endTeardown();
            slotCancelVPNConnect();
        };
        if (current.ProfileType == VPN_TYPE_IPSEC) {
            IPSecVPNContext* ipsec = app->GetIPSecVPNContext();
            stopPoll(ipsecPollTimer);
            ipsecAttempt.reset();
            worker->run(
                [ipsec] {
                    if (ipsec != nullptr) {
                        ipsec->Disconnect();
                    }
                },
                cancelled);
        } else if (isOpenVPNKind(current.ProfileType)) {
            stopPoll(openVPNPollTimer);
            endOpenVPN(cancelled);
        } else if (current.ProfileType == VPN_TYPE_WIREGUARD) {
            WireGuardContext* wireguard = app->GetWireGuardContext();
            const std::string name = current.ProfileName;
            worker->run(
                [wireguard, name] {
                    if (wireguard != nullptr) {
                        wireguard->Disconnect(name.c_str());
                    }
                },
                cancelled);
        } else {
            cancelled();
        }
        return;
    }
    if (status == CONNECT_STATUS_CONNECTED) {
        logStatus(kDisconnectLine);
        if (vpnType == VPN_TYPE_IPSEC) {
            slotDisconnectToIPSec();
        } else if (isOpenVPNKind(vpnType)) {
            slotDisconnectToOpenVPN();
        } else if (vpnType == VPN_TYPE_WIREGUARD) {
            slotDisconnectToWireGuard();
        } else {
            finishDisconnect();
        }
    }
}

void ConnectionController::finishDisconnect() {
    connectSeconds = 0;
    page->showConnectDuration(connectSeconds);
    appContext()->SetCurrentProfile(ProfileInfo());
}

// OpenVPN and SSL VPN

void ConnectionController::startOpenVPNConnect() {
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        return;
    }
    OpenVPNInfo info;
    appContext()->GetOpenVPNContext()->GetOpenVPNInfoByID(profile.ConfigID, &info);
    if (info.NeedPwd == 0 || (info.PromptPwd == 0 && info.UserName[0] != '\0' && info.UserPwd[0] != '\0')) {
        slotConnectToOpenVPN();
        return;
    }
    promptForCredentials(info, false);
}

void ConnectionController::promptForCredentials(const OpenVPNInfo& info, bool afterRefusal) {
    AccountLoginDialog dialog(page->selectedConfigId(), page->selectedVPNType(),
                              afterRefusal ? page : page->parentWidget());
    if (afterRefusal) {
        dialog.setWarningVisible(true);
    }
    if (info.RememberMe != 0) {
        dialog.setUserName(QString::fromUtf8(info.UserName));
        dialog.setPassword(QString::fromUtf8(info.UserPwd));
        dialog.setRememberChecked(true);
    } else {
        dialog.setRememberChecked(false);
    }
    bool answered = false;
    connect(&dialog, &AccountLoginDialog::signalConfirm, this, [this, &answered] {
        answered = true;
        slotConnectToOpenVPN();
    });
    connect(&dialog, &AccountLoginDialog::signalClose, this, [this, &answered, afterRefusal] {
        answered = true;
        if (afterRefusal) {
            slotConnectVPNFailed();
        } else {
            slotNoConnectVPN();
        }
    });
    const int refused = attempt;
    dialog.exec();
    // Esc closes the prompt without either signal: an attempt whose credentials were
    // refused must not stay connecting for ever.
    if (!answered && afterRefusal && attemptStillConnecting(refused)) {
        slotConnectVPNFailed();
    }
}

void ConnectionController::slotConnectToOpenVPN() {
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        return;
    }
    slotConnectVPNStart();
    const int current = attempt;
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    OpenVPNInfo info;
    if (openvpn->GetOpenVPNInfoByID(profile.ConfigID, &info) != 0) {
        CONNECT_LOG(kOpenVPNNoRecordLine, profile.ProfileName);
        slotConnectVPNFailed();
        return;
    }
    // The name becomes a file name and a program argument.
    if (!IsValidTunnelName(profile.ProfileName)) {
        CONNECT_LOG(kOpenVPNBadNameLine, profile.ProfileName);
        slotConnectVPNFailed();
        showToast(ZRStringConstant::tr(kProfileNameUnusableKey));
        return;
    }
    const std::string name = profile.ProfileName;
    std::shared_ptr<ProcessPipe> pipe = processPipe;
    worker->run<OpenVPNStartResult>(
        [openvpn, info, name, pipe] {
            OpenVPNStartResult result;
            const std::string folder =
                CreateDirPath(QString::fromUtf8(TunnelPaths::kOpenVPNConfigDir)).toStdString();
            if (info.NeedPwd != 0) {
                // The password stays on disk only while openvpn needs it, readable by the
                // owner alone.
                const std::string content = std::string(info.UserName) + "\n" + info.UserPwd + "\n";
                result.path = folder + "/" + TunnelPaths::kOpenVPNPasswordFile;
                if (!WriteFileWhole(result.path, content, kSecretFileMode)) {
                    result.outcome = OpenVPNStart::CredentialsNotWritten;
                    return result;
                }
            }
            const std::string config = folder + "/" + name + ".ovpn";
            if (!fileExists(config) && !WriteFileWhole(config, info.VPNConfig, kSecretFileMode)) {
                result.outcome = OpenVPNStart::ConfigNotWritten;
                result.path = config;
                return result;
            }
            const std::string arguments = std::string(TunnelPaths::kOpenVPNConfigArgument) + "\"" +
                                          TunnelPaths::kOpenVPNConfigDir + "/" + name + ".ovpn\"" +
                                          TunnelPaths::kOpenVPNTrailingArguments;
            CONNECT_LOG(kOpenVPNConnectLine, arguments.c_str());
            // A start that fails leaves no record of an earlier program to end by mistake.
            openvpn->SetProcessInfo(PROCESS_INFORMATION());
            PROCESS_INFORMATION started;
            if (pipe->StartProcess(TunnelPaths::kOpenVPNProgram, arguments.c_str(), &started) ==
                kResultSuccess) {
                openvpn->SetProcessInfo(started);
            }
            result.outcome = OpenVPNStart::Started;
            return result;
        },
        [this, current](OpenVPNStartResult result) {
            // A cancel has ended what this attempt started.
            if (!attemptStillConnecting(current)) {
                return;
            }
            if (result.outcome == OpenVPNStart::CredentialsNotWritten) {
                // A failed write ends the attempt as a failure, with a word, like the
                // ".ovpn" below: nothing was started.
                CONNECT_LOG(kOpenVPNFileFailedLine, result.path.c_str());
                slotConnectVPNFailed();
                showToast(ZRStringConstant::tr(kPrepareFailedKey));
                return;
            }
            if (result.outcome == OpenVPNStart::ConfigNotWritten) {
                CONNECT_LOG(kOpenVPNFileFailedLine, result.path.c_str());
                removeCredentialFile();
                slotConnectVPNFailed();
                showToast(ZRStringConstant::tr(kPrepareFailedKey));
                return;
            }
            pollTimer(openVPNPollTimer, "openVPNPollTimer", SLOT(slotGetVPNConnectMsg()))
                ->start(kConnectPollMs);
        });
}

void ConnectionController::slotGetVPNConnectMsg() {
    // Only while the attempt's poll runs: after its result or a cancel a tick reads nothing.
    if (!polling(openVPNPollTimer)) {
        return;
    }
    pollElapsed += kConnectPollMs;
    std::string text = processPipe->ReadAvailable();
    if (text == kResultFailed) {
        text.clear();
    }
    // What was read before is kept in part, so that a text split between two reads is seen.
    const std::string output = openVPNOutput + text;
    const QString outputText = QString::fromUtf8(output.data(), static_cast<int>(output.size()));
    if (outputText.contains(QLatin1String(TunnelPaths::kLocalAddressText))) {
        static const QRegularExpression dhcp(QStringLiteral(
            "Notified TAP-Windows driver to set a DHCP IP/netmask of "
            "(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})/(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})"));
        const QRegularExpressionMatch match = dhcp.match(outputText);
        if (match.hasMatch()) {
            page->showLocalAddress(match.captured(1), match.captured(2));
        }
    }
    int result = 0;
    if (output.find(TunnelPaths::kOpenVPNConnectedText) != std::string::npos) {
        result = CONNECT_OK;
    } else if (output.find(TunnelPaths::kNoTapAdapterText) != std::string::npos ||
               output.find(TunnelPaths::kTapAdaptersInUseText) != std::string::npos) {
        result = CONNECT_ERROR_NO_TAP;
    } else if (output.find(TunnelPaths::kAuthFailedText) != std::string::npos) {
        result = CONNECT_ERROR_AUTH;
    } else if (pollElapsed < kConnectPollLimitMs) {
        openVPNOutput =
            output.size() > kOpenVPNOutputTail ? output.substr(output.size() - kOpenVPNOutputTail) : output;
        return;
    } else {
        result = CONNECT_ERROR_TIMEOUT;
    }
    CONNECT_LOG(kOpenVPNFinishedLine, result);
    stopPoll(openVPNPollTimer);
    emit signalVPNConnectFinished(result);
}

void ConnectionController::removeCredentialFile() {
    const QString path = QString::fromStdString(credentialFilePath());
    if (QFileInfo(path).isFile() && !QFile::remove(path)) {
        CONNECT_LOG(kOpenVPNRemoveFailedLine, path.toUtf8().constData());
    }
}

void ConnectionController::endOpenVPN(std::function<void()> done) {
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    worker->run(
        [openvpn] {
            if (openvpn != nullptr) {
                ProcessPipe pipe;
                const PROCESS_INFORMATION info = openvpn->GetProcessInfo();
                if (info.dwProcessId > 1) {
                    pipe.KillProcess(info);
                }
                openvpn->SetProcessInfo(PROCESS_INFORMATION());
            }
            // Ended with the program that read it, whatever the attempt's outcome.
            const std::string path = credentialFilePath();
            if (fileExists(path) && ::unlink(path.c_str()) != 0) {
                CONNECT_LOG(kOpenVPNRemoveFailedLine, path.c_str());
            }
        },
        std::move(done));
}

void ConnectionController::slotVPNConnectFinished(int iErrorCode) {
    removeCredentialFile();
    const int current = attempt;
    if (iErrorCode == CONNECT_OK) {
        slotConnectVPNSuccess();
        page->setLocalAddressRowsVisible(true, true);
        managementPending.clear();
        managementConnected = managementClient.Connect(TunnelPaths::kManagementPort);
        return;
    }
    if (iErrorCode == CONNECT_ERROR_AUTH) {
        // With its credentials refused openvpn asks again and again: it is ended first.
        endOpenVPN([this, current] {
            if (!attemptStillConnecting(current)) {
                return;
            }
            OpenVPNInfo info;
            if (appContext()->GetOpenVPNContext()->GetOpenVPNInfoByID(page->selectedConfigId(), &info) != 0) {
                slotConnectVPNFailed();
                return;
            }
            promptForCredentials(info, true);
        });
        return;
    }
    if (iErrorCode == CONNECT_ERROR_NO_TAP) {
        // The program that found no adapter is ended before the adapter's Retry starts
        // another one.
        endOpenVPN([this, current] {
            if (!attemptStillConnecting(current)) {
                return;
            }
            slotConnectVPNFailed();
            ZRErrorDialog dialog(page);
            dialog.setButtonsVisible(true);
            connect(&dialog, SIGNAL(signalRetry()), this, SLOT(slotAddTapAndReconnect()));
            dialog.exec();
        });
        return;
    }
    endOpenVPN([this, current] {
        if (attemptStillConnecting(current)) {
            slotConnectVPNFailed();
        }
    });
}

void ConnectionController::slotAddTapAndReconnect() {
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    worker->run<int>([openvpn] { return openvpn->AddTapAdapter(); },
                     [this](int created) {
                         if (quitting) {
                             return;
                         }
                         if (created != 0) {
                             ZRErrorDialog dialog(page);
                             dialog.setContent(QString::fromLatin1(kTapCreationFailedText));
                             dialog.exec();
                             return;
                         }
                         // Unless another connect began while the script ran.
                         const int status = page->currentStatus();
                         if (status == CONNECT_STATUS_NOT_CONNECTED ||
                             status == CONNECT_STATUS_DISCONNECTED) {
                             slotConnectToOpenVPN();
                         }
                     });
}

void ConnectionController::closeManagement() {
    managementClient.Close();
    managementConnected = false;
    managementPending.clear();
}

void ConnectionController::slotDisconnectToOpenVPN() {
    CONNECT_LOG("%s", kOpenVPNDisconnectLine);
    closeManagement();
    beginTeardown();
    endOpenVPN([this] {
        endTeardown();
        slotNoConnectVPN();
        page->setLocalAddressRowsVisible(false, false);
        finishDisconnect();
    });
}

// IPsec

void ConnectionController::slotConnectToIPSec() {
    slotConnectVPNStart();
    const int current = attempt;
    std::string path;
    if (!projectPath(&path)) {
        CONNECT_LOG("%s", kIPSecNoPathLine);
        slotConnectVPNFailed();
        return;
    }
    ProfileInfo profile;
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    IPSecVPNInfo info;
    if (ipsec == nullptr || !findSelectedProfile(&profile) ||
        ipsec->GetIPSecInfoByID(profile.ConfigID, &info) != 0) {
        CONNECT_LOG("%s", kIPSecNoRecordLine);
        slotConnectVPNFailed();
        return;
    }
    worker->run<IPSecPrepared>(
        [ipsec, info, path]() mutable {
            IPSecPrepared prepared;
            prepared.code = ipsec->Connect(&info, path);
            if (prepared.code == 0) {
                prepared.attempt = ipsec->GetConnectAttempt();
            }
            return prepared;
        },
        [this, current](IPSecPrepared prepared) {
            // A cancel asked after this preparation tears down what it set up.
            if (!attemptStillConnecting(current)) {
                return;
            }
            if (prepared.code != 0) {
                slotConnectVPNFailed();
                CONNECT_LOG("%s", kIPSecPrepareFailedLine);
                return;
            }
            ipsecAttempt = prepared.attempt;
            pollTimer(ipsecPollTimer, "ipsecPollTimer", SLOT(slotGetIPSecVPNConnectMsg()))
                ->start(kConnectPollMs);
        });
}

void ConnectionController::slotGetIPSecVPNConnectMsg() {
    if (!polling(ipsecPollTimer)) {
        return;
    }
    pollElapsed += kConnectPollMs;
    if (!ipsecAttempt) {
        stopPoll(ipsecPollTimer);
        return;
    }
    int result = 0;
    // The worker writes its result before its finished flag.
    if (ipsecAttempt->finished.load()) {
        result = ipsecAttempt->result.load();
    } else if (pollElapsed < kConnectPollLimitMs) {
        return;
    } else {
        // Also tells the worker to make no further attempt.
        ipsecAttempt->finished.store(true);
        result = CONNECT_ERROR_TIMEOUT;
    }
    CONNECT_LOG(kIPSecFinishedLine, result);
    stopPoll(ipsecPollTimer);
    emit signalIPSecVPNConnectFinished(result);
}

void ConnectionController::slotIPSecVPNConnectFinished(int iErrorCode) {
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    ipsecAttempt.reset();
    if (iErrorCode == CONNECT_OK && ipsec != nullptr && ipsec->StartRekeyTimer() == 0) {
        slotConnectVPNSuccess();
        page->setLocalAddressRowsVisible(true, false);
        return;
    }
    const int current = attempt;
    std::string path;
    if (!projectPath(&path) && ipsec != nullptr) {
        // The working folder has gone: the teardown uses the folder the connect used.
        path = ipsec->GetProjectPath();
    }
    if (path.empty() || ipsec == nullptr) {
        CONNECT_LOG("%s", kIPSecNoPathOnResultLine);
        slotConnectVPNFailed();
        return;
    }
    IPSecVPNInfo info;
    ipsec->GetIPSecInfoByID(page->selectedConfigId(), &info);
    const std::string policy = info.GetPolicyName();
    worker->run([ipsec, policy, path] { ipsec->Terminate(policy, path); },
                [this, current, iErrorCode] {
                    if (!attemptStillConnecting(current)) {
                        return;
                    }
                    slotConnectVPNFailed();
                    showToast(ZRStringConstant::tr(
                        iErrorCode == CONNECT_ERROR_TIMEOUT ? kTimeoutToastKey : kIPSecFailureToastKey));
                });
}

void ConnectionController::slotDisconnectToIPSec() {
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    std::string path;
    if (!projectPath(&path) && ipsec != nullptr) {
        path = ipsec->GetProjectPath();
    }
    if (path.empty() || ipsec == nullptr) {
        CONNECT_LOG("%s", kIPSecNoPathLine);
        return;
    }
    CONNECT_LOG("%s", kIPSecDisconnectLine);
    // The profile editor stores the profile's name as its policy name.
    const std::string policy = page->selectedProfileName();
    beginTeardown();
    worker->run([ipsec, policy, path] { ipsec->Terminate(policy, path); },
                [this] {
                    endTeardown();
                    slotNoConnectVPN();
                    finishDisconnect();
                });
}

// WireGuard

void ConnectionController::slotConnectToWireGuard() {
    slotConnectVPNStart();
    const int current = attempt;
    std::string path;
    if (!projectPath(&path)) {
        CONNECT_LOG("%s", kWireGuardNoPathLine);
        slotConnectVPNFailed();
        showToast(ZRStringConstant::tr(kPrepareFailedKey));
        return;
    }
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        slotConnectVPNFailed();
        return;
    }
    const std::string name = profile.ProfileName;
    if (!IsValidTunnelName(profile.ProfileName)) {
        CONNECT_LOG(kWireGuardConfigFailedLine, profile.ProfileName);
        slotConnectVPNFailed();
        showToast(ZRStringConstant::tr(kProfileNameUnusableKey));
        return;
    }
    WireGuardContext* wireguard = appContext()->GetWireGuardContext();
    WireGuardVPNInfo info;
    const bool haveRow = wireguard->GetWireGuardInfoByID(profile.ConfigID, &info) == 0;
    const std::string config =
        path + TunnelPaths::kWireGuardConfigDirSuffix + name + TunnelPaths::kWireGuardConfigExtension;
    worker->run<bool>(
        [wireguard, profile, info, haveRow, config, path, name] {
            // An existing file is used as it is.
            if (!fileExists(config) && (!haveRow || wireguard->WriteWireGuardConfig(profile, &info) != 0)) {
                return false;
            }
            const std::string command =
                WireGuardInstallCommandLine(QString::fromStdString(path), name.c_str());
            CONNECT_LOG(kWireGuardConnectLine, command.c_str());
            ProcessPipe pipe;
            pipe.ExecuteCommand(command.c_str(), true, nullptr);
            WireGuardProbe::NudgePeer(config);
            return true;
        },
        [this, current, name](bool installed) {
            if (!attemptStillConnecting(current)) {
                return;
            }
            if (!installed) {
                CONNECT_LOG(kWireGuardConfigFailedLine, name.c_str());
                slotConnectVPNFailed();
                showToast(ZRStringConstant::tr(kPrepareFailedKey));
                return;
            }
            // The page stays live through the wait; a cancel meanwhile ends the attempt.
            QTimer::singleShot(kWireGuardWaitMs, this, [this, current, name] {
                if (attemptStillConnecting(current)) {
                    checkWireGuardTunnel(current, name);
                }
            });
        });
}

void ConnectionController::checkWireGuardTunnel(int which, const std::string& tunnelName) {
    WireGuardContext* wireguard = appContext()->GetWireGuardContext();
    worker->run<std::string>(
        [tunnelName] {
            ProcessPipe pipe;
            return pipe.ExecuteCommand(WireGuardShowCommandLine(tunnelName.c_str()).c_str(), true, nullptr);
        },
        [this, which, tunnelName, wireguard](std::string output) {
            if (!attemptStillConnecting(which)) {
                return;
            }
            const TrafficReadings::WireGuardTunnelState state =
                TrafficReadings::ReadWireGuardTunnelState(output, tunnelName);
            if (state.listed && state.handshake) {
                slotConnectVPNSuccess();
                return;
            }
            // Not a working tunnel: what was installed goes, and the attempt fails.
            CONNECT_LOG(state.listed ? kWireGuardNoAnswerLine : kWireGuardNotUpLine, tunnelName.c_str());
            const bool listed = state.listed;
            worker->run([wireguard, tunnelName] { wireguard->Disconnect(tunnelName.c_str()); },
                        [this, which, listed] {
                            if (!attemptStillConnecting(which)) {
                                return;
                            }
                            slotConnectVPNFailed();
                            showToast(
                                ZRStringConstant::tr(listed ? kWireGuardNoAnswerKey : kWireGuardNotUpKey));
                        });
        });
}

void ConnectionController::slotDisconnectToWireGuard() {
    WireGuardContext* wireguard = appContext()->GetWireGuardContext();
    const std::string name = page->selectedProfileName();
    beginTeardown();
    worker->run([wireguard, name] { wireguard->Disconnect(name.c_str()); },
                [this] {
                    endTeardown();
                    slotNoConnectVPN();
                    finishDisconnect();
                });
}

// Traffic

void ConnectionController::setClock(std::function<QDateTime()> value) {
    clock = std::move(value);
}

void ConnectionController::showTotals() {
    if (haveReading) {
        page->showTrafficTotals(uploadTotal, downloadTotal);
    }
}

void ConnectionController::slotGetConnectStatusAndFlow() {
    if (page->currentStatus() == CONNECT_STATUS_CONNECTED) {
        ++connectSeconds;
        page->showConnectDuration(connectSeconds);
        // No reading while a disconnect ends the tunnel's programs.
        if (teardowns == 0) {
            const int vpnType = page->selectedVPNType();
            if (isOpenVPNKind(vpnType)) {
                slotGetOpenVPNConnectInfo();
            } else if (vpnType == VPN_TYPE_WIREGUARD) {
                slotGetWireGuardConnectInfo();
            }
        }
        showTotals();
        const int hour = clock().time().hour();
        if (hour >= 0 && hour < VPNBarChart::HourCount) {
            const double up = uploadTotal - lastUploadTotal;
            const double down = downloadTotal - lastDownloadTotal;
            if (up >= kSmallestIncrease) {
                hourlyUpload[hour] += up;
            }
            if (down >= kSmallestIncrease) {
                hourlyDownload[hour] += down;
            }
        }
        page->showHourlyTraffic(hourlyUpload, hourlyDownload);
        lastUploadTotal = uploadTotal;
        lastDownloadTotal = downloadTotal;
    }
    page->publishConnectInfo();
}

void ConnectionController::slotGetOpenVPNConnectInfo() {
    if (!managementConnected) {
        return;
    }
    managementClient.RequestLoadStats();
    // The reply read now is the answer to an earlier request; the one to this request is
    // read at the next tick.
    const QString lines = TrafficReadings::TakeCompleteLines(managementPending, managementClient.ReadReply());
    if (managementPending.size() > kManagementLineLimit) {
        managementPending.clear();
    }
    const TrafficReadings::LoadStats stats = TrafficReadings::ParseLoadStats(lines);
    // A reply without the counters keeps the totals read before.
    if (stats.hasDownload) {
        downloadTotal = stats.downloadMiB;
    }
    if (stats.hasUpload) {
        uploadTotal = stats.uploadMiB;
    }
    if (stats.hasDownload || stats.hasUpload) {
        haveReading = true;
        showTotals();
    }
}

void ConnectionController::slotGetWireGuardConnectInfo() {
    if (wireGuardSampleReady) {
        wireGuardSampleReady = false;
        double received = 0;
        double sent = 0;
        if (TrafficReadings::ParseWireGuardTransfer(wireGuardSample, page->selectedProfileName(), &received,
                                                    &sent)) {
            downloadTotal = received;
            uploadTotal = sent;
            haveReading = true;
            showTotals();
        }
    }
    postWireGuardSample();
}

void ConnectionController::postWireGuardSample() {
    // One reading at a time: a "wg show" that hangs holds up only the readings.
    if (wireGuardSampleRunning) {
        return;
    }
    wireGuardSampleRunning = true;
    const int current = attempt;
    const std::string name = page->selectedProfileName();
    sampler->run<std::string>(
        [name] {
            ProcessPipe pipe;
            return pipe.ExecuteCommand(WireGuardShowCommandLine(name.c_str()).c_str(), true, nullptr);
        },
        [this, current](std::string output) {
            wireGuardSampleRunning = false;
            if (current != attempt || page->currentStatus() != CONNECT_STATUS_CONNECTED) {
                return;
            }
            wireGuardSample = std::move(output);
            wireGuardSampleReady = true;
        });
}

// Polls

QTimer* ConnectionController::pollTimer(QTimer*& timer, const char* name, const char* slot) {
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        connect(timer, SIGNAL(timeout()), this, slot);
    }
    return timer;
}

bool ConnectionController::polling(QTimer* timer) {
    return timer != nullptr && timer->isActive();
}

void ConnectionController::stopPoll(QTimer* timer) {
    if (timer != nullptr) {
        timer->stop();
    }
}

// The main window's close

void ConnectionController::disconnectTunnel(const ProfileInfo& profile) {
    quitting = true;
    ++attempt;
    stopPoll(openVPNPollTimer);
    stopPoll(ipsecPollTimer);
    AppContext* app = appContext();
    if (profile.ProfileType == VPN_TYPE_IPSEC) {
        IPSecVPNContext* ipsec = app->GetIPSecVPNContext();
        worker->post([ipsec] {
            if (ipsec != nullptr) {
                ipsec->Terminate(ipsec->GetPolicyName(), ipsec->GetProjectPath());
                ipsec->StopAll();
            }
        });
    } else if (isOpenVPNKind(profile.ProfileType)) {
        closeManagement();
        endOpenVPN(nullptr);
    } else if (profile.ProfileType == VPN_TYPE_WIREGUARD) {
        WireGuardContext* wireguard = app->GetWireGuardContext();
        const std::string name = profile.ProfileName;
        worker->post([wireguard, name] {
            if (wireguard != nullptr) {
                wireguard->Disconnect(name.c_str());
            }
        });
    }
    finishTunnelWork(kQuitWaitMs);
}

void ConnectionController::cancelConnect(const ProfileInfo& profile) {
    // This attempt is over: nothing it still reports is shown.
    quitting = true;
    ++attempt;
    stopPoll(openVPNPollTimer);
    stopPoll(ipsecPollTimer);
    AppContext* app = appContext();
    if (profile.ProfileType == VPN_TYPE_IPSEC) {
        IPSecVPNContext* ipsec = app->GetIPSecVPNContext();
        ipsecAttempt.reset();
        worker->post([ipsec] {
            if (ipsec != nullptr) {
                ipsec->Disconnect();
            }
        });
    } else if (isOpenVPNKind(profile.ProfileType)) {
        endOpenVPN(nullptr);
    } else if (profile.ProfileType == VPN_TYPE_WIREGUARD) {
        WireGuardContext* wireguard = app->GetWireGuardContext();
        const std::string name = profile.ProfileName;
        worker->post([wireguard, name] {
            if (wireguard != nullptr) {
                wireguard->Disconnect(name.c_str());
            }
        });
    }
    finishTunnelWork(kQuitWaitMs);
}

bool ConnectionController::finishTunnelWork(int timeoutMs) {
    return worker == nullptr || worker->waitIdle(timeoutMs);
}

// What the controller holds

int ConnectionController::currentAttempt() const {
    return attempt;
}

double ConnectionController::uploadTotalMiB() const {
    return uploadTotal;
}

double ConnectionController::downloadTotalMiB() const {
    return downloadTotal;
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
    return managementConnected;
}
