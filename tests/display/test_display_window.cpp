// The main window and its home page while things change under a person's eyes: the tray
// pop-up's Quit takes the pop-up off the screen before the close waits for the tunnel to
// end; the connect button is busy (disabled, and drawn so) while a disconnect or a cancel
// ends the tunnel's programs, and takes presses again afterwards; the Profiles rows on the
// screen after a save and after a delete. On a display every step is also checked against
// what the X server shows; offscreen, the behaviour alone.
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include "ClientMain.h"
#include "ConnectTestSupport.h"
#include "ProfilesTest.h"
#include "ScreenCheck.h"
#include "TunnelTeardown.h"
#include "VPNMenuDialog.h"
#include "ZRVPNClient.h"

namespace {

void expectShown(const screen::XServer& server, QWidget* widget, const QString& step) {
    if (!server.connected()) {
        return;
    }
    QString report;
    EXPECT_TRUE(screen::waitShown(widget, server, step, &report))
        << step.toStdString() << ": " << report.toStdString();
}

// A close's teardown that looks at the screen while it runs, as the real one waits for the
// tunnel's programs to end.
class ObservingTeardown : public TunnelTeardown {
public:
    void disconnectTunnel(const ProfileInfo&) override { observe(); }
    void cancelConnect(const ProfileInfo&) override { observe(); }
    std::function<void()> during;
    int calls = 0;

private:
    void observe() {
        ++calls;
        if (during) {
            during();
        }
    }
};

TEST(TrayPopUpOnDisplay, QuitTakesThePopUpOffTheScreenBeforeTheTunnelEnds) {
    ASSERT_TRUE(guitest::startAppContext());
    screen::XServer server;
    AppContext* app = SystemContext::Instance()->GetAppContext();
    ProfileInfo profile;
    profile.ProfileType = VPN_TYPE_WIREGUARD;
    app->SetCurrentProfile(profile);
    app->SetConnectStatus(CONNECT_STATUS_CONNECTED);

    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    ObservingTeardown teardown;
    window.setTunnelTeardown(&teardown);
    QPointer<VPNMenuDialog> popup;
    quint32 popupWindow = 0;
    bool popupHidden = false;
    bool popupOnScreen = true;
    bool windowOnScreen = true;
    teardown.during = [&] {
        popupHidden = popup.isNull() || popup->isHidden();
        // The server takes requests from its clients in its own order: the unmaps the client
        // has sent are waited for here, from the test's connection, while the teardown holds
        // the client's thread.
        if (server.connected()) {
            popupOnScreen = !screen::waitUntil([&] { return !server.viewable(popupWindow); }, 30000);
            windowOnScreen = !screen::waitUntil(
                [&] { return !server.viewable(static_cast<quint32>(window.winId())); }, 30000);
        }
    };
    QTimer::singleShot(0, &window, [&] {
        QTimer::singleShot(0, [&] {
            popup = guitest::findWidget<VPNMenuDialog>();
            ASSERT_FALSE(popup.isNull());
            ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
            popupWindow = static_cast<quint32>(popup->winId());
            if (server.connected()) {
                EXPECT_TRUE(screen::waitUntil([&] { return server.viewable(popupWindow); }, 30000));
            }
            QTest::mouseClick(guitest::child<QPushButton>(popup, "btnQuit"), Qt::LeftButton);
        });
        ShowTrayPopup(&window, 900, 700);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(teardown.calls, 1);
    EXPECT_TRUE(popupHidden) << "the pop-up still showed while the tunnel ended";
    if (server.connected()) {
        EXPECT_FALSE(popupOnScreen) << "the pop-up stayed on the screen while the tunnel ended";
        EXPECT_FALSE(windowOnScreen) << "the window stayed on the screen while the tunnel ended";
    }
    app->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
    app->SetCurrentProfile(ProfileInfo());
}

// The WireGuard double whose uninstall waits until the test lets it end.
const QByteArray kSlowUninstall = R"SH(#!/bin/bash
echo "$@" >> wireguard-calls.txt
case "$1" in
/installtunnelservice)
    shift; name=$(basename "$*" .conf); touch "wg-up-$name"; echo "Tunnel service $name installed" ;;
/uninstalltunnelservice)
    shift; touch wg-uninstalling
    while [ ! -e wg-release ]; do sleep 0.02; done
    rm -f wg-uninstalling wg-release "wg-up-$*"; echo "Tunnel service $* uninstalled" ;;
esac
)SH";

