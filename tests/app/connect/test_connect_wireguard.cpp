// The WireGuard road with test doubles of the wireguard and wg tools: install, the wait,
// connected only with the tunnel up and its peer answering, cancel during the wait, a
// stale attempt that must not report into a later one, the configuration file written
// only when missing, a missing project path, and disconnect.
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <climits>
#include <unistd.h>

#include "ConnectTestSupport.h"

using namespace connecttest;

namespace {

class WireGuardRoad : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        addWireGuardProfile("wg-home");
    }
    QString calls() { return readFile(QStringLiteral("wireguard-calls.txt")); }
    bool waitInstalled() {
        return guitest::waitFor([this] { return calls().contains(QStringLiteral("/installtunnelservice")); });
    }
    // The wait of the latest attempt while it runs.
    QTimer* waitTimer() { return controller()->findChild<QTimer*>(QStringLiteral("wireGuardWaitTimer")); }
    bool waitStarted() {
        return guitest::waitFor([this] { return waitTimer() != nullptr && waitTimer()->isActive(); });
    }
};

TEST_F(WireGuardRoad, ConnectedAfterTheWaitWithTheTunnelUpAndItsPeerAnswering) {
    open("wg-home");
    QElapsedTimer clock;
    press();
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);
    ASSERT_TRUE(waitInstalled());
    clock.start();
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    const QString config = QString::fromUtf8(cwd) + QStringLiteral("/Config/wireguard/wg-home.conf");
    EXPECT_EQ(calls(), QStringLiteral("/installtunnelservice ") + config + QLatin1Char('\n'));
    EXPECT_TRUE(readFile(config).contains(QStringLiteral("AllowedIPs = 127.77.0.0/24\n")));
    EXPECT_EQ(QFileInfo(config).permissions() & 0x0077, 0) << "the file holds the private key";
    EXPECT_TRUE(
        guitest::logText().contains(QStringLiteral("WireGuard :: WireGuard Connect: cmd.exe /c "
                                                   "./bin/Wireguard/wireguard /installtunnelservice \"") +
                                    config + QStringLiteral("\" \n")));

    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 10000));
    EXPECT_GE(clock.elapsed(), timings.wireGuardWaitMs * 4 / 5) << "the wait follows the install";
    EXPECT_TRUE(readFile(QStringLiteral("wg-calls.txt")).startsWith(QStringLiteral("show wg-home\n")));
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 2}));

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED));
    EXPECT_TRUE(calls().endsWith(QStringLiteral("/uninstalltunnelservice wg-home\n")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("wg-up-wg-home")));
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 0s"));
    EXPECT_TRUE(QFile::exists(config)) << "the configuration outlives the connection";
}

TEST_F(WireGuardRoad, CancelDuringTheWaitUninstallsAndNeverConnects) {
    open("wg-home");
    press();
    ASSERT_TRUE(waitStarted());
    const QPointer<QTimer> wait = waitTimer();
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_TRUE(calls().endsWith(QStringLiteral("/uninstalltunnelservice wg-home\n")));
    ASSERT_TRUE(guitest::waitFor([&wait] { return wait.isNull(); })) << "the wait did not end";
    settle();
    EXPECT_EQ(status(), CONNECT_STATUS_DISCONNECTED);
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 3}));
}

TEST_F(WireGuardRoad, AnAttemptCancelledAndStartedAgainReportsOnlyOnce) {
    open("wg-home");
    press();
    ASSERT_TRUE(waitStarted());
    // Cancelled in the second half of its wait, the first attempt's wait ends in the middle
    // of the second attempt's.
    const QPointer<QTimer> first = waitTimer();
    ASSERT_TRUE(guitest::waitFor(
        [&] { return first.isNull() || first->remainingTime() < timings.wireGuardWaitMs / 2; }));
    ASSERT_FALSE(first.isNull());
    press(); // cancel
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
    press(); // connect again
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING);
    ASSERT_TRUE(guitest::waitFor([&first] { return first.isNull(); })) << "the first wait did not end";
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTING) << "the first attempt's wait reported into the second";
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 5000));
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 3, 1, 2}));
}

