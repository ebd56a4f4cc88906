// The connection state machine: each status slot's status, texts, colours, log line and
// signal (a repeated 3 included), the button without profiles, the spinner of a hidden
// page, the report sent at every tick in every status, the controller's own timings, a
// close for a kind without a road, and the tunnel worker that runs the slow commands in
// order off the GUI thread.
#include <QTimer>
#include <atomic>
#include <thread>

#include "ConnectTestSupport.h"
#include "ProcessPipe.h"
#include "TunnelWorker.h"
#include "ZRLoadingPie.h"

using namespace connecttest;

namespace {

class StateMachine : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        addWireGuardProfile("wg-home");
    }
    void slot(const char* name) { ASSERT_TRUE(QMetaObject::invokeMethod(controller(), name)); }
};

TEST_F(StateMachine, EachStatusSlotShowsAnnouncesAndLogsItsState) {
    const char* const light = "#labelConnectStatus{color:#1D2529;}";
    const char* const green = "#labelConnectStatus{color:#0DC901;}";
    const char* const red = "#labelConnectStatus{color:#FF3F65;}";
    const struct {
        const char* slot;
        int status;
        const char* label;
        const char* style;
        const char* button;
        bool warning;
        int signal; // -1: none
        const char* log;
    } steps[] = {
        {"slotConnectVPNStart", 1, "Connecting...", light, "Connecting...", false, 1, nullptr},
        {"slotConnectVPNSuccess", 2, "Connected", green, "Disconnect", false, 2, "Connected"},
        {"slotConnectVPNStop", 2, "Connected", green, "Disconnect", false, -1, nullptr},
        {"slotNoConnectVPN", 0, "No Connection", light, "Connect", false, 0, nullptr},
        {"slotConnectVPNStart", 1, "Connecting...", light, "Connecting...", false, 1, nullptr},
        {"slotConnectVPNFailed", 3, "Disconnected", red, "Connect", true, 3, "Connect failed"},
        {"slotConnectVPNFailed", 3, "Disconnected", red, "Connect", true, 3, "Connect failed"},
        {"slotConnectVPNStart", 1, "Connecting...", light, "Connecting...", false, 1, nullptr},
        // A cancel keeps the connecting colour and shows no warning.
        {"slotCancelVPNConnect", 3, "No Connection", light, "Connect", false, 3, "Cancel connect"},
    };
    open("wg-home");
    int announced = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.slot);
        const guitest::LogMark mark;
        slot(step.slot);
        EXPECT_EQ(status(), step.status);
        EXPECT_EQ(hometest::app()->GetConnectStatus(), step.status);
        EXPECT_EQ(text("labelConnectStatus"), QString::fromLatin1(step.label));
        EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QString::fromLatin1(step.style));
        EXPECT_EQ(text("btnConnect"), QString::fromLatin1(step.button));
        EXPECT_EQ(w("statusIconWidget")->isVisible(), step.warning);
        if (step.signal >= 0) {
            ++announced;
            ASSERT_EQ(statusChanges->count(), announced);
            EXPECT_EQ(statusChanges->last()[0].toInt(), step.signal);
        }
        EXPECT_EQ(statusChanges->count(), announced);
        const QString added = mark.added();
        if (step.log != nullptr) {
            EXPECT_EQ(added.count(QStringLiteral("VPN :: Status")), 1) << added.toStdString();
            EXPECT_TRUE(added.endsWith(
                QStringLiteral("] VPN :: Status: %1; Porfile: { wg-home }; Type: { WireGuard VPN } \n")
                    .arg(QLatin1String(step.log))))
                << added.toStdString();
        } else {
            EXPECT_FALSE(added.contains(QStringLiteral("VPN :: Status"))) << added.toStdString();
        }
    }
    // The start makes the selected profile the current one.
    ProfileInfo current;
    hometest::app()->GetCurrentProfile(&current);
    EXPECT_STREQ(current.ProfileName, "wg-home");
    EXPECT_EQ(current.ProfileType, 4);
}

TEST_F(StateMachine, KindNamesInTheLog) {
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(1), "IPsec VPN");
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(2), "SSL VPN");
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(3), "Open VPN");
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(4), "WireGuard VPN");
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(0), "");
    EXPECT_EQ(ConnectionController::VPNTypeToLogName(5), "");
}

TEST_F(StateMachine, TheButtonDoesNothingWithoutProfiles) {
    open("wg-home");
    hometest::clearStore();
    page->refreshProfileInfo();
    const guitest::LogMark mark;
    press();
    settle();
    EXPECT_EQ(status(), CONNECT_STATUS_NOT_CONNECTED);
    EXPECT_EQ(statusChanges->count(), 0);
    EXPECT_TRUE(mark.added().isEmpty());
    EXPECT_FALSE(QFile::exists(QStringLiteral("wireguard-calls.txt")));
}

TEST_F(StateMachine, AHiddenPageShowsTheSpinnerOnlyWhenShownAgain) {
    open("wg-home");
    QSignalSpy loading(page.get(), SIGNAL(signalStartLoading()));
    page->hide();
    slot("slotConnectVPNStart");
    EXPECT_EQ(loading.count(), 0);
    auto* spinner = page->findChild<ZRLoadingPie*>();
    ASSERT_NE(spinner, nullptr);
    EXPECT_FALSE(spinner->isVisible());
    page->show();
    EXPECT_EQ(loading.count(), 1);
    EXPECT_TRUE(spinner->isVisible());
    slot("slotCancelVPNConnect");
    EXPECT_FALSE(spinner->isVisible());
}

