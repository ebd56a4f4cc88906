// Shared set-up of the connecting tests: the home page with its controller over the
// sandbox's store, profiles of each kind, test doubles of the bundle's VPN programs in
// the working folder, the status and its log lines, and waiting without blocking.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/stat.h>

#include "ConnectionController.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "HomeWidget.h"
#include "OpenVPNContext.h"
#include "ZRToastDialog.h"

namespace connecttest {

// openvpn: records its process id, the credential file it finds and, last, its
// arguments; prints openvpn-say,
// waits for openvpn-go, prints openvpn-say-more, then runs until it is ended.
const QByteArray kOpenVPNDouble = R"SH(#!/bin/bash
echo $$ >> openvpn-pids.txt
stat -c %a Config/openvpn/ovpnpwd.txt > openvpn-credentials-mode.txt 2>/dev/null
cat Config/openvpn/ovpnpwd.txt > openvpn-credentials.txt 2>/dev/null
echo "$@" > openvpn-args.txt
[ -f openvpn-say ] && cat openvpn-say
while [ ! -e openvpn-go ]; do sleep 0.05; done
[ -f openvpn-say-more ] && cat openvpn-say-more
exec sleep 600
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

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

inline QString logText() {
    return readFile(QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetLogPath()));
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

class ConnectTest : public ::testing::Test {
protected:
    // The texts of the toast while it shows.
    static QString toastText() {
        QString text;
        for (QLabel* label : ZRToastDialog::instance()->findChildren<QLabel*>()) {
            text += label->text();
        }
        return ZRToastDialog::instance()->isVisible() ? text : QString();
    }
    void SetUp() override {
        hometest::startApp();
        hometest::clearStore();
        guitest::applyColorMode(1);
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/OpenVPN/openvpn.exe"), kOpenVPNDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wireguard"), kWireGuardDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wg"), kWgDouble));
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("driver/addtap.bat"), kAddTapDouble));
        for (const char* leftover :
             {"openvpn-go", "openvpn-say", "openvpn-say-more", "openvpn-args.txt", "openvpn-credentials.txt",
              "openvpn-credentials-mode.txt", "openvpn-pids.txt", "wireguard-calls.txt", "wireguard-fail",
              "wg-silent", "wg-transfer", "wg-calls.txt", "wg-delay", "addtap-calls.txt", "addtap-fail"}) {
            QFile::remove(QString::fromLatin1(leftover));
        }
        QDir(QStringLiteral("Config")).removeRecursively();
    }
    void TearDown() override { closePage(); }

    // Ends whatever the page left running, as the main window's close does, and closes it.
    void closePage() {
        if (page) {
            ProfileInfo current;
            hometest::app()->GetCurrentProfile(&current);
            if (page->currentStatus() == CONNECT_STATUS_CONNECTING) {
                page->tunnelRoads()->cancelConnect(current);
            } else if (page->currentStatus() == CONNECT_STATUS_CONNECTED) {
                page->tunnelRoads()->disconnectTunnel(current);
            }
        }
        page.reset();
        hometest::app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        hometest::app()->SetCurrentProfile(ProfileInfo());
        for (const QString& pid :
             readFile(QStringLiteral("openvpn-pids.txt")).split('\n', Qt::SkipEmptyParts)) {
            ::kill(pid.toInt(), SIGKILL);
        }
        QFile::remove(QStringLiteral("openvpn-pids.txt"));
        QFile::remove(QStringLiteral("openvpn-args.txt"));
    }

    // The page with the named profile selected, as after the start.
    HomeWidget* open(const char* selected) {
        hometest::rememberSelection(selected);
        page = std::make_unique<HomeWidget>();
        EXPECT_TRUE(guitest::showAndExpose(page.get()));
        const SETTINGINFO row = hometest::settingsRow();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&row);
        EXPECT_EQ(page->activeProfileName(), QString::fromUtf8(selected));
        statusChanges = std::make_unique<QSignalSpy>(page.get(), SIGNAL(signalConnectedVPNChanged(int)));
        return page.get();
    }
    ConnectionController* controller() { return page->connectionController(); }
    void press() { page->clickConnectButton(); }
    int status() const { return page->currentStatus(); }
    bool waitStatus(int wanted, int timeoutMs = 10000) {
        return waitFor([&] { return page->currentStatus() == wanted; }, timeoutMs);
    }
    // Runs one completion poll tick by hand.
    void pollOpenVPN() { QMetaObject::invokeMethod(controller(), "slotGetVPNConnectMsg"); }
    // Waits until openvpn has been started and its poll runs.
    bool waitOpenVPNStarted() {
        return waitFor([] { return QFile::exists(QStringLiteral("openvpn-args.txt")); });
    }
    template <typename T = QWidget> T* w(const char* name) {
        T* found = page->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* name) {
        if (auto* label = qobject_cast<QLabel*>(w(name))) {
            return label->text();
        }
        return w<QAbstractButton>(name)->text();
    }
    std::vector<int> statusSignals() const {
        std::vector<int> values;
        for (const QList<QVariant>& args : *statusChanges) {
            values.push_back(args[0].toInt());
        }
        return values;
    }
    static bool credentialFileExists() { return QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")); }
    static int openvpnPid() {
        const QStringList pids = readFile(QStringLiteral("openvpn-pids.txt")).split('\n', Qt::SkipEmptyParts);
        return pids.isEmpty() ? 0 : pids.last().toInt();
    }
    static bool processGone(int pid) {
        return pid > 1 && waitFor([pid] { return ::kill(pid, 0) != 0; }, 8000);
    }

    std::unique_ptr<HomeWidget> page;
    std::unique_ptr<QSignalSpy> statusChanges;
};

} // namespace connecttest
