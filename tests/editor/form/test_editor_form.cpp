// The editor's form on its own: every widget that the code and the style sheets reach by
// name, the kinds' page order, and the state the form leaves before the dialog acts on it.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <gtest/gtest.h>

#include "EditorTestSupport.h"

namespace {

struct FormOnly {
    FormOnly() { form.setupUi(&dialog); }
    QDialog dialog;
    Ui::ProfileConfigDialog form;
};

struct Named {
    const char* name;
    const char* className;
};

// The widgets by which the dialog's code, the style sheets and the next steps reach the form.
const Named kNamedWidgets[] = {
    {"dialogWidget", "QWidget"},
    {"titleWidget", "QWidget"},
    {"labelTitle", "QLabel"},
    {"btnClose", "QPushButton"},
    {"scrollArea", "QScrollArea"},
    {"scrollAreaWidgetContents", "QWidget"},
    {"systemInfoWidget", "QWidget"},
    {"stackedWidgetVPNType", "QStackedWidget"},
    {"bottomWidget_2", "QWidget"},
    {"btnCancel", "QPushButton"},
    {"btnConfirm", "QPushButton"},
    {"serverInfoTitle", "QLabel"},
    {"line", "QFrame"},
    {"widgetProfileName", "QWidget"},
    {"labelProfileName", "QLabel"},
    {"lineEditProfileName", "QLineEdit"},
    {"labelNameWarning", "QLabel"},
    {"widgetVPNType", "QWidget"},
    {"comboBoxVPNType", "QComboBox"},
    {"widgetImportFile", "QWidget"},
    {"btnOpenVPNImport", "QPushButton"},
    {"widgetFileName", "QWidget"},
    {"labelFile", "QLabel"},
    {"lineEditImportFile", "QLineEdit"},
    {"widgetIpOrHostName", "QWidget"},
    {"labelServerIP", "QLabel"},
    {"lineEditIpOrHost", "ZRInputIpLineEdit"},
    {"widgetIKEVersion", "QWidget"},
    {"btnIKEv1", "QRadioButton"},
    {"btnIKEv2", "QRadioButton"},
    {"widgetEndPoint", "QWidget"},
    {"lineEditEndpoint", "ZRInputIpLineEdit"},
    {"label_75", "QLabel"},
    {"lineEditPeerPort", "QLineEdit"},
    {"widgetPublicKey", "QWidget"},
    {"labelWireguardServerPubKey", "QLabel"},
    {"lineEditPubKey", "QLineEdit"},
    {"labelPublicKeyWarning", "QLabel"},
    // IPsec page
    {"pageIPSecTunnel", "QWidget"},
    {"pageIPSecTunnelContainer", "QWidget"},
    {"label", "QLabel"},
    {"line_4", "QFrame"},
    {"btnStandardTunnel", "QRadioButton"},
    {"btnSpecifiedRemoteAddr", "QRadioButton"},
    {"labelRemoteNetwork", "QLabel"},
    {"lineEditRemoteIP", "ZRInputIpLineEdit"},
    {"lineEditRemoteNetworkMask", "QLineEdit"},
    {"IPSecGatewayWidget", "QWidget"},
    {"btnIPSecAddMoreAddress", "QPushButton"},
    {"label_6", "QLabel"},
    {"line_7", "QFrame"},
    {"comboBoxLocalIP", "QComboBox"},
    {"label_7", "QLabel"},
    {"line_8", "QFrame"},
    {"labelEncryptionP1", "QLabel"},
    {"comboBoxEncryption", "QComboBox"},
    {"labelAuthenticationP1", "QLabel"},
    {"comboBoxAuthentication", "QComboBox"},
    {"labelKeyGroup", "QLabel"},
    {"comboBoxKeyGroup", "QComboBox"},
    {"btnAH", "QRadioButton"},
    {"btnESP", "QRadioButton"},
    {"comboBoxAlgrithmOne", "QComboBox"},
    {"comboBoxAlgrithmTwo", "QComboBox"},
    {"labelPSK", "QLabel"},
    {"lineEditPSK", "QLineEdit"},
    {"btnDPD", "QRadioButton"},
    {"DPDPeriodwidget", "QWidget"},
    {"labelDPDPeriod", "QLabel"},
    {"widgetDPDNum", "QWidget"},
    {"lineEditDPDPeriod", "QLineEdit"},
    {"labelDPDUnit", "QLabel"},
    {"labelDPDRange", "QLabel"},
    // SSL VPN page
    {"pageSSLVPN", "QWidget"},
    {"pageSSLVPNContainer", "QWidget"},
    {"sslVpnInfoWidget", "QWidget"},
    {"label_64", "QLabel"},
    {"line_16", "QFrame"},
    {"lineEditSSLUserName", "QLineEdit"},
    {"widgetSSLPassword", "QWidget"},
    {"lineEditSSLPassword", "QLineEdit"},
    {"btnSSLShowPwd", "QPushButton"},
    {"btnSSLRememberPass", "QRadioButton"},
    {"btnSSLPrompt", "QRadioButton"},
    {"label_78", "QLabel"},
    {"line_18", "QFrame"},
    {"btnSSLAutoIP", "QRadioButton"},
    {"btnSSLManuIP", "QRadioButton"},
    {"lineEditSSLDNSAddr", "ZRInputIpLineEdit"},
    {"lineEditSSLWinSer", "ZRInputIpLineEdit"},
    {"Advanced_options_label", "QLabel"},
    {"line_17", "QFrame"},
    {"labelSSLVpnEnableFullTraffic", "QLabel"},
    {"btnSSLFullTraffic", "QRadioButton"},
    {"sslGatewayWidget", "QWidget"},
    {"btnSSLAddGateway", "QPushButton"},
    // OpenVPN page
    {"pageOpenVPN", "QWidget"},
    {"pageOpenVPNContainer", "QWidget"},
    {"openVpnInfoWidget", "QWidget"},
    {"label_25", "QLabel"},
    {"line_10", "QFrame"},
    {"lineEditUserName", "QLineEdit"},
    {"widgetPassword", "QWidget"},
    {"lineEditPassword", "QLineEdit"},
    {"btnShowPwd", "QPushButton"},
    {"btnOpenRememberPass", "QRadioButton"},
    {"btnOpenPrompt", "QRadioButton"},
    {"label_55", "QLabel"},
    {"line_14", "QFrame"},
    {"btnOpenAutoIP", "QRadioButton"},
    {"btnOpenManuIP", "QRadioButton"},
    {"lineEditOpenDNSAddr", "ZRInputIpLineEdit"},
    {"lineEditOpenWinSer", "ZRInputIpLineEdit"},
    {"label_38", "QLabel"},
    {"line_13", "QFrame"},
    {"labelOpenvpnEnableFullTraffic", "QLabel"},
    {"btnOpenFullTraffic", "QRadioButton"},
    {"gatewayWidget", "QWidget"},
    {"btnAddGateway", "QPushButton"},
    // WireGuard page
    {"pageWireGuardVPN", "QWidget"},
    {"pageWireGuardVPNContainer", "QWidget"},
    {"interfaceTitle", "QLabel"},
    {"line_2", "QFrame"},
    {"labelWireguardIPAddr", "QLabel"},
    {"lineEditInterAddr", "ZRInputIpLineEdit"},
    {"lineEditSubMask", "QLineEdit"},
    {"lineEditWireGuardInterPort", "QLineEdit"},
    {"labelInterPortOptional", "QLabel"},
    {"btnGenKeys", "QPushButton"},
    {"labelWireguardPeerPriKey", "QLabel"},
    {"lineEditWireGuardPriKey", "QLineEdit"},
    {"labelPriKeyWarning", "QLabel"},
    {"labelWireguardPeerPubKey", "QLabel"},
    {"lineEditWireGuardPubKey", "QLineEdit"},
    {"labelPubKeyWarning", "QLabel"},
    {"lineEditWireGuardDNS", "ZRInputIpLineEdit"},
    {"labelDNSOptional", "QLabel"},
    {"advancedTitle", "QLabel"},
    {"line_15", "QFrame"},
    {"labelWireguardPreSharedKey", "QLabel"},
    {"lineEditWireGuardShardKey", "QLineEdit"},
    {"labelDNSOptional_3", "QLabel"},
    {"labelWireguardKeepalive", "QLabel"},
    {"widgetKeepAlive", "QWidget"},
    {"lineEditWireGuardKeepAlive", "QLineEdit"},
    {"labelKeepAliveUnit", "QLabel"},
    {"labelDNSOptional_2", "QLabel"},
    {"labelWireguardEnableFullTraffic", "QLabel"},
    {"btnWireGuardFullTraffic", "QRadioButton"},
    {"wireguardGatewayWidget", "QWidget"},
    {"btnWireGuardAddGateway", "QPushButton"},
};

TEST(EditorForm, HoldsEveryNamedWidgetOfItsClass) {
    FormOnly f;
    for (const Named& named : kNamedWidgets) {
        auto* widget = f.dialog.findChild<QWidget*>(QString::fromLatin1(named.name));
        ASSERT_NE(widget, nullptr) << named.name;
        EXPECT_TRUE(widget->inherits(named.className))
            << named.name << " is " << widget->metaObject()->className();
        const auto names = f.dialog.findChildren<QWidget*>(QString::fromLatin1(named.name));
        EXPECT_EQ(names.size(), 1) << named.name << " stands more than once";
    }
}

TEST(EditorForm, KindPagesStandAtTheirKindLessOne) {
    FormOnly f;
    const QWidget* pages[] = {f.form.pageIPSecTunnel, f.form.pageSSLVPN, f.form.pageOpenVPN,
                              f.form.pageWireGuardVPN};
    const QWidget* containers[] = {f.form.pageIPSecTunnelContainer, f.form.pageSSLVPNContainer,
                                   f.form.pageOpenVPNContainer, f.form.pageWireGuardVPNContainer};
    ASSERT_EQ(f.form.stackedWidgetVPNType->count(), 4);
    for (int kind = 1; kind <= 4; ++kind) {
        EXPECT_EQ(f.form.stackedWidgetVPNType->indexOf(const_cast<QWidget*>(pages[kind - 1])), kind - 1);
        EXPECT_EQ(containers[kind - 1]->parentWidget(), pages[kind - 1]);
    }
    EXPECT_EQ(f.form.stackedWidgetVPNType->currentIndex(), 0);
}

TEST(EditorForm, LeavesItsOwnStateBeforeTheDialogActs) {
    FormOnly f;
    Ui::ProfileConfigDialog& u = f.form;
    EXPECT_EQ(f.dialog.size(), QSize(604, 818));
    EXPECT_EQ(f.dialog.minimumSize(), QSize(604, 818));
    for (QRadioButton* on : {u.btnIKEv1, u.btnStandardTunnel, u.btnESP}) {
        EXPECT_TRUE(on->isChecked()) << on->objectName().toStdString();
    }
    for (QRadioButton* off :
         {u.btnIKEv2, u.btnSpecifiedRemoteAddr, u.btnAH, u.btnDPD, u.btnOpenRememberPass, u.btnOpenPrompt,
          u.btnOpenAutoIP, u.btnOpenManuIP, u.btnOpenFullTraffic, u.btnSSLRememberPass, u.btnSSLPrompt,
          u.btnSSLAutoIP, u.btnSSLManuIP, u.btnSSLFullTraffic, u.btnWireGuardFullTraffic}) {
        EXPECT_FALSE(off->isChecked()) << off->objectName().toStdString();
    }
    ASSERT_EQ(u.comboBoxVPNType->count(), 4);
    const char* items[] = {"IPSec Tunnel", "SSL VPN", "OpenVPN", "WireGuard"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(u.comboBoxVPNType->itemText(i), QString::fromLatin1(items[i]));
        EXPECT_FALSE(u.comboBoxVPNType->itemData(i, Qt::UserRole).isValid());
    }
    for (QComboBox* combo : {u.comboBoxLocalIP, u.comboBoxEncryption, u.comboBoxAuthentication,
                             u.comboBoxKeyGroup, u.comboBoxAlgrithmOne, u.comboBoxAlgrithmTwo}) {
        EXPECT_EQ(combo->count(), 0) << combo->objectName().toStdString();
    }
    EXPECT_TRUE(u.lineEditImportFile->isReadOnly());
    for (QLineEdit* field : f.dialog.findChildren<QLineEdit*>()) {
        EXPECT_TRUE(field->text().isEmpty()) << field->objectName().toStdString();
        EXPECT_EQ(field->echoMode(), QLineEdit::Normal) << field->objectName().toStdString();
        EXPECT_EQ(field->validator() == nullptr || field->parentWidget()->inherits("ZRInputIpLineEdit"), true)
            << field->objectName().toStdString();
    }
    for (QWidget* widget : f.dialog.findChildren<QWidget*>()) {
        EXPECT_TRUE(widget->toolTip().isEmpty()) << widget->objectName().toStdString();
    }
    for (QLabel* warning :
         {u.labelNameWarning, u.labelPublicKeyWarning, u.labelPriKeyWarning, u.labelPubKeyWarning}) {
        EXPECT_TRUE(warning->text().isEmpty());
    }
}

TEST(EditorForm, ButtonsAndSelectorsShowThePointingHand) {
    FormOnly f;
    for (QAbstractButton* button : f.dialog.findChildren<QAbstractButton*>()) {
        if (button->inherits("QPushButton") || button->inherits("QRadioButton")) {
            EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor) << button->objectName().toStdString();
        }
    }
    for (QComboBox* combo :
         {f.form.comboBoxVPNType, f.form.comboBoxAlgrithmOne, f.form.comboBoxAlgrithmTwo}) {
        EXPECT_EQ(combo->cursor().shape(), Qt::PointingHandCursor) << combo->objectName().toStdString();
    }
}

