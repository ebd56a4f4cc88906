// The main window in every language and both colour modes, chosen on its Settings page as
// a person chooses them: every page (the home page in each connection state, the Profiles
// page with its pager and with no profile, the Settings page) shows its texts whole.
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "AppContext.h"
#include "ConnectionController.h"
#include "GuiTest.h"
#include "HomeWidget.h"
#include "SettingWidget.h"
#include "SystemContext.h"
#include "TextsTest.h"
#include "ZRVPNClient.h"

using namespace textstest;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

class TextsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::applyColorMode(1);
        guitest::useLanguage(QStringLiteral("en"));
    }
    void TearDown() override {
        app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        app()->SetCurrentProfile(ProfileInfo());
        guitest::useLanguage(QStringLiteral("en"));
    }

    // The window as the client starts it: shown, then the stored settings applied.
    void start() {
        window = std::make_unique<ZRVPNClient>();
        ASSERT_TRUE(guitest::showAndExpose(window.get()));
        SETTINGINFO settings;
        app()->GetSettingInfo(&settings);
        settings.LanguageType = 1;
        settings.ColorMode = 1;
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
        settle();
    }

    void openPage(const char* tab) {
        QTest::mouseClick(guitest::child<QPushButton>(window.get(), tab), Qt::LeftButton);
        settle();
    }

    // The colour mode and the language chosen on the Settings page.
    void choose(const Mode& mode, int languageRow) {
        SettingWidget* settings = window->settingsPage();
        auto* modes = guitest::child<QComboBox>(settings, "colorModeComboBox");
        if (modes->currentIndex() != mode.value) {
            modes->setCurrentIndex(mode.value);
            QMetaObject::invokeMethod(modes, "activated", Q_ARG(int, mode.value));
        }
        guitest::child<QComboBox>(settings, "languageComboBox")->setCurrentIndex(languageRow);
        settle();
    }

    template <typename F> void everyLanguageAndMode(F check) {
        for (const Mode& mode : kModes) {
            for (int row = 1; row <= 16; ++row) {
                choose(mode, row);
                check(QStringLiteral("%1 %2").arg(QLatin1String(kLanguages[row - 1]),
                                                  QLatin1String(mode.name)));
            }
        }
    }

    std::unique_ptr<ZRVPNClient> window;
};

TEST_F(TextsWindow, TheWindowAsItIsBuiltInTheLanguageInForce) {
    // Before the stored settings reach it the window shows the language that was in force
    // when it was built, without a change of language to lay its texts out anew.
    storeProfiles();
    for (const Mode& mode : kModes) {
        guitest::applyColorMode(mode.value);
        for (const char* code : kLanguages) {
            ASSERT_TRUE(guitest::useLanguage(QLatin1String(code)));
            window = std::make_unique<ZRVPNClient>();
            ASSERT_TRUE(guitest::showAndExpose(window.get()));
            // The Profiles and Settings pages are built on their first visit: the window
            // keeps the size the home page gave it.
            const QSize size = window->size();
            const QSize least = window->minimumSize();
            for (const char* tab : {"btnHome", "btnProfile", "btnSetting"}) {
                openPage(tab);
                const QString where =
                    QStringLiteral("%1 %2 %3 as built")
                        .arg(QLatin1String(code), QLatin1String(mode.name), QLatin1String(tab));
                expectWhole(window.get(), where);
                EXPECT_EQ(window->size(), size) << where.toStdString();
                EXPECT_EQ(window->minimumSize(), least) << where.toStdString();
            }
            window.reset();
        }
    }
}

TEST_F(TextsWindow, TheHomePageInEveryConnectionState) {
    storeProfiles();
    start();
    auto* home = guitest::child<HomeWidget>(window.get(), "homeWidget");
    auto* connect = guitest::child<QPushButton>(window.get(), "btnConnect");
    const auto step = [home](const char* slot) {
        QMetaObject::invokeMethod(home->connectionController(), slot);
        settle();
    };
    everyLanguageAndMode([&](const QString& where) {
        openPage("btnHome");
        expectWhole(window.get(), where + QStringLiteral(" not connected"));
        step("slotConnectVPNStart");
        expectWhole(window.get(), where + QStringLiteral(" connecting"));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(connect, &enter);
        expectWhole(window.get(), where + QStringLiteral(" connecting, pointer on the button"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(connect, &leave);
        home->showLocalAddress(QStringLiteral("10.8.0.2"), QStringLiteral("255.255.255.0"));
        home->setLocalAddressRowsVisible(true, true);
        step("slotConnectVPNSuccess");
        home->showConnectDuration(3725);
        home->showTrafficTotals(1536, 12.3456);
        expectWhole(window.get(), where + QStringLiteral(" connected"));
        step("slotNoConnectVPN");
        step("slotConnectVPNStart");
        step("slotConnectVPNFailed");
        expectWhole(window.get(), where + QStringLiteral(" failed"));
        step("slotConnectVPNStart");
        step("slotCancelVPNConnect");
        expectWhole(window.get(), where + QStringLiteral(" cancelled"));
        step("slotNoConnectVPN");
    });
}

TEST_F(TextsWindow, TheProfilesAndSettingsPages) {
    storeProfiles(16); // two pages of profiles: the pager shows
    start();
    everyLanguageAndMode([&](const QString& where) {
        openPage("btnProfile");
        expectWhole(window.get(), where + QStringLiteral(" profiles"));
        openPage("btnSetting");
        expectWhole(window.get(), where + QStringLiteral(" settings"));
    });
}

TEST_F(TextsWindow, AProfilesPageBuiltAfterAChangeOfLanguageKeepsTheWindowsSize) {
    storeProfiles(16);
    for (const Mode& mode : kModes) {
        for (int row = 1; row <= 16; ++row) {
            start();
            openPage("btnSetting");
            choose(mode, row);
            const QSize size = window->size();
            const QSize least = window->minimumSize();
            openPage("btnProfile");
            const QString where =
                QStringLiteral("%1 %2").arg(QLatin1String(kLanguages[row - 1]), QLatin1String(mode.name));
            expectWhole(window.get(), where + QStringLiteral(" profiles built after the change"));
            EXPECT_EQ(window->size(), size) << where.toStdString();
            EXPECT_EQ(window->minimumSize(), least) << where.toStdString();
            window.reset();
            guitest::useLanguage(QStringLiteral("en"));
        }
    }
}

TEST_F(TextsWindow, ThePagesWithoutProfiles) {
    storeProfiles();
    emptyStore();
    start();
    everyLanguageAndMode([&](const QString& where) {
        openPage("btnHome");
        expectWhole(window.get(), where + QStringLiteral(" home without profiles"));
        openPage("btnProfile");
        expectWhole(window.get(), where + QStringLiteral(" profiles without profiles"));
    });
}

} // namespace