class BusyButtonOnDisplay : public connecttest::ConnectTest {
protected:
    void SetUp() override {
        connecttest::ConnectTest::SetUp();
        ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wireguard"), kSlowUninstall));
        QFile::remove(QStringLiteral("wg-release"));
        QFile::remove(QStringLiteral("wg-uninstalling"));
    }
    void closePage() override {
        // Whatever a failed step left waiting ends now.
        connecttest::writeFile(QStringLiteral("wg-release"), QByteArray());
        connecttest::ConnectTest::closePage();
    }
    static int uninstalls() {
        return connecttest::readFile(QStringLiteral("wireguard-calls.txt"))
            .count(QStringLiteral("/uninstall"));
    }
    QPushButton* button() { return guitest::child<QPushButton>(home, "btnConnect"); }

    // Presses the button while the tunnel ends: the button is disabled and drawn so, a
    // press does nothing; once the programs have ended it takes presses again.
    void expectBusyUntilEnded(int endStatus, const QString& step) {
        ASSERT_TRUE(guitest::waitFor([] { return QFile::exists(QStringLiteral("wg-uninstalling")); }));
        EXPECT_FALSE(button()->isEnabled()) << step.toStdString();
        expectShown(server, button(), step + QStringLiteral("-busy"));
        const int asked = uninstalls();
        QTest::mouseClick(button(), Qt::LeftButton);
        press();
        EXPECT_EQ(uninstalls(), asked) << "a press while busy started nothing";
        connecttest::writeFile(QStringLiteral("wg-release"), QByteArray());
        ASSERT_TRUE(waitStatus(endStatus, 10000)) << step.toStdString();
        EXPECT_TRUE(guitest::waitFor([this] { return button()->isEnabled(); }, 30000)) << step.toStdString();
        expectShown(server, button(), step + QStringLiteral("-ready"));
    }

    screen::XServer server;
};

TEST_F(BusyButtonOnDisplay, WhileADisconnectOrACancelEndsTheTunnel) {
    connecttest::addWireGuardProfile("wg-office");
    open("wg-office");
    expectShown(server, button(), QStringLiteral("idle"));

    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 10000)) << guitest::logText().toStdString();
    press();
    expectBusyUntilEnded(CONNECT_STATUS_NOT_CONNECTED, QStringLiteral("disconnect"));

    // A connect's wait long enough to be cancelled during it.
    ConnectionTimings longWait = timings;
    longWait.wireGuardWaitMs = 10000;
    controller()->setTimings(longWait);
    press();
    ASSERT_EQ(status(), CONNECT_STATUS_CONNECTING);
    press();
    expectBusyUntilEnded(CONNECT_STATUS_DISCONNECTED, QStringLiteral("cancel"));
}

// The colour farthest from the button's own colour (at its top, inside its rounding): the
// core of its text's strokes, in the text's colour.
QRgb textColourOf(QPushButton* button) {
    const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb face = image.pixel(image.width() / 2, 2);
    QRgb farthest = face;
    int distance = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const int d = std::abs(qRed(pixel) - qRed(face)) + std::abs(qGreen(pixel) - qGreen(face)) +
                          std::abs(qBlue(pixel) - qBlue(face));
            if (d > distance) {
                distance = d;
                farthest = pixel;
            }
        }
    }
    return farthest;
}

