#include "SystemCloseSignals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "PlatformConstants.h"
#include "zrwlog.h"

namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousTerm;
struct sigaction previousInt;

void onCloseSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a pending close; the byte may be dropped.
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SystemCloseSignals::SystemCloseSignals(QObject* parent)
    : QObject(parent), notifier(nullptr), installed(false) {}

SystemCloseSignals::~SystemCloseSignals() {
    if (!installed) {
        return;
    }
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGINT, &previousInt, nullptr);
    delete notifier;
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool SystemCloseSignals::install() {
    if (installed) {
        return true;
    }
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, &previousTerm) != 0 || sigaction(SIGINT, &action, &previousInt) != 0) {
        sigaction(SIGTERM, &previousTerm, nullptr);
        close(signalPipe[0]);
        close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SystemCloseSignals::onSignalPipeReadable);
    installed = true;
    return true;
}

void SystemCloseSignals::setWindow(QObject* value) {
    window = value;
}

void SystemCloseSignals::onSignalPipeReadable() {
    unsigned char bytes[16];
    ssize_t count = read(signalPipe[0], bytes, sizeof(bytes));
    if (count <= 0) {
        return;
    }
    ZRWLog(kSystemLogModule, kSystemLogLevel, kSystemCloseLine, static_cast<int>(bytes[0]));
    // One close ends the program; later signals find it stopping already.
    notifier->setEnabled(false);
    if (window) {
        QMetaObject::invokeMethod(window, "close");
    } else {
        QCoreApplication::exit(0);
    }
}
