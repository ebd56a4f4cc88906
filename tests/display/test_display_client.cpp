// The client as it starts (its own start, with its attributes, style sheet and font) on a
// display: its window named and pictured as the program, after a click on each tab the checked tab is drawn
// checked on the screen, the status card shows each connection state and the figures as they change, the
// close button without a tray leaves the window on the screen (or minimised), and Ctrl+Q ends the program.
// Run offscreen too, where only the behaviour is checked.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVector>
#include <gtest/gtest.h>

#include "ClientMain.h"
#include "ConnectionController.h"
#include "HomeWidget.h"
#include "ScreenCheck.h"
#include "ZRVPNClient.h"

namespace {

ZRVPNClient* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ZRVPNClient*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

template <typename T = QWidget> T* part(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Whether a file whose path holds `part` is mapped into the process.
bool loaded(const char* part) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(part);
}

// Checks that the screen shows each widget as it paints itself now (on a display only).
void expectShown(const screen::XServer& server, std::initializer_list<QWidget*> widgets,
                 const QString& step) {
    if (!server.connected()) {
        return;
    }
    for (QWidget* widget : widgets) {
        QString report;
        EXPECT_TRUE(
            screen::waitShown(widget, server, step + QLatin1Char('-') + widget->objectName(), &report))
            << step.toStdString() << ": " << report.toStdString();
    }
}

// A property of the window as xprop prints it ("WM_CLASS = ..."), its type left out.
QString windowProperty(QWidget* window, const char* name, const QStringList& options = {}) {
    QProcess xprop;
    xprop.start(
        QStringLiteral("xprop"),
        QStringList{QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-notype")}
            << options << QLatin1String(name));
    if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0) {
        return QString();
    }
    return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
}

// The task bar and Alt+Tab name the window by its title and class and show its icon: the
// program's name and its own icon, not the class name of the code or a generic picture.
void namedAsTheProgram(ZRVPNClient* window) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Korva VPN"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Korva VPN"));
    EXPECT_FALSE(window->windowIcon().isNull());
    if (!screen::onDisplay()) {
        return;
    }
    EXPECT_EQ(windowProperty(window, "_NET_WM_NAME"), QStringLiteral("_NET_WM_NAME = \"Korva VPN\""));
    EXPECT_EQ(windowProperty(window, "WM_NAME"), QStringLiteral("WM_NAME = \"Korva VPN\""));
    EXPECT_EQ(windowProperty(window, "WM_CLASS"), QStringLiteral("WM_CLASS = \"korva-vpn\", \"Korva VPN\""));
    // The icon's pictures as numbers: width, height, then each pixel as ARGB, picture after
    // picture. The 32x32 one is the program's icon at that size.
    const QString icon =
        windowProperty(window, "_NET_WM_ICON",
                       {QStringLiteral("-f"), QStringLiteral("_NET_WM_ICON"), QStringLiteral("32c"),
                        QStringLiteral("-len"), QStringLiteral("10000000")});
    QVector<quint32> values;
    for (const QString& value : icon.section(QLatin1Char('='), 1).split(QLatin1Char(','))) {
        values.append(value.trimmed().toUInt());
    }
    QImage shown;
    for (int at = 0; at + 2 <= values.size();) {
        const int width = static_cast<int>(values[at]);
        const int height = static_cast<int>(values[at + 1]);
        ASSERT_GT(width, 0);
        ASSERT_LE(at + 2 + width * height, values.size());
        if (width == 32 && height == 32) {
            shown = QImage(width, height, QImage::Format_ARGB32);
            for (int i = 0; i < width * height; ++i) {
                shown.setPixel(i % width, i / width, values[at + 2 + i]);
            }
        }
        at += 2 + width * height;
    }
    ASSERT_FALSE(shown.isNull()) << "no 32x32 picture in _NET_WM_ICON: " << icon.left(200).toStdString();
    const QImage own = QIcon(QStringLiteral(":/Korva VPN/resources/logo.svg"))
                           .pixmap(32, 32)
                           .toImage()
                           .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, own) << "the window's icon is not the program's";
}

void clickTabsAndSeeThemChecked(ZRVPNClient* window, const screen::XServer& server) {
    auto* home = part<QPushButton>(window, "btnHome");
    auto* profiles = part<QPushButton>(window, "btnProfile");
    auto* settings = part<QPushButton>(window, "btnSetting");
    for (QPushButton* tab : {profiles, settings, home, settings, profiles}) {
        QTest::mouseClick(tab, Qt::LeftButton);
        for (QPushButton* other : {home, profiles, settings}) {
            EXPECT_EQ(other->isChecked(), other == tab) << other->objectName().toStdString();
        }
        // Each tab at its place in the colours of its state, and the page the tab shows.
        expectShown(server, {home, profiles, settings, part(window, "stackedWidget")},
                    QStringLiteral("tab-") + tab->objectName());
    }
}

