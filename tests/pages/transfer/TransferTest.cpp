#include "TransferTest.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <cstring>
#include <sqlite3.h>
#include <vector>

#include "AppContext.h"
#include "ConfigFileCipher.h"
#include "GuiTest.h"
#include "IPCSqlite.h"
#include "SystemContext.h"
#include "WireGuardContext.h"

namespace transfertest {

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

WireGuardVPNInfo wireGuardRow(int n) {
    WireGuardVPNInfo info;
    std::snprintf(info.WanIP, sizeof info.WanIP, "203.0.113.%d", n % 250);
    info.PeerPort = 51820 + n;
    std::strcpy(info.PeerPubKey, "hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");
    std::strcpy(info.IPAddr, "10.8.0.2");
    info.InterSubMask = 24;
    info.InterPort = n % 2 == 0 ? 0 : 51000 + n;
    std::strcpy(info.InterPriKey, "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
    std::strcpy(info.InterPubKey, "xTIBA5rboUvnH4htodjb6e697QjLERt1NAB4mZqp8Dg=");
    std::strcpy(info.DNS, n % 2 == 0 ? "" : "1.1.1.1");
    std::strcpy(info.PreShardKey, n % 2 == 0 ? "" : "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=");
    info.KeepaliveTime = n % 2 == 0 ? 0 : 25;
    std::strcpy(info.AllowdIPs, n % 2 == 0 ? "" : "10.0.0.0/8, 192.168.0.0/16");
    return info;
}

OpenVPNInfo openVPNRow(int n) {
    OpenVPNInfo info;
    std::snprintf(info.ServerIP, sizeof info.ServerIP, "vpn%d.example.org", n);
    info.ServerPort = 1194 + n;
    std::snprintf(info.ConfigFilePath, sizeof info.ConfigFilePath, "/home/user/client %d.ovpn", n);
    info.NeedPwd = 1;
    std::strcpy(info.UserName, "o'neil");
    std::strcpy(info.UserPwd, "pa55 'word'");
    info.RememberMe = 1;
    info.LocalIPType = 2;
    std::strcpy(info.LocalDns, "9.9.9.9");
    info.EnableFullTraffic = n % 2;
    std::strcpy(info.AllowdIPs, "10.1.0.0/16");
    info.VPNConfig = "client\ndev tun\nproto udp\nremote vpn.example.org " + std::to_string(1194 + n) +
                     "\n<ca>\n-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n</ca>\n";
    return info;
}

IPSecVPNInfo ipsecRow(int n) {
    IPSecVPNInfo info;
    info.SetVersion(2);
    info.SetPolicyName("office_" + std::to_string(n));
    info.SetLocalAddrs("");
    info.SetRemoteAddrs("198.51.100." + std::to_string(n % 250));
    info.SetTransportProtocol(1);
    info.SetProtocolType(n % 2 == 0 ? 2 : 1);
    info.SetEspProposals("aes256-sha256");
    info.SetAHProposals("sha256");
    info.SetPhaseOneProposals("sha256-aes256-modp2048");
    info.SetRemoteTrafficSelectors({"10.1.0.0/16", "10.2.0.0/16"});
    info.SetPSKSecret("pre-shared 'key'");
    info.SetEnableDPD(n % 2);
    info.SetDPDPeriod(30);
    return info;
}

// Adds the profiles with their kind rows to an open store.
void addProfiles(IPCSqlite& store, const std::vector<Source>& profiles, bool writeFiles) {
    int n = 0;
    for (const Source& source : profiles) {
        ++n;
        ProfileInfo profile;
        std::snprintf(profile.ProfileName, sizeof profile.ProfileName, "%s", source.name.c_str());
        profile.ProfileType = source.vpnType;
        switch (source.vpnType) {
        case VPN_TYPE_WIREGUARD: {
            WireGuardVPNInfo info = wireGuardRow(n);
            ASSERT_EQ(store.InsertWireGuardInfo(&info), 0);
            profile.ConfigID = info.ID;
            if (writeFiles) {
                WireGuardContext context;
                ASSERT_EQ(context.WriteWireGuardConfig(profile, &info), 0);
            }
            break;
        }
        case VPN_TYPE_SSLVPN:
        case VPN_TYPE_OPENVPN: {
            OpenVPNInfo info = openVPNRow(n);
            ASSERT_EQ(store.InsertOpenVPNConfig(&info), 0);
            profile.ConfigID = info.ID;
            break;
        }
        case VPN_TYPE_IPSEC: {
            IPSecVPNInfo info = ipsecRow(n);
            ASSERT_EQ(store.InsertIPSecProfile(&info), 0);
            profile.ConfigID = info.GetID();
            break;
        }
        default:
            profile.ConfigID = n;
            break;
        }
        ASSERT_EQ(store.InsertProfile(&profile), 0) << source.name;
    }
}

std::vector<std::pair<QString, QString>> rowsOf(sqlite3* db, const std::string& sql) {
    std::vector<std::pair<QString, QString>> rows;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList fields;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const char* name = sqlite3_column_name(statement, i);
            if (std::strcmp(name, "ID") == 0 || std::strcmp(name, "ProfileID") == 0 ||
                std::strcmp(name, "ConfigID") == 0) {
                continue;
            }
            const unsigned char* value = sqlite3_column_text(statement, i);
            fields << QStringLiteral("%1=%2").arg(
                QString::fromUtf8(name), value != nullptr
                                             ? QString::fromUtf8(reinterpret_cast<const char*>(value))
                                             : QStringLiteral("NULL"));
        }
        rows.emplace_back(fields.join(QLatin1Char('|')), QString());
    }
    sqlite3_finalize(statement);
    return rows;
}

} // namespace

