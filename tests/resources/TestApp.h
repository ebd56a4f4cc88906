#pragma once

#include <QApplication>

// One QApplication for the whole test binary (the sandbox sets the offscreen platform).
inline QApplication* testApp() {
    static int argc = 1;
    static char name[] = "korva-resources-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}
