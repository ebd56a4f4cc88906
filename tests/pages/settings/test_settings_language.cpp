// The language selector: every row loads its own translation and the page's texts change
// with it; following the system's language, also on a change of it, without storing
// anything; one translator of the program installed at a time, and a translation that
// cannot be loaded keeps the one in force.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>

#include "GuiTest.h"
#include "PixelFont.h"
#include "SettingManager.h"
#include "SettingsTest.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"

using namespace settingstest;

namespace {

const char* const kCodes[] = {"en", "cs", "nl", "fr", "de", "hu", "it", "ja",
                              "ko", "pl", "pt", "ru", "sk", "es", "zh", "tr"};

QString label(SettingWidget& page, const char* name) {
    return page.findChild<QLabel*>(QLatin1String(name))->text();
}

class SettingsLanguage : public SettingsTest {
protected:
    void TearDown() override {
        guitest::useLanguage(QStringLiteral("en"));
        SettingsTest::TearDown();
    }
};

TEST_F(SettingsLanguage, EveryRowLoadsItsTranslationAndThePageFollows) {
    auto page = makePage();
    QComboBox* languages = selector(*page, "languageComboBox");
    ASSERT_EQ(languages->count(), 17);
    EXPECT_EQ(languages->itemText(1), QStringLiteral("English"));
    EXPECT_EQ(languages->itemText(5), QStringLiteral("Deutsch"));
    EXPECT_EQ(languages->itemText(15), QStringLiteral("繁體中文"));

    for (int row = 1; row <= 16; ++row) {
        const QString code = QLatin1String(kCodes[row - 1]);
        EXPECT_EQ(SettingWidget::languageCode(row), code);
        chooseRow(languages, row);
        EXPECT_EQ(storedRow().LanguageType, row) << code.toStdString();
        EXPECT_EQ(languages->currentIndex(), row);
        // A sample of the page's texts, the key texts and another form's texts.
        const QString settings =
            translated(QStringLiteral("SettingWidget"), QStringLiteral("Settings"), code);
        EXPECT_EQ(label(*page, "labelTitle"), settings) << code.toStdString();
        EXPECT_EQ(label(*page, "label_5"),
                  translated(QStringLiteral("SettingWidget"), QStringLiteral("Language"), code));
        EXPECT_EQ(page->findChild<QPushButton*>(QStringLiteral("btnLogs"))->text(),
                  translated(QStringLiteral("SettingWidget"), QStringLiteral("Log日志"), code));
        EXPECT_EQ(
            selector(*page, "colorModeComboBox")->itemText(2),
            translated(QStringLiteral("ZRStringConstant"), QStringLiteral("ZRVPN_SETTING_DARK_MODE"), code));
        EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"),
                  translated(QStringLiteral("ZRStringConstant"), QStringLiteral("ZRVPN_CONNECT"), code));
        EXPECT_EQ(QCoreApplication::translate("ZRErrorDialog", "Cancel"),
                  translated(QStringLiteral("ZRErrorDialog"), QStringLiteral("Cancel"), code));
        if (code != QLatin1String("en")) {
            EXPECT_NE(settings, QStringLiteral("Settings")) << code.toStdString();
        }
        // The rows keep their names in every language.
        EXPECT_EQ(languages->itemText(5), QStringLiteral("Deutsch"));
        EXPECT_EQ(languages->itemText(0),
                  translated(QStringLiteral("ZRStringConstant"),
                             QStringLiteral("ZRVPN_SETTING_FELLOW_THE_SYSTEM"), code));
    }
}

TEST_F(SettingsLanguage, ALongCaptionWidensTheColumnInsteadOfBeingCut) {
    auto page = makePage();
    auto* autoRun = page->findChild<QLabel*>(QStringLiteral("labelAutoRun"));
    const int english = autoRun->width();
    EXPECT_GE(english, 150); // the form's width is the least

    chooseRow(selector(*page, "languageComboBox"), 3); // Dutch
    const QString whole =
        translated(QStringLiteral("SettingWidget"), QStringLiteral("开机自启动"), QStringLiteral("nl"));
    EXPECT_EQ(autoRun->text(), whole);
    EXPECT_EQ(autoRun->toolTip(), whole);
    EXPECT_GE(autoRun->contentsRect().width(), QFontMetrics(autoRun->font()).horizontalAdvance(whole));
    // The captions of both panels keep one column, so that the switches and the selectors
    // stand under each other.
    for (const char* name : {"labelReconnection", "labelNATTraversal", "label_5", "label_66"}) {
        EXPECT_EQ(page->findChild<QLabel*>(QLatin1String(name))->width(), autoRun->width()) << name;
    }
    // The logs button is at least as wide as the measure of its text, and as its own font needs.
    auto* logs = page->findChild<QPushButton*>(QStringLiteral("btnLogs"));
    const QFont font = pixelFont(QStringLiteral("Halvex Vento"), 11);
    EXPECT_GE(logs->width(),
              QFontMetrics(font).boundingRect(QRect(), Qt::AlignRight, logs->text()).width() + 30);
    EXPECT_GE(logs->width(), logs->sizeHint().width());

    EXPECT_GT(autoRun->width(), english);

    chooseRow(selector(*page, "languageComboBox"), 1); // English again: its narrower column back
    EXPECT_EQ(autoRun->width(), english);
}

