// The start's clean-up of what a killed client left: the files that hold secrets in plain
// text go (never what a link points to), each with a log line; everything else stays. The
// folders of profiles' files, credentials and logs that an earlier version left open to
// other users are made private, never through a link nor another user's folder. The
// programs and tunnels a killed client left are tested with real ones (tests/app/real,
// tests/platform).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "AppContext.h"
#include "StartupCleanup.h"
#include "SystemContext.h"
#include "TunnelPaths.h"

namespace {

QString logText() {
    QFile file(QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetLogPath()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void plant(const QString& path, const QByteArray& text = "secret") {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

TEST(StartupCleanup, SecretFilesAKilledClientLeftGoAndNothingElse) {
    const QString data = QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetDataPath());
    ASSERT_FALSE(data.isEmpty());
    const QStringList secrets = {
        QStringLiteral("Config/openvpn/ovpnpwd.txt"),
        QStringLiteral("Config/openvpn/ovpnpwd.txt.Ab3dE9"),
        QStringLiteral("Config/openvpn/office.ovpn.x1Y2z3"),
        QStringLiteral("Config/wireguard/home.conf.Qw12Er"),
        QStringLiteral("Config/decrypted.cfg"),
        QStringLiteral("Config/decrypted.cfg.a1b2c3"),
        QStringLiteral("Config/decrypted.db"),
        QStringLiteral("Config/encrypted.cfg"),
        QStringLiteral("bin/ipsec/swanctl/swanctl.conf.zzzzzz"),
        data + QStringLiteral("tempvpn.db"),
        data + QStringLiteral("tempvpn.db.K9k9K9"),
    };
    const QStringList kept = {
        QStringLiteral("Config/openvpn/office.ovpn"),     QStringLiteral("Config/wireguard/home.conf"),
        QStringLiteral("Config/wireguard/home.conf.old"), QStringLiteral("Config/mydecrypted.cfg"),
        QStringLiteral("bin/ipsec/swanctl/swanctl.conf"), data + QStringLiteral("vpn.db.keep"),
    };
    for (const QString& path : secrets + kept) {
        plant(path);
    }
    // A link at a secret's name goes; what it points to stays.
    QFile::remove(QStringLiteral("Config/decrypted.db"));
    plant(QStringLiteral("elsewhere.txt"), "not the client's");
    ASSERT_TRUE(QFile::link(QDir::current().filePath(QStringLiteral("elsewhere.txt")),
                            QStringLiteral("Config/decrypted.db")));

    CleanUpAfterEarlierRun();

    for (const QString& path : secrets) {
        EXPECT_FALSE(QFileInfo(path).exists() || QFileInfo(path).isSymLink()) << path.toStdString();
        EXPECT_TRUE(
            logText().contains(QStringLiteral("System :: Removed %1, left by an earlier run\n").arg(path)))
            << path.toStdString();
    }
    for (const QString& path : kept) {
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
    QFile elsewhere(QStringLiteral("elsewhere.txt"));
    ASSERT_TRUE(elsewhere.open(QIODevice::ReadOnly));
    EXPECT_EQ(elsewhere.readAll(), QByteArray("not the client's"));
}

// What a folder of the client's is found as at the start.
enum class Found { Own, Link, Others };

mode_t modeOf(const QString& path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(StartupCleanup, FoldersOpenToOtherUsersBecomePrivateButNotThroughALinkOrAnothersFolder) {
    const QString opened =
        QStringLiteral("System :: Folder %1 made private (0700), open to other users before\n");
    // Only root gives a folder to another user; otherwise that folder is the client's own.
    const bool asRoot = geteuid() == 0;
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("elsewhere")));
    ASSERT_EQ(chmod("elsewhere", 0755), 0);
    const struct {
        QString folder;
        mode_t before;
        Found kind;
        mode_t after;
    } cases[] = {
        {QStringLiteral("Config"), 0755, Found::Own, 0700},
        {QString::fromLatin1(TunnelPaths::kOpenVPNConfigDir), 0777, Found::Own, 0700},
        {QStringLiteral("Halvex_log"), 0750, Found::Own, 0700},
        {QString::fromLatin1(TunnelPaths::kWireGuardConfigDir), 0755, Found::Link, 0755},
        {QStringLiteral("./bin/ipsec/swanctl"), 0755, asRoot ? Found::Others : Found::Own,
         asRoot ? 0755u : 0700u},
    };
    for (const auto& c : cases) {
        if (c.kind == Found::Link) {
            QDir(c.folder).removeRecursively();
            ASSERT_TRUE(QFile::link(QDir::current().filePath(QStringLiteral("elsewhere")), c.folder));
            continue;
        }
        ASSERT_TRUE(QDir().mkpath(c.folder)) << c.folder.toStdString();
        ASSERT_EQ(chmod(QFile::encodeName(c.folder).constData(), c.before), 0);
        if (c.kind == Found::Others) {
            ASSERT_EQ(chown(QFile::encodeName(c.folder).constData(), 65534, 65534), 0);
        }
    }

    MakeClientFoldersPrivate();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        const QString path = c.kind == Found::Link ? QStringLiteral("elsewhere") : c.folder;
        EXPECT_EQ(modeOf(path), c.after);
        EXPECT_EQ(logText().contains(opened.arg(c.folder)), c.after != c.before);
    }
    EXPECT_TRUE(QFileInfo(QString::fromLatin1(TunnelPaths::kWireGuardConfigDir)).isSymLink());

    // Nor through a link on the way: Config itself a link to a folder with an open openvpn.
    ASSERT_TRUE(QDir(QStringLiteral("Config")).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("elsewhere/openvpn")));
    ASSERT_EQ(chmod("elsewhere/openvpn", 0755), 0);
    ASSERT_TRUE(QFile::link(QDir::current().filePath(QStringLiteral("elsewhere")), QStringLiteral("Config")));
    MakeClientFoldersPrivate();
    EXPECT_EQ(modeOf(QStringLiteral("elsewhere/openvpn")), 0755u);
    EXPECT_EQ(modeOf(QStringLiteral("elsewhere")), 0755u);
}

} // namespace