TEST_F(WireGuardRoad, NotReportedAsAWorkingTunnelItIsNot) {
    const struct {
        const char* what;
        const char* marker;
        const char* toast;
        const char* log;
    } cases[] = {
        {"the tunnel did not come up", "wireguard-fail", "The WireGuard tunnel could not be set up.",
         "WireGuard :: Tunnel wg-home is not up after the wait \n"},
        {"its peer never answered", "wg-silent", "The WireGuard peer did not answer.",
         "WireGuard :: The peer of tunnel wg-home did not answer \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(QStringLiteral("wireguard-calls.txt"));
        writeFile(QString::fromLatin1(c.marker), "");
        open("wg-home");
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 12000));
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        EXPECT_TRUE(w("statusIconWidget")->isVisible());
        EXPECT_TRUE(
            guitest::waitFor([&] { return guitest::toastText() == QString::fromLatin1(c.toast); }, 5000))
            << guitest::toastText().toStdString();
        EXPECT_TRUE(guitest::logText().contains(QString::fromLatin1(c.log)));
        // What was installed is taken down again.
        EXPECT_TRUE(calls().endsWith(QStringLiteral("/uninstalltunnelservice wg-home\n")));
        EXPECT_FALSE(QFile::exists(QStringLiteral("wg-up-wg-home")));
        EXPECT_EQ(statusSignals(), (std::vector<int>{1, 3}));
        QFile::remove(QString::fromLatin1(c.marker));
        closePage();
    }
}

TEST_F(WireGuardRoad, AnExistingConfigurationFileIsUsedAsItIs) {
    writeFile(QStringLiteral("Config/wireguard/wg-home.conf"), "[Interface]\n# kept\n");
    open("wg-home");
    press();
    ASSERT_TRUE(waitInstalled());
    EXPECT_EQ(readFile(QStringLiteral("Config/wireguard/wg-home.conf")),
              QStringLiteral("[Interface]\n# kept\n"));
}

TEST_F(WireGuardRoad, WithoutAProjectPathTheAttemptFailsAtOnce) {
    open("wg-home");
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    // A working folder that has been removed has no path.
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("gone")));
    ASSERT_EQ(chdir("gone"), 0);
    ASSERT_EQ(rmdir(QByteArray(cwd).append("/gone").constData()), 0);
    press();
    const int reached = status();
    const QString label = text("labelConnectStatus");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(reached, CONNECT_STATUS_DISCONNECTED);
    EXPECT_EQ(label, QStringLiteral("Disconnected"));
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("WireGuard :: failed get project path! \n")));
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(WireGuardRoad, CloseWhileConnectingOrConnectedUninstalls) {
    for (bool connected : {false, true}) {
        SCOPED_TRACE(connected ? "connected" : "connecting");
        QFile::remove(QStringLiteral("wireguard-calls.txt"));
        open("wg-home");
        press();
        // Connected, or closed during the connect's wait.
        ASSERT_TRUE(connected ? waitStatus(CONNECT_STATUS_CONNECTED, 10000) : waitStarted());
        const QPointer<QTimer> wait = waitTimer();
        ProfileInfo current;
        hometest::app()->GetCurrentProfile(&current);
        if (connected) {
            page->tunnelTeardown()->disconnectTunnel(current);
        } else {
            page->tunnelTeardown()->cancelConnect(current);
        }
        EXPECT_FALSE(QFile::exists(QStringLiteral("wg-up-wg-home")));
        EXPECT_TRUE(calls().endsWith(QStringLiteral("/uninstalltunnelservice wg-home\n")));
        const int reached = status();
        // Nothing reports after the close, the end of the connect's wait included.
        ASSERT_TRUE(guitest::waitFor([&wait] { return wait.isNull(); }));
        settle();
        EXPECT_EQ(status(), reached);
        page.reset();
    }
}

} // namespace
