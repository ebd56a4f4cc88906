// The saves' window tests: the real editor on a store started in the test's own folders,
// driven through its widgets, and what a save leaves behind (the rows of every table and
// the files under ./Config) read back for comparison.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QTextStream>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "AdapterTestSupport.h"
#include "AppContext.h"
#include "EditorTestSupport.h"
#include "NetworkAdapters.h"
#include "SystemContext.h"
#include "ZRToastDialog.h"

namespace savestest {

using editortest::chooseKind;
using editortest::click;
using editortest::typeAddress;
using editortest::typeInto;
using editortest::typeText;

inline AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

// The local address the IPsec page offers.
constexpr const char* kLocalAddress = "192.0.2.10";

// The tests' adapters: a TAP adapter (so that no adapter script runs) and one local
// address for the IPsec page.
inline std::vector<NetworkAdapter> testAdapters() {
    const NetworkAdapter tap = guitest::tapAdapter();
    NetworkAdapter lan;
    lan.name = "eth0";
    lan.description = "eth0";
    lan.ip = kLocalAddress;
    lan.mask = "255.255.255.0";
    return std::vector<NetworkAdapter>{tap, lan};
}

// The application context started once for the binary; the IPsec page then finds the
// tests' adapters.
class StoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        SetNetworkAdapterSource(testAdapters);
    }
    void TearDown() override {
        app()->Stop();
        SetNetworkAdapterSource(nullptr);
    }
};

// The editor with its form and state open to the tests; its saves are the real ones.
class SaveEditor : public editortest::OpenEditor {
public:
    SaveEditor(bool edit, const QString& name, int profileID, int configID, int kind,
               QWidget* parent = nullptr)
        : OpenEditor(edit, name, profileID, configID, kind, parent) {}
};

// A new profile's editor, shown.
inline std::unique_ptr<SaveEditor> openNew() {
    auto editor = std::make_unique<SaveEditor>(false, QString(), 0, 0, 0);
    EXPECT_TRUE(guitest::showAndExpose(editor.get()));
    QApplication::setActiveWindow(editor.get());
    return editor;
}

// The stored profile of that name.
inline ProfileInfo storedProfile(const QString& name) {
    std::vector<ProfileInfo> list;
    app()->GetSqlite()->GetProfileList(list);
    for (const ProfileInfo& profile : list) {
        if (QString::fromUtf8(profile.ProfileName) == name) {
            return profile;
        }
    }
    return ProfileInfo();
}

// The editor of a stored profile, as a row's edit action opens it, shown.
inline std::unique_ptr<SaveEditor> openStored(const QString& name) {
    const ProfileInfo profile = storedProfile(name);
    EXPECT_NE(profile.ProfileID, 0) << name.toStdString();
    auto editor =
        std::make_unique<SaveEditor>(true, name, profile.ProfileID, profile.ConfigID, profile.ProfileType);
    EXPECT_TRUE(guitest::showAndExpose(editor.get()));
    QApplication::setActiveWindow(editor.get());
    return editor;
}

// Presses Confirm; true when the editor stored the profile and closed.
inline bool confirm(SaveEditor& editor) {
    click(editor.form().btnConfirm);
    return !editor.isVisible();
}

inline std::string databasePath() {
    return std::string(app()->GetDataPath()) + "vpn.db";
}

// Runs statements on the database through a connection of the test's own.
inline void execSql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath().c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "") << " in " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
}

