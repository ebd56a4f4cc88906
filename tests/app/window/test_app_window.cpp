#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "AppContext.h"
#include "ClientMain.h"
#include "GuiTest.h"
#include "HomeWidget.h"
#include "PaintedShadow.h"
#include "ProfileWidget.h"
#include "SettingManager.h"
#include "SettingWidget.h"
#include "SystemContext.h"
#include "TunnelTeardown.h"
#include "VPNMenuDialog.h"
#include "ZRVPNClient.h"

namespace {

// Records which teardown a close asked for, for which kind of profile.
class RecordingTeardown : public TunnelTeardown {
public:
    void disconnectTunnel(const ProfileInfo& profile) override {
        calls.push_back("disconnect " + std::to_string(profile.ProfileType));
    }
    void cancelConnect(const ProfileInfo& profile) override {
        calls.push_back("cancel " + std::to_string(profile.ProfileType));
    }
    std::vector<std::string> calls;
};

template <typename T> T* child(ZRVPNClient& window, const char* name) {
    return guitest::child<T>(&window, name);
}

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& global, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, target->mapFromGlobal(global), global, button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        AppContext* app = SystemContext::Instance()->GetAppContext();
        app->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        app->SetCurrentProfile(ProfileInfo());
    }
};

TEST_F(MainWindowTest, TheStartBuildsTheHomePageAndEachTabBuildsItsPageOnce) {
    // Whichever page is asked for first, the stack holds them in the order of the tabs.
    const struct {
        const char* first;
        const char* second;
    } orders[] = {{"btnProfile", "btnSetting"}, {"btnSetting", "btnProfile"}};
    for (const auto& order : orders) {
        ZRVPNClient window;
        auto* stack = child<QStackedWidget>(window, "stackedWidget");
        ASSERT_EQ(stack->count(), 1) << order.first;
        EXPECT_TRUE(qobject_cast<HomeWidget*>(stack->widget(0)) &&
                    stack->widget(0)->objectName() == "homeWidget");
        EXPECT_EQ(window.findChild<ProfileWidget*>(), nullptr);
        EXPECT_EQ(window.findChild<SettingWidget*>(), nullptr);
        EXPECT_EQ(stack->currentIndex(), 0);
        EXPECT_TRUE(child<QPushButton>(window, "btnHome")->isChecked());
        EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));

        QTest::mouseClick(child<QPushButton>(window, order.first), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(window, order.second), Qt::LeftButton);
        ASSERT_EQ(stack->count(), 3) << order.first;
        EXPECT_TRUE(qobject_cast<HomeWidget*>(stack->widget(0)) &&
                    stack->widget(0)->objectName() == "homeWidget");
        EXPECT_TRUE(qobject_cast<ProfileWidget*>(stack->widget(1)) &&
                    stack->widget(1)->objectName() == "profileWidget");
        EXPECT_TRUE(qobject_cast<SettingWidget*>(stack->widget(2)) &&
                    stack->widget(2)->objectName() == "settingWidget");
        EXPECT_EQ(window.profilePage(), stack->widget(1));
        EXPECT_EQ(window.settingsPage(), stack->widget(2));

        const struct {
            const char* button;
            int page;
        } tabs[] = {
            {"btnProfile", 1}, {"btnSetting", 2}, {"btnHome", 0}, {"btnSetting", 2}, {"btnProfile", 1}};
        for (const auto& tab : tabs) {
            QTest::mouseClick(child<QPushButton>(window, tab.button), Qt::LeftButton);
            EXPECT_EQ(stack->currentIndex(), tab.page) << tab.button;
            EXPECT_TRUE(child<QPushButton>(window, tab.button)->isChecked()) << tab.button;
        }
        EXPECT_EQ(stack->count(), 3) << "each page is built once";
        EXPECT_EQ(window.findChildren<ProfileWidget*>().size(), 1);
        EXPECT_EQ(window.findChildren<SettingWidget*>().size(), 1);
    }
    EXPECT_EQ(QApplication::wheelScrollLines(), 1);
}

