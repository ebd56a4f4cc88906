// A table of damaged and hostile profile files, each refused with a message that says why,
// with the store, the WireGuard files and the page exactly as before and no deciphered
// copy left: files that are no export at all, exports cut short or with flipped bits,
// databases of another shape, names that would leave their folder or break a command
// line, texts too long for their records, values their records cannot hold, and profiles
// without their kind's row.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeWidget>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "TransferTest.h"

using namespace transfertest;

namespace {

enum class Refusal { NotProfileFile, BadName, BadProfile, Barred, Any };

struct Case {
    std::string name;
    QByteArray file; // as the user picks it: enciphered
    Refusal refusal;
    // The directive a Barred refusal names.
    std::string directive = std::string();
};

const std::vector<Source> kBase = {{VPN_TYPE_IPSEC, "ipsec_a"},
                                   {VPN_TYPE_SSLVPN, "ssl_b"},
                                   {VPN_TYPE_OPENVPN, "ovpn_c"},
                                   {VPN_TYPE_WIREGUARD, "wg_d"}};

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random.bounded(256));
    }
    return bytes;
}

// The base store changed by a statement, enciphered.
QByteArray edited(const std::string& sql) {
    static int n = 0;
    const QString path = QStringLiteral("case-%1.db").arg(++n);
    TransferTest::makeStoreFile(path, kBase, [&sql](sqlite3* db) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error != nullptr ? error : "");
        sqlite3_free(error);
    });
    const QByteArray file = TransferTest::encipherBytes(TransferTest::readBytes(path));
    QFile::remove(path);
    return file;
}

std::string quoted(const std::string& text) {
    char* value = sqlite3_mprintf("%Q", text.c_str());
    std::string result = value;
    sqlite3_free(value);
    return result;
}

