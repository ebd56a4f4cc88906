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

bool startAppContext(); // GuiTest.h

// guitest::startAppContext() as an assertion: the application context runs, with the TAP
// adapter as the machine's only adapter.
inline void startAppContextWithTapAdapter() {
    ASSERT_TRUE(startAppContext());
}

} // namespace guitest
