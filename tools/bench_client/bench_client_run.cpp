// The client benchmark: the longest stall of the GUI event loop while the home page
// connects, stays connected and disconnects a profile of each kind, measured by a
// heartbeat timer that fires every 2 ms. First with stand-ins of the bundle's programs
// that take as long as the bundle's own were measured to take (openvpn ending in 2 s as
// it says goodbye to its peer, "wg show" 0.3 s, the WireGuard install and uninstall 0.9 s,
// swanctl's initiate 1 s, its listing 0.3 s), then with programs that hang; with --real
// (as root, with network namespaces) also against real OpenVPN, WireGuard and strongSwan
// servers through the bundle. Run it through bench_client, which gives it a scratch folder.
//
//   bench_client [--real] [--seconds N]
//
// With --aims it measures instead the figures the client is held to (bench_aims.h), with
// 60 s phases unless --seconds says otherwise; `./dev.sh bench` runs that. --only WORD
// runs only the phases whose name holds WORD ("start" for the starts).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QTranslator>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "AppContext.h"
#include "ConnectionController.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "NetworkAdapters.h"
#include "RealVpnServers.h"
#include "ServiceTable.h"
#include "SystemContext.h"
#include "bench_aims.h"
#include "bench_real_profiles.h"

namespace {

constexpr int kHeartbeatMs = 2;

// The longest gap between two heartbeats, less the heartbeat's own interval, per phase.
class StallMeter : public QObject {
public:
    StallMeter() {
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(kHeartbeatMs);
        connect(&heartbeat, &QTimer::timeout, this, [this] {
            const qint64 now = clock.nsecsElapsed();
            const double stall = (now - last) / 1e6 - kHeartbeatMs;
            last = now;
            if (stall > longest) {
                longest = stall;
            }
            over16 += stall > 16 ? 1 : 0;
            over50 += stall > 50 ? 1 : 0;
        });
        clock.start();
        heartbeat.start();
    }
    void begin(const std::string& scenario, const std::string& phase) {
        current = scenario;
        currentPhase = phase;
        longest = 0;
        over16 = over50 = 0;
        started = clock.nsecsElapsed();
        last = started;
    }
    void end(bool reached = true) {
        const double seconds = (clock.nsecsElapsed() - started) / 1e9;
        std::printf("%-44s %-24s %7.1f s %9.1f ms %8d %8d%s\n", current.c_str(), currentPhase.c_str(),
                    seconds, longest, over16, over50, reached ? "" : "  (did not reach its state)");
        std::fflush(stdout);
        if (longest > worst) {
            worst = longest;
        }
    }
    double worst = 0;

private:
    QTimer heartbeat;
    QElapsedTimer clock;
    qint64 started = 0;
    qint64 last = 0;
    double longest = 0;
    int over16 = 0;
    int over50 = 0;
    std::string current;
    std::string currentPhase;
};

// Runs the event loop for ms milliseconds.
void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds (checked every 10 ms) or the limit passes.
bool spinUntil(const std::function<bool()>& condition, int limitMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    check.start(10);
    loop.exec();
    return condition();
}

bool writeProgram(const QString& path, const QByteArray& text) {
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    file.write(text);
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Stand-ins of the bundle's programs with the bundle's measured durations. Each records
// its process id in bench-pids.txt, so that a hung one can be ended by it.
const QByteArray kOpenVPN = R"SH(#!/bin/bash
echo $$ >> bench-pids.txt
trap 'sleep 2; exit 0' TERM
sleep 0.5
echo "Initialization Sequence Completed"
while :; do sleep 0.2; done
)SH";
const QByteArray kWireGuard = R"SH(#!/bin/bash
sleep 0.9
case "$1" in
/installtunnelservice) shift; touch "up-$(basename "$*" .conf)"; echo installed ;;
/uninstalltunnelservice) shift; rm -f "up-$*"; echo uninstalled ;;
esac
)SH";
const QByteArray kWg = R"SH(#!/bin/bash
echo $$ >> bench-pids.txt
[ -f wg-hang ] && sleep 3600
sleep 0.3
n=$(( $(cat wg-count 2>/dev/null || echo 0) + 1 )); echo $n > wg-count
[ -f "up-$2" ] || { echo "Unable to access interface: No such device"; exit 1; }
printf 'interface: %s\n  listening port: 51820\n\npeer: x\n  latest handshake: 1 second ago\n  transfer: %d.00 KiB received, %d.00 KiB sent\n' "$2" $((n * 90)) $((n * 40))
)SH";
const QByteArray kSwanctl = R"SH(#!/bin/bash
here=$(cd "$(dirname "$0")" && pwd)
echo $$ >> "$here/../../bench-pids.txt"
case "$1" in
--initiate) [ -f "$here/hang" ] && sleep 3600; sleep 1; echo "initiate completed successfully" ;;
--list-sas) sleep 0.3; printf 'office: #1, ESTABLISHED\n  office_child: #1, INSTALLED\n' ;;
--rekey) sleep 0.3; echo "rekey completed successfully" ;;
--terminate) sleep 0.2; echo "terminate completed successfully" ;;
*) sleep 0.2 ;;
esac
)SH";