TEST(EditorForm, ReadsItsEnglishTextsAndRetranslatesOnlyTexts) {
    FormOnly f;
    Ui::ProfileConfigDialog& u = f.form;
    EXPECT_EQ(u.btnStandardTunnel->text(), QStringLiteral("Standard IPSec Tunnel"));
    EXPECT_EQ(u.btnSpecifiedRemoteAddr->text(), QStringLiteral("Specify Remote Network IP Address"));
    EXPECT_EQ(u.btnOpenManuIP->text(), QStringLiteral("Manualy set DNS server"));
    EXPECT_EQ(u.label_75->text(), QString::fromUtf8("：："));
    EXPECT_EQ(u.lineEditPeerPort->placeholderText(), QStringLiteral("Port"));
    EXPECT_EQ(u.labelTitle->text(), QStringLiteral("Add New Profile"));

    u.labelTitle->setText(QStringLiteral("Edit Profile"));
    u.labelNameWarning->setText(QStringLiteral("warning"));
    u.lineEditPeerPort->setText(QStringLiteral("443"));
    u.btnDPD->setChecked(true);
    u.retranslateUi(&f.dialog);
    EXPECT_EQ(u.labelTitle->text(), QStringLiteral("Add New Profile"));
    EXPECT_TRUE(u.labelNameWarning->text().isEmpty());
    EXPECT_EQ(u.lineEditPeerPort->text(), QStringLiteral("443"));
    EXPECT_TRUE(u.btnDPD->isChecked());
}

