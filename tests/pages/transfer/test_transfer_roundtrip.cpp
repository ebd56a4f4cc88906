// Export and import through the Profiles page's buttons and file dialogs: the whole store
// into one enciphered file and back into another store with the same profiles and files;
// names made unique; the working files gone on every way out.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstring>
#include <sqlite3.h>

#include "IPCSqlite.h"

#include "AppContext.h"
#include "ConfigFileCipher.h"
#include "SystemContext.h"
#include "TransferTest.h"

using namespace transfertest;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

void click(Page& page, const char* button) {
    QTest::mouseClick(page.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

QStringList rowNames(Page& page) {
    QStringList names;
    auto* list = page.findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        names << list->topLevelItem(i)->data(1, 102).toString();
    }
    return names;
}

// Moves the application context to a store in another data folder and back.
class OtherStore {
public:
    OtherStore() {
        original = QString::fromLocal8Bit(app()->GetDataPath());
        EXPECT_EQ(app()->Stop(), 0);
        EXPECT_EQ(app()->SetDataPath(QFile::encodeName(folder.path() + QLatin1Char('/')).constData()), 0);
        EXPECT_EQ(app()->Start(), 0);
    }
    ~OtherStore() {
        app()->Stop();
        app()->SetDataPath(QFile::encodeName(original).constData());
        app()->Start();
    }

private:
    QTemporaryDir folder;
    QString original;
};

class Transfer : public TransferTest {};

TEST_F(Transfer, ExportThenImportIntoAnotherStoreGivesTheSameProfilesAndFiles) {
    seedStore({{VPN_TYPE_WIREGUARD, "wg_home"},
               {VPN_TYPE_IPSEC, "Office Berlin"},
               {VPN_TYPE_SSLVPN, "ssl_branch"},
               {VPN_TYPE_OPENVPN, "ovpn_lab"},
               {VPN_TYPE_WIREGUARD, "wg_road"},
               {VPN_TYPE_IPSEC, "ipsec_ah"}});
    const QStringList profiles = storeDump();
    const QStringList files = wireGuardFiles();
    ASSERT_EQ(profiles.size(), 6);
    ASSERT_EQ(files.size(), 2);
    const QString exported = QDir::current().filePath(QStringLiteral("profiles.cfg"));

    {
        auto page = makePage();
        DialogSeen seen;
        answerFileDialog(exported, &seen);
        EXPECT_EQ(errorDuring([&] { click(*page, "btnExport"); }), QString());
        EXPECT_TRUE(seen.save);
        EXPECT_EQ(seen.caption, QStringLiteral("save file"));
        EXPECT_EQ(seen.filters, QStringList{QStringLiteral("*.cfg")});
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^KorvaVPN_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$"))
                        .match(seen.suggested)
                        .hasMatch())
            << seen.suggested.toStdString();
    }
    // The file is the store enciphered byte for byte, private to the user.
    ASSERT_TRUE(QFileInfo::exists(exported));
    EXPECT_EQ(QFileInfo(exported).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_EQ(encipherBytes(readBytes(exported)), storeBytes());
    EXPECT_EQ(workingFiles(), QStringList());

    QDir(QStringLiteral("Config")).removeRecursively();
    {
        OtherStore other;
        ASSERT_EQ(storeDump(), QStringList());
        auto page = makePage();
        DialogSeen seen;
        answerFileDialog(exported, &seen);
        EXPECT_EQ(errorDuring([&] { click(*page, "btnImport"); }), QString());
        EXPECT_FALSE(seen.save);
        EXPECT_EQ(seen.caption, QStringLiteral("Select Profile"));
        EXPECT_EQ(seen.filters, QStringList{QStringLiteral("*.cfg")});

        EXPECT_EQ(storeDump(), profiles);
        EXPECT_EQ(wireGuardFiles(), files);
        EXPECT_EQ(workingFiles(), QStringList());
        // The page shows the merged profiles from page 1, and so does the context's list.
        EXPECT_EQ(rowNames(*page).size(), 6);
        EXPECT_EQ(app()->GetProfileList()->size(), 6u);
    }
}

TEST_F(Transfer, ImportingTheStoresOwnExportAddsNumberedCopies) {
    seedStore({{VPN_TYPE_WIREGUARD, "A"}, {VPN_TYPE_OPENVPN, "B"}});
    auto page = makePage();
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->exportToFile(QStringLiteral("own.cfg")), 0); }), QString());
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("own.cfg")), 0); }), QString());
    // B is the newer: it is merged first.
    EXPECT_EQ(storeNames(), (QStringList{QStringLiteral("A_1"), QStringLiteral("B_1"), QStringLiteral("B"),
                                         QStringLiteral("A")}));
    EXPECT_EQ(rowNames(*page), storeNames());
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("Config/wireguard/A_1.conf")));
    EXPECT_EQ(readBytes(QStringLiteral("Config/wireguard/A_1.conf")),
              readBytes(QStringLiteral("Config/wireguard/A.conf")));
}

