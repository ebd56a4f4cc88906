// The profile editor in every language and both colour modes: each kind's page as the
// kind selector shows it (with the credentials rows and the DPD period row), with a
// remote-subnet row and the warnings under the fields, and the window in edit mode. Every
// text is shown whole, no row lays a text over its input, and the form scrolls above the
// button row.
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "EditorTexts.h"
#include "FieldRules.h"
#include "GuiTest.h"
#include "ProfileConfigDialog.h"
#include "RemoteSubnetRows.h"
#include "TextsTest.h"

using namespace textstest;

namespace {

// The editor with its form reachable, as the kinds' checks reach it.
class Editor : public ProfileConfigDialog {
public:
    explicit Editor(bool edit) : ProfileConfigDialog(nullptr, edit, QString(), 0, 0, edit ? 4 : 0) {}

    // The page of a kind (1 to 4) chosen in the kind selector, with every row that the
    // page can show: the credentials of a configuration that asks for them, the DPD period.
    void showKind(int kind) {
        m_bNeedPwd = true;
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
        if (kind == 1 && !ui.btnDPD->isChecked()) {
            ui.btnDPD->click();
        }
    }

    // A remote-subnet row added as the page's add button adds it.
    void addSubnetRow(int kind) {
        struct Rows {
            QWidget* container;
            QPushButton* add;
            QRadioButton* fullTraffic;
        };
        const Rows rows[] = {
            {ui.IPSecGatewayWidget, ui.btnIPSecAddMoreAddress, nullptr},
            {ui.sslGatewayWidget, ui.btnSSLAddGateway, ui.btnSSLFullTraffic},
            {ui.gatewayWidget, ui.btnAddGateway, ui.btnOpenFullTraffic},
            {ui.wireguardGatewayWidget, ui.btnWireGuardAddGateway, ui.btnWireGuardFullTraffic}};
        const Rows& page = rows[kind - 1];
        if (page.fullTraffic != nullptr) {
            page.fullTraffic->setChecked(false);
            page.add->show();
        }
        RemoteSubnetRows(page.container, page.add, page.fullTraffic, this).add();
    }

    // The form scrolls between the title and the button row, which lies over none of its
    // rows, wholly inside the window (the tests' screen is lower than the form).
    void expectFormScrolls(const QString& where) {
        const auto place = [this](QWidget* widget) {
            return QRect(widget->mapTo(this, QPoint(0, 0)), widget->size());
        };
        EXPECT_TRUE(rect().contains(place(ui.bottomWidget_2))) << where.toStdString();
        EXPECT_LE(place(ui.scrollArea).bottom(), place(ui.bottomWidget_2).top()) << where.toStdString();
        EXPECT_GE(place(ui.scrollArea).top(), place(ui.titleWidget).bottom()) << where.toStdString();
    }

    // The warnings under the fields, with the longest texts their checks write.
    void showWarnings(int kind) {
        using namespace EditorTexts;
        FieldRules::showWarning(ui.labelNameWarning, ui.lineEditProfileName,
                                kind == 4 ? kWireGuardNameValidTip : kNameValidTip);
        if (kind == 4) {
            FieldRules::showWarning(ui.labelPublicKeyWarning, ui.lineEditPubKey, kKeyLengthTip);
            FieldRules::showWarning(ui.labelPriKeyWarning, ui.lineEditWireGuardPriKey, kKeyLengthTip);
            FieldRules::showWarning(ui.labelPubKeyWarning, ui.lineEditWireGuardPubKey, kKeyLengthTip);
        }
    }
};

class TextsEditor : public ::testing::Test {
protected:
    void TearDown() override {
        guitest::useLanguage(QStringLiteral("en"));
        guitest::applyColorMode(1);
    }
};

TEST_F(TextsEditor, EveryKindsPageWithItsWarningsAndTheEditMode) {
    ASSERT_TRUE(guitest::startAppContext());
    for (const Mode& mode : kModes) {
        guitest::applyColorMode(mode.value);
        for (const char* code : kLanguages) {
            ASSERT_TRUE(guitest::useLanguage(QLatin1String(code)));
            const QString where = QStringLiteral("%1 %2").arg(QLatin1String(code), QLatin1String(mode.name));
            for (int kind = 1; kind <= 4; ++kind) {
                Editor editor(false);
                ASSERT_TRUE(guitest::showAndExpose(&editor));
                editor.showKind(kind);
                expectWhole(&editor, where + QStringLiteral(" kind %1").arg(kind));
                editor.addSubnetRow(kind);
                editor.showWarnings(kind);
                expectWhole(&editor,
                            where + QStringLiteral(" kind %1 with a subnet row and warnings").arg(kind));
                editor.expectFormScrolls(where + QStringLiteral(" kind %1").arg(kind));
                editor.hide();
            }
            Editor editor(true);
            ASSERT_TRUE(guitest::showAndExpose(&editor));
            expectWhole(&editor, where + QStringLiteral(" edit mode"));
            editor.hide();
        }
    }
}

TEST_F(TextsEditor, AnOpenEditorFollowsAChangeOfLanguage) {
    ASSERT_TRUE(guitest::startAppContext());
    guitest::applyColorMode(1);
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("en")));
    Editor editor(false);
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    editor.showKind(1);
    editor.addSubnetRow(1);
    for (const char* code : kLanguages) {
        ASSERT_TRUE(guitest::useLanguage(QLatin1String(code)));
        for (int kind : {1, 4}) {
            editor.showKind(kind);
            expectWhole(
                &editor,
                QStringLiteral("%1 kind %2 after a change of language").arg(QLatin1String(code)).arg(kind));
        }
    }
}

} // namespace