void walkTheStatusCard(ZRVPNClient* window, const screen::XServer& server) {
    QTest::mouseClick(part<QPushButton>(window, "btnHome"), Qt::LeftButton);
    auto* page = part<HomeWidget>(window, "homeWidget");
    ConnectionController* controller = page->connectionController();
    auto* status = part<QLabel>(page, "labelConnectStatus");
    auto* button = part<QPushButton>(page, "btnConnect");
    const struct {
        const char* slot;
        const char* text;
    } states[] = {{"slotConnectVPNStart", "Connecting..."},  {"slotConnectVPNSuccess", "Connected"},
                  {"slotConnectVPNFailed", "Disconnected"},  {"slotConnectVPNStart", "Connecting..."},
                  {"slotCancelVPNConnect", "No Connection"}, {"slotNoConnectVPN", "No Connection"}};
    int step = 0;
    for (const auto& state : states) {
        QMetaObject::invokeMethod(controller, state.slot);
        EXPECT_EQ(status->text(), QLatin1String(state.text)) << state.slot;
        expectShown(server, {status, button}, QStringLiteral("status-%1-%2").arg(++step).arg(state.slot));
        if (QLatin1String(state.slot) == QLatin1String("slotConnectVPNSuccess")) {
            // The connection time of each second, and new traffic figures, on the screen.
            auto* time = part<QLabel>(page, "labelConnTime");
            const QString before = time->text();
            EXPECT_TRUE(screen::waitUntil([&] { return time->text() != before; }, 30000));
            page->showTrafficTotals(12.5, 1536.75);
            expectShown(server, {time, part(page, "labelUpload"), part(page, "labelDownload")},
                        QStringLiteral("figures"));
        }
    }
}

void closeWithoutTrayKeepsTheWindow(ZRVPNClient* window, const screen::XServer& server) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "this display has a tray";
    QTest::mouseClick(part<QPushButton>(window, "btnQuit"), Qt::LeftButton);
    EXPECT_FALSE(window->isHidden());
    EXPECT_TRUE(window->isMinimized());
    if (server.connected()) {
        // The server has carried out whatever the close asked of it (an unmap would be among it).
        screen::syncQt();
        EXPECT_TRUE(server.mappedOrMinimised(window->winId())) << screen::displayKind().toStdString();
        if (screen::displayKind() == QLatin1String("openbox")) {
            EXPECT_TRUE(screen::waitUntil([&] { return server.wmState(window->winId()) == 3; }, 30000))
                << "the window manager minimises the window";
        }
    }
    window->showNormal();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    expectShown(server, {window->centralWidget()}, QStringLiteral("restored"));
}

} // namespace

TEST(ClientOnDisplay, ShowsEveryChangeKeepsTheWindowWithoutATrayAndEndsOnCtrlQ) {
    screen::XServer* server = nullptr;
    bool quitByKey = false;
    const auto scenario = [&] {
        ZRVPNClient* window = mainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_FALSE(QCoreApplication::testAttribute(Qt::AA_NativeWindows));
        // The client draws with the raster engine alone: on X no OpenGL integration (and no
        // GL implementation) is loaded, and the programs it runs inherit no Qt variable.
        EXPECT_FALSE(loaded("xcbglintegrations")) << "Qt's OpenGL integration on X is loaded";
        EXPECT_FALSE(qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"));
        if (screen::onDisplay()) {
            ASSERT_TRUE(server->connected());
            expectShown(*server, {window->centralWidget()}, QStringLiteral("start"));
        }
        namedAsTheProgram(window);
        clickTabsAndSeeThemChecked(window, *server);
        walkTheStatusCard(window, *server);
        closeWithoutTrayKeepsTheWindow(window, *server);

        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        quitByKey = window->isHidden();
    };
    const auto beforeLoop = [&] {
        QTimer::singleShot(0, [&] {
            screen::XServer connection;
            server = &connection;
            scenario();
            server = nullptr;
            if (!quitByKey) {
                // Whatever failed above, the program still ends.
                if (ZRVPNClient* window = mainWindow()) {
                    window->close();
                }
            }
        });
    };
    char name[] = "korva-vpn";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(RunClient(1, argv, beforeLoop), 0);
    EXPECT_TRUE(quitByKey) << "Ctrl+Q did not end the program";
}