void TransferTest::SetUp() {
    ASSERT_TRUE(guitest::startAppContext());
    exec("DELETE FROM PROFILE; DELETE FROM ZRWIREGUARDVPN; DELETE FROM OPENVPN; DELETE FROM ZRIPSECVPN;");
    app()->ClearProfileList();
    QDir(QStringLiteral("Config")).removeRecursively();
    guitest::applyColorMode(1);
    ProfileWidget::setImportRowHook(nullptr);
}

void TransferTest::TearDown() {
    ProfileWidget::setImportRowHook(nullptr);
}

std::unique_ptr<Page> TransferTest::makePage() {
    auto page = std::make_unique<Page>();
    page->resize(887, 602);
    EXPECT_TRUE(guitest::showAndExpose(page.get()));
    return page;
}

QByteArray TransferTest::makeStoreFile(const QString& path, const std::vector<Source>& profiles,
                                       const std::function<void(sqlite3*)>& edit) {
    QFile::remove(path);
    {
        IPCSqlite store;
        EXPECT_EQ(store.Init(QFile::encodeName(path).constData()), 0);
        addProfiles(store, profiles, false);
        EXPECT_EQ(store.DeInit(), 0);
    }
    if (edit) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        edit(db);
        sqlite3_close(db);
    }
    return readBytes(path);
}

void TransferTest::encipher(const QString& plain, const QString& target) {
    writeBytes(target, encipherBytes(readBytes(plain)));
}

QByteArray TransferTest::encipherBytes(const QByteArray& plain) {
    const QString source = QStringLiteral("cipher-source.bin");
    writeBytes(source, plain);
    ConfigFileCipher cipher;
    EXPECT_TRUE(cipher.EncryptFile(plain.size(), "cipher-source.bin"));
    const QByteArray enciphered = readBytes(QStringLiteral("Config/encrypted.cfg"));
    QFile::remove(QStringLiteral("Config/encrypted.cfg"));
    QFile::remove(source);
    return enciphered;
}

QByteArray TransferTest::readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TransferTest::writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString TransferTest::storePath() {
    return QString::fromLocal8Bit(app()->GetDataPath()) + QStringLiteral("vpn.db");
}

QByteArray TransferTest::storeBytes() {
    return readBytes(storePath());
}

void TransferTest::exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(storePath()).constData(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << sql << ": " << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QStringList TransferTest::storeDump() {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(storePath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    QStringList dump;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT ProfileName, ProfileType, ConfigID FROM PROFILE", -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        const int type = sqlite3_column_int(statement, 1);
        const int configID = sqlite3_column_int(statement, 2);
        const char* table = type == VPN_TYPE_IPSEC       ? "ZRIPSECVPN"
                            : type == VPN_TYPE_WIREGUARD ? "ZRWIREGUARDVPN"
                                                         : "OPENVPN";
        QString kindRow;
        for (const auto& row :
             rowsOf(db, std::string("SELECT * FROM ") + table + " WHERE ID = " + std::to_string(configID))) {
            kindRow += row.first;
        }
        dump << QStringLiteral("%1 [%2] %3").arg(name).arg(type).arg(kindRow);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    dump.sort();
    return dump;
}

QStringList TransferTest::storeNames() {
    std::vector<ProfileInfo> list;
    EXPECT_EQ(app()->GetSqlite()->GetProfileList(list), 0);
    QStringList names;
    for (const ProfileInfo& profile : list) {
        names << QString::fromUtf8(profile.ProfileName);
    }
    return names;
}

void TransferTest::seedStore(const std::vector<Source>& profiles) {
    addProfiles(*app()->GetSqlite(), profiles, true);
}

QStringList TransferTest::wireGuardFiles() {
    QStringList files;
    const QDir folder(QStringLiteral("Config/wireguard"));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        files << name + QStringLiteral(":\n") + QString::fromUtf8(readBytes(folder.filePath(name)));
    }
    return files;
}

QStringList TransferTest::workingFiles() {
    QStringList files;
    for (const QString& name : QDir(QStringLiteral("Config")).entryList(QDir::Files | QDir::Hidden)) {
        files << QStringLiteral("Config/") + name;
    }
    if (QFileInfo::exists(QString::fromLocal8Bit(app()->GetDataPath()) + QStringLiteral("tempvpn.db"))) {
        files << QStringLiteral("tempvpn.db");
    }
    return files;
}

QString TransferTest::errorDuring(const std::function<void()>& action) {
    QString message;
    guitest::closeModalsDuring(action, "ZRErrorDialog", [&message](QWidget* modal) {
        message = modal->findChild<QLabel*>(QStringLiteral("labelContent"))->text();
    });
    return message;
}

void TransferTest::answerFileDialog(const QString& path, DialogSeen* seen) {
    guitest::answerNextModal(
        [path, seen](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            if (seen != nullptr) {
                seen->caption = dialog->windowTitle();
                seen->filters = dialog->nameFilters();
                seen->save = dialog->acceptMode() == QFileDialog::AcceptSave;
                auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                seen->suggested = nameEdit != nullptr ? nameEdit->text() : QString();
            }
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            // Typed into the name field and confirmed, as a person does.
            dialog->selectFile(QFileInfo(path).absoluteFilePath());
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        },
        "QFileDialog");
}

} // namespace transfertest
