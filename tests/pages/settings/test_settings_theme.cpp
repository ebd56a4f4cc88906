// The colour-mode selector: each row applies its style sheet and stores itself with its log
// line; "follow the system" reads GTK's settings file and follows its changes through the
// theme watcher, once per change however often it was chosen, with nothing stored or
// logged; a fixed mode ignores them.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTest>

#include "GuiTest.h"
#include "KorvaResourcePaths.h"
#include "SettingManager.h"
#include "SettingsTest.h"
#include "SystemContext.h"
#include "SystemSettings.h"

using namespace settingstest;

namespace {

QString sheet(const char* resource) {
    QFile file(QString::fromLatin1(resource));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int appliedMode() {
    return SystemContext::GetSettingManager()->colorMode();
}

bool sameIcon(const QIcon& icon, const char* file) {
    return icon.pixmap(24, 24).toImage() == QIcon(QString::fromLatin1(file)).pixmap(24, 24).toImage();
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

// Counts the style changes one widget receives: one per style sheet applied.
class StyleProbe : public QWidget {
public:
    int changes = 0;

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::StyleChange) {
            ++changes;
        }
        QWidget::changeEvent(event);
    }
};

class SettingsTheme : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        QDir(QFileInfo(QString::fromStdString(ThemeSettingsPath())).absolutePath()).removeRecursively();
    }
    void TearDown() override {
        QDir(QFileInfo(QString::fromStdString(ThemeSettingsPath())).absolutePath()).removeRecursively();
        SettingsTest::TearDown();
    }
};

TEST_F(SettingsTheme, EachRowAppliesItsStyleSheetAndStoresItself) {
    auto page = makePage();
    QComboBox* modes = selector(*page, "colorModeComboBox");
    ASSERT_EQ(modes->count(), 3);
    struct Case {
        int row;
        int applied;
        const char* styleSheet;
        const char* line;
        const char* firstIcon;
    } cases[] = {
        {2, 2, KORVA_STYLESHEET_DARK, "System :: Set theme mode to { Dark }", KORVA_IMAGE_DIR "system.svg"},
        {1, 1, KORVA_STYLESHEET_NORMAL, "System :: Set theme mode to { Normal }",
         KORVA_IMAGE_DIR "SystemLight.svg"},
        // No GTK settings file: the system's theme reads as light.
        {0, 1, KORVA_STYLESHEET_NORMAL, "System :: Set theme mode to { System }",
         KORVA_IMAGE_DIR "SystemLight.svg"},
        // The row already current runs again.
        {0, 1, KORVA_STYLESHEET_NORMAL, "System :: Set theme mode to { System }",
         KORVA_IMAGE_DIR "SystemLight.svg"},
    };
    for (const Case& c : cases) {
        chooseRow(modes, c.row);
        EXPECT_EQ(appliedMode(), c.applied) << c.row;
        EXPECT_EQ(qApp->styleSheet(), sheet(c.styleSheet)) << c.row;
        EXPECT_EQ(storedRow().ColorMode, c.row);
        EXPECT_EQ(newLogLines().last(), QLatin1String(c.line));
        EXPECT_TRUE(sameIcon(modes->itemIcon(0), c.firstIcon)) << c.row;
    }
    EXPECT_EQ(newLogLines().count(QStringLiteral("System :: Set theme mode to { System }")), 2);
}

TEST_F(SettingsTheme, FollowingTheSystemTracksGtksSettingsFileWithoutStoringOrLogging) {
    // The watcher is started as the client starts it, before GTK's folder exists.
    SettingManager* manager = SystemContext::GetSettingManager();
    FileChangeWatcher watcher(ThemeSettingsPath(), [manager] { manager->notifySystemColorModeChanged(); });
    ASSERT_TRUE(watcher.Start());
    auto page = makePage();
    chooseRow(selector(*page, "colorModeComboBox"), 0);
    ASSERT_EQ(appliedMode(), 1);
    const QByteArray stored = storeBytes();
    const int lines = newLogLines().size();

    setSystemTheme(true);
    QTRY_COMPARE_WITH_TIMEOUT(appliedMode(), 2, 10000);
    EXPECT_EQ(qApp->styleSheet(), sheet(KORVA_STYLESHEET_DARK));
    EXPECT_TRUE(sameIcon(selector(*page, "colorModeComboBox")->itemIcon(1), KORVA_IMAGE_DIR "lightMode.svg"));
    setSystemTheme(false);
    QTRY_COMPARE_WITH_TIMEOUT(appliedMode(), 1, 10000);
    EXPECT_EQ(qApp->styleSheet(), sheet(KORVA_STYLESHEET_NORMAL));
    EXPECT_TRUE(
        sameIcon(selector(*page, "colorModeComboBox")->itemIcon(1), KORVA_IMAGE_DIR "normalModeLight.svg"));

    EXPECT_EQ(storeBytes(), stored);
    EXPECT_EQ(newLogLines().size(), lines);
    EXPECT_EQ(storedRow().ColorMode, 0);
    watcher.Stop();
}

TEST_F(SettingsTheme, AFixedModeIgnoresTheSystemsTheme) {
    auto page = makePage();
    for (int row : {1, 2}) {
        chooseRow(selector(*page, "colorModeComboBox"), row);
        setSystemTheme(row == 1);
        SystemContext::GetSettingManager()->notifySystemColorModeChanged();
        settle();
        EXPECT_EQ(appliedMode(), row);
    }
    // Following the system again picks the change up.
    setSystemTheme(true);
    chooseRow(selector(*page, "colorModeComboBox"), 0);
    EXPECT_EQ(appliedMode(), 2);
}

TEST_F(SettingsTheme, OneThemeChangeAppliesOnceHoweverOftenTheSystemWasChosen) {
    auto page = makePage();
    StyleProbe probe;
    chooseRow(selector(*page, "colorModeComboBox"), 0);
    settle();
    probe.changes = 0;
    SystemContext::GetSettingManager()->notifySystemColorModeChanged();
    settle();
    const int once = probe.changes;
    ASSERT_GT(once, 0);

    for (int i = 0; i < 3; ++i) {
        chooseRow(selector(*page, "colorModeComboBox"), 0);
    }
    SETTINGINFO row = knownRow();
    row.ColorMode = 0;
    page->slotRestoreSystemInfo(row);
    settle();
    probe.changes = 0;
    SystemContext::GetSettingManager()->notifySystemColorModeChanged();
    settle();
    EXPECT_EQ(probe.changes, once);
}

TEST_F(SettingsTheme, TheModeIsSetBeforeTheSheetReachesTheWidgets) {
    auto page = makePage();
    // The page's own icons come from the mode it finds at the style change.
    chooseRow(selector(*page, "colorModeComboBox"), 2);
    EXPECT_TRUE(sameIcon(selector(*page, "colorModeComboBox")->itemIcon(2), KORVA_IMAGE_DIR "darkMode.svg"));
    chooseRow(selector(*page, "colorModeComboBox"), 1);
    EXPECT_TRUE(
        sameIcon(selector(*page, "colorModeComboBox")->itemIcon(2), KORVA_IMAGE_DIR "darkModeLight.svg"));
}

} // namespace
