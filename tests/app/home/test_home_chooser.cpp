// The profile chooser: its rows in the store's order with the add row last, the
// preselection, what Confirm reports per kind, the add row, records that cannot be
// read, the colour mode handed to the row painter, and dragging.
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "ActiveProfileDialog.h"
#include "ActiveProfileTreeDelegate.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "ProfileSummary.h"

using Role = ActiveProfileTreeDelegate::Role;

namespace {

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        hometest::clearStore();
        guitest::applyColorMode(1);
    }

    static QTreeWidget* tree(ActiveProfileDialog& dialog) {
        return dialog.findChild<QTreeWidget*>("activeProfileTreeWidget");
    }
    static QStringList names(ActiveProfileDialog& dialog) {
        QStringList out;
        for (int i = 0; i < tree(dialog)->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = tree(dialog)->topLevelItem(i);
            out << (item->data(0, Role::AddRowRole).toBool() ? QStringLiteral("+")
                                                             : item->data(0, Role::NameRole).toString());
        }
        return out;
    }
    static void click(ActiveProfileDialog& dialog, const char* button) {
        dialog.findChild<QPushButton*>(button)->click();
    }
    // Four profiles, one of each kind, newest last.
    void addOneOfEachKind() {
        wireGuardId = hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
        openVPNId = hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "10.9.0.6");
        ipsecId = hometest::addIPsec("ipsec-branch", "203.0.113.9", "192.0.2.10");
        sslId = hometest::addOpenVPN("ssl-portal", 2, "ssl.example.org", "");
    }

    int wireGuardId = 0, openVPNId = 0, ipsecId = 0, sslId = 0;
};

TEST_F(ChooserTest, ListsProfilesNewestFirstWithTheAddRowLast) {
    addOneOfEachKind();
    ActiveProfileDialog dialog;
    ASSERT_EQ(names(dialog),
              (QStringList{"ssl-portal", "ipsec-branch", "ovpn-office", "wg-home", QStringLiteral("+")}));
    const struct {
        int row;
        const char* kind;
        const char* server;
        int profileId;
    } rows[] = {{0, "SSL VPN", "ssl.example.org", sslId},
                {1, "IPsec VPN", "203.0.113.9", ipsecId},
                {2, "Openvpn", "vpn.example.org", openVPNId},
                {3, "Wireguard VPN", "198.51.100.7", wireGuardId}};
    for (const auto& row : rows) {
        QTreeWidgetItem* item = tree(dialog)->topLevelItem(row.row);
        EXPECT_EQ(item->data(0, Role::KindRole).toString(), QString::fromLatin1(row.kind));
        EXPECT_EQ(item->data(0, Role::ServerRole).toString(), QString::fromLatin1(row.server));
        EXPECT_EQ(item->data(0, Role::ProfileIdRole).toInt(), row.profileId);
        EXPECT_FALSE(item->data(0, Role::AddRowRole).toBool());
    }
    QTreeWidgetItem* addRow = tree(dialog)->topLevelItem(4);
    EXPECT_TRUE(addRow->data(0, Role::NameRole).toString().isEmpty());
    EXPECT_FALSE(addRow->data(0, Role::ProfileIdRole).isValid());
    EXPECT_EQ(tree(dialog)->topLevelItemCount(), 5);
    EXPECT_EQ(hometest::app()->GetProfileList()->size(), 4u) << "the chooser reloads the cached list";
}

TEST_F(ChooserTest, EmptyStoreShowsOnlyTheAddRow) {
    ActiveProfileDialog dialog;
    EXPECT_EQ(names(dialog), QStringList{QStringLiteral("+")});
}

TEST_F(ChooserTest, PreselectsTheExactNameWhenShown) {
    addOneOfEachKind();
    const struct {
        const char* name;
        int row; // -1: nothing selected
    } cases[] = {{"ovpn-office", 2},
                 {"wg-home", 3},
                 {"OVPN-office", -1},
                 {"nobody", -1},
                 // The add row carries no name, so an empty name selects it.
                 {"", 4}};
    for (const auto& c : cases) {
        ActiveProfileDialog dialog;
        dialog.setCurrentProfileName(QString::fromLatin1(c.name));
        EXPECT_EQ(dialog.currentProfileName(), QString::fromLatin1(c.name));
        EXPECT_EQ(tree(dialog)->currentItem(), nullptr) << "takes effect when shown";
        dialog.show();
        QTreeWidgetItem* current = tree(dialog)->currentItem();
        if (c.row < 0) {
            EXPECT_TRUE(tree(dialog)->selectedItems().isEmpty()) << c.name;
        } else {
            EXPECT_EQ(current, tree(dialog)->topLevelItem(c.row)) << c.name;
            EXPECT_TRUE(current->isSelected()) << c.name;
        }
        dialog.close();
    }
}

