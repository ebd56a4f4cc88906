// The editor's window: add and edit mode, the defaults of a new profile, the kind switch
// with its visibility table, the reset of every page, the backdrop, the height rule, the
// event filter (wheel, clear-file hover, focus frames) and a language change.
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QWheelEvent>

#include "EditorTestSupport.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"

using editortest::chooseKind;
using editortest::click;
using editortest::EditorTest;
using editortest::TestEditor;
using editortest::typeAddress;
using editortest::typeInto;

namespace {

bool shown(const QWidget* widget) {
    return widget->isVisible();
}

TEST_F(EditorTest, NewProfileStartsOnTheIPsecPageWithItsDefaults) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    EXPECT_EQ(u.labelTitle->text(), QStringLiteral("Add New Profile"));
    EXPECT_FALSE(u.btnShowPwd->isHidden());
    EXPECT_FALSE(u.btnSSLShowPwd->isHidden());
    EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), 0);
    EXPECT_FALSE(shown(u.IPSecGatewayWidget));
    EXPECT_FALSE(shown(u.btnIKEv2));
    EXPECT_TRUE(shown(u.btnIKEv1));

    // The kind selector: the kinds as item data, their texts from the text keys.
    const char* texts[] = {"IPsec VPN", "SSL VPN", "Openvpn", "Wireguard VPN"};
    ASSERT_EQ(u.comboBoxVPNType->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(u.comboBoxVPNType->itemData(i, Qt::UserRole).toInt(), i + 1);
        EXPECT_EQ(u.comboBoxVPNType->itemText(i), QString::fromLatin1(texts[i]));
    }

    // SSL VPN, OpenVPN and WireGuard: full traffic on, no rows, their add buttons hidden;
    // automatic DNS with the address field disabled, the credentials prompt on.
    for (QRadioButton* full : {u.btnOpenFullTraffic, u.btnSSLFullTraffic, u.btnWireGuardFullTraffic}) {
        EXPECT_TRUE(full->isChecked()) << full->objectName().toStdString();
    }
    for (QWidget* hidden : {static_cast<QWidget*>(u.btnAddGateway), static_cast<QWidget*>(u.btnSSLAddGateway),
                            static_cast<QWidget*>(u.btnWireGuardAddGateway), u.gatewayWidget,
                            u.sslGatewayWidget, u.wireguardGatewayWidget}) {
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    }
    EXPECT_TRUE(u.btnOpenAutoIP->isChecked());
    EXPECT_TRUE(u.btnSSLAutoIP->isChecked());
    EXPECT_FALSE(u.lineEditOpenDNSAddr->isEnabled());
    EXPECT_FALSE(u.lineEditSSLDNSAddr->isEnabled());
    EXPECT_TRUE(u.lineEditOpenWinSer->isEnabled());
    EXPECT_TRUE(u.btnOpenPrompt->isChecked());
    EXPECT_TRUE(u.btnSSLPrompt->isChecked());
    EXPECT_FALSE(u.btnOpenRememberPass->isChecked());

    // Password echo on the three secrets that the Parts hide.
    EXPECT_EQ(u.lineEditWireGuardPriKey->echoMode(), QLineEdit::Password);
    EXPECT_EQ(u.lineEditPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(u.lineEditSSLPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(u.lineEditPSK->echoMode(), QLineEdit::Normal);
    // The name and the pre-shared key have typing limits of their own (the key takes every
    // printable character) and take no input method.
    EXPECT_NE(u.lineEditProfileName->validator(), nullptr);
    EXPECT_NE(u.lineEditPSK->validator(), nullptr);
    EXPECT_NE(u.lineEditProfileName->validator(), u.lineEditPSK->validator());
    EXPECT_FALSE(u.lineEditProfileName->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_FALSE(u.lineEditPSK->testAttribute(Qt::WA_InputMethodEnabled));
}

TEST_F(EditorTest, LabelsCarryTheirToolTips) {
    TestEditor editor;
    Ui::ProfileConfigDialog& u = editor.form();
    const struct {
        QWidget* widget;
        const char* text;
    } tips[] = {
        {u.labelRemoteNetwork, "Specify the remote network."},
        {u.labelProfileName, "Enter a name to identify the VPN policy."},
        {u.labelEncryptionP1, "Select the Encryption Algorithm of Phase One"},
        {u.labelAuthenticationP1, "Select the Authentication Algorithm of Phase One"},
        {u.labelKeyGroup, "Select the Key Group of Phase One"},
        {u.comboBoxAlgrithmOne, "Select the Authentication Algorithm of Phase Two"},
        {u.comboBoxAlgrithmTwo, "Select the Encryption Algorithm of Phase Two"},
        {u.labelDPDPeriod, "Interval between sending DPD requests."},
        {u.labelPSK, "Select the Specify the unique pre-shared key for both peers' authentication."},
        {u.labelServerIP, "VPN Server IP Address"},
        {u.labelWireguardServerPubKey, "Fill in the public key information exported on the server"},
        {u.labelWireguardIPAddr, "The interface IP address for the WireGuard VPN"},
        {u.labelWireguardPeerPriKey, "Specify the private key of the Wireguard peer."},
        {u.labelWireguardPeerPubKey, "Specify the public key of the Wireguard peer."},
        {u.labelWireguardPreSharedKey, "Specify an optional shared key."},
        {u.labelWireguardKeepalive, "Specify the tunnel keepalive packet interval."},
    };
    for (const auto& tip : tips) {
        EXPECT_EQ(tip.widget->toolTip(), QString::fromLatin1(tip.text))
            << tip.widget->objectName().toStdString();
    }
    const QString fullTraffic = ZRStringConstant::tr("TOAST_VPN_ENABLE_FULL_TRAFFIC_TIP");
    EXPECT_TRUE(fullTraffic.startsWith(QStringLiteral("When this function is turned on")));
    for (QLabel* label : {u.labelWireguardEnableFullTraffic, u.labelOpenvpnEnableFullTraffic,
                          u.labelSSLVpnEnableFullTraffic}) {
        EXPECT_EQ(label->toolTip(), fullTraffic);
    }
}

TEST_F(EditorTest, EditModeShowsItsTitleHidesShowPasswordAndOpensTheKindsPage) {
    const struct {
        int kind;
        int page;
    } cases[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}};
    for (const auto& c : cases) {
        TestEditor editor(true, QStringLiteral("Branch_1"), 7, 9, c.kind);
        Ui::ProfileConfigDialog& u = editor.form();
        EXPECT_EQ(u.labelTitle->text(), QStringLiteral("Edit Profile"));
        EXPECT_TRUE(u.btnShowPwd->isHidden());
        EXPECT_TRUE(u.btnSSLShowPwd->isHidden());
        EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), c.page);
        EXPECT_EQ(u.comboBoxVPNType->currentIndex(), c.page);
        EXPECT_EQ(u.lineEditProfileName->text(), QStringLiteral("Branch_1"));
    }
    // The edit flag alone sets the title: a profile id of 0 loads nothing.
    TestEditor unloaded(true, QStringLiteral("Branch_1"), 0, 9, 4);
    EXPECT_EQ(unloaded.form().labelTitle->text(), QStringLiteral("Edit Profile"));
    EXPECT_TRUE(unloaded.form().lineEditProfileName->text().isEmpty());
    EXPECT_EQ(unloaded.form().stackedWidgetVPNType->currentIndex(), 0);
}