// The OpenVPN management interface: "load-stats" answered with growing counters.
class ManagementStandIn : public QObject {
public:
    bool listen() {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* client = server.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, [this, client] {
                client->readAll();
                ++requests;
                client->write(QByteArray("SUCCESS: nclients=0,bytesin=") +
                              QByteArray::number(requests * 90000) +
                              ",bytesout=" + QByteArray::number(requests * 40000) + "\r\n");
            });
        });
        return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 11505);
    }

private:
    QTcpServer server;
    qint64 requests = 0;
};

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

int addProfile(const char* name, int type, int configId) {
    ProfileInfo profile;
    profile.ProfileType = type;
    profile.ConfigID = configId;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
    app()->GetSqlite()->InsertProfile(&profile);
    return profile.ProfileID;
}

class Bench {
public:
    Bench(StallMeter& meter, int seconds) : meter(meter), seconds(seconds) {
        page = std::make_unique<HomeWidget>();
        page->resize(718, 514);
        page->show();
        const SETTINGINFO settings = [] {
            SETTINGINFO row;
            app()->GetSettingInfo(&row);
            return row;
        }();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
        spin(100);
    }

    // Connects the named profile, keeps it connected, disconnects it; during the connected
    // phase `whileConnected` runs once a second.
    void cycle(const std::string& scenario, const char* name,
               const std::function<void()>& whileConnected = nullptr, int connectLimitMs = 30000) {
        page->refreshProfileInfo();
        meter.begin(scenario, "connecting");
        page->connectProfileByName(QString::fromLatin1(name));
        const bool connected =
            spinUntil([this] { return status() == CONNECT_STATUS_CONNECTED; }, connectLimitMs);
        meter.end(connected);
        if (!connected) {
            page->clickConnectButton();
            spinUntil([this] { return status() != CONNECT_STATUS_CONNECTING; }, 30000);
            return;
        }
        meter.begin(scenario, "connected");
        for (int second = 0; second < seconds; ++second) {
            if (whileConnected) {
                whileConnected();
            }
            spin(1000);
        }
        meter.end();
        meter.begin(scenario, "disconnecting");
        page->clickConnectButton();
        meter.end(spinUntil([this] { return status() == CONNECT_STATUS_NOT_CONNECTED; }, 30000));
    }

    int status() const { return page->currentStatus(); }
    std::unique_ptr<HomeWidget> page;

private:
    StallMeter& meter;
    int seconds;
};