// The first column of the first row, "NULL" for a null value, "<no row>" for none.
inline std::string column(const std::string& sql) {
    sqlite3* db = nullptr;
    std::string value = "<no row>";
    if (sqlite3_open(databasePath().c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(statement, 0);
            value = text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return value;
}

// Every row of the profile tables, every column, as text.
inline std::string allRows() {
    std::string rows;
    sqlite3* db = nullptr;
    if (sqlite3_open(databasePath().c_str(), &db) != SQLITE_OK) {
        return "<no database>";
    }
    for (const char* table : {"PROFILE", "ZRIPSECVPN", "OPENVPN", "ZRWIREGUARDVPN", "sqlite_sequence"}) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY 1";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            continue;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            rows += table;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const unsigned char* text = sqlite3_column_text(statement, i);
                rows += std::string("|") + (text != nullptr ? reinterpret_cast<const char*>(text) : "NULL");
            }
            rows += "\n";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return rows;
}

// The files under ./Config, by path, with their bytes.
inline std::map<std::string, QByteArray> configFiles() {
    std::map<std::string, QByteArray> files;
    QDirIterator it(QStringLiteral("Config"), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files[path.toStdString()] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return files;
}

// What a save leaves behind: the rows and the files.
struct Snapshot {
    std::string rows;
    std::map<std::string, QByteArray> files;
    bool operator==(const Snapshot& other) const { return rows == other.rows && files == other.files; }
};

inline Snapshot snapshot() {
    return {allRows(), configFiles()};
}

inline void PrintTo(const Snapshot& snapshot, std::ostream* out) {
    *out << snapshot.rows;
    for (const auto& file : snapshot.files) {
        *out << "== " << file.first << "\n" << file.second.toStdString();
    }
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content), content.size());
}

inline QByteArray golden(const char* name) {
    return readFile(QStringLiteral(KORVA_SOURCE_DIR "/tests/editor/saves/golden/") + QLatin1String(name));
}

// Imports a file through the editor's import button and its file dialog; the text of the
// refusal the editor shows (closed at once), empty when the editor shows none.
inline QString importFile(SaveEditor& editor, const QString& path) {
    guitest::answerNextModal(
        [path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Profile"));
            EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("*.ovpn")});
            dialog->selectFile(QFileInfo(path).absoluteFilePath());
            static_cast<QDialog*>(dialog)->accept(); // the Open button's check and answer
        },
        "QFileDialog");
    QString refusal;
    guitest::closeModalsDuring(
        [&editor] { click(editor.form().btnOpenVPNImport); }, "ZRErrorDialog",
        [&refusal](QWidget* modal) { refusal = guitest::childText(modal, "labelContent"); });
    return refusal;
}

// The text the save-failure toast shows, empty when none shows.
inline QString toastText() {
    ZRToastDialog* toast = ZRToastDialog::instance();
    if (!toast->isVisible()) {
        return QString();
    }
    for (QLabel* label : toast->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            return label->text();
        }
    }
    return QString();
}

// Empties ./bin: a link to the bundle goes as a link (never what it points at), a folder
// of test doubles with its content.
inline void clearBin() {
    const QFileInfo bin(QStringLiteral("bin"));
    if (bin.isSymLink()) {
        QFile::remove(QStringLiteral("bin"));
    } else if (bin.isDir()) {
        QDir(QStringLiteral("bin")).removeRecursively();
    }
}

// The client's program bundle (the scripts that run Debian's programs) under ./bin.
inline bool linkBundle() {
    clearBin();
    return symlink(KORVA_APP_DIR "/bin", "bin") == 0;
}

// Sets a radio button or toggle to a state by clicking it when it is not in that state.
inline void setToggle(QAbstractButton* toggle, bool on) {
    if (toggle->isChecked() != on) {
        click(toggle);
    }
}

} // namespace savestest

