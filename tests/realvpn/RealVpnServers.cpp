#include "RealVpnServers.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace realvpn {

namespace {

std::string& reason() {
    static std::string text;
    return text;
}

const char* const kSearchPath = "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

std::vector<std::string> environment(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "PATH=", 5) != 0) {
            entries.push_back(*e);
        }
    }
    entries.push_back(kSearchPath);
    entries.insert(entries.end(), extra.begin(), extra.end());
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (std::string& text : texts) {
        list.push_back(&text[0]);
    }
    list.push_back(nullptr);
    return list;
}

// The program's path in the system folders (posix_spawnp searches the caller's PATH).
std::string resolve(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return program;
    }
    for (const char* folder :
         {"/usr/local/sbin/", "/usr/local/bin/", "/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"}) {
        const std::string path = folder + program;
        if (access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return program;
}

pid_t spawn(const std::vector<std::string>& args, int outFd, const std::vector<std::string>& env) {
    std::vector<std::string> argText = args;
    argText[0] = resolve(argText[0]);
    std::vector<std::string> envText = environment(env);
    std::vector<char*> argv = pointers(argText);
    std::vector<char*> envp = pointers(envText);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outFd, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    // Every signal at its default and unblocked, whatever the test process has set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return error == 0 ? pid : -1;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string link(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

uint16_t checksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2) {
        sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    }
    if (length % 2 != 0) {
        sum += static_cast<uint32_t>(data[length - 1] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

bool socketAnswers(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return answered;
}

} // namespace

void IsolateBeforeMain() {
    if (geteuid() != 0) {
        reason() = "not running as root";
        return;
    }
    if (access("/dev/net/tun", R_OK | W_OK) != 0) {
        reason() = "/dev/net/tun is missing";
        return;
    }
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        reason() = std::string("cannot make network and mount namespaces: ") + std::strerror(errno);
        return;
    }
    // Mounts made from here on stay in this process's mount namespace.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        reason() = std::string("cannot make the mounts private: ") + std::strerror(errno);
        return;
    }
    // /sys shows the network namespace of whoever mounted it: this one's from now on.
    umount2("/sys", MNT_DETACH);
    mount("sysfs", "/sys", "sysfs", 0, nullptr);
    // wireguard-go's control sockets: only this process's tunnels, not the machine's.
    mkdir("/run/wireguard", 0700);
    if (mount("tmpfs", "/run/wireguard", "tmpfs", 0, "mode=0700") != 0) {
        reason() = std::string("cannot mount a private /run/wireguard: ") + std::strerror(errno);
        return;
    }
    if (Run({"ip", "link", "set", "lo", "up"}) != 0) {
        reason() = "cannot bring up the loopback interface of the test's namespace with ip";
        return;
    }
    // The resolver's files of this process's own, on a tmpfs that goes with the namespace:
    // resolvconf writes the configuration file it is told, and its record folder and its
    // copy of the earlier configuration beside it.
    const char* tmp = std::getenv("TMPDIR");
    static std::string folder;
    folder = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/korva-resolver-XXXXXX";
    if (mkdtemp(&folder[0]) == nullptr) {
        reason() = std::string("cannot make a folder for the test's resolver: ") + std::strerror(errno);
        return;
    }
    // The folder goes with the process.
    std::atexit([] {
        umount2(folder.c_str(), MNT_DETACH);
        rmdir(folder.c_str());
    });
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "mode=0755") != 0 ||
        !WriteFile(folder + "/resolv.conf", kEarlierResolvConf) ||
        !WriteFile(folder + "/resolvconf.conf",
                   "resolv_conf=" + folder + "/resolv.conf\nstate_dir=" + folder + "/state\n") ||
        mount((folder + "/resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 ||
        (access("/etc/resolvconf.conf", F_OK) == 0 &&
         mount((folder + "/resolvconf.conf").c_str(), "/etc/resolvconf.conf", nullptr, MS_BIND, nullptr) !=
             0)) {
        reason() =
            std::string("cannot give the test a resolver configuration of its own: ") + std::strerror(errno);
    }
}

