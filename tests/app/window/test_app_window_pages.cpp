// The window's Profiles and Settings pages, which are built when first needed: the stored
// settings are in force from the restore at start without the Settings page, which shows
// them once built; the system's theme and language are followed before it exists; a
// Profiles page built while a profile is connected marks that profile's row; a page built
// after the restore is the page that was built before it and then had the restore's
// language change, texts, tool tips and sizes alike.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "AppContext.h"
#include "GuiTest.h"
#include "HomeWidget.h"
#include "KorvaResourcePaths.h"
#include "ProfilePageConstants.h"
#include "ProfileWidget.h"
#include "SettingManager.h"
#include "SettingWidget.h"
#include "SystemContext.h"
#include "SystemSettings.h"
#include "ZRStringConstant.h"
#include "ZRVPNClient.h"

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

QString sheet(const char* resource) {
    QFile file(QString::fromLatin1(resource));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Writes GTK's settings file as a desktop does when its theme changes.
void setSystemTheme(bool dark) {
    const QString path = QString::fromStdString(ThemeSettingsPath());
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(dark ? "[Settings]\ngtk-application-prefer-dark-theme=1\n"
                    : "[Settings]\ngtk-application-prefer-dark-theme=0\n");
}

// The system's interface language, as the locale file gives it ("de_DE.UTF-8").
void setSystemLocale(const char* locale) {
    QFile file(QStringLiteral("locale"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray("LANG=") + locale + "\n");
    file.close();
    SetSystemLocaleFile(QFile::encodeName(QFileInfo(file).absoluteFilePath()).constData());
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Every widget of a page as a line: its class and name, its texts (a selector's rows, a
// list's column titles), its tool tip and its sizes.
QStringList describe(QWidget* page) {
    QStringList lines;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        QStringList texts;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            texts << button->text();
        } else if (auto* selector = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < selector->count(); ++i) {
                texts << selector->itemText(i);
            }
        } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
            for (int i = 0; i < list->columnCount(); ++i) {
                texts << list->headerItem()->text(i);
            }
        }
        lines << QStringLiteral("%1 %2 [%3] tip \"%4\" width %5 (%6..%7) height %8 (%9..%10)")
                     .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(),
                          texts.join(QLatin1Char('|')), widget->toolTip())
                     .arg(widget->width())
                     .arg(widget->minimumWidth())
                     .arg(widget->maximumWidth())
                     .arg(widget->height())
                     .arg(widget->minimumHeight())
                     .arg(widget->maximumHeight());
    }
    return lines;
}

SETTINGINFO storedRow() {
    SETTINGINFO row;
    app()->GetSettingInfo(&row);
    return row;
}

class WindowPages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        setSystemLocale("en_US.UTF-8");
        setSystemTheme(false);
        guitest::applyColorMode(1);
        ASSERT_TRUE(guitest::useLanguage(QStringLiteral("en")));
    }
    void TearDown() override {
        settle();
        app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
        app()->SetCurrentProfile(ProfileInfo());
        QDir(QFileInfo(QString::fromStdString(ThemeSettingsPath())).absolutePath()).removeRecursively();
        guitest::applyColorMode(1);
        guitest::useLanguage(QStringLiteral("en"));
    }

    // The window as the client starts it: shown, then the stored row restored.
    static void restore(const SETTINGINFO& row) {
        SETTINGINFO stored = row;
        ASSERT_EQ(app()->GetSqlite()->UpdateSettingInfo(&stored), 0);
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&stored);
        settle();
    }

    // Leaves exactly `count` WireGuard profiles in the store.
    static void storeProfiles(int count) {
        std::vector<ProfileInfo> present;
        ASSERT_EQ(app()->GetSqlite()->GetProfileList(present), 0);
        for (ProfileInfo& profile : present) {
            ASSERT_EQ(app()->GetSqlite()->DeleteProfile(&profile), 0);
        }
        for (int i = 0; i < count; ++i) {
            ProfileInfo profile;
            profile.ProfileType = VPN_TYPE_WIREGUARD;
            profile.ConfigID = 0;
            std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "profile_%d", i);
            ASSERT_EQ(app()->GetSqlite()->InsertProfile(&profile), 0);
        }
    }

    static SETTINGINFO row(int language, int colorMode, bool switchesOn) {
        SETTINGINFO info = storedRow();
        info.ID = 1;
        info.AutoStart = switchesOn ? 1 : 0;
        info.Reconnetion = 0;
        info.NATTraversal = switchesOn ? 1 : 0;
        info.LanguageType = language;
        info.ColorMode = colorMode;
        return info;
    }
};

