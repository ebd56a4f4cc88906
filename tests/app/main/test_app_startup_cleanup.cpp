// The start's clean-up of what a killed client left: the files that hold secrets in plain
// text go (never what a link points to), each with a log line; everything else stays. The
// programs and tunnels a killed client left are tested with real ones (tests/app/real,
// tests/platform).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "AppContext.h"
#include "StartupCleanup.h"
#include "SystemContext.h"

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

} // namespace
