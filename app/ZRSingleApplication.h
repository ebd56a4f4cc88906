// The program's application object. Its constructor decides whether this process is
// the first instance: the first holds the instance lock and listens on the local
// socket; a later one hands its first argument to the first instance's socket, which
// brings its main window to the front, and reports that it is not the first.
#pragma once

#include <QApplication>
#include <QString>

class LocalSocketServer;
class QWidget;

class ZRSingleApplication : public QApplication {
    Q_OBJECT
public:
    ZRSingleApplication(int& argc, char** argv);
    ~ZRSingleApplication() override;

    bool isRunning();
    // True when the single-instance lock could not be taken (the start must then end),
    // with the reason in English.
    bool instanceLockFailed() const { return lockFailed; }
    QString instanceLockError() const { return lockError; }
    void initLocalConnection(const char* argument);
    void newLocalServer();
    void activateMainWindow();

    // The main window; main stores it after showing the window.
    QWidget* mainWindow;

    // The local socket's address: the socket file beside the instance lock in root's run
    // folder (empty when there is no run folder).
    static QString localServerPath();

private slots:
    void _newLocalConnection();

private:
    bool running;
    LocalSocketServer* localServer;
    QString serverName;
    bool lockFailed = false;
    QString lockError;
};
