// The home page: its form, the start from the stored settings (empty store, remembered,
// missing and deleted selections), records that cannot be read, connecting a profile
// by name, the look of each connection state, the spinner, hover texts, texts for time,
// mask and traffic, and colour-mode and language changes.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "HomeWidget.h"
#include "IPCSqlite.h"
#include "PaintedShadow.h"
#include "ProfileSummary.h"
#include "VPNBarChart.h"
#include "ZRLoadingPie.h"

namespace {

class HomePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        hometest::clearStore();
        guitest::applyColorMode(1);
    }
    void TearDown() override {
        page.reset();
        language(QStringLiteral("en"));
        guitest::applyColorMode(1);
    }

    // A new page, shown as the main window shows it before the settings are restored.
    HomeWidget* open() {
        page = std::make_unique<HomeWidget>();
        EXPECT_TRUE(guitest::showAndExpose(page.get()));
        return page.get();
    }
    // The start: the stored settings row reaches the page.
    void restore() {
        const SETTINGINFO row = hometest::settingsRow();
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&row);
    }
    // Installs a language and lets its change reach the windows.
    static bool language(const QString& code) {
        const bool loaded = guitest::useLanguage(code);
        QCoreApplication::processEvents();
        return loaded;
    }
    void showAgain() {
        page->hide();
        page->show();
    }

    template <typename T = QWidget> T* w(const char* name) { return guitest::child<T>(page.get(), name); }
    QString text(const char* name) { return guitest::childText(page.get(), name); }
    QString profileButtonStyle() { return w<QPushButton>("btnSelectProfile")->styleSheet(); }
    void choose(int index, const QString& name, int type, int configId, const QString& server,
                const QString& local, int mask) {
        ASSERT_TRUE(QMetaObject::invokeMethod(
            page.get(), "slotProfileChoosed", Q_ARG(int, index), Q_ARG(QString, name), Q_ARG(int, type),
            Q_ARG(int, configId), Q_ARG(QString, server), Q_ARG(QString, local), Q_ARG(int, mask)));
    }
    void setStatus(int status) {
        switch (status) {
        case 0:
            page->showNotConnected();
            break;
        case 1:
            page->showConnecting();
            break;
        case 2:
            page->showConnected();
            break;
        case 3:
            page->showConnectFailed();
            break;
        }
    }

    std::unique_ptr<HomeWidget> page;
};

