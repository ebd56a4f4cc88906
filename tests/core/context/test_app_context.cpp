// AppContext: start and stop with their log lines, the settings row, the profile cache,
// the paths and the adapter addresses. The OpenVPN context is given an adapter list
// that holds a TAP adapter, so that no adapter script runs.
#include <QDir>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

#include "AppContext.h"
#include "NetworkAdapters.h"
#include "OpenVPNContext.h"
#include "WireGuardContext.h"
#include "zrwlog.h"

namespace {

std::string ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

NetworkAdapter Adapter(const char* name, const char* description, const char* ip, const char* mask) {
    NetworkAdapter adapter;
    adapter.name = name;
    adapter.description = description;
    adapter.ip = ip;
    adapter.mask = mask;
    return adapter;
}

class AppContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = QDir::currentPath().toStdString() + "/" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir().mkpath(QString::fromStdString(root + "/data"));
        dataPath = root + "/data/";
        logPath = root + "/log.txt";
        ZRWLogOpenFile(logPath.c_str());
        SetNetworkAdapterSource([] {
            return std::vector<NetworkAdapter>{
                Adapter("tap0", "TAP-Windows Adapter V9", "0.0.0.0", "0.0.0.0")};
        });
    }
    void TearDown() override {
        ZRWLogClose();
        SetNetworkAdapterSource(nullptr);
    }
    std::string Log() const { return ReadFile(logPath); }
    // The lines of the log without their time stamps.
    std::string Lines() const {
        std::string text = Log(), out;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos + 1);
            size_t stamp = line.find("] ");
            out += (line[0] == '[' && stamp != std::string::npos) ? line.substr(stamp + 2) : line;
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return out;
    }

    std::string root, dataPath, logPath;
};

TEST_F(AppContextTest, NewContextIsStoppedAndEmpty) {
    AppContext context;
    EXPECT_EQ(context.IsStarted(), 0);
    EXPECT_EQ(context.IsStopped(), 1);
    EXPECT_EQ(context.GetConnectStatus(), 0);
    EXPECT_EQ(context.GetWireGuardContext(), nullptr);
    EXPECT_EQ(context.GetOpenVPNContext(), nullptr);
    EXPECT_EQ(context.GetIPSecVPNContext(), nullptr);
    EXPECT_TRUE(context.GetProfileList()->empty());
    EXPECT_STREQ(context.GetDataPath(), "");
    EXPECT_STREQ(context.GetLogPath(), "");
    ProfileInfo current;
    current.ProfileID = 9;
    EXPECT_EQ(context.GetCurrentProfile(&current), &current);
    EXPECT_EQ(current.ProfileID, 0);
}

TEST_F(AppContextTest, StartsAndStopsInOrderWithTheirLines) {
    AppContext context;
    ASSERT_EQ(context.SetDataPath(dataPath.c_str()), 0);
    ASSERT_EQ(context.Start(), 0);
    EXPECT_EQ(context.IsStarted(), 1);
    EXPECT_NE(context.GetWireGuardContext(), nullptr);
    EXPECT_NE(context.GetOpenVPNContext(), nullptr);
    EXPECT_NE(context.GetIPSecVPNContext(), nullptr);
    EXPECT_EQ(context.Start(), 0);
    ASSERT_EQ(context.Stop(), 0);
    EXPECT_EQ(context.IsStarted(), 0);
    EXPECT_EQ(context.GetWireGuardContext(), nullptr);
    EXPECT_EQ(context.GetOpenVPNContext(), nullptr);
    EXPECT_EQ(context.GetIPSecVPNContext(), nullptr);
    EXPECT_EQ(context.Stop(), 0);
    EXPECT_EQ(Lines(), "System :: Set datapath: " + dataPath + "\n" +
                           "System :: ******** SetupAppSqlContext " + dataPath +
                           "/vpn.db ********\n"
                           "System :: ######## SetupWireGuardContext ########\n"
                           "System :: ######## SetupOpenVPNContext ########\n"
                           "System :: ######## SetupIPSecVPNContext ########\n"
                           "System :: App context already started\n"
                           "System :: ######## CleanupAppSqlContext ########\n"
                           "System :: ######## CleanupWireGuardContext ########\n"
                           "System :: ######## CleanupOpenVPNContext ########\n"
                           "System :: ######## CleanupIPSecVPNContext ########\n"
                           "System :: App context already stopped\n");
}