TEST_F(Transfer, NamesAreMadeUniqueOnTheImportedName) {
    struct Case {
        std::vector<Source> held;
        std::vector<Source> imported; // oldest first
        QStringList after;            // newest first
    } cases[] = {
        {{{VPN_TYPE_IPSEC, "A"}}, {{VPN_TYPE_IPSEC, "A"}}, {"A_1", "A"}},
        {{{VPN_TYPE_IPSEC, "A"}, {VPN_TYPE_IPSEC, "A_1"}}, {{VPN_TYPE_OPENVPN, "A"}}, {"A_2", "A_1", "A"}},
        // Two of a name in the file: the first keeps it, the second is numbered.
        {{}, {{VPN_TYPE_WIREGUARD, "A"}, {VPN_TYPE_SSLVPN, "A"}}, {"A_1", "A"}},
        // The comparison is exact.
        {{{VPN_TYPE_IPSEC, "a"}}, {{VPN_TYPE_IPSEC, "A"}}, {"A", "a"}},
        // Every candidate builds on the imported name: A_1_1 never comes.
        {{{VPN_TYPE_IPSEC, "A"}, {VPN_TYPE_IPSEC, "A_1"}, {VPN_TYPE_IPSEC, "A_2"}},
         {{VPN_TYPE_IPSEC, "A"}, {VPN_TYPE_IPSEC, "A_1"}},
         {"A_3", "A_1_1", "A_2", "A_1", "A"}},
    };
    for (const Case& c : cases) {
        SetUp();
        seedStore(c.held);
        // A file whose PROFILE table lets a name stand twice.
        makeStoreFile(QStringLiteral("names.db"), {}, [&c](sqlite3* db) {
            sqlite3_exec(
                db,
                "DROP TABLE PROFILE; CREATE TABLE PROFILE (ProfileID INTEGER PRIMARY KEY AUTOINCREMENT, "
                "ProfileName TEXT NOT NULL, ProfileType INTEGER NOT NULL, ConfigID INTEGER NOT NULL)",
                nullptr, nullptr, nullptr);
        });
        {
            IPCSqlite source;
            ASSERT_EQ(source.Init("names.db"), 0);
            for (const Source& profile : c.imported) {
                // A WireGuard row whose values its configuration file takes.
                WireGuardVPNInfo wireguard;
                std::strcpy(wireguard.WanIP, "203.0.113.9");
                wireguard.PeerPort = 51820;
                std::strcpy(wireguard.PeerPubKey, "hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");
                std::strcpy(wireguard.IPAddr, "10.8.0.2");
                wireguard.InterSubMask = 24;
                ASSERT_EQ(source.InsertWireGuardInfo(&wireguard), 0);
                OpenVPNInfo openvpn;
                ASSERT_EQ(source.InsertOpenVPNConfig(&openvpn), 0);
                IPSecVPNInfo ipsec;
                ASSERT_EQ(source.InsertIPSecProfile(&ipsec), 0);
                const int configID = profile.vpnType == VPN_TYPE_WIREGUARD ? wireguard.ID
                                     : profile.vpnType == VPN_TYPE_IPSEC   ? ipsec.GetID()
                                                                           : openvpn.ID;
                char* sql = sqlite3_mprintf("INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) "
                                            "VALUES ('%q', %d, %d)",
                                            profile.name.c_str(), profile.vpnType, configID);
                ASSERT_EQ(source.ExecQuery(nullptr, sql, nullptr), 0);
                sqlite3_free(sql);
            }
            ASSERT_EQ(source.DeInit(), 0);
        }
        encipher(QStringLiteral("names.db"), QStringLiteral("names.cfg"));
        auto page = makePage();
        EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("names.cfg")), 0); }),
                  QString());
        EXPECT_EQ(storeNames(), c.after);
        TearDown();
    }
}

