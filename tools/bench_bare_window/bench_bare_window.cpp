// A bare Qt Widgets main window of the client's size (978 x 648): the client benchmark starts it beside
// the client and compares the time to the first painted frame and the peak memory. It starts with the
// client's own platform settings (RasterOnlyPlatform: no OpenGL integration on X), so that the
// comparison is of the client's work alone. Once the window has painted its first frame it writes a
// notice to standard output and ends.
#include <QApplication>
#include <QMainWindow>

#include "RasterOnlyPlatform.h"
#include "ShownNotice.h"

int main(int argc, char** argv) {
    RasterOnlyPlatform platformSettings;
    QApplication application(argc, argv);
    platformSettings.applicationMade();
    QMainWindow window;
    window.resize(978, 648);
    ShownNotice notice(&window, "bench_bare_window: main window shown\n");
    window.show();
    return application.exec();
}