const std::string& Unavailable() {
    return reason();
}

std::string ResolverConfiguration() {
    return ReadFile("/etc/resolv.conf");
}

std::string MissingPrograms(const std::vector<std::string>& programs) {
    for (const std::string& program : programs) {
        if (access(resolve(program).c_str(), X_OK) != 0) {
            return program + " is not installed (scripts/install-deps.sh installs it)";
        }
    }
    return std::string();
}

int Run(const std::vector<std::string>& args, std::string* output, const std::vector<std::string>& env) {
    int ends[2] = {-1, -1};
    if (output != nullptr && pipe2(ends, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t pid = spawn(args, output != nullptr ? ends[1] : -1, env);
    if (output != nullptr) {
        close(ends[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = read(ends[0], buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) {
                output->append(buffer, static_cast<size_t>(n));
            }
        }
        close(ends[0]);
    }
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t Start(const std::vector<std::string>& args, const std::string& logPath,
            const std::vector<std::string>& env) {
    const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = spawn(args, fd, env);
    if (fd >= 0) {
        close(fd);
    }
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 1) {
        return;
    }
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 150; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

bool WaitUntil(const std::function<bool()>& condition, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

bool WriteFile(const std::string& path, const std::string& text, int mode) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return file.good() && chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool PingAnswers(const std::string& address, int attempts, int payloadBytes) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        return false;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    const uint16_t id = static_cast<uint16_t>(getpid());
    std::vector<uint8_t> request(8 + static_cast<size_t>(payloadBytes), 'k');
    for (int seq = 1; seq <= attempts; ++seq) {
        request[0] = ICMP_ECHO;
        request[1] = 0;
        request[2] = request[3] = 0;
        request[4] = static_cast<uint8_t>(id >> 8);
        request[5] = static_cast<uint8_t>(id);
        request[6] = static_cast<uint8_t>(seq >> 8);
        request[7] = static_cast<uint8_t>(seq);
        const uint16_t sum = checksum(request.data(), request.size());
        request[2] = static_cast<uint8_t>(sum >> 8);
        request[3] = static_cast<uint8_t>(sum);
        ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
        while (std::chrono::steady_clock::now() < end) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) {
                continue;
            }
            uint8_t reply[65536];
            sockaddr_in from = {};
            socklen_t fromLength = sizeof(from);
            const ssize_t n =
                ::recvfrom(fd, reply, sizeof(reply), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 20) {
                continue;
            }
            const size_t header = static_cast<size_t>(reply[0] & 0x0f) * 4;
            if (static_cast<size_t>(n) >= header + 8 && reply[header] == ICMP_ECHOREPLY &&
                from.sin_addr.s_addr == to.sin_addr.s_addr && reply[header + 4] == request[4] &&
                reply[header + 5] == request[5] && reply[header + 6] == request[6] &&
                reply[header + 7] == request[7]) {
                ::close(fd);
                return true;
            }
        }
    }
    ::close(fd);
    return false;
}

std::vector<std::string> Interfaces() {
    std::vector<std::string> names;
    struct if_nameindex* list = if_nameindex();
    if (list != nullptr) {
        for (struct if_nameindex* entry = list; entry->if_index != 0; ++entry) {
            names.push_back(entry->if_name);
        }
        if_freenameindex(list);
    }
    return names;
}

std::vector<pid_t> ProcessesInThisNetwork(const std::string& name) {
    std::vector<pid_t> found;
    const std::string ours = link("/proc/self/ns/net");
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string base = "/proc/" + pid;
        std::string comm = trimmed(ReadFile(base + "/comm"));
        if (comm.empty() || name.compare(0, comm.size(), comm) != 0 ||
            (comm.size() < 15 && comm.size() != name.size())) {
            continue;
        }
        const std::string stat = ReadFile(base + "/stat");
        const std::string::size_type close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z') {
            continue;
        }
        if (link(base + "/ns/net") == ours) {
            found.push_back(static_cast<pid_t>(std::stoi(pid)));
        }
    }
    closedir(proc);
    return found;
}

