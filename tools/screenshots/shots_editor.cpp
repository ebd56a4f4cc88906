// The profile editor's pictures: the window as it opens, each kind page whole (the scroll
// area grown to its content), empty and with every warning of its page shown, and each kind
// page filled from a stored profile as editing opens it.
#include "Shots.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTranslator>

#include <cstring>

#include "AppContext.h"
#include "EditorTexts.h"
#include "FieldRules.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "KorvaResourcePaths.h"
#include "OpenVPNContext.h"
#include "ProfileConfigDialog.h"
#include "RemoteSubnetRows.h"
#include "SystemContext.h"
#include "WireGuardContext.h"
#include "ZRErrorDialog.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"

using namespace shots;
using FieldRules::markAddress;
using FieldRules::markFrame;
using FieldRules::markLineEdit;
using FieldRules::showWarning;

namespace {

// Reaches the editor's form and its marks, as the kinds' saves do.
class ShotEditor : public ProfileConfigDialog {
public:
    explicit ShotEditor(bool edit = false, const QString& name = QString(), int kind = 0)
        : ProfileConfigDialog(nullptr, edit, name, edit ? 1 : 0, edit ? 1 : 0, kind) {}
    // Editing a stored profile, as a row's edit action opens it.
    explicit ShotEditor(const ProfileInfo& profile)
        : ProfileConfigDialog(nullptr, true, QString::fromUtf8(profile.ProfileName), profile.ProfileID,
                              profile.ConfigID, profile.ProfileType) {}

    // The page of a kind (1 to 4) as the kind selector shows it; the credentials blocks
    // shown as for a configuration that asks for them.
    void showKind(int kind, bool credentials) {
        m_bNeedPwd = credentials;
        ui.comboBoxVPNType->setCurrentIndex(kind - 1);
        switch (kind) {
        case 1:
            slotSwitchToIPSecTunnel();
            break;
        case 2:
            slotSwitchToSSLVPN();
            break;
        case 3:
            slotSwitchToOpenVPN();
            break;
        default:
            slotSwitchToWireGuardVPN();
            break;
        }
    }

    // A row added as its page's add button does, with what was typed into it.
    void addRow(QWidget* container, QPushButton* add, QRadioButton* fullTraffic, const QString& address,
                const QString& mask) {
        if (fullTraffic != nullptr) {
            fullTraffic->setChecked(false);
            add->show();
        }
        RemoteSubnetRows(container, add, fullTraffic, this).add();
        RemoteSubnetRows::addresses(container).last()->setIpAddress(address);
        RemoteSubnetRows::masks(container).last()->setText(mask);
    }

    void markRow(QWidget* container) {
        markAddress(RemoteSubnetRows::addresses(container).last());
        markLineEdit(RemoteSubnetRows::masks(container).last());
    }

    // What the user typed and chose before Confirm: a name, a remote-subnet row, DPD on,
    // a manual DNS address.
    void fillForWarnings(int kind) {
        ui.lineEditProfileName->setText(QStringLiteral("Office"));
        switch (kind) {
        case 1:
            addRow(ui.IPSecGatewayWidget, ui.btnIPSecAddMoreAddress, nullptr, QStringLiteral("10.0.8.0"),
                   QStringLiteral("24"));
            ui.btnDPD->click();
            break;
        case 2:
            ui.lineEditSSLUserName->setText(QStringLiteral("user-1"));
            ui.btnSSLManuIP->click();
            addRow(ui.sslGatewayWidget, ui.btnSSLAddGateway, ui.btnSSLFullTraffic,
                   QStringLiteral("192.168.10.0"), QStringLiteral("24"));
            break;
        case 3:
            ui.lineEditUserName->setText(QStringLiteral("user-1"));
            ui.btnOpenManuIP->click();
            addRow(ui.gatewayWidget, ui.btnAddGateway, ui.btnOpenFullTraffic, QStringLiteral("192.168.10.0"),
                   QStringLiteral("24"));
            break;
        default:
            ui.lineEditPubKey->setText(QStringLiteral("not-a-key"));
            addRow(ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, ui.btnWireGuardFullTraffic,
                   QStringLiteral("10.10.0.0"), QStringLiteral("16"));
            break;
        }
    }

