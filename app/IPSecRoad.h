// The road of IPsec profiles: the IPsec context's preparation of strongSwan on the worker,
// the completion poll of the context's initiating thread, the result (connected with the
// rekey timer, or the policy torn down with a toast), the cancel, and the teardown of the
// connected policy. IPsec connections have no traffic source.
#pragma once

#include <memory>
#include <string>

#include "TunnelRoad.h"

class IPSecVPNContext;
class QTimer;
struct IPSecConnectAttempt;

class IPSecRoad : public TunnelRoad {
public:
    explicit IPSecRoad(ConnectionController& controller);
    ~IPSecRoad() override;

    void connect() override;
    void beginAttempt() override;
    void dropAttempt() override;
    void cancel(const std::string& profileName, std::function<void()> done) override;
    bool disconnect(const std::string& profileName, std::function<void()> done) override;

    // One tick of the completion poll.
    void pollTick();
    // Acts on the attempt's result.
    void finish(int result);

private:
    // The folder strongSwan's files are under: the working folder, else, when that has
    // gone, the one the connect used. Empty when there is neither.
    static std::string teardownPath(IPSecVPNContext* ipsec);

    QTimer* pollTimer = nullptr;
    int pollElapsed = 0;
    // What the current attempt shares with the context's initiating thread.
    std::shared_ptr<IPSecConnectAttempt> connectAttempt;
};
