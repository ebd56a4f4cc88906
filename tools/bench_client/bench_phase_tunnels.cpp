// The aims run's phases with tunnels: the client idle, then connected to a real WireGuard
// peer, a real OpenVPN server and a real strongSwan responder, each in a network namespace
// of its own (tests/realvpn), through the bundle's programs. For each kind: the longest
// stall of the event loop while it connects, stays connected and disconnects (the roads),
// and the CPU the client and the programs it runs use while connected.
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
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

extern char** environ;

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

// The CPU time of this process (the client), all its threads, ended ones included, in
// seconds: the kernel's count in nanoseconds.
double OwnCpuSeconds() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// The time each living thread of this process has run, in nanoseconds, by name:
// /proc/self/task/TID/schedstat counts in nanoseconds where .../stat counts whole clock
// ticks.
std::map<std::string, double> ThreadCpuByName() {
    std::map<std::string, double> byName;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(task));
        if (!comm.open(QIODevice::ReadOnly) || !schedstat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // The threads mostly bear the program's name: the GUI thread is told apart, the
        // others by their id.
        const std::string name = task.toInt() == getpid()
                                     ? std::string("GUI thread")
                                     : comm.readAll().trimmed().toStdString() + " " + task.toStdString();
        byName[name] += schedstat.readAll().split(' ').value(0).toDouble();
    }
    return byName;
}

// The threads that used the most between two readings, as "name 0.012 %, ...", in % of one
// core over `wall` seconds.
std::string BusiestThreads(const std::map<std::string, double>& before,
                           const std::map<std::string, double>& after, double wall) {
    std::vector<std::pair<double, std::string>> used;
    for (const auto& thread : after) {
        const auto earlier = before.find(thread.first);
        const double ns = thread.second - (earlier != before.end() ? earlier->second : 0);
        if (ns > 0) {
            used.emplace_back(100 * ns / 1e9 / wall, thread.first);
        }
    }
    std::sort(used.rbegin(), used.rend());
    std::string text;
    for (size_t i = 0; i < used.size() && i < 4; ++i) {
        char part[96];
        std::snprintf(part, sizeof part, "%s%s %.3f %%", i > 0 ? ", " : "", used[i].second.c_str(),
                      used[i].first);
        text += part;
    }
    return text.empty() ? "none" : text;
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
    double ownCpu = -1;      // % of one core: the client's own threads
    double childrenCpu = -1; // % of one core: the programs it ran and reaped (each second's "wg show")
    double programCpu = -1;  // % of one core: the tunnel's long-running program
    std::string threads;     // the client's busiest threads
    std::string load;        // the load average at the end of the connected time
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
    const double own = OwnCpuSeconds();
    const std::map<std::string, double> threads = ThreadCpuByName();
    const double children = ChildrenCpuSeconds();
    const double program = TunnelProgramsCpu(tunnelProgram);
    QElapsedTimer clock;
    clock.start();
    Spin(context.seconds * 1000);
    const double wall = MsSince(clock) / 1000;
    figures.ownCpu = 100 * (OwnCpuSeconds() - own) / wall;
    figures.childrenCpu = 100 * (ChildrenCpuSeconds() - children) / wall;
    figures.programCpu = 100 * (TunnelProgramsCpu(tunnelProgram) - program) / wall;
    figures.threads = BusiestThreads(threads, ThreadCpuByName(), wall);
    figures.load = LoadAverage();
    figures.connectedStall = context.meter->longest;
    context.meter->reset();
    context.window->clickConnectButton();
    SpinUntil([] { return Status() != CONNECT_STATUS_CONNECTED && Status() != CONNECT_STATUS_CONNECTING; },
              30000);
    figures.disconnectingStall = context.meter->longest;
    Spin(500);
    return figures;
}

const char* const kOwnCpuAim = "client's own threads connected within 0.1 % of a core, ";

void Report(const char* kind, const KindFigures& figures, bool cpuAim, int seconds, PhaseReport& report) {
    if (!figures.skipped.empty()) {
        std::printf("  %s: not measured (%s)\n", kind, figures.skipped.c_str());
        if (cpuAim) {
            report.aims.push_back(
                {kOwnCpuAim + std::string(kind), -1, kConnectedCpuAim, "%", figures.skipped});
        }
        return;
    }
    std::printf("  %s: longest stall connecting %.1f ms, connected %.1f ms, disconnecting %.1f ms\n", kind,
                figures.connectingStall, figures.connectedStall, figures.disconnectingStall);
    std::printf("  %s, %d s connected, in %% of one core (%s):\n", kind, seconds, figures.load.c_str());
    std::printf("    the client's own threads   %.3f %%  (%s)\n", figures.ownCpu, figures.threads.c_str());
    std::printf("    the programs it ran        %.3f %%\n", figures.childrenCpu);
    std::printf("    the tunnel's own program   %.3f %%\n", figures.programCpu);
    std::printf("    all together               %.3f %%\n",
                figures.ownCpu + figures.childrenCpu + figures.programCpu);
    std::fflush(stdout);
    if (cpuAim) {
        report.aims.push_back({kOwnCpuAim + std::string(kind), figures.ownCpu, kConnectedCpuAim, "%", ""});
    }
    report.longestStallMs = std::max(
        {report.longestStallMs, figures.connectingStall, figures.connectedStall, figures.disconnectingStall});
}

