// How a close of the main window ends a tunnel: the connected one is disconnected by its
// kind, and one that is being set up is cancelled as the connect button's cancel does, so
// that no VPN program outlives the client. The connection controller is the one that
// ends tunnels; the main window takes it through this interface.
#pragma once

#include "ProfileRecords.h"

class TunnelTeardown {
public:
    virtual ~TunnelTeardown() = default;
    // Ends the connected tunnel of the profile by its kind (ProfileType).
    virtual void disconnectTunnel(const ProfileInfo& profile) = 0;
    // Ends the connect under way for the profile as a cancel does.
    virtual void cancelConnect(const ProfileInfo& profile) = 0;
};
