#include "WireGuardRoad.h"

#include <QTimer>
#include <fstream>

#include "AppConstants.h"
#include "AppContext.h"
#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "HomeWidget.h"
#include "ProcessPipe.h"
#include "TrafficReadings.h"
#include "TunnelPaths.h"
#include "TunnelWorker.h"
#include "WireGuardContext.h"
#include "WireGuardProbe.h"
#include "WireGuardValues.h"
#include "zrwlog.h"

using namespace AppConstants;

#define CONNECT_LOG(...) ZRWLog(kLogModule, kLogLevel, __VA_ARGS__)

namespace {

// A configuration file of the client's size (a few hundred bytes; a long list of allowed
// addresses stays far below the limit).
bool readConfig(const std::string& path, std::string* text) {
    constexpr std::streamsize kMostBytes = 1 << 20;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    text->resize(static_cast<size_t>(kMostBytes) + 1);
    file.read(&(*text)[0], kMostBytes + 1);
    text->resize(static_cast<size_t>(file.gcount()));
    return !file.bad() && text->size() <= static_cast<size_t>(kMostBytes);
}

std::string showTunnel(const std::string& tunnelName) {
    ProcessPipe pipe;
    return pipe.ExecuteCommand(WireGuardShowCommandLine(tunnelName.c_str()).c_str(), true, nullptr);
}

// The once-a-second reading, on the sampler, which has nothing else to do: it waits for
// "wg show" to end, so that a reading starts no thread besides the program.
std::string sampleTunnel(const std::string& tunnelName) {
    ProcessPipe pipe;
    return pipe.ExecuteCommandAndWait(WireGuardShowCommandLine(tunnelName.c_str()).c_str());
}

} // namespace

WireGuardRoad::WireGuardRoad(ConnectionController& controller) : TunnelRoad(controller) {}

WireGuardRoad::~WireGuardRoad() = default;

void WireGuardRoad::beginAttempt() {
    std::lock_guard<std::mutex> lock(reading->mutex);
    reading->ready = false;
}

void WireGuardRoad::connect() {
    controller.slotConnectVPNStart();
    const int current = currentAttempt();
    std::string path;
    if (!projectPath(&path)) {
        CONNECT_LOG("%s", kWireGuardNoPathLine);
        controller.slotConnectVPNFailed();
        showToast(kPrepareFailedKey);
        return;
    }
    ProfileInfo profile;
    if (!findSelectedProfile(&profile)) {
        controller.slotConnectVPNFailed();
        return;
    }
    const std::string name = profile.ProfileName;
    if (!IsValidTunnelName(profile.ProfileName)) {
        CONNECT_LOG(kWireGuardConfigFailedLine, profile.ProfileName);
        controller.slotConnectVPNFailed();
        showToast(kProfileNameUnusableKey);
        return;
    }
    WireGuardContext* wireguard = appContext()->GetWireGuardContext();
    WireGuardVPNInfo info;
    const bool haveRow = wireguard->GetWireGuardInfoByID(profile.ConfigID, &info) == 0;
    const std::string config =
        path + TunnelPaths::kWireGuardConfigDirSuffix + name + TunnelPaths::kWireGuardConfigExtension;
    struct Prepared {
        bool installed = false;
        // The key whose value is not allowed, when that stopped the connect.
        std::string refusedKey;
    };
    worker()->run<Prepared>(
        [wireguard, profile, info, haveRow, config, path, name] {
            Prepared prepared;
            // An existing file is used as it is, once every value in it is what its key takes:
            // an earlier version wrote whatever the store held. A missing one is written from
            // the row, whose values are checked first.
            if (fileExists(config)) {
                std::string text;
                if (!readConfig(config, &text)) {
                    return prepared;
                }
                prepared.refusedKey = WireGuardValues::FirstUnfitLine(text);
            } else if (haveRow) {
                prepared.refusedKey = WireGuardValues::FirstUnfitKey(info);
                if (prepared.refusedKey.empty() && wireguard->WriteWireGuardConfig(profile, &info) != 0) {
                    return prepared;
                }
            } else {
                return prepared;
            }
            if (!prepared.refusedKey.empty()) {
                return prepared;
            }
            const std::string command =
                WireGuardInstallCommandLine(QString::fromStdString(path), name.c_str());
            CONNECT_LOG(kWireGuardConnectLine, command.c_str());
            ProcessPipe pipe;
            pipe.ExecuteCommand(command.c_str(), true, nullptr);
            WireGuardProbe::NudgePeer(config, WireGuardInterfaceName(name.c_str()));
            prepared.installed = true;
            return prepared;
        },
        [this, current, name](Prepared prepared) {
            if (!stillConnecting(current)) {
                return;
            }
            if (!prepared.refusedKey.empty()) {
                CONNECT_LOG(kWireGuardValueRefusedLine, prepared.refusedKey.c_str(), name.c_str());
                controller.slotConnectVPNFailed();
                showToast(kWireGuardValueRefusedKey, QString::fromStdString(prepared.refusedKey));
                return;
            }
            if (!prepared.installed) {
                CONNECT_LOG(kWireGuardConfigFailedLine, name.c_str());
                controller.slotConnectVPNFailed();
                showToast(kPrepareFailedKey);
                return;
            }
            // The page stays live through the wait; a cancel meanwhile ends the attempt.
            // Each attempt's wait has a timer of its own, gone once it has fired.
            auto* wait = new QTimer(&controller);
            wait->setObjectName(QStringLiteral("wireGuardWaitTimer"));
            wait->setSingleShot(true);
            QObject::connect(wait, &QTimer::timeout, &controller, [this, wait, current, name] {
                wait->deleteLater();
                if (stillConnecting(current)) {
                    checkTunnel(current, name);
                }
            });
            wait->start(timings().wireGuardWaitMs);
        });
}

