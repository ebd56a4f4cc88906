// Shared set-up of the home page's tests: profiles of each kind written into the store,
// the remembered selection, a kind's table made unreadable, pixel comparisons, and the
// page opened on a selected profile as the client's start leaves it, for the tests that
// connect it.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QString>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "AppContext.h"
#include "ConnectionController.h"
#include "ConnectionTimings.h"
#include "GuiTest.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "SystemContext.h"

namespace hometest {

inline AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

inline IPCSqlite* store() {
    return app()->GetSqlite();
}

// Removes every profile and forgets the remembered selection.
inline void clearStore() {
    std::vector<ProfileInfo> profiles;
    ASSERT_EQ(store()->GetProfileList(profiles), 0);
    for (ProfileInfo& profile : profiles) {
        ASSERT_EQ(store()->DeleteProfile(&profile), 0);
    }
    app()->ClearProfileList();
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    settings.SelectedName[0] = '\0';
    ASSERT_EQ(store()->UpdateSettingInfo(&settings), 0);
}

inline int addProfileRow(const char* name, int type, int configId) {
    ProfileInfo profile;
    profile.ProfileType = type;
    profile.ConfigID = configId;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
    EXPECT_EQ(store()->InsertProfile(&profile), 0) << name;
    return profile.ProfileID;
}

inline int addWireGuard(const char* name, const char* wan, const char* ip, int mask) {
    WireGuardVPNInfo info;
    std::snprintf(info.WanIP, sizeof(info.WanIP), "%s", wan);
    std::snprintf(info.IPAddr, sizeof(info.IPAddr), "%s", ip);
    info.InterSubMask = mask;
    info.PeerPort = 51820;
    // A key as the WireGuard tools write it: a connect takes no other.
    std::snprintf(info.PeerPubKey, sizeof(info.PeerPubKey), "bB5jSAvfJbD3yqdQq+F8Rfs1nUvxGXG9rTT3nFU8oXs=");
    EXPECT_EQ(store()->InsertWireGuardInfo(&info), 0);
    return addProfileRow(name, 4, info.ID);
}

// Kind 2 (SSL VPN) or 3 (OpenVPN).
inline int addOpenVPN(const char* name, int type, const char* server, const char* localIP) {
    OpenVPNInfo info;
    std::snprintf(info.ServerIP, sizeof(info.ServerIP), "%s", server);
    std::snprintf(info.LocalIP, sizeof(info.LocalIP), "%s", localIP);
    info.ServerPort = 1194;
    info.VPNConfig = "client\n";
    EXPECT_EQ(store()->InsertOpenVPNConfig(&info), 0);
    return addProfileRow(name, type, info.ID);
}

inline int addIPsec(const char* name, const char* remote, const char* local) {
    IPSecVPNInfo info;
    info.SetPolicyName(name);
    info.SetRemoteAddrs(remote);
    info.SetLocalAddrs(local);
    info.SetPSKSecret("secret");
    EXPECT_EQ(store()->InsertIPSecProfile(&info), 0);
    return addProfileRow(name, 1, info.GetID());
}

inline std::string selectedName() {
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    return std::string(settings.SelectedName, strnlen(settings.SelectedName, sizeof(settings.SelectedName)));
}

inline void rememberSelection(const char* name) {
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    std::snprintf(settings.SelectedName, sizeof(settings.SelectedName), "%s", name);
    ASSERT_EQ(store()->UpdateSettingInfo(&settings), 0);
}

inline SETTINGINFO settingsRow() {
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    return settings;
}

// Runs one statement on the database file through a connection of its own, as another
// program damaging the file would.
inline void runOnDatabaseFile(const char* sql) {
    const std::string path = std::string(app()->GetDataPath()) + "/vpn.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// While it lives, a kind's table cannot be read: the table is renamed away.
class UnreadableTable {
public:
    explicit UnreadableTable(std::string table) : table(std::move(table)) {
        runOnDatabaseFile(("ALTER TABLE " + this->table + " RENAME TO " + this->table + "_away").c_str());
    }
    ~UnreadableTable() { runOnDatabaseFile(("ALTER TABLE " + table + "_away RENAME TO " + table).c_str()); }

private:
    std::string table;
};

// Each channel within `tolerance` of the expected colour (alpha ignored).
inline bool near(const QColor& actual, const QColor& expected, int tolerance = 12) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// A colour of `over` at `alpha` (0-255) drawn over `under`.
inline QColor blend(const QColor& over, int alpha, const QColor& under) {
    auto mix = [alpha](int a, int b) { return (a * alpha + b * (255 - alpha)) / 255; };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()),
                  mix(over.blue(), under.blue()));
}

