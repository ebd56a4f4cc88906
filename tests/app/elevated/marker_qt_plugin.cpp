// A Qt plug-in of a user's own: its metadata names it the "xcb" platform, so that Qt loads it
// from a folder given with -platformpluginpath before its own. Whatever loads it leaves a mark
// in its working folder (the client works in its program folder), naming its user.
#include <QObject>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

__attribute__((constructor)) void leaveMark() {
    const int fd = open("qt-plugin-loaded", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char line[32];
        const int length = std::snprintf(line, sizeof(line), "%u\n", static_cast<unsigned>(geteuid()));
        if (length > 0 && write(fd, line, static_cast<size_t>(length)) < 0) {
            // The mark is the file itself.
        }
        close(fd);
    }
}

} // namespace

class MarkerPlatformPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE
                          "marker_qt_plugin.json")
};

#include "marker_qt_plugin.moc"
