// A real WireGuard tunnel between two network namespaces of our own, joined by a veth
// pair: the configuration files come from WireGuardContext, the tunnel goes up and down
// through the bundle's `wireguard` tool (wg-quick with wireguard-go) and its traffic is
// read with the bundle's `wg show`. One side's name is an interface name, the other's
// is not, so the name mapping is crossed end to end. Needs root and /dev/net/tun.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TunnelTestSupport.h"
#include "WireGuardContext.h"

namespace {

// The bundle as the build lays it out beside the client (its wg is a program of its own).
const QString kBundle = QString(KORVA_APP_DIR);

struct Result {
    int code = -1;
    QString out;
};

Result RunProgram(const QString& program, const QStringList& args, const QByteArray& input = QByteArray()) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Result result;
    if (!process.waitForStarted(10000)) {
        return result;
    }
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAll());
    return result;
}

QString MissingRequirement() {
    if (geteuid() != 0) {
        return "not running as root";
    }
    int fd = open("/dev/net/tun", O_RDWR);
    if (fd < 0) {
        return "/dev/net/tun cannot be opened";
    }
    close(fd);
    for (const char* program : {"ip", "wg", "wg-quick", "wireguard-go"}) {
        if (QStandardPaths::findExecutable(program).isEmpty() &&
            QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"}).isEmpty()) {
            return QString("%1 is not installed").arg(program);
        }
    }
    return QString();
}

class WireGuardRealTunnel : public ::testing::Test {
protected:
    void SetUp() override {
        QString missing = MissingRequirement();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "WireGuard tunnel test skipped: " << missing.toStdString();
        }
        const QString tag = QString::number(getpid());
        nsA = "korvawgA" + tag;
        nsB = "korvawgB" + tag;
        vethA = "kwa" + tag.right(10);
        vethB = "kwb" + tag.right(10);
        nameA = "kwA" + tag.right(10); // an interface name as it is
        nameB = "korva peer " + tag;   // mapped to a short interface name
        qputenv("KORVA_WG_RUNDIR", QByteArray::fromStdString(project.path + "/run"));
        if (RunProgram("ip", {"netns", "add", nsA}).code != 0) {
            GTEST_SKIP() << "WireGuard tunnel test skipped: network namespaces cannot be created here";
        }
        madeA = true;
        ASSERT_EQ(RunProgram("ip", {"netns", "add", nsB}).code, 0);
        madeB = true;
        ASSERT_EQ(RunProgram("ip", {"-n", nsA, "link", "add", vethA, "type", "veth", "peer", "name", vethB,
                                    "netns", nsB})
                      .code,
                  0);
        ASSERT_EQ(RunProgram("ip", {"-n", nsA, "addr", "add", "10.231.7.1/24", "dev", vethA}).code, 0);
        ASSERT_EQ(RunProgram("ip", {"-n", nsB, "addr", "add", "10.231.7.2/24", "dev", vethB}).code, 0);
        for (const auto& pair : {std::make_pair(nsA, vethA), std::make_pair(nsB, vethB)}) {
            ASSERT_EQ(RunProgram("ip", {"-n", pair.first, "link", "set", pair.second, "up"}).code, 0);
            ASSERT_EQ(RunProgram("ip", {"-n", pair.first, "link", "set", "lo", "up"}).code, 0);
        }
    }
    void TearDown() override {
        if (upA) {
            InNamespace(nsA, kBundle + "/bin/Wireguard/wireguard", {"/uninstalltunnelservice", nameA});
        }
        if (upB) {
            InNamespace(nsB, kBundle + "/bin/Wireguard/wireguard", {"/uninstalltunnelservice", nameB});
        }
        if (madeA) {
            RunProgram("ip", {"netns", "del", nsA});
        }
        if (madeB) {
            RunProgram("ip", {"netns", "del", nsB});
        }
    }
    Result InNamespace(const QString& ns, const QString& program, const QStringList& args) {
        return RunProgram("ip", QStringList{"netns", "exec", ns, program} + args);
    }
    std::pair<std::string, std::string> KeyPair() {
        Result priv = RunProgram("wg", {"genkey"});
        Result pub = RunProgram("wg", {"pubkey"}, priv.out.toUtf8());
        return {priv.out.trimmed().toStdString(), pub.out.trimmed().toStdString()};
    }
    void Configure(const QString& name, const std::string& priv, int port, const char* address,
                   const std::string& peerPub, const char* peerIP, int peerPort, const char* allowed) {
        WireGuardVPNInfo info;
        std::strcpy(info.InterPriKey, priv.c_str());
        info.InterPort = port;
        std::strcpy(info.IPAddr, address);
        info.InterSubMask = 24;
        std::strcpy(info.PeerPubKey, peerPub.c_str());
        std::strcpy(info.WanIP, peerIP);
        info.PeerPort = peerPort;
        std::strcpy(info.AllowdIPs, allowed);
        info.KeepaliveTime = 1;
        ProfileInfo profile;
        std::strcpy(profile.ProfileName, name.toUtf8().constData());
        WireGuardContext context;
        ASSERT_EQ(context.WriteWireGuardConfig(profile, &info), 0);
    }
    QString ConfPath(const QString& name) {
        return QString::fromStdString(project.path) + "/Config/wireguard/" + name + ".conf";
    }

    ProjectFolder project;
    QString nsA, nsB, vethA, vethB, nameA, nameB;
    bool madeA = false, madeB = false, upA = false, upB = false;
};