// Which rows above the stack each kind shows, and its page.
struct KindView {
    int index;
    bool serverAddress, ikeVersion, endpoint, publicKey, importRow;
};
const KindView kKindViews[] = {
    {0, true, true, false, false, false},
    {1, false, false, true, false, true},
    {2, false, false, true, false, true},
    {3, false, false, true, true, false},
};

void expectKindView(TestEditor& editor, const KindView& view) {
    Ui::ProfileConfigDialog& u = editor.form();
    SCOPED_TRACE(testing::Message() << "page " << view.index);
    EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), view.index);
    EXPECT_EQ(u.comboBoxVPNType->currentIndex(), view.index);
    EXPECT_EQ(shown(u.widgetIpOrHostName), view.serverAddress);
    EXPECT_EQ(shown(u.widgetIKEVersion), view.ikeVersion);
    EXPECT_EQ(shown(u.widgetEndPoint), view.endpoint);
    EXPECT_EQ(shown(u.widgetPublicKey), view.publicKey);
    EXPECT_EQ(shown(u.widgetImportFile), view.importRow);
    QWidget* containers[] = {u.pageIPSecTunnelContainer, u.pageSSLVPNContainer, u.pageOpenVPNContainer,
                             u.pageWireGuardVPNContainer};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(shown(containers[i]), i == view.index);
    }
    if (view.importRow) {
        EXPECT_TRUE(shown(u.btnOpenVPNImport));
        EXPECT_FALSE(shown(u.widgetFileName));
    }
    if (view.index == 0) {
        EXPECT_FALSE(shown(u.DPDPeriodwidget));
    }
    if (view.index == 1) {
        EXPECT_EQ(shown(u.sslVpnInfoWidget), editor.needPassword());
    }
    if (view.index == 2) {
        EXPECT_EQ(shown(u.openVpnInfoWidget), editor.needPassword());
    }
}