std::string NetworkState() {
    // The interfaces by name (ip's listing also names the namespaces of veth peers, which
    // other programs' namespaces coming and going can spoil).
    std::string state = "== interfaces\n";
    for (const std::string& name : Interfaces()) {
        state += name + "\n";
    }
    const std::vector<std::vector<std::string>> views = {
        {"ip", "-4", "route", "show", "table", "all"},
        {"ip", "-6", "route", "show", "table", "all"},
        {"ip", "-4", "rule", "show"},
        {"ip", "-6", "rule", "show"},
        {"nft", "list", "ruleset"},
    };
    for (const auto& view : views) {
        std::string output;
        Run(view, &output);
        state += "== ";
        for (const std::string& word : view) {
            state += word + " ";
        }
        state += "\n";
        // The kernel gives each interface its IPv6 link-local address on its own time:
        // those routes come and go whatever a tunnel does.
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find(" fe80:") == std::string::npos) {
                state += line + "\n";
            }
        }
    }
    return state;
}

// Private resolver

PrivateResolver::PrivateResolver(const std::string& folder, const std::string& resolvConf)
    : layer(folder + "/etc-layer") {
    if (!Unavailable().empty()) {
        failure = Unavailable();
        return;
    }
    const std::string missing = MissingPrograms({"resolvconf"});
    if (!missing.empty()) {
        failure = missing;
        return;
    }
    // An overlay's upper folder wants a file system that takes it: a tmpfs of its own.
    mkdir(layer.c_str(), 0700);
    if (mount("tmpfs", layer.c_str(), "tmpfs", 0, "mode=0700") != 0) {
        failure = std::string("cannot mount a tmpfs for the /etc layer: ") + std::strerror(errno);
        return;
    }
    mounts.push_back(layer);
    mkdir((layer + "/upper").c_str(), 0755);
    mkdir((layer + "/work").c_str(), 0700);
    const std::string options = "lowerdir=/etc,upperdir=" + layer + "/upper,workdir=" + layer + "/work";
    if (mount("overlay", "/etc", "overlay", 0, options.c_str()) != 0) {
        failure = std::string("cannot overlay /etc: ") + std::strerror(errno);
        return;
    }
    mounts.push_back("/etc");
    // The mount point of openresolv's state; an empty folder, as openresolv makes it itself.
    mkdir("/run/resolvconf", 0755);
    if (mount("tmpfs", "/run/resolvconf", "tmpfs", 0, "mode=0755") != 0) {
        failure = std::string("cannot mount a private /run/resolvconf: ") + std::strerror(errno);
        return;
    }
    mounts.push_back("/run/resolvconf");
    // /etc/resolv.conf may be a link (to systemd-resolved's file, say): ours is a file.
    unlink("/etc/resolv.conf");
    if (!WriteFile("/etc/resolv.conf", resolvConf)) {
        failure = "cannot write the private /etc/resolv.conf";
    }
}

PrivateResolver::~PrivateResolver() {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        umount2(it->c_str(), MNT_DETACH);
    }
}

std::string PrivateResolver::Current() {
    return ReadFile("/etc/resolv.conf");
}

bool CopyBundle(const std::string& appDir) {
    return Run({"cp", "-a", appDir + "/bin", appDir + "/driver", "."}) == 0;
}

// Peer namespace