TEST_F(ChooserTest, ConfirmReportsTheChosenProfileAndCloses) {
    addOneOfEachKind();
    struct Case {
        const char* name;
        int index;
        int type;
        const char* server;
        const char* local;
        int mask;
    };
    const Case cases[] = {{"ssl-portal", 0, 2, "ssl.example.org", "", -1},
                          {"ipsec-branch", 1, 1, "203.0.113.9", "192.0.2.10", -1},
                          {"ovpn-office", 2, 3, "vpn.example.org", "10.9.0.6", -1},
                          {"wg-home", 3, 4, "198.51.100.7", "10.8.0.2", 24}};
    for (const Case& c : cases) {
        ActiveProfileDialog dialog;
        dialog.setCurrentProfileName(QString::fromLatin1(c.name));
        dialog.show();
        QSignalSpy chosen(&dialog,
                          SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));
        click(dialog, "btnConfirm");
        ASSERT_EQ(chosen.count(), 1) << c.name;
        const QList<QVariant> args = chosen.first();
        EXPECT_EQ(args[0].toInt(), c.index) << c.name;
        EXPECT_EQ(args[1].toString(), QString::fromLatin1(c.name));
        EXPECT_EQ(args[2].toInt(), c.type) << c.name;
        const ProfileInfo& stored = (*hometest::app()->GetProfileList())[c.index];
        EXPECT_EQ(args[3].toInt(), stored.ConfigID) << c.name;
        EXPECT_EQ(args[4].toString(), QString::fromLatin1(c.server)) << c.name;
        EXPECT_EQ(args[5].toString(), QString::fromLatin1(c.local)) << c.name;
        EXPECT_EQ(args[6].toInt(), c.mask) << c.name;
        EXPECT_FALSE(dialog.isVisible()) << c.name;
        EXPECT_EQ(dialog.currentProfileName(), QString::fromLatin1(c.name));
    }
}

TEST_F(ChooserTest, ConfirmWithoutAProfileToReportStaysOpen) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "");
    ActiveProfileDialog dialog;
    dialog.show();
    QSignalSpy chosen(&dialog, SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));

    click(dialog, "btnConfirm");
    EXPECT_TRUE(dialog.isVisible()) << "no current row";

    tree(dialog)->setCurrentItem(tree(dialog)->topLevelItem(2)); // the add row, as the arrow keys reach it
    click(dialog, "btnConfirm");
    EXPECT_TRUE(dialog.isVisible()) << "the add row names no profile";

    tree(dialog)->setCurrentItem(tree(dialog)->topLevelItem(1));
    ProfileInfo wireGuard = (*hometest::app()->GetProfileList())[1];
    ASSERT_EQ(hometest::store()->DeleteProfile(&wireGuard), 0);
    click(dialog, "btnConfirm");
    EXPECT_TRUE(dialog.isVisible()) << "the profile was removed meanwhile";

    tree(dialog)->setCurrentItem(tree(dialog)->topLevelItem(0));
    {
        hometest::UnreadableTable away("OPENVPN");
        click(dialog, "btnConfirm");
        EXPECT_TRUE(dialog.isVisible()) << "its record cannot be read";
    }
    {
        hometest::UnreadableTable away("PROFILE");
        click(dialog, "btnConfirm");
        EXPECT_TRUE(dialog.isVisible()) << "the list cannot be read";
    }
    EXPECT_EQ(chosen.count(), 0);

    click(dialog, "btnConfirm");
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ChooserTest, AddRowAsksForTheEditorOnceAndCloses) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    ActiveProfileDialog dialog;
    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    QSignalSpy addRequests(SystemContext::GetSettingManager(), SIGNAL(signalAddNewProfile()));
    QSignalSpy chosen(&dialog, SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));

    QTreeWidget* list = tree(dialog);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->topLevelItem(0)).center());
    EXPECT_EQ(addRequests.count(), 0) << "a profile row only selects";
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->topLevelItem(1)).center());
    EXPECT_EQ(addRequests.count(), 1);
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ChooserTest, AnUnreadableRecordHidesOnlyItsOwnRow) {
    hometest::addIPsec("ipsec-oldest", "203.0.113.9", "");
    hometest::addWireGuard("wg-middle", "198.51.100.7", "10.8.0.2", 24);
    hometest::addOpenVPN("ovpn-newest", 3, "vpn.example.org", "");
    hometest::UnreadableTable away("ZRWIREGUARDVPN");

    ActiveProfileDialog dialog;
    EXPECT_EQ(names(dialog), (QStringList{"ovpn-newest", "ipsec-oldest", QStringLiteral("+")}));

    // The report counts the row's place in the profile list, which still holds the
    // unreadable profile.
    dialog.setCurrentProfileName(QStringLiteral("ipsec-oldest"));
    dialog.show();
    QSignalSpy chosen(&dialog, SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));
    click(dialog, "btnConfirm");
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first()[0].toInt(), 2);
    EXPECT_EQ(ProfileNameText((*hometest::app()->GetProfileList())[2]), QStringLiteral("ipsec-oldest"));
}

