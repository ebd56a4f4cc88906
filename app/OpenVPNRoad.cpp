#include "OpenVPNRoad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "AccountLoginDialog.h"
#include "AppConstants.h"
#include "AppContext.h"
#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "FileWrite.h"
#include "HomeWidget.h"
#include "OpenVPNConfigFilter.h"
#include "OpenVPNContext.h"
#include "OpenVPNRunFolder.h"
#include "TrafficReadings.h"
#include "TunnelPaths.h"
#include "TunnelWorker.h"
#include "WireGuardContext.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace AppConstants;

#define CONNECT_LOG(...) ZRWLog(kLogModule, kLogLevel, __VA_ARGS__)

namespace {

constexpr mode_t kSecretFileMode = 0600;

std::string credentialFilePath() {
    return std::string(TunnelPaths::kOpenVPNConfigDir) + "/" + TunnelPaths::kOpenVPNPasswordFile;
}

// How the attempt's preparation on the worker ended.
enum class OpenVPNStart { Started, ManagementNotPrepared, CredentialsNotWritten, ConfigNotWritten };
struct OpenVPNStartResult {
    OpenVPNStart outcome = OpenVPNStart::Started;
    std::string path;
    std::string managementPassword;
};

// Keeps the last `limit` bytes of what was said.
void appendTail(std::string& tail, const std::string& text, size_t limit) {
    tail += text;
    if (tail.size() > limit) {
        tail.erase(0, tail.size() - limit);
    }
}

// Why openvpn ended, from what it said last: the reason whose words come latest.
const char* reasonOfEnd(const std::string& said) {
    struct Reason {
        const char* key;
        std::vector<const char*> texts;
    };
    using namespace TunnelPaths;
    const Reason reasons[] = {
        {kOpenVPNPortInUseKey, {std::begin(kPortInUseTexts), std::end(kPortInUseTexts)}},
        {kOpenVPNAuthFailedKey, {kAuthFailedText}},
        {kOpenVPNTlsErrorKey, {std::begin(kTlsErrorTexts), std::end(kTlsErrorTexts)}},
        {kOpenVPNNoAnswerKey, {std::begin(kNoAnswerTexts), std::end(kNoAnswerTexts)}},
        {kOpenVPNConfigErrorKey, {std::begin(kConfigErrorTexts), std::end(kConfigErrorTexts)}},
    };
    const char* key = kOpenVPNEndedKey;
    size_t latest = 0;
    bool found = false;
    for (const Reason& reason : reasons) {
        for (const char* text : reason.texts) {
            const size_t at = said.rfind(text);
            if (at != std::string::npos && (!found || at > latest)) {
                latest = at;
                found = true;
                key = reason.key;
            }
        }
    }
    return key;
}

} // namespace

OpenVPNRoad::OpenVPNRoad(ConnectionController& controller)
    : TunnelRoad(controller), processPipe(std::make_shared<ProcessPipe>()) {}

OpenVPNRoad::~OpenVPNRoad() = default;

bool OpenVPNRoad::isManagementConnected() const {
    return managementConnected;
}

void OpenVPNRoad::beginAttempt() {
    pollElapsed = 0;
    output.clear();
    endTail.clear();
    endReasonKey = nullptr;
}

void OpenVPNRoad::forgetTypedPassword() {
    hasTypedPassword = false;
    typedPassword.clear();
}

void OpenVPNRoad::dropAttempt() {
    stopPoll(pollTimer);
}

// The connect

void OpenVPNRoad::connect() {
    forgetTypedPassword();
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        return;
    }
    OpenVPNInfo info;
    appContext()->GetOpenVPNContext()->GetOpenVPNInfoByID(profile.ConfigID, &info);
    if (info.NeedPwd == 0 || (info.PromptPwd == 0 && info.UserName[0] != '\0' && info.UserPwd[0] != '\0')) {
        startAttempt();
        return;
    }
    promptForCredentials(info, false);
}