std::vector<Case> hostileFiles() {
    std::vector<Case> cases;
    const QByteArray plain = TransferTest::makeStoreFile(QStringLiteral("base.db"), kBase);
    const QByteArray good = TransferTest::encipherBytes(plain);
    const int pageSize = (static_cast<unsigned char>(plain[16]) << 8) | static_cast<unsigned char>(plain[17]);
    const int pages = plain.size() / pageSize;

    // Files that are no export at all.
    cases.push_back({"an empty file", QByteArray(), Refusal::NotProfileFile});
    cases.push_back({"one byte", QByteArray("x"), Refusal::NotProfileFile});
    for (int size : {99, 100, 4096, 65536}) {
        cases.push_back(
            {"random bytes " + std::to_string(size), randomBytes(size, size), Refusal::NotProfileFile});
    }
    cases.push_back({"a text file", QByteArray("[Interface]\nPrivateKey = x\n"), Refusal::NotProfileFile});
    cases.push_back(
        {"a picture", QByteArray("\x89PNG\r\n\x1a\n", 8) + randomBytes(400, 7), Refusal::NotProfileFile});
    cases.push_back({"the store itself, not enciphered", plain, Refusal::NotProfileFile});
    cases.push_back(
        {"an export enciphered twice", TransferTest::encipherBytes(good), Refusal::NotProfileFile});
    cases.push_back({"a database not enciphered but with the export's name",
                     TransferTest::encipherBytes(randomBytes(8192, 3)), Refusal::NotProfileFile});

    // Exports cut short: inside the header, around every page boundary, at the end.
    std::vector<int> cuts = {1, 16, 50, 99, 100, 101, 512, 1000, 2048, pageSize - 1};
    for (int page = 1; page < pages; ++page) {
        for (int offset : {-1, 0, 1, 100}) {
            cuts.push_back(page * pageSize + offset);
        }
    }
    cuts.push_back(plain.size() - 1);
    for (int cut : cuts) {
        cases.push_back({"cut at " + std::to_string(cut), good.left(cut), Refusal::NotProfileFile});
    }

    // Flipped bits: in the header's fields, and in the type of every page of the tree.
    auto flipped = [&good](int offset, char mask) {
        QByteArray file = good;
        file[offset] = static_cast<char>(file[offset] ^ mask);
        return file;
    };
    for (int offset : {0, 5, 15, 16, 17, 18, 19, 20, 21, 22, 23}) {
        cases.push_back({"header byte " + std::to_string(offset) + " flipped", flipped(offset, 0x04),
                         Refusal::NotProfileFile});
    }
    for (int page = 1; page <= pages; ++page) {
        const int typeOffset = page == 1 ? 100 : (page - 1) * pageSize;
        for (char mask : {0x01, 0x02, 0x08, 0x20}) {
            cases.push_back({"page " + std::to_string(page) + " type flipped by " + std::to_string(mask),
                             flipped(typeOffset, mask), Refusal::Any});
        }
    }

    // Databases of another shape.
    const struct {
        const char* name;
        const char* sql;
    } shapes[] = {
        {"no PROFILE table", "DROP TABLE PROFILE"},
        {"PROFILE a view", "ALTER TABLE PROFILE RENAME TO P2; CREATE VIEW PROFILE AS SELECT * FROM P2"},
        {"PROFILE without ConfigID",
         "CREATE TABLE P2 (ProfileID INTEGER PRIMARY KEY, ProfileName TEXT, ProfileType INTEGER);"
         "INSERT INTO P2 SELECT ProfileID, ProfileName, ProfileType FROM PROFILE; DROP TABLE PROFILE;"
         "ALTER TABLE P2 RENAME TO PROFILE"},
        {"no ZRWIREGUARDVPN table", "DROP TABLE ZRWIREGUARDVPN"},
        {"no OPENVPN table", "DROP TABLE OPENVPN"},
        {"no ZRIPSECVPN table", "DROP TABLE ZRIPSECVPN"},
        {"OPENVPN without VPNConfig", "ALTER TABLE OPENVPN DROP COLUMN VPNConfig"},
        {"ZRIPSECVPN without PSKSecret", "ALTER TABLE ZRIPSECVPN DROP COLUMN PSKSecret"},
        {"only the settings table",
         "DROP TABLE PROFILE; DROP TABLE ZRWIREGUARDVPN; DROP TABLE OPENVPN; DROP TABLE ZRIPSECVPN"},
        {"no table at all",
         "DROP TABLE PROFILE; DROP TABLE ZRWIREGUARDVPN; DROP TABLE OPENVPN; DROP TABLE ZRIPSECVPN;"
         "DROP TABLE SETTINGINFO; PRAGMA user_version = 7"},
        {"a write-ahead log database", "PRAGMA journal_mode = WAL"},
    };
    for (const auto& shape : shapes) {
        cases.push_back({shape.name, edited(shape.sql), Refusal::NotProfileFile});
    }

    // Names that cannot stand as a profile, a file name or an argument.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"'../evil'", "ovpn_c"},
        {"'..'", "ovpn_c"},
        {"'a/b'", "ovpn_c"},
        {"'a\\b'", "ovpn_c"},
        {"'.hidden'", "ovpn_c"},
        {"'-flag'", "ovpn_c"},
        {"'na''me'", "ovpn_c"},
        {"'na\"me'", "ovpn_c"},
        {"'na`me'", "ovpn_c"},
        {"'a$b'", "ovpn_c"},
        {"'a;b'", "ipsec_a"},
        {"'a|b'", "ipsec_a"},
        {"'a&b'", "ssl_b"},
        {"'a*b'", "ssl_b"},
        {"'a' || char(10) || 'b'", "wg_d"},
        {"'a' || char(9) || 'b'", "wg_d"},
        {"'a' || char(13) || 'b'", "ovpn_c"},
        {"'a' || char(1) || 'b'", "ovpn_c"},
        {"'a' || char(127) || 'b'", "ovpn_c"},
        {"''", "ovpn_c"},
        {"'   '", "ipsec_a"},
        {"'" + std::string(129, 'x') + "'", "ovpn_c"},
        {"'" + std::string(33, 'w') + "'", "wg_d"},
        {"'中文名'", "ovpn_c"},
        {"'emoji 😀'", "ovpn_c"},
        {"CAST(X'61FF62' AS TEXT)", "ovpn_c"},
        {"CAST(X'610062' AS TEXT)", "ovpn_c"},
        {"X'6162'", "ovpn_c"},
        {"'a b' || char(0) || 'c'", "ovpn_c"},
        {"'../../etc/cron.d/x'", "wg_d"},
    };
    for (const auto& name : names) {
        cases.push_back({"name " + name.first + " for " + name.second,
                         edited("UPDATE PROFILE SET ProfileName = " + name.first + " WHERE ProfileName = '" +
                                name.second + "'"),
                         Refusal::BadName});
    }

    // Values their records cannot hold, or that would add lines to a configuration file.
    const struct {
        const char* table;
        const char* column;
        std::string value;
    } values[] = {
        {"ZRWIREGUARDVPN", "WanIP", quoted(std::string(128, '1'))},
        {"ZRWIREGUARDVPN", "PeerPubKey", quoted(std::string(200, 'k'))},
        {"ZRWIREGUARDVPN", "AllowdIPs", quoted(std::string(128, '0'))},
        {"ZRWIREGUARDVPN", "DNS",
         "'" +
             [] {
                 std::string text;
                 for (int i = 0; i < 64; ++i) {
                     text += "é";
                 }
                 return text;
             }() +
             "'"},
        {"OPENVPN", "ServerIP", quoted(std::string(128, 's'))},
        {"OPENVPN", "ConfigFilePath", quoted(std::string(512, 'p'))},
        {"OPENVPN", "UserName", quoted(std::string(128, 'u'))},
        {"OPENVPN", "UserPwd", quoted(std::string(128, 'w'))},
        {"OPENVPN", "LocalDns", quoted(std::string(128, 'd'))},
        {"ZRIPSECVPN", "PolicyName", quoted(std::string(4097, 'n'))},
        {"ZRIPSECVPN", "PSKSecret", quoted(std::string(5000, 'k'))},
        {"ZRIPSECVPN", "PhaseOneProposals", quoted("sha512-aes256-modp2048-extra-long")},
        {"ZRIPSECVPN", "PhaseOneProposals", quoted("sha256")},
        {"ZRWIREGUARDVPN", "PeerPubKey", "'k' || char(10) || 'PostUp = touch /tmp/owned'"},
        {"ZRWIREGUARDVPN", "WanIP", "'203.0.113.1' || char(13)"},
        {"OPENVPN", "UserName", "'u' || char(10) || 'x'"},
        {"OPENVPN", "UserPwd", "char(27) || '[2J'"},
        {"ZRIPSECVPN", "PSKSecret", "'a' || char(10) || 'b'"},
        {"ZRIPSECVPN", "RemoteAddrs", "'x' || char(9) || 'y'"},
        {"ZRWIREGUARDVPN", "PeerPort", "'abc'"},
        {"ZRWIREGUARDVPN", "InterPort", "99999999999"},
        {"ZRWIREGUARDVPN", "KeepaliveTime", "2.5"},
        {"OPENVPN", "ServerPort", "1.5"},
        {"ZRIPSECVPN", "Version", "3"},
        {"ZRIPSECVPN", "AuthMethod", "2"},
        {"ZRIPSECVPN", "ProtocolType", "0"},
        {"ZRIPSECVPN", "TransportProtocol", "7"},
        {"ZRWIREGUARDVPN", "InterPriKey", "X'00'"},
        {"OPENVPN", "VPNConfig", "CAST(X'410042' AS TEXT)"},
        {"OPENVPN", "VPNConfig", "CAST(X'41FE42' AS TEXT)"},
    };
    for (const auto& value : values) {
        cases.push_back(
            {std::string(value.table) + "." + value.column + " = " + value.value.substr(0, 40),
             edited(std::string("UPDATE ") + value.table + " SET " + value.column + " = " + value.value),
             Refusal::BadProfile});
    }

    // OpenVPN configurations that would make root read a file by its path, or serve: the
    // refusal names the directive.
    const struct {
        std::string config;
        const char* directive;
    } configs[] = {
        {"'client' || char(10) || 'auth-user-pass /root/secret'", "auth-user-pass"},
        {"'client' || char(10) || 'http-proxy 127.0.0.1 3128 /root/secret basic'", "http-proxy"},
        {"'<connection>' || char(10) || 'secret /root/key' || char(10) || '</connection>'", "secret"},
        {"'setenv opt ca /root/ca.crt'", "ca"},
        {"'dev-node /dev/sda'", "dev-node"},
        {"'mode server' || char(10) || 'client-config-dir /root'", "mode"},
    };
    for (const auto& config : configs) {
        cases.push_back({"OPENVPN.VPNConfig = " + config.config.substr(0, 40),
                         edited("UPDATE OPENVPN SET VPNConfig = " + config.config), Refusal::Barred,
                         config.directive});
    }

    // Numbers of PROFILE that are none, and profiles without their kind's row.
    const char* const broken[] = {
        "UPDATE PROFILE SET ProfileType = 'x' WHERE ProfileName = 'ovpn_c'",
        "UPDATE PROFILE SET ConfigID = 1.5 WHERE ProfileName = 'ovpn_c'",
        "UPDATE PROFILE SET ConfigID = 'one' WHERE ProfileName = 'wg_d'",
        "UPDATE PROFILE SET ProfileType = 99999999999 WHERE ProfileName = 'wg_d'",
        "DELETE FROM ZRWIREGUARDVPN",
        "DELETE FROM ZRIPSECVPN",
        "DELETE FROM OPENVPN WHERE ID = (SELECT ConfigID FROM PROFILE WHERE ProfileName = 'ssl_b')",
        "DELETE FROM OPENVPN WHERE ID = (SELECT ConfigID FROM PROFILE WHERE ProfileName = 'ovpn_c')",
        "UPDATE PROFILE SET ConfigID = 999 WHERE ProfileName = 'ipsec_a'",
        "UPDATE PROFILE SET ConfigID = -1 WHERE ProfileName = 'wg_d'",
    };
    for (const char* sql : broken) {
        cases.push_back({sql, edited(sql), Refusal::BadProfile});
    }
    return cases;
}