PeerNamespace::PeerNamespace(const std::string& tag, int subnet)
    : name("korva-" + tag + "-" + std::to_string(getpid())),
      localAddress("198.18." + std::to_string(subnet) + ".1"),
      peerAddress("198.18." + std::to_string(subnet) + ".2"), veth("kv" + std::to_string(subnet)) {
    if (!Unavailable().empty()) {
        failure = Unavailable();
        return;
    }
    if (Run({"ip", "netns", "add", name}) != 0) {
        failure = "cannot make a named network namespace with ip netns";
        return;
    }
    made = true;
    const std::string peerEnd = "kp" + std::to_string(subnet);
    const std::vector<std::vector<std::string>> steps = {
        {"ip", "link", "add", veth, "type", "veth", "peer", "name", peerEnd},
        {"ip", "link", "set", peerEnd, "netns", name},
        {"ip", "addr", "add", localAddress + "/24", "dev", veth},
        {"ip", "link", "set", veth, "up"},
        {"ip", "-n", name, "link", "set", "lo", "up"},
        {"ip", "-n", name, "addr", "add", peerAddress + "/24", "dev", peerEnd},
        {"ip", "-n", name, "link", "set", peerEnd, "up"},
    };
    for (const auto& step : steps) {
        if (Run(step) != 0) {
            failure = "cannot join the peer namespace with a veth pair";
            return;
        }
    }
}

PeerNamespace::~PeerNamespace() {
    if (made) {
        Run({"ip", "netns", "del", name});
    }
    Run({"ip", "link", "del", veth});
}

std::vector<std::string> PeerNamespace::exec(const std::vector<std::string>& args) const {
    std::vector<std::string> line = {"ip", "netns", "exec", name};
    line.push_back(resolve(args[0]));
    line.insert(line.end(), args.begin() + 1, args.end());
    return line;
}

int PeerNamespace::run(const std::vector<std::string>& args) const {
    return Run(exec(args));
}

// OpenVPN server

OpenVPNServer::OpenVPNServer(const PeerNamespace& peer, const std::string& dir, const std::string& user,
                             const std::string& password, int net, const OpenVPNClientKeys& clientKeys,
                             const std::string& extraConfig)
    : folder(dir), remoteAddress(peer.peerAddress), net(net), keys(clientKeys) {
    if (!peer.error().empty()) {
        failure = peer.error();
        return;
    }
    const std::string missing = MissingPrograms({"openvpn", "openssl"});
    if (!missing.empty()) {
        failure = missing;
        return;
    }
    // A small EC PKI: a CA and the server's certificate for TLS with "remote-cert-tls server".
    const std::string f = folder + "/";
    WriteFile(f + "server.ext", "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyAgreement\n"
                                "extendedKeyUsage=serverAuth\n");
    const std::vector<std::vector<std::string>> pki = {
        {"openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", f + "ca.key"},
        {"openssl", "req", "-new", "-x509", "-key", f + "ca.key", "-out", f + "ca.crt", "-days", "2", "-subj",
         "/CN=Korva Test CA"},
        {"openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", f + "server.key"},
        {"openssl", "req", "-new", "-key", f + "server.key", "-out", f + "server.csr", "-subj", "/CN=server"},
        {"openssl", "x509", "-req", "-in", f + "server.csr", "-CA", f + "ca.crt", "-CAkey", f + "ca.key",
         "-CAcreateserial", "-out", f + "server.crt", "-days", "2", "-extfile", f + "server.ext"},
    };
    for (const auto& step : pki) {
        if (Run(step) != 0) {
            failure = "cannot make the test PKI with openssl";
            return;
        }
    }
    ca = ReadFile(f + "ca.crt");
    // What the clients must hold besides: a certificate of the CA, a static TLS key.
    std::string clientChecks = "verify-client-cert none\n";
    if (keys.certificate) {
        WriteFile(f + "client.ext", "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyAgreement\n"
                                    "extendedKeyUsage=clientAuth\n");
        const std::vector<std::vector<std::string>> client = {
            {"openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", f + "client.key"},
            {"openssl", "req", "-new", "-key", f + "client.key", "-out", f + "client.csr", "-subj",
             "/CN=client"},
            {"openssl", "x509", "-req", "-in", f + "client.csr", "-CA", f + "ca.crt", "-CAkey", f + "ca.key",
             "-CAcreateserial", "-out", f + "client.crt", "-days", "2", "-extfile", f + "client.ext"},
        };
        for (const auto& step : client) {
            if (Run(step) != 0) {
                failure = "cannot make the test client certificate with openssl";
                return;
            }
        }
        clientChecks = "verify-client-cert require\n";
    }
    if (!keys.tlsKey.empty()) {
        if (Run({"openvpn", "--genkey", "secret", f + "ta.key"}) != 0) {
            failure = "cannot make the static TLS key with openvpn";
            return;
        }
        clientChecks += keys.tlsKey == "tls-auth" ? "tls-auth ta.key 0\n" : keys.tlsKey + " ta.key\n";
    }
    // The server checks the user name and password itself (via-file: two lines), and
    // counts the attempts.
    WriteFile(f + "check.sh",
              "#!/bin/sh\nuser=$(sed -n 1p \"$1\")\npass=$(sed -n 2p \"$1\")\necho \"$user\" >> '" + f +
                  "attempts'\n[ \"$user\" = '" + user + "' ] && [ \"$pass\" = '" + password + "' ]\n",
              0755);
    const std::string network = "10." + std::to_string(net) + ".0.0";
    WriteFile(f + "server.conf",
              "port 1194\nproto udp\nlocal " + remoteAddress + "\ndev tun\ntopology subnet\nserver " +
                  network + " 255.255.255.0\nca ca.crt\ncert server.crt\nkey server.key\ndh none\n" +
                  clientChecks +
                  "username-as-common-name\nscript-security 2\n"
                  "auth-user-pass-verify " +
                  f + "check.sh via-file\ntmp-dir " + folder + "\nkeepalive 2 10\nverb 3\n" + extraConfig);
    daemon = Start(peer.exec({"openvpn", "--cd", folder, "--config", "server.conf"}), f + "server.log");
    if (daemon < 0 ||
        !WaitUntil([this] { return log().find("Initialization Sequence Completed") != std::string::npos; },
                   15000)) {
        failure = "the OpenVPN server did not start:\n" + log();
    }
}

