// The Settings page's switches, its restore at start, the start-with-the-system entry and
// the log viewer: every click stored at once with its log line, the row's other fields
// kept, the entry written and removed, a failed entry reported and not shown as done.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QWheelEvent>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "AppContext.h"
#include "GuiTest.h"
#include "SettingLogDialog.h"
#include "SettingManager.h"
#include "SettingsTest.h"
#include "SystemContext.h"
#include "ZRErrorDialog.h"
#include "zrwlog.h"

using namespace settingstest;

namespace {

// Named after the program file, whatever name the application gives itself.
QString autostartEntry() {
    const QString dirs = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_DIRS"));
    return dirs.section(QLatin1Char(':'), 0, 0) + QStringLiteral("/autostart/") +
           QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".desktop");
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void click(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

class SettingsPage : public SettingsTest {};

TEST_F(SettingsPage, EachSwitchStoresOnlyItsOwnFieldWithItsLogLine) {
    auto page = makePage();
    const SETTINGINFO before = storedRow();
    struct Case {
        const char* button;
        int SETTINGINFO::*field;
        const char* line;
    } cases[] = {{"btnReconnection", &SETTINGINFO::Reconnetion, "System :: Set reconnection status: %1!"},
                 {"btnNAT", &SETTINGINFO::NATTraversal, "System :: Set NAT Traversal status: %1!"}};
    for (const Case& c : cases) {
        for (int expected : {1, 0}) {
            click(switchButton(*page, c.button));
            EXPECT_EQ(switchButton(*page, c.button)->isChecked(), expected == 1);
            SETTINGINFO row = storedRow();
            EXPECT_EQ(row.*c.field, expected) << c.button;
            // Every other field is as it was.
            row.*c.field = before.*c.field;
            EXPECT_EQ(std::memcmp(&row, &before, sizeof row), 0) << c.button;
            EXPECT_EQ(newLogLines().last(),
                      QString::fromLatin1(c.line).arg(QLatin1String(expected == 1 ? "ON" : "OFF")));
        }
    }
    EXPECT_STREQ(storedRow().SelectedName, "O'Brien office");
    EXPECT_STREQ(storedRow().DatabaseVersion, "1.0");
}

TEST_F(SettingsPage, StartWithTheSystemWritesTheEntryAndRemovesIt) {
    // The client names itself for the desktop's window list; the entry keeps the program's
    // name, so that an entry an earlier version wrote is still the one switched off.
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Korva VPN"));
    auto page = makePage();
    QFile::remove(autostartEntry());
    QRadioButton* button = switchButton(*page, "btnAutoStart");

    click(button);
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(storedRow().AutoStart, 1);
    const QString entry = readFile(autostartEntry());
    const QString program = QCoreApplication::applicationFilePath();
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=\"%1\"\n").arg(program))) << entry.toStdString();
    // The client starts in its own folder, where it finds its program bundle.
    EXPECT_TRUE(entry.contains(QStringLiteral("\nPath=%1\n").arg(QFileInfo(program).absolutePath())))
        << entry.toStdString();
    EXPECT_EQ(newLogLines().last(), QStringLiteral("System :: Set auto start status: ON!"));

    click(button);
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(storedRow().AutoStart, 0);
    EXPECT_FALSE(QFileInfo::exists(autostartEntry()));
    EXPECT_EQ(newLogLines().last(), QStringLiteral("System :: Set auto start status: OFF!"));
    QCoreApplication::setApplicationName(ownName);
}

TEST_F(SettingsPage, AnEntryThatCannotBeWrittenIsReportedAndNotShownAsDone) {
    auto page = makePage();
    const QByteArray dirs = qgetenv("XDG_CONFIG_DIRS");
    // No folder can be made below a plain file.
    QFile plain(QStringLiteral("plain-file"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("XDG_CONFIG_DIRS", QDir::current().filePath(QStringLiteral("plain-file/xdg")).toLocal8Bit());

    QString message;
    guitest::answerNextModal(
        [&message](QWidget* modal) {
            message = modal->findChild<QLabel*>(QStringLiteral("labelContent"))->text();
            modal->close();
        },
        "ZRErrorDialog");
    click(switchButton(*page, "btnAutoStart"));
    settle();
    qputenv("XDG_CONFIG_DIRS", dirs);

    EXPECT_EQ(message, QStringLiteral("The setting to start with the system could not be changed."));
    EXPECT_FALSE(switchButton(*page, "btnAutoStart")->isChecked());
    EXPECT_EQ(storedRow().AutoStart, 0);
    const QStringList lines = newLogLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("System :: Failed to set auto start status!"));
    EXPECT_EQ(lines.last(), QStringLiteral("System :: Set auto start status: OFF!"));
}

TEST_F(SettingsPage, TheRestoreShowsTheRowAndNeverTouchesTheEntry) {
    QFile::remove(autostartEntry());
    struct Case {
        int value;     // of all three switches
        int language;  // stored
        int colorMode; // stored
        bool on;
        int storedLanguage;
        int storedMode;
    } cases[] = {
        {1, 5, 1, true, 5, 1},
        {2, 0, 2, false, 0, 2},
        {0, 16, 0, false, 16, 0},
        // Values outside their range (a damaged or foreign row) follow the system.
        {1, 17, 3, true, 0, 0},
        {-1, -1, -1, false, 0, 0},
    };
    for (const Case& c : cases) {
        auto page = makePage();
        SETTINGINFO row = knownRow();
        row.AutoStart = row.Reconnetion = row.NATTraversal = c.value;
        row.LanguageType = c.language;
        row.ColorMode = c.colorMode;
        storeRow(row);
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&row);
        settle();
        for (const char* name : {"btnAutoStart", "btnReconnection", "btnNAT"}) {
            EXPECT_EQ(switchButton(*page, name)->isChecked(), c.on) << name << " " << c.value;
        }
        const SETTINGINFO stored = storedRow();
        EXPECT_EQ(stored.AutoStart, c.on ? 1 : 0);
        EXPECT_EQ(stored.LanguageType, c.storedLanguage) << c.language;
        EXPECT_EQ(stored.ColorMode, c.storedMode) << c.colorMode;
        EXPECT_EQ(selector(*page, "languageComboBox")->currentIndex(), c.storedLanguage);
        EXPECT_EQ(selector(*page, "colorModeComboBox")->currentIndex(), c.storedMode);
        EXPECT_STREQ(stored.SelectedName, "O'Brien office");
        EXPECT_FALSE(QFileInfo::exists(autostartEntry())) << "only a click writes the entry";
    }
    guitest::useLanguage(QStringLiteral("en"));
}

