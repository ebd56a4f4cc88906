#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "AppContext.h"
#include "ClientMain.h"
#include "IPCSqlite.h"
#include "KorvaResourcePaths.h"
#include "PaintedShadow.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "ZRVPNClient.h"

namespace {

QString Sheet(const char* resource) {
    QFile file(QString::fromLatin1(resource));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The store of a user who chose the dark mode, as a start before this one left it.
void StoreDarkMode() {
    const std::string path =
        std::string(SystemContext::Instance()->GetAppContext()->GetDataPath()) + "vpn.db";
    IPCSqlite store;
    ASSERT_EQ(store.Init(path.c_str()), 0);
    SETTINGINFO row;
    row.ColorMode = COLOR_MODE_DARK;
    std::snprintf(row.DatabaseVersion, sizeof(row.DatabaseVersion), "1.0");
    ASSERT_EQ(store.InsertSettingInfo(&row), 0);
    store.DeInit();
}

// The client starts with the stored colour mode's style sheet (set before the window, and
// not again by the restore: tests/widgets covers that), and the restore's style change
// gives the pages the mode's colours. Qt's OpenGL integration is turned off only for the
// platform's start: the programs the client runs do not inherit the variable.
TEST(ClientStartTest, TheStoredColourModesSheetIsSetOnceBeforeTheWindow) {
    qunsetenv("QT_XCB_GL_INTEGRATION");
    StoreDarkMode();
    bool checked = false;
    const auto beforeLoop = [&] {
        checked = true;
        // The close ends the event loop, which runs only once this returns.
        QTimer::singleShot(0, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* window = qobject_cast<ZRVPNClient*>(widget)) {
                    window->close();
                }
            }
        });
        EXPECT_FALSE(qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"));
        EXPECT_EQ(SystemContext::GetSettingManager()->colorMode(), COLOR_MODE_DARK);
        EXPECT_EQ(qApp->styleSheet(), Sheet(KORVA_STYLESHEET_DARK));
        // The restore's style change reached the pages: the cards' shadows are dark.
        ZRVPNClient* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            window = window != nullptr ? window : qobject_cast<ZRVPNClient*>(widget);
        }
        ASSERT_NE(window, nullptr);
        QWidget* card = window->findChild<QWidget*>(QStringLiteral("trafficWidget"));
        ASSERT_NE(card, nullptr);
        ASSERT_NE(PaintedShadow::of(card), nullptr);
        EXPECT_EQ(PaintedShadow::of(card)->color(), QColor(QStringLiteral("#FF000000")));
        EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("labelConnectStatus"))->styleSheet(),
                  QStringLiteral("#labelConnectStatus{color:#FFFFFF;}"));
    };
    char arg0[] = "korva-vpn";
    char* argv[] = {arg0, nullptr};
    EXPECT_EQ(RunClient(1, argv, beforeLoop), 0);
    EXPECT_TRUE(checked);
}

} // namespace