void OpenVPNRoad::promptForCredentials(const OpenVPNInfo& info, bool afterRefusal) {
    AccountLoginDialog dialog(page()->selectedConfigId(), page()->selectedVPNType(),
                              afterRefusal ? page() : page()->parentWidget());
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
    bool confirmed = false;
    QObject::connect(&dialog, &AccountLoginDialog::signalConfirm, &controller, [&] {
        answered = true;
        confirmed = true;
        hasTypedPassword = true;
        typedPassword = dialog.typedPassword();
        controller.slotConnectToOpenVPN();
    });
    QObject::connect(&dialog, &AccountLoginDialog::signalClose, &controller, [this, &answered, afterRefusal] {
        answered = true;
        if (afterRefusal) {
            controller.slotConnectVPNFailed();
        } else {
            controller.slotNoConnectVPN();
        }
    });
    const int refused = currentAttempt();
    dialog.exec();
    // Esc closes the prompt without either signal: an attempt whose credentials were
    // refused must not stay connecting for ever.
    if (!answered && afterRefusal && stillConnecting(refused)) {
        controller.slotConnectVPNFailed();
    }
    // A password typed before is of no further use once the prompt is given up.
    if (!confirmed) {
        forgetTypedPassword();
    }
}

void OpenVPNRoad::startAttempt() {
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        return;
    }
    controller.slotConnectVPNStart();
    const int current = currentAttempt();
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    OpenVPNInfo info;
    if (openvpn->GetOpenVPNInfoByID(profile.ConfigID, &info) != 0) {
        CONNECT_LOG(kOpenVPNNoRecordLine, profile.ProfileName);
        controller.slotConnectVPNFailed();
        return;
    }
    // The name becomes a file name and a program argument.
    if (!IsValidTunnelName(profile.ProfileName)) {
        CONNECT_LOG(kOpenVPNBadNameLine, profile.ProfileName);
        controller.slotConnectVPNFailed();
        showToast(kProfileNameUnusableKey);
        return;
    }
    const std::string name = profile.ProfileName;
    // The password typed for this connect, else the one the store keeps.
    const std::string password =
        hasTypedPassword ? typedPassword.toUtf8().toStdString() : std::string(info.UserPwd);
    std::shared_ptr<ProcessPipe> pipe = processPipe;
    worker()->run<OpenVPNStartResult>(
        [openvpn, info, name, password, pipe] {
            OpenVPNStartResult result;
            // Only the client may use openvpn's management interface: it asks for a
            // password that this connect makes.
            OpenVPNRunFolder::ManagementSecret secret;
            if (!OpenVPNRunFolder::MakeManagementSecret(&secret)) {
                result.outcome = OpenVPNStart::ManagementNotPrepared;
                return result;
            }
            result.managementPassword = secret.password;
            const std::string folder =
                CreateDirPath(QString::fromUtf8(TunnelPaths::kOpenVPNConfigDir)).toStdString();
            if (info.NeedPwd != 0) {
                // The password stays on disk only while openvpn needs it, readable by the
                // owner alone.
                const std::string content = std::string(info.UserName) + "\n" + password + "\n";
                result.path = folder + "/" + TunnelPaths::kOpenVPNPasswordFile;
                if (!WriteFileWhole(result.path, content, kSecretFileMode)) {
                    result.outcome = OpenVPNStart::CredentialsNotWritten;
                    return result;
                }
            }
            const std::string config = folder + "/" + name + ".ovpn";
            // The copy holds what openvpn may read of the stored text: a directive a profile
            // may not make openvpn follow (a profile stored before such lines were refused)
            // is not written, with a log line. The bundle's openvpn reads every copy through
            // the same filter again, which covers a copy already on disk. A text the filter
            // cannot read at all is written as it stands, for the bundle's filter to refuse
            // in openvpn's words.
            if (!fileExists(config)) {
                const OpenVPNConfigFilter::Result filtered = OpenVPNConfigFilter::Filter(info.VPNConfig);
                if (filtered.ok) {
                    for (const OpenVPNConfigFilter::DroppedDirective& dropped : filtered.dropped) {
                        CONNECT_LOG(kOpenVPNLeftOutLine, dropped.line, dropped.directive.c_str());
                    }
                }
                if (!WriteFileWhole(config, filtered.ok ? filtered.config : std::string(info.VPNConfig),
                                    kSecretFileMode)) {
                    result.outcome = OpenVPNStart::ConfigNotWritten;
                    result.path = config;
                    return result;
                }
            }
            const std::string arguments = std::string(TunnelPaths::kOpenVPNConfigArgument) + "\"" +
                                          TunnelPaths::kOpenVPNConfigDir + "/" + name + ".ovpn\"" +
                                          TunnelPaths::kOpenVPNTrailingArguments + " \"" + secret.path + "\"";
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
            if (!stillConnecting(current)) {
                return;
            }
            managementPassword = QString::fromStdString(result.managementPassword);
            if (result.outcome == OpenVPNStart::ManagementNotPrepared) {
                controller.slotConnectVPNFailed();
                showToast(kPrepareFailedKey);
                return;
            }
            if (result.outcome == OpenVPNStart::CredentialsNotWritten) {
                // A failed write ends the attempt as a failure, with a word, like the
                // ".ovpn" below: nothing was started.
                CONNECT_LOG(kOpenVPNFileFailedLine, result.path.c_str());
                controller.slotConnectVPNFailed();
                showToast(kPrepareFailedKey);
                return;
            }
            if (result.outcome == OpenVPNStart::ConfigNotWritten) {
                CONNECT_LOG(kOpenVPNFileFailedLine, result.path.c_str());
                removeCredentialFile();
                controller.slotConnectVPNFailed();
                showToast(kPrepareFailedKey);
                return;
            }
            startPoll(pollTimer, "openVPNPollTimer", SLOT(slotGetVPNConnectMsg()));
        });
}

