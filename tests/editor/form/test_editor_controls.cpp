// The page controls: remote-subnet rows added, numbered, deleted and limited per page,
// full traffic, the DNS choice, show password, AH or ESP and the DPD switch.
#include <QLabel>
#include <QRadioButton>

#include "EditorTestSupport.h"

using editortest::chooseKind;
using editortest::click;
using editortest::EditorTest;
using editortest::TestEditor;
using editortest::typeAddress;
using editortest::typeInto;

namespace {

// One page's subnet controls.
struct SubnetPage {
    const char* name;
    int index;
    QWidget* container;
    QPushButton* add;
    QRadioButton* fullTraffic; // none on the IPsec page
    int maxRows;
};

std::vector<SubnetPage> subnetPages(TestEditor& editor) {
    Ui::ProfileConfigDialog& u = editor.form();
    return {
        {"IPsec", 0, u.IPSecGatewayWidget, u.btnIPSecAddMoreAddress, nullptr, 13},
        {"SSL VPN", 1, u.sslGatewayWidget, u.btnSSLAddGateway, u.btnSSLFullTraffic, 5},
        {"OpenVPN", 2, u.gatewayWidget, u.btnAddGateway, u.btnOpenFullTraffic, 5},
        {"WireGuard", 3, u.wireguardGatewayWidget, u.btnWireGuardAddGateway, u.btnWireGuardFullTraffic, 5}};
}

QStringList labelTexts(TestEditor& editor, QWidget* container) {
    QStringList texts;
    for (QLabel* label : editor.rowLabels(container)) {
        texts << label->text();
    }
    return texts;
}

QStringList numbered(int count) {
    QStringList texts;
    for (int i = 1; i <= count; ++i) {
        texts << QStringLiteral("Remote Subnets %1:").arg(i);
    }
    return texts;
}

// The delete button of row i (from 0) of a container.
QPushButton* deleteButton(TestEditor& editor, QWidget* container, int row) {
    QWidget* rowWidget = editor.rowLabels(container).at(row)->parentWidget();
    return rowWidget->findChild<QPushButton*>();
}

TEST_F(EditorTest, EachPageAddsRowsUpToItsLimit) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    for (const SubnetPage& page : subnetPages(editor)) {
        SCOPED_TRACE(page.name);
        chooseKind(editor.form().comboBoxVPNType, page.index);
        if (page.fullTraffic != nullptr) {
            EXPECT_FALSE(page.add->isVisible());
            // Full traffic off brings the first row and the add button.
            click(page.fullTraffic);
            EXPECT_FALSE(page.fullTraffic->isChecked());
            EXPECT_TRUE(page.add->isVisible());
            EXPECT_TRUE(page.container->isVisible());
            EXPECT_EQ(labelTexts(editor, page.container), numbered(1));
        } else {
            EXPECT_TRUE(page.add->isVisible());
            EXPECT_FALSE(page.container->isVisible());
            click(page.add);
            EXPECT_TRUE(page.container->isVisible());
        }
        while (page.add->isEnabled() && editor.rowLabels(page.container).size() < page.maxRows + 2) {
            click(page.add);
        }
        EXPECT_EQ(editor.rowLabels(page.container).size(), page.maxRows);
        EXPECT_FALSE(page.add->isEnabled());
        EXPECT_EQ(labelTexts(editor, page.container), numbered(page.maxRows));
        // No row beyond the limit, even when asked directly.
        editor.addRemoteSubnetRow(page.container, page.fullTraffic == nullptr ? 1 : 0);
        EXPECT_EQ(editor.rowLabels(page.container).size(), page.maxRows);
        // Each row: label, address editor, "/" and a mask edit that takes 0 to 32.
        QLineEdit* mask = editor.rowMasks(page.container).last();
        QTest::keyClicks(mask, QStringLiteral("33"));
        EXPECT_EQ(mask->text(), QStringLiteral("3"));
        EXPECT_EQ(editor.rowAddresses(page.container).size(), page.maxRows);
    }
}