TEST_F(AppContextTest, NewDatabaseGetsSettingsRowOne) {
    AppContext context;
    context.SetDataPath(dataPath.c_str());
    ASSERT_EQ(context.Start(), 0);
    SETTINGINFO info;
    info.AutoStart = 7;
    EXPECT_EQ(context.GetSettingInfo(&info), &info);
    EXPECT_EQ(info.ID, 1);
    EXPECT_EQ(info.AutoStart + info.Reconnetion + info.NATTraversal + info.LanguageType + info.ColorMode, 0);
    EXPECT_STREQ(info.SelectedName, "");
    EXPECT_STREQ(info.DatabaseVersion, "1.0");

    // A stored change is what the next start finds; no second row is made.
    info.ColorMode = 2;
    std::strcpy(info.SelectedName, "office");
    ASSERT_EQ(context.GetSqlite()->UpdateSettingInfo(&info), 0);
    ASSERT_EQ(context.Stop(), 0);
    ASSERT_EQ(context.Start(), 0);
    SETTINGINFO again;
    context.GetSettingInfo(&again);
    EXPECT_EQ(again.ColorMode, 2);
    EXPECT_STREQ(again.SelectedName, "office");
    ASSERT_EQ(context.Stop(), 0);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dataPath + "vpn.db").c_str(), &db), SQLITE_OK);
    int rows = -1;
    sqlite3_exec(
        db, "SELECT COUNT(*) FROM SETTINGINFO",
        [](void* out, int, char** values, char**) {
            *static_cast<int*>(out) = std::atoi(values[0]);
            return 0;
        },
        &rows, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(rows, 1);
}

TEST_F(AppContextTest, StartLoadsTheProfileList) {
    {
        IPCSqlite store;
        ASSERT_EQ(store.Init((dataPath + "vpn.db").c_str()), 0);
        for (const char* name : {"Office", "office"}) {
            ProfileInfo profile;
            profile.ProfileType = 4;
            std::strcpy(profile.ProfileName, name);
            ASSERT_EQ(store.InsertProfile(&profile), 0);
        }
        store.DeInit();
    }
    AppContext context;
    context.SetDataPath(dataPath.c_str());
    EXPECT_EQ(context.FindProfileIndex("office"), -1);
    ASSERT_EQ(context.Start(), 0);
    ASSERT_EQ(context.GetProfileList()->size(), 2u);
    // Newest first; names match byte for byte.
    EXPECT_EQ(context.FindProfileIndex("office"), 0);
    EXPECT_EQ(context.FindProfileIndex("Office"), 1);
    EXPECT_EQ(context.FindProfileIndex("OFFICE"), -1);
    ProfileInfo extra;
    std::strcpy(extra.ProfileName, "extra");
    context.AddProfile(extra);
    EXPECT_EQ(context.FindProfileIndex("extra"), 2);
    context.ClearProfileList();
    EXPECT_EQ(context.FindProfileIndex("office"), -1);
    context.Stop();
}

TEST_F(AppContextTest, FailedStoreOpenLeavesItStopped) {
    AppContext context;
    ASSERT_TRUE(QFile(QString::fromStdString(root + "/file")).open(QIODevice::WriteOnly));
    context.SetDataPath((root + "/file/").c_str());
    EXPECT_EQ(context.Start(), -1);
    EXPECT_EQ(context.IsStarted(), 0);
    EXPECT_EQ(context.GetWireGuardContext(), nullptr);
    EXPECT_NE(Log().find("System :: Failed to init IPCSqlite!\n"), std::string::npos);
}