TEST_F(HomePageTest, FormHasItsWidgetsAndFirstTexts) {
    open();
    EXPECT_EQ(page->objectName(), QStringLiteral("HomeWidget"));
    for (const char* name : {"centralWidget",    "connectInfoWidget", "connectWidget",
                             "widget_7",         "label_10",          "widget",
                             "horizontalWidget", "loadingWidget",     "labelConnectStatus",
                             "statusIconWidget", "ConnectTimeWidget", "labelConnTime",
                             "widget_3",         "labelIPWidget",     "label_4",
                             "labelIP",          "labelMaskWidget",   "label_3",
                             "labelMask",        "widget_8",          "trafficWidget",
                             "widget_4",         "label_06",          "label_71",
                             "widget_5",         "label_11",          "labelUpload",
                             "label_8",          "widget_6",          "label_12",
                             "labelDownload",    "label_9",           "widgetSpacer",
                             "profileWidget",    "label_0",           "profileInfoWidget",
                             "btnSelectProfile", "widgetIP",          "labelServerIP",
                             "labelSpacer",      "labelVPNType",      "btnConnect"}) {
        EXPECT_NE(page->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    }
    EXPECT_NE(page->findChild<VPNBarChart*>("barChart"), nullptr);
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Connect"));
    EXPECT_EQ(text("label_0"), QStringLiteral("Active Profile"));
    EXPECT_EQ(text("label_06"), QStringLiteral("UPLOAD"));
    EXPECT_EQ(text("label_71"), QStringLiteral("DOWNLOAD"));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    EXPECT_EQ(text("label_8"), QStringLiteral("MB"));
    EXPECT_EQ(text("labelIP"), QStringLiteral("- -"));
    EXPECT_EQ(text("labelServerIP"), QStringLiteral("- -"));
    EXPECT_EQ(text("labelSpacer"), QStringLiteral("|"));
    EXPECT_TRUE(text("btnSelectProfile").isEmpty());
    EXPECT_TRUE(text("labelConnTime").isEmpty());
    EXPECT_FALSE(w("loadingWidget")->isVisible());
    EXPECT_FALSE(w("statusIconWidget")->isVisible());
    EXPECT_FALSE(w("labelIPWidget")->isVisible());
    EXPECT_FALSE(w("labelMaskWidget")->isVisible());
    EXPECT_TRUE(page->isAwaitingRestore());
    EXPECT_EQ(page->currentStatus(), 0);

    // Fixed sizes hold whatever the width.
    page->resize(1400, 700);
    ASSERT_TRUE(guitest::waitFor([this] { return page->size() == QSize(1400, 700); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(w("btnConnect")->width(), 156);
    EXPECT_EQ(w("labelUpload")->geometry(), QRect(20, 2, 51, 26));
    EXPECT_EQ(w("label_9")->geometry(), QRect(70, 2, 54, 26));
    EXPECT_EQ(w("connectInfoWidget")->height(), 118);
    EXPECT_LT(w("widget_6")->x(), 400) << "the totals stay at the left of the traffic card";
}

TEST(HomePageTexts, ConnectionTime) {
    const struct {
        int seconds;
        const char* text;
    } cases[] = {{0, "0h 0m 0s"},    {59, "0h 0m 59s"},      {60, "0h 1m 0s"},     {3600, "1h 0m 0s"},
                 {3725, "1h 2m 5s"}, {86399, "23h 59m 59s"}, {90000, "25h 0m 0s"}, {-5, "0h 0m 0s"}};
    for (const auto& c : cases) {
        EXPECT_EQ(HomeWidget::connectDurationText(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
    }
}

TEST(HomePageTexts, Netmask) {
    const struct {
        int length;
        const char* mask;
    } cases[] = {{0, "0.0.0.0"},
                 {1, "128.0.0.0"},
                 {8, "255.0.0.0"},
                 {20, "255.255.240.0"},
                 {24, "255.255.255.0"},
                 {25, "255.255.255.128"},
                 {31, "255.255.255.254"},
                 {32, "255.255.255.255"},
                 {33, ""},
                 {64, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(HomeWidget::maskLengthToNetmask(c.length), QString::fromLatin1(c.mask)) << c.length;
    }
    const struct {
        const char* bits;
        int value;
    } octets[] = {{"11111111", 255}, {"00000000", 0}, {"10100000", 160}, {"00000001", 1}, {"1010000x", 0},
                  {"2", 0},          {"", 0}};
    for (const auto& c : octets) {
        EXPECT_EQ(HomeWidget::binaryOctetToInt(QString::fromLatin1(c.bits)), c.value) << c.bits;
    }
}

TEST(HomePageTexts, TrafficTotals) {
    const struct {
        double mib;
        const char* text;
        const char* unit;
    } cases[] = {{0, "0.00", "MB"},
                 {12.3456, "12.35", "MB"},
                 {1024, "1024.00", "MB"},
                 {1536, "1.50", "GB"},
                 {5, "5.00", "MB"}};
    for (const auto& c : cases) {
        QString unit;
        EXPECT_EQ(HomeWidget::trafficValueText(c.mib, &unit), QString::fromLatin1(c.text)) << c.mib;
        EXPECT_EQ(unit, QString::fromLatin1(c.unit)) << c.mib;
    }
}

TEST_F(HomePageTest, EmptyStoreStartsWithTheDimmedAddText) {
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        open();
        guitest::applyColorMode(mode);
        restore();
        EXPECT_FALSE(page->isAwaitingRestore());
        EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("Add New Profile"));
        EXPECT_EQ(profileButtonStyle(), QLatin1String(mode == 2 ? "color:#66FFFFFF;" : "color:#661D2529;"));
        for (const char* label : {"labelServerIP", "labelIP", "labelMask", "labelVPNType"}) {
            EXPECT_EQ(text(label), QStringLiteral("- -")) << label;
        }
        EXPECT_FALSE(w("widgetIP")->isVisible());
        EXPECT_EQ(page->selectedVPNType(), 0);

        // Every later show reloads: a first profile then appears in full colour.
        hometest::addWireGuard("first", "198.51.100.7", "10.8.0.2", 24);
        showAgain();
        EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("first"));
        EXPECT_EQ(profileButtonStyle(), QLatin1String(mode == 2 ? "color:#FFFFFF;" : "color:#1D2529;"));
        EXPECT_TRUE(w("widgetIP")->isVisible());
        hometest::clearStore();
    }
}

// The connection time's label is opaque, so that its repaint each second paints it alone: it
// fills its rectangle with its card's colour, which must be the card's to the bit in each
// colour mode.
TEST_F(HomePageTest, ConnectionTimeFillsItsRectangleWithItsCardsColour) {
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        open();
        page->showConnectDuration(3725);
        QCoreApplication::processEvents();
        auto* label = page->findChild<QLabel*>(QStringLiteral("labelConnTime"));
        auto* card = page->findChild<QWidget*>(QStringLiteral("connectWidget"));
        ASSERT_TRUE(label != nullptr && card != nullptr);
        EXPECT_TRUE(label->autoFillBackground());
        const QColor fill = label->palette().color(label->backgroundRole());
        EXPECT_EQ(fill.alpha(), 255) << mode;
        const QImage shot = card->grab().toImage();
        // The card beside its contents, clear of its rounded corners, and the label's corner,
        // clear of its text.
        const QColor cardColour = shot.pixelColor(card->width() / 2, 2);
        const QColor labelCorner = shot.pixelColor(label->mapTo(card, QPoint(1, 1)));
        EXPECT_EQ(fill.name(QColor::HexArgb), cardColour.name(QColor::HexArgb)) << mode;
        EXPECT_EQ(labelCorner.name(QColor::HexArgb), cardColour.name(QColor::HexArgb)) << mode;
        page.reset();
    }
}

TEST_F(HomePageTest, StartSelectsTheRememberedProfile) {
    const int wg = hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "");
    hometest::addIPsec("ipsec-branch", "203.0.113.9", "192.0.2.10");
    hometest::rememberSelection("wg-home");
    open();
    EXPECT_TRUE(text("btnSelectProfile").isEmpty()) << "the first show leaves the form as it is";
    restore();
    EXPECT_FALSE(page->isAwaitingRestore());
    EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("wg-home"));
    EXPECT_EQ(page->activeProfileName(), QStringLiteral("wg-home"));
    EXPECT_EQ(page->selectedRow(), 2);
    EXPECT_EQ(page->selectedVPNType(), 4);
    EXPECT_EQ(page->selectedProfileName(), "wg-home");
    ProfileInfo stored;
    ASSERT_EQ(hometest::store()->GetProfileByID(&stored, wg), 0);
    EXPECT_EQ(page->selectedConfigId(), stored.ConfigID);
    EXPECT_EQ(text("labelServerIP"), QStringLiteral("198.51.100.7"));
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("Wireguard VPN"));
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.8.0.2"));
    EXPECT_EQ(text("labelMask"), QStringLiteral("255.255.255.0"));
    EXPECT_TRUE(w("labelIPWidget")->isVisible());
    EXPECT_TRUE(w("labelMaskWidget")->isVisible());
    EXPECT_TRUE(w("trafficWidget")->isVisible());
    EXPECT_EQ(hometest::selectedName(), "wg-home");
}