TEST_F(EditorTest, DeletingARowRenumbersTheRestAndFreesItsPlace) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    for (const SubnetPage& page : subnetPages(editor)) {
        SCOPED_TRACE(page.name);
        chooseKind(u.comboBoxVPNType, page.index);
        if (page.fullTraffic != nullptr) {
            click(page.fullTraffic);
        }
        while (page.add->isEnabled()) {
            click(page.add);
        }
        // Row i holds 10.0.i.0 with mask 24.
        for (int i = 0; i < page.maxRows; ++i) {
            typeAddress(editor.rowAddresses(page.container).at(i), QStringLiteral("10.0.%1.0").arg(i));
            QTest::keyClicks(editor.rowMasks(page.container).at(i), QStringLiteral("24"));
        }
        click(deleteButton(editor, page.container, 1));
        EXPECT_EQ(labelTexts(editor, page.container), numbered(page.maxRows - 1));
        EXPECT_TRUE(page.add->isEnabled());
        EXPECT_EQ(editor.rowAddresses(page.container).at(1)->ipAddress(), QStringLiteral("10.0.2.0"));
        // The freed place takes a new row at once, numbered last.
        click(page.add);
        EXPECT_EQ(labelTexts(editor, page.container), numbered(page.maxRows));
        EXPECT_FALSE(page.add->isEnabled());
        EXPECT_TRUE(editor.rowAddresses(page.container).last()->ipAddress().isEmpty());
    }
}

TEST_F(EditorTest, DeletingTheLastRowTurnsFullTrafficBackOn) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    for (const SubnetPage& page : subnetPages(editor)) {
        SCOPED_TRACE(page.name);
        chooseKind(editor.form().comboBoxVPNType, page.index);
        if (page.fullTraffic != nullptr) {
            click(page.fullTraffic);
        } else {
            click(page.add);
        }
        ASSERT_EQ(editor.rowLabels(page.container).size(), 1);
        click(deleteButton(editor, page.container, 0));
        EXPECT_EQ(page.container->children().size(), 1);
        EXPECT_FALSE(page.container->isVisible());
        if (page.fullTraffic == nullptr) {
            EXPECT_TRUE(page.add->isVisible());
            continue;
        }
        EXPECT_TRUE(page.fullTraffic->isChecked());
        EXPECT_FALSE(page.add->isVisible());
        // Off again: a fresh row 1.
        click(page.fullTraffic);
        EXPECT_EQ(labelTexts(editor, page.container), numbered(1));
        EXPECT_TRUE(editor.rowAddresses(page.container).first()->ipAddress().isEmpty());
    }
}

TEST_F(EditorTest, FullTrafficHidesTheRowsAndKeepsThem) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    chooseKind(u.comboBoxVPNType, 2);
    click(u.btnOpenFullTraffic);
    click(u.btnAddGateway);
    typeAddress(editor.rowAddresses(u.gatewayWidget).at(0), QStringLiteral("10.0.0.0"));
    typeInto(editor.rowMasks(u.gatewayWidget).at(0), QStringLiteral("8"));
    typeAddress(editor.rowAddresses(u.gatewayWidget).at(1), QStringLiteral("192.168.1.0"));
    typeInto(editor.rowMasks(u.gatewayWidget).at(1), QStringLiteral("24"));

    click(u.btnOpenFullTraffic);
    EXPECT_TRUE(u.btnOpenFullTraffic->isChecked());
    EXPECT_FALSE(u.gatewayWidget->isVisible());
    EXPECT_FALSE(u.btnAddGateway->isVisible());
    click(u.btnOpenFullTraffic);
    EXPECT_TRUE(u.gatewayWidget->isVisible());
    EXPECT_TRUE(u.btnAddGateway->isVisible());
    ASSERT_EQ(editor.rowAddresses(u.gatewayWidget).size(), 2);
    QString text;
    EXPECT_TRUE(editor.checkRemoteSubnets(text, editor.rowAddresses(u.gatewayWidget),
                                          editor.rowMasks(u.gatewayWidget), true));
    EXPECT_EQ(text, QStringLiteral("10.0.0.0/8, 192.168.1.0/24"));
}

