#include "ProfilesTest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <sqlite3.h>

#include "AppContext.h"
#include "GuiTest.h"
#include "ProfileEditorOpener.h"
#include "SystemContext.h"
#include "ZRToastDialog.h"

namespace profilestest {

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

const char* const kWireGuardRow =
    "INSERT INTO ZRWIREGUARDVPN (WanIP, PeerPort, PeerPubKey, IPAddr, InterSubMask, "
    "InterPriKey, InterPubKey) VALUES ('203.0.113.5', 51820, 'peer', '10.8.0.2', 24, "
    "'private', 'public')";
const char* const kOpenVPNRow =
    "INSERT INTO OPENVPN (ServerIP, ServerPort, ConfigFilePath, NeedPwd, RememberMe, "
    "PromptPwd, LocalIPType, LocalIP, LocalDns, LocalWinsServer, EnableFullTraffic) "
    "VALUES ('203.0.113.6', 1194, 'client.ovpn', 0, 0, 0, 0, '', '', '', 0)";
const char* const kIPSecRow =
    "INSERT INTO ZRIPSECVPN (Version, PolicyName, LocalAddrs, RemoteAddrs, AuthMethod, TransportProtocol, "
    "RemoteTrafficSelectors, LocalTrafficSelectors, ProtocolType, EspProposals, PhaseOneProposals, IKEID, "
    "PSKSecret, EnableDPD, DPDPeriod) VALUES (2, 'office', '', '203.0.113.7', 1, 1, '10.1.0.0/16', '', 2, "
    "'aes256-sha256', 'sha256-aes256-modp2048', '203.0.113.7', 'secret', 0, 0)";

} // namespace

void FakeEditor::saveProfile(const char* name, int vpnType) {
    ProfilesTest::seed({{name, vpnType}});
    emit signalLoadProfileList();
    accept();
}

void ProfilesTest::SetUp() {
    ASSERT_TRUE(guitest::startAppContext());
    exec("DELETE FROM PROFILE; DELETE FROM ZRWIREGUARDVPN; DELETE FROM OPENVPN; DELETE FROM ZRIPSECVPN;");
    setConnection(CONNECT_STATUS_NOT_CONNECTED, 0);
    ASSERT_TRUE(switchLanguage("en"));
    guitest::applyColorMode(1);
    QDir(QStringLiteral("Config")).removeRecursively();
    editorCalls.clear();
    editorAction = [](FakeEditor* editor) { editor->reject(); };
    setProfileEditorFactory([this](QWidget* parent, bool editMode, const QString& name, int profileID,
                                   int configID, int vpnType) {
        editorCalls.push_back({editMode, name, profileID, configID, vpnType});
        auto* editor = new FakeEditor(parent);
        std::function<void(FakeEditor*)> action = editorAction;
        guitest::answerNextModal([action](QWidget* modal) { action(static_cast<FakeEditor*>(modal)); },
                                 "profilestest::FakeEditor");
        return static_cast<QDialog*>(editor);
    });
}

void ProfilesTest::TearDown() {
    setProfileEditorFactory(nullptr);
    setConnection(CONNECT_STATUS_NOT_CONNECTED, 0);
}

sqlite3* ProfilesTest::db() {
    static sqlite3* connection = nullptr;
    if (connection == nullptr) {
        const std::string path = std::string(app()->GetDataPath()) + "vpn.db";
        EXPECT_EQ(sqlite3_open(path.c_str(), &connection), SQLITE_OK);
        sqlite3_busy_timeout(connection, 5000);
    }
    return connection;
}

void ProfilesTest::exec(const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db(), sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << sql << ": " << (error ? error : "");
    sqlite3_free(error);
}

int ProfilesTest::count(const std::string& table) {
    int rows = -1;
    sqlite3_exec(
        db(), ("SELECT COUNT(*) FROM " + table).c_str(),
        [](void* target, int, char** values, char**) {
            *static_cast<int*>(target) = atoi(values[0]);
            return 0;
        },
        &rows, nullptr);
    return rows;
}

bool ProfilesTest::hasRow(const std::string& table, int id) {
    const char* key = table == "PROFILE" ? "ProfileID" : "ID";
    int rows = 0;
    sqlite3_exec(
        db(), ("SELECT COUNT(*) FROM " + table + " WHERE " + key + " = " + std::to_string(id)).c_str(),
        [](void* target, int, char** values, char**) {
            *static_cast<int*>(target) = atoi(values[0]);
            return 0;
        },
        &rows, nullptr);
    return rows == 1;
}

std::vector<int> ProfilesTest::seed(const std::vector<Seed>& profiles) {
    std::vector<int> ids;
    exec("BEGIN");
    for (const Seed& profile : profiles) {
        const char* kindRow = profile.vpnType == VPN_TYPE_WIREGUARD ? kWireGuardRow
                              : profile.vpnType == VPN_TYPE_IPSEC   ? kIPSecRow
                                                                    : kOpenVPNRow;
        exec(kindRow);
        const long long configID = sqlite3_last_insert_rowid(db());
        char* sql = sqlite3_mprintf(
            "INSERT INTO PROFILE (ProfileName, ProfileType, ConfigID) VALUES ('%q', %d, %lld)",
            profile.name.c_str(), profile.vpnType, configID);
        exec(sql);
        sqlite3_free(sql);
        ids.push_back(static_cast<int>(sqlite3_last_insert_rowid(db())));
    }
    exec("COMMIT");
    return ids;
}