void runWithStandIns(StallMeter& meter, int seconds) {
    writeProgram(QStringLiteral("bin/OpenVPN/openvpn.exe"), kOpenVPN);
    writeProgram(QStringLiteral("bin/Wireguard/wireguard"), kWireGuard);
    writeProgram(QStringLiteral("bin/Wireguard/wg"), kWg);
    writeProgram(QStringLiteral("bin/ipsec/swanctl.exe"), kSwanctl);
    QDir().mkpath(QStringLiteral("bin/ipsec/swanctl"));
    QFile::copy(QStringLiteral(BENCH_CHARON_DOUBLE), QStringLiteral("bin/ipsec/charon-svc.exe"));
    QFile::setPermissions(QStringLiteral("bin/ipsec/charon-svc.exe"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    OpenVPNInfo openvpn;
    openvpn.VPNConfig = "client\n";
    app()->GetSqlite()->InsertOpenVPNConfig(&openvpn);
    addProfile("bench_ovpn", VPN_TYPE_OPENVPN, openvpn.ID);
    WireGuardVPNInfo wireguard;
    std::snprintf(wireguard.IPAddr, sizeof(wireguard.IPAddr), "10.8.0.2");
    wireguard.InterSubMask = 24;
    std::snprintf(wireguard.WanIP, sizeof(wireguard.WanIP), "192.0.2.9");
    wireguard.PeerPort = 51820;
    // The nudge after the install goes to loopback.
    std::snprintf(wireguard.AllowdIPs, sizeof(wireguard.AllowdIPs), "127.77.0.0/24");
    app()->GetSqlite()->InsertWireGuardInfo(&wireguard);
    addProfile("bench_wg", VPN_TYPE_WIREGUARD, wireguard.ID);
    IPSecVPNInfo ipsec;
    ipsec.SetPolicyName("office");
    ipsec.SetLocalAddrs("192.0.2.1");
    ipsec.SetRemoteAddrs("192.0.2.2");
    ipsec.SetEspProposals("sha256-aes256");
    ipsec.SetIkeHash("sha256");
    ipsec.SetIkeEncryption("aes256");
    ipsec.SetIkeDHGroup("modp2048");
    ipsec.SetPSKSecret("secret");
    app()->GetSqlite()->InsertIPSecProfile(&ipsec);
    addProfile("office", VPN_TYPE_IPSEC, ipsec.GetID());

    ManagementStandIn management;
    const bool served = management.listen();
    Bench bench(meter, seconds);
    bench.cycle(served ? "OpenVPN, stand-ins (ends in 2 s)" : "OpenVPN, stand-ins, port 11505 taken",
                "bench_ovpn");
    bench.cycle("WireGuard, stand-ins (wg show 0.3 s)", "bench_wg");
    // The rekey check (a listing of 0.3 s) once a second instead of once a minute.
    bench.cycle("IPsec, stand-ins (rekey check every 1 s)", "office",
                [] { IPSecVPNContext::RekeyTimerProc(); });

    // Programs that hang: "wg show" while connected, the initiate while connecting.
    bench.cycle("WireGuard, \"wg show\" hangs", "bench_wg", [] {
        QFile file(QStringLiteral("wg-hang"));
        file.open(QIODevice::WriteOnly);
    });
    QFile::remove(QStringLiteral("wg-hang"));
    QFile hang(QStringLiteral("bin/ipsec/hang"));
    hang.open(QIODevice::WriteOnly);
    hang.close();
    bench.page->refreshProfileInfo();
    meter.begin("IPsec, initiate hangs", "connecting");
    bench.page->connectProfileByName(QStringLiteral("office"));
    spin(3000);
    meter.end();
    meter.begin("IPsec, initiate hangs", "cancelling");
    bench.page->clickConnectButton();
    meter.end(spinUntil([&] { return bench.status() == CONNECT_STATUS_DISCONNECTED; }, 30000));
    QFile::remove(QStringLiteral("bin/ipsec/hang"));
    bench.page->connectionController()->finishTunnelWork(10000);
    bench.page.reset();

    // The hung stand-ins are this process's own; they are ended by their ids.
    QFile pids(QStringLiteral("bench-pids.txt"));
    if (pids.open(QIODevice::ReadOnly)) {
        for (const QByteArray& pid : pids.readAll().split('\n')) {
            if (pid.toInt() > 1) {
                ::kill(pid.toInt(), SIGKILL);
            }
        }
    }
}

// Pings through the tunnel from a thread of its own while connected.
class Traffic {
public:
    explicit Traffic(std::string address) : address(std::move(address)) {}
    ~Traffic() { stop(); }
    void start() {
        running = true;
        thread = std::thread([this] {
            while (running) {
                realvpn::PingAnswers(address, 1, 1200);
            }
        });
    }
    void stop() {
        running = false;
        if (thread.joinable()) {
            thread.join();
        }
    }

private:
    std::string address;
    std::atomic<bool> running{false};
    std::thread thread;
};

void runAgainstRealServers(StallMeter& meter, int seconds) {
    if (!realvpn::Unavailable().empty()) {
        std::printf("real servers: not run (%s)\n", realvpn::Unavailable().c_str());
        return;
    }
    QDir(QStringLiteral("bin")).removeRecursively();
    QDir(QStringLiteral("Config")).removeRecursively();
    if (!realvpn::CopyBundle(KORVA_APP_DIR)) {
        std::printf("real servers: not run (the bundle in %s could not be copied)\n", KORVA_APP_DIR);
        return;
    }
    qputenv("KORVA_WG_RUNDIR", (QDir::currentPath() + QStringLiteral("/korva-wireguard")).toUtf8());
    QDir().mkpath(QStringLiteral("servers/ovpn"));
    QDir().mkpath(QStringLiteral("servers/wg"));
    QDir().mkpath(QStringLiteral("servers/ike"));
    const std::string servers = QDir::currentPath().toStdString() + "/servers";

    realvpn::PeerNamespace ovpnPeer("bench-ovpn", 11);
    realvpn::OpenVPNServer ovpn(ovpnPeer, servers + "/ovpn", "alice", "secret");
    realvpn::PeerNamespace wgPeer("bench-wg", 12);
    realvpn::WireGuardPeer wg(wgPeer, servers + "/wg");
    realvpn::PeerNamespace ikePeer("bench-ike", 13);
    realvpn::StrongSwanResponder ike(ikePeer, servers + "/ike", "correct horse");
    for (const std::string* error : {&ovpn.error(), &wg.error(), &ike.error()}) {
        if (!error->empty()) {
            std::printf("real servers: not run (%s)\n", error->c_str());
            return;
        }
    }

    benchreal::AddRealProfiles(app()->GetSqlite(), wg, ovpn, ikePeer,
                               [](const char* name, int type, int id) { addProfile(name, type, id); });

    // Pings go through each tunnel from a thread of their own (they find no way until it is up).
    Bench bench(meter, seconds);
    {
        Traffic traffic(ovpn.tunnelAddress());
        traffic.start();
        bench.cycle("OpenVPN, real server", "real_ovpn");
    }
    {
        Traffic traffic(wg.tunnelAddress());
        traffic.start();
        bench.cycle("WireGuard, real peer (wireguard-go)", "realwg");
    }
    {
        Traffic traffic(realvpn::StrongSwanResponder::kRemoteHost);
        traffic.start();
        bench.cycle("IPsec, real responder (rekey check every 1 s)", "real_ike",
                    [] { IPSecVPNContext::RekeyTimerProc(); });
    }
    bench.page->connectionController()->finishTunnelWork(15000);
    bench.page.reset();
}

} // namespace

int main(int argc, char** argv) {
    bool real = false;
    bool aims = false;
    int seconds = 0;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--real") == 0) {
            real = true;
        } else if (std::strcmp(argv[i], "--aims") == 0) {
            aims = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        }
    }
    // As root the benchmark runs in network and mount namespaces of its own: the fixed
    // management port, the tunnels and their devices stay inside, and go with it.
    if (geteuid() == 0) {
        realvpn::IsolateBeforeMain();
    }
    if (seconds == 0) {
        seconds = aims ? 60 : 10;
    }
    Starts starts;
    if (aims && (only.empty() || std::string("start").find(only) != std::string::npos)) {
        starts = MeasureStarts(KORVA_APP_DIR "/korva-vpn", KORVA_APP_DIR, BENCH_BARE_WINDOW);
    }

    QApplication application(argc, argv);
    korvaInitResources();
    if (korvaLoadBrandFonts() > 0) {
        QApplication::setFont(QFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
    }
    QTranslator english;
    english.load(QStringLiteral(KORVA_TRANSLATION_PREFIX "en"), QStringLiteral(KORVA_TRANSLATION_DIR));
    QApplication::installTranslator(&english);
    SetNetworkAdapterSource([] {
        NetworkAdapter tap;
        tap.name = "tap0";
        tap.description = "TAP-Windows Adapter V9";
        tap.ip = "0.0.0.0";
        tap.mask = "0.0.0.0";
        return std::vector<NetworkAdapter>{tap};
    });
    SetServiceTablePath((QDir::currentPath() + QStringLiteral("/services.table")).toUtf8().constData());
    if (app()->Start() != 0) {
        std::fprintf(stderr, "bench_client: the profile store does not open\n");
        return 1;
    }
    if (aims) {
        const int result = RunAims(starts, seconds, only);
        app()->Stop();
        return result;
    }

    std::printf("Korva VPN client benchmark: the GUI event loop's longest stall (a heartbeat every %d ms)\n",
                kHeartbeatMs);
    std::printf("%-44s %-24s %9s %12s %8s %8s\n", "scenario", "phase", "time", "longest", ">16 ms", ">50 ms");
    StallMeter meter;
    runWithStandIns(meter, seconds);
    if (real) {
        runAgainstRealServers(meter, seconds);
    }
    std::printf("longest stall of all phases: %.1f ms\n", meter.worst);
    app()->Stop();
    return 0;
}
