#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "AppContext.h"
#include "ClientMain.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "SystemSettings.h"
#include "ZRSingleApplication.h"
#include "ZRVPNClient.h"

namespace {

QStringList logLines() {
    QFile log(QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetLogPath()));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.isEmpty()) {
            lines << QString::fromUtf8(line).section(QStringLiteral("] "), 1);
        }
    }
    return lines;
}

ZRVPNClient* mainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<ZRVPNClient*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

TEST(ClientMainTest, RunsFromStartToStopAndIsClosedByATimer) {
    SettingManager* manager = SystemContext::GetSettingManager();
    int restored = 0;
    std::atomic<int> themeChanges{0};
    bool themeOnGuiThread = false;
    QObject::connect(manager, &SettingManager::signalRestoreSystemInfo, [&](SETTINGINFO info) {
        ++restored;
        EXPECT_EQ(info.ID, 1);
        EXPECT_STREQ(info.DatabaseVersion, "1.0");
    });
    QObject receiver; // lives on the GUI thread, as the Settings page does
    QObject::connect(manager, &SettingManager::signalSystemColorModeChanged, &receiver, [&] {
        ++themeChanges;
        themeOnGuiThread = QThread::currentThread() == qApp->thread();
    });

    bool checked = false;
    const auto beforeLoop = [&] {
        ZRVPNClient* window = mainWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
        EXPECT_EQ(static_cast<ZRSingleApplication*>(qApp)->mainWindow, window);
        EXPECT_EQ(SystemContext::Instance()->GetApplication(), qApp);
        EXPECT_EQ(QApplication::font().family(), QStringLiteral("Halvex Vento"));
        EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("ZRVPNClient")));
        EXPECT_EQ(restored, 1) << "the settings row is handed over once, before the loop";
        // The theme watcher reports a change of the system's colour preference.
        QTimer::singleShot(100, [] {
            QFile settings(QString::fromStdString(ThemeSettingsPath()));
            ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
            settings.write("[Settings]\ngtk-application-prefer-dark-theme=1\n");
        });
        // Hiding to the tray does not end the program; the close by the timer does.
        QTimer::singleShot(200, window, [window] { window->hide(); });
        auto* clock = new QTimer(window);
        auto waited = std::make_shared<int>(0);
        QObject::connect(clock, &QTimer::timeout, window, [&checked, &themeChanges, window, clock, waited] {
            *waited += 50;
            if (themeChanges.load() > 0 || *waited >= 3000) {
                clock->stop();
                checked = true;
                window->close();
            }
        });
        clock->start(50);
    };

    // The watcher watches the folder of GTK's settings file, which a desktop has.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ThemeSettingsPath()).section(QLatin1Char('/'), 0, -2)));
    char arg0[] = "korva-vpn";
    char* argv[] = {arg0, nullptr};
    EXPECT_EQ(RunClient(1, argv, beforeLoop), 0);
    EXPECT_TRUE(checked);
    EXPECT_GE(themeChanges.load(), 1);
    EXPECT_TRUE(themeOnGuiThread) << "the watcher's signal reaches its receivers on the GUI thread";
    EXPECT_EQ(SystemContext::Instance()->GetApplication(), nullptr);

    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("System :: ******** InitSystemContext ********"));
    EXPECT_EQ(lines.last(), QStringLiteral("System :: ******** Korva VPN Stop ********"));
    const int start = lines.indexOf(QStringLiteral("System :: ******** Korva VPN Start ********"));
    ASSERT_GE(start, 0);
    EXPECT_LT(start, lines.size() - 1);
    EXPECT_EQ(lines.count(QStringLiteral("System :: ******** Korva VPN Start ********")), 1);
    EXPECT_TRUE(SystemContext::Instance()->GetAppContext()->IsStopped());
}

} // namespace
