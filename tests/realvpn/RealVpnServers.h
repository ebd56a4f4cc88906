// Real VPN servers for end-to-end tests and benchmarks: an OpenVPN TLS server that checks
// a user name and password, a wireguard-go peer, and a strongSwan responder with a
// pre-shared key, each in a network namespace of its own ("peer namespace") joined by a
// veth pair to the namespace of the process that uses it.
//
// The process that uses them first isolates itself (IsolateBeforeMain, from a static
// initialiser while it has one thread): a network namespace of its own, so that the
// client's tunnel devices, routes and the OpenVPN management port stay inside it and go
// with it, and a mount namespace with a private /run/wireguard, so that the WireGuard
// tools see only its own tunnels. Everything started is ended by its process id.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace realvpn {

// Makes this process's own network and mount namespaces; call it before main, while the
// process has one thread. Afterwards Unavailable() says why real servers cannot run here
// (empty when they can). The mount namespace also gives the process a resolver
// configuration of its own: /etc/resolv.conf reads kEarlierResolvConf, and resolvconf
// keeps its records and its copy of the earlier configuration beside it, so that a
// tunnel's DNS never reaches the machine's.
void IsolateBeforeMain();
const std::string& Unavailable();
constexpr const char* kEarlierResolvConf = "nameserver 192.0.2.53\nsearch before.example\n";
// The system's resolver configuration as programs of this process read it.
std::string ResolverConfiguration();
// The first of the programs that is not installed, with the Debian package that brings
// it, or empty.
std::string MissingPrograms(const std::vector<std::string>& programs);

// Runs a program (looked up in PATH and the system folders) with extra environment
// entries and waits for it: its exit code, or -1. Output goes to `output` when given.
int Run(const std::vector<std::string>& args, std::string* output = nullptr,
        const std::vector<std::string>& env = {});
// Starts a program that runs on, its output appended to logPath; its process id, or -1.
pid_t Start(const std::vector<std::string>& args, const std::string& logPath,
            const std::vector<std::string>& env = {});
// Ends a started program (SIGTERM, SIGKILL after 3 s) and reaps it.
void Stop(pid_t pid);
bool WaitUntil(const std::function<bool()>& condition, int limitMs);
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& text, int mode = 0644);

// ICMP echo requests to the address, one a second, until one is answered.
bool PingAnswers(const std::string& address, int attempts, int payloadBytes = 16);
// The network interfaces of this process's network namespace.
std::vector<std::string> Interfaces();
// The ids of processes whose image name is `name` and that run in this process's network
// namespace (the peer namespaces' servers do not count).
std::vector<pid_t> ProcessesInThisNetwork(const std::string& name);

// What a tunnel may change in this process's network namespace: its interfaces, every
// routing table, the routing rules and the firewall (nftables) ruleset, as text. Two
// snapshots taken before a connect and after its disconnect are equal when the tunnel
// left nothing behind.
std::string NetworkState();

// The resolver configuration of this process's mount namespace made its own while the
// object lives: /etc is overlaid with a folder on a tmpfs, so that what resolvconf writes
// (/etc/resolv.conf and its backup) stays there, /etc/resolv.conf starts as `resolvConf`,
// and openresolv's state in /run/resolvconf is a tmpfs of its own. Needs the namespaces
// that IsolateBeforeMain made.
class PrivateResolver {
public:
    PrivateResolver(const std::string& folder, const std::string& resolvConf);
    ~PrivateResolver();
    PrivateResolver(const PrivateResolver&) = delete;
    PrivateResolver& operator=(const PrivateResolver&) = delete;
    const std::string& error() const { return failure; }
    // /etc/resolv.conf as the resolver reads it now.
    static std::string Current();

private:
    std::string failure;
    std::string layer;
    std::vector<std::string> mounts;
};

// Copies the client's program bundle (bin/ and driver/ of the built client folder) into
// the working directory, so that a test's generated files stay in its own folder.
bool CopyBundle(const std::string& appDir);

// A peer namespace named korva-<tag>-<pid>, joined by a veth pair: this side
// 198.18.<subnet>.1/24, the peer's side 198.18.<subnet>.2/24.
class PeerNamespace {
public:
    PeerNamespace(const std::string& tag, int subnet);
    ~PeerNamespace();
    PeerNamespace(const PeerNamespace&) = delete;
    PeerNamespace& operator=(const PeerNamespace&) = delete;

    // Empty when the namespace stands, else why not.
    const std::string& error() const { return failure; }
    // A command line that runs args inside the namespace.
    std::vector<std::string> exec(const std::vector<std::string>& args) const;
    int run(const std::vector<std::string>& args) const;