TEST(EditorForm, CredentialSwitchesAreIndependentAndFullTrafficToggles) {
    FormOnly f;
    Ui::ProfileConfigDialog& u = f.form;
    f.dialog.resize(604, 818);
    ASSERT_TRUE(guitest::showAndExpose(&f.dialog));
    u.stackedWidgetVPNType->setCurrentIndex(2);
    editortest::click(u.btnOpenRememberPass);
    editortest::click(u.btnOpenPrompt);
    EXPECT_TRUE(u.btnOpenRememberPass->isChecked());
    EXPECT_TRUE(u.btnOpenPrompt->isChecked());
    editortest::click(u.btnOpenPrompt);
    EXPECT_FALSE(u.btnOpenPrompt->isChecked());
    EXPECT_TRUE(u.btnOpenRememberPass->isChecked());
    // A switch alone among the buttons of its parent turns off again.
    editortest::click(u.btnOpenFullTraffic);
    EXPECT_TRUE(u.btnOpenFullTraffic->isChecked());
    editortest::click(u.btnOpenFullTraffic);
    EXPECT_FALSE(u.btnOpenFullTraffic->isChecked());
    // The DNS choice is one exclusive pair.
    editortest::click(u.btnOpenAutoIP);
    editortest::click(u.btnOpenManuIP);
    EXPECT_FALSE(u.btnOpenAutoIP->isChecked());
    EXPECT_TRUE(u.btnOpenManuIP->isChecked());
}

TEST(EditorForm, GenerateLinesUpWithTheInputsOfTheWireGuardPage) {
    FormOnly f;
    Ui::ProfileConfigDialog& u = f.form;
    u.stackedWidgetVPNType->setCurrentIndex(3);
    ASSERT_TRUE(guitest::showAndExpose(&f.dialog));
    QWidget* page = u.pageWireGuardVPNContainer;
    const int generate = u.btnGenKeys->mapTo(page, QPoint(0, 0)).x();
    EXPECT_EQ(generate, u.lineEditWireGuardPriKey->mapTo(page, QPoint(0, 0)).x());
    EXPECT_EQ(generate, u.lineEditWireGuardInterPort->mapTo(page, QPoint(0, 0)).x());
    EXPECT_EQ(generate, 156);
}

} // namespace