// The frame's and the home page's cards' shadows look as Qt's drop shadows of the same
// colour, blur and offset on the same widgets, in both colour modes.
TEST_F(MainWindowTest, ShadowsLookAsQtsDropShadowsInBothColourModes) {
    struct Card {
        const char* name;
        QColor light;
    };
    const QColor black(QStringLiteral("#FF000000"));
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        ZRVPNClient window;
        ASSERT_TRUE(guitest::showAndExpose(&window));
        const QImage painted = window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);

        // The same window with Qt's graphics effects in their place.
        auto putEffect = [](QWidget* widget, const QColor& color) {
            delete PaintedShadow::of(widget);
            auto* effect = new QGraphicsDropShadowEffect;
            effect->setColor(color);
            effect->setOffset(0, 2);
            effect->setBlurRadius(24);
            widget->setGraphicsEffect(effect);
        };
        putEffect(child<QWidget>(window, "ZRVPNClientWidget"), black);
        for (const char* card : {"profileWidget", "connectInfoWidget", "trafficWidget"}) {
            QWidget* widget = child<HomeWidget>(window, "homeWidget")->findChild<QWidget*>(card);
            ASSERT_NE(PaintedShadow::of(widget), nullptr) << card;
            putEffect(widget, mode == 2 ? black : QColor(QStringLiteral("#A0E1E1E1")));
        }
        const QImage effects = window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_EQ(painted.size(), effects.size());
        int largest = 0;
        for (int y = 0; y < painted.height(); ++y) {
            for (int x = 0; x < painted.width(); ++x) {
                const QRgb p = painted.pixel(x, y);
                const QRgb q = effects.pixel(x, y);
                largest = std::max({largest, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                                    std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            }
        }
        EXPECT_LE(largest, 3) << "colour mode " << mode;
        // The frame's shadow lies in the margin around it.
        EXPECT_GT(qAlpha(painted.pixel(painted.width() / 2, painted.height() - 12)), 0) << mode;
    }
}

TEST_F(MainWindowTest, SizeRuleShrinksOnlyForALowScreen) {
    const struct {
        QRect available;
        QSize size;
        QSize minimum;
    } cases[] = {
        {QRect(0, 0, 1280, 560), QSize(1152, 504), QSize(1152, 504)},
        {QRect(0, 0, 1366, 599), QSize(1229, 539), QSize(1229, 539)},
        {QRect(0, 0, 1280, 600), QSize(978, 648), QSize(930, 600)},
        {QRect(0, 0, 1920, 1080), QSize(978, 648), QSize(930, 600)},
        // Narrow but tall: only the height counts.
        {QRect(0, 0, 700, 2000), QSize(978, 648), QSize(930, 600)},
    };
    for (const auto& c : cases) {
        ZRVPNClient window;
        window.move(40, 30);
        window.applySizeRule(c.available);
        EXPECT_EQ(window.size(), c.size) << c.available.width() << "x" << c.available.height();
        EXPECT_EQ(window.minimumSize(), c.minimum) << c.available.width() << "x" << c.available.height();
        EXPECT_EQ(window.pos(), QPoint(40, 30));
    }
    // The offscreen screen offers 600 pixels: the form's sizes stay.
    ZRVPNClient window;
    EXPECT_EQ(window.size(), QSize(978, 648));
    EXPECT_EQ(window.minimumSize(), QSize(930, 600));
}

TEST_F(MainWindowTest, OwnCloseButtonHidesToTheTrayAndMinimiseMinimises) {
    ZRVPNClient window;
    window.setTrayAvailableCheck([] { return true; });
    ASSERT_TRUE(guitest::showAndExpose(&window));
    QTest::mouseClick(child<QPushButton>(window, "btnMin"), Qt::LeftButton);
    EXPECT_TRUE(window.isMinimized());
    window.showNormal();
    RecordingTeardown teardown;
    window.setTunnelTeardown(&teardown);
    SystemContext::Instance()->GetAppContext()->SetConnectStatus(CONNECT_STATUS_CONNECTED);
    QTest::mouseClick(child<QPushButton>(window, "btnQuit"), Qt::LeftButton);
    EXPECT_TRUE(window.isHidden());
    EXPECT_TRUE(teardown.calls.empty()) << "hiding ends no tunnel";
}