TEST_F(EditorTest, KindSelectorSwitchesPagesByTheVisibilityTable) {
    for (bool credentials : {false, true}) {
        TestEditor editor;
        editor.setNeedPassword(credentials);
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        expectKindView(editor, kKindViews[0]);
        // Through every page and back, IPsec -> SSL VPN -> IPsec among them.
        for (int index : {1, 0, 2, 3, 2, 1, 3, 0}) {
            chooseKind(editor.form().comboBoxVPNType, index);
            expectKindView(editor, kKindViews[index]);
        }
    }
}

TEST_F(EditorTest, SwitchingEmptiesEveryPageAndKeepsNameTogglesAndAddButtons) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    typeInto(u.lineEditProfileName, QStringLiteral("Home_vpn"));
    typeAddress(u.lineEditIpOrHost, QStringLiteral("10.1.1.1"));
    typeInto(u.lineEditPSK, QStringLiteral("secret"));
    click(u.btnDPD);
    typeInto(u.lineEditDPDPeriod, QStringLiteral("30"));
    for (int i = 0; i < 13; ++i) {
        click(u.btnIPSecAddMoreAddress);
    }
    ASSERT_FALSE(u.btnIPSecAddMoreAddress->isEnabled());
    chooseKind(u.comboBoxVPNType, 3);
    typeAddress(u.lineEditEndpoint, QStringLiteral("1.2.3.4"));
    typeInto(u.lineEditPeerPort, QStringLiteral("51820"));
    typeInto(u.lineEditWireGuardPriKey, QStringLiteral("key"));
    click(u.btnWireGuardFullTraffic);
    ASSERT_EQ(editor.rowAddresses(u.wireguardGatewayWidget).size(), 1);

    chooseKind(u.comboBoxVPNType, 0);
    EXPECT_EQ(u.lineEditProfileName->text(), QStringLiteral("Home_vpn"));
    EXPECT_TRUE(u.lineEditIpOrHost->ipAddress().isEmpty());
    EXPECT_TRUE(u.lineEditEndpoint->ipAddress().isEmpty());
    EXPECT_TRUE(u.lineEditPSK->text().isEmpty());
    EXPECT_TRUE(u.lineEditDPDPeriod->text().isEmpty());
    EXPECT_TRUE(u.lineEditPeerPort->text().isEmpty());
    EXPECT_TRUE(u.lineEditWireGuardPriKey->text().isEmpty());
    EXPECT_TRUE(editor.rowAddresses(u.IPSecGatewayWidget).isEmpty());
    EXPECT_TRUE(editor.rowAddresses(u.wireguardGatewayWidget).isEmpty());
    EXPECT_TRUE(u.IPSecGatewayWidget->isHidden());
    // Toggles and the add buttons' enabled state are the user's, not the reset's.
    EXPECT_TRUE(u.btnDPD->isChecked());
    EXPECT_FALSE(u.btnWireGuardFullTraffic->isChecked());
    EXPECT_FALSE(u.btnIPSecAddMoreAddress->isEnabled());
    // The switch hides the DPD period row although DPD stays on.
    EXPECT_FALSE(shown(u.DPDPeriodwidget));
}