TEST_F(HomePageTest, RememberedNameThatIsGoneSelectsTheNewestAtTheNextShow) {
    hometest::addWireGuard("older", "198.51.100.7", "10.8.0.2", 24);
    hometest::addOpenVPN("newest", 3, "vpn.example.org", "");
    hometest::rememberSelection("deleted long ago");
    open();
    restore();
    EXPECT_FALSE(page->isAwaitingRestore());
    EXPECT_TRUE(text("btnSelectProfile").isEmpty());
    EXPECT_EQ(page->selectedVPNType(), 0);
    showAgain();
    EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("newest"));
    EXPECT_EQ(page->selectedVPNType(), 3);
    EXPECT_EQ(hometest::selectedName(), "newest");
}

TEST_F(HomePageTest, DeletedSelectionFallsBackToItsPlaceOrTheLastRow) {
    const struct {
        const char* selected;
        const char* deleted;
        const char* expected;
    } cases[] = {
        // The list is c, b, a (newest first).
        {"b", "b", "a"}, // the row now at the remembered place
        {"a", "a", "b"}, // the list became shorter: the last row
        {"c", "b", "c"}, // another profile deleted: the selection stays
    };
    for (const auto& c : cases) {
        hometest::clearStore();
        hometest::addWireGuard("a", "198.51.100.1", "10.8.0.1", 24);
        hometest::addWireGuard("b", "198.51.100.2", "10.8.0.2", 24);
        hometest::addWireGuard("c", "198.51.100.3", "10.8.0.3", 24);
        hometest::rememberSelection(c.selected);
        open();
        restore();
        ASSERT_EQ(text("btnSelectProfile"), QString::fromLatin1(c.selected));
        std::vector<ProfileInfo> list;
        ASSERT_EQ(hometest::store()->GetProfileList(list), 0);
        for (ProfileInfo& profile : list) {
            if (std::string(profile.ProfileName) == c.deleted) {
                ASSERT_EQ(hometest::store()->DeleteProfile(&profile), 0);
            }
        }
        showAgain();
        EXPECT_EQ(text("btnSelectProfile"), QString::fromLatin1(c.expected)) << c.selected;
        EXPECT_EQ(page->selectedProfileName(), c.expected);
        EXPECT_EQ(hometest::selectedName(), c.expected);
    }
}

