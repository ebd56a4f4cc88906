// The adapter list the GUI tests start the application context with (guitest::startAppContext),
// for the tests that list adapters of their own beside it. Header-only.
#pragma once

#include "NetworkAdapters.h"

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

} // namespace guitest