    std::string name;
    std::string localAddress; // this side
    std::string peerAddress;  // the peer's side

private:
    std::string failure;
    bool made = false;
    std::string veth;
};

// What an OpenVPN server asks of its clients beyond the user name and password: a client
// certificate of its CA, and a static TLS key that both sides hold ("tls-auth", the
// client's key direction 1, or "tls-crypt"; empty for none).
struct OpenVPNClientKeys {
    bool certificate = false;
    std::string tlsKey;
};

// An OpenVPN server on UDP 1194 in the peer namespace: TLS with its own small EC PKI, no
// client certificates unless asked for, the user name and password checked by a script that
// counts every attempt. Its tunnel address is 10.<net>.0.1/24; clients get addresses from
// the same network. `extraConfig` goes at the end of its configuration (e.g. pushed DNS
// options).
class OpenVPNServer {
public:
    OpenVPNServer(const PeerNamespace& peer, const std::string& folder, const std::string& user,
                  const std::string& password, int net = 77,
                  const OpenVPNClientKeys& keys = OpenVPNClientKeys(),
                  const std::string& extraConfig = std::string());
    ~OpenVPNServer();
    // How many times a client has given a user name and password.
    int authAttempts() const;
    // Ends the server at once (SIGKILL): its clients hear nothing more from it.
    void kill();
    const std::string& error() const { return failure; }
    // The client's configuration (the stored ".ovpn" text): the server at `remote` (its
    // veth address by default), the CA inline, credentials from credentialFile.
    std::string clientConfig(const std::string& credentialFile,
                             const std::string& remote = std::string()) const;
    // The client's profile as an administrator hands it out: a configuration that names
    // its files (ca.crt, and client.crt, client.key and ta.key as the server's keys ask,
    // credentialFile when not empty) in the same folder, written there with those files;
    // its text.
    std::string writeClientProfile(const std::string& clientFolder, const std::string& configName,
                                   const std::string& credentialFile) const;
    std::string tunnelAddress() const;
    std::string log() const;

private:
    std::string failure;
    std::string folder;
    std::string remoteAddress;
    std::string ca;
    int net;
    OpenVPNClientKeys keys;
    pid_t daemon = -1;
};

// A wireguard-go peer in the peer namespace on UDP 51820 with tunnel address
// 10.<net>.0.1/24, which accepts the client key it made for the client at 10.<net>.0.2.
class WireGuardPeer {
public:
    WireGuardPeer(const PeerNamespace& peer, const std::string& folder, int net = 78);
    ~WireGuardPeer();
    const std::string& error() const { return failure; }

    std::string serverPublicKey;
    std::string clientPrivateKey;
    std::string clientPublicKey;
    std::string endpointAddress;
    int port = 51820;
    std::string tunnelAddress() const; // the peer's
    std::string clientAddress() const;
    std::string tunnelNetwork() const; // 10.<net>.0.0/24

    // The client's profile of this peer, filled into the store's WireGuard record (taken
    // as a type parameter, so that this library needs nothing of the store).
    template <typename WireGuardRecord> void fillClientProfile(WireGuardRecord& info) const {
        copyText(info.InterPriKey, clientPrivateKey);
        copyText(info.InterPubKey, clientPublicKey);
        copyText(info.IPAddr, clientAddress());
        info.InterSubMask = 24;
        copyText(info.PeerPubKey, serverPublicKey);
        copyText(info.WanIP, endpointAddress);
        info.PeerPort = port;
        copyText(info.AllowdIPs, tunnelNetwork());
    }

private:
    template <size_t N> static void copyText(char (&field)[N], const std::string& text) {
        std::snprintf(field, N, "%s", text.c_str());
    }

    std::string failure;
    const PeerNamespace& peer;
    std::string interface;
    int net;
    pid_t daemon = -1;
};

// A strongSwan responder (charon-systemd with kernel-libipsec) in the peer namespace:
// IKEv2 (or the IKE version given: 1 for IKEv1, as the profile editor's profiles speak)
// with a pre-shared key (any bytes: its configuration holds the key hex-encoded),
// UDP-encapsulated ESP, and the subnet 10.99.0.0/24 behind it with
// 10.99.0.1 on its loopback.
class StrongSwanResponder {
public:
    StrongSwanResponder(const PeerNamespace& peer, const std::string& folder, const std::string& key,
                        int ikeVersion = 2);
    ~StrongSwanResponder();
    const std::string& error() const { return failure; }
    static constexpr const char* kRemoteSubnet = "10.99.0.0/24";
    static constexpr const char* kRemoteHost = "10.99.0.1";
    // How many IKE SAs the responder has right now.
    int ikeSaCount() const;

private:
    std::string failure;
    const PeerNamespace& peer;
    std::string folder;
    pid_t daemon = -1;
};

} // namespace realvpn