std::vector<int> ProfilesTest::seedNumbered(int count, const char* prefix) {
    std::vector<Seed> profiles;
    for (int i = 1; i <= count; ++i) {
        profiles.push_back({prefix + std::string(i < 10 ? "_0" : "_") + std::to_string(i), 1 + i % 4});
    }
    return seed(profiles);
}

QString ProfilesTest::writeConfigFile(const Seed& profile) {
    const bool wireGuard = profile.vpnType == VPN_TYPE_WIREGUARD;
    const QString folder = QString::fromLatin1(wireGuard ? "Config/wireguard" : "Config/openvpn");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + QString::fromStdString(profile.name) +
                         QLatin1String(wireGuard ? ".conf" : ".ovpn");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Interface]\n");
    return path;
}

int ProfilesTest::configIdOf(int profileID) {
    ProfileInfo profile;
    app()->GetSqlite()->GetProfileByID(&profile, profileID);
    return profile.ConfigID;
}

std::unique_ptr<ProfileWidget> ProfilesTest::makePage() {
    auto page = std::make_unique<ProfileWidget>();
    page->resize(887, 602);
    EXPECT_TRUE(guitest::showAndExpose(page.get()));
    return page;
}

QTreeWidget* ProfilesTest::tree(ProfileWidget& page) {
    return page.findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"));
}

QStringList ProfilesTest::rowNames(ProfileWidget& page) {
    QStringList names;
    QTreeWidget* list = tree(page);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        names << list->topLevelItem(i)->data(1, 102).toString();
    }
    return names;
}

ZRPageNavigator* ProfilesTest::pager(ProfileWidget& page) {
    return pageWidget(page)->findChild<ZRPageNavigator*>();
}

QWidget* ProfilesTest::pageWidget(ProfileWidget& page) {
    return page.findChild<QWidget*>(QStringLiteral("pageWidget"));
}

QPushButton* ProfilesTest::button(ProfileWidget& page, const char* objectName) {
    return page.findChild<QPushButton*>(QString::fromLatin1(objectName));
}

QPushButton* ProfilesTest::pagerButton(ProfileWidget& page, int number) {
    for (QPushButton* candidate : pager(page)->findChildren<QPushButton*>()) {
        if (!candidate->isHidden() && candidate->text() == QString::number(number)) {
            return candidate;
        }
    }
    return nullptr;
}

void ProfilesTest::clickPagerPage(ProfileWidget& page, int number) {
    QPushButton* target = pagerButton(page, number);
    ASSERT_NE(target, nullptr) << "no pager button " << number;
    QTest::mouseClick(target, Qt::LeftButton);
}

int ProfilesTest::pagerCurrentPage(ProfileWidget& page) {
    for (QPushButton* candidate : pager(page)->findChildren<QPushButton*>()) {
        if (!candidate->isHidden() &&
            candidate->property("currentPage").toString() == QLatin1String("true")) {
            return candidate->text().toInt();
        }
    }
    return 0;
}

QString ProfilesTest::recordsLabel(ProfileWidget& page) {
    // The records label is the pager's first label.
    const auto labels = pager(page)->findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.first()->text();
}

QPushButton* ProfilesTest::sortArrow(ProfileWidget& page, bool up) {
    const auto arrows = tree(page)->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(arrows.size(), 2);
    // The up arrow ends where the down arrow begins.
    QPushButton* first = arrows.value(0);
    QPushButton* second = arrows.value(1);
    const bool firstIsUp = first->y() < second->y();
    return up == firstIsUp ? first : second;
}

QPoint ProfilesTest::iconCentre(ProfileWidget& page, int row, Icon icon) {
    QTreeWidget* list = tree(page);
    list->viewport()->repaint();
    const QRect cell = list->visualItemRect(list->topLevelItem(row));
    const int actionLeft = list->header()->sectionViewportPosition(3);
    return QPoint(actionLeft + static_cast<int>(icon) + 10, cell.center().y());
}

void ProfilesTest::clickIcon(ProfileWidget& page, int row, Icon icon) {
    QTreeWidget* list = tree(page);
    const QPoint centre = iconCentre(page, row, icon);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

void ProfilesTest::waitForToastGone() {
    EXPECT_TRUE(guitest::waitFor([] { return !ZRToastDialog::instance()->isVisible(); }, 5000));
}

bool ProfilesTest::switchLanguage(const char* code) {
    const bool loaded = guitest::useLanguage(QString::fromLatin1(code));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    return loaded;
}

void ProfilesTest::setConnection(int status, int currentProfileID) {
    ProfileInfo current;
    current.ProfileID = currentProfileID;
    app()->SetCurrentProfile(current);
    app()->SetConnectStatus(status);
}

} // namespace profilestest
