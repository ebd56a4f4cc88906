// A bare Qt Widgets main window of the client's size (978 x 648): the client benchmark starts it beside
// the client and compares the time to the first painted frame and the peak memory. Once the
// window has painted its first frame it writes a notice to standard output and ends.
#include <QApplication>
#include <QMainWindow>

#include "ShownNotice.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(978, 648);
    ShownNotice notice(&window, "bench_bare_window: main window shown\n");
    window.show();
    return application.exec();
}
