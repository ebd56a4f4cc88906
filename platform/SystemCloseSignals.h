// SIGTERM and SIGINT close the main window as a close from the system does, so that
// quitting from a terminal or a session manager ends the tunnel and stops the program
// cleanly. The handler only writes the signal's number into a pipe; a socket notifier
// reads it on the GUI thread and closes the window there.
#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;

class SystemCloseSignals : public QObject {
    Q_OBJECT
public:
    explicit SystemCloseSignals(QObject* parent = nullptr);
    // Puts the previous handlers back and closes the pipe.
    ~SystemCloseSignals() override;

    // Installs the handlers; false when the pipe or a handler cannot be set up.
    bool install();
    // The window that a signal closes through its close() slot; without one a signal
    // ends the event loop.
    void setWindow(QObject* window);

private slots:
    void onSignalPipeReadable();

private:
    QSocketNotifier* notifier;
    QPointer<QObject> window;
    bool installed;
};
