// The aims run's tick phase: what one second's update costs the GUI thread while a
// tunnel is connected. The home page shows an OpenVPN profile as connected (no program
// runs); the connection controller's own tick runs with new traffic totals each time, and
// the window's posted layouts and repaints are handled after it. Measured in thread CPU
// time, with the window on the home page, with the tray pop-up open beside it (with the
// shadow images made meanwhile), on another page, minimised and hidden to the tray.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <vector>

#include "AppContext.h"
#include "ConnectionController.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "PaintedShadow.h"
#include "SystemContext.h"
#include "VPNMenuDialog.h"
#include "ZRVPNClient.h"
#include "bench_phases.h"

namespace {

using namespace benchaims;

constexpr int kTicks = 300;

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Handles what the tick posted (layout requests, then the repaint) until nothing is left.
void Settle() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

struct Ticker {
    HomeWidget* page;
    ConnectionController* controller;
    int second = 0;

    // The mean thread CPU of one tick with its layouts and repaint, in ms, over kTicks ticks.
    double run() {
        Settle();
        double total = 0;
        for (int i = 0; i < kTicks; ++i) {
            ++second;
            const double start = ThreadCpuMs();
            // The totals grow as a download would: the figures change every second, their
            // width now and then.
            page->showTrafficTotals(second * 0.37, second * 1.91);
            controller->slotGetConnectStatusAndFlow();
            Settle();
            total += ThreadCpuMs() - start;
        }
        return total / kTicks;
    }
};

QAbstractButton* WindowButton(ZRVPNClient* window, const char* name) {
    return window->findChild<QAbstractButton*>(QLatin1String(name));
}

} // namespace

BENCH_AIMS_PHASE(30, TickPhase, "one second's update of the home page (tick)") {
    ZRVPNClient* window = context.window;
    HomeWidget* page = window->findChild<HomeWidget*>();
    ConnectionController* controller = page->connectionController();
    auto* statusTimer = controller->findChild<QTimer*>(QStringLiteral("statusTimer"));
    if (statusTimer == nullptr || WindowButton(window, "btnHome") == nullptr ||
        WindowButton(window, "btnProfile") == nullptr) {
        std::printf("  the status timer or the page buttons were not found\n");
        return;
    }

    OpenVPNInfo openvpn;
    openvpn.VPNConfig = "client\n";
    SystemContext::Instance()->GetAppContext()->GetSqlite()->InsertOpenVPNConfig(&openvpn);
    ProfileInfo profile;
    profile.ProfileType = VPN_TYPE_OPENVPN;
    profile.ConfigID = openvpn.ID;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", "tick_ovpn");
    SystemContext::Instance()->GetAppContext()->GetSqlite()->InsertProfile(&profile);
    page->refreshProfileInfo();
    QMetaObject::invokeMethod(page, "slotProfileChoosed", Q_ARG(int, 0), Q_ARG(QString, "tick_ovpn"),
                              Q_ARG(int, VPN_TYPE_OPENVPN), Q_ARG(int, openvpn.ID),
                              Q_ARG(QString, "198.51.100.7"), Q_ARG(QString, QString()), Q_ARG(int, -1));

    // The controller's tick runs here alone, at the benchmark's pace.
    statusTimer->stop();
    page->showConnected();
    Ticker ticker{page, controller};

    WindowButton(window, "btnHome")->click();
    const double home = ticker.run();

    double popupShown = 0;
    int popupShadows = 0;
    {
        VPNMenuDialog popup;
        QObject::connect(window,
                         SIGNAL(signalConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                                  QVector<double>)),
                         &popup,
                         SLOT(slotUpdateConnectInfo(int, QString, QString, QString, QString, QVector<double>,
                                                    QVector<double>)));
        popup.show();
        Settle();
        const int imagesBefore = PaintedShadow::imagesMade();
        popupShown = ticker.run();
        popupShadows = PaintedShadow::imagesMade() - imagesBefore;
        popup.hide();
    }

    WindowButton(window, "btnProfile")->click();
    const double otherPage = ticker.run();
    WindowButton(window, "btnHome")->click();

    window->showMinimized();
    const double minimised = ticker.run();
    window->showNormal();

    window->hide();
    const double hidden = ticker.run();
    window->show();

    page->showNotConnected();
    statusTimer->start();
    Settle();

    std::printf("  one tick with its layouts and repaint, thread CPU (mean of %d):\n", kTicks);
    std::printf("    home page shown %.3f ms, with the tray pop-up open %.3f ms, another page shown %.3f "
                "ms,\n    window minimised %.3f ms, window hidden to the tray %.3f ms\n",
                home, popupShown, otherPage, minimised, hidden);
    std::printf("    shadow images made while the tray pop-up was open: %d\n", popupShadows);
    std::printf("    once a second on the home page: %.4f %% of one core\n", home / 10);
    std::fflush(stdout);
}