OpenVPNServer::~OpenVPNServer() {
    Stop(daemon);
}

int OpenVPNServer::authAttempts() const {
    const std::string lines = ReadFile(folder + "/attempts");
    return static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
}

void OpenVPNServer::kill() {
    if (daemon > 1) {
        ::kill(daemon, SIGKILL);
        waitpid(daemon, nullptr, 0);
        daemon = -1;
    }
}

std::string OpenVPNServer::clientConfig(const std::string& credentialFile, const std::string& remote) const {
    return "client\ndev tun\nproto udp\nremote " + (remote.empty() ? remoteAddress : remote) +
           " 1194\nnobind\nremote-cert-tls server\nauth-user-pass " + credentialFile +
           "\nconnect-retry 1\nverb 3\n<ca>\n" + ca + "</ca>\n";
}

std::string OpenVPNServer::writeClientProfile(const std::string& clientFolder, const std::string& configName,
                                              const std::string& credentialFile) const {
    std::string text = "client\ndev tun\nproto udp\nremote " + remoteAddress +
                       " 1194\nnobind\nremote-cert-tls server\nca ca.crt\n";
    WriteFile(clientFolder + "/ca.crt", ca);
    if (keys.certificate) {
        text += "cert client.crt\nkey client.key\n";
        WriteFile(clientFolder + "/client.crt", ReadFile(folder + "/client.crt"));
        WriteFile(clientFolder + "/client.key", ReadFile(folder + "/client.key"), 0600);
    }
    if (!keys.tlsKey.empty()) {
        text += keys.tlsKey == "tls-auth" ? "tls-auth ta.key 1\n" : keys.tlsKey + " ta.key\n";
        WriteFile(clientFolder + "/ta.key", ReadFile(folder + "/ta.key"), 0600);
    }
    text += (credentialFile.empty() ? std::string("auth-user-pass") : "auth-user-pass " + credentialFile) +
            "\nconnect-retry 1\nverb 3\n";
    WriteFile(clientFolder + "/" + configName, text);
    return text;
}