    // Every mark and message that the checks of the kind's page can show.
    void showEveryWarning(int kind) {
        using namespace EditorTexts;
        showWarning(ui.labelNameWarning, ui.lineEditProfileName,
                    kind == 4 ? kWireGuardNameValidTip : kNameValidTip);
        switch (kind) {
        case 1:
            markAddress(ui.lineEditIpOrHost);
            markAddress(ui.lineEditRemoteIP);
            markLineEdit(ui.lineEditRemoteNetworkMask);
            markRow(ui.IPSecGatewayWidget);
            markLineEdit(ui.lineEditPSK);
            markLineEdit(ui.lineEditDPDPeriod);
            break;
        case 2:
        case 3: {
            const bool ssl = kind == 2;
            markFrame(ui.widgetFileName);
            markFrame(ui.btnOpenVPNImport);
            markAddress(ui.lineEditEndpoint);
            markLineEdit(ui.lineEditPeerPort);
            markLineEdit(ssl ? ui.lineEditSSLUserName : ui.lineEditUserName);
            markFrame(ssl ? ui.widgetSSLPassword : ui.widgetPassword);
            markAddress(ssl ? ui.lineEditSSLDNSAddr : ui.lineEditOpenDNSAddr);
            markAddress(ssl ? ui.lineEditSSLWinSer : ui.lineEditOpenWinSer);
            markRow(ssl ? ui.sslGatewayWidget : ui.gatewayWidget);
            break;
        }
        default:
            showWarning(ui.labelPublicKeyWarning, ui.lineEditPubKey, kKeyLengthTip);
            showWarning(ui.labelPriKeyWarning, ui.lineEditWireGuardPriKey, kKeyLengthTip);
            showWarning(ui.labelPubKeyWarning, ui.lineEditWireGuardPubKey, kKeyLengthTip);
            markAddress(ui.lineEditEndpoint);
            markAddress(ui.lineEditInterAddr);
            markLineEdit(ui.lineEditPeerPort);
            markLineEdit(ui.lineEditWireGuardInterPort);
            markLineEdit(ui.lineEditSubMask);
            markRow(ui.wireguardGatewayWidget);
            break;
        }
    }

    // Grows the scroll area to its content, so that the whole page is in the picture.
    void showWhole() {
        show();
        settle();
        const int content = ui.scrollAreaWidgetContents->sizeHint().height();
        ui.scrollArea->setMinimumHeight(content);
        const int whole = content + ui.titleWidget->height() + ui.bottomWidget_2->height() + 2 * 24;
        setMinimumHeight(whole);
        clearMask();
        resize(width(), whole);
        settle();
    }

    using ProfileConfigDialog::fitToScreenHeight;

    // The size the form gives the window, whatever the screen.
    void showFormSize() {
        setMinimumHeight(818);
        resize(604, 818);
    }
};

const char* const kKindNames[] = {"ipsec", "sslvpn", "openvpn", "wireguard"};

// Stores a profile of each kind (1 to 4) as the editor saves them; the profile rows.
std::vector<ProfileInfo> storeProfiles() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    std::vector<ProfileInfo> profiles;
    const auto addProfile = [&](const char* name, int kind, int configID) {
        ProfileInfo profile;
        std::snprintf(profile.ProfileName, sizeof profile.ProfileName, "%s", name);
        profile.ProfileType = kind;
        profile.ConfigID = configID;
        app->GetSqlite()->InsertProfile(&profile);
        profiles.push_back(profile);
    };