TEST_F(HomePageTest, AnUnreadableRecordChangesNoSelection) {
    hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "");
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::rememberSelection("wg-home");
    open();
    {
        // At the start: nothing is shown and the page waits for a restore that works.
        hometest::UnreadableTable away("ZRWIREGUARDVPN");
        restore();
        EXPECT_TRUE(page->isAwaitingRestore());
        EXPECT_TRUE(text("btnSelectProfile").isEmpty());
        EXPECT_TRUE(page->activeProfileName().isEmpty());
        EXPECT_EQ(page->selectedVPNType(), 0);
    }
    restore();
    ASSERT_FALSE(page->isAwaitingRestore());
    ASSERT_EQ(page->activeProfileName(), QStringLiteral("wg-home"));

    // Later: the selected profile is deleted and the row that would replace it cannot be
    // read. The button keeps naming the profile whose kind and record the page holds.
    ProfileInfo wg = (*hometest::app()->GetProfileList())[0];
    ASSERT_EQ(hometest::store()->DeleteProfile(&wg), 0);
    {
        hometest::UnreadableTable away("OPENVPN");
        showAgain();
        EXPECT_EQ(page->activeProfileName(), QStringLiteral("wg-home"));
        EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("wg-home"));
        EXPECT_EQ(page->selectedVPNType(), 4);
        EXPECT_EQ(hometest::selectedName(), "wg-home");
    }
    showAgain();
    EXPECT_EQ(page->activeProfileName(), QStringLiteral("ovpn-office"));
    EXPECT_EQ(page->selectedVPNType(), 3);
}

TEST_F(HomePageTest, ConnectProfileByNameByStatus) {
    struct Case {
        const char* what;
        int status;
        const char* name;
        bool pressed;
        const char* selectedAfter;
    };
    // The list is "other", "current" (newest first); "current" is selected.
    const Case cases[] = {
        {"idle selects and connects", 0, "other", true, "other"},
        {"failed selects and connects", 3, "other", true, "other"},
        {"connecting another does nothing", 1, "other", false, "current"},
        {"connected another does nothing", 2, "other", false, "current"},
        {"connecting the same cancels", 1, "current", true, "current"},
        {"connected the same disconnects", 2, "current", true, "current"},
        {"idle with the same connects", 0, "current", true, "current"},
        {"an unknown name connects the remembered row", 0, "unknown", true, "current"},
    };
    for (const Case& c : cases) {
        hometest::clearStore();
        hometest::addWireGuard("current", "198.51.100.1", "10.8.0.1", 24);
        hometest::addOpenVPN("other", 3, "vpn.example.org", "");
        hometest::rememberSelection("current");
        open();
        restore();
        ASSERT_EQ(page->activeProfileName(), QStringLiteral("current"));
        setStatus(c.status);
        QSignalSpy pressed(w<QPushButton>("btnConnect"), SIGNAL(clicked()));
        page->connectProfileByName(QString::fromLatin1(c.name));
        EXPECT_EQ(pressed.count(), c.pressed ? 1 : 0) << c.what;
        EXPECT_EQ(page->activeProfileName(), QString::fromLatin1(c.selectedAfter)) << c.what;
        EXPECT_EQ(page->selectedProfileName(), c.selectedAfter) << c.what;
        EXPECT_EQ(hometest::selectedName(), c.selectedAfter) << c.what;
    }
}