TEST_F(WindowPages, TheRestoreAppliesTheRowWithoutTheSettingsPageWhichShowsItOnceBuilt) {
    const struct {
        int language; // stored
        int colorMode;
        bool switchesOn;
        const char* connect; // the connect button's text in the language applied
        const char* sheet;
        int appliedMode;
        int shownLanguage; // the selectors' rows once the page is built
        int shownMode;
    } cases[] = {
        {5, 2, true, "Verbinden", KORVA_STYLESHEET_DARK, 2, 5, 2},
        {4, 1, false, "Se connecter", KORVA_STYLESHEET_NORMAL, 1, 4, 1},
        // The system's language (English here) and theme (normal here).
        {0, 0, true, "Connect", KORVA_STYLESHEET_NORMAL, 1, 0, 0},
        // Values outside their range follow the system, and are stored so.
        {17, 3, false, "Connect", KORVA_STYLESHEET_NORMAL, 1, 0, 0},
    };
    for (const auto& c : cases) {
        ZRVPNClient window;
        ASSERT_TRUE(guitest::showAndExpose(&window));
        restore(row(c.language, c.colorMode, c.switchesOn));
        EXPECT_EQ(window.findChild<SettingWidget*>(), nullptr) << c.language;
        EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"), QLatin1String(c.connect)) << c.language;
        EXPECT_EQ(guitest::child<QPushButton>(&window, "btnConnect")->text(), QLatin1String(c.connect));
        EXPECT_EQ(qApp->styleSheet(), sheet(c.sheet)) << c.colorMode;
        EXPECT_EQ(SystemContext::GetSettingManager()->colorMode(), c.appliedMode);
        EXPECT_EQ(storedRow().LanguageType, c.shownLanguage);
        EXPECT_EQ(storedRow().ColorMode, c.shownMode);

        QTest::mouseClick(guitest::child<QPushButton>(&window, "btnSetting"), Qt::LeftButton);
        SettingWidget* page = window.settingsPage();
        EXPECT_EQ(guitest::child<QComboBox>(page, "languageComboBox")->currentIndex(), c.shownLanguage);
        EXPECT_EQ(guitest::child<QComboBox>(page, "colorModeComboBox")->currentIndex(), c.shownMode);
        EXPECT_EQ(guitest::child<QRadioButton>(page, "btnAutoStart")->isChecked(), c.switchesOn);
        EXPECT_FALSE(guitest::child<QRadioButton>(page, "btnReconnection")->isChecked());
        EXPECT_EQ(guitest::child<QRadioButton>(page, "btnNAT")->isChecked(), c.switchesOn);
        guitest::useLanguage(QStringLiteral("en"));
    }
}

TEST_F(WindowPages, APageBuiltLateIsThePageBuiltAtStartAfterTheLanguageChange) {
    const struct {
        int language;
        const char* logs; // the logs button's text in that language
        int profiles;     // stored: none, one page, or several (the pager shows)
    } cases[] = {{1, "Log", 0}, {5, "Protokoll", 1}, {6, nullptr, 20}, {8, nullptr, 0}};
    for (const auto& c : cases) {
        storeProfiles(c.profiles);
        // Built at start, before the restore installs the stored language.
        QStringList early[2];
        {
            ZRVPNClient window;
            window.profilePage();
            window.settingsPage();
            ASSERT_TRUE(guitest::showAndExpose(&window));
            restore(row(c.language, 1, true));
            int i = 0;
            for (QWidget* page : {static_cast<QWidget*>(window.profilePage()),
                                  static_cast<QWidget*>(window.settingsPage())}) {
                window.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"))->setCurrentWidget(page);
                settle();
                early[i++] = describe(page);
            }
            if (c.logs != nullptr) {
                EXPECT_EQ(guitest::childText(window.settingsPage(), "btnLogs"), QLatin1String(c.logs));
            }
        }
        guitest::useLanguage(QStringLiteral("en"));
        // Built when its tab is first clicked, after the restore.
        ZRVPNClient window;
        ASSERT_TRUE(guitest::showAndExpose(&window));
        restore(row(c.language, 1, true));
        int i = 0;
        for (const char* tab : {"btnProfile", "btnSetting"}) {
            QTest::mouseClick(guitest::child<QPushButton>(&window, tab), Qt::LeftButton);
            settle();
            QWidget* page =
                window.findChild<QStackedWidget*>(QStringLiteral("stackedWidget"))->currentWidget();
            const QStringList late = describe(page);
            ASSERT_EQ(late.size(), early[i].size()) << tab;
            for (int line = 0; line < late.size(); ++line) {
                EXPECT_EQ(late[line], early[i][line])
                    << "language row " << c.language << ", " << c.profiles << " profiles";
            }
            ++i;
        }
        // The records text is written in the stored language, whatever the number of profiles.
        EXPECT_EQ(guitest::child<QLabel>(window.profilePage(), "recordsLabel")->text(),
                  ZRStringConstant::tr("ZRVPN_PROFILE_SHOWING_RECORDS")
                      .arg(c.profiles == 0 ? QStringLiteral("0") : QStringLiteral("01"),
                           c.profiles == 0   ? QStringLiteral("0")
                           : c.profiles == 1 ? QStringLiteral("01")
                                             : QStringLiteral("07"),
                           QString::number(c.profiles)));
        for (QLabel* caption : {guitest::child<QLabel>(&window, "labelAutoRun"),
                                guitest::child<QLabel>(&window, "labelReconnection"),
                                guitest::child<QLabel>(&window, "labelNATTraversal")}) {
            EXPECT_FALSE(caption->text().isEmpty());
            EXPECT_EQ(caption->toolTip(), caption->text()) << caption->objectName().toStdString();
        }
        guitest::useLanguage(QStringLiteral("en"));
    }
}