void WireGuardRoad::checkTunnel(int attempt, const std::string& tunnelName) {
    worker()->run<std::string>([tunnelName] { return showTunnel(tunnelName); },
                               [this, attempt, tunnelName](std::string output) {
                                   if (!stillConnecting(attempt)) {
                                       return;
                                   }
                                   const TrafficReadings::WireGuardTunnelState state =
                                       TrafficReadings::ReadWireGuardTunnelState(output, tunnelName);
                                   if (state.listed && state.handshake) {
                                       controller.slotConnectVPNSuccess();
                                       return;
                                   }
                                   // Not a working tunnel: what was installed goes, and the attempt fails.
                                   CONNECT_LOG(state.listed ? kWireGuardNoAnswerLine : kWireGuardNotUpLine,
                                               tunnelName.c_str());
                                   const bool listed = state.listed;
                                   uninstall(tunnelName, [this, attempt, listed] {
                                       if (!stillConnecting(attempt)) {
                                           return;
                                       }
                                       controller.slotConnectVPNFailed();
                                       showToast(listed ? kWireGuardNoAnswerKey : kWireGuardNotUpKey);
                                   });
                               });
}

void WireGuardRoad::uninstall(const std::string& tunnelName, std::function<void()> done) {
    WireGuardContext* wireguard = appContext()->GetWireGuardContext();
    worker()->run(
        [wireguard, tunnelName] {
            if (wireguard != nullptr) {
                wireguard->Disconnect(tunnelName.c_str());
            }
        },
        std::move(done));
}

void WireGuardRoad::cancel(const std::string& profileName, std::function<void()> done) {
    // The install has run by the time the connect waits; the uninstall ends what it set up.
    uninstall(profileName, std::move(done));
}

bool WireGuardRoad::disconnect(const std::string& profileName, std::function<void()> done) {
    uninstall(profileName, std::move(done));
    return true;
}

// Traffic

void WireGuardRoad::connected() {
    postSample();
}

bool WireGuardRoad::readTraffic(TrafficTotals* totals) {
    bool ready = false;
    std::string sample;
    {
        std::lock_guard<std::mutex> lock(reading->mutex);
        if (reading->ready) {
            reading->ready = false;
            ready = reading->attempt == currentAttempt();
            sample.swap(reading->output);
        }
    }
    bool read = false;
    if (ready) {
        double received = 0;
        double sent = 0;
        if (TrafficReadings::ParseWireGuardTransfer(sample, page()->selectedProfileName(), &received,
                                                    &sent)) {
            totals->download = received;
            totals->upload = sent;
            read = true;
        }
    }
    postSample();
    return read;
}

void WireGuardRoad::postSample() {
    {
        // One reading at a time: a "wg show" that hangs holds up only the readings.
        std::lock_guard<std::mutex> lock(reading->mutex);
        if (reading->running) {
            return;
        }
        reading->running = true;
    }
    const int current = currentAttempt();
    const std::string name = page()->selectedProfileName();
    sampler()->post([slot = reading, current, name] {
        std::string output = sampleTunnel(name);
        std::lock_guard<std::mutex> lock(slot->mutex);
        slot->running = false;
        slot->ready = true;
        slot->attempt = current;
        slot->output = std::move(output);
    });
}