TEST_F(MainWindowTest, WithoutATrayTheCloseButtonMinimisesAndCtrlQQuits) {
    // Asked at each press: a tray that appears or goes later counts from then on.
    bool tray = false;
    ZRVPNClient window;
    window.setTrayAvailableCheck([&tray] { return tray; });
    RecordingTeardown teardown;
    window.setTunnelTeardown(&teardown);
    SystemContext::Instance()->GetAppContext()->SetConnectStatus(CONNECT_STATUS_CONNECTED);
    ASSERT_TRUE(guitest::showAndExpose(&window));
    QTest::mouseClick(child<QPushButton>(window, "btnQuit"), Qt::LeftButton);
    EXPECT_FALSE(window.isHidden()) << "nothing would bring a hidden window back";
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(teardown.calls.empty());
    window.showNormal();
    tray = true;
    QTest::mouseClick(child<QPushButton>(window, "btnQuit"), Qt::LeftButton);
    EXPECT_TRUE(window.isHidden());

    // Ctrl+Q is the tray pop-up's Quit: the tunnel ends and the program with 0.
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTimer::singleShot(0, &window, [&window] { QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(window.isHidden());
    EXPECT_EQ(teardown.calls.size(), 1u);
}

TEST_F(MainWindowTest, CloseEndsTheTunnelByStatusAndKindAndExitsWithZero) {
    // Connected: disconnected by its kind; connecting: cancelled by its kind, so nothing
    // that the connect started outlives the client; otherwise nothing to end.
    for (int status = 0; status <= 3; ++status) {
        for (int kind :
             {int(VPN_TYPE_IPSEC), int(VPN_TYPE_SSLVPN), int(VPN_TYPE_OPENVPN), int(VPN_TYPE_WIREGUARD), 9}) {
            AppContext* app = SystemContext::Instance()->GetAppContext();
            ProfileInfo profile;
            profile.ProfileType = kind;
            std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "office");
            app->SetCurrentProfile(profile);
            app->SetConnectStatus(status);

            RecordingTeardown teardown;
            ZRVPNClient window;
            window.setTunnelTeardown(&teardown);
            window.show();
            EXPECT_EQ(guitest::closeFromEventLoop(&window), 0) << status << "/" << kind;
            EXPECT_FALSE(window.isVisible());

            std::vector<std::string> expected;
            if (status == CONNECT_STATUS_CONNECTED) {
                expected.push_back("disconnect " + std::to_string(kind));
            } else if (status == CONNECT_STATUS_CONNECTING) {
                expected.push_back("cancel " + std::to_string(kind));
            }
            EXPECT_EQ(teardown.calls, expected) << "status " << status << ", kind " << kind;
        }
    }
}

TEST_F(MainWindowTest, CloseOfAHiddenWindowStillEndsTheTunnel) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    ProfileInfo profile;
    profile.ProfileType = VPN_TYPE_WIREGUARD;
    app->SetCurrentProfile(profile);
    app->SetConnectStatus(CONNECT_STATUS_CONNECTED);
    RecordingTeardown teardown;
    ZRVPNClient window;
    window.setTunnelTeardown(&teardown);
    window.show();
    window.hideToTray();
    EXPECT_EQ(guitest::closeFromEventLoop(&window), 0);
    EXPECT_EQ(teardown.calls, std::vector<std::string>{"disconnect 4"});
}

TEST_F(MainWindowTest, DragsOnlyWithTheLeftButtonHeldAlone) {
    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    window.move(100, 100);
    const QPoint start = window.pos();
    const QPoint grip = start + QPoint(60, 10);

    sendMouse(&window, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&window, QEvent::MouseMove, grip + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), start + QPoint(30, 20));
    sendMouse(&window, QEvent::MouseButtonRelease, grip + QPoint(30, 20), Qt::LeftButton, Qt::NoButton);
    sendMouse(&window, QEvent::MouseMove, grip + QPoint(80, 80), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), start + QPoint(30, 20)) << "a release ends the drag";

    const QPoint moved = window.pos();
    const QPoint grip2 = moved + QPoint(60, 10);
    sendMouse(&window, QEvent::MouseButtonPress, grip2, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    sendMouse(&window, QEvent::MouseMove, grip2 + QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), moved) << "a press with the right button held too starts no drag";

    sendMouse(&window, QEvent::MouseButtonPress, grip2, Qt::LeftButton, Qt::LeftButton);
    sendMouse(&window, QEvent::MouseButtonRelease, grip2, Qt::RightButton, Qt::LeftButton);
    sendMouse(&window, QEvent::MouseMove, grip2 + QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window.pos(), moved) << "any button's release ends the drag";
}

