// The start-up notice for the client benchmark: once a widget of the window has painted
// its first frame, the notice is written to standard output and the event loop ends.
// Header-only and Qt-only, so that the benchmark's bare window uses the same measure.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

class ShownNotice : public QObject {
public:
    ShownNotice(QWidget* window, const char* notice) : window(window), notice(notice) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window) {
            qApp->removeEventFilter(this);
            // Once the paint has ended and the frame has gone out.
            const char* text = notice;
            QTimer::singleShot(0, [text] {
                std::fputs(text, stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* window;
    const char* notice;
};
