// A bare Qt Widgets main window of the client's size (978 x 648): the client benchmark starts it beside
// the client and compares the time to the first painted frame and the peak memory. Once the
// window has painted its first frame it writes a notice to standard output and ends.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

namespace {

class ShownNotice : public QObject {
public:
    explicit ShownNotice(QWidget* window) : window(window) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, [] {
                std::fputs("bench_bare_window: main window shown\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* window;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(978, 648);
    ShownNotice notice(&window);
    window.show();
    return application.exec();
}
