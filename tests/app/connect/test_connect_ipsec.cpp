// The IPsec road with test doubles of strongSwan's daemon and swanctl: connected with
// the rekey timer, the worker's failure and its toast, the time-out at the eighth tick,
// preparation failures (no poll, no toast, IKEEXT set back), cancel during the initiate,
// disconnect, and the rekey check handed to the worker and dropped after a teardown.
#include <QTimer>

#include "ConnectTestSupport.h"
#include "IPSecTestSupport.h"
#include "IPSecVPNContext.h"
#include "ServiceTable.h"
#include "ZRToastDialog.h"

using namespace connecttest;

namespace {

ipsectest::CharonMachineLock charonLock;

const char* const kInitiated = "[IKE] IKE_SA office[1] established between 192.0.2.1...192.0.2.2\n"
                               "[IKE] CHILD_SA office_child{1} established with SPIs\n"
                               "initiate completed successfully\n";
const char* const kPeerDown = "initiate failed: establishing CHILD_SA 'office_child' failed\n"
                              "[IKE] establishing IKE_SA failed, peer not responding\n";

class IPSecRoad : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        QDir(QStringLiteral("bin/ipsec")).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("bin/ipsec/swanctl")));
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("bin/ipsec/answers")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KORVA_SOURCE_DIR "/tests/core/ipsec/doubles/swanctl.exe"),
                                QStringLiteral("bin/ipsec/swanctl.exe")));
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(IPSEC_CHARON_DOUBLE), QStringLiteral("bin/ipsec/charon-svc.exe")));
        for (const char* program : {"bin/ipsec/swanctl.exe", "bin/ipsec/charon-svc.exe"}) {
            QFile::setPermissions(QString::fromLatin1(program),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        SetServiceTablePath((QDir::currentPath() + QStringLiteral("/services.table")).toUtf8().constData());
        QFile::remove(QStringLiteral("services.table"));
        IPSecVPNInfo info;
        info.SetPolicyName("office");
        info.SetLocalAddrs("192.0.2.1");
        info.SetRemoteAddrs("192.0.2.2");
        info.SetEspProposals("sha256-aes256");
        info.SetIkeHash("sha256");
        info.SetIkeEncryption("aes256");
        info.SetIkeDHGroup("modp2048");
        info.SetPSKSecret("secret");
        ASSERT_EQ(hometest::store()->InsertIPSecProfile(&info), 0);
        hometest::addProfileRow("office", 1, info.GetID());
    }
    void TearDown() override {
        ConnectTest::TearDown();
        ipsectest::endDaemons();
    }

    void answer(const char* verb, const char* text) {
        writeFile(QStringLiteral("bin/ipsec/answers/") + verb, text);
    }
    void hold(const char* verb) { writeFile(QStringLiteral("bin/ipsec/answers/%1.hold").arg(verb), ""); }
    void release(const char* verb) { QFile::remove(QStringLiteral("bin/ipsec/answers/%1.hold").arg(verb)); }
    int callCount(const QString& args) {
        return readFile(QStringLiteral("bin/ipsec/calls.log"))
            .count(QLatin1Char('|') + args + QLatin1Char('\n'));
    }
    QTimer* poll() { return controller()->findChild<QTimer*>(QStringLiteral("ipsecPollTimer")); }
    // Waits until the preparation is done and the poll runs, then runs it by hand.
    void takeOverPoll() {
        ASSERT_TRUE(waitPolling("ipsecPollTimer"));
        poll()->start(3600000);
    }
    void tick() { QMetaObject::invokeMethod(controller(), "slotGetIPSecVPNConnectMsg"); }
    static ServiceEntry ikeext() {
        ServiceEntry entry;
        EXPECT_TRUE(ServiceTableRead("IKEEXT", &entry));
        return entry;
    }
    static bool connectFinished() {
        return guitest::waitFor([] { return hometest::app()->GetIPSecVPNContext()->GetConnectFinished(); });
    }
    bool initiated() {
        return guitest::waitFor(
            [this] { return callCount(QStringLiteral("--initiate --child office_child")) == 1; });
    }
};