TEST_F(HomePageTest, ConnectProfileByNameLeavesRowsItCannotShow) {
    hometest::addWireGuard("a", "198.51.100.1", "10.8.0.1", 24);
    hometest::addWireGuard("b", "198.51.100.2", "10.8.0.2", 24);
    hometest::addOpenVPN("c", 3, "vpn.example.org", "");
    hometest::rememberSelection("a");
    open();
    restore();
    ASSERT_EQ(page->selectedRow(), 2);
    QSignalSpy pressed(w<QPushButton>("btnConnect"), SIGNAL(clicked()));

    // A named row whose record cannot be read is neither selected nor connected.
    {
        hometest::UnreadableTable away("OPENVPN");
        page->connectProfileByName(QStringLiteral("c"));
    }
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_EQ(page->activeProfileName(), QStringLiteral("a"));
    EXPECT_EQ(page->selectedVPNType(), 4);

    // The list shrank behind the page's back: the remembered place is past its end.
    std::vector<ProfileInfo> list = *hometest::app()->GetProfileList();
    ASSERT_EQ(hometest::store()->DeleteProfile(&list[1]), 0);
    ASSERT_EQ(hometest::store()->DeleteProfile(&list[2]), 0);
    ASSERT_EQ(ReloadProfileList(), 0);
    page->connectProfileByName(QStringLiteral("unknown"));
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_EQ(page->activeProfileName(), QStringLiteral("a"));

    hometest::clearStore();
    page->connectProfileByName(QStringLiteral("unknown"));
    EXPECT_EQ(pressed.count(), 0) << "nothing to connect in an empty list";
}

TEST_F(HomePageTest, KindDecidesTheTrafficCardAndAddressRows) {
    open();
    restore();
    choose(0, "ipsec", 1, 1, "203.0.113.9", "", -1);
    EXPECT_FALSE(w("trafficWidget")->isVisible());
    EXPECT_FALSE(w("widgetSpacer")->isVisible());
    EXPECT_FALSE(w("labelIPWidget")->isVisible());
    EXPECT_FALSE(w("labelMaskWidget")->isVisible());
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("IPsec VPN"));

    choose(0, "wg", 4, 1, "198.51.100.7", "10.8.0.2", 16);
    EXPECT_TRUE(w("trafficWidget")->isVisible());
    EXPECT_TRUE(w("widgetSpacer")->isVisible());
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.8.0.2"));
    EXPECT_EQ(text("labelMask"), QStringLiteral("255.255.0.0"));
    EXPECT_TRUE(w("labelMaskWidget")->isVisible());

    choose(0, "ssl", 2, 1, "", "", -1);
    EXPECT_EQ(text("labelServerIP"), QString());
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("SSL VPN"));
    EXPECT_FALSE(w("labelIPWidget")->isVisible())
        << "not connected: an OpenVPN kind without address hides it";

    // While a connection is under way the SSL VPN and OpenVPN road fills the rows.
    page->showLocalAddress(QStringLiteral("10.9.0.6"), QStringLiteral("255.255.255.0"));
    page->setLocalAddressRowsVisible(true, true);
    page->showConnecting();
    choose(0, "ovpn", 3, 1, "vpn.example.org", "", -1);
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("Openvpn"));
    EXPECT_TRUE(w("labelIPWidget")->isVisible());
    EXPECT_TRUE(w("labelMaskWidget")->isVisible());
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.9.0.6"));
    choose(0, "ipsec", 1, 1, "203.0.113.9", "", -1);
    EXPECT_FALSE(w("labelIPWidget")->isVisible()) << "other kinds hide it in any state";

    // A kind outside the four changes neither the label nor the cards.
    choose(0, "odd", 7, 1, "", "", -1);
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("IPsec VPN"));
    EXPECT_FALSE(w("trafficWidget")->isVisible());
}

TEST_F(HomePageTest, ChoosingRemembersTheName) {
    open();
    restore();
    const QString name = QStringLiteral("Bürocomputer ✓");
    choose(3, name, 4, 9, "198.51.100.7", "10.8.0.2", 24);
    EXPECT_EQ(hometest::selectedName(), name.toUtf8().toStdString());
    EXPECT_EQ(page->selectedRow(), 3);
    EXPECT_EQ(page->selectedConfigId(), 9);
    EXPECT_EQ(w<QPushButton>("btnSelectProfile")->toolTip(), name);

    // A name longer than the stored field is cut at a character boundary.
    const QString longName = QString(400, QChar(0x00FC));
    choose(0, longName, 4, 9, "", "", -1);
    const std::string stored = hometest::selectedName();
    EXPECT_EQ(stored.size(), 510u);
    EXPECT_TRUE(QString::fromUtf8(stored.c_str()).startsWith(QString(255, QChar(0x00FC))));

    // A long name is elided on the button, whole in its tool tip.
    const QString wide = QString(120, QLatin1Char('W'));
    choose(0, wide, 4, 9, "", "", -1);
    EXPECT_TRUE(text("btnSelectProfile").endsWith(QChar(0x2026)));
    EXPECT_EQ(page->activeProfileName(), wide);
}