TEST_F(SettingsPage, TheWheelNeverChangesASelector) {
    auto page = makePage();
    const QByteArray before = storeBytes();
    for (const char* name : {"languageComboBox", "colorModeComboBox"}) {
        QComboBox* combo = selector(*page, name);
        const int row = combo->currentIndex();
        const QPoint centre = combo->rect().center();
        QWheelEvent wheel(centre, combo->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &wheel);
        EXPECT_EQ(combo->currentIndex(), row) << name;
    }
    settle();
    EXPECT_EQ(storeBytes(), before);
}

TEST_F(SettingsPage, TheLogButtonShowsThisRunsLogAsPlainText) {
    ZRWLog(6, 3, "System :: <b>not bold</b> & <i>not italic</i>\n");
    auto page = makePage();
    QString shown;
    guitest::answerNextModal(
        [&shown](QWidget* modal) {
            shown = modal->findChild<QTextEdit*>(QStringLiteral("logContentWidget"))->toPlainText();
            // Typing into the view changes nothing on disk.
            QTest::keyClicks(modal->findChild<QTextEdit*>(QStringLiteral("logContentWidget")), "typed");
            modal->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
        },
        "SettingLogDialog");
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("btnLogs")), Qt::LeftButton);
    settle();
    const QString onDisk = guitest::logText();
    ASSERT_FALSE(onDisk.isEmpty());
    EXPECT_TRUE(shown.contains(QStringLiteral("System :: <b>not bold</b> & <i>not italic</i>")))
        << shown.toStdString();
    EXPECT_TRUE(onDisk.startsWith(shown.left(shown.size() - 1)));
    EXPECT_FALSE(onDisk.contains(QStringLiteral("typed")));
    // The viewer is gone once closed.
    EXPECT_EQ(page->findChild<SettingLogDialog*>(), nullptr);
}

TEST(LogViewer, ReadsTheFileOnceAndShowsNothingForAMissingFile) {
    QFile file(QStringLiteral("viewer.log"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("first line\nsecond line\n");
    file.close();
    SettingLogDialog dialog;
    dialog.loadLogFile("viewer.log");
    auto* view = dialog.findChild<QTextEdit*>(QStringLiteral("logContentWidget"));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("first line\nsecond line\n"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("written later\n");
    file.close();
    EXPECT_EQ(view->toPlainText(), QStringLiteral("first line\nsecond line\n"));

    SettingLogDialog empty;
    empty.loadLogFile("no-such.log");
    EXPECT_TRUE(empty.findChild<QTextEdit*>(QStringLiteral("logContentWidget"))->toPlainText().isEmpty());
    empty.loadLogFile(nullptr);
    EXPECT_TRUE(empty.findChild<QTextEdit*>(QStringLiteral("logContentWidget"))->toPlainText().isEmpty());

    // The client runs as root: a link at the log's name is not followed (it could show a
    // root-only file), and a FIFO is not waited on.
    ASSERT_TRUE(QFile::link(QStringLiteral("viewer.log"), QStringLiteral("linked.log")));
    ASSERT_EQ(mkfifo("fifo.log", 0600), 0);
    for (const char* name : {"linked.log", "fifo.log"}) {
        SettingLogDialog refused;
        refused.loadLogFile(name);
        EXPECT_TRUE(
            refused.findChild<QTextEdit*>(QStringLiteral("logContentWidget"))->toPlainText().isEmpty())
            << name;
    }
}

TEST(LogViewer, ALowScreenGivesMostOfItsArea) {
    const QSize form(718, 562);
    EXPECT_EQ(SettingLogDialog::fittedMinimumSize(QRect(0, 0, 1920, 540), form), QSize(1728, 486));
    EXPECT_EQ(SettingLogDialog::fittedMinimumSize(QRect(0, 0, 1920, 562), form), form);
    EXPECT_EQ(SettingLogDialog::fittedMinimumSize(QRect(0, 0, 1280, 800), form), form);
    EXPECT_EQ(SettingLogDialog::fittedMinimumSize(QRect(), form), form);
    // The offscreen screen is tall enough: the form keeps its own minimum.
    SettingLogDialog dialog;
    EXPECT_EQ(dialog.minimumSize(), form);
}

} // namespace