bool refusedAs(const QString& message, Refusal refusal, const std::string& directive) {
    const QString notProfile = QStringLiteral(
        "This file is not a profile file of Korva VPN, or it is damaged. Nothing was imported.");
    const QString badName = QStringLiteral("The file holds a profile whose name cannot be used: ");
    const QString badProfile = QStringLiteral("The file holds a damaged profile: ");
    switch (refusal) {
    case Refusal::NotProfileFile:
        return message == notProfile;
    case Refusal::BadName:
        return message.startsWith(badName) && message.endsWith(QStringLiteral(". Nothing was imported."));
    case Refusal::BadProfile:
        return message.startsWith(badProfile) && message.endsWith(QStringLiteral(". Nothing was imported."));
    case Refusal::Barred:
        return message.startsWith(QStringLiteral(
                   "The file holds a profile whose OpenVPN configuration would let OpenVPN read a file by "
                   "its path or act as a server with administrator rights: ")) &&
               message.endsWith(QStringLiteral(", the directive “%1”. Nothing was imported.")
                                    .arg(QString::fromStdString(directive)));
    case Refusal::Any:
    default:
        return message == notProfile || message.startsWith(badName) || message.startsWith(badProfile);
    }
}

class TransferHostile : public TransferTest {};

TEST_F(TransferHostile, EveryDamagedOrHostileFileIsRefusedWithTheStoreAsItWas) {
    seedStore({{VPN_TYPE_WIREGUARD, "wg_d"}, {VPN_TYPE_OPENVPN, "kept"}});
    auto page = makePage();
    auto* list = page->findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"));
    const int rows = list->topLevelItemCount();
    const QByteArray store = storeBytes();
    const QStringList files = wireGuardFiles();

    // The base file itself imports: every case below differs from it by its fault alone.
    const QByteArray good = encipherBytes(makeStoreFile(QStringLiteral("base.db"), kBase));
    writeBytes(QStringLiteral("good.cfg"), good);

    for (const Case& c : hostileFiles()) {
        writeBytes(QStringLiteral("case.cfg"), c.file);
        int result = 0;
        const QString message =
            errorDuring([&] { result = page->importFromFile(QStringLiteral("case.cfg")); });
        EXPECT_EQ(result, -1) << c.name;
        EXPECT_TRUE(refusedAs(message, c.refusal, c.directive)) << c.name << ": " << message.toStdString();
        ASSERT_EQ(storeBytes(), store) << c.name;
        EXPECT_EQ(wireGuardFiles(), files) << c.name;
        EXPECT_EQ(workingFiles(), QStringList()) << c.name;
        EXPECT_EQ(list->topLevelItemCount(), rows) << c.name;
    }

    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("good.cfg")), 0); }),
              QString());
    EXPECT_EQ(storeNames().size(), 6);
}