TEST_F(EditorTest, PickingTheShownEntryChangesNothing) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    chooseKind(u.comboBoxVPNType, 3);
    typeInto(u.lineEditPeerPort, QStringLiteral("443"));
    // Open the selector and click the entry it already shows, once the open selector takes
    // a click: a release sooner than a double click after it opened is ignored.
    u.comboBoxVPNType->showPopup();
    QElapsedTimer opened;
    opened.start();
    QAbstractItemView* view = u.comboBoxVPNType->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    ASSERT_TRUE(
        guitest::waitFor([&opened] { return opened.hasExpired(QApplication::doubleClickInterval()); }));
    QSignalSpy activated(u.comboBoxVPNType, SIGNAL(activated(int)));
    const QRect entry = view->visualRect(view->model()->index(3, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, entry.center());
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 3);
    EXPECT_EQ(u.lineEditPeerPort->text(), QStringLiteral("443"));
    EXPECT_EQ(u.stackedWidgetVPNType->currentIndex(), 3);
}

TEST_F(EditorTest, ResetEmptiesEveryFieldOfEveryPageAndNothingElse) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    editor.setNeedPassword(true);
    editor.setImportedFile(QStringLiteral("/tmp/office.ovpn"));
    u.lineEditImportFile->setText(QStringLiteral("office.ovpn"));
    u.lineEditImportFile->setToolTip(QStringLiteral("office.ovpn"));
    u.lineEditProfileName->setText(QStringLiteral("Kept"));
    QLineEdit* texts[] = {u.lineEditPeerPort,           u.lineEditPubKey,
                          u.lineEditUserName,           u.lineEditPassword,
                          u.lineEditSSLUserName,        u.lineEditSSLPassword,
                          u.lineEditRemoteNetworkMask,  u.lineEditPSK,
                          u.lineEditDPDPeriod,          u.lineEditSubMask,
                          u.lineEditWireGuardInterPort, u.lineEditWireGuardPriKey,
                          u.lineEditWireGuardPubKey,    u.lineEditWireGuardShardKey,
                          u.lineEditWireGuardKeepAlive};
    for (QLineEdit* field : texts) {
        field->setText(QStringLiteral("1"));
    }
    ZRInputIpLineEdit* addresses[] = {u.lineEditIpOrHost,   u.lineEditEndpoint,   u.lineEditOpenDNSAddr,
                                      u.lineEditOpenWinSer, u.lineEditSSLDNSAddr, u.lineEditSSLWinSer,
                                      u.lineEditRemoteIP,   u.lineEditInterAddr,  u.lineEditWireGuardDNS};
    for (ZRInputIpLineEdit* address : addresses) {
        address->setIpAddress(QStringLiteral("10.0.0.1"));
    }
    QWidget* containers[] = {u.gatewayWidget, u.sslGatewayWidget, u.IPSecGatewayWidget,
                             u.wireguardGatewayWidget};
    for (QWidget* container : containers) {
        editor.addRemoteSubnetRow(container, container == u.IPSecGatewayWidget ? 1 : 0);
        container->show();
    }
    u.btnAddGateway->setEnabled(false);
    u.btnAH->setChecked(true);
    editor.showWarning(u.labelPublicKeyWarning, u.lineEditPubKey, "ZRVPN_PROFILE_NAME_LENGTH_TIP");
    editor.markLineEdit(u.lineEditWireGuardShardKey);
    editor.markAddress(u.lineEditInterAddr);

    editor.resetAllFields();

    for (QLineEdit* field : texts) {
        EXPECT_TRUE(field->text().isEmpty()) << field->objectName().toStdString();
    }
    for (ZRInputIpLineEdit* address : addresses) {
        EXPECT_TRUE(address->ipAddress().isEmpty()) << address->objectName().toStdString();
    }
    for (QWidget* container : containers) {
        EXPECT_EQ(container->children().size(), 1) << container->objectName().toStdString();
        EXPECT_TRUE(container->isHidden());
    }
    EXPECT_TRUE(u.lineEditImportFile->text().isEmpty());
    EXPECT_TRUE(u.lineEditImportFile->toolTip().isEmpty());
    EXPECT_FALSE(editor.fileImported());
    EXPECT_TRUE(editor.configFilePath().isEmpty());
    // Kept: the name, the need for credentials, toggles, add buttons and the marks that
    // no change handling took away (a field without one, an address editor).
    EXPECT_EQ(u.lineEditProfileName->text(), QStringLiteral("Kept"));
    EXPECT_TRUE(editor.needPassword());
    EXPECT_TRUE(u.btnAH->isChecked());
    EXPECT_FALSE(u.btnAddGateway->isEnabled());
    EXPECT_EQ(u.lineEditWireGuardShardKey->styleSheet(), QStringLiteral("QLineEdit{border:1px solid red }"));
    EXPECT_EQ(u.lineEditInterAddr->styleSheet(), QStringLiteral("ZRInputIpLineEdit{border:1px solid red }"));
    // The public key's text changed, so its mark and message went with it.
    EXPECT_TRUE(u.labelPublicKeyWarning->text().isEmpty());
}

