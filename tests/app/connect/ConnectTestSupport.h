// Shared set-up of the connecting tests: the home page with its controller over the
// sandbox's store, profiles of each kind, test doubles of the bundle's VPN programs in
// the working folder, and short timings for the controller.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "HomeWidget.h"
#include "OpenVPNContext.h"

namespace connecttest {

// openvpn: records its process id, the credential file it finds, the management password
// file (its last argument: mode and text) and, last, its arguments; prints openvpn-say,
// waits for openvpn-go, prints openvpn-say-more, then ends with exit code 1 when
// openvpn-exit exists, else prints as many bytes as openvpn-flood says (and then makes
// openvpn-flooded) and runs until it is ended or openvpn-end appears, when it prints
// openvpn-last and ends. Each print is followed by a line in openvpn-events.txt
// ("<pid> said", "<pid> said more"), so that a test knows the text is in the pipe.
const QByteArray kOpenVPNDouble = R"SH(#!/bin/bash
echo $$ >> openvpn-pids.txt
stat -c %a Config/openvpn/ovpnpwd.txt > openvpn-credentials-mode.txt 2>/dev/null
cat Config/openvpn/ovpnpwd.txt > openvpn-credentials.txt 2>/dev/null
secret="${!#}"
stat -c %a "$secret" > openvpn-secret-mode.txt 2>/dev/null
cat "$secret" > openvpn-secret.txt 2>/dev/null
echo "$@" > openvpn-args.part && mv openvpn-args.part openvpn-args.txt
[ -f openvpn-say ] && cat openvpn-say
echo "$$ said" >> openvpn-events.txt
while [ ! -e openvpn-go ]; do sleep 0.05; done
[ -f openvpn-say-more ] && cat openvpn-say-more
echo "$$ said more" >> openvpn-events.txt
[ -f openvpn-exit ] && exit 1
if [ -f openvpn-flood ]; then
    head -c "$(cat openvpn-flood)" /dev/zero | tr '\0' 'x' | fold -w 99
    touch openvpn-flooded
fi
while [ ! -e openvpn-end ]; do sleep 0.1; done
[ -f openvpn-last ] && cat openvpn-last
exit 1
)SH";

// wireguard: records each call; an install marks the tunnel up unless wireguard-fail
// exists; an uninstall takes the mark away.
const QByteArray kWireGuardDouble = R"SH(#!/bin/bash
echo "$@" >> wireguard-calls.txt
case "$1" in
/installtunnelservice)
    shift; conf="$*"; name=$(basename "$conf" .conf)
    [ -f wireguard-fail ] && { echo "Error: tunnel service $name failed to start"; exit 1; }
    touch "wg-up-$name"; echo "Tunnel service $name installed" ;;
/uninstalltunnelservice)
    shift; rm -f "wg-up-$*"; echo "Tunnel service $* uninstalled" ;;
esac
)SH";

// wg show NAME: the tunnel's block while it is up, with a handshake unless wg-silent
// exists and the transfer line of wg-transfer when it exists, written in one piece.
const QByteArray kWgDouble = R"SH(#!/bin/bash
echo "$@" >> wg-calls.txt
[ -f wg-delay ] && sleep "$(cat wg-delay)"
name="$2"
if [ ! -f "wg-up-$name" ]; then echo "Unable to access interface: No such device"; exit 1; fi
out=$(printf 'interface: %s\n  public key: x\n  listening port: 51820\n\npeer: y\n  endpoint: 192.0.2.9:51820' "$name")
[ -f wg-silent ] || out+=$'\n  latest handshake: 1 second ago'
[ -f wg-transfer ] && out+=$'\n  transfer: '"$(cat wg-transfer)"
out+=$'\n  persistent keepalive: every 25 seconds\n'
# The whole answer in one write, as the bundle's wg gives it.
printf '%s' "$out"
)SH";

const QByteArray kAddTapDouble =
    "#!/bin/bash\necho run >> addtap-calls.txt\n[ -f addtap-fail ] && exit 1\nexit 0\n";