TEST_F(HomePageTest, LookOfEachConnectionState) {
    struct Case {
        const char* what;
        void (HomeWidget::*show)();
        int status;
        const char* label;
        const char* style; // nullptr: unchanged
        const char* button;
        bool spinnerPlace, warning;
    };
    const Case cases[] = {
        {"connecting", &HomeWidget::showConnecting, 1, "Connecting...", "#labelConnectStatus{color:#1D2529;}",
         "Connecting...", true, false},
        {"connected", &HomeWidget::showConnected, 2, "Connected", "#labelConnectStatus{color:#0DC901;}",
         "Disconnect", false, false},
        {"failed", &HomeWidget::showConnectFailed, 3, "Disconnected", "#labelConnectStatus{color:#FF3F65;}",
         "Connect", false, true},
        {"not connected", &HomeWidget::showNotConnected, 0, "No Connection",
         "#labelConnectStatus{color:#1D2529;}", "Connect", false, false},
    };
    open();
    for (const Case& c : cases) {
        (page.get()->*c.show)();
        EXPECT_EQ(page->currentStatus(), c.status) << c.what;
        EXPECT_EQ(text("labelConnectStatus"), QString::fromLatin1(c.label)) << c.what;
        EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QString::fromLatin1(c.style)) << c.what;
        EXPECT_EQ(text("btnConnect"), QString::fromLatin1(c.button)) << c.what;
        EXPECT_EQ(w("loadingWidget")->isVisible(), c.spinnerPlace) << c.what;
        EXPECT_EQ(w("statusIconWidget")->isVisible(), c.warning) << c.what;
    }

    // A failure then a cancel: the plain text in the colour it had, no warning change.
    page->showConnecting();
    page->showConnectCancelled();
    EXPECT_EQ(page->currentStatus(), 3);
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#1D2529;}"));
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Connect"));
    EXPECT_FALSE(w("loadingWidget")->isVisible());

    page->showTrafficTotals(1536, 12.3456);
    EXPECT_EQ(text("labelUpload"), QStringLiteral("1.50"));
    EXPECT_EQ(text("label_8"), QStringLiteral("GB"));
    EXPECT_EQ(text("labelDownload"), QStringLiteral("12.35"));
    EXPECT_EQ(text("label_9"), QStringLiteral("MB"));
    page->showNotConnected();
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    EXPECT_EQ(text("labelDownload"), QStringLiteral("- -"));
    EXPECT_EQ(text("label_8"), QStringLiteral("GB")) << "the unit keeps its last text";

    page->showConnectDuration(3725);
    EXPECT_EQ(text("labelConnTime"), QStringLiteral("1h 2m 5s"));
}

TEST_F(HomePageTest, ConnectingUsesTheAppliedModeAndNotConnectedThePagesMode) {
    open();
    guitest::applyColorMode(2);
    page->showConnecting();
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#FFFFFF;}"));
    page->showNotConnected();
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#FFFFFF;}"));
    // The mode held by the settings, not yet reaching the page's widgets.
    SystemContext::GetSettingManager()->setColorMode(1);
    page->showConnecting();
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#1D2529;}"));
    page->showNotConnected();
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#FFFFFF;}"));
}

TEST_F(HomePageTest, SpinnerFollowsThePageAndTheWindow) {
    open();
    page->move(50, 60);
    page->showConnecting();
    auto* spinner = page->findChild<ZRLoadingPie*>();
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_EQ(spinner->pos(), w("loadingWidget")->mapToGlobal(QPoint(0, 0)));

    page->move(250, 160);
    EXPECT_TRUE(guitest::waitFor([&] {
        return spinner->pos() == w("loadingWidget")->mapToGlobal(QPoint(0, 0));
    })) << "the spinner stays at "
        << spinner->pos().x() << "," << spinner->pos().y();

    page->hide();
    EXPECT_FALSE(spinner->isVisible());
    EXPECT_FALSE(w("loadingWidget")->isVisibleTo(page.get()));
    page->show();
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_TRUE(w("loadingWidget")->isVisible());

    page->showConnected();
    EXPECT_FALSE(spinner->isVisible());

    // Connecting while the page is hidden shows the spinner only with the page.
    page->hide();
    QSignalSpy started(page.get(), SIGNAL(signalStartLoading()));
    page->showConnecting();
    EXPECT_EQ(started.count(), 0);
    EXPECT_FALSE(spinner->isVisible());
    page->show();
    EXPECT_EQ(started.count(), 1);
    EXPECT_TRUE(spinner->isVisible());
}

