// The times the connection controller waits, in milliseconds. The defaults are the
// client's own; tests give the controller shorter ones, so that a connect's waits take a
// fraction of their real time.
#pragma once

#include "AppConstants.h"

struct ConnectionTimings {
    // The status and traffic tick.
    int statusTickMs = AppConstants::kStatusTickMs;
    // The completion poll of an SSL VPN, OpenVPN or IPsec connect, and the time after which
    // it gives the attempt up.
    int connectPollMs = AppConstants::kConnectPollMs;
    int connectPollLimitMs = AppConstants::kConnectPollLimitMs;
    // How long a WireGuard connect waits after the install before it looks at the tunnel.
    int wireGuardWaitMs = AppConstants::kWireGuardWaitMs;
    // How long a toast of the connection shows.
    int toastMs = AppConstants::kToastDurationMs;
    // How long the close of the main window waits for the tunnel's programs to end.
    int quitWaitMs = AppConstants::kQuitWaitMs;
};