// The controller's times in these tests. The status tick never comes by itself: the tests
// tick by hand. The polls keep their real interval and limit, which the tests' own ticks
// count ("the eighth tick"). The WireGuard wait and the toasts are short.
inline ConnectionTimings testTimings() {
    ConnectionTimings timings;
    timings.statusTickMs = 3600000;
    timings.wireGuardWaitMs = 500;
    timings.toastMs = 200;
    return timings;
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

inline QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Kind 2 (SSL VPN) or 3 (OpenVPN) with its credentials.
struct OpenVPNProfile {
    const char* name = "ovpn-office";
    int type = 3;
    int needPwd = 0;
    int promptPwd = 0;
    int rememberMe = 0;
    const char* user = "";
    const char* password = "";
    const char* config = "client\nauth-user-pass ./Config/openvpn/ovpnpwd.txt\n";
};

inline int addOpenVPNProfile(const OpenVPNProfile& p) {
    OpenVPNInfo info;
    std::snprintf(info.ServerIP, sizeof(info.ServerIP), "vpn.example.org");
    info.ServerPort = 1194;
    info.NeedPwd = p.needPwd;
    info.PromptPwd = p.promptPwd;
    info.RememberMe = p.rememberMe;
    std::snprintf(info.UserName, sizeof(info.UserName), "%s", p.user);
    std::snprintf(info.UserPwd, sizeof(info.UserPwd), "%s", p.password);
    info.VPNConfig = p.config;
    EXPECT_EQ(hometest::store()->InsertOpenVPNConfig(&info), 0);
    hometest::addProfileRow(p.name, p.type, info.ID);
    return info.ID;
}

inline int addWireGuardProfile(const char* name) {
    WireGuardVPNInfo info;
    std::snprintf(info.WanIP, sizeof(info.WanIP), "192.0.2.9");
    std::snprintf(info.IPAddr, sizeof(info.IPAddr), "10.8.0.2");
    info.InterSubMask = 24;
    info.PeerPort = 51820;
    std::snprintf(info.PeerPubKey, sizeof(info.PeerPubKey), "bB5jSAvfJbD3yqdQq+F8Rfs1nUvxGXG9rTT3nFU8oXs=");
    std::snprintf(info.InterPriKey, sizeof(info.InterPriKey), "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
    // The nudge after the install goes to loopback, never out of the machine.
    std::snprintf(info.AllowdIPs, sizeof(info.AllowdIPs), "127.77.0.0/24");
    EXPECT_EQ(hometest::store()->InsertWireGuardInfo(&info), 0);
    hometest::addProfileRow(name, 4, info.ID);
    return info.ID;
}

class ConnectTest : public hometest::ConnectionPageTest {
protected:
    void SetUp() override {
        hometest::ConnectionPageTest::SetUp();
        timings = testTimings();
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/OpenVPN/openvpn.exe"), kOpenVPNDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wireguard"), kWireGuardDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wg"), kWgDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("driver/addtap.bat"), kAddTapDouble));
        for (const char* leftover : {"openvpn-go",
                                     "openvpn-say",
                                     "openvpn-say-more",
                                     "openvpn-exit",
                                     "openvpn-end",
                                     "openvpn-last",
                                     "openvpn-flood",
                                     "openvpn-flooded",
                                     "openvpn-args.txt",
                                     "openvpn-credentials.txt",
                                     "openvpn-credentials-mode.txt",
                                     "openvpn-secret.txt",
                                     "openvpn-secret-mode.txt",
                                     "openvpn-pids.txt",
                                     "openvpn-events.txt",
                                     "wireguard-calls.txt",
                                     "wireguard-fail",
                                     "wg-silent",
                                     "wg-transfer",
                                     "wg-calls.txt",
                                     "wg-delay",
                                     "addtap-calls.txt",
                                     "addtap-fail"}) {
            QFile::remove(QString::fromLatin1(leftover));
        }
        QDir(QStringLiteral("Config")).removeRecursively();
    }

    // Also ends every openvpn double that was started.
    void closePage() override {
        hometest::ConnectionPageTest::closePage();
        for (const QString& pid :
             readFile(QStringLiteral("openvpn-pids.txt")).split('\n', Qt::SkipEmptyParts)) {
            ::kill(pid.toInt(), SIGKILL);
        }
        QFile::remove(QStringLiteral("openvpn-pids.txt"));
        QFile::remove(QStringLiteral("openvpn-args.txt"));
    }

    // Runs one completion poll tick by hand.
    void pollOpenVPN() { QMetaObject::invokeMethod(controller(), "slotGetVPNConnectMsg"); }
    // Waits until openvpn has been started and its poll runs.
    static bool waitOpenVPNStarted() {
        return guitest::waitFor([] { return QFile::exists(QStringLiteral("openvpn-args.txt")); });
    }
    // Waits until the latest openvpn has printed its first text (openvpn-say), or, with
    // `more`, its second one (openvpn-say-more), into its output pipe.
    static bool waitOpenVPNSaid(bool more = false) {
        return guitest::waitFor([more] {
            const QString event = QStringLiteral("%1 said%2").arg(openvpnPid()).arg(more ? " more" : "");
            return openvpnPid() > 1 &&
                   readFile(QStringLiteral("openvpn-events.txt")).split('\n').contains(event);
        });
    }
    static bool credentialFileExists() { return QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")); }
    static int openvpnPid() {
        const QStringList pids = readFile(QStringLiteral("openvpn-pids.txt")).split('\n', Qt::SkipEmptyParts);
        return pids.isEmpty() ? 0 : pids.last().toInt();
    }
    // Gone, or ended and not yet reaped (the client reaps its openvpn when it ends it or
    // starts the next one).
    static bool processGone(int pid) {
        return pid > 1 && guitest::waitFor(
                              [pid] {
                                  const QString stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
                                  return ::kill(pid, 0) != 0 || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
                              },
                              8000);
    }
    // Waits until every tunnel command asked for has run and its result has been handled:
    // what a step still had to report has been reported.
    void settle() {
        do {
            ASSERT_TRUE(controller()->finishTunnelWork(10000));
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        } while (!controller()->finishTunnelWork(0));
    }
};

} // namespace connecttest