TEST_F(HomePageTest, HoveringTheButtonOffersCancelOnlyWhileConnecting) {
    open();
    QWidget* button = w("btnConnect");
    auto hover = [&](QEvent::Type type) {
        QEvent event(type);
        QApplication::sendEvent(button, &event);
    };
    page->showConnecting();
    hover(QEvent::Enter);
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Cancel"));
    hover(QEvent::Leave);
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Connecting..."));
    for (int status : {0, 2, 3}) {
        setStatus(status);
        const QString before = text("btnConnect");
        hover(QEvent::Enter);
        EXPECT_EQ(text("btnConnect"), before) << status;
        hover(QEvent::Leave);
        EXPECT_EQ(text("btnConnect"), before) << status;
    }
}

TEST_F(HomePageTest, ColourModeRestylesTextsAndShadows) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::rememberSelection("wg-home");
    open();
    restore();
    auto shadowOf = [&](const char* card) {
        PaintedShadow* shadow = PaintedShadow::of(w(card));
        return shadow != nullptr ? shadow->color() : QColor();
    };
    guitest::applyColorMode(2);
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#FFFFFF;}"));
    EXPECT_EQ(profileButtonStyle(), QStringLiteral("color:#FFFFFF;"));
    for (const char* card : {"profileWidget", "connectInfoWidget", "trafficWidget"}) {
        EXPECT_EQ(shadowOf(card), QColor("#FF000000")) << card;
        EXPECT_EQ(PaintedShadow::of(w(card))->blurRadius(), 24);
        EXPECT_EQ(PaintedShadow::of(w(card))->offset(), QPointF(0, 2));
    }
    guitest::applyColorMode(1);
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#1D2529;}"));
    EXPECT_EQ(profileButtonStyle(), QStringLiteral("color:#1D2529;"));
    EXPECT_EQ(shadowOf("trafficWidget"), QColor("#A0E1E1E1"));

    // Connected and failed keep their colours.
    page->showConnected();
    guitest::applyColorMode(2);
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#0DC901;}"));

    // While another page is shown the profile button reads as empty; the next show
    // puts the full colour back.
    page->hide();
    guitest::applyColorMode(1);
    EXPECT_EQ(profileButtonStyle(), QStringLiteral("color:#661D2529;"));
    page->show();
    EXPECT_EQ(profileButtonStyle(), QStringLiteral("color:#1D2529;"));
}

TEST_F(HomePageTest, LanguageChangeWhileAProfileIsShown) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::rememberSelection("wg-home");
    open();
    restore();
    page->showConnected();
    page->showConnectDuration(61);
    page->showTrafficTotals(1536, 2);

    ASSERT_TRUE(language(QStringLiteral("de")));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Verbunden"));
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Trennen"));
    EXPECT_EQ(text("label_0"), QStringLiteral("Aktives Profil"));
    EXPECT_EQ(text("label_3"), QStringLiteral("Maske:"));
    // The form's own texts are back to their first state until the next tick.
    EXPECT_EQ(text("labelUpload"), QStringLiteral("- -"));
    EXPECT_EQ(text("label_8"), QStringLiteral("MB"));
    EXPECT_TRUE(text("labelConnTime").isEmpty());
    // The profile and its addresses stay.
    EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("wg-home"));
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.8.0.2"));
    EXPECT_EQ(text("labelServerIP"), QStringLiteral("198.51.100.7"));
    showAgain();
    EXPECT_EQ(text("labelVPNType"), QStringLiteral("WireGuard VPN"));

    // Every state reads in the new language.
    const struct {
        int status;
        const char* label;
        const char* button;
    } states[] = {{0, "Keine Verbindung", "Verbinden"},
                  {1, "Verbindungsaufbau...", "Verbindungsaufbau..."},
                  {3, "Getrennt", "Verbinden"}};
    for (const auto& s : states) {
        setStatus(s.status);
        ASSERT_TRUE(language(QStringLiteral("fr")));
        ASSERT_TRUE(language(QStringLiteral("de")));
        EXPECT_EQ(text("labelConnectStatus"), QString::fromUtf8(s.label)) << s.status;
        // The button grows to its longest text instead of cutting it short.
        EXPECT_EQ(text("btnConnect"), QString::fromUtf8(s.button)) << s.status;
        EXPECT_GT(w("btnConnect")->width(), 156) << s.status;
    }

    // While another page is shown the profile button falls back to the add text.
    page->hide();
    ASSERT_TRUE(language(QStringLiteral("en")));
    EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("Add New Profile"));
    page->show();
    EXPECT_EQ(text("btnSelectProfile"), QStringLiteral("wg-home"));
}

