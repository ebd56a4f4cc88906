#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>

#include "AppContext.h"
#include "GuiTest.h"
#include "OpenVPNContext.h"
#include "ProcessPipe.h"
#include "SystemContext.h"
#include "TunnelRoads.h"

namespace {

// A stand-in openvpn that runs until it is ended, and a wireguard tool that records its
// arguments.
const QByteArray kLongRunningOpenVPN = "#!/bin/sh\nexec sleep 60\n";
const QByteArray kRecordingWireGuard = "#!/bin/sh\necho \"$@\" >> wireguard-calls.txt\necho done\n";

bool processGone(int pid) {
    for (int i = 0; i < 100; ++i) {
        if (kill(pid, 0) != 0 && errno == ESRCH) {
            return true;
        }
        QTest::qWait(50);
    }
    return false;
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class TunnelRoadsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SystemContext::Instance()->GetAppContext()->Start(); }
    static void TearDownTestSuite() { SystemContext::Instance()->GetAppContext()->Stop(); }

    // Starts the stand-in openvpn as the OpenVPN road does and records it in the context.
    int startOpenVPN() {
        EXPECT_TRUE(
            guitest::writeBundleProgram(QStringLiteral("bin/OpenVPN/openvpn.exe"), kLongRunningOpenVPN));
        PROCESS_INFORMATION info;
        EXPECT_EQ(pipe.StartProcess("./bin/OpenVPN/openvpn.exe", "--config x.ovpn", &info), "Success");
        SystemContext::Instance()->GetAppContext()->GetOpenVPNContext()->SetProcessInfo(info);
        return info.dwProcessId;
    }

    ProcessPipe pipe;
};

TEST_F(TunnelRoadsTest, OpenVPNProgramEndsOnDisconnectAndOnCancel) {
    for (int kind : {int(VPN_TYPE_OPENVPN), int(VPN_TYPE_SSLVPN)}) {
        ContextTunnelRoads roads;
        ProfileInfo profile;
        profile.ProfileType = kind;

        const int connected = startOpenVPN();
        ASSERT_GT(connected, 1);
        roads.disconnectTunnel(profile);
        EXPECT_TRUE(processGone(connected)) << "connected, kind " << kind;

        // Cancelling a connect also removes the credential file with its password.
        const int connecting = startOpenVPN();
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("Config/openvpn")));
        QFile credentials(QStringLiteral("Config/openvpn/ovpnpwd.txt"));
        ASSERT_TRUE(credentials.open(QIODevice::WriteOnly));
        credentials.write("user\nsecret\n");
        credentials.close();
        roads.cancelConnect(profile);
        EXPECT_TRUE(processGone(connecting)) << "connecting, kind " << kind;
        EXPECT_FALSE(QFile::exists(QStringLiteral("Config/openvpn/ovpnpwd.txt")));
    }
}

TEST_F(TunnelRoadsTest, WireGuardTunnelIsUninstalledOnDisconnectAndOnCancel) {
    ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wireguard"), kRecordingWireGuard));
    QFile::remove(QStringLiteral("wireguard-calls.txt"));
    ContextTunnelRoads roads;
    ProfileInfo profile;
    profile.ProfileType = VPN_TYPE_WIREGUARD;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "office");
    roads.disconnectTunnel(profile);
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "home");
    roads.cancelConnect(profile);
    for (int i = 0; i < 50 && readFile(QStringLiteral("wireguard-calls.txt")).count('\n') < 2; ++i) {
        QTest::qWait(50);
    }
    EXPECT_EQ(readFile(QStringLiteral("wireguard-calls.txt")),
              QStringLiteral("/uninstalltunnelservice office\n/uninstalltunnelservice home\n"));
}

TEST_F(TunnelRoadsTest, UnknownKindTouchesNothing) {
    const int running = startOpenVPN();
    ContextTunnelRoads roads;
    ProfileInfo profile;
    profile.ProfileType = 9;
    roads.disconnectTunnel(profile);
    roads.cancelConnect(profile);
    EXPECT_EQ(kill(running, 0), 0);
    pipe.KillProcess(SystemContext::Instance()->GetAppContext()->GetOpenVPNContext()->GetProcessInfo());
    EXPECT_TRUE(processGone(running));
}

} // namespace
