// The road of WireGuard profiles: the configuration file written when missing, the
// tunnel's install with the nudge that starts the handshake, the wait after it, the check
// that the tunnel is up and its peer has answered, the tunnel's uninstall (cancel and
// disconnect alike), and the traffic counters read from "wg show" on the sampler, so that
// a reading that hangs holds up neither a disconnect nor the close.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "TunnelRoad.h"

class WireGuardRoad : public TunnelRoad {
public:
    explicit WireGuardRoad(ConnectionController& controller);
    ~WireGuardRoad() override;

    void connect() override;
    void beginAttempt() override;
    // The first reading is under way before the first tick asks for it.
    void connected() override;
    void cancel(const std::string& profileName, std::function<void()> done) override;
    bool disconnect(const std::string& profileName, std::function<void()> done) override;
    // Takes up the last reading that has come back, and asks for the next.
    bool readTraffic(TrafficTotals* totals) override;

private:
    // After the wait: connected only when the tunnel is up and its peer has answered.
    void checkTunnel(int attempt, const std::string& tunnelName);
    // Uninstalls the tunnel on the worker; then `done` on the GUI thread.
    void uninstall(const std::string& tunnelName, std::function<void()> done);
    void postSample();

    // The last "wg show" output of the connected tunnel not yet read, and whether one runs:
    // the sampler leaves it here for the next tick, so that a reading's end wakes no other
    // thread.
    struct Reading {
        std::mutex mutex;
        bool running = false;
        bool ready = false;
        // The attempt the reading was asked for.
        int attempt = 0;
        std::string output;
    };
    std::shared_ptr<Reading> reading = std::make_shared<Reading>();
};