TEST_F(MainWindowTest, TrayMenuRequestEmitsTheIconCornerAndShowsNoEntries) {
    ZRVPNClient window;
    auto* menu = window.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QSignalSpy spy(&window, &ZRVPNClient::signalShowAction);
    ASSERT_TRUE(QMetaObject::invokeMethod(menu, "aboutToShow"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(menu->actions().isEmpty());
    auto* tray = window.findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    // A tray that reports no place for its icon gives the pointer's position instead.
    const QPoint expected = tray->geometry().isEmpty() ? QCursor::pos() : tray->geometry().topLeft();
    EXPECT_EQ(spy.at(0).at(0).toInt(), expected.x());
    EXPECT_EQ(spy.at(0).at(1).toInt(), expected.y());
}

TEST_F(MainWindowTest, TrayIconIsShownWithTheApplicationName) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        GTEST_SKIP() << "the platform (" << qPrintable(QApplication::platformName())
                     << ") has no system tray to show the icon in";
    }
    ZRVPNClient window;
    auto* tray = window.findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(tray->isVisible());
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Korva VPN"));
}

TEST_F(MainWindowTest, TrayIconClickShowsAndRestoresOnlyOnTrigger) {
    ZRVPNClient window;
    window.hide();
    ASSERT_TRUE(
        QMetaObject::invokeMethod(&window, "slotActivatedSysTrayIcon",
                                  Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Context)));
    EXPECT_TRUE(window.isHidden());
    ASSERT_TRUE(
        QMetaObject::invokeMethod(&window, "slotActivatedSysTrayIcon",
                                  Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Trigger)));
    EXPECT_TRUE(window.isVisible());
    window.showMinimized();
    ASSERT_TRUE(
        QMetaObject::invokeMethod(&window, "slotActivatedSysTrayIcon",
                                  Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::Trigger)));
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
}

TEST_F(MainWindowTest, BringToFrontRestoresAHiddenOrMinimisedWindow) {
    ZRVPNClient window;
    window.hide();
    window.bringToFront();
    EXPECT_TRUE(window.isVisible());
    window.showMinimized();
    window.bringToFront();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(MainWindowTest, PageRequestsShowTheirPage) {
    ZRVPNClient window;
    auto* stack = child<QStackedWidget>(window, "stackedWidget");
    QTest::mouseClick(child<QPushButton>(window, "btnSetting"), Qt::LeftButton);
    emit window.profilePage()->signalConnectProfile(QStringLiteral("office"));
    EXPECT_EQ(stack->currentIndex(), 0);
    EXPECT_TRUE(child<QPushButton>(window, "btnHome")->isChecked());

    // The add request shows the Profiles page and opens the profile editor over it.
    bool editorOpened = false;
    guitest::answerNextModal(
        [&](QWidget* editor) {
            editorOpened = true;
            EXPECT_EQ(stack->currentIndex(), 1);
            editor->close();
        },
        "ProfileConfigDialog");
    SystemContext::GetSettingManager()->notifyAddNewProfile();
    EXPECT_TRUE(editorOpened);
    EXPECT_EQ(stack->currentIndex(), 1);
    EXPECT_TRUE(child<QPushButton>(window, "btnProfile")->isChecked());
}

TEST_F(MainWindowTest, RelaysTheHomePagesConnectionReport) {
    ZRVPNClient window;
    QSignalSpy spy(&window, &ZRVPNClient::signalConnectInfo);
    QVector<double> up(24, 0.0);
    QVector<double> down(24, 0.0);
    up[3] = 1.5;
    down[4] = 2.5;
    emit child<HomeWidget>(window, "homeWidget")
        ->signalUpdateConnectInfo(2, QStringLiteral("office"), QStringLiteral("0h 1m 2s"),
                                  QStringLiteral("1.00"), QStringLiteral("2.00"), up, down);
    ASSERT_EQ(spy.count(), 1);
    const QList<QVariant> args = spy.at(0);
    EXPECT_EQ(args.at(0).toInt(), 2);
    EXPECT_EQ(args.at(1).toString(), QStringLiteral("office"));
    EXPECT_EQ(args.at(2).toString(), QStringLiteral("0h 1m 2s"));
    EXPECT_EQ(args.at(3).toString(), QStringLiteral("1.00"));
    EXPECT_EQ(args.at(4).toString(), QStringLiteral("2.00"));
    EXPECT_EQ(args.at(5).value<QVector<double>>(), up);
    EXPECT_EQ(args.at(6).value<QVector<double>>(), down);
}

TEST_F(MainWindowTest, FormTextsFollowTheLanguage) {
    ZRVPNClient window;
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("de")));
    QCoreApplication::sendPostedEvents(); // the language change is posted to the windows
    EXPECT_EQ(child<QPushButton>(window, "btnHome")->text(), QStringLiteral("Startseite"));
    EXPECT_EQ(child<QPushButton>(window, "btnProfile")->text(), QStringLiteral("Profil"));
    EXPECT_EQ(child<QPushButton>(window, "btnSetting")->text(), QStringLiteral("Einstellungen"));
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("en")));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(child<QPushButton>(window, "btnHome")->text(), QStringLiteral("Home"));
}