namespace savestest {

// The widgets of the SSL VPN (2) or OpenVPN (3) page.
struct OpenVPNWidgets {
    QWidget* credentials;
    QLineEdit* userName;
    QLineEdit* password;
    QWidget* passwordFrame;
    QRadioButton* rememberMe;
    QRadioButton* prompt;
    QRadioButton* autoDns;
    QRadioButton* manualDns;
    ZRInputIpLineEdit* dns;
    ZRInputIpLineEdit* wins;
    QRadioButton* fullTraffic;
    QWidget* rows;
    QPushButton* addRow;
};

inline OpenVPNWidgets openVPNWidgets(SaveEditor& editor, int kind) {
    Ui::ProfileConfigDialog& u = editor.form();
    if (kind == 2) {
        return {u.sslVpnInfoWidget,   u.lineEditSSLUserName, u.lineEditSSLPassword, u.widgetSSLPassword,
                u.btnSSLRememberPass, u.btnSSLPrompt,        u.btnSSLAutoIP,        u.btnSSLManuIP,
                u.lineEditSSLDNSAddr, u.lineEditSSLWinSer,   u.btnSSLFullTraffic,   u.sslGatewayWidget,
                u.btnSSLAddGateway};
    }
    return {u.openVpnInfoWidget,   u.lineEditUserName,   u.lineEditPassword,   u.widgetPassword,
            u.btnOpenRememberPass, u.btnOpenPrompt,      u.btnOpenAutoIP,      u.btnOpenManuIP,
            u.lineEditOpenDNSAddr, u.lineEditOpenWinSer, u.btnOpenFullTraffic, u.gatewayWidget,
            u.btnAddGateway};
}

// Fills the remote-subnet rows of a page as a person does: full traffic off (which adds
// the first row), the add button for each further row, the address and mask typed.
inline void fillRows(SaveEditor& editor, QRadioButton* fullTraffic, QPushButton* addRow, QWidget* rows,
                     const QStringList& subnets) {
    if (fullTraffic != nullptr) {
        setToggle(fullTraffic, false);
    }
    for (int i = 0; i < subnets.size(); ++i) {
        if (editor.rowAddresses(rows).size() <= i) {
            click(addRow);
        }
        const QStringList parts = subnets.at(i).split(QLatin1Char('/'));
        typeAddress(editor.rowAddresses(rows).at(i), parts.at(0));
        typeInto(editor.rowMasks(rows).at(i), parts.at(1));
    }
}

// What a test fills into an SSL VPN or OpenVPN page; empty texts are left alone.
struct OpenVPNForm {
    QString name;
    QString source;
    QString server;
    QString port;
    QString userName;
    QString password;
    bool rememberMe = true;
    bool prompt = false;
    QString dns; // set by hand when not empty
    QString wins;
    QStringList subnets; // full traffic when empty
};

// Picks the kind (adding), imports the file and fills the page.
inline void fillOpenVPN(SaveEditor& editor, int kind, const OpenVPNForm& form) {
    Ui::ProfileConfigDialog& u = editor.form();
    if (u.comboBoxVPNType->currentIndex() != kind - 1) {
        chooseKind(u.comboBoxVPNType, kind - 1);
    }
    if (!form.name.isEmpty()) {
        typeInto(u.lineEditProfileName, form.name);
    }
    if (!form.source.isEmpty()) {
        EXPECT_EQ(importFile(editor, form.source), QString()) << form.source.toStdString();
    }
    if (!form.server.isEmpty()) {
        typeAddress(u.lineEditEndpoint, form.server);
    }
    if (!form.port.isEmpty()) {
        typeInto(u.lineEditPeerPort, form.port);
    }
    const OpenVPNWidgets page = openVPNWidgets(editor, kind);
    if (!page.credentials->isHidden()) {
        setToggle(page.rememberMe, form.rememberMe);
        setToggle(page.prompt, form.prompt);
        if (!form.userName.isEmpty()) {
            typeInto(page.userName, form.userName);
        }
        if (!form.password.isEmpty()) {
            typeInto(page.password, form.password);
        }
    }
    if (!form.dns.isEmpty()) {
        click(page.manualDns);
        typeAddress(page.dns, form.dns);
    }
    if (!form.wins.isEmpty()) {
        typeAddress(page.wins, form.wins);
    }
    if (!form.subnets.isEmpty()) {
        fillRows(editor, page.fullTraffic, page.addRow, page.rows, form.subnets);
    }
}

// A WireGuard key pair of the client (the public key is the one `wg pubkey` derives from
// the private key) and the peer's public key.
const QString kPrivateKey = QStringLiteral("yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
const QString kPublicKey = QStringLiteral("HIgo9xNzJMWLKASShiTqIybxZ0U3wGLiUeJ1PKf8ykw=");
const QString kPeerKey = QStringLiteral("hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");

// What a test fills into the WireGuard page; empty texts are left alone.
struct WireGuardForm {
    QString name;
    QString endpoint;
    QString peerPort;
    QString peerKey;
    QString address;
    QString mask;
    QString listenPort;
    QString privateKey; // typed; the public key comes from the key tool
    QString publicKey;  // typed after the private key when not empty
    QString dns;
    QString presharedKey;
    QString keepAlive;
    QStringList subnets;
};

// The fields every WireGuard save needs: the peer's address, port and key, the client's
// address with its mask, and the private key.
inline WireGuardForm requiredWireGuardForm(const QString& name,
                                           const QString& peerPort = QStringLiteral("51821")) {
    WireGuardForm form;
    form.name = name;
    form.endpoint = QStringLiteral("198.51.100.20");
    form.peerPort = peerPort;
    form.peerKey = kPeerKey;
    form.address = QStringLiteral("10.8.0.2");
    form.mask = QStringLiteral("24");
    form.privateKey = kPrivateKey;
    return form;
}

inline void fillWireGuard(SaveEditor& editor, const WireGuardForm& form) {
    Ui::ProfileConfigDialog& u = editor.form();
    if (u.comboBoxVPNType->currentIndex() != 3) {
        chooseKind(u.comboBoxVPNType, 3);
    }
    const auto type = [](QLineEdit* field, const QString& text) {
        if (!text.isEmpty()) {
            typeInto(field, text);
        }
    };
    type(u.lineEditProfileName, form.name);
    if (!form.endpoint.isEmpty()) {
        typeAddress(u.lineEditEndpoint, form.endpoint);
    }
    type(u.lineEditPeerPort, form.peerPort);
    type(u.lineEditPubKey, form.peerKey);
    if (!form.address.isEmpty()) {
        typeAddress(u.lineEditInterAddr, form.address);
    }
    type(u.lineEditSubMask, form.mask);
    type(u.lineEditWireGuardInterPort, form.listenPort);
    type(u.lineEditWireGuardPriKey, form.privateKey);
    type(u.lineEditWireGuardPubKey, form.publicKey);
    if (!form.dns.isEmpty()) {
        typeAddress(u.lineEditWireGuardDNS, form.dns);
    }
    type(u.lineEditWireGuardShardKey, form.presharedKey);
    type(u.lineEditWireGuardKeepAlive, form.keepAlive);
    if (!form.subnets.isEmpty()) {
        fillRows(editor, u.btnWireGuardFullTraffic, u.btnWireGuardAddGateway, u.wireguardGatewayWidget,
                 form.subnets);
    }
}

// What a test fills into the IPsec page: combo entries by index, -1 leaves the combo.
struct IPSecForm {
    QString name;
    QString server;
    bool transportMode = false;
    QString remote; // address/mask
    QStringList subnets;
    bool ah = false;
    int hash = -1;
    int encryption = -1;
    int ikeEncryption = -1;
    int ikeHash = -1;
    int keyGroup = -1;
    QString psk;
    QString dpdPeriod; // DPD on when not empty
};

// Picks an entry of a combo with the keyboard, as a person does.
inline void choose(QComboBox* combo, int index) {
    if (index >= 0) {
        combo->setFocus();
        chooseKind(combo, index);
    }
}

inline void fillIPSec(SaveEditor& editor, const IPSecForm& form) {
    Ui::ProfileConfigDialog& u = editor.form();
    if (u.comboBoxVPNType->currentIndex() != 0) {
        chooseKind(u.comboBoxVPNType, 0);
    }
    if (!form.name.isEmpty()) {
        typeInto(u.lineEditProfileName, form.name);
    }
    if (!form.server.isEmpty()) {
        typeAddress(u.lineEditIpOrHost, form.server);
    }
    if (form.transportMode) {
        click(u.btnSpecifiedRemoteAddr);
    }
    if (!form.remote.isEmpty()) {
        typeAddress(u.lineEditRemoteIP, form.remote.section(QLatin1Char('/'), 0, 0));
        typeInto(u.lineEditRemoteNetworkMask, form.remote.section(QLatin1Char('/'), 1));
    }
    if (!form.subnets.isEmpty()) {
        fillRows(editor, nullptr, u.btnIPSecAddMoreAddress, u.IPSecGatewayWidget, form.subnets);
    }
    if (form.ah) {
        click(u.btnAH);
    }
    choose(u.comboBoxAlgrithmOne, form.hash);
    choose(u.comboBoxAlgrithmTwo, form.encryption);
    choose(u.comboBoxEncryption, form.ikeEncryption);
    choose(u.comboBoxAuthentication, form.ikeHash);
    choose(u.comboBoxKeyGroup, form.keyGroup);
    if (!form.psk.isEmpty()) {
        typeInto(u.lineEditPSK, form.psk);
    }
    if (!form.dpdPeriod.isEmpty()) {
        setToggle(u.btnDPD, true);
        typeInto(u.lineEditDPDPeriod, form.dpdPeriod);
    }
}

} // namespace savestest
