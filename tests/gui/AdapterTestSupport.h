// The adapter list the GUI tests start the application context with. Header-only, so that
// only the tests that start a context link the contexts.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "AppContext.h"
#include "NetworkAdapters.h"
#include "SystemContext.h"

namespace guitest {

// A TAP adapter without an address: with it listed, the OpenVPN context finds its adapter
// and runs no adapter script.
inline NetworkAdapter tapAdapter() {
    NetworkAdapter tap;
    tap.name = "tap0";
    tap.description = "TAP-Windows Adapter V9";
    tap.ip = "0.0.0.0";
    tap.mask = "0.0.0.0";
    return tap;
}

// Starts the application context unless it runs already, with the TAP adapter as the
// machine's only adapter.
inline void startAppContextWithTapAdapter() {
    SetNetworkAdapterSource([] { return std::vector<NetworkAdapter>{tapAdapter()}; });
    AppContext* app = SystemContext::Instance()->GetAppContext();
    if (app->IsStarted() == 0) {
        ASSERT_EQ(app->Start(), 0);
    }
}

} // namespace guitest
