// SettingManager: the colour mode and the four notifications, one of them sent from
// another thread as the theme and language watchers do.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include "SettingManager.h"

namespace {

int argc = 1;
char arg0[] = "test";
char* argv[] = {arg0, nullptr};

TEST(SettingManager, HoldsTheAppliedColourMode) {
    SettingManager manager;
    EXPECT_EQ(manager.colorMode(), -1);
    manager.setColorMode(2);
    EXPECT_EQ(manager.colorMode(), 2);
    manager.setColorMode(1);
    EXPECT_EQ(manager.colorMode(), 1);
}

TEST(SettingManager, RestoreSendsACopyOfTheRow) {
    QCoreApplication app(argc, argv);
    SettingManager manager;
    QSignalSpy restore(&manager, &SettingManager::signalRestoreSystemInfo);
    QSignalSpy add(&manager, &SettingManager::signalAddNewProfile);
    SETTINGINFO info;
    info.ID = 1;
    info.ColorMode = 2;
    std::strcpy(info.SelectedName, "office");
    manager.notifyRestoreSystemInfo(&info);
    std::strcpy(info.SelectedName, "changed later");
    ASSERT_EQ(restore.count(), 1);
    SETTINGINFO sent = restore.at(0).at(0).value<SETTINGINFO>();
    EXPECT_EQ(sent.ColorMode, 2);
    EXPECT_STREQ(sent.SelectedName, "office");
    manager.notifyRestoreSystemInfo(nullptr);
    EXPECT_EQ(restore.count(), 1);
    manager.notifyAddNewProfile();
    EXPECT_EQ(add.count(), 1);
}

TEST(SettingManager, WatcherNotificationsArriveQueuedOnTheGuiThread) {
    QCoreApplication app(argc, argv);
    SettingManager manager;
    QObject receiver;
    int colour = 0;
    int language = 0;
    QThread* seenOn = nullptr;
    QObject::connect(&manager, &SettingManager::signalSystemColorModeChanged, &receiver, [&] {
        ++colour;
        seenOn = QThread::currentThread();
    });
    QObject::connect(&manager, &SettingManager::signalSystemLanguageChanged, &receiver, [&] { ++language; });
    std::thread watcher([&manager] {
        manager.notifySystemColorModeChanged();
        manager.notifySystemLanguageChanged();
    });
    watcher.join();
    EXPECT_EQ(colour, 0);
    // The counts are checked below.
    (void)QTest::qWaitFor([&] { return colour + language >= 2; }, 10000);
    EXPECT_EQ(colour, 1);
    EXPECT_EQ(language, 1);
    EXPECT_EQ(seenOn, app.thread());
}

} // namespace