TEST_F(SettingsLanguage, FollowingTheSystemAppliesItsLanguageAndStoresOnlyTheChoice) {
    auto page = makePage();
    setSystemLocale("de_DE.UTF-8");
    chooseRow(selector(*page, "languageComboBox"), 0);
    EXPECT_EQ(storedRow().LanguageType, 0);
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Einstellungen"));

    // The system's language changes: applied at once, nothing written.
    const QByteArray before = storeBytes();
    setSystemLocale("fr_FR.UTF-8");
    SystemContext::GetSettingManager()->notifySystemLanguageChanged();
    settle();
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Paramètres"));
    EXPECT_EQ(storeBytes(), before);

    // A language of no translation, or a region other than the listed one, shows English.
    for (const char* locale : {"de_CH.UTF-8", "zh_CN.UTF-8", "pt_BR.UTF-8", "sv_SE.UTF-8", "C"}) {
        setSystemLocale("fr_FR.UTF-8");
        SystemContext::GetSettingManager()->notifySystemLanguageChanged();
        settle();
        setSystemLocale(locale);
        SystemContext::GetSettingManager()->notifySystemLanguageChanged();
        settle();
        EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Settings")) << locale;
    }
    setSystemLocale("zh_TW.UTF-8");
    SystemContext::GetSettingManager()->notifySystemLanguageChanged();
    settle();
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("設定"));
    setSystemLocale("pt_PT.UTF-8");
    SystemContext::GetSettingManager()->notifySystemLanguageChanged();
    settle();
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Definições"));
    EXPECT_EQ(storeBytes(), before);
}

TEST_F(SettingsLanguage, TheLanguageIdTableMatchesExactly) {
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0807), QStringLiteral("en")); // German (Switzerland)
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0804), QStringLiteral("en")); // Chinese (Simplified)
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0416), QStringLiteral("en")); // Portuguese (Brazil)
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0404), QStringLiteral("zh"));
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0816), QStringLiteral("pt"));
    EXPECT_EQ(SettingWidget::languageCodeForId(0x0C0A), QStringLiteral("es"));
    EXPECT_EQ(SettingWidget::languageCodeForId(0), QStringLiteral("en"));
    EXPECT_TRUE(SettingWidget::languageCode(0).isEmpty());
    EXPECT_TRUE(SettingWidget::languageCode(17).isEmpty());
}

TEST_F(SettingsLanguage, AChosenLanguageGivesWayToASystemChangeButStaysStored) {
    auto page = makePage();
    chooseRow(selector(*page, "languageComboBox"), 5); // Deutsch
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Einstellungen"));
    const QByteArray before = storeBytes();
    SystemContext::GetSettingManager()->notifySystemLanguageChanged(); // the system says English
    settle();
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Settings"));
    EXPECT_EQ(selector(*page, "languageComboBox")->currentIndex(), 5);
    EXPECT_EQ(storedRow().LanguageType, 5);
    EXPECT_EQ(storeBytes(), before);
}

TEST_F(SettingsLanguage, OneTranslatorIsInstalledAtATime) {
    auto page = makePage();
    SETTINGINFO row = knownRow();
    row.LanguageType = 5;
    for (int i = 0; i < 3; ++i) {
        page->slotRestoreSystemInfo(row);
    }
    chooseRow(selector(*page, "languageComboBox"), 4); // Français
    chooseRow(selector(*page, "languageComboBox"), 5); // Deutsch
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"), QStringLiteral("Verbinden"));
    // Taken away once, the program's translator is gone: the English one below shows.
    QTranslator* current = SystemContext::Instance()->GetTranslator();
    QCoreApplication::removeTranslator(current);
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"), QStringLiteral("Connect"));
    QCoreApplication::installTranslator(current);
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"), QStringLiteral("Verbinden"));
}

TEST_F(SettingsLanguage, ATranslationThatCannotBeLoadedKeepsTheOneInForce) {
    auto page = makePage();
    chooseRow(selector(*page, "languageComboBox"), 5); // Deutsch
    QTranslator* current = SystemContext::Instance()->GetTranslator();
    EXPECT_FALSE(page->installTranslation(QStringLiteral("xx")));
    settle();
    EXPECT_EQ(SystemContext::Instance()->GetTranslator(), current);
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECT"), QStringLiteral("Verbinden"));
    EXPECT_EQ(label(*page, "labelTitle"), QStringLiteral("Einstellungen"));
    EXPECT_TRUE(
        newLogLines().contains(QStringLiteral("System :: Failed to load translation: zrvpnclient_xx.qm")));
}

TEST_F(SettingsLanguage, ChoosingTheCurrentRowAgainDoesNothing) {
    auto page = makePage();
    chooseRow(selector(*page, "languageComboBox"), 5);
    QTranslator* current = SystemContext::Instance()->GetTranslator();
    const QByteArray before = storeBytes();
    chooseRow(selector(*page, "languageComboBox"), 5);
    EXPECT_EQ(SystemContext::Instance()->GetTranslator(), current);
    EXPECT_EQ(storeBytes(), before);
}

} // namespace
