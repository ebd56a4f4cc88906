// Every language file carries every text key; the forms' translations that the
// client relies on are in place.
#include "KorvaResourcePaths.h"
#include "TestApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

const char* const kLanguages[] = {"en", "cs", "nl", "fr", "de", "hu", "it", "ja",
                                  "ko", "pl", "pt", "ru", "sk", "es", "zh", "tr"};

// The key table (key and English text) that the translation sources are made from.
std::vector<std::pair<QString, QString>> readKeyTable() {
    std::vector<std::pair<QString, QString>> keys;
    QFile file(QStringLiteral(KORVA_SOURCE_DIR "/resources/translations/keys.tsv"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0)
            keys.emplace_back(line.left(tab),
                              line.mid(tab + 1).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    }
    return keys;
}

std::unique_ptr<QTranslator> loadLanguage(const QString& code) {
    auto translator = std::make_unique<QTranslator>();
    const QString file =
        QStringLiteral(KORVA_TRANSLATION_PREFIX) + code + QStringLiteral(KORVA_TRANSLATION_SUFFIX);
    if (!translator->load(file, QStringLiteral(KORVA_TRANSLATION_DIR)))
        return nullptr;
    return translator;
}

class TranslationsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testApp(); }
};

TEST_F(TranslationsTest, KeyTableHasEveryKey) {
    // The keys the client was first written with; later texts only add to them.
    const auto keys = readKeyTable();
    ASSERT_GE(keys.size(), 68u);
    int toast = 0;
    for (const auto& key : keys)
        toast += key.first.startsWith(QStringLiteral("TOAST_")) ? 1 : 0;
    EXPECT_GE(toast, 19);
}

TEST_F(TranslationsTest, EveryKeyResolvesInEveryLanguage) {
    const auto keys = readKeyTable();
    ASSERT_FALSE(keys.empty());
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (const auto& key : keys) {
            const QString text = translator->translate("ZRStringConstant", key.first.toUtf8().constData());
            EXPECT_FALSE(text.isEmpty()) << code << " " << key.first.toStdString();
            EXPECT_NE(text, key.first) << code << " " << key.first.toStdString();
            if (QLatin1String(code) == QLatin1String("en")) {
                EXPECT_EQ(text, key.second) << key.first.toStdString();
            }
        }
    }
}

TEST_F(TranslationsTest, LanguageNamesReadTheSameInEveryFile) {
    const std::pair<const char*, const char*> names[] = {
        {"ZRVPN_LANGUAGE_CZECH", "Čeština"},        {"ZRVPN_LANGUAGE_DUTCH", "Nederlands"},
        {"ZRVPN_LANGUAGE_FRENCH", "Français"},      {"ZRVPN_LANGUAGE_GERMAN", "Deutsch"},
        {"ZRVPN_LANGUAGE_HUNGARIAN", "Magyar"},     {"ZRVPN_LANGUAGE_ITALIAN", "Italiano"},
        {"ZRVPN_LANGUAGE_JAPANESE", "日本語"},      {"ZRVPN_LANGUAGE_KOREAN", "한국어"},
        {"ZRVPN_LANGUAGE_POLISH", "Polski"},        {"ZRVPN_LANGUAGE_PORTUGUESE", "Português"},
        {"ZRVPN_LANGUAGE_RUSSIAN", "Русский язык"}, {"ZRVPN_LANGUAGE_SLOVAKIAN", "Slovenská"},
        {"ZRVPN_LANGUAGE_SPANISH", "Español"},      {"ZRVPN_LANGUAGE_CHINESE", "繁體中文"},
        {"ZRVPN_LANGUAGE_TURKISH", "Türkçe"},
    };
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (const auto& name : names)
            EXPECT_EQ(translator->translate("ZRStringConstant", name.first), QString::fromUtf8(name.second))
                << code << " " << name.first;
    }
}