// The "transfer:" line of the block headed "interface: <name>" in `wg show`.
QString TransferLine(const QString& show, const QString& name) {
    int start = show.indexOf("interface: " + name + "\n");
    if (start < 0) {
        return QString();
    }
    int end = show.indexOf("\ninterface: ", start + 1);
    QString block = show.mid(start, end < 0 ? -1 : end - start);
    QRegularExpression re("^\\s*transfer: .*$", QRegularExpression::MultilineOption);
    return re.match(block).captured(0).trimmed();
}

TEST_F(WireGuardRealTunnel, ComesUpCarriesTrafficAndGoesDown) {
    auto keysA = KeyPair();
    auto keysB = KeyPair();
    ASSERT_FALSE(keysA.first.empty());
    ASSERT_FALSE(keysB.second.empty());
    Configure(nameA, keysA.first, 51901, "10.232.7.1", keysB.second, "10.231.7.2", 51902, "10.232.7.2/32");
    Configure(nameB, keysB.first, 51902, "10.232.7.2", keysA.second, "10.231.7.1", 51901, "10.232.7.1/32");

    Result upResultA =
        InNamespace(nsA, kBundle + "/bin/Wireguard/wireguard", {"/installtunnelservice", ConfPath(nameA)});
    upA = upResultA.code == 0;
    ASSERT_TRUE(upA) << upResultA.out.toStdString();
    Result upResultB =
        InNamespace(nsB, kBundle + "/bin/Wireguard/wireguard", {"/installtunnelservice", ConfPath(nameB)});
    upB = upResultB.code == 0;
    ASSERT_TRUE(upB) << upResultB.out.toStdString();
    EXPECT_EQ(upResultB.out, "Tunnel service " + nameB + " installed\n");
    // The client's own check finds both tunnels by their names through the bundle's wg
    // (wireguard-go's control sockets are shared between namespaces).
    ASSERT_EQ(symlink((kBundle + "/bin").toUtf8().constData(), (project.path + "/bin").c_str()), 0);
    WireGuardContext context;
    EXPECT_TRUE(context.IsTunnelUp(nameA.toUtf8().constData()));
    EXPECT_TRUE(context.IsTunnelUp(nameB.toUtf8().constData()));

    // Keepalives every second make both sides count traffic once the handshake is done.
    const QRegularExpression transfer(
        "^transfer: ([0-9.]+) (B|KiB|MiB|GiB) received, ([0-9.]+) (B|KiB|MiB|GiB) sent$");
    QString lineA, lineB, showB;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        lineA = TransferLine(InNamespace(nsA, kBundle + "/bin/Wireguard/wg", {"show"}).out, nameA);
        showB = InNamespace(nsB, kBundle + "/bin/Wireguard/wg", {"show"}).out;
        lineB = TransferLine(showB, nameB);
        auto a = transfer.match(lineA);
        auto b = transfer.match(lineB);
        if (a.hasMatch() && b.hasMatch() && a.captured(1).toDouble() > 0 && b.captured(1).toDouble() > 0 &&
            a.captured(3).toDouble() > 0 && b.captured(3).toDouble() > 0) {
            break;
        }
        QThread::msleep(500);
    }
    EXPECT_TRUE(transfer.match(lineA).hasMatch()) << lineA.toStdString();
    EXPECT_TRUE(transfer.match(lineB).hasMatch()) << showB.toStdString();
    EXPECT_GT(transfer.match(lineA).captured(1).toDouble(), 0.0) << lineA.toStdString();
    EXPECT_GT(transfer.match(lineB).captured(3).toDouble(), 0.0) << lineB.toStdString();

    // Down again: the tunnels are gone from `wg show` and from the namespaces.
    Result downB = InNamespace(nsB, kBundle + "/bin/Wireguard/wireguard", {"/uninstalltunnelservice", nameB});
    EXPECT_EQ(downB.code, 0) << downB.out.toStdString();
    upB = false;
    Result downA = InNamespace(nsA, kBundle + "/bin/Wireguard/wireguard", {"/uninstalltunnelservice", nameA});
    EXPECT_EQ(downA.code, 0) << downA.out.toStdString();
    upA = false;
    EXPECT_NE(RunProgram("ip", {"-n", nsA, "link", "show", "dev", nameA}).code, 0);
    EXPECT_FALSE(context.IsTunnelUp(nameA.toUtf8().constData()));
    EXPECT_FALSE(context.IsTunnelUp(nameB.toUtf8().constData()));
    QString after = InNamespace(nsB, kBundle + "/bin/Wireguard/wg", {"show"}).out;
    EXPECT_FALSE(after.contains("interface: " + nameB)) << after.toStdString();
    EXPECT_FALSE(after.contains("interface: " + nameA)) << after.toStdString();
}