// The tray pop-up's handlers. Each pop-up runs in a loop of its own inside the handler.
class TrayPopupTest : public MainWindowTest {
protected:
    static VPNMenuDialog* openPopup() { return guitest::findWidget<VPNMenuDialog>(); }
};

TEST_F(TrayPopupTest, PlacedAboveTheIconAndEndsItsLoopWhenClosed) {
    ZRVPNClient window;
    QPoint placed;
    QSize size;
    int popupsSeen = 0;
    QTimer::singleShot(0, [&] {
        VPNMenuDialog* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        ++popupsSeen;
        placed = popup->pos();
        size = popup->size();
        // A second request while the pop-up is open places the same one again.
        ShowTrayPopup(&window, 1000, 700);
        EXPECT_EQ(openPopup(), popup);
        EXPECT_EQ(popup->pos(), QPoint(1000 - popup->width() / 2, 700 - popup->height() + 24));
        popup->close();
    });
    ShowTrayPopup(&window, 1800, 1040);
    EXPECT_EQ(popupsSeen, 1);
    EXPECT_EQ(placed, QPoint(1800 - size.width() / 2, 1040 - size.height() + 24));
    EXPECT_EQ(openPopup(), nullptr) << "the handler returns once its pop-up has closed";
    // The next request opens a new pop-up and returns again when it closes.
    QTimer::singleShot(0, [] {
        VPNMenuDialog* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        popup->close();
    });
    ShowTrayPopup(&window, 10, 500);
    EXPECT_EQ(openPopup(), nullptr);
}

TEST_F(TrayPopupTest, ButtonsShowConnectAndQuit) {
    ZRVPNClient window;
    window.showMinimized();
    QTimer::singleShot(0, [] {
        VPNMenuDialog* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        emit popup->signalShowBtnClicked();
        popup->close();
    });
    ShowTrayPopup(&window, 100, 100);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);

    window.hide();
    QTimer::singleShot(0, [] {
        VPNMenuDialog* popup = openPopup();
        ASSERT_NE(popup, nullptr);
        emit popup->signalConnectBtnClicked();
        popup->close();
    });
    ShowTrayPopup(&window, 100, 100);
    EXPECT_TRUE(window.isHidden()) << "Connect leaves a window hidden in the tray hidden";

    // Quit closes the main window, which ends every loop: the pop-up's and the
    // application's, with 0.
    RecordingTeardown teardown;
    window.setTunnelTeardown(&teardown);
    AppContext* app = SystemContext::Instance()->GetAppContext();
    ProfileInfo profile;
    profile.ProfileType = VPN_TYPE_OPENVPN;
    app->SetCurrentProfile(profile);
    app->SetConnectStatus(CONNECT_STATUS_CONNECTED);
    QTimer::singleShot(0, [&window] {
        QTimer::singleShot(0, [] {
            VPNMenuDialog* popup = openPopup();
            ASSERT_NE(popup, nullptr);
            emit popup->signalQuitBtnClicked();
            popup->close();
        });
        ShowTrayPopup(&window, 100, 100);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(teardown.calls, std::vector<std::string>{"disconnect 3"});
}

} // namespace
