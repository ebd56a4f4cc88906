// A client killed in the middle of an import: the transaction it had open never reaches
// the store, which the next connection finds exactly as it was; the next import then runs
// whole. A client that quits in the middle of an import stops it and undoes it.
#include <QFileInfo>
#include <QProcess>
#include <sqlite3.h>

#include "TransferTest.h"

using namespace transfertest;

namespace {

constexpr int kProfiles = 3000;

class TransferKill : public TransferTest {};

TEST_F(TransferKill, AKillInTheMiddleOfAnImportLeavesTheStoreIntact) {
    seedStore({{VPN_TYPE_IPSEC, "held_a"}, {VPN_TYPE_WIREGUARD, "held_b"}});
    const QStringList held = storeNames();
    // A file large enough that the import's transaction outgrows SQLite's page cache, so
    // that changed pages reach the store's file before the end.
    makeStoreFile(QStringLiteral("big.db"), {}, [](sqlite3* db) {
        const std::string sql =
            "BEGIN;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(kProfiles) +
            ") INSERT INTO OPENVPN (ID, ServerIP, ServerPort, ConfigFilePath, NeedPwd, UserName, UserPwd, "
            "RememberMe, PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, EnableFullTraffic, "
            "AllowdIPs, "
            "VPNConfig) SELECT x, 'vpn' || x || '.example.org', 1194, '', 0, '', '', 0, 0, 0, '', '', '', 0, "
            "'', "
            "'client' || char(10) || hex(randomblob(1000)) FROM n;"
            "INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) SELECT 'imported_' || ID, 3, ID FROM "
            "OPENVPN;"
            "COMMIT;";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    });
    encipher(QStringLiteral("big.db"), QStringLiteral("big.cfg"));

    for (int killAt : {1, kProfiles / 2, kProfiles}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(IMPORT_CHILD), {QStringLiteral("big.cfg"), QString::number(killAt)});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray said;
        while (!said.contains("started\n") && child.waitForReadyRead(30000)) {
            said += child.readAllStandardOutput();
        }
        ASSERT_TRUE(said.contains("started\n")) << said.toStdString();
        const QByteArray before = storeBytes();

        child.write("go\n");
        ASSERT_TRUE(child.waitForFinished(120000));
        said += child.readAllStandardOutput();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << killAt;
        EXPECT_FALSE(said.contains("finished")) << killAt;

        // The next connection rolls the dead transaction back: nothing of it remains.
        EXPECT_EQ(storeNames(), held) << killAt;
        EXPECT_EQ(storeBytes(), before) << killAt;
    }

    // The next import removes the killed one's plain-text leftovers and runs whole.
    auto page = makePage();
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("big.cfg")), 0); }), QString());
    EXPECT_EQ(storeNames().size(), kProfiles + held.size());
    EXPECT_EQ(workingFiles(), QStringList());
}

TEST_F(TransferKill, AClientThatQuitsInTheMiddleOfAnImportUndoesIt) {
    seedStore({{VPN_TYPE_IPSEC, "held_a"}, {VPN_TYPE_WIREGUARD, "held_b"}});
    const QStringList files = wireGuardFiles();
    // A file of WireGuard profiles, each of which gets its configuration file.
    makeStoreFile(QStringLiteral("wg.db"), {}, [](sqlite3* db) {
        const std::string sql =
            "BEGIN;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(kProfiles) +
            ") INSERT INTO ZRWIREGUARDVPN (ID, WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, InterPort, "
            "InterPriKey, InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs) SELECT x, '203.0.113.7', "
            "51820, 'hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=', '10.8.0.2', 24, 0, "
            "'yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=', 'xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=', "
            "'', '', 0, '' FROM n;"
            "INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) SELECT 'wg_' || ID, 4, ID FROM "
            "ZRWIREGUARDVPN;"
            "COMMIT;";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    });
    encipher(QStringLiteral("wg.db"), QStringLiteral("wg.cfg"));
    const QByteArray before = storeBytes();

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(IMPORT_CHILD),
                {QStringLiteral("wg.cfg"), QString::number(kProfiles / 3), QStringLiteral("quit")});
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray said;
    while (!said.contains("started\n") && child.waitForReadyRead(30000)) {
        said += child.readAllStandardOutput();
    }
    child.write("go\n");
    ASSERT_TRUE(child.waitForFinished(120000));
    said += child.readAllStandardOutput();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(said.contains("finished -1")) << said.toStdString();

    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(wireGuardFiles(), files);
    EXPECT_EQ(workingFiles(), QStringList());
}

} // namespace
