#include "SettingChoices.h"

#include <QApplication>
#include <QTranslator>
#include <cstring>
#include <memory>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "KorvaResourcePaths.h"
#include "ProfilePageConstants.h"
#include "SettingManager.h"
#include "SettingWidget.h"
#include "SystemContext.h"
#include "SystemSettings.h"
#include "zrwlog.h"

using namespace SettingPage;

namespace {

// The style sheet read last, with its resource.
struct ReadSheet {
    const char* resource = nullptr;
    QString text;
};

ReadSheet& lastReadSheet() {
    static ReadSheet sheet;
    return sheet;
}

} // namespace

QString SettingChoices::readStyleSheet(const char* resource) {
    // The resources do not change while the program runs: the sheet that the start reads
    // for the stored mode is the one the restore applies again, and a text shared with the
    // sheet in force compares with it at once.
    ReadSheet& last = lastReadSheet();
    if (last.resource == nullptr || std::strcmp(last.resource, resource) != 0) {
        last.text = ReadStyleSheet(resource);
        last.resource = resource;
    }
    return last.text;
}

SettingChoices::SettingChoices(QObject* parent) : QObject(parent) {
    SettingManager* manager = SystemContext::GetSettingManager();
    connect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(loadSystemMode()),
            Qt::UniqueConnection);
    connect(manager, SIGNAL(signalSystemLanguageChanged()), this, SLOT(loadSystemLanguage()));
    connect(manager, SIGNAL(signalRestoreSystemInfo(SETTINGINFO)), this, SLOT(restore(SETTINGINFO)));
}

SettingChoices::~SettingChoices() = default;

void SettingChoices::setSwitches(bool autoStart, bool reconnection, bool natTraversal) {
    autoStartOn = autoStart;
    reconnectionOn = reconnection;
    natTraversalOn = natTraversal;
}

int SettingChoices::save() {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    SETTINGINFO info;
    app->GetSettingInfo(&info);
    info.AutoStart = autoStartOn ? 1 : 0;
    info.Reconnetion = reconnectionOn ? 1 : 0;
    info.NATTraversal = natTraversalOn ? 1 : 0;
    info.LanguageType = language;
    info.ColorMode = colorMode;
    info.ID = 1;
    return app->GetSqlite()->UpdateSettingInfo(&info);
}

void SettingChoices::restore(SETTINGINFO info) {
    setSwitches(info.AutoStart == 1, info.Reconnetion == 1, info.NATTraversal == 1);
    emit switchesChanged();
    const bool knownLanguage =
        info.LanguageType >= LANGUAGE_TYPE_SYSTEM && info.LanguageType <= LANGUAGE_TYPE_LAST;
    const bool knownMode = info.ColorMode >= COLOR_MODE_SYSTEM && info.ColorMode <= COLOR_MODE_DARK;
    chooseLanguage(knownLanguage ? info.LanguageType : LANGUAGE_TYPE_SYSTEM);
    chooseColorMode(knownMode ? info.ColorMode : COLOR_MODE_SYSTEM);
}

// Language

bool SettingChoices::installTranslation(const QString& code) {
    const QString file =
        QStringLiteral(KORVA_TRANSLATION_PREFIX) + code + QStringLiteral(KORVA_TRANSLATION_SUFFIX);
    auto next = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!next->load(file, QStringLiteral(KORVA_TRANSLATION_DIR))) {
        // The translation in force stays: texts never fall back to their raw keys.
        ZRWLog(6, 3, kTranslationFailedLine, file.toUtf8().constData());
        return false;
    }
    SystemContext* context = SystemContext::Instance();
    QTranslator* current = context->GetTranslator();
    // One translator of this program is installed at a time.
    QCoreApplication::removeTranslator(current);
    context->SetTranslator(next.get());
    QCoreApplication::installTranslator(next.release());
    delete current;
    return true;
}

void SettingChoices::chooseLanguage(int row) {
    language = row >= 0 && row < SettingWidget::kLanguageRows ? row : -1;
    emit languageRowChanged(language);
    if (row >= LANGUAGE_TYPE_FIRST && row <= LANGUAGE_TYPE_LAST) {
        installTranslation(SettingWidget::languageCode(row));
    } else if (row == LANGUAGE_TYPE_SYSTEM) {
        loadSystemLanguage();
    }
    save();
}

void SettingChoices::loadSystemLanguage() {
    installTranslation(SettingWidget::languageCodeForId(GetUserDefaultUILanguage()));
}

// Colour mode

void SettingChoices::chooseColorMode(int mode) {
    SettingManager* manager = SystemContext::GetSettingManager();
    switch (mode) {
    case COLOR_MODE_SYSTEM:
        // Choosing it again adds no second connection: one theme change applies once.
        connect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(loadSystemMode()),
                Qt::UniqueConnection);
        colorMode = mode;
        emit colorModeRowChanged(mode);
        loadSystemMode();
        ZRWLog(6, 3, "%s", kThemeSystemLine);
        break;
    case COLOR_MODE_NORMAL:
        disconnect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(loadSystemMode()));
        colorMode = mode;
        emit colorModeRowChanged(mode);
        applyStyleSheet(COLOR_MODE_NORMAL, KORVA_STYLESHEET_NORMAL);
        ZRWLog(6, 3, "%s", kThemeNormalLine);
        break;
    case COLOR_MODE_DARK:
        disconnect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(loadSystemMode()));
        colorMode = mode;
        emit colorModeRowChanged(mode);
        applyStyleSheet(COLOR_MODE_DARK, KORVA_STYLESHEET_DARK);
        ZRWLog(6, 3, "%s", kThemeDarkLine);
        break;
    default:
        break;
    }
    save();
}

void SettingChoices::applyStyleSheet(int mode, const char* resource) {
    // The mode comes first: the style sheet sends every widget a style change, and the
    // widgets that draw by colour mode read it there.
    SystemContext::GetSettingManager()->setColorMode(mode);
    auto* app = qobject_cast<QApplication*>(SystemContext::Instance()->GetApplication());
    if (app == nullptr) {
        app = qApp;
    }
    // The start sets the stored mode's sheet before the window exists: applied here again
    // at the restore, it is not set a second time.
    SetApplicationStyleSheet(app, readStyleSheet(resource));
}

void SettingChoices::loadSystemMode() {
    if (ReadAppsUseLightTheme() == 0) {
        applyStyleSheet(COLOR_MODE_DARK, KORVA_STYLESHEET_DARK);
    } else {
        applyStyleSheet(COLOR_MODE_NORMAL, KORVA_STYLESHEET_NORMAL);
    }
}
