// A bare QApplication for the tests that check the loading of the client's resources
// themselves (the resource bundle, the brand font, the translations): the GUI base
// (GuiTest.h) loads all three before the first test, so these tests start from an
// application that has none of them. Link korva_guitest_bare, not korva_guitest.
#pragma once

#include <QApplication>

#include "PrintQString.h"

namespace guitest {

// One QApplication for the whole test binary, made at the first call (the sandbox sets the
// offscreen platform).
inline QApplication* bareApp() {
    static int argc = 1;
    static char name[] = "korva-bare-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

} // namespace guitest