TEST_F(EditorTest, DnsChoiceEnablesTheAddressAndAutomaticClearsItsMark) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    const struct {
        int page;
        QRadioButton* automatic;
        QRadioButton* manual;
        ZRInputIpLineEdit* dns;
        ZRInputIpLineEdit* wins;
    } pages[] = {{1, u.btnSSLAutoIP, u.btnSSLManuIP, u.lineEditSSLDNSAddr, u.lineEditSSLWinSer},
                 {2, u.btnOpenAutoIP, u.btnOpenManuIP, u.lineEditOpenDNSAddr, u.lineEditOpenWinSer}};
    for (const auto& p : pages) {
        chooseKind(u.comboBoxVPNType, p.page);
        click(p.manual);
        EXPECT_TRUE(p.dns->isEnabled());
        editor.markAddress(p.dns);
        click(p.automatic);
        EXPECT_FALSE(p.dns->isEnabled());
        EXPECT_EQ(p.dns->styleSheet(), QStringLiteral("ZRInputIpLineEdit{border:none }"));
        EXPECT_TRUE(p.wins->isEnabled());
    }
}

TEST_F(EditorTest, ShowPasswordSwitchesTheEcho) {
    TestEditor editor;
    editor.setNeedPassword(true);
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    const struct {
        int page;
        QPushButton* button;
        QLineEdit* password;
    } pairs[] = {{1, u.btnSSLShowPwd, u.lineEditSSLPassword}, {2, u.btnShowPwd, u.lineEditPassword}};
    for (const auto& p : pairs) {
        chooseKind(u.comboBoxVPNType, p.page);
        ASSERT_TRUE(p.button->isVisible());
        click(p.button);
        EXPECT_TRUE(p.button->isChecked());
        EXPECT_EQ(p.password->echoMode(), QLineEdit::Normal);
        click(p.button);
        EXPECT_EQ(p.password->echoMode(), QLineEdit::Password);
    }
}

TEST_F(EditorTest, AhOffersNoEncryptionAndEspItsFive) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    click(u.btnAH);
    ASSERT_EQ(u.comboBoxAlgrithmTwo->count(), 1);
    EXPECT_EQ(u.comboBoxAlgrithmTwo->itemText(0), QStringLiteral("--"));
    EXPECT_FALSE(u.comboBoxAlgrithmTwo->itemData(0).isValid());
    EXPECT_FALSE(u.comboBoxAlgrithmTwo->isEnabled());
    click(u.btnESP);
    const char* names[] = {"des", "3des", "aes128", "aes192", "aes256"};
    ASSERT_EQ(u.comboBoxAlgrithmTwo->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(u.comboBoxAlgrithmTwo->itemText(i), QString::fromLatin1(names[i]));
        EXPECT_EQ(u.comboBoxAlgrithmTwo->itemData(i).toInt(), i);
    }
    EXPECT_EQ(u.comboBoxAlgrithmTwo->currentIndex(), 0);
    EXPECT_TRUE(u.comboBoxAlgrithmTwo->isEnabled());
}

TEST_F(EditorTest, DpdSwitchShowsThePeriodRow) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    EXPECT_FALSE(u.DPDPeriodwidget->isVisible());
    click(u.btnDPD);
    EXPECT_TRUE(u.btnDPD->isChecked());
    EXPECT_TRUE(u.DPDPeriodwidget->isVisible());
    click(u.btnDPD);
    EXPECT_FALSE(u.btnDPD->isChecked());
    EXPECT_FALSE(u.DPDPeriodwidget->isVisible());
}

} // namespace
