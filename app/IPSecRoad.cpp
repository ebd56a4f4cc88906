#include "IPSecRoad.h"

#include <QTimer>

#include "AppConstants.h"
#include "AppContext.h"
#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "HomeWidget.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "TunnelWorker.h"
#include "zrwlog.h"

using namespace AppConstants;

#define CONNECT_LOG(...) ZRWLog(kLogModule, kLogLevel, __VA_ARGS__)

namespace {

struct IPSecPrepared {
    int code = -1;
    std::shared_ptr<IPSecConnectAttempt> attempt;
};

} // namespace

IPSecRoad::IPSecRoad(ConnectionController& controller) : TunnelRoad(controller) {}

IPSecRoad::~IPSecRoad() = default;

void IPSecRoad::beginAttempt() {
    pollElapsed = 0;
}

void IPSecRoad::dropAttempt() {
    stopPoll(pollTimer);
    connectAttempt.reset();
}

void IPSecRoad::connect() {
    controller.slotConnectVPNStart();
    const int current = currentAttempt();
    std::string path;
    if (!projectPath(&path)) {
        CONNECT_LOG("%s", kIPSecNoPathLine);
        controller.slotConnectVPNFailed();
        return;
    }
    ProfileInfo profile;
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    IPSecVPNInfo info;
    if (ipsec == nullptr || !findSelectedProfile(&profile) ||
        ipsec->GetIPSecInfoByID(profile.ConfigID, &info) != 0) {
        CONNECT_LOG("%s", kIPSecNoRecordLine);
        controller.slotConnectVPNFailed();
        return;
    }
    worker()->run<IPSecPrepared>(
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
            if (!stillConnecting(current)) {
                return;
            }
            if (prepared.code != 0) {
                controller.slotConnectVPNFailed();
                CONNECT_LOG("%s", kIPSecPrepareFailedLine);
                return;
            }
            connectAttempt = prepared.attempt;
            startPoll(pollTimer, "ipsecPollTimer", SLOT(slotGetIPSecVPNConnectMsg()));
        });
}

void IPSecRoad::pollTick() {
    if (!polling(pollTimer)) {
        return;
    }
    pollElapsed += timings().connectPollMs;
    if (!connectAttempt) {
        stopPoll(pollTimer);
        return;
    }
    int result = 0;
    // The worker writes its result before its finished flag.
    if (connectAttempt->finished.load()) {
        result = connectAttempt->result.load();
    } else if (pollElapsed < timings().connectPollLimitMs) {
        return;
    } else {
        // Also tells the worker to make no further attempt.
        connectAttempt->finished.store(true);
        result = CONNECT_ERROR_TIMEOUT;
    }
    CONNECT_LOG(kIPSecFinishedLine, result);
    stopPoll(pollTimer);
    emit controller.signalIPSecVPNConnectFinished(result);
}

void IPSecRoad::finish(int result) {
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    connectAttempt.reset();
    if (result == CONNECT_OK && ipsec != nullptr && ipsec->StartRekeyTimer() == 0) {
        controller.slotConnectVPNSuccess();
        page()->setLocalAddressRowsVisible(true, false);
        return;
    }
    const int current = currentAttempt();
    const std::string path = teardownPath(ipsec);
    if (path.empty() || ipsec == nullptr) {
        CONNECT_LOG("%s", kIPSecNoPathOnResultLine);
        controller.slotConnectVPNFailed();
        return;
    }
    IPSecVPNInfo info;
    ipsec->GetIPSecInfoByID(page()->selectedConfigId(), &info);
    const std::string policy = info.GetPolicyName();
    worker()->run([ipsec, policy, path] { ipsec->Terminate(policy, path); },
                  [this, current, result] {
                      if (!stillConnecting(current)) {
                          return;
                      }
                      controller.slotConnectVPNFailed();
                      showToast(result == CONNECT_ERROR_TIMEOUT ? kTimeoutToastKey : kIPSecFailureToastKey);
                  });
}

std::string IPSecRoad::teardownPath(IPSecVPNContext* ipsec) {
    std::string path;
    if (!projectPath(&path) && ipsec != nullptr) {
        path = ipsec->GetProjectPath();
    }
    return path;
}

void IPSecRoad::cancel(const std::string&, std::function<void()> done) {
    // The context's cancel stops the initiating thread and tears down what it set up.
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    worker()->run(
        [ipsec] {
            if (ipsec != nullptr) {
                ipsec->Disconnect();
            }
        },
        std::move(done));
}

bool IPSecRoad::disconnect(const std::string& profileName, std::function<void()> done) {
    IPSecVPNContext* ipsec = appContext()->GetIPSecVPNContext();
    const std::string path = teardownPath(ipsec);
    if (path.empty() || ipsec == nullptr) {
        CONNECT_LOG("%s", kIPSecNoPathLine);
        return false;
    }
    CONNECT_LOG("%s", kIPSecDisconnectLine);
    // The profile editor stores the profile's name as its policy name. After the policy the
    // rest of the connection goes too (the rekey timer, the daemon), so that nothing of it
    // outlives a close of the client.
    worker()->run(
        [ipsec, profileName, path] {
            ipsec->Terminate(profileName, path);
            ipsec->StopAll();
        },
        std::move(done));
    return true;
}
