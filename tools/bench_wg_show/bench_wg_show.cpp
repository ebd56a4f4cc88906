// Prints what one "wg show TUNNEL" costs, as the client runs it once a second while a
// WireGuard tunnel is up (its output read through a pipe, the program waited for): the CPU
// time of the program and of every program it starts, the time the call takes, and the
// CPU time of the caller that starts it, per call, over many calls; and the share of one
// core that one call a second takes.
//
//     bench_wg_show [--calls N] [PROGRAM...]
//
// The programs are the bundle's wg and Debian's wg, then those named (another build of the
// bundle's wg, a script kept for comparison beside its tunnel-name.sh). Runs as root, in
// network and mount namespaces of its own: a tunnel to a wireguard-go peer with a handshake
// and traffic, so that the answer is the one the client reads.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "RealVpnServers.h"

extern char** environ;

namespace {

struct Isolation {
    Isolation() { realvpn::IsolateBeforeMain(); }
} const isolation;

const char* const kTunnel = "korvawg";

double Milliseconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
}

double CpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
}

// One call: the program with "show TUNNEL", its output read to the end, the program
// waited for. False when it could not run or did not show the tunnel's traffic.
bool Call(const std::string& program, std::string* output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> args = {program, "show", kTunnel};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    output->clear();
    char buffer[16384];
    for (ssize_t n; failed == 0 && (n = read(ends[0], buffer, sizeof(buffer))) != 0;) {
        if (n > 0) {
            output->append(buffer, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    close(ends[0]);
    if (failed != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           output->find(std::string("interface: ") + kTunnel + "\n") != std::string::npos &&
           output->find("  transfer: ") != std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    int calls = 500;
    std::vector<std::string> programs = {std::string(KORVA_APP_DIR) + "/bin/Wireguard/wg", "/usr/bin/wg"};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--calls") == 0 && i + 1 < argc) {
            calls = std::atoi(argv[++i]);
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: bench_wg_show [--calls N] [PROGRAM...]\n");
            return 2;
        } else {
            programs.push_back(argv[i]);
        }
    }
    if (calls <= 0) {
        std::fprintf(stderr, "bench_wg_show: --calls wants a positive number\n");
        return 2;
    }
    if (!realvpn::Unavailable().empty()) {
        std::fprintf(stderr, "bench_wg_show: no tunnel can be made here: %s\n",
                     realvpn::Unavailable().c_str());
        return 1;
    }
    const std::string missing = realvpn::MissingPrograms({"wg", "wireguard-go", "ip"});
    if (!missing.empty()) {
        std::fprintf(stderr, "bench_wg_show: %s\n", missing.c_str());
        return 1;
    }
    char folderTemplate[] = "/tmp/bench_wg_show.XXXXXX";
    const char* folderMade = mkdtemp(folderTemplate);
    if (folderMade == nullptr) {
        std::perror("bench_wg_show: temporary folder");
        return 1;
    }
    const std::string folder = folderMade;

    // The tunnel: a client interface with keep-alives to a real peer, as the bundle's
    // wireguard leaves one (a handshake, traffic both ways).
    int result = 1;
    pid_t client = -1;
    {
        realvpn::PeerNamespace peer("wgbench", 6);
        realvpn::WireGuardPeer server(peer, folder);
        if (!peer.error().empty() || !server.error().empty()) {
            std::fprintf(stderr, "bench_wg_show: no peer: %s%s\n", peer.error().c_str(),
                         server.error().c_str());
        } else {
            realvpn::WriteFile(folder + "/client.key", server.clientPrivateKey + "\n", 0600);
            client = realvpn::Start({"wireguard-go", "-f", kTunnel}, folder + "/client.log",
                                    {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1"});
            const bool up =
                client > 0 &&
                realvpn::WaitUntil(
                    [] {
                        return access((std::string("/run/wireguard/") + kTunnel + ".sock").c_str(), F_OK) ==
                               0;
                    },
                    10000) &&
                realvpn::Run({"wg", "set", kTunnel, "private-key", folder + "/client.key", "peer",
                              server.serverPublicKey, "endpoint",
                              server.endpointAddress + ":" + std::to_string(server.port), "allowed-ips",
                              server.tunnelNetwork(), "persistent-keepalive", "25"}) == 0 &&
                realvpn::Run({"ip", "addr", "add", server.clientAddress() + "/24", "dev", kTunnel}) == 0 &&
                realvpn::Run({"ip", "link", "set", kTunnel, "up"}) == 0 &&
                realvpn::PingAnswers(server.tunnelAddress(), 5);
            if (!up) {
                std::fprintf(stderr, "bench_wg_show: the tunnel did not come up\n");
            } else {
                std::printf("wg show %s, %d calls each, as the client makes them (output through a pipe, "
                            "the program waited for):\n",
                            kTunnel, calls);
                std::printf("%-52s %12s %12s %12s %14s\n", "program", "CPU ms/call", "wall ms/call",
                            "caller ms", "% core at 1/s");
                result = 0;
                for (const std::string& program : programs) {
                    std::string output;
                    if (!Call(program, &output)) {
                        std::printf("%-52s does not show the tunnel's traffic:\n%s\n", program.c_str(),
                                    output.c_str());
                        result = 1;
                        continue;
                    }
                    const double childrenBefore = CpuMs(RUSAGE_CHILDREN);
                    const double selfBefore = CpuMs(RUSAGE_SELF);
                    const auto start = std::chrono::steady_clock::now();
                    for (int i = 0; i < calls; ++i) {
                        Call(program, &output);
                    }
                    const double wallMs =
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                            .count();
                    const double cpu = (CpuMs(RUSAGE_CHILDREN) - childrenBefore) / calls;
                    const double caller = (CpuMs(RUSAGE_SELF) - selfBefore) / calls;
                    std::printf("%-52s %12.3f %12.3f %12.3f %14.3f\n", program.c_str(), cpu, wallMs / calls,
                                caller, (cpu + caller) / 1000.0 * 100.0);
                }
            }
        }
        realvpn::Stop(client);
    }
    realvpn::Run({"rm", "-rf", folder});
    return result;
}
