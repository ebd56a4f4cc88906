// A client for the leftover tests: the client's own start and stop (RunClient), its home
// page driven as a person would, steered through files in its working folder.
//   leftover_client MODE     MODE: "connect" (at once) or "connect-later" (once the file
//                            child-go exists); with "-slow" the client's own WireGuard
//                            wait, else the short times of the real tests.
// It writes "started" into child-state once its window shows, then "status N" with the
// home page's status, and closes its window (as the tray's Quit) once child-quit exists.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <string>

#include "ClientMain.h"
#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "HomeWidget.h"
#include "ZRVPNClient.h"

namespace {

void writeState(const QString& text) {
    QFile file(QStringLiteral("child-state"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text.toUtf8());
    }
}

ZRVPNClient* clientWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ZRVPNClient*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "connect";
    const auto beforeLoop = [mode] {
        ZRVPNClient* window = clientWindow();
        auto* home =
            window != nullptr ? window->findChild<HomeWidget*>(QStringLiteral("homeWidget")) : nullptr;
        if (home == nullptr) {
            writeState(QStringLiteral("no home page"));
            return;
        }
        if (mode.find("-slow") == std::string::npos) {
            // The real tests' times: the polls look more often, the WireGuard wait is shorter.
            ConnectionTimings timings;
            timings.connectPollMs = 250;
            timings.wireGuardWaitMs = 1500;
            home->connectionController()->setTimings(timings);
        }
        writeState(QStringLiteral("started"));
        const bool later = mode.rfind("connect-later", 0) == 0;
        auto* tick = new QTimer(window);
        auto pressed = std::make_shared<bool>(false);
        QObject::connect(tick, &QTimer::timeout, window, [=] {
            if (!*pressed && (!later || QFile::exists(QStringLiteral("child-go")))) {
                *pressed = true;
                home->clickConnectButton();
            }
            if (*pressed) {
                writeState(QStringLiteral("status %1").arg(home->currentStatus()));
            }
            if (QFile::exists(QStringLiteral("child-quit"))) {
                tick->stop();
                window->close();
            }
        });
        tick->start(20);
    };
    char arg0[] = "korva-vpn";
    char* args[] = {arg0, nullptr};
    return RunClient(1, args, beforeLoop);
}
