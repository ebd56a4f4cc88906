// The Settings page's pictures: the page in English and in four languages with long
// texts (German, Hungarian, Russian, Japanese), with switches on and off, the log viewer
// showing a log file, and the messages of a refused import and a failed autostart entry.
#include "Shots.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>

#include "SettingLogDialog.h"
#include "SettingWidget.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"

using namespace shots;

namespace {

// The page at the main window's page size, given the colour mode as a style change does.
SettingWidget* newPage() {
    auto* page = new SettingWidget;
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->resize(887, 602);
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(page, &styleChange);
    return page;
}

void setSwitch(SettingWidget* page, const char* name, bool on) {
    if (auto* button = page->findChild<QRadioButton*>(QLatin1String(name))) {
        button->setChecked(on);
    }
}

const char* const kLogText =
    "[24-05-17 09:12:03] System :: ******** InitSystemContext ********\n"
    "[24-05-17 09:12:03] System :: ******** SetupAppSqlContext /home/user/.config/Halvex/Korva VPN/vpn.db "
    "********\n"
    "[24-05-17 09:12:04] System :: ******** Korva VPN Start ********\n"
    "[24-05-17 09:12:04] System :: Set theme mode to { System }\n"
    "[24-05-17 09:13:41] VPN :: Status: Connecting; Porfile: { Office_Berlin }; Type: { 4 } \n"
    "[24-05-17 09:13:46] WireGuard :: WireGuard Connect Success\n"
    "[24-05-17 09:20:15] System :: Set auto start status: ON!\n"
    "[24-05-17 09:20:19] System :: Set reconnection status: ON!\n"
    "[24-05-17 09:25:02] VPN :: Status: Disconnected; Porfile: { Office_Berlin }\n"
    "[24-05-17 09:25:08] <b>markup in a log line shows as it was written</b>\n";

} // namespace

KORVA_SHOTS(settings) {
    struct Sample {
        const char* code;
        bool autoStart;
        bool reconnection;
        bool nat;
    };
    const Sample samples[] = {{"en", true, false, true},
                              {"de", false, true, false},
                              {"hu", true, true, false},
                              {"ru", false, false, true},
                              {"ja", true, false, false}};
    for (const Sample& sample : samples) {
        SettingWidget* page = newPage();
        // The page as the client shows it: the restore at start always installs a
        // language, and the page lays its texts out anew on the change.
        showLanguage(QLatin1String(sample.code));
        setSwitch(page, "btnAutoStart", sample.autoStart);
        setSwitch(page, "btnReconnection", sample.reconnection);
        setSwitch(page, "btnNAT", sample.nat);
        page->show();
        settle();
        save(QStringLiteral("settings-%1").arg(QLatin1String(sample.code)), picture(page, mode.window, 0));
        page->close();
    }
    showLanguage(QString());
    settle();

    // The colour-mode selector opened, showing its icons.
    {
        SettingWidget* page = newPage();
        page->show();
        settle();
        auto* selector = page->findChild<QComboBox*>(QStringLiteral("colorModeComboBox"));
        if (selector != nullptr) {
            selector->showPopup();
            settle();
            QWidget* popup = selector->view()->window();
            save(QStringLiteral("settings-mode-list"), picture(popup, mode.card, 16));
            selector->hidePopup();
        }
        // The language selector opened, with the languages' own names.
        auto* languages = page->findChild<QComboBox*>(QStringLiteral("languageComboBox"));
        if (languages != nullptr) {
            languages->showPopup();
            settle();
            QWidget* popup = languages->view()->window();
            save(QStringLiteral("settings-language-list"), picture(popup, mode.card, 16));
            languages->hidePopup();
        }
        page->close();
    }

    QTemporaryDir folder;
    const QString logPath = folder.path() + QStringLiteral("/Korva VPN__x64_1.0.0_20240517_091203.log");
    QFile log(logPath);
    if (log.open(QIODevice::WriteOnly)) {
        log.write(kLogText);
        log.close();
    }
    SettingLogDialog dialog;
    dialog.loadLogFile(QFile::encodeName(logPath).constData());
    save(QStringLiteral("settings-log"), picture(&dialog, mode.window, 0));
    dialog.hide();

    const struct {
        const char* name;
        QString text;
    } messages[] = {
        {"settings-import-refused", ZRStringConstant::tr("ZRVPN_IMPORT_NOT_PROFILE_FILE")},
        {"settings-import-bad-name",
         ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_NAME").arg(QStringLiteral("../Office Berlin"))},
        {"settings-import-barred-directive",
         ZRStringConstant::tr("ZRVPN_IMPORT_BARRED_DIRECTIVE")
             .arg(QStringLiteral("Office Berlin"), QStringLiteral("auth-user-pass"))},
        {"settings-autostart-failed", ZRStringConstant::tr("ZRVPN_SETTING_AUTOSTART_FAILED")},
    };
    for (const auto& message : messages) {
        ZRErrorDialog prompt;
        prompt.setContent(message.text);
        save(QLatin1String(message.name), picture(&prompt, mode.window, 0));
        prompt.hide();
    }
}