TEST_F(Transfer, AnImportedWireGuardProfileGetsItsFileWithTheLinesItsRowAsksFor) {
    makeStoreFile(QStringLiteral("wg.db"), {{VPN_TYPE_WIREGUARD, "wg_bare"}}, [](sqlite3* db) {
        sqlite3_exec(db,
                     "UPDATE ZRWIREGUARDVPN SET InterPort = 0, KeepaliveTime = 0, AllowdIPs = '', DNS = '', "
                     "PreShardKey = '', InterPriKey = ''",
                     nullptr, nullptr, nullptr);
    });
    encipher(QStringLiteral("wg.db"), QStringLiteral("wg.cfg"));
    auto page = makePage();
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("wg.cfg")), 0); }), QString());
    const QString text = QString::fromUtf8(readBytes(QStringLiteral("Config/wireguard/wg_bare.conf")));
    EXPECT_EQ(text, QStringLiteral("[Interface]\nAddress = 10.8.0.2/24\n\n[Peer]\n"
                                   "PublicKey = hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=\n"
                                   "Endpoint = 203.0.113.1:51821\nAllowedIPs = 0.0.0.0/0\n"));
    EXPECT_EQ(QFileInfo(QStringLiteral("Config/wireguard/wg_bare.conf")).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther),
              0);
}

TEST_F(Transfer, ProfilesOfAnUnknownKindAreSkipped) {
    makeStoreFile(QStringLiteral("kinds.db"), {{VPN_TYPE_OPENVPN, "known"}, {7, "future_kind"}, {0, "none"}});
    encipher(QStringLiteral("kinds.db"), QStringLiteral("kinds.cfg"));
    auto page = makePage();
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("kinds.cfg")), 0); }),
              QString());
    EXPECT_EQ(storeNames(), QStringList{QStringLiteral("known")});
}

TEST_F(Transfer, AnEmptyStoreExportsAndImportsNothing) {
    auto page = makePage();
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->exportToFile(QStringLiteral("empty.cfg")), 0); }), QString());
    ASSERT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("empty.cfg")), 0); }),
              QString());
    EXPECT_EQ(storeNames(), QStringList());
    EXPECT_EQ(workingFiles(), QStringList());
}

TEST_F(Transfer, CancelledDialogsLeaveNothingBehind) {
    seedStore({{VPN_TYPE_IPSEC, "kept"}});
    auto page = makePage();
    const QByteArray before = storeBytes();
    const QStringList files = QDir::current().entryList(QDir::Files);
    answerFileDialog(QString());
    EXPECT_EQ(errorDuring([&] { click(*page, "btnExport"); }), QString());
    answerFileDialog(QString());
    EXPECT_EQ(errorDuring([&] { click(*page, "btnImport"); }), QString());
    EXPECT_EQ(workingFiles(), QStringList());
    EXPECT_EQ(QDir::current().entryList(QDir::Files), files);
    EXPECT_EQ(storeBytes(), before);
}

TEST_F(Transfer, ANameTypedWithoutSuffixGetsOne) {
    seedStore({{VPN_TYPE_IPSEC, "kept"}});
    auto page = makePage();
    answerFileDialog(QDir::current().filePath(QStringLiteral("plain")));
    EXPECT_EQ(errorDuring([&] { click(*page, "btnExport"); }), QString());
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("plain.cfg")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("plain")));
}

TEST_F(Transfer, AnExportThatCannotBeWrittenSaysSoAndLeavesNoWorkingFile) {
    seedStore({{VPN_TYPE_IPSEC, "kept"}});
    auto page = makePage();
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->exportToFile(QStringLiteral("no/such/folder/x.cfg")), -1); }),
              QStringLiteral("The profiles could not be exported."));
    EXPECT_EQ(workingFiles(), QStringList());
}

TEST_F(Transfer, LeftoversOfAnEarlierImportGoBeforeTheNextOneReadsAnything) {
    auto page = makePage();
    QDir().mkpath(QStringLiteral("Config"));
    writeBytes(QStringLiteral("Config/decrypted.db"), "plain secrets");
    writeBytes(QStringLiteral("Config/decrypted.cfg"), "plain secrets");
    writeBytes(QStringLiteral("Config/decrypted.cfg.Ab12Cd"), "plain secrets");
    EXPECT_EQ(errorDuring([&] { page->importFromFile(QStringLiteral("missing.cfg")); }),
              QStringLiteral(
                  "This file is not a profile file of Korva VPN, or it is damaged. Nothing was imported."));
    EXPECT_EQ(workingFiles(), QStringList());
}

} // namespace
