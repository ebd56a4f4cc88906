// The sixteen language files against the one translation table: every key and every text of
// every form is written in each of the fifteen languages besides English, no file shows an
// English text that the table does not give on purpose, and the placeholders and line breaks
// of each text survive its translation.
#include "BareApp.h"
#include "KorvaResourcePaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const char* const kLanguages[] = {"en", "cs", "nl", "fr", "de", "hu", "it", "ja",
                                  "ko", "pl", "pt", "ru", "sk", "es", "zh", "tr"};
// Every language but English: each needs a row of its own for every text.
const char* const kOtherLanguages[] = {"cs", "nl", "fr", "de", "hu", "it", "ja", "ko",
                                       "pl", "pt", "ru", "sk", "es", "zh", "tr"};
const char kKeyContext[] = "ZRStringConstant";
const char kTablePath[] = "resources/translations/translations.tsv";

QString unescape(QString text) {
    return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

// The rows of a tab-separated table under resources/translations/, comments left out.
std::vector<QStringList> readTsv(const QString& name) {
    std::vector<QStringList> rows;
    QFile file(QStringLiteral(KORVA_SOURCE_DIR "/resources/translations/") + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'));
        for (QString& field : fields)
            field = unescape(field);
        rows.push_back(fields);
    }
    return rows;
}

// The key table (key and English text) that the translation sources are made from.
std::vector<std::pair<QString, QString>> readKeyTable() {
    std::vector<std::pair<QString, QString>> keys;
    for (const QStringList& row : readTsv(QStringLiteral("keys.tsv")))
        if (row.size() == 2)
            keys.emplace_back(row[0], row[1]);
    return keys;
}

using TextId = std::pair<QString, QString>; // context, source

// The keys and the translation table, read the way make_ts.py reads them.
struct Table {
    std::vector<std::pair<QString, QString>> keys;
    std::map<QString, QString> keyEnglish;
    std::map<std::tuple<QString, QString, QString>, QString> rows; // (context, source, code) -> text
    std::vector<TextId> texts;                                     // every (context, source) but the keys

    bool isKey(const QString& context, const QString& source) const {
        return context == QLatin1String(kKeyContext) && keyEnglish.count(source) != 0;
    }
    const QString* row(const QString& context, const QString& source, const QString& code) const {
        const auto it = rows.find(std::make_tuple(context, source, code));
        return it == rows.end() ? nullptr : &it->second;
    }
    // What English shows: a key's text, else the English row or the every-language row, else
    // the source text itself.
    QString english(const QString& context, const QString& source) const {
        if (isKey(context, source))
            return keyEnglish.at(source);
        if (const QString* own = row(context, source, QStringLiteral("en")))
            return *own;
        if (const QString* every = row(context, source, QStringLiteral("*")))
            return *every;
        return source;
    }
    // Every text a language file carries: the keys first, then the table's other texts.
    std::vector<TextId> allTexts() const {
        std::vector<TextId> all;
        for (const auto& key : keys)
            all.emplace_back(QString::fromLatin1(kKeyContext), key.first);
        all.insert(all.end(), texts.begin(), texts.end());
        return all;
    }
};

const Table& table() {
    static const Table loaded = [] {
        Table t;
        t.keys = readKeyTable();
        for (const auto& key : t.keys)
            t.keyEnglish[key.first] = key.second;
        for (const QStringList& row : readTsv(QStringLiteral("translations.tsv"))) {
            if (row.size() != 4)
                continue;
            t.rows.emplace(std::make_tuple(row[0], row[1], row[2]), row[3]);
            const TextId id(row[0], row[1]);
            if (!t.isKey(row[0], row[1]) && std::find(t.texts.begin(), t.texts.end(), id) == t.texts.end())
                t.texts.push_back(id);
        }
        return t;
    }();
    return loaded;
}

// "context | source" on one line, line breaks shown as \n.
std::string describe(const QString& context, const QString& source) {
    QString text = source;
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return (context + QStringLiteral(" | ") + text).toStdString();
}

// Collects the languages a text lacks, in the order found, and prints one line per text.
class MissingList {
public:
    void add(const std::string& text, const char* code) {
        auto it =
            std::find_if(items_.begin(), items_.end(), [&](const auto& item) { return item.first == text; });
        if (it == items_.end())
            it = items_.insert(items_.end(), {text, {}});
        it->second += (it->second.empty() ? "" : " ") + std::string(code);
    }
    bool empty() const { return items_.empty(); }
    std::string lines() const {
        std::string out;
        for (const auto& item : items_)
            out += "  " + item.first + "  ->  " + item.second + "\n";
        return out;
    }

private:
    std::vector<std::pair<std::string, std::string>> items_;
};

std::unique_ptr<QTranslator> loadLanguage(const QString& code) {
    auto translator = std::make_unique<QTranslator>();
    const QString file =
        QStringLiteral(KORVA_TRANSLATION_PREFIX) + code + QStringLiteral(KORVA_TRANSLATION_SUFFIX);
    if (!translator->load(file, QStringLiteral(KORVA_TRANSLATION_DIR)))
        return nullptr;
    return translator;
}

// A text reads as English unless it holds letters of another script (the forms that were
// first written in Chinese): such a source needs an English row of its own.
bool readsAsEnglish(const QString& text) {
    for (const QChar c : text)
        if (c.isLetter() && c.script() != QChar::Script_Latin)
            return false;
    return true;
}

struct FormText {
    QString file; // relative to the source tree
    QString context;
    QString source;
};

// The .ui forms of the source tree; hidden folders and build trees are left out.
void findForms(const QString& folder, QStringList& forms) {
    const QDir dir(folder);
    if (dir.exists(QStringLiteral("CMakeCache.txt")))
        return;
    const auto entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) {
            if (!entry.fileName().startsWith(QStringLiteral("build")))
                findForms(entry.filePath(), forms);
        } else if (entry.suffix() == QLatin1String("ui")) {
            forms << entry.filePath();
        }
    }
}