TEST_F(AppContextTest, RefusedSettingsRowLeavesItStopped) {
    // The database refuses every new settings row.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dataPath + "vpn.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db,
                     "CREATE TABLE SETTINGINFO (ID INTEGER PRIMARY KEY AUTOINCREMENT, AutoStart INTEGER "
                     "NOT NULL, Reconnetion INTEGER NOT NULL, NATTraversal INTEGER NOT NULL, LanguageType "
                     "INTEGER NOT NULL, ColorMode INTEGER NOT NULL, SelectedName TEXT, DatabaseVersion "
                     "TEXT NOT NULL);"
                     "CREATE TRIGGER refuse BEFORE INSERT ON SETTINGINFO BEGIN SELECT RAISE(ABORT, "
                     "'refused'); END;",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    AppContext context;
    context.SetDataPath(dataPath.c_str());
    EXPECT_EQ(context.Start(), -1);
    EXPECT_EQ(context.IsStarted(), 0);
    EXPECT_EQ(context.GetOpenVPNContext(), nullptr);
    EXPECT_NE(Log().find("System :: App context InsertSettingInfo failed\n"), std::string::npos);
    EXPECT_EQ(Log().find("SetupWireGuardContext"), std::string::npos);
}

TEST_F(AppContextTest, NoDataFolderMeansNoDatabase) {
    AppContext context;
    EXPECT_EQ(context.Start(), -1);
    EXPECT_EQ(context.IsStarted(), 0);
    EXPECT_FALSE(QFile::exists("/vpn.db"));
    EXPECT_NE(Log().find("System :: Failed to init IPCSqlite!\n"), std::string::npos);
}

TEST_F(AppContextTest, DataPathTakesAtMost511Bytes) {
    AppContext context;
    std::string fits(511, 'p');
    std::string tooLong(512, 'q');
    EXPECT_EQ(context.SetDataPath(fits.c_str()), 0);
    EXPECT_EQ(context.SetDataPath(tooLong.c_str()), -1);
    EXPECT_EQ(context.GetDataPath(), fits);
    EXPECT_NE(Log().find("System :: FATAL: app data path too long!\n"), std::string::npos);
    context.SetLogPath("Halvex_log//Korva VPN__x64_1.0.0_20260101_000000.log");
    EXPECT_STREQ(context.GetLogPath(), "Halvex_log//Korva VPN__x64_1.0.0_20260101_000000.log");
}

TEST_F(AppContextTest, StatusAndCurrentProfileAreHeldAsGiven) {
    AppContext context;
    context.SetConnectStatus(2);
    EXPECT_EQ(context.GetConnectStatus(), 2);
    ProfileInfo profile;
    profile.ProfileID = 5;
    std::strcpy(profile.ProfileName, "wg");
    context.SetCurrentProfile(profile);
    ProfileInfo out;
    context.GetCurrentProfile(&out);
    EXPECT_EQ(out.ProfileID, 5);
    EXPECT_STREQ(out.ProfileName, "wg");
}

TEST_F(AppContextTest, AdapterAddressesSkipUnusableOnes) {
    SetNetworkAdapterSource([] {
        return std::vector<NetworkAdapter>{
            Adapter("eth0", "eth0", "192.168.1.10", "255.255.255.0"),
            Adapter("tap0", "TAP-Windows Adapter V9", "0.0.0.0", "0.0.0.0"),
            Adapter("wg0", "wg0", "10.0.0.2", ""),
            Adapter("eth1", "eth1", "", "255.0.0.0"),
            Adapter("eth2", "eth2", "172.16.0.1", "255.240.0.0"),
        };
    });
    AppContext context;
    std::vector<AdapterAddress> addresses(1);
    context.GetAdapterAddresses(addresses);
    ASSERT_EQ(addresses.size(), 3u);
    EXPECT_STREQ(addresses[1].ip, "192.168.1.10");
    EXPECT_STREQ(addresses[1].mask, "255.255.255.0");
    EXPECT_STREQ(addresses[2].ip, "172.16.0.1");
    EXPECT_STREQ(addresses[2].mask, "255.240.0.0");

    SetNetworkAdapterSource([] { return std::vector<NetworkAdapter>{}; });
    std::vector<AdapterAddress> none;
    context.GetAdapterAddresses(none);
    EXPECT_TRUE(none.empty());
}

TEST(NetworkAdapterList, SystemListHasNoLoopbackAndDescribesEveryAdapter) {
    SetNetworkAdapterSource(nullptr);
    for (const auto& adapter : ListNetworkAdapters()) {
        EXPECT_NE(adapter.name, "lo");
        EXPECT_FALSE(adapter.description.empty()) << adapter.name;
        EXPECT_FALSE(adapter.ip.empty()) << adapter.name;
    }
}

} // namespace
