// Connecting's pictures: the home page in each connection state as the connection
// controller puts it there (connecting, connected with traffic, its button busy while the
// tunnel ends, failed, cancelled, not connected), the toast of why openvpn ended, the tray
// pop-up in each status, and the credentials prompt (as it opens, after refused
// credentials, with empty fields confirmed and with a password that cannot be stored as
// typed). The profiles are written into the pictures' own scratch store.
#include "Shots.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "AccountLoginDialog.h"
#include "AppConstants.h"
#include "AppContext.h"
#include "ConnectionController.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "SystemContext.h"
#include "VPNMenuDialog.h"
#include "ZRStringConstant.h"
#include "ZRToastDialog.h"

using namespace shots;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

// One OpenVPN profile that asks for credentials, in the scratch store; its OPENVPN row's id.
int fillStore() {
    IPCSqlite* store = app()->GetSqlite();
    OpenVPNInfo openVPN;
    std::snprintf(openVPN.ServerIP, sizeof(openVPN.ServerIP), "vpn.example.org");
    openVPN.NeedPwd = 1;
    openVPN.PromptPwd = 1;
    store->InsertOpenVPNConfig(&openVPN);
    ProfileInfo profile;
    profile.ProfileType = 3;
    profile.ConfigID = openVPN.ID;
    std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "Office_OpenVPN");
    store->InsertProfile(&profile);
    SETTINGINFO settings;
    app()->GetSettingInfo(&settings);
    std::snprintf(settings.SelectedName, sizeof(settings.SelectedName), "Office_OpenVPN");
    store->UpdateSettingInfo(&settings);
    return openVPN.ID;
}

QVector<double> day(std::initializer_list<double> values) {
    QVector<double> series(24, 0.0);
    int hour = 0;
    for (double value : values) {
        series[hour++] = value;
    }
    return series;
}

const QVector<double> kUpload =
    day({0, 0, 0, 0, 0, 0, 0, 3, 12, 40, 22, 8, 16, 30, 64, 28, 14, 9, 4, 0, 0, 2, 1});
const QVector<double> kDownload =
    day({0, 0, 0, 0, 0, 0, 0, 6, 30, 90, 60, 20, 40, 75, 120, 70, 35, 20, 8, 0, 0, 4});

void step(HomeWidget* page, const char* slot) {
    QMetaObject::invokeMethod(page->connectionController(), slot);
    settle();
}

} // namespace

KORVA_SHOTS(connecting) {
    ScratchStore scratch;
    if (!scratch.started()) {
        return;
    }
    const int configId = fillStore();
    {
        SETTINGINFO settings;
        app()->GetSettingInfo(&settings);
        auto* page = new HomeWidget;
        page->resize(930 - 212, 600 - 86);
        page->show();
        settle();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
        qApp->setStyleSheet(qApp->styleSheet());
        settle();

        step(page, "slotConnectVPNStart");
        save(QStringLiteral("home-status-connecting"), picture(page, mode.window, 0));
        page->showLocalAddress(QStringLiteral("10.8.0.6"), QStringLiteral("255.255.255.0"));
        page->setLocalAddressRowsVisible(true, true);
        step(page, "slotConnectVPNSuccess");
        page->showConnectDuration(3725);
        page->showTrafficTotals(1536, 12.3456);
        page->showHourlyTraffic(kUpload, kDownload);
        settle();
        save(QStringLiteral("home-status-connected"), picture(page, mode.window, 0));
        // A disconnect ending the tunnel's programs: the button is busy.
        page->setConnectBusy(true);
        save(QStringLiteral("home-status-ending"), picture(page, mode.window, 0));
        page->setConnectBusy(false);
        step(page, "slotNoConnectVPN");
        page->setLocalAddressRowsVisible(false, false);
        step(page, "slotConnectVPNStart");
        step(page, "slotConnectVPNFailed");
        save(QStringLiteral("home-status-failed"), picture(page, mode.window, 0));
        // Why openvpn ended, the longest of its reasons.
        ZRToastDialog* toast = ZRToastDialog::instance();
        toast->showToast(page, ZRStringConstant::tr(AppConstants::kOpenVPNPortInUseKey), 1500);
        save(QStringLiteral("toast-openvpn-ended"), picture(toast, mode.window));
        toast->hide();
        step(page, "slotConnectVPNStart");
        step(page, "slotCancelVPNConnect");
        save(QStringLiteral("home-status-cancelled"), picture(page, mode.window, 0));
        step(page, "slotNoConnectVPN");
        save(QStringLiteral("home-status-not-connected"), picture(page, mode.window, 0));
        delete page;
        app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        app()->SetCurrentProfile(ProfileInfo());
    }
    {
        // "tray-ending": a disconnect ending the tunnel's programs, the Connect button busy.
        const struct {
            const char* name;
            int status;
            bool busy;
        } states[] = {{"tray-not-connected", 0, false},
                      {"tray-connecting", 1, false},
                      {"tray-connected", 2, false},
                      {"tray-ending", 2, true},
                      {"tray-failed", 3, false}};
        for (const auto& state : states) {
            VPNMenuDialog popup;
            popup.show();
            settle();
            popup.slotUpdateConnectInfo(state.status, QStringLiteral("Office_OpenVPN"),
                                        QStringLiteral("1h 2m 5s"), QStringLiteral("12.35 MB"),
                                        QStringLiteral("1.50 GB"), kUpload, kDownload);
            popup.setConnectBusy(state.busy);
            save(QLatin1String(state.name), picture(&popup, mode.window, 0));
            popup.hide();
        }
    }
    {
        AccountLoginDialog prompt(configId, 3);
        prompt.setRememberChecked(false);
        save(QStringLiteral("credentials"), picture(&prompt, mode.window, 0));
        prompt.hide();
    }
    {
        AccountLoginDialog prompt(configId, 3);
        prompt.setWarningVisible(true);
        prompt.setUserName(QStringLiteral("alice"));
        prompt.setPassword(QStringLiteral("secret"));
        prompt.setRememberChecked(true);
        save(QStringLiteral("credentials-refused"), picture(&prompt, mode.window, 0));
        prompt.hide();
    }
    {
        AccountLoginDialog prompt(configId, 3);
        prompt.show();
        settle();
        prompt.findChild<QPushButton*>(QStringLiteral("btnLogin"))->click();
        save(QStringLiteral("credentials-empty"), picture(&prompt, mode.window, 0));
        prompt.hide();
    }
    {
        // A password that would be stored changed (a NUL pasted into it) is marked.
        AccountLoginDialog prompt(configId, 3);
        prompt.setUserName(QStringLiteral("alice"));
        prompt.setPassword(QStringLiteral("pw") + QChar(0) + QStringLiteral("x"));
        prompt.show();
        settle();
        prompt.findChild<QPushButton*>(QStringLiteral("btnLogin"))->click();
        save(QStringLiteral("credentials-unstorable"), picture(&prompt, mode.window, 0));
        prompt.hide();
    }
}