std::string OpenVPNServer::tunnelAddress() const {
    return "10." + std::to_string(net) + ".0.1";
}

std::string OpenVPNServer::log() const {
    return ReadFile(folder + "/server.log");
}

// WireGuard peer

namespace {
// A key pair from wg: private, public.
bool keyPair(const std::string& folder, const std::string& name, std::string* privateKey,
             std::string* publicKey) {
    std::string generated;
    if (Run({"wg", "genkey"}, &generated) != 0) {
        return false;
    }
    *privateKey = trimmed(generated);
    const std::string file = folder + "/" + name + ".key";
    WriteFile(file, *privateKey + "\n", 0600);
    std::string derived;
    if (Run({"sh", "-c", "wg pubkey < \"$0\"", file}, &derived) != 0) {
        return false;
    }
    *publicKey = trimmed(derived);
    return !privateKey->empty() && !publicKey->empty();
}
} // namespace

WireGuardPeer::WireGuardPeer(const PeerNamespace& peerNamespace, const std::string& folder, int net)
    : endpointAddress(peerNamespace.peerAddress), peer(peerNamespace), interface("kwgpeer"), net(net) {
    if (!peer.error().empty()) {
        failure = peer.error();
        return;
    }
    const std::string missing = MissingPrograms({"wg", "wg-quick", "wireguard-go"});
    if (!missing.empty()) {
        failure = missing;
        return;
    }
    std::string serverPrivateKey;
    if (!keyPair(folder, "server", &serverPrivateKey, &serverPublicKey) ||
        !keyPair(folder, "client", &clientPrivateKey, &clientPublicKey)) {
        failure = "cannot make WireGuard keys with wg";
        return;
    }
    daemon = Start(peer.exec({"wireguard-go", "-f", interface}), folder + "/wireguard-go.log",
                   {"WG_I_PREFER_BUGGY_USERSPACE_TO_POLISHED_KMOD=1"});
    if (daemon < 0 || !WaitUntil(
                          [this] {
                              return peer.run({"ip", "link", "show", interface}) == 0;
                          },
                          10000)) {
        failure = "wireguard-go did not make its interface in the peer namespace:\n" +
                  ReadFile(folder + "/wireguard-go.log");
        return;
    }
    const std::vector<std::vector<std::string>> steps = {
        {"wg", "set", interface, "private-key", folder + "/server.key", "listen-port", std::to_string(port),
         "peer", clientPublicKey, "allowed-ips", clientAddress() + "/32"},
        {"ip", "addr", "add", tunnelAddress() + "/24", "dev", interface},
        {"ip", "link", "set", interface, "up"},
    };
    for (const auto& step : steps) {
        if (peer.run(step) != 0) {
            failure = "cannot configure the WireGuard peer";
            return;
        }
    }
}

WireGuardPeer::~WireGuardPeer() {
    Stop(daemon);
}

std::string WireGuardPeer::tunnelAddress() const {
    return "10." + std::to_string(net) + ".0.1";
}

std::string WireGuardPeer::clientAddress() const {
    return "10." + std::to_string(net) + ".0.2";
}

std::string WireGuardPeer::tunnelNetwork() const {
    return "10." + std::to_string(net) + ".0.0/24";
}

// strongSwan responder