// The backdrops of the editor that exist once replaced ones are gone.
QList<QDialog*> backdrops(const QWidget* editor) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QDialog*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog != editor && dialog->testAttribute(Qt::WA_TranslucentBackground)) {
            found << dialog;
        }
    }
    return found;
}

QColor backdropShadow(QDialog* backdrop) {
    for (QWidget* child : backdrop->findChildren<QWidget*>()) {
        if (auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(child->graphicsEffect())) {
            return effect->color();
        }
    }
    return QColor();
}

TEST_F(EditorTest, BackdropLiesUnderTheDialogAndNeverStacks) {
    TestEditor editor;
    ASSERT_TRUE(backdrops(&editor).isEmpty());
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    ASSERT_EQ(backdrops(&editor).size(), 1);
    QDialog* backdrop = editor.backdrop();
    EXPECT_TRUE(backdrop->isVisible());
    EXPECT_EQ(backdrop->size(), editor.size() + QSize(48, 48));
    EXPECT_EQ(backdropShadow(backdrop), QColor(QStringLiteral("#A09BA1AA")));

    editor.move(editor.pos() + QPoint(30, 20));
    EXPECT_EQ(editor.backdrop()->pos(), editor.pos() - QPoint(24, 24));

    // Shown again after a hide: still one backdrop, and none while the dialog is hidden.
    editor.hide();
    EXPECT_FALSE(editor.backdrop()->isVisible());
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    EXPECT_EQ(backdrops(&editor).size(), 1);

    // A colour-mode change gives the backdrop the new mode's shadow colour.
    guitest::applyColorMode(2);
    QApplication::processEvents();
    ASSERT_EQ(backdrops(&editor).size(), 1);
    EXPECT_EQ(backdropShadow(editor.backdrop()), QColor(QStringLiteral("#FF000000")));
    guitest::applyColorMode(1);
    QApplication::processEvents();
    EXPECT_EQ(backdropShadow(editor.backdrop()), QColor(QStringLiteral("#A09BA1AA")));
    EXPECT_EQ(backdrops(&editor).size(), 1);
}

TEST_F(EditorTest, RunsModallyOverItsPageAndLeavesNoBackdrop) {
    enum Order { EditorFirst, BackdropFirst, PageTakesBoth };
    for (Order order : {EditorFirst, BackdropFirst, PageTakesBoth}) {
        auto* page = new QWidget;
        page->resize(800, 560);
        ASSERT_TRUE(guitest::showAndExpose(page));
        auto* editor = new TestEditor(false, QString(), 0, 0, 0, page);
        QPointer<QDialog> backdrop;
        guitest::answerNextModal(
            [&](QWidget* modal) {
                auto* shown = static_cast<TestEditor*>(modal);
                backdrop = shown->backdrop();
                click(shown->form().btnCancel);
            },
            "ProfileConfigDialog");
        editor->exec();
        ASSERT_FALSE(backdrop.isNull());
        EXPECT_EQ(backdrop->parentWidget(), page);
        EXPECT_FALSE(backdrop->isVisible());
        // The backdrop is one of the page's children: whichever goes first, nothing is
        // destroyed twice.
        if (order == EditorFirst) {
            delete editor;
            EXPECT_TRUE(backdrop.isNull());
        } else if (order == BackdropFirst) {
            delete backdrop.data();
            delete editor;
        }
        delete page;
        EXPECT_TRUE(backdrop.isNull());
    }
}

