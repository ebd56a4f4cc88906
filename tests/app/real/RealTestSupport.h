// Shared set-up of the end-to-end tests that drive the client's own home page against a
// real server: the test process in network and mount namespaces of its own (made before
// main), the client's program bundle copied into the working folder, the store, the page
// or the main window, pictures of what the page and the tray pop-up show, and the check
// that nothing of a tunnel is left behind.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <unistd.h>

#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "HomeWidget.h"
#include "RealVpnServers.h"
#include "ServiceTable.h"
#include "VPNMenuDialog.h"
#include "ZRVPNClient.h"

namespace realtest {

// Isolates the process before main, while it has one thread.
struct Isolation {
    Isolation() { realvpn::IsolateBeforeMain(); }
};

inline std::string workFolder() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".";
}

// Where the pictures of real connections go: $KORVA_REAL_SHOTS, else real-vpn-shots in
// the build folder.
inline QString shotsFolder() {
    const QByteArray chosen = qgetenv("KORVA_REAL_SHOTS");
    const QString folder = chosen.isEmpty() ? QStringLiteral(KORVA_BINARY_DIR "/real-vpn-shots")
                                            : QString::fromLocal8Bit(chosen);
    QDir().mkpath(folder);
    return folder;
}

// While it lives, a credentials prompt that comes up is recorded and closed, so that a
// connect that should need none never blocks the test.
class PromptWatch {
public:
    PromptWatch() {
        QObject::connect(&watch, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->inherits("AccountLoginDialog")) {
                seen = true;
                modal->close();
            }
        });
        watch.start(50);
    }
    bool prompted() const { return seen; }
    void stop() { watch.stop(); }

private:
    QTimer watch;
    bool seen = false;
};

// The controller's times against real servers: the status tick and the polls' limit are
// the client's own; the polls look more often and the WireGuard wait is shorter, which a
// peer in a namespace of this machine answers well within.
inline ConnectionTimings realTimings() {
    ConnectionTimings timings;
    timings.connectPollMs = 250;
    timings.wireGuardWaitMs = 1500;
    return timings;
}

class RealTest : public hometest::ConnectionPageTest {
protected:
    // Skips, saying why, where real servers cannot run; else prepares the client's side.
    void SetUp() override {
        if (!realvpn::Unavailable().empty()) {
            GTEST_SKIP() << "real VPN test not run: " << realvpn::Unavailable();
        }
        hometest::ConnectionPageTest::SetUp();
        timings = realTimings();
        ASSERT_TRUE(realvpn::CopyBundle(KORVA_APP_DIR));
        // Each test's server makes its own keys: no configuration file of an earlier one
        // (which the roads would use as it is) stays.
        QDir(QStringLiteral("Config")).removeRecursively();
        // The WireGuard tool's records and the service table stay in this test's folder.
        qputenv("KORVA_WG_RUNDIR", QByteArray::fromStdString(workFolder() + "/korva-wireguard"));
        SetServiceTablePath((workFolder() + "/services.table").c_str());
        serverFolder = std::make_unique<QTemporaryDir>();
    }
    void TearDown() override {
        hometest::ConnectionPageTest::TearDown();
        window.reset();
    }

    // The home page with the named profile selected, as after the start, at the size the
    // main window gives it.
    HomeWidget* open(const char* selected) { return ConnectionPageTest::open(selected, QSize(718, 514)); }
    // The main window with the named profile selected, as after the start; its home page is
    // the one under test.
    HomeWidget* openWindow(const char* selected) {
        hometest::rememberSelection(selected);
        auto* client = new ZRVPNClient;
        window.reset(client);
        EXPECT_TRUE(guitest::showAndExpose(client));
        restore();
        use(client->findChild<HomeWidget*>(QStringLiteral("homeWidget")));
        EXPECT_EQ(home->activeProfileName(), QString::fromLatin1(selected));
        return home;
    }
    // Closes the main window as the tray pop-up's Quit does; its exit code.
    int closeWindow() { return guitest::closeFromEventLoop(window.get()); }
    // The window is gone; the status it left is set back for the next one.
    void dropWindow() {
        window.reset();
        hometest::app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
    }

    // Pictures of the page and of the tray pop-up fed by the page's report, in both
    // colour modes, named <kind>-<state>-<page|tray>-<normal|dark>.png.
    void savePictures(const QString& name) {
        const QString folder = shotsFolder();
        VPNMenuDialog tray;
        QObject::connect(home,
                         SIGNAL(signalUpdateConnectInfo(int, QString, QString, QString, QString,
                                                        QVector<double>, QVector<double>)),
                         &tray,
                         SLOT(slotUpdateConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                                    QVector<double>)));
        tray.show();
        for (int mode : {1, 2}) {
            guitest::applyColorMode(mode);
            QCoreApplication::processEvents();
            home->publishConnectInfo();
            QCoreApplication::processEvents();
            const QString suffix = mode == 2 ? QStringLiteral("dark") : QStringLiteral("normal");
            home->grab().save(QStringLiteral("%1/%2-page-%3.png").arg(folder, name, suffix));
            tray.grab().save(QStringLiteral("%1/%2-tray-%3.png").arg(folder, name, suffix));
        }
        guitest::applyColorMode(1);
        tray.hide();
    }

    // Nothing of a tunnel left in this process's network: no such program, no such device.
    static void expectNothingLeft(const std::string& program, const std::string& interfacePrefix) {
        EXPECT_TRUE(guitest::waitFor([&] { return realvpn::ProcessesInThisNetwork(program).empty(); }, 10000))
            << program << " still runs";
        EXPECT_TRUE(guitest::waitFor(
            [&] {
                for (const std::string& name : realvpn::Interfaces()) {
                    if (name.compare(0, interfacePrefix.size(), interfacePrefix) == 0) {
                        return false;
                    }
                }
                return true;
            },
            10000))
            << "an interface " << interfacePrefix << "... is left";
    }

    std::unique_ptr<QTemporaryDir> serverFolder;
    std::unique_ptr<QWidget> window;
};

} // namespace realtest