TEST_F(TransferHostile, AFileThatIsNoRegularFileIsRefusedAtOnce) {
    seedStore({{VPN_TYPE_WIREGUARD, "wg_d"}, {VPN_TYPE_OPENVPN, "kept"}});
    writeBytes(QStringLiteral("good.cfg"), encipherBytes(makeStoreFile(QStringLiteral("base.db"), kBase)));
    // A pipe that nothing writes to (reading it would wait for ever), a link to a good
    // export, a folder, a socket and a device.
    ASSERT_EQ(mkfifo("pipe.cfg", 0600), 0);
    ASSERT_EQ(symlink("good.cfg", "link.cfg"), 0);
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("folder.cfg")));
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "socket.cfg");
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    auto page = makePage();
    const QByteArray store = storeBytes();
    const QStringList files = wireGuardFiles();
    const QString refused =
        QStringLiteral("This is not an ordinary file (it may be a folder, a pipe, a device or a "
                       "link), so it cannot be imported. Nothing was imported.");
    for (const char* path : {"pipe.cfg", "link.cfg", "folder.cfg", "socket.cfg", "/dev/null"}) {
        int result = 0;
        EXPECT_EQ(errorDuring([&] { result = page->importFromFile(QString::fromLatin1(path)); }), refused)
            << path;
        EXPECT_EQ(result, -1) << path;
        EXPECT_EQ(storeBytes(), store) << path;
        EXPECT_EQ(wireGuardFiles(), files) << path;
        EXPECT_EQ(workingFiles(), QStringList()) << path;
    }
    // The pipe picked in the Import button's own file dialog.
    answerFileDialog(QStringLiteral("pipe.cfg"));
    EXPECT_EQ(errorDuring([&] {
                  QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("btnImport")),
                                    Qt::LeftButton);
              }),
              refused);
    EXPECT_EQ(storeBytes(), store);
    close(listener);
    // The file the link names imports.
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("good.cfg")), 0); }),
              QString());
}