TEST_F(WireGuardRealTunnel, ForeignInterfacesOfAProfilesNameAreLeftAlone) {
    // A bridge and a tap device that no tunnel of ours made, named as profiles.
    const QString tag = QString::number(getpid()).right(8);
    const QString bridge = "kfb" + tag;
    const QString tap = "kft" + tag;
    ASSERT_EQ(RunProgram("ip", {"-n", nsA, "link", "add", bridge, "type", "bridge"}).code, 0);
    ASSERT_EQ(InNamespace(nsA, "ip", {"tuntap", "add", "dev", tap, "mode", "tap"}).code, 0);
    auto keys = KeyPair();
    for (const QString& name : {bridge, tap}) {
        Configure(name, keys.first, 51903, "10.232.8.1", keys.second, "10.231.7.2", 51904, "10.232.8.2/32");
        Result up =
            InNamespace(nsA, kBundle + "/bin/Wireguard/wireguard", {"/installtunnelservice", ConfPath(name)});
        EXPECT_EQ(up.code, 1) << up.out.toStdString();
        EXPECT_TRUE(up.out.contains("was not made by this tool")) << up.out.toStdString();
        Result down =
            InNamespace(nsA, kBundle + "/bin/Wireguard/wireguard", {"/uninstalltunnelservice", name});
        EXPECT_EQ(down.code, 1) << down.out.toStdString();
        EXPECT_EQ(RunProgram("ip", {"-n", nsA, "link", "show", "dev", name}).code, 0) << name.toStdString();
    }
}

} // namespace
