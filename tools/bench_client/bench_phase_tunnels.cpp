// The aims run's phases with tunnels: the client idle, then connected to a real WireGuard
// peer, a real OpenVPN server and a real strongSwan responder, each in a network namespace
// of its own (tests/realvpn), through the bundle's programs. For each kind: the longest
// stall of the event loop while it connects, stays connected and disconnects (the roads),
// and the CPU the client and the programs it runs use while connected.
#include <QDir>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "../../tests/support/MachineLock.h"
#include "AppContext.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "RealVpnServers.h"
#include "SystemContext.h"
#include "ZRVPNClient.h"
#include "bench_phases.h"
#include "bench_real_profiles.h"

namespace {

using namespace benchaims;

constexpr double kConnectedCpuAim = 0.1; // % of one core
constexpr const char* kRealVpnLock = "/tmp/korva-real-vpn.lock";
// Another checkout's benchmark holds the lock for a few minutes: a wait longer than this is
// given up, saying whose lock it was.
constexpr int kRealVpnLockWaitSeconds = 900;

AppContext* App() {
    return SystemContext::Instance()->GetAppContext();
}

// The machine-wide lock of the real VPN programs, held while the real servers run.
class RealVpnLock {
public:
    RealVpnLock() : lock(kRealVpnLock, kRealVpnLockWaitSeconds, 1) {}

private:
    testsupport::MachineLock lock;
};

// The CPU time a running process has had, all its threads, in seconds: the kernel's own
// count in nanoseconds (the process's CPU-time clock), where /proc/PID/stat counts whole
// clock ticks of 10 ms, a sixth of the aim over 60 s; /proc/PID/stat where the clock cannot
// be read.
double PreciseProcessCpuSeconds(pid_t pid) {
    clockid_t clock = 0;
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) {
        return ProcessCpuSeconds(pid);
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// The CPU of this process's own tunnel programs (the peers' run in their namespaces and
// do not count), by process id.
double TunnelProgramsCpu(const char* program) {
    double seconds = 0;
    for (pid_t pid : realvpn::ProcessesInThisNetwork(program)) {
        seconds += PreciseProcessCpuSeconds(pid);
    }
    return seconds;
}

struct KindFigures {
    std::string skipped;
    double connectingStall = -1;
    double connectedStall = -1;
    double disconnectingStall = -1;
    double clientCpu = -1;   // % of one core: the client's threads and the programs it ran and reaped
    double childrenCpu = -1; // of that, the programs it ran (each second's "wg show")
    double programCpu = -1;  // % of one core: the tunnel's long-running program
};

// Connects the named profile from the home page, keeps it connected for `seconds`,
// disconnects it.
KindFigures ConnectedRun(Context& context, const char* name, const char* tunnelProgram) {
    KindFigures figures;
    HomeWidget* home = context.window->findChild<HomeWidget*>();
    home->refreshProfileInfo();
    context.meter->reset();
    home->connectProfileByName(QString::fromLatin1(name));
    if (!SpinUntil([] { return Status() == CONNECT_STATUS_CONNECTED; }, 30000)) {
        figures.skipped = std::string(name) + " did not connect to its real server within 30 s";
        context.window->clickConnectButton();
        SpinUntil([] { return Status() != CONNECT_STATUS_CONNECTING; }, 30000);
        return figures;
    }
    figures.connectingStall = context.meter->longest;
    // The first readings and the peer's handshake settle before the measure.
    Spin(3000);
    context.meter->reset();
    const double cpu = CpuSeconds();
    const double children = ChildrenCpuSeconds();
    const double program = TunnelProgramsCpu(tunnelProgram);
    QElapsedTimer clock;
    clock.start();
    Spin(context.seconds * 1000);
    const double wall = MsSince(clock) / 1000;
    figures.clientCpu = 100 * (CpuSeconds() - cpu) / wall;
    figures.childrenCpu = 100 * (ChildrenCpuSeconds() - children) / wall;
    figures.programCpu = 100 * (TunnelProgramsCpu(tunnelProgram) - program) / wall;
    figures.connectedStall = context.meter->longest;
    context.meter->reset();
    context.window->clickConnectButton();
    SpinUntil([] { return Status() != CONNECT_STATUS_CONNECTED && Status() != CONNECT_STATUS_CONNECTING; },
              30000);
    figures.disconnectingStall = context.meter->longest;
    Spin(500);
    return figures;
}

void Report(const char* kind, const KindFigures& figures, bool cpuAim, int seconds, PhaseReport& report) {
    if (!figures.skipped.empty()) {
        std::printf("  %s: not measured (%s)\n", kind, figures.skipped.c_str());
        if (cpuAim) {
            report.aims.push_back({std::string("CPU while connected within 0.1 %, ") + kind, -1,
                                   kConnectedCpuAim, "%", figures.skipped});
        }
        return;
    }
    std::printf("  %s: longest stall connecting %.1f ms, connected %.1f ms, disconnecting %.1f ms\n", kind,
                figures.connectingStall, figures.connectedStall, figures.disconnectingStall);
    std::printf(
        "  %s, %d s connected: CPU %.3f %% of one core: the client's threads %.3f %%, the programs it "
        "ran %.3f %%, the tunnel's own program %.3f %%\n",
        kind, seconds, figures.clientCpu + figures.programCpu, figures.clientCpu - figures.childrenCpu,
        figures.childrenCpu, figures.programCpu);
    std::fflush(stdout);
    if (cpuAim) {
        report.aims.push_back({std::string("CPU while connected within 0.1 %, ") + kind,
                               figures.clientCpu + figures.programCpu, kConnectedCpuAim, "%", ""});
    }
    report.longestStallMs = std::max(
        {report.longestStallMs, figures.connectingStall, figures.connectedStall, figures.disconnectingStall});
}

int AddProfile(const char* name, int type, int configId) {
    ProfileInfo profile;
    profile.ProfileType = type;
    profile.ConfigID = configId;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
    App()->GetSqlite()->InsertProfile(&profile);
    return profile.ProfileID;
}

} // namespace

BENCH_AIMS_PHASE(10, IdlePhase, "idle") {
    context.meter->reset();
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    Spin(context.seconds * 1000);
    const double percent = 100 * (CpuSeconds() - cpu) / (MsSince(clock) / 1000);
    std::printf("  %d s: CPU %.3f %% of one core, longest stall %.1f ms\n", context.seconds, percent,
                context.meter->longest);
    std::fflush(stdout);
}

BENCH_AIMS_PHASE(20, TunnelsPhase, "connected to real servers (WireGuard, OpenVPN, IPsec)") {
    const std::string unavailable = realvpn::Unavailable();
    if (!unavailable.empty()) {
        std::printf("  not run (%s)\n", unavailable.c_str());
        for (const char* kind : {"WireGuard", "OpenVPN"}) {
            report.aims.push_back({std::string("CPU while connected within 0.1 %, ") + kind, -1,
                                   kConnectedCpuAim, "%", unavailable});
        }
        return;
    }
    RealVpnLock lock;
    const std::string servers = QDir::currentPath().toStdString() + "/servers";
    for (const char* folder : {"servers/wg", "servers/ovpn", "servers/ike"}) {
        QDir().mkpath(QString::fromLatin1(folder));
    }
    realvpn::PeerNamespace wgPeer("benchwg", 12);
    realvpn::WireGuardPeer wg(wgPeer, servers + "/wg");
    realvpn::PeerNamespace ovpnPeer("benchovpn", 11);
    realvpn::OpenVPNServer ovpn(ovpnPeer, servers + "/ovpn", "alice", "secret");
    realvpn::PeerNamespace ikePeer("benchike", 13);
    realvpn::StrongSwanResponder ike(ikePeer, servers + "/ike", "correct horse");
    for (const std::string* error :
         {&wgPeer.error(), &wg.error(), &ovpnPeer.error(), &ovpn.error(), &ikePeer.error(), &ike.error()}) {
        if (!error->empty()) {
            std::printf("  not run (%s)\n", error->c_str());
            for (const char* kind : {"WireGuard", "OpenVPN"}) {
                report.aims.push_back({std::string("CPU while connected within 0.1 %, ") + kind, -1,
                                       kConnectedCpuAim, "%", *error});
            }
            return;
        }
    }

    benchreal::AddRealProfiles(App()->GetSqlite(), wg, ovpn, ikePeer,
                               [](const char* name, int type, int id) { AddProfile(name, type, id); });

    const KindFigures wgFigures = ConnectedRun(context, "realwg", "wireguard-go");
    Report("WireGuard", wgFigures, true, context.seconds, report);
    const KindFigures ovpnFigures = ConnectedRun(context, "real_ovpn", "openvpn");
    Report("OpenVPN", ovpnFigures, true, context.seconds, report);
    // IPsec has no traffic reading: its road's stalls count, its CPU is only shown. The
    // connected time is short: the rekey check runs once a minute.
    Context shortened = context;
    shortened.seconds = std::min(context.seconds, 10);
    const KindFigures ikeFigures = ConnectedRun(shortened, "real_ike", "charon-systemd");
    Report("IPsec", ikeFigures, false, shortened.seconds, report);
}