// The floor of the once-a-second WireGuard reading: a wireguard-go tunnel to the same peer
// without the client, and the bundle's "wg show TUNNEL" run once a second by a thread that
// does nothing else (the program started with posix_spawn, its output read to the end, the
// program waited for). What that thread, the programs and wireguard-go use is what any
// client reading once a second pays at least.
struct FloorFigures {
    std::string skipped;
    double callerCpu = 0; // % of one core
    double programsCpu = 0;
    double tunnelCpu = 0;
    int calls = 0;
    int answered = 0;
    std::string load;
};

const char* const kFloorTunnel = "floorwg";

// One call as the client makes it; the program's CPU added to `programCpu` (seconds).
bool ShowOnce(const std::string& program, double* programCpu) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    std::string args[] = {program, "show", kFloorTunnel};
    char* argv[] = {&args[0][0], &args[1][0], &args[2][0], nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    std::string output;
    char buffer[8192];
    for (ssize_t n; failed == 0 && (n = read(ends[0], buffer, sizeof(buffer))) != 0;) {
        if (n > 0) {
            output.append(buffer, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    close(ends[0]);
    if (failed != 0) {
        return false;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    *programCpu += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                   usage.ru_stime.tv_usec / 1e6;
    return output.find("  transfer: ") != std::string::npos;
}

FloorFigures MeasureFloor(const realvpn::WireGuardPeer& server, const std::string& folder, int seconds) {
    FloorFigures figures;
    realvpn::WriteFile(folder + "/floor.key", server.clientPrivateKey + "\n", 0600);
    const pid_t tunnel = realvpn::Start({"wireguard-go", "-f", kFloorTunnel}, folder + "/floor.log",
                                        {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1"});
    const bool up =
        tunnel > 0 &&
        realvpn::WaitUntil(
            [] {
                return access((std::string("/run/wireguard/") + kFloorTunnel + ".sock").c_str(), F_OK) == 0;
            },
            10000) &&
        realvpn::Run({"wg", "set", kFloorTunnel, "private-key", folder + "/floor.key", "peer",
                      server.serverPublicKey, "endpoint",
                      server.endpointAddress + ":" + std::to_string(server.port), "allowed-ips",
                      server.tunnelNetwork(), "persistent-keepalive", "25"}) == 0 &&
        realvpn::Run({"ip", "addr", "add", server.clientAddress() + "/24", "dev", kFloorTunnel}) == 0 &&
        realvpn::Run({"ip", "link", "set", kFloorTunnel, "up"}) == 0 &&
        realvpn::PingAnswers(server.tunnelAddress(), 5);
    if (!up) {
        figures.skipped = "the floor's tunnel did not come up";
        realvpn::Stop(tunnel);
        return figures;
    }
    Spin(3000);
    const std::string program = std::string(KORVA_APP_DIR) + "/bin/Wireguard/wg";
    const double tunnelBefore = PreciseProcessCpuSeconds(tunnel);
    std::atomic<bool> done{false};
    double callerSeconds = 0;
    double programSeconds = 0;
    QElapsedTimer clock;
    clock.start();
    std::thread caller([&] {
        timespec start{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        auto next = std::chrono::steady_clock::now();
        for (int call = 0; call < seconds; ++call) {
            next += std::chrono::seconds(1);
            std::this_thread::sleep_until(next);
            ++figures.calls;
            if (ShowOnce(program, &programSeconds)) {
                ++figures.answered;
            }
        }
        timespec end{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        callerSeconds = (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
        done = true;
    });
    SpinUntil([&done] { return done.load(); }, (seconds + 30) * 1000);
    caller.join();
    const double wall = MsSince(clock) / 1000;
    figures.callerCpu = 100 * callerSeconds / wall;
    figures.programsCpu = 100 * programSeconds / wall;
    figures.tunnelCpu = 100 * (PreciseProcessCpuSeconds(tunnel) - tunnelBefore) / wall;
    figures.load = LoadAverage();
    realvpn::Stop(tunnel);
    // The interface goes with its program; the client's tunnel takes the same address next.
    realvpn::WaitUntil(
        [] { return access((std::string("/run/wireguard/") + kFloorTunnel + ".sock").c_str(), F_OK) != 0; },
        5000);
    return figures;
}

void ReportFloor(const FloorFigures& floor, int seconds) {
    if (!floor.skipped.empty()) {
        std::printf("  floor of the WireGuard reading: not measured (%s)\n", floor.skipped.c_str());
        return;
    }
    std::printf("  floor of the WireGuard reading, no client: the bundle's wg show once a second, %d s, "
                "%d of %d calls answered, in %% of one core (%s):\n",
                seconds, floor.answered, floor.calls, floor.load.c_str());
    std::printf("    the calling thread         %.3f %%\n", floor.callerCpu);
    std::printf("    wg show                    %.3f %%\n", floor.programsCpu);
    std::printf("    wireguard-go               %.3f %%\n", floor.tunnelCpu);
    std::printf("    all together               %.3f %%\n",
                floor.callerCpu + floor.programsCpu + floor.tunnelCpu);
    std::fflush(stdout);
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
            report.aims.push_back({kOwnCpuAim + std::string(kind), -1, kConnectedCpuAim, "%", unavailable});
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
                report.aims.push_back({kOwnCpuAim + std::string(kind), -1, kConnectedCpuAim, "%", *error});
            }
            return;
        }
    }

    benchreal::AddRealProfiles(App()->GetSqlite(), wg, ovpn, ikePeer,
                               [](const char* name, int type, int id) { AddProfile(name, type, id); });

    // The floor first, while nothing of the client's runs beside it.
    const FloorFigures floor = MeasureFloor(wg, servers + "/wg", context.seconds);
    const KindFigures wgFigures = ConnectedRun(context, "realwg", "wireguard-go");
    ReportFloor(floor, context.seconds);
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