TEST_F(TransferHostile, AMessageShowsAHostileNameHarmlessly) {
    writeBytes(QStringLiteral("case.cfg"), edited("UPDATE PROFILE SET ProfileName = 'line' || char(10) || '" +
                                                  std::string(100, 'x') + "' WHERE ProfileName = 'ovpn_c'"));
    auto page = makePage();
    const QString message = errorDuring([&] { page->importFromFile(QStringLiteral("case.cfg")); });
    EXPECT_TRUE(message.startsWith(
        QStringLiteral("The file holds a profile whose name cannot be used: line\uFFFDxxx")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QChar(0x2026)));
    EXPECT_FALSE(message.contains(QLatin1Char('\n')));
}

TEST_F(TransferHostile, AStoreThatFailsInTheMiddleUndoesTheWholeMerge) {
    seedStore({{VPN_TYPE_IPSEC, "held"}});
    // A file of ten WireGuard profiles; the store refuses the seventh's kind row.
    std::vector<Source> profiles;
    for (int i = 0; i < 10; ++i) {
        profiles.push_back({VPN_TYPE_WIREGUARD, "wg_" + std::to_string(i)});
    }
    writeBytes(QStringLiteral("ten.cfg"), encipherBytes(makeStoreFile(QStringLiteral("ten.db"), profiles)));
    // A file left by an earlier profile of one of the names: put back as it was.
    QDir().mkpath(QStringLiteral("Config/wireguard"));
    writeBytes(QStringLiteral("Config/wireguard/wg_9.conf"), "an older file");
    const QByteArray store = storeBytes();
    const QStringList files = wireGuardFiles();
    exec("CREATE TRIGGER refuse_seventh BEFORE INSERT ON ZRWIREGUARDVPN WHEN "
         "(SELECT COUNT(*) FROM ZRWIREGUARDVPN) >= 6 BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const QByteArray withTrigger = storeBytes();

    auto page = makePage();
    int merged = 0;
    ProfileWidget::setImportRowHook([&merged](int count) { merged = count; });
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(QStringLiteral("ten.cfg")), -1); }),
              QStringLiteral("The profiles could not be imported. Nothing was changed."));
    EXPECT_EQ(merged, 6);
    EXPECT_EQ(storeBytes(), withTrigger);
    EXPECT_EQ(wireGuardFiles(), files);
    EXPECT_EQ(workingFiles(), QStringList());
    exec("DROP TRIGGER refuse_seventh");
    (void)store;
}

} // namespace