TEST_F(EditorTest, HeightFollowsTheAvailableScreenHeight) {
    // The screen the tests run on is smaller than the form: the dialog took 90% of it.
    {
        TestEditor editor;
        const int available = QGuiApplication::primaryScreen()->availableGeometry().height();
        if (available < 818) {
            EXPECT_EQ(editor.minimumHeight(), static_cast<int>(available * 0.9));
            EXPECT_EQ(editor.height(), static_cast<int>(available * 0.9));
        } else {
            EXPECT_EQ(editor.height(), 818);
        }
    }
    const struct {
        int available;
        int height;
    } cases[] = {{700, 630}, {720, 648}, {768, 691}, {817, 735}, {818, 818}, {1080, 818}, {0, 818}};
    for (const auto& c : cases) {
        TestEditor editor;
        Ui::ProfileConfigDialog& u = editor.form();
        // Back to the form's own size, as on a screen that holds it.
        editor.setMinimumHeight(818);
        editor.resize(604, 818);
        editor.fitToScreenHeight(c.available);
        EXPECT_EQ(editor.minimumHeight(), c.height) << c.available;
        EXPECT_EQ(editor.height(), c.height) << c.available;
        // Confirm and Cancel stay inside the dialog, below the form's scroll area: the
        // button row lies over none of its rows.
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        const auto place = [&editor](QWidget* widget) {
            return QRect(widget->mapTo(&editor, QPoint(0, 0)), widget->size());
        };
        EXPECT_TRUE(editor.rect().contains(place(u.btnConfirm))) << c.available;
        EXPECT_TRUE(editor.rect().contains(place(u.bottomWidget_2))) << c.available;
        EXPECT_LE(place(u.scrollArea).bottom(), place(u.bottomWidget_2).top()) << c.available;
        EXPECT_GE(place(u.scrollArea).top(), place(u.titleWidget).bottom()) << c.available;
        editor.hide();
    }
}

TEST_F(EditorTest, WheelOverAComboNeverChangesItsEntry) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    for (QComboBox* combo :
         {u.comboBoxVPNType, u.comboBoxEncryption, u.comboBoxAuthentication, u.comboBoxKeyGroup,
          u.comboBoxAlgrithmOne, u.comboBoxAlgrithmTwo, u.comboBoxLocalIP}) {
        while (combo->count() < 3) {
            combo->addItem(QStringLiteral("entry %1").arg(combo->count()));
        }
        combo->setCurrentIndex(1);
        for (int delta : {120, -120}) {
            const QPoint at(combo->width() / 2, combo->height() / 2);
            QWheelEvent wheel(at, combo->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(combo, &wheel);
            EXPECT_EQ(combo->currentIndex(), 1) << combo->objectName().toStdString();
        }
    }
}

TEST_F(EditorTest, ClearFileButtonShowsOnHoverAndClearsTheImport) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    chooseKind(u.comboBoxVPNType, 2);
    // The state an import leaves: the file row instead of the import button.
    editor.setImportedFile(QStringLiteral("/tmp/office.ovpn"));
    u.lineEditImportFile->setText(QStringLiteral("office.ovpn"));
    u.lineEditImportFile->setToolTip(QStringLiteral("office.ovpn"));
    u.btnOpenVPNImport->hide();
    u.widgetFileName->show();
    typeAddress(u.lineEditEndpoint, QStringLiteral("1.2.3.4"));
    QApplication::processEvents();

    QPushButton* clear = editor.clearFileButton();
    ASSERT_NE(clear, nullptr);
    EXPECT_FALSE(clear->isVisible());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(u.widgetFileName, &enter);
    EXPECT_TRUE(clear->isVisible());
    EXPECT_EQ(clear->size(), QSize(24, 24));
    EXPECT_EQ(clear->pos(),
              QPoint(u.widgetFileName->width() - 24 - 8, (u.widgetFileName->height() - 24) / 2));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(u.widgetFileName, &leave);
    EXPECT_FALSE(clear->isVisible());

    QApplication::sendEvent(u.widgetFileName, &enter);
    click(clear);
    EXPECT_TRUE(shown(u.btnOpenVPNImport));
    EXPECT_FALSE(shown(u.widgetFileName));
    EXPECT_FALSE(editor.fileImported());
    EXPECT_TRUE(editor.configFilePath().isEmpty());
    EXPECT_TRUE(u.lineEditImportFile->text().isEmpty());
    EXPECT_TRUE(u.lineEditImportFile->toolTip().isEmpty());
    EXPECT_TRUE(u.lineEditEndpoint->ipAddress().isEmpty());
}