// The home page opened on a selected profile, as the client's start leaves it, with what
// the tests that connect it do: press its button, wait for a status, read its widgets, and
// end what it left running as the main window's close does.
class ConnectionPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        clearStore();
        guitest::applyColorMode(1);
    }
    void TearDown() override { closePage(); }

    // The page with the named profile selected, after the stored settings have reached it;
    // its controller waits the fixture's timings. A size, when given, is set before it shows.
    HomeWidget* open(const char* selected, const QSize& size = QSize()) {
        rememberSelection(selected);
        page = std::make_unique<HomeWidget>();
        if (size.isValid()) {
            page->resize(size);
        }
        EXPECT_TRUE(guitest::showAndExpose(page.get()));
        restore();
        EXPECT_EQ(page->activeProfileName(), QString::fromUtf8(selected));
        use(page.get());
        return page.get();
    }
    // Drives the given page (the main window's) from here on, with the fixture's timings.
    void use(HomeWidget* shown) {
        home = shown;
        home->connectionController()->setTimings(timings);
        statusChanges = std::make_unique<QSignalSpy>(shown, SIGNAL(signalConnectedVPNChanged(int)));
    }
    // The start: the stored settings row reaches the pages.
    static void restore() {
        const SETTINGINFO row = settingsRow();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&row);
    }
    // Ends whatever the page left running, as the main window's close does, and closes it.
    virtual void closePage() {
        if (page) {
            ProfileInfo current;
            app()->GetCurrentProfile(&current);
            if (page->currentStatus() == CONNECT_STATUS_CONNECTING) {
                page->tunnelTeardown()->cancelConnect(current);
            } else if (page->currentStatus() == CONNECT_STATUS_CONNECTED) {
                page->tunnelTeardown()->disconnectTunnel(current);
            }
        }
        statusChanges.reset();
        page.reset();
        app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        app()->SetCurrentProfile(ProfileInfo());
    }

    ConnectionController* controller() { return home->connectionController(); }
    void press() { home->clickConnectButton(); }
    int status() const { return home->currentStatus(); }
    bool waitStatus(int wanted, int timeoutMs = 10000) {
        return guitest::waitFor([&] { return home->currentStatus() == wanted; }, timeoutMs);
    }
    // Waits until the controller's completion poll of that name runs (the attempt's
    // preparation is done).
    bool waitPolling(const char* pollName, int timeoutMs = 10000) {
        return guitest::waitFor(
            [&] {
                auto* poll = controller()->findChild<QTimer*>(QLatin1String(pollName));
                return poll != nullptr && poll->isActive();
            },
            timeoutMs);
    }
    template <typename T = QWidget> T* w(const char* name) { return guitest::child<T>(home, name); }
    QString text(const char* name) { return guitest::childText(home, name); }
    // The statuses the page announced since it was opened, in order.
    std::vector<int> statusSignals() const {
        std::vector<int> values;
        for (const QList<QVariant>& args : *statusChanges) {
            values.push_back(args[0].toInt());
        }
        return values;
    }

    // The times the page's controller waits once opened.
    ConnectionTimings timings;
    std::unique_ptr<HomeWidget> page;
    // The page under test: the fixture's own, or the main window's.
    QPointer<HomeWidget> home;
    std::unique_ptr<QSignalSpy> statusChanges;
};

} // namespace hometest

inline void PrintTo(const QColor& color, std::ostream* out) {
    *out << color.name(QColor::HexArgb).toStdString();
}