// Every <string> of a form that uic passes through the translation: the context is the
// form's <class>, and strings marked notr="true" or empty are not translated. A style
// sheet is no text a person reads, so a form's styleSheet properties need no rows.
std::vector<FormText> readFormTexts(const QString& path, QString* error) {
    std::vector<FormText> texts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return texts;
    }
    const QString relative = QDir(QStringLiteral(KORVA_SOURCE_DIR)).relativeFilePath(path);
    QString context;
    QXmlStreamReader xml(&file);
    int depth = 0;
    QString property; // the name of the <property> being read
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (xml.name() == QLatin1String("property"))
                property.clear();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (depth == 2 && xml.name() == QLatin1String("class")) {
            context = xml.readElementText();
            --depth;
        } else if (xml.name() == QLatin1String("property")) {
            property = xml.attributes().value(QStringLiteral("name")).toString();
        } else if (xml.name() == QLatin1String("string")) {
            const bool notr = xml.attributes().value(QStringLiteral("notr")) == QLatin1String("true");
            const QString text = xml.readElementText();
            --depth;
            if (!notr && !text.isEmpty() && property != QLatin1String("styleSheet"))
                texts.push_back({relative, QString(), text});
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return {};
    }
    for (FormText& text : texts)
        text.context = context;
    return texts;
}

// The %1, %2 ... of a text, sorted, so that "%2 of %1" matches "%1 ... %2".
QStringList placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%(\\d+)"));
    QStringList found;
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    found.sort();
    return found;
}

class TranslationsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { guitest::bareApp(); }
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

TEST_F(TranslationsTest, EveryTextOfTheTableHasEveryLanguage) {
    const Table& t = table();
    ASSERT_FALSE(t.keys.empty());
    ASSERT_FALSE(t.texts.empty());
    MissingList missing;
    for (const TextId& text : t.allTexts())
        for (const char* code : kOtherLanguages)
            if (!t.row(text.first, text.second, QString::fromLatin1(code)))
                missing.add(describe(text.first, text.second), code);
    EXPECT_TRUE(missing.empty())
        << "These texts lack a row in " << kTablePath << " (context, source, language, text) for the "
        << "languages named after the arrow. Write each in that language; a word that reads as in "
        << "English there (a name, an algorithm) gets a row with the English text:\n"
        << missing.lines();
}

TEST_F(TranslationsTest, NoLanguageShowsEnglishUnlessTheTableSaysSo) {
    // A language file shows the English text where the table lacks the language's row (the
    // catalogue then carries English, marked unfinished); only a row of the language's own
    // whose text equals the English one makes that right.
    const Table& t = table();
    const auto texts = t.allTexts();
    ASSERT_FALSE(texts.empty());
    MissingList english;
    for (const char* code : kOtherLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (const TextId& text : texts) {
            const QString found =
                translator->translate(text.first.toUtf8().constData(), text.second.toUtf8().constData());
            const QString shown = found.isEmpty() ? text.second : found;
            const QString inEnglish = t.english(text.first, text.second);
            const QString* own = t.row(text.first, text.second, QString::fromLatin1(code));
            if (shown == inEnglish && !(own && *own == inEnglish))
                english.add(describe(text.first, text.second), code);
        }
    }
    EXPECT_TRUE(english.empty()) << "These texts show in English in the languages named after the arrow; "
                                 << "add their translations to " << kTablePath << ":\n"
                                 << english.lines();
}

