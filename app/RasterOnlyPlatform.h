// The platform settings the client starts with: it draws with the raster engine alone, so
// Qt's OpenGL integration on X, which would load a GL implementation it never uses (tens of
// milliseconds and megabytes at start), is turned off. A value the user set stays.
// Header-only and Qt-only, so that the benchmark's bare window starts with the same
// settings as the client it is compared with.
#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QString>

class RasterOnlyPlatform {
public:
    static constexpr const char* kGLIntegrationVariable = "QT_XCB_GL_INTEGRATION";
    static constexpr const char* kGLIntegrationNone = "none";
    static constexpr const char* kXcbPlatformName = "xcb";

    // Before the application object is made.
    RasterOnlyPlatform() : setHere(!qEnvironmentVariableIsSet(kGLIntegrationVariable)) {
        if (setHere) {
            qputenv(kGLIntegrationVariable, kGLIntegrationNone);
        }
    }

    // Right after the application object is made. The X platform reads the value when it is
    // first asked about OpenGL (at the latest for the first window): it is asked here, and
    // the value set above is taken away again, so that the programs the client runs do not
    // inherit it.
    void applicationMade() {
        if (!setHere) {
            return;
        }
        if (QGuiApplication::platformName() == QLatin1String(kXcbPlatformName)) {
            QOpenGLContext::supportsThreadedOpenGL();
        }
        qunsetenv(kGLIntegrationVariable);
        setHere = false;
    }

private:
    bool setHere;
};
