#include "TextsTest.h"

#include <QApplication>
#include <cstdio>

#include "AppContext.h"
#include "GuiTest.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "SystemContext.h"

namespace textstest {

const char* const kLanguages[16] = {"en", "cs", "nl", "fr", "de", "hu", "it", "ja",
                                    "ko", "pl", "pt", "ru", "sk", "es", "zh", "tr"};

const Mode kModes[2] = {{1, "normal"}, {2, "dark"}};

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

void addProfile(const char* name, int type, int configId) {
    ProfileInfo profile;
    profile.ProfileType = type;
    profile.ConfigID = configId;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
    ASSERT_EQ(app()->GetSqlite()->InsertProfile(&profile), 0) << name;
}

int addWireGuard() {
    WireGuardVPNInfo wireGuard;
    std::snprintf(wireGuard.WanIP, sizeof(wireGuard.WanIP), "198.51.100.7");
    std::snprintf(wireGuard.IPAddr, sizeof(wireGuard.IPAddr), "10.8.0.2");
    wireGuard.InterSubMask = 24;
    app()->GetSqlite()->InsertWireGuardInfo(&wireGuard);
    return wireGuard.ID;
}

} // namespace

void storeProfiles(int extra) {
    ASSERT_TRUE(guitest::startAppContext());
    emptyStore();
    IPCSqlite* store = app()->GetSqlite();
    for (int i = 0; i < extra; ++i) {
        addProfile(QByteArray("Lab_").append(QByteArray::number(i)).constData(), 4, addWireGuard());
    }
    IPSecVPNInfo ipsec;
    ipsec.SetPolicyName("Branch");
    ipsec.SetRemoteAddrs("203.0.113.9");
    ipsec.SetLocalAddrs("192.0.2.10");
    ipsec.SetPSKSecret("secret");
    store->InsertIPSecProfile(&ipsec);
    addProfile("Branch", 1, ipsec.GetID());
    for (int type : {2, 3}) {
        OpenVPNInfo openVPN;
        std::snprintf(openVPN.ServerIP, sizeof(openVPN.ServerIP), "10.1.2.3");
        openVPN.NeedPwd = 1;
        store->InsertOpenVPNConfig(&openVPN);
        addProfile(type == 2 ? "Portal" : "Office", type, openVPN.ID);
    }
    addProfile("Home", 4, addWireGuard());

    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    std::snprintf(settings.SelectedName, sizeof(settings.SelectedName), "Home");
    store->UpdateSettingInfo(&settings);
}

void emptyStore() {
    std::vector<ProfileInfo> all;
    app()->GetSqlite()->GetProfileList(all);
    for (ProfileInfo& profile : all) {
        app()->GetSqlite()->DeleteProfile(&profile);
    }
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void expectWhole(QWidget* window, const QString& where) {
    settle();
    const std::vector<textroom::Fault> found = textroom::faults(window);
    EXPECT_TRUE(found.empty()) << textroom::describe(found, where);
}

} // namespace textstest