TEST_F(StateMachine, TheReportGoesOutAtEveryTickInEveryStatus) {
    open("wg-home");
    QSignalSpy report(page.get(), SIGNAL(signalUpdateConnectInfo(int, QString, QString, QString, QString,
                                                                 QVector<double>, QVector<double>)));
    for (const char* step : {"slotNoConnectVPN", "slotConnectVPNStart", "slotConnectVPNFailed"}) {
        slot(step);
        QMetaObject::invokeMethod(controller(), "slotGetConnectStatusAndFlow");
        ASSERT_FALSE(report.isEmpty());
        EXPECT_EQ(report.last()[0].toInt(), status()) << step;
        EXPECT_EQ(report.last()[1].toString(), QStringLiteral("wg-home"));
    }
    EXPECT_EQ(report.count(), 3);
    // The page's own timer sends it at each of its ticks as well.
    ConnectionTimings shortTick = timings;
    shortTick.statusTickMs = 20;
    controller()->setTimings(shortTick);
    EXPECT_TRUE(guitest::waitFor([&] { return report.count() >= 5; }, 30000));
}

TEST_F(StateMachine, TheControllerWaitsTheClientsOwnTimesUnlessGivenOthers) {
    const struct {
        const char* what;
        int ConnectionTimings::*member;
        int ms;
    } realTimes[] = {
        {"status tick", &ConnectionTimings::statusTickMs, 1000},
        {"completion poll", &ConnectionTimings::connectPollMs, 2000},
        {"completion poll's limit", &ConnectionTimings::connectPollLimitMs, 15000},
        {"WireGuard wait", &ConnectionTimings::wireGuardWaitMs, 5000},
        {"toast", &ConnectionTimings::toastMs, 1500},
        {"close's wait", &ConnectionTimings::quitWaitMs, 15000},
    };
    // A page as the main window makes it.
    page = std::make_unique<HomeWidget>();
    ConnectionController* own = page->connectionController();
    for (const auto& time : realTimes) {
        EXPECT_EQ(ConnectionTimings().*time.member, time.ms) << time.what;
        EXPECT_EQ(own->timings().*time.member, time.ms) << time.what;
    }
    auto* tick = own->findChild<QTimer*>(QStringLiteral("statusTimer"));
    ASSERT_NE(tick, nullptr);
    EXPECT_TRUE(tick->isActive());
    EXPECT_EQ(tick->interval(), 1000);

    // Others given take effect, the running tick's at once.
    own->setTimings(testTimings());
    EXPECT_EQ(own->timings().wireGuardWaitMs, testTimings().wireGuardWaitMs);
    EXPECT_EQ(tick->interval(), testTimings().statusTickMs);
    EXPECT_TRUE(tick->isActive());
}

TEST_F(StateMachine, ACloseForAKindWithoutARoadEndsNothing) {
    // An openvpn recorded in the OpenVPN context, as a connect leaves it.
    ASSERT_TRUE(
        guitest::writeBundleProgram(QStringLiteral("bin/OpenVPN/openvpn.exe"), "#!/bin/sh\nexec sleep 60\n"));
    ProcessPipe pipe;
    PROCESS_INFORMATION running;
    ASSERT_EQ(pipe.StartProcess("./bin/OpenVPN/openvpn.exe", "--config x.ovpn", &running), "Success");
    hometest::app()->GetOpenVPNContext()->SetProcessInfo(running);
    open("wg-home");
    ProfileInfo unknown;
    unknown.ProfileType = 9;
    std::snprintf(unknown.ProfileName, sizeof(unknown.ProfileName), "wg-home");
    controller()->disconnectTunnel(unknown);
    controller()->cancelConnect(unknown);
    settle();
    EXPECT_EQ(::kill(static_cast<pid_t>(running.dwProcessId), 0), 0) << "openvpn was ended";
    EXPECT_FALSE(QFile::exists(QStringLiteral("wireguard-calls.txt")));
    pipe.KillProcess(running);
    hometest::app()->GetOpenVPNContext()->SetProcessInfo(PROCESS_INFORMATION());
    EXPECT_TRUE(processGone(static_cast<int>(running.dwProcessId)));
}

TEST(TunnelWorkerTest, RunsJobsInOrderOffTheGuiThreadAndHandsResultsBack) {
    TunnelWorker worker;
    const std::thread::id gui = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> offGui{true};
    std::vector<int> results;
    for (int i = 0; i < 5; ++i) {
        worker.run<int>(
            [i, gui, &order, &offGui] {
                offGui = offGui && std::this_thread::get_id() != gui;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                order.push_back(i);
                return i * 10;
            },
            [gui, &results](int value) {
                EXPECT_EQ(std::this_thread::get_id(), gui);
                results.push_back(value);
            });
    }
    EXPECT_TRUE(worker.waitIdle(30000));
    EXPECT_TRUE(offGui);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(guitest::waitFor([&] { return results.size() == 5; }));
    EXPECT_EQ(results, (std::vector<int>{0, 10, 20, 30, 40}));
}

TEST(TunnelWorkerTest, AHeldJobHoldsUpOnlyTheJobsBehindIt) {
    TunnelWorker worker;
    std::atomic<bool> release{false};
    std::atomic<bool> second{false};
    worker.post([&release] {
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    worker.post([&second] { second = true; });
    // The GUI thread goes on; waiting for the worker gives up after its limit.
    EXPECT_FALSE(worker.waitIdle(100));
    EXPECT_FALSE(worker.isIdle());
    EXPECT_FALSE(second);
    release = true;
    EXPECT_TRUE(worker.waitIdle(30000));
    EXPECT_TRUE(second);
}

TEST(TunnelWorkerTest, NoResultReachesAWorkerThatHasGone) {
    bool delivered = false;
    {
        TunnelWorker worker;
        worker.run([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); },
                   [&delivered] { delivered = true; });
    }
    // The worker's end waited for the job; whatever it had posted is delivered now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

} // namespace
