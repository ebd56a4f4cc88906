#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "KorvaResources.h"
#include "LocalSocketServer.h"
#include "PlacedClient.h"
#include "StreamSocket.h"
#include "ZRSingleApplication.h"
#include "ZRVPNClient.h"

namespace {

// Leaves a socket file at the path with nobody listening, as a killed instance does.
bool makeStaleSocket(const QString& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (fd < 0 || static_cast<size_t>(bytes.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return bound && QFile::exists(path);
}

// The logs of the client's runs in the working folder that hold the text.
QStringList logsWith(const QString& text) {
    QStringList found;
    const QDir folder(QStringLiteral("Halvex_log"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        QFile log(folder.filePath(name));
        if (log.open(QIODevice::ReadOnly) && QString::fromUtf8(log.readAll()).contains(text)) {
            found << folder.filePath(name);
        }
    }
    return found;
}

TEST(SingleInstanceTest, SecondStartExitsWithZeroAndBringsTheFirstWindowToTheFront) {
    // The first instance finds the socket file of a dead one and takes the name over.
    const QString serverPath = ZRSingleApplication::localServerPath();
    EXPECT_TRUE(serverPath.startsWith(QString::fromLocal8Bit(qgetenv("KORVA_RUN_DIR")) + QLatin1Char('/')));
    ASSERT_TRUE(makeStaleSocket(serverPath));

    int argc = 1;
    char arg0[] = "app_instance_test";
    char* argv[] = {arg0, nullptr};
    ZRSingleApplication app(argc, argv);
    korvaInitResources();
    ASSERT_FALSE(app.isRunning());
    auto* server = app.findChild<LocalSocketServer*>();
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->isListening()) << "a stale socket file is recovered";

    // The second instances run from this folder, so that their logs are beside this one's.
    const std::string program = testsupport::PlaceClient(QDir::currentPath().toStdString());
    ASSERT_FALSE(program.empty());

    ZRVPNClient window;
    app.mainWindow = &window;
    window.show();
    window.hideToTray();

    const struct {
        QStringList arguments;
        bool minimised;
    } starts[] = {{{}, false}, {{QStringLiteral("first"), QStringLiteral("second")}, true}};
    int runs = 0;
    for (const auto& start : starts) {
        if (start.minimised) {
            window.showMinimized();
        } else {
            window.hide();
        }
        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(QString::fromStdString(program), start.arguments);
        ASSERT_TRUE(second.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 15000));
        ++runs;
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible() && !window.isMinimized(); }, 30000))
            << "the first instance's window comes to the front";
    }

    // A connection that sends nothing raises the window too, after the wait for data.
    window.hide();
    StreamSocket silent;
    ASSERT_TRUE(silent.ConnectLocal(serverPath.toStdString(), 500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 30000));

    const QStringList secondLogs = logsWith(QStringLiteral("Korva VPN already running!"));
    EXPECT_EQ(secondLogs.size(), runs);
    for (const QString& log : secondLogs) {
        EXPECT_FALSE(logsWith(QStringLiteral("Korva VPN Start")).contains(log)) << qPrintable(log);
    }
}

TEST(SingleInstanceTest, TheProgramMapsNeitherQtNetworkNorKerberos) {
    // The instance socket and the management connection are the platform layer's own: the
    // program needs no library of Qt Network, nor the Kerberos libraries it would bring.
    const std::string command = std::string("ldd '") + KORVA_APP_DIR + "/korva-vpn'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string libraries;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        libraries.append(buffer, n);
    }
    ASSERT_EQ(pclose(pipe), 0) << libraries;
    ASSERT_NE(libraries.find("libQt5Core"), std::string::npos) << libraries;
    for (const char* library : {"libQt5Network", "libgssapi_krb5", "libkrb5", "libk5crypto"}) {
        EXPECT_EQ(libraries.find(library), std::string::npos) << library;
    }
}

} // namespace