// The tray pop-up's Connect button is busy as the home page's: disabled while a disconnect or
// a cancel ends the tunnel, a press on it then starts nothing, drawn in the home page's
// disabled colours in both colour modes; it takes presses again once the tunnel has ended.
// Both ways a pop-up meets it: open while the tunnel starts to end (the window hidden to the
// tray, the pop-up's own Connect ends it), and opened while it ends.
TEST_F(BusyButtonOnDisplay, TheTrayPopUpsConnectButtonIsBusyAsTheHomePages) {
    connecttest::addWireGuardProfile("wg-office");
    hometest::rememberSelection("wg-office");
    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    restore();
    use(guitest::child<HomeWidget>(&window, "homeWidget"));
    ASSERT_EQ(home->activeProfileName(), QStringLiteral("wg-office"));
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 10000)) << guitest::logText().toStdString();
    window.hideToTray();

    const auto popupButton = [] {
        auto* popup = guitest::findWidget<VPNMenuDialog>();
        return popup == nullptr ? nullptr : guitest::child<QPushButton>(popup, "btnConnect");
    };
    const auto expectBusyLook = [&](QPushButton* shown, const QString& step) {
        EXPECT_FALSE(shown->isEnabled()) << step.toStdString();
        EXPECT_EQ(textColourOf(shown), textColourOf(button())) << step.toStdString();
        EXPECT_NE(textColourOf(shown), qRgb(255, 255, 255)) << step.toStdString();
        expectShown(server, shown, step);
    };
    const auto release = [this] {
        connecttest::writeFile(QStringLiteral("wg-release"), QByteArray());
        ASSERT_TRUE(waitStatus(CONNECT_STATUS_NOT_CONNECTED, 10000));
        ASSERT_TRUE(guitest::waitFor([this] { return button()->isEnabled(); }, 30000));
        QFile::remove(QStringLiteral("wg-release"));
    };

    // Open while the pop-up's own Connect starts the disconnect.
    QTimer::singleShot(0, [&] {
        QPushButton* shown = popupButton();
        ASSERT_NE(shown, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown->window()));
        EXPECT_TRUE(shown->isEnabled());
        QTest::mouseClick(shown, Qt::LeftButton);
        ASSERT_TRUE(guitest::waitFor([] { return QFile::exists(QStringLiteral("wg-uninstalling")); }));
        EXPECT_TRUE(guitest::waitFor([&] { return !shown->isEnabled(); }, 30000));
        expectBusyLook(shown, QStringLiteral("tray-disconnect-normal"));
        const int asked = uninstalls();
        QTest::mouseClick(shown, Qt::LeftButton);
        EXPECT_EQ(uninstalls(), asked) << "a press while busy started nothing";
        release();
        EXPECT_TRUE(shown->isEnabled());
        shown->window()->close();
    });
    ShowTrayPopup(&window, 900, 700);

    // Opened while a disconnect from the home page ends the tunnel, in the dark mode.
    guitest::applyColorMode(2);
    press();
    ASSERT_TRUE(waitStatus(CONNECT_STATUS_CONNECTED, 10000));
    press();
    ASSERT_TRUE(guitest::waitFor([] { return QFile::exists(QStringLiteral("wg-uninstalling")); }));
    QTimer::singleShot(0, [&] {
        QPushButton* shown = popupButton();
        ASSERT_NE(shown, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown->window()));
        expectBusyLook(shown, QStringLiteral("tray-disconnect-dark"));
        release();
        EXPECT_TRUE(shown->isEnabled());
        shown->window()->close();
    });
    ShowTrayPopup(&window, 900, 700);
    guitest::applyColorMode(1);
}

class ProfileRowsOnDisplay : public profilestest::ProfilesTest {};

TEST_F(ProfileRowsOnDisplay, AfterASaveAndADelete) {
    screen::XServer server;
    seed({{"first", 4}});
    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    QTest::mouseClick(guitest::child<QPushButton>(&window, "btnProfile"), Qt::LeftButton);
    auto* page = guitest::child<ProfileWidget>(&window, "profileWidget");
    ASSERT_EQ(rowNames(*page), QStringList{QStringLiteral("first")});
    expectShown(server, page, QStringLiteral("rows-start"));

    editorAction = [](profilestest::FakeEditor* editor) { editor->saveProfile("second", 3); };
    QTest::mouseClick(button(*page, "btnAddProfile"), Qt::LeftButton);
    ASSERT_TRUE(guitest::waitFor([&] { return rowNames(*page).size() == 2; }));
    expectShown(server, page, QStringLiteral("rows-saved"));

    guitest::answerNextModal(
        [](QWidget* modal) { guitest::child<QPushButton>(modal, "btnConfirm")->click(); },
        "DeleteProfileDialog");
    clickIcon(*page, 0, profilestest::Icon::Delete);
    ASSERT_TRUE(guitest::waitFor([&] { return rowNames(*page).size() == 1; }));
    expectShown(server, page, QStringLiteral("rows-deleted"));
}

} // namespace
