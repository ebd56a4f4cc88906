#include "SettingsTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <cstring>
#include <vector>

#include "AppContext.h"
#include "GuiTest.h"
#include "SystemContext.h"
#include "SystemSettings.h"

namespace settingstest {

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

using Table = std::map<std::tuple<QString, QString, QString>, QString>;

Table readTable() {
    Table table;
    auto read = [](const char* name, const std::function<void(const QStringList&)>& row) {
        QFile file(QStringLiteral(KORVA_SOURCE_DIR "/resources/translations/") + QLatin1String(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#')) {
                row(QString::fromUtf8(line)
                        .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
                        .split(QLatin1Char('\t')));
            }
        }
    };
    read("keys.tsv", [&table](const QStringList& fields) {
        table[{QStringLiteral("ZRStringConstant"), fields.value(0), QStringLiteral("en")}] = fields.value(1);
    });
    read("translations.tsv", [&table](const QStringList& fields) {
        const QString code = fields.value(2) == QLatin1String("*") ? QStringLiteral("en") : fields.value(2);
        table[{fields.value(0), fields.value(1), code}] = fields.value(3);
    });
    return table;
}

} // namespace

void SettingsTest::SetUp() {
    ASSERT_TRUE(guitest::startAppContext());
    // The system's language as the tests set it, never the machine's.
    setSystemLocale("en_US.UTF-8");
    storeRow(knownRow());
    guitest::applyColorMode(1);
    logMark = guitest::LogMark();
}

void SettingsTest::TearDown() {
    settle();
}

std::unique_ptr<Page> SettingsTest::makePage() {
    auto page = std::make_unique<Page>();
    page->resize(887, 602);
    EXPECT_TRUE(guitest::showAndExpose(page.get()));
    // As at the client's start: the stored row applied once.
    page->slotRestoreSystemInfo(storedRow());
    settle();
    return page;
}

void SettingsTest::setSystemLocale(const char* locale) {
    QFile file(QStringLiteral("locale"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray("LANG=") + locale + "\n");
    file.close();
    SetSystemLocaleFile(QFile::encodeName(QFileInfo(file).absoluteFilePath()).constData());
}

SETTINGINFO SettingsTest::knownRow() {
    SETTINGINFO row;
    row.ID = 1;
    row.AutoStart = 0;
    row.Reconnetion = 0;
    row.NATTraversal = 0;
    row.LanguageType = 1;
    row.ColorMode = 1;
    std::strcpy(row.SelectedName, "O'Brien office");
    std::strcpy(row.DatabaseVersion, "1.0");
    return row;
}

SETTINGINFO SettingsTest::storedRow() {
    SETTINGINFO row;
    app()->GetSettingInfo(&row);
    return row;
}

void SettingsTest::storeRow(const SETTINGINFO& row) {
    SETTINGINFO copy = row;
    ASSERT_EQ(app()->GetSqlite()->UpdateSettingInfo(&copy), 0);
}

QByteArray SettingsTest::storeBytes() {
    QFile file(QString::fromLocal8Bit(app()->GetDataPath()) + QStringLiteral("vpn.db"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QStringList SettingsTest::newLogLines() const {
    QStringList lines;
    for (const QString& line : logMark.added().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        lines << line.section(QStringLiteral("] "), 1);
    }
    return lines;
}

QRadioButton* SettingsTest::switchButton(SettingWidget& page, const char* name) {
    auto* button = page.findChild<QRadioButton*>(QLatin1String(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

QComboBox* SettingsTest::selector(SettingWidget& page, const char* name) {
    auto* combo = page.findChild<QComboBox*>(QLatin1String(name));
    EXPECT_NE(combo, nullptr) << name;
    return combo;
}

void SettingsTest::chooseRow(QComboBox* combo, int row) {
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseMove(view->viewport(), centre);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTRY_VERIFY(!view->window()->isVisible());
    settle();
}

void SettingsTest::settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QString SettingsTest::translated(const QString& context, const QString& source, const QString& code) {
    static const Table table = readTable();
    const auto found = table.find({context, source, code});
    if (found != table.end()) {
        return found->second;
    }
    // English shows a form's own English source text.
    return code == QLatin1String("en") ? source : QString();
}

} // namespace settingstest
