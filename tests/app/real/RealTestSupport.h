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
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <unistd.h>

#include "ConnectionController.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "HomeWidget.h"
#include "RealVpnServers.h"
#include "ServiceTable.h"
#include "VPNMenuDialog.h"
#include "ZRToastDialog.h"

namespace realtest {

// Isolates the process before main, while it has one thread.
struct Isolation {
    Isolation() { realvpn::IsolateBeforeMain(); }
};

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

// Closes the main window from inside the application's event loop, as the tray pop-up's
// Quit or a close from the system arrives, and returns the loop's exit code.
inline int closeFromEventLoop(QWidget* window) {
    QTimer::singleShot(0, window, [window] { window->close(); });
    return QApplication::exec();
}

inline std::string workFolder() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : ".";
}

inline QString logText() {
    QFile log(QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetLogPath()));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
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

class RealTest : public ::testing::Test {
protected:
    // Skips, saying why, where real servers cannot run; else prepares the client's side.
    void SetUp() override {
        if (!realvpn::Unavailable().empty()) {
            GTEST_SKIP() << "real VPN test not run: " << realvpn::Unavailable();
        }
        hometest::startApp();
        hometest::clearStore();
        guitest::applyColorMode(1);
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
        closePage();
        window.reset();
    }

    // The home page with the named profile selected, as after the start.
    HomeWidget* open(const char* selected) {
        hometest::rememberSelection(selected);
        page = std::make_unique<HomeWidget>();
        page->resize(718, 514);
        EXPECT_TRUE(guitest::showAndExpose(page.get()));
        restore();
        EXPECT_EQ(page->activeProfileName(), QString::fromUtf8(selected));
        home = page.get();
        return home;
    }
    void restore() {
        const SETTINGINFO row = hometest::settingsRow();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&row);
    }
    // Ends whatever the page left running, as the main window's close does.
    void closePage() {
        if (page) {
            ProfileInfo current;
            hometest::app()->GetCurrentProfile(&current);
            if (page->currentStatus() == CONNECT_STATUS_CONNECTING) {
                page->tunnelRoads()->cancelConnect(current);
            } else if (page->currentStatus() == CONNECT_STATUS_CONNECTED) {
                page->tunnelRoads()->disconnectTunnel(current);
            }
        }
        page.reset();
        home = nullptr;
        hometest::app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        hometest::app()->SetCurrentProfile(ProfileInfo());
    }
    void press() { home->clickConnectButton(); }
    int status() const { return home->currentStatus(); }
    bool waitStatus(int wanted, int timeoutMs) {
        return waitFor([&] { return home->currentStatus() == wanted; }, timeoutMs);
    }
    ConnectionController* controller() { return home->connectionController(); }
    QString text(const char* name) {
        auto* widget = home->findChild<QWidget*>(QLatin1String(name));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            return label->text();
        }
        auto* button = qobject_cast<QAbstractButton*>(widget);
        return button != nullptr ? button->text() : QString();
    }
    static QString toastText() {
        QString text;
        for (QLabel* label : ZRToastDialog::instance()->findChildren<QLabel*>()) {
            text += label->text();
        }
        return text;
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
            QTest::qWait(50);
            home->publishConnectInfo();
            QTest::qWait(50);
            const QString suffix = mode == 2 ? QStringLiteral("dark") : QStringLiteral("normal");
            home->grab().save(QStringLiteral("%1/%2-page-%3.png").arg(folder, name, suffix));
            tray.grab().save(QStringLiteral("%1/%2-tray-%3.png").arg(folder, name, suffix));
        }
        guitest::applyColorMode(1);
        tray.hide();
    }

    // Nothing of a tunnel left in this process's network: no such program, no such device.
    static void expectNothingLeft(const std::string& program, const std::string& interfacePrefix) {
        EXPECT_TRUE(waitFor([&] { return realvpn::ProcessesInThisNetwork(program).empty(); }, 10000))
            << program << " still runs";
        EXPECT_TRUE(waitFor(
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
    std::unique_ptr<HomeWidget> page;
    std::unique_ptr<QWidget> window;
    HomeWidget* home = nullptr;
};

} // namespace realtest