TEST_F(ChooserTest, UnreadableListLeavesTheTreeEmpty) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::UnreadableTable away("PROFILE");
    ActiveProfileDialog dialog;
    EXPECT_EQ(tree(dialog)->topLevelItemCount(), 0);
}

TEST_F(ChooserTest, UnknownKindIsListedWithoutDetailsAndNotReported) {
    hometest::addProfileRow("mystery", 9, 1);
    ActiveProfileDialog dialog;
    ASSERT_EQ(names(dialog), (QStringList{"mystery", QStringLiteral("+")}));
    EXPECT_FALSE(tree(dialog)->topLevelItem(0)->data(0, Role::ServerRole).isValid());
    dialog.setCurrentProfileName(QStringLiteral("mystery"));
    dialog.show();
    QSignalSpy chosen(&dialog, SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));
    click(dialog, "btnConfirm");
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ChooserTest, CloseAndCancelEmitNothing) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    for (const char* button : {"btnClose", "btnCancel"}) {
        ActiveProfileDialog dialog;
        dialog.setCurrentProfileName(QStringLiteral("wg-home"));
        dialog.show();
        QSignalSpy chosen(&dialog,
                          SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));
        click(dialog, button);
        EXPECT_FALSE(dialog.isVisible()) << button;
        EXPECT_EQ(chosen.count(), 0) << button;
    }
}

TEST_F(ChooserTest, ColourModeReachesTheRowPainter) {
    guitest::applyColorMode(2);
    ActiveProfileDialog dialog;
    auto* painter = qobject_cast<ActiveProfileTreeDelegate*>(tree(dialog)->itemDelegate());
    ASSERT_NE(painter, nullptr);
    EXPECT_TRUE(painter->isDarkMode()) << "the mode at construction";
    EXPECT_EQ(painter->parent(), tree(dialog));
    dialog.show();

    QSignalSpy announced(&dialog, SIGNAL(signalColorModeChanged(int)));
    guitest::applyColorMode(1);
    ASSERT_EQ(announced.count(), 1);
    EXPECT_EQ(announced.first()[0].toInt(), 1);
    EXPECT_FALSE(painter->isDarkMode());
    guitest::applyColorMode(1);
    EXPECT_EQ(announced.count(), 1) << "an unchanged mode is not announced again";
    guitest::applyColorMode(2);
    ASSERT_EQ(announced.count(), 2);
    EXPECT_TRUE(painter->isDarkMode());
}

TEST_F(ChooserTest, DragsFromTheBodyWithAnyButton) {
    ActiveProfileDialog dialog;
    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    dialog.move(100, 100);
    QWidget* title = dialog.findChild<QWidget*>("titleWidget");
    auto send = [](QWidget* target, QEvent::Type type, const QPoint& global, Qt::MouseButton button) {
        QMouseEvent event(type, target->mapFromGlobal(global), global, button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    const QPoint start = title->mapToGlobal(QPoint(10, 10));
    send(title, QEvent::MouseButtonPress, start, Qt::RightButton);
    send(title, QEvent::MouseMove, start + QPoint(30, 20), Qt::RightButton);
    send(title, QEvent::MouseButtonRelease, start + QPoint(30, 20), Qt::RightButton);
    EXPECT_EQ(dialog.pos(), QPoint(130, 120));

    // A press that the tree takes moves nothing (below the rows, so no row is clicked).
    QWidget* viewport = tree(dialog)->viewport();
    const QPoint inTree = viewport->mapToGlobal(QPoint(10, viewport->height() - 5));
    send(viewport, QEvent::MouseButtonPress, inTree, Qt::LeftButton);
    send(viewport, QEvent::MouseMove, inTree + QPoint(40, 40), Qt::LeftButton);
    send(viewport, QEvent::MouseButtonRelease, inTree + QPoint(40, 40), Qt::LeftButton);
    EXPECT_EQ(dialog.pos(), QPoint(130, 120));
}

} // namespace
