// The profile editor's pictures: the window as it opens, and each kind page whole (the
// scroll area grown to its content), empty and with every warning of its page shown.
#include "Shots.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>

#include "EditorTexts.h"
#include "ProfileConfigDialog.h"
#include "ZRInputIpLineEdit.h"

using namespace shots;

namespace {

// Reaches the editor's form and its marks, as the kinds' saves do.
class ShotEditor : public ProfileConfigDialog {
public:
    explicit ShotEditor(bool edit = false, const QString& name = QString(), int kind = 0)
        : ProfileConfigDialog(nullptr, edit, name, edit ? 1 : 0, edit ? 1 : 0, kind) {}

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
    void addRow(QWidget* container, QPushButton* add, QRadioButton* fullTraffic, int ipsec,
                const QString& address, const QString& mask) {
        if (fullTraffic != nullptr) {
            fullTraffic->setChecked(false);
            add->show();
        }
        addRowByButton(container, add, ipsec);
        rowAddresses(container).last()->setIpAddress(address);
        rowMasks(container).last()->setText(mask);
    }

    void markRow(QWidget* container) {
        markAddress(rowAddresses(container).last());
        markLineEdit(rowMasks(container).last());
    }

    // What the user typed and chose before Confirm: a name, a remote-subnet row, DPD on,
    // a manual DNS address.
    void fillForWarnings(int kind) {
        ui.lineEditProfileName->setText(QStringLiteral("Office"));
        switch (kind) {
        case 1:
            addRow(ui.IPSecGatewayWidget, ui.btnIPSecAddMoreAddress, nullptr, 1, QStringLiteral("10.0.8.0"),
                   QStringLiteral("24"));
            ui.btnDPD->click();
            break;
        case 2:
            ui.lineEditSSLUserName->setText(QStringLiteral("user-1"));
            ui.btnSSLManuIP->click();
            addRow(ui.sslGatewayWidget, ui.btnSSLAddGateway, ui.btnSSLFullTraffic, 0,
                   QStringLiteral("192.168.10.0"), QStringLiteral("24"));
            break;
        case 3:
            ui.lineEditUserName->setText(QStringLiteral("user-1"));
            ui.btnOpenManuIP->click();
            addRow(ui.gatewayWidget, ui.btnAddGateway, ui.btnOpenFullTraffic, 0,
                   QStringLiteral("192.168.10.0"), QStringLiteral("24"));
            break;
        default:
            ui.lineEditPubKey->setText(QStringLiteral("not-a-key"));
            addRow(ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, ui.btnWireGuardFullTraffic, 0,
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

    // The size the form gives the window, whatever the screen.
    void showFormSize() {
        setMinimumHeight(818);
        resize(604, 818);
    }
};

const char* const kKindNames[] = {"ipsec", "sslvpn", "openvpn", "wireguard"};

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
