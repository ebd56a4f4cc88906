// The largest files an import takes: a file of more profiles than the reader takes is
// refused by the check, with a message that names the limit; a file of exactly as many is
// merged whole while the window goes on handling its events and shows the progress, and
// the page then lists the merged profiles from page 1.
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <sqlite3.h>
#include <string>

#include "AppContext.h"
#include "IPCSqliteReader.h"
#include "ImportProgressDialog.h"
#include "SystemContext.h"
#include "TransferTest.h"

using namespace transfertest;

namespace {

// A profile file of `count` profiles, one in four a WireGuard profile and the others
// OpenVPN profiles, each with its kind's row.
void writeLargeFile(const QString& target, int count) {
    TransferTest::makeStoreFile(QStringLiteral("large.db"), {}, [count](sqlite3* db) {
        const std::string n = std::to_string(count);
        const std::string sql =
            "BEGIN;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            n +
            ") INSERT INTO OPENVPN (ID, ServerIP, ServerPort, ConfigFilePath, NeedPwd, UserName, UserPwd, "
            "RememberMe, PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, EnableFullTraffic, "
            "AllowdIPs, VPNConfig) SELECT x, 'vpn' || x || '.example.org', 1194, '', 0, '', '', 0, 0, 0, '', "
            "'', '', 0, '', 'client' || char(10) || 'remote vpn' || x || '.example.org 1194' || char(10) "
            "FROM n WHERE x % 4 != 0;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            n +
            ") INSERT INTO ZRWIREGUARDVPN (ID, WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, InterPort, "
            "InterPriKey, InterPubKey, DNS, PreShardKey, KeepaliveTime, AllowdIPs) SELECT x, '203.0.113.7', "
            "51820, 'hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=', '10.8.0.2', 24, 0, "
            "'yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=', 'xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=', "
            "'', '', 25, '' FROM n WHERE x % 4 = 0;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            n +
            ") INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) SELECT 'site_' || x, "
            "CASE WHEN x % 4 = 0 THEN 4 ELSE 3 END, x FROM n;"
            "COMMIT;";
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
    });
    TransferTest::encipher(QStringLiteral("large.db"), target);
    QFile::remove(QStringLiteral("large.db"));
}

class TransferLarge : public TransferTest {};

TEST_F(TransferLarge, AFileOfMoreProfilesThanAnImportTakesIsRefusedNamingTheLimit) {
    seedStore({{VPN_TYPE_IPSEC, "kept"}});
    writeLargeFile(QStringLiteral("over.cfg"), static_cast<int>(kMaxImportedProfiles) + 1);
    const QByteArray before = storeBytes();
    auto page = makePage();
    int result = 0;
    const QString message = errorDuring([&] { result = page->importFromFile(QStringLiteral("over.cfg")); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(message,
              QStringLiteral("The file holds more than 50000 profiles, more than one import can take. "
                             "Nothing was imported."));
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(wireGuardFiles(), QStringList());
    EXPECT_EQ(workingFiles(), QStringList());
}

TEST_F(TransferLarge, TheLargestFileIsMergedWhileTheWindowShowsItsProgress) {
    const int count = static_cast<int>(kMaxImportedProfiles);
    writeLargeFile(QStringLiteral("largest.cfg"), count);
    auto page = makePage();

    // What the window shows while the import runs, seen from its own event loop.
    QStringList shown;
    int turns = 0;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        ++turns;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<ImportProgressDialog*>(top) != nullptr && top->isVisible()) {
                const QString text = top->findChild<QLabel*>(QStringLiteral("labelContent"))->text();
                if (shown.isEmpty() || shown.last() != text) {
                    shown << text;
                }
            }
        }
    });
    watch.start();
    int result = -1;
    EXPECT_EQ(errorDuring([&] { result = page->importFromFile(QStringLiteral("largest.cfg")); }), QString());
    watch.stop();
    EXPECT_EQ(result, 0);

    // The loop kept turning, and the dialog showed the reading, then the count rising.
    EXPECT_GT(turns, 2);
    const QString reading = QStringLiteral("Reading and checking the file...");
    const QString counted = QStringLiteral(" of 50000 profiles imported");
    int counts = 0;
    for (int i = 0; i < shown.size(); ++i) {
        if (shown[i].endsWith(counted)) {
            ++counts;
        } else {
            EXPECT_EQ(shown[i], reading);
            EXPECT_EQ(counts, 0) << "the reading after the count";
        }
    }
    EXPECT_GE(counts, 1) << shown.join(QLatin1Char('|')).toStdString();

    EXPECT_EQ(storeNames().size(), count);
    EXPECT_EQ(wireGuardFiles().size(), count / 4);
    EXPECT_EQ(workingFiles(), QStringList());
    auto* list = page->findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"));
    EXPECT_EQ(list->topLevelItemCount(), 7);
    EXPECT_EQ(SystemContext::Instance()->GetAppContext()->GetProfileList()->size(),
              static_cast<size_t>(count));
}

} // namespace