TEST_F(IPSecRoad, ConnectsKeepsTheRekeyTimerAndDisconnects) {
    answer("initiate", kInitiated);
    open("office");
    QSignalSpy finished(controller(), SIGNAL(signalIPSecVPNConnectFinished(int)));
    press();
    takeOverPoll();
    ASSERT_TRUE(connectFinished());
    tick();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first()[0].toInt(), 0);
    EXPECT_EQ(status(), CONNECT_STATUS_CONNECTED);
    EXPECT_TRUE(hometest::app()->GetIPSecVPNContext()->IsRekeyTimerActive());
    EXPECT_TRUE(w("labelIPWidget")->isVisible());
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_GT(getCharonPid(), 1);
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("IPSec :: connect finished, errorcode = 0 \n")));

    // Connected: the time runs, there is no traffic to read.
    for (int i = 0; i < 2; ++i) {
        QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
    }
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("0h 0m 2s"));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    EXPECT_EQ(controller()->hourlyUploadMiB(), QVector<double>(24, 0.0));

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED));
    // The terminate command is started, not waited for: its call is waited for.
    EXPECT_TRUE(guitest::waitFor(
        [this] { return callCount(QStringLiteral("--terminate --force --ike office")) == 1; }));
    EXPECT_EQ(getCharonPid(), 0);
    EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_FALSE(hometest::app()->GetIPSecVPNContext()->IsRekeyTimerActive());
    EXPECT_TRUE(guitest::logText().contains(
        QStringLiteral("IPSec :: IPSecVPN Disconnect: terminate IPSec connection\n")));
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 2, 0}));
}

TEST_F(IPSecRoad, WorkerFailuresTearDownWithTheirToast) {
    const struct {
        const char* what;
        bool silent; // the initiate never answers: the poll gives up at its eighth tick
        int result;
        const char* toast;
    } cases[] = {
        {"five failed initiates", false, -9, "Connection failed, please check your configuration."},
        {"no result in time", true, -4, "Connection Timeout."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        answer("initiate", kPeerDown);
        if (c.silent) {
            hold("initiate");
        }
        open("office");
        QSignalSpy finished(controller(), SIGNAL(signalIPSecVPNConnectFinished(int)));
        press();
        takeOverPoll();
        if (!c.silent) {
            ASSERT_TRUE(connectFinished());
        }
        for (int i = 1; i <= 7 && finished.isEmpty(); ++i) {
            tick();
        }
        EXPECT_EQ(finished.count(), c.silent ? 0 : 1);
        tick();
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(finished.first()[0].toInt(), c.result);
        release("initiate");
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 15000));
        // Toasts queue: the earlier case's may still show.
        EXPECT_TRUE(
            guitest::waitFor([&] { return guitest::toastText() == QString::fromLatin1(c.toast); }, 5000))
            << guitest::toastText().toStdString();
        EXPECT_EQ(getCharonPid(), 0) << "torn down";
        EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Disconnected"));
        closePage();
        ipsectest::endDaemons();
        QFile::remove(QStringLiteral("bin/ipsec/calls.log"));
        QDir(QStringLiteral("bin/ipsec/answers")).removeRecursively();
        QDir().mkpath(QStringLiteral("bin/ipsec/answers"));
    }
}