    IPSecVPNInfo ipsec;
    ipsec.SetVersionValue(1);
    ipsec.SetPolicyName("Office_Berlin");
    ipsec.SetLocalAddress("192.168.1.20");
    ipsec.SetRemoteAddrs("203.0.113.1");
    ipsec.SetTransportProtocolValue(1);
    ipsec.SetRemoteTrafficSelectors({"10.10.0.0/16", "10.20.0.0/16", "172.16.8.0/24"});
    ipsec.SetProtocolTypeValue(2);
    ipsec.SetEspProposals("sha256-aes256");
    ipsec.SetIkeEncryption("aes256");
    ipsec.SetIkeHash("sha256");
    ipsec.SetIkeDHGroup("modp2048");
    ipsec.SetPSKSecret("Office_Berlin_key");
    ipsec.SetEnableDPD(1);
    ipsec.SetDPDPeriod(30);
    app->GetIPSecVPNContext()->AddIPSecInfo(&ipsec, 1);
    addProfile("Office_Berlin", 1, ipsec.GetID());

    for (int kind : {2, 3}) {
        OpenVPNInfo openvpn;
        std::strcpy(openvpn.ServerIP, kind == 2 ? "198.51.100.7" : "198.51.100.8");
        openvpn.ServerPort = kind == 2 ? 443 : 1194;
        std::strcpy(openvpn.ConfigFilePath, kind == 2 ? "/home/anna/Downloads/branch-oslo-ssl.ovpn"
                                                      : "/home/anna/Downloads/home-lab.ovpn");
        openvpn.NeedPwd = 1;
        std::strcpy(openvpn.UserName, "anna_k");
        std::strcpy(openvpn.UserPwd, "correct_horse");
        openvpn.RememberMe = 1;
        openvpn.PromptPwd = kind == 2 ? 0 : 1;
        openvpn.LocalIPType = kind == 2 ? 0 : 1;
        std::strcpy(openvpn.LocalDns, kind == 2 ? "10.0.0.53" : "");
        std::strcpy(openvpn.LocalWinsServer, "10.0.0.54");
        openvpn.EnableFullTraffic = 0;
        std::strcpy(openvpn.AllowdIPs, "10.1.0.0/16, 192.168.50.0/24");
        openvpn.VPNConfig = "client\n";
        app->GetOpenVPNContext()->AddOpenVPNInfo(&openvpn, 1);
        addProfile(kind == 2 ? "Branch_Oslo" : "Home_Lab", kind, openvpn.ID);
    }

    WireGuardVPNInfo wireguard;
    std::strcpy(wireguard.WanIP, "198.51.100.20");
    wireguard.PeerPort = 51820;
    std::strcpy(wireguard.PeerPubKey, "hSDwCYkwp1R0i33ctD73Wg2/Og0mOBr066SpjqqbTmo=");
    std::strcpy(wireguard.IPAddr, "10.8.0.2");
    wireguard.InterSubMask = 24;
    wireguard.InterPort = 51821;
    std::strcpy(wireguard.InterPriKey, "yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=");
    std::strcpy(wireguard.InterPubKey, "HIgo9xNzJMWLKASShiTqIybxZ0U3wGLiUeJ1PKf8ykw=");
    std::strcpy(wireguard.DNS, "10.8.0.1");
    std::strcpy(wireguard.PreShardKey, "FpCyhws9cxwWoV4xELtfJvjJN+zQVRPISllRWgeopVE=");
    wireguard.KeepaliveTime = 25;
    std::strcpy(wireguard.AllowdIPs, "10.8.0.0/24, 192.168.60.0/24");
    app->GetWireGuardContext()->AddWireGuardInfo(&wireguard, 1);
    addProfile("Lab_WireGuard", 4, wireguard.ID);
    return profiles;
}

void clearFocus() {
    if (QWidget* focus = QApplication::focusWidget()) {
        focus->clearFocus();
    }
}

} // namespace

