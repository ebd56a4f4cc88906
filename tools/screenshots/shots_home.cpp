// The home page's pictures: the page with an empty store, with a profile of each kind,
// connected with traffic and after a failed connect; the traffic chart's hover pop-up;
// the profile chooser. The profiles live in the pictures' own scratch store.
#include "Shots.h"

#include <QApplication>
#include <cstdio>

#include "ActiveProfileDialog.h"
#include "AppContext.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "IPSecVPNInfo.h"
#include "SystemContext.h"
#include "VPNBarChartDetail.h"

using namespace shots;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

// One profile of each kind in the pictures' own store.
void fillStore() {
    IPCSqlite* store = app()->GetSqlite();
    auto addProfile = [store](const char* name, int type, int configId) {
        ProfileInfo profile;
        profile.ProfileType = type;
        profile.ConfigID = configId;
        std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
        store->InsertProfile(&profile);
    };
    WireGuardVPNInfo wireGuard;
    std::snprintf(wireGuard.WanIP, sizeof(wireGuard.WanIP), "198.51.100.7");
    std::snprintf(wireGuard.IPAddr, sizeof(wireGuard.IPAddr), "10.8.0.2");
    wireGuard.InterSubMask = 24;
    store->InsertWireGuardInfo(&wireGuard);
    addProfile("Home_WireGuard", 4, wireGuard.ID);

    OpenVPNInfo openVPN;
    std::snprintf(openVPN.ServerIP, sizeof(openVPN.ServerIP), "vpn.example.org");
    store->InsertOpenVPNConfig(&openVPN);
    addProfile("Office_OpenVPN", 3, openVPN.ID);

    IPSecVPNInfo ipsec;
    ipsec.SetPolicyName("Branch_IPsec");
    ipsec.SetRemoteAddrs("203.0.113.9");
    ipsec.SetLocalAddrs("192.0.2.10");
    ipsec.SetPSKSecret("secret");
    store->InsertIPSecProfile(&ipsec);
    addProfile("Branch_IPsec", 1, ipsec.GetID());

    OpenVPNInfo ssl;
    std::snprintf(ssl.ServerIP, sizeof(ssl.ServerIP), "ssl.example.org");
    std::snprintf(ssl.LocalIP, sizeof(ssl.LocalIP), "10.9.0.6");
    store->InsertOpenVPNConfig(&ssl);
    addProfile("Portal_SSL_VPN", 2, ssl.ID);
}

void emptyStore() {
    std::vector<ProfileInfo> all;
    app()->GetSqlite()->GetProfileList(all);
    for (ProfileInfo& profile : all) {
        app()->GetSqlite()->DeleteProfile(&profile);
    }
}

// A page started as the client starts it: shown, then filled from the settings row that
// remembers `selected`.
HomeWidget* startPage(const char* selected) {
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    std::snprintf(settings.SelectedName, sizeof(settings.SelectedName), "%s", selected);
    app()->GetSqlite()->UpdateSettingInfo(&settings);
    auto* page = new HomeWidget;
    page->resize(930 - 212, 600 - 86);
    page->show();
    settle();
    SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
    // The Settings page then applies the stored colour mode's style sheet.
    qApp->setStyleSheet(qApp->styleSheet());
    settle();
    return page;
}

QVector<double> day(std::initializer_list<double> values) {
    QVector<double> series(24, 0.0);
    int hour = 0;
    for (double value : values) {
        series[hour++] = value;
    }
    return series;
}

} // namespace

KORVA_SHOTS(home) {
    ScratchStore scratch;
    if (!scratch.started()) {
        return;
    }
    fillStore();
    const struct {
        const char* name;
        const char* profile;
    } kinds[] = {{"home-wireguard", "Home_WireGuard"},
                 {"home-openvpn", "Office_OpenVPN"},
                 {"home-ipsec", "Branch_IPsec"},
                 {"home-sslvpn", "Portal_SSL_VPN"}};
    for (const auto& kind : kinds) {
        HomeWidget* page = startPage(kind.profile);
        save(QLatin1String(kind.name), picture(page, mode.window, 0));
        delete page;
    }
    {
        HomeWidget* page = startPage("Home_WireGuard");
        page->showConnected();
        page->showConnectDuration(3725);
        page->showTrafficTotals(1536, 12.3456);
        page->showHourlyTraffic(
            day({0, 0, 0, 0, 0, 0, 0, 3, 12, 40, 22, 8, 16, 30, 64, 28, 14, 9, 4, 0, 0, 2, 1}),
            day({0, 0, 0, 0, 0, 0, 0, 6, 30, 90, 60, 20, 40, 75, 120, 70, 35, 20, 8, 0, 0, 4}));
        save(QStringLiteral("home-connected"), picture(page, mode.window, 0));
        delete page;
    }
    {
        HomeWidget* page = startPage("Office_OpenVPN");
        page->showConnectFailed();
        save(QStringLiteral("home-failed"), picture(page, mode.window, 0));
        delete page;
    }
    {
        VPNBarChartDetail popup;
        popup.setData(QStringLiteral("2:00pm"), 64, 1536);
        save(QStringLiteral("chart-popup"), picture(&popup, mode.window, 16));
        popup.hide();
    }
    {
        ActiveProfileDialog chooser;
        chooser.setCurrentProfileName(QStringLiteral("Office_OpenVPN"));
        save(QStringLiteral("profile-chooser"), picture(&chooser, mode.window, 0));
        chooser.hide();
    }
    emptyStore();
    {
        HomeWidget* page = startPage("");
        save(QStringLiteral("home-empty"), picture(page, mode.window, 0));
        delete page;
    }
    {
        ActiveProfileDialog chooser;
        save(QStringLiteral("profile-chooser-empty"), picture(&chooser, mode.window, 0));
        chooser.hide();
    }
}
