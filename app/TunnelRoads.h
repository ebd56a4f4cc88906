// The roads by which a close of the main window ends a tunnel: the connected one is
// disconnected by its kind, and one that is being set up is cancelled as the connect
// button's cancel does, so that no VPN program outlives the client.
#pragma once

#include "ProfileRecords.h"

class TunnelRoads {
public:
    virtual ~TunnelRoads();
    // Ends the connected tunnel of the profile by its kind (ProfileType).
    virtual void disconnectTunnel(const ProfileInfo& profile) = 0;
    // Ends the connect under way for the profile as a cancel does.
    virtual void cancelConnect(const ProfileInfo& profile) = 0;
};

// The roads through the application context's tunnel contexts.
class ContextTunnelRoads : public TunnelRoads {
public:
    void disconnectTunnel(const ProfileInfo& profile) override;
    void cancelConnect(const ProfileInfo& profile) override;
};