KORVA_SHOTS(editor) {
    {
        ShotEditor editor;
        editor.showFormSize();
        save(QStringLiteral("editor-window"), picture(&editor, mode.window, 0));
        editor.close();
    }
    {
        ShotEditor editor(true, QStringLiteral("Branch_office"), 4);
        editor.showFormSize();
        save(QStringLiteral("editor-window-edit"), picture(&editor, mode.window, 0));
        editor.close();
    }
    // On a laptop's screen (1280x800): the window at 90% of its height, the form scrolled
    // to its top and to its end above the button row.
    for (bool end : {false, true}) {
        ShotEditor editor;
        editor.showKind(4, false);
        editor.showFormSize();
        editor.fitToScreenHeight(800);
        editor.show();
        settle();
        QScrollBar* bar = editor.findChild<QScrollArea*>(QStringLiteral("scrollArea"))->verticalScrollBar();
        bar->setValue(end ? bar->maximum() : 0);
        save(QLatin1String(end ? "editor-window-laptop-end" : "editor-window-laptop"),
             picture(&editor, mode.window, 0));
        editor.close();
    }
    // The drop-down lists opened: the kind selector's and a proposal selector's.
    {
        ShotEditor editor;
        editor.showFormSize();
        editor.show();
        settle();
        const struct {
            const char* name;
            const char* combo;
        } lists[] = {{"editor-kind-list", "comboBoxVPNType"},
                     {"editor-encryption-list", "comboBoxEncryption"}};
        for (const auto& list : lists) {
            auto* combo = editor.findChild<QComboBox*>(QLatin1String(list.combo));
            if (combo == nullptr) {
                continue;
            }
            combo->showPopup();
            settle();
            save(QLatin1String(list.name), picture(combo->view()->window(), mode.card, 16));
            combo->hidePopup();
        }
        editor.close();
    }
    for (int kind = 1; kind <= 4; ++kind) {
        for (bool warnings : {false, true}) {
            ShotEditor editor;
            editor.showKind(kind, kind == 2 || kind == 3);
            if (warnings) {
                editor.fillForWarnings(kind);
            }
            editor.showWhole();
            // Moving the focus off an address editor takes its mark away, so the focus
            // goes before the marks come.
            clearFocus();
            if (warnings) {
                editor.showEveryWarning(kind);
            }
            const QString name =
                QStringLiteral("editor-%1%2")
                    .arg(QLatin1String(kKindNames[kind - 1]), QLatin1String(warnings ? "-warnings" : ""));
            save(name, picture(&editor, mode.window, 0));
            editor.close();
        }
    }
}

KORVA_SHOTS(editorloaded) {
    ScratchStore store;
    if (!store.started()) {
        return;
    }
    for (const ProfileInfo& profile : storeProfiles()) {
        ShotEditor editor(profile);
        editor.showWhole();
        clearFocus();
        save(QStringLiteral("editor-%1-loaded").arg(QLatin1String(kKindNames[profile.ProfileType - 1])),
             picture(&editor, mode.window, 0));
        editor.close();
    }
}

// The refusals of an OpenVPN configuration's import, in English and in the languages
// whose texts run longest.
KORVA_SHOTS(editorimport) {
    const struct {
        const char* name;
        const char* key;
        const char* subject;
    } refusals[] = {
        {"unsafe", EditorTexts::kImportUnsafeKey, "script-security"},
        {"unreadable", EditorTexts::kImportUnreadableKey, "client-keys/office-berlin.crt"},
        {"not-kept", EditorTexts::kImportNotKeptKey, "capath"},
    };
    for (const char* language : {"en", "de", "ru", "ja"}) {
        QTranslator translator;
        if (!translator.load(QStringLiteral(KORVA_TRANSLATION_PREFIX) + QLatin1String(language),
                             QStringLiteral(KORVA_TRANSLATION_DIR))) {
            continue;
        }
        QApplication::installTranslator(&translator);
        for (const auto& refusal : refusals) {
            ZRErrorDialog prompt;
            prompt.setContent(ZRStringConstant::tr(refusal.key)
                                  .arg(12)
                                  .arg(QStringLiteral("office-berlin.ovpn"), QLatin1String(refusal.subject)));
            save(QStringLiteral("editor-import-%1-%2")
                     .arg(QLatin1String(refusal.name), QLatin1String(language)),
                 picture(&prompt, mode.window, 0));
            prompt.hide();
        }
        QApplication::removeTranslator(&translator);
    }
}