void OpenVPNRoad::pollTick() {
    // Only while the attempt's poll runs: after its result or a cancel a tick reads nothing.
    if (!polling(pollTimer)) {
        return;
    }
    pollElapsed += timings().connectPollMs;
    std::string text = processPipe->ReadAvailable();
    if (text == kResultFailed) {
        text.clear();
    }
    // All that waits is read, not one piece of it a tick, so that a talkative openvpn's
    // "connected" is seen in time; once openvpn has ended, its last words say why.
    const bool ended = processPipe->OutputEnded();
    const std::string more = processPipe->TakeOutput();
    if (!more.empty()) {
        CONNECT_LOG(kOpenVPNOutputLine, more.c_str());
        text += more;
    }
    appendTail(endTail, text, kOpenVPNEndTail);
    // What was read before is kept in part, so that a text split between two reads is seen.
    const std::string read = output + text;
    const QString readText = QString::fromUtf8(read.data(), static_cast<int>(read.size()));
    if (readText.contains(QLatin1String(TunnelPaths::kLocalAddressText))) {
        static const QRegularExpression dhcp(QStringLiteral(
            "Notified TAP-Windows driver to set a DHCP IP/netmask of "
            "(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})/(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})"));
        const QRegularExpressionMatch match = dhcp.match(readText);
        if (match.hasMatch()) {
            page()->showLocalAddress(match.captured(1), match.captured(2));
        }
    }
    int result = 0;
    if (read.find(TunnelPaths::kOpenVPNConnectedText) != std::string::npos) {
        result = CONNECT_OK;
    } else if (read.find(TunnelPaths::kNoTapAdapterText) != std::string::npos ||
               read.find(TunnelPaths::kTapAdaptersInUseText) != std::string::npos) {
        result = CONNECT_ERROR_NO_TAP;
    } else if (read.find(TunnelPaths::kAuthFailedText) != std::string::npos) {
        result = CONNECT_ERROR_AUTH;
    } else if (ended) {
        // Not sixteen seconds of connecting to a program that has gone.
        result = CONNECT_ERROR_ENDED;
        endReasonKey = reasonOfEnd(endTail);
        CONNECT_LOG(kOpenVPNEndedLine, endTail.c_str());
    } else if (pollElapsed < timings().connectPollLimitMs) {
        output = read.size() > kOpenVPNOutputTail ? read.substr(read.size() - kOpenVPNOutputTail) : read;
        return;
    } else {
        result = CONNECT_ERROR_TIMEOUT;
    }
    CONNECT_LOG(kOpenVPNFinishedLine, result);
    stopPoll(pollTimer);
    emit controller.signalVPNConnectFinished(result);
}

void OpenVPNRoad::finish(int result) {
    removeCredentialFile();
    const int current = currentAttempt();
    if (result == CONNECT_OK) {
        forgetTypedPassword();
        endTail.clear();
        controller.slotConnectVPNSuccess();
        page()->setLocalAddressRowsVisible(true, true);
        managementPending.clear();
        managementConnected = managementClient.Connect(TunnelPaths::kManagementPort, managementPassword);
        return;
    }
    if (result == CONNECT_ERROR_ENDED) {
        const char* reason = endReasonKey != nullptr ? endReasonKey : kOpenVPNEndedKey;
        forgetTypedPassword();
        endOpenVPN([this, current, reason] {
            if (stillConnecting(current)) {
                controller.slotConnectVPNFailed();
                showToast(reason);
            }
        });
        return;
    }
    if (result == CONNECT_ERROR_AUTH) {
        // With its credentials refused openvpn asks again and again: it is ended first.
        endOpenVPN([this, current] {
            if (!stillConnecting(current)) {
                return;
            }
            OpenVPNInfo info;
            if (appContext()->GetOpenVPNContext()->GetOpenVPNInfoByID(page()->selectedConfigId(), &info) !=
                0) {
                controller.slotConnectVPNFailed();
                return;
            }
            promptForCredentials(info, true);
        });
        return;
    }
    if (result == CONNECT_ERROR_NO_TAP) {
        // The program that found no adapter is ended before the adapter's Retry starts
        // another one.
        endOpenVPN([this, current] {
            if (!stillConnecting(current)) {
                return;
            }
            controller.slotConnectVPNFailed();
            ZRErrorDialog dialog(page());
            dialog.setButtonsVisible(true);
            QObject::connect(&dialog, SIGNAL(signalRetry()), &controller, SLOT(slotAddTapAndReconnect()));
            dialog.exec();
        });
        return;
    }
    forgetTypedPassword();
    endOpenVPN([this, current] {
        if (stillConnecting(current)) {
            controller.slotConnectVPNFailed();
        }
    });
}