StrongSwanResponder::StrongSwanResponder(const PeerNamespace& peerNamespace, const std::string& dir,
                                         const std::string& key, int ikeVersion)
    : peer(peerNamespace), folder(dir) {
    if (!peer.error().empty()) {
        failure = peer.error();
        return;
    }
    if (access("/usr/sbin/charon-systemd", X_OK) != 0 || access("/usr/sbin/swanctl", X_OK) != 0 ||
        access("/usr/lib/ipsec/plugins/libstrongswan-kernel-libipsec.so", R_OK) != 0) {
        failure = "charon-systemd, swanctl or the kernel-libipsec plugin is not installed "
                  "(scripts/install-deps.sh installs them)";
        return;
    }
    // The remote subnet on its loopback; its routes into the tunnel cover the client's
    // address, so IKE and the UDP that carries ESP stay on the veth by this rule.
    if (peer.run({"ip", "addr", "add", std::string(kRemoteHost) + "/32", "dev", "lo"}) != 0 ||
        peer.run({"ip", "rule", "add", "from", peer.peerAddress, "lookup", "main", "priority", "100"}) != 0) {
        failure = "cannot set up the responder's addresses";
        return;
    }
    WriteFile(folder + "/strongswan.conf",
              "charon-systemd {\n"
              "  load = random nonce openssl aes sha1 sha2 md5 hmac gmp kdf pem pkcs1 pkcs8 x509 pubkey "
              "kernel-libipsec kernel-netlink socket-default vici\n"
              "  plugins {\n    vici {\n      socket = unix://" +
                  folder +
                  "/responder.vici\n    }\n    kernel-libipsec {\n      allow_peer_ts = yes\n    }\n  }\n}\n"
                  "swanctl {\n  load = random openssl pem pkcs1 pkcs8 x509 pubkey\n  socket = unix://" +
                  folder + "/responder.vici\n}\n");
    mkdir((folder + "/swanctl").c_str(), 0700);
    std::string hexKey;
    for (unsigned char c : key) {
        static const char digits[] = "0123456789abcdef";
        hexKey += digits[c >> 4];
        hexKey += digits[c & 0x0f];
    }
    WriteFile(folder + "/swanctl/swanctl.conf",
              "connections {\n  responder {\n    version = " + std::to_string(ikeVersion) +
                  "\n    local_addrs = " + peer.peerAddress + "\n    remote_addrs = " + peer.localAddress +
                  "\n    encap = yes\n    proposals = aes256-sha256-modp2048\n"
                  "    local {\n      auth = psk\n      id = " +
                  peer.peerAddress +
                  "\n    }\n    remote {\n      auth = psk\n      id = " + peer.localAddress +
                  "\n    }\n    children {\n      subnet {\n        local_ts = " + kRemoteSubnet +
                  "\n        esp_proposals = aes256-sha256\n      }\n    }\n  }\n}\n"
                  "secrets {\n  ike-client {\n    id = " +
                  peer.localAddress + "\n    secret = 0x" + hexKey + "\n  }\n}\n",
              0600);
    const std::vector<std::string> env = {"STRONGSWAN_CONF=" + folder + "/strongswan.conf",
                                          "SWANCTL_DIR=" + folder + "/swanctl"};
    daemon = Start(peer.exec({"/usr/sbin/charon-systemd"}), folder + "/responder.log", env);
    if (daemon < 0 || !WaitUntil([this] { return socketAnswers(folder + "/responder.vici"); }, 10000) ||
        Run({"/usr/sbin/swanctl", "--load-all"}, nullptr, env) != 0) {
        failure = "the responder's strongSwan did not start:\n" + ReadFile(folder + "/responder.log");
    }
}

StrongSwanResponder::~StrongSwanResponder() {
    Stop(daemon);
}

int StrongSwanResponder::ikeSaCount() const {
    std::string listing;
    Run({"/usr/sbin/swanctl", "--list-sas"}, &listing,
        {"STRONGSWAN_CONF=" + folder + "/strongswan.conf", "SWANCTL_DIR=" + folder + "/swanctl"});
    int count = 0;
    for (std::string::size_type at = listing.find("ESTABLISHED"); at != std::string::npos;
         at = listing.find("ESTABLISHED", at + 1)) {
        ++count;
    }
    return count;
}

} // namespace realvpn