TEST_F(IPSecRoad, PreparationFailuresEndAtOnceWithoutAPoll) {
    // IKEEXT cannot be stopped (-7); then the daemon does not stay up (-8), where IKEEXT
    // is set back to automatic start.
    for (int code : {-7, -8}) {
        SCOPED_TRACE(code);
        if (code == -7) {
            ikeext();
            ASSERT_TRUE(ServiceTableRemove("IKEEXT"));
        } else {
            QFile::remove(QStringLiteral("services.table"));
            writeFile(QStringLiteral("bin/ipsec/charon-double-exit"), "");
        }
        open("office");
        ASSERT_TRUE(guitest::waitFor([] { return !ZRToastDialog::instance()->isVisible(); }, 8000));
        QSignalSpy finished(controller(), SIGNAL(signalIPSecVPNConnectFinished(int)));
        press();
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED));
        EXPECT_TRUE(guitest::logText().contains(
            QStringLiteral("IPSec :: Error::IPSecVPN Connection Pre-job Failed.\n")));
        EXPECT_TRUE(poll() == nullptr || !poll()->isActive());
        EXPECT_FALSE(ZRToastDialog::instance()->isVisible());
        settle();
        EXPECT_EQ(finished.count(), 0);
        if (code == -8) {
            EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
        }
        closePage();
    }
    QFile::remove(QStringLiteral("bin/ipsec/charon-double-exit"));
}

TEST_F(IPSecRoad, CancelDuringTheInitiateEndsTheDaemonAndNothingFollows) {
    answer("initiate", kInitiated);
    hold("initiate");
    open("office");
    QSignalSpy finished(controller(), SIGNAL(signalIPSecVPNConnectFinished(int)));
    press();
    takeOverPoll();
    ASSERT_TRUE(initiated());
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_DISCONNECTED, 15000));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_EQ(getCharonPid(), 0);
    release("initiate");
    for (int i = 0; i < 8; ++i) {
        tick();
    }
    settle();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(status(), CONNECT_STATUS_DISCONNECTED);
    EXPECT_EQ(statusSignals(), (std::vector<int>{1, 3}));
}

TEST_F(IPSecRoad, TheRekeyCheckRunsOnTheWorkerAndNotAfterATeardown) {
    answer("initiate", kInitiated);
    answer("list", "office: #1, ESTABLISHED\n  office_child: #1, INSTALLED\n");
    open("office");
    press();
    takeOverPoll();
    ASSERT_TRUE(connectFinished());
    tick();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
    const int daemon = getCharonPid();

    // The timer's tick hands the check over: it returns while the check's listing is held.
    hold("list");
    IPSecVPNContext::RekeyTimerProc();
    ASSERT_TRUE(guitest::waitFor([this] { return callCount(QStringLiteral("--list-sas --noblock")) == 1; }));

    // A disconnect waits behind the running check; a check handed over after it is dropped,
    // so that no check starts the daemon again after the teardown.
    press();
    IPSecVPNContext::RekeyTimerProc();
    release("list");
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 15000));
    settle();
    EXPECT_EQ(callCount(QStringLiteral("--list-sas --noblock")), 1);
    EXPECT_EQ(getCharonPid(), 0);
    EXPECT_EQ(readFile(QStringLiteral("bin/ipsec/charon-starts.log")).count(QStringLiteral("start")), 1);
    EXPECT_NE(daemon, 0);
}

TEST_F(IPSecRoad, CloseWhileConnectingOrConnectedEndsTheDaemon) {
    for (bool connected : {false, true}) {
        SCOPED_TRACE(connected ? "connected" : "connecting");
        answer("initiate", kInitiated);
        if (!connected) {
            hold("initiate");
        }
        open("office");
        press();
        takeOverPoll();
        if (connected) {
            ASSERT_TRUE(connectFinished());
            tick();
            ASSERT_EQ(status(), CONNECT_STATUS_CONNECTED);
        } else {
            ASSERT_TRUE(initiated());
        }
        ASSERT_GT(getCharonPid(), 1);
        ProfileInfo current;
        hometest::app()->GetCurrentProfile(&current);
        if (connected) {
            page->tunnelTeardown()->disconnectTunnel(current);
        } else {
            page->tunnelTeardown()->cancelConnect(current);
        }
        release("initiate");
        EXPECT_EQ(getCharonPid(), 0);
        EXPECT_EQ(ikeext().startType, static_cast<DWORD>(SERVICE_AUTO_START));
        page.reset();
        QFile::remove(QStringLiteral("bin/ipsec/calls.log"));
    }
}

} // namespace