TEST_F(TranslationsTest, EveryFormTextHasARowInEveryLanguage) {
    QStringList forms;
    findForms(QStringLiteral(KORVA_SOURCE_DIR), forms);
    ASSERT_FALSE(forms.isEmpty()) << "no .ui form found under " << KORVA_SOURCE_DIR;
    const Table& t = table();
    MissingList missing;
    for (const QString& form : forms) {
        QString error;
        const auto texts = readFormTexts(form, &error);
        ASSERT_TRUE(error.isEmpty()) << form.toStdString() << ": " << error.toStdString();
        for (const FormText& text : texts) {
            const std::string where = text.file.toStdString() + ": " + describe(text.context, text.source);
            for (const char* code : kOtherLanguages)
                if (!t.row(text.context, text.source, QString::fromLatin1(code)))
                    missing.add(where, code);
            if (!readsAsEnglish(text.source) && !t.row(text.context, text.source, QStringLiteral("en")) &&
                !t.row(text.context, text.source, QStringLiteral("*")))
                missing.add(where, "en or * (an English text: the source is not English)");
        }
    }
    EXPECT_TRUE(missing.empty())
        << "Texts of .ui forms (context = the form's <class>, source = the text as the form holds it) "
        << "lack a row in " << kTablePath << " for the languages named after the arrow. Add the rows, "
        << "or mark the <string> notr=\"true\" in the form where it is no text a person reads:\n"
        << missing.lines();
}

TEST_F(TranslationsTest, TranslationsKeepPlaceholdersAndLineBreaks) {
    const Table& t = table();
    std::string faults;
    for (const auto& row : t.rows) {
        const QString& context = std::get<0>(row.first);
        const QString& source = std::get<1>(row.first);
        const QString& code = std::get<2>(row.first);
        const QString english = t.english(context, source);
        const QString& text = row.second;
        if (placeholders(text) != placeholders(english))
            faults += "  " + describe(context, source) + " [" + code.toStdString() + "]: placeholders " +
                      placeholders(text).join(QLatin1Char(' ')).toStdString() + ", English has " +
                      placeholders(english).join(QLatin1Char(' ')).toStdString() + "\n";
        if (text.count(QLatin1Char('\n')) != english.count(QLatin1Char('\n')))
            faults += "  " + describe(context, source) + " [" + code.toStdString() +
                      "]: " + std::to_string(text.count(QLatin1Char('\n'))) + " line breaks, English has " +
                      std::to_string(english.count(QLatin1Char('\n'))) + "\n";
    }
    EXPECT_TRUE(faults.empty()) << "In " << kTablePath << ":\n" << faults;
}

TEST_F(TranslationsTest, ProfileKindsReadDifferentlyInEveryLanguage) {
    // The Profiles page tells a row's kind by comparing its label with the four kind keys in
    // the language in force, so no two of them may read alike.
    const char* const kinds[] = {"ZRVPN_IPSEC_VPN", "ZRVPN_SSL_TUNNEL_VPN", "ZRVPN_OPEN_VPN",
                                 "ZRVPN_WIREGUARD_VPN"};
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        QStringList labels;
        for (const char* kind : kinds)
            labels << translator->translate(kKeyContext, kind);
        labels.removeDuplicates();
        EXPECT_EQ(labels.size(), 4) << code << ": " << labels.join(QStringLiteral(", ")).toStdString();
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
    const QString message = german->translate(
        "ZRErrorDialog",
        "No TAP network adapter can be used. Press \"Retry\" to create a new adapter and try again.");
    EXPECT_TRUE(message.startsWith(QStringLiteral("Es ist kein nutzbarer TAP-Netzwerkadapter")))
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
                                   "Start with the system",
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

TEST_F(TranslationsTest, NoTextNamesAWindowsFacility) {
    // The client runs on Linux: what it shows names what it does there (the system's start,
    // a TAP network adapter), never a facility of Windows.
    const Table& t = table();
    const auto texts = t.allTexts();
    ASSERT_FALSE(texts.empty());
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (const TextId& text : texts) {
            const QString found =
                translator->translate(text.first.toUtf8().constData(), text.second.toUtf8().constData());
            const QString shown = found.isEmpty() ? text.second : found;
            EXPECT_FALSE(shown.contains(QStringLiteral("Windows"), Qt::CaseInsensitive))
                << code << " " << describe(text.first, text.second) << ": " << shown.toStdString();
        }
    }
}

TEST_F(TranslationsTest, AlgorithmNamesStayAndTheConnectionTimeIsTranslated) {
    for (const char* code : kLanguages) {
        auto translator = loadLanguage(QString::fromLatin1(code));
        ASSERT_TRUE(translator) << code;
        for (const char* name : {"3des", "aes256", "dh14", "sha512"}) {
            const QString text = translator->translate(kKeyContext, name);
            EXPECT_EQ(text.isEmpty() ? QString::fromLatin1(name) : text, QString::fromLatin1(name))
                << code << " " << name;
        }
        const QString time = translator->translate(kKeyContext, "%1h %2m %3s");
        if (QLatin1String(code) == QLatin1String("en"))
            continue;
        EXPECT_NE(time, QStringLiteral("%1h %2m %3s")) << code;
        EXPECT_FALSE(time.arg(1).arg(2).arg(5).contains(QLatin1Char('%')))
            << code << " " << time.toStdString();
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
