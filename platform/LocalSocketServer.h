// LocalSocketServer: a listening AF_UNIX stream socket at a path, watched by a socket
// notifier on the thread that made it (the GUI thread), for the single-instance socket.
// Each connection that comes in is accepted at once and waits, in order, for
// nextConnection(); newConnection() is emitted for each.
//
// The socket file is made by bind(), which never follows a link: when anything is at the
// path already, a link included, listen() reports AddressInUse and leaves it there. The
// file gets the process's umask; its folder decides who may reach it. Stopping (and the
// destructor) removes the file that listen() made.
#pragma once

#include <QObject>
#include <deque>
#include <string>

#include "StreamSocket.h"

class QSocketNotifier;

class LocalSocketServer : public QObject {
    Q_OBJECT
public:
    enum class ListenResult { Listening, AddressInUse, Failed };

    explicit LocalSocketServer(QObject* parent = nullptr);
    ~LocalSocketServer() override;

    // Stops any earlier listening, then binds and listens at path. The errno of a failure
    // is kept in error().
    ListenResult listen(const std::string& path);
    bool isListening() const { return descriptor >= 0; }
    int error() const { return lastError; }
    // Stops listening, drops the connections not taken yet and removes the socket file.
    void stop();

    // The oldest connection not taken yet; a closed socket when none waits.
    StreamSocket nextConnection();

    // Removes what is at path as a file: the entry itself, never what a link points to; a
    // folder is not removed. True when nothing is left at the path.
    static bool removeSocketFile(const std::string& path);

signals:
    void newConnection();

private slots:
    void onListenerReadable();

private:
    int descriptor = -1;
    int lastError = 0;
    std::string path;
    QSocketNotifier* notifier = nullptr;
    std::deque<StreamSocket> waiting;
};