TEST_F(TranslationsTest, ErrorPromptIsTranslatedPerLanguage) {
    struct Row {
        const char* code;
        const char* error;
        const char* cancel;
        const char* retry;
    };
    const Row rows[] = {
        {"cs", "Chyba", "Zrušit", "Opakovat"},         {"de", "Fehler", "Abbrechen", "Erneut versuchen"},
        {"es", "Error", "Cancelar", "Reintentar"},     {"fr", "Erreur", "Annuler", "Recommencer"},
        {"ja", "エラー", "キャンセル", "再試行"},      {"ru", "Ошибка", "Отменить", "Повторить попытку"},
        {"tr", "Hata", "İptal etmek", "Yeniden dene"}, {"zh", "錯誤", "取消", "重試"},
    };
    for (const Row& row : rows) {
        auto translator = loadLanguage(QString::fromLatin1(row.code));
        ASSERT_TRUE(translator) << row.code;
        EXPECT_EQ(translator->translate("ZRErrorDialog", "Error"), QString::fromUtf8(row.error)) << row.code;
        EXPECT_EQ(translator->translate("ZRErrorDialog", "Cancel"), QString::fromUtf8(row.cancel))
            << row.code;
        EXPECT_EQ(translator->translate("ZRErrorDialog", "Retry"), QString::fromUtf8(row.retry)) << row.code;
    }
    auto german = loadLanguage(QStringLiteral("de"));
    ASSERT_TRUE(german);
    const QString message =
        german->translate("ZRErrorDialog", "There is no TAP-Windows Adapter could be used. Press \"Retry\" "
                                           "to build a new adapter and try again.");
    EXPECT_TRUE(message.startsWith(QStringLiteral("Es gibt keinen TAP-Windows-Adapter")))
        << message.toStdString();
}

TEST_F(TranslationsTest, FormsOfTheMainWindowAndTrayInGerman) {
    auto german = loadLanguage(QStringLiteral("de"));
    ASSERT_TRUE(german);
    EXPECT_EQ(german->translate("ZRVPNClientClass", "Home"), QStringLiteral("Startseite"));
    EXPECT_EQ(german->translate("ZRVPNClientClass", "Profiles"), QStringLiteral("Profil"));
    EXPECT_EQ(german->translate("ZRVPNClientClass", "Settings"), QStringLiteral("Einstellungen"));
    EXPECT_EQ(german->translate("VPNMenuDialog", "No Connection"), QStringLiteral("Keine Verbindung"));
    EXPECT_EQ(german->translate("VPNMenuDialog", "Connect"), QStringLiteral("Verbinden"));
    EXPECT_EQ(german->translate("VPNMenuDialog", "Show"), QStringLiteral("anzeigen"));
    EXPECT_EQ(german->translate("VPNMenuDialog", "Quit"), QStringLiteral("Beenden"));

    // English shows the forms' English source texts: its file holds no entries for them.
    auto english = loadLanguage(QStringLiteral("en"));
    ASSERT_TRUE(english);
    EXPECT_TRUE(english->translate("ZRVPNClientClass", "Home").isEmpty());
    EXPECT_TRUE(english->translate("ZRErrorDialog", "Retry").isEmpty());
}

TEST_F(TranslationsTest, NonEnglishSourceTextsReadEnglishInEveryLanguage) {
    const std::pair<const char*, const char*> texts[] = {
        {"SettingWidget", "Log日志"},
        {"SettingWidget", "开机自启动"},
        {"SettingWidget", "断线重连"},
        {"SettingWidget", "支持NAT穿透"},
        {"ProfileConfigDialog", "标准IPSec隧道"},
        {"ProfileConfigDialog", "指定远端网络IP地址"},
    };
    const char* const english[] = {"Log",
                                   "Run at Windows Startup",
                                   "Automatic Reconnection",
                                   "Support NAT Traversal",
                                   "Standard IPSec Tunnel",
                                   "Specify Remote Network IP Address"};
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (size_t i = 0; i < sizeof(texts) / sizeof(texts[0]); ++i) {
            const QString source = QString::fromUtf8(texts[i].second);
            const QString text = translator->translate(texts[i].first, source.toUtf8().constData());
            EXPECT_FALSE(text.isEmpty()) << code << " " << texts[i].second;
            if (QLatin1String(code) == QLatin1String("en")) {
                EXPECT_EQ(text, QString::fromUtf8(english[i]));
            }
        }
    }
}

TEST_F(TranslationsTest, LookupThroughTheInstalledTranslator) {
    // With no translator a key reads as itself.
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "ZRVPN_CONNECTING"),
              QStringLiteral("ZRVPN_CONNECTING"));

    auto english = loadLanguage(QStringLiteral("en"));
    ASSERT_TRUE(english);
    ASSERT_TRUE(QCoreApplication::installTranslator(english.get()));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "ZRVPN_CONNECTING"),
              QStringLiteral("Connecting..."));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "ZRVPN_APP_NAME"), QStringLiteral("Korva VPN"));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "ZRVPN_PROFILE_DELETE_TITLE")
                  .arg(QStringLiteral("office")),
              QStringLiteral("Delete office"));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "aes128"), QStringLiteral("aes128"));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "%1h %2m %3s"), QStringLiteral("%1h %2m %3s"));
    EXPECT_EQ(QCoreApplication::translate("ZRStringConstant", "ZRVPN_NO_SUCH_KEY"),
              QStringLiteral("ZRVPN_NO_SUCH_KEY"));
    QCoreApplication::removeTranslator(english.get());
}

} // namespace