TEST_F(WindowPages, TheSystemsThemeAndLanguageAreFollowedBeforeTheSettingsPageIsBuilt) {
    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    restore(row(0, 0, false));
    SettingManager* manager = SystemContext::GetSettingManager();

    setSystemTheme(true);
    manager->notifySystemColorModeChanged();
    settle();
    EXPECT_EQ(manager->colorMode(), 2);
    EXPECT_EQ(qApp->styleSheet(), sheet(KORVA_STYLESHEET_DARK));
    setSystemLocale("de_DE.UTF-8");
    manager->notifySystemLanguageChanged();
    settle();
    EXPECT_EQ(guitest::child<QPushButton>(&window, "btnConnect")->text(), QStringLiteral("Verbinden"));
    EXPECT_EQ(window.findChild<SettingWidget*>(), nullptr);

    // The page built now shows the choice (following the system), in the system's language.
    SettingWidget* page = window.settingsPage();
    EXPECT_EQ(guitest::child<QComboBox>(page, "colorModeComboBox")->currentIndex(), 0);
    EXPECT_EQ(guitest::child<QComboBox>(page, "languageComboBox")->currentIndex(), 0);
    EXPECT_EQ(guitest::child<QLabel>(page, "labelTitle")->text(), QStringLiteral("Einstellungen"));

    // A fixed mode chosen on the page: the system's theme is no longer followed.
    auto* modes = guitest::child<QComboBox>(page, "colorModeComboBox");
    modes->setCurrentIndex(1);
    QMetaObject::invokeMethod(modes, "activated", Q_ARG(int, 1));
    settle();
    EXPECT_EQ(manager->colorMode(), 1);
    manager->notifySystemColorModeChanged();
    settle();
    EXPECT_EQ(manager->colorMode(), 1);
    EXPECT_EQ(storedRow().ColorMode, 1);
    setSystemLocale("en_US.UTF-8");
}

TEST_F(WindowPages, AProfilesPageBuiltWhileConnectedMarksTheConnectedRow) {
    for (const char* name : {"alpha", "beta", "gamma"}) {
        ProfileInfo profile;
        profile.ProfileType = VPN_TYPE_WIREGUARD;
        profile.ConfigID = 0;
        std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", name);
        ASSERT_EQ(app()->GetSqlite()->InsertProfile(&profile), 0);
    }
    std::vector<ProfileInfo> stored;
    ASSERT_EQ(app()->GetSqlite()->GetProfileList(stored), 0);
    ProfileInfo beta;
    for (const ProfileInfo& profile : stored) {
        if (std::strcmp(profile.ProfileName, "beta") == 0) {
            beta = profile;
        }
    }
    ASSERT_GT(beta.ProfileID, 0);

    ZRVPNClient window;
    ASSERT_TRUE(guitest::showAndExpose(&window));
    // The connection's reports reach a window without a Profiles page.
    app()->SetCurrentProfile(beta);
    app()->SetConnectStatus(CONNECT_STATUS_CONNECTED);
    emit guitest::child<HomeWidget>(&window, "homeWidget")
        ->signalConnectedVPNChanged(CONNECT_STATUS_CONNECTED);
    EXPECT_EQ(window.findChild<ProfileWidget*>(), nullptr);

    QTest::mouseClick(guitest::child<QPushButton>(&window, "btnProfile"), Qt::LeftButton);
    auto* list = guitest::child<QTreeWidget>(window.profilePage(), "profileTreeWidget");
    ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(stored.size()));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        const bool isBeta = item->data(ProfilePage::kColumnName, ProfilePage::kRoleProfileName).toString() ==
                            QLatin1String("beta");
        EXPECT_EQ(item->data(ProfilePage::kColumnAction, ProfilePage::kRoleConnected).toBool(), isBeta) << i;
    }
    // Later reports reach the page built.
    app()->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
    emit guitest::child<HomeWidget>(&window, "homeWidget")
        ->signalConnectedVPNChanged(CONNECT_STATUS_NOT_CONNECTED);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        EXPECT_FALSE(
            list->topLevelItem(i)->data(ProfilePage::kColumnAction, ProfilePage::kRoleConnected).toBool());
    }
}

} // namespace