TEST_F(HomePageTest, PublishesWhatItShows) {
    hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "");
    hometest::rememberSelection("ovpn-office");
    open();
    restore();
    page->showConnected();
    page->showConnectDuration(3725);
    page->showTrafficTotals(2, 1);
    QVector<double> up(24, 0.0), down(24, 0.0);
    up[3] = 2;
    down[3] = 1;
    page->showHourlyTraffic(up, down);

    QSignalSpy published(page.get(), SIGNAL(signalUpdateConnectInfo(int, QString, QString, QString, QString,
                                                                    QVector<double>, QVector<double>)));
    page->publishConnectInfo();
    ASSERT_EQ(published.count(), 1);
    const QList<QVariant> args = published.first();
    EXPECT_EQ(args[0].toInt(), 2);
    EXPECT_EQ(args[1].toString(), QStringLiteral("ovpn-office"));
    EXPECT_EQ(args[2].toString(), QStringLiteral("1h 2m 5s"));
    // Each figure goes with its unit, as the page shows it.
    EXPECT_EQ(args[3].toString(), QStringLiteral("2.00 MB"));
    EXPECT_EQ(args[4].toString(), QStringLiteral("1.00 MB"));
    EXPECT_EQ(args[5].value<QVector<double>>(), up);
    EXPECT_EQ(args[6].value<QVector<double>>(), down);

    // A total above 1024 MiB goes in GB; no total reads "- -".
    page->showTrafficTotals(1536, 1);
    page->publishConnectInfo();
    EXPECT_EQ(published.last()[3].toString(), QStringLiteral("1.50 GB"));
    EXPECT_EQ(published.last()[4].toString(), QStringLiteral("1.00 MB"));
    page->showNotConnected();
    page->publishConnectInfo();
    EXPECT_EQ(published.last()[3].toString(), QStringLiteral("- -"));
    EXPECT_EQ(published.last()[4].toString(), QStringLiteral("- -"));

    // The chart is given the series again at every show, laid out for its size then.
    auto* chart = w<VPNBarChart>("barChart");
    EXPECT_EQ(chart->barRectangles()[3].top(), 0);
    page->resize(page->width(), page->height() + 100);
    showAgain();
    EXPECT_EQ(chart->barRectangles()[3].height(), chart->height() - 24);
}

TEST_F(HomePageTest, ProfileButtonOpensTheChooserOnlyWhenIdle) {
    hometest::addWireGuard("wg-home", "198.51.100.7", "10.8.0.2", 24);
    hometest::addOpenVPN("ovpn-office", 3, "vpn.example.org", "10.9.0.6");
    hometest::rememberSelection("wg-home");
    open();
    restore();
    auto* button = w<QPushButton>("btnSelectProfile");

    // The chooser preselects the shown profile; choosing another shows and remembers it.
    bool preselected = false;
    guitest::answerNextModal(
        [&](QWidget* modal) {
            auto* tree = modal->findChild<QTreeWidget*>("activeProfileTreeWidget");
            preselected = tree->currentItem() != nullptr &&
                          tree->currentItem()->data(0, 1).toString() == QStringLiteral("wg-home");
            tree->setCurrentItem(tree->topLevelItem(0));
            modal->findChild<QPushButton*>("btnConfirm")->click();
        },
        "ActiveProfileDialog");
    button->click();
    EXPECT_TRUE(preselected);
    EXPECT_EQ(page->activeProfileName(), QStringLiteral("ovpn-office"));
    EXPECT_EQ(page->selectedRow(), 0);
    EXPECT_EQ(text("labelIP"), QStringLiteral("10.9.0.6"));
    EXPECT_EQ(hometest::selectedName(), "ovpn-office");

    for (int status : {1, 2}) {
        setStatus(status);
        // A chooser that opened would hold the click until this guard closes it.
        bool opened = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = true;
                modal->close();
            }
        });
        guard.start(100);
        button->click();
        EXPECT_FALSE(opened) << status;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << status;
    }
}

} // namespace