TEST_F(EditorTest, FramedFieldsShowTheFocusFrameWhileFocused) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    QApplication::setActiveWindow(&editor);
    Ui::ProfileConfigDialog& u = editor.form();
    const QString focusFrame = QStringLiteral("QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#"
                                              "widgetDPDNum,#widgetKeepAlive{border:1px solid "
                                              "#04B0FF}QLineEdit{border:none}QLineEdit:focus{border:none}");
    const QString plainFrame = QStringLiteral("QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#"
                                              "widgetDPDNum,#widgetKeepAlive{border:none "
                                              "}QLineEdit{border:none}QLineEdit:focus{border:none}");
    const struct {
        int page;
        QLineEdit* field;
        QWidget* frame;
    } frames[] = {{0, u.lineEditDPDPeriod, u.widgetDPDNum},
                  {1, u.lineEditSSLPassword, u.widgetSSLPassword},
                  {2, u.lineEditPassword, u.widgetPassword},
                  {2, u.lineEditImportFile, u.widgetFileName},
                  {3, u.lineEditWireGuardKeepAlive, u.widgetKeepAlive}};
    editor.setNeedPassword(true);
    for (const auto& f : frames) {
        chooseKind(u.comboBoxVPNType, f.page);
        u.DPDPeriodwidget->show();
        u.widgetFileName->show();
        f.field->setFocus();
        EXPECT_EQ(f.frame->styleSheet(), focusFrame) << f.field->objectName().toStdString();
        u.lineEditProfileName->setFocus();
        EXPECT_EQ(f.frame->styleSheet(), plainFrame) << f.field->objectName().toStdString();
    }
}

TEST_F(EditorTest, LanguageChangeRetranslatesTheFormAndKeepsTheTitleOfTheMode) {
    TestEditor editor(true, QStringLiteral("Branch_1"), 7, 9, 3);
    Ui::ProfileConfigDialog& u = editor.form();
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("de")));
    QApplication::processEvents();
    const QString title = QApplication::translate("ZRStringConstant", "ZRVPN_EDIT_PROFILE");
    EXPECT_NE(title, QStringLiteral("Edit Profile"));
    EXPECT_EQ(u.labelTitle->text(), title);
    EXPECT_EQ(u.btnConfirm->text(), QApplication::translate("ProfileConfigDialog", "Confirm"));
    EXPECT_NE(u.btnConfirm->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(u.comboBoxVPNType->itemText(2), QApplication::translate("ZRStringConstant", "ZRVPN_OPEN_VPN"));
    EXPECT_EQ(u.comboBoxVPNType->itemData(2, Qt::UserRole).toInt(), 3);
    // Measured in the brand font at 15 px, 11 points on a 96-dpi screen.
    QFont measured(QStringLiteral("Halvex Vento"));
    measured.setPixelSize(15);
    const QFontMetrics metrics(measured);
    EXPECT_EQ(u.btnConfirm->width(),
              metrics.boundingRect(QRect(), Qt::AlignLeft, u.btnConfirm->text()).width() + 24);
    EXPECT_EQ(u.lineEditProfileName->text(), QStringLiteral("Branch_1"));
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("en")));
    QApplication::processEvents();
    EXPECT_EQ(u.labelTitle->text(), QStringLiteral("Edit Profile"));
}

TEST_F(EditorTest, CloseAndCancelEndTheDialogWithoutSaving) {
    for (bool viaClose : {true, false}) {
        TestEditor editor;
        QSignalSpy reload(&editor, SIGNAL(signalLoadProfileList()));
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        click(viaClose ? editor.form().btnClose : editor.form().btnCancel);
        EXPECT_FALSE(editor.isVisible());
        EXPECT_TRUE(editor.savedKinds.empty());
        EXPECT_EQ(reload.count(), 0);
    }
}

} // namespace