void OpenVPNRoad::addTapAndReconnect() {
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    worker()->run<int>([openvpn] { return openvpn->AddTapAdapter(); },
                       [this](int created) {
                           if (quitting()) {
                               return;
                           }
                           if (created != 0) {
                               ZRErrorDialog dialog(page());
                               dialog.setContent(ZRStringConstant::tr(kTapCreationFailedKey));
                               dialog.exec();
                               return;
                           }
                           // Unless another connect began while the script ran.
                           const int status = page()->currentStatus();
                           if (status == CONNECT_STATUS_NOT_CONNECTED ||
                               status == CONNECT_STATUS_DISCONNECTED) {
                               controller.slotConnectToOpenVPN();
                           }
                       });
}

// The end

void OpenVPNRoad::removeCredentialFile() {
    const QString path = QString::fromStdString(credentialFilePath());
    if (QFileInfo(path).isFile() && !QFile::remove(path)) {
        CONNECT_LOG(kOpenVPNRemoveFailedLine, path.toUtf8().constData());
    }
    // openvpn read its management password when it started.
    OpenVPNRunFolder::RemoveManagementSecrets();
}

void OpenVPNRoad::endOpenVPN(std::function<void()> done) {
    OpenVPNContext* openvpn = appContext()->GetOpenVPNContext();
    worker()->run(
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
            OpenVPNRunFolder::RemoveManagementSecrets();
            // openvpn takes its DNS away as it ends, unless it was killed or had given up
            // its rights.
            OpenVPNRunFolder::WithdrawTunnelDNS();
        },
        std::move(done));
}

void OpenVPNRoad::closeManagement() {
    managementClient.Close();
    managementConnected = false;
    managementPending.clear();
}

void OpenVPNRoad::cancel(const std::string&, std::function<void()> done) {
    endOpenVPN(std::move(done));
}

bool OpenVPNRoad::disconnect(const std::string&, std::function<void()> done) {
    CONNECT_LOG("%s", kOpenVPNDisconnectLine);
    closeManagement();
    forgetTypedPassword();
    if (!done) {
        endOpenVPN(nullptr);
        return true;
    }
    endOpenVPN([this, done] {
        done();
        page()->setLocalAddressRowsVisible(false, false);
    });
    return true;
}

// openvpn's end while connected

bool OpenVPNRoad::takeOutput() {
    // Looked at first: what openvpn wrote before its end is all there once it has ended.
    const bool ended = processPipe->OutputEnded();
    appendTail(endTail, processPipe->TakeOutput(), kOpenVPNEndTail);
    return ended;
}

void OpenVPNRoad::connectionEnded() {
    const char* reason = reasonOfEnd(endTail);
    CONNECT_LOG(kOpenVPNEndedLine, endTail.c_str());
    closeManagement();
    controller.slotConnectVPNFailed();
    forgetConnection();
    page()->setLocalAddressRowsVisible(false, false);
    showToast(reason);
    // The credential file, the management password and the tunnel's DNS go, before any
    // next connect starts openvpn again.
    endOpenVPN(nullptr);
}

// Traffic

bool OpenVPNRoad::readTraffic(TrafficTotals* totals) {
    // What openvpn said is taken each second (its last words tell why it ended), and its
    // end is seen.
    if (takeOutput()) {
        connectionEnded();
        return false;
    }
    if (!managementConnected) {
        return false;
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
        totals->download = stats.downloadMiB;
    }
    if (stats.hasUpload) {
        totals->upload = stats.uploadMiB;
    }
    return stats.hasDownload || stats.hasUpload;
}
