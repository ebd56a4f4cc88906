#include "SettingWidget.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QListView>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTranslator>
#include <algorithm>
#include <memory>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "KorvaResourcePaths.h"
#include "PaintedShadow.h"
#include "ProfilePageConstants.h"
#include "SettingLogDialog.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "SystemHelpers.h"
#include "SystemSettings.h"
#include "TextFit.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace SettingPage;

namespace {

struct Language {
    const char* code;
    const char* key; // the row's text key; null for the fixed "English"
    uint16_t languageId;
};

// Rows 1 to 16 of the language selector.
const Language kLanguages[] = {
    {"en", nullptr, 0x0409},
    {"cs", "ZRVPN_LANGUAGE_CZECH", 0x0405},
    {"nl", "ZRVPN_LANGUAGE_DUTCH", 0x0413},
    {"fr", "ZRVPN_LANGUAGE_FRENCH", 0x040C},
    {"de", "ZRVPN_LANGUAGE_GERMAN", 0x0407},
    {"hu", "ZRVPN_LANGUAGE_HUNGARIAN", 0x040E},
    {"it", "ZRVPN_LANGUAGE_ITALIAN", 0x0410},
    {"ja", "ZRVPN_LANGUAGE_JAPANESE", 0x0411},
    {"ko", "ZRVPN_LANGUAGE_KOREAN", 0x0412},
    {"pl", "ZRVPN_LANGUAGE_POLISH", 0x0415},
    {"pt", "ZRVPN_LANGUAGE_PORTUGUESE", 0x0816},
    {"ru", "ZRVPN_LANGUAGE_RUSSIAN", 0x0419},
    {"sk", "ZRVPN_LANGUAGE_SLOVAKIAN", 0x041B},
    {"es", "ZRVPN_LANGUAGE_SPANISH", 0x0C0A},
    {"zh", "ZRVPN_LANGUAGE_CHINESE", 0x0404},
    {"tr", "ZRVPN_LANGUAGE_TURKISH", 0x041F},
};
static_assert(sizeof(kLanguages) / sizeof(kLanguages[0]) == LANGUAGE_TYPE_LAST, "one row per translation");

const char* const kEnglishCode = "en";
const int kModeRows = 3;

AppContext* appContext() {
    return SystemContext::Instance()->GetAppContext();
}

const char* onOff(bool on) {
    return on ? kOn : kOff;
}

// A popup of a selector: frameless, without the system's shadow, and see-through around
// the list's rounded corners.
void styleSelectorPopup(QComboBox* selector) {
    selector->setView(new QListView());
    // Rows drawn by the style sheet's item rules, not as menu entries with a check mark.
    selector->setItemDelegate(new QStyledItemDelegate(selector));
    QWidget* popup = selector->view()->window();
    popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    popup->setAttribute(Qt::WA_TranslucentBackground);
}

} // namespace

SettingWidget::SettingWidget(QWidget* parent) : QWidget(parent, Qt::WindowFlags()) {
    ui.setupUi(this);
    initLanguageComboBox();
    initColorModeComboBox();

    connect(ui.languageComboBox, SIGNAL(currentIndexChanged(int)), this, SLOT(slotReloadTranslation(int)));
    connect(ui.colorModeComboBox, SIGNAL(activated(int)), this, SLOT(slotLoadColorMode(int)));
    connect(ui.btnLogs, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnNAT, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnReconnection, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnAutoStart, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    SettingManager* manager = SystemContext::GetSettingManager();
    connect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(slotLoadSystemMode()),
            Qt::UniqueConnection);
    connect(manager, SIGNAL(signalSystemLanguageChanged()), this, SLOT(slotLoadSystemLanguage()));
    connect(manager, SIGNAL(signalRestoreSystemInfo(SETTINGINFO)), this,
            SLOT(slotRestoreSystemInfo(SETTINGINFO)));

    fitTexts();
    setDropShadow();
}

SettingWidget::~SettingWidget() = default;

QString SettingWidget::languageCode(int row) {
    if (row < LANGUAGE_TYPE_FIRST || row > LANGUAGE_TYPE_LAST) {
        return QString();
    }
    return QString::fromLatin1(kLanguages[row - LANGUAGE_TYPE_FIRST].code);
}

QString SettingWidget::languageCodeForId(uint16_t languageId) {
    for (const Language& language : kLanguages) {
        if (language.languageId == languageId) {
            return QString::fromLatin1(language.code);
        }
    }
    return QString::fromLatin1(kEnglishCode);
}

// Selectors

void SettingWidget::initLanguageComboBox() {
    styleSelectorPopup(ui.languageComboBox);
    // The Chinese, Japanese and Korean names are laid out when the list is first shown, not
    // at start, where they would load a large fallback font: the selector's width comes from
    // the form, so its size hint need not measure every row, and the rows are all as high as
    // the first (the style sheet gives them one height).
    ui.languageComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    static_cast<QListView*>(ui.languageComboBox->view())->setUniformItemSizes(true);
    ui.languageComboBox->addItem(ZRStringConstant::tr(kFollowSystemKey));
    for (const Language& language : kLanguages) {
        ui.languageComboBox->addItem(language.key != nullptr ? ZRStringConstant::tr(language.key)
                                                             : QString::fromLatin1(kEnglishRow));
    }
    ui.languageComboBox->setCurrentIndex(0);
    ui.languageComboBox->installEventFilter(this);
}

void SettingWidget::initColorModeComboBox() {
    styleSelectorPopup(ui.colorModeComboBox);
    ui.colorModeComboBox->addItem(ZRStringConstant::tr(kFollowSystemKey));
    ui.colorModeComboBox->addItem(ZRStringConstant::tr(kNormalModeKey));
    ui.colorModeComboBox->addItem(ZRStringConstant::tr(kDarkModeKey));
    ui.colorModeComboBox->setIconSize(QSize(kModeIconSize, kModeIconSize));
    for (int row = 0; row < kModeRows; ++row) {
        ui.colorModeComboBox->setItemIcon(row, QIcon(QString::fromLatin1(kModeIconsDark[row])));
    }
    ui.colorModeComboBox->setCurrentIndex(0);
    ui.colorModeComboBox->installEventFilter(this);
}

void SettingWidget::setModeIcons() {
    const char* const* icons = colorMode == COLOR_MODE_DARK ? kModeIconsDark : kModeIconsNormal;
    for (int row = 0; row < kModeRows; ++row) {
        ui.colorModeComboBox->setItemIcon(row, QIcon(QString::fromLatin1(icons[row])));
    }
}

bool SettingWidget::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui.languageComboBox || watched == ui.colorModeComboBox) &&
        event->type() == QEvent::Wheel) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The settings row

int SettingWidget::saveSettingInfo() {
    AppContext* app = appContext();
    SETTINGINFO info;
    app->GetSettingInfo(&info);
    info.AutoStart = ui.btnAutoStart->isChecked() ? 1 : 0;
    info.Reconnetion = ui.btnReconnection->isChecked() ? 1 : 0;
    info.NATTraversal = ui.btnNAT->isChecked() ? 1 : 0;
    info.LanguageType = ui.languageComboBox->currentIndex();
    info.ColorMode = ui.colorModeComboBox->currentIndex();
    info.ID = 1;
    return app->GetSqlite()->UpdateSettingInfo(&info);
}

void SettingWidget::slotRestoreSystemInfo(SETTINGINFO info) {
    ui.btnAutoStart->setChecked(info.AutoStart == 1);
    ui.btnReconnection->setChecked(info.Reconnetion == 1);
    ui.btnNAT->setChecked(info.NATTraversal == 1);
    // A stored value outside its range (a damaged or foreign row) follows the system.
    const bool knownLanguage =
        info.LanguageType >= LANGUAGE_TYPE_SYSTEM && info.LanguageType <= LANGUAGE_TYPE_LAST;
    const bool knownMode = info.ColorMode >= COLOR_MODE_SYSTEM && info.ColorMode <= COLOR_MODE_DARK;
    slotReloadTranslation(knownLanguage ? info.LanguageType : LANGUAGE_TYPE_SYSTEM);
    slotLoadColorMode(knownMode ? info.ColorMode : COLOR_MODE_SYSTEM);
}

void SettingWidget::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnLogs) {
        SettingLogDialog dialog(this);
        dialog.loadLogFile(appContext()->GetLogPath());
        dialog.exec();
    } else if (button == ui.btnAutoStart) {
        const bool on = ui.btnAutoStart->isChecked();
        const QByteArray name = QCoreApplication::applicationName().toLocal8Bit();
        const QByteArray program =
            QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toLocal8Bit();
        const bool failed = SetAutoStart(name.constData(), program.constData(), on) != 0;
        if (failed) {
            // The entry is as it was: the switch and the stored row say so too.
            ZRWLog(6, 3, "%s", kAutoStartFailedLine);
            ui.btnAutoStart->setChecked(!on);
        }
        saveSettingInfo();
        ZRWLog(6, 3, kAutoStartLine, onOff(ui.btnAutoStart->isChecked()));
        if (failed) {
            ZRErrorDialog dialog(this);
            dialog.setContent(ZRStringConstant::tr("ZRVPN_SETTING_AUTOSTART_FAILED"));
            dialog.exec();
        }
    } else if (button == ui.btnReconnection) {
        saveSettingInfo();
        ZRWLog(6, 3, kReconnectionLine, onOff(ui.btnReconnection->isChecked()));
    } else if (button == ui.btnNAT) {
        saveSettingInfo();
        ZRWLog(6, 3, kNATTraversalLine, onOff(ui.btnNAT->isChecked()));
    }
}

// Language

bool SettingWidget::installTranslation(const QString& code) {
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

void SettingWidget::slotReloadTranslation(int row) {
    {
        // The slot itself follows the selector's row: making it current runs nothing again.
        const QSignalBlocker blocker(ui.languageComboBox);
        ui.languageComboBox->setCurrentIndex(row >= 0 && row < kLanguageRows ? row : -1);
    }
    if (row >= LANGUAGE_TYPE_FIRST && row <= LANGUAGE_TYPE_LAST) {
        installTranslation(languageCode(row));
    } else if (row == LANGUAGE_TYPE_SYSTEM) {
        slotLoadSystemLanguage();
    }
    saveSettingInfo();
}

void SettingWidget::slotLoadSystemLanguage() {
    installTranslation(languageCodeForId(GetUserDefaultUILanguage()));
}

// Colour mode

void SettingWidget::slotLoadColorMode(int mode) {
    SettingManager* manager = SystemContext::GetSettingManager();
    switch (mode) {
    case COLOR_MODE_SYSTEM:
        // Choosing it again adds no second connection: one theme change applies once.
        connect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(slotLoadSystemMode()),
                Qt::UniqueConnection);
        ui.colorModeComboBox->setCurrentIndex(0);
        slotLoadSystemMode();
        ZRWLog(6, 3, "%s", kThemeSystemLine);
        break;
    case COLOR_MODE_NORMAL:
        disconnect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(slotLoadSystemMode()));
        ui.colorModeComboBox->setCurrentIndex(1);
        slotLoadNormalMode();
        ZRWLog(6, 3, "%s", kThemeNormalLine);
        break;
    case COLOR_MODE_DARK:
        disconnect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(slotLoadSystemMode()));
        ui.colorModeComboBox->setCurrentIndex(2);
        slotLoadDarkMode();
        ZRWLog(6, 3, "%s", kThemeDarkLine);
        break;
    default:
        break;
    }
    saveSettingInfo();
}

const char* SettingWidget::styleSheetForStoredMode(int storedMode) {
    if (storedMode == COLOR_MODE_DARK) {
        return KORVA_STYLESHEET_DARK;
    }
    if (storedMode == COLOR_MODE_NORMAL) {
        return KORVA_STYLESHEET_NORMAL;
    }
    return ReadAppsUseLightTheme() == 0 ? KORVA_STYLESHEET_DARK : KORVA_STYLESHEET_NORMAL;
}

void SettingWidget::applyStyleSheet(int mode, const char* resource) {
    // The mode comes first: the style sheet sends every widget a style change, and the
    // widgets that draw by colour mode read it there.
    SystemContext::GetSettingManager()->setColorMode(mode);
    auto* app = qobject_cast<QApplication*>(SystemContext::Instance()->GetApplication());
    if (app == nullptr) {
        app = qApp;
    }
    // The start sets the stored mode's sheet before the window exists: applied here again
    // at the restore, it is not set a second time.
    SetApplicationStyleSheet(app, ReadStyleSheet(resource));
}

void SettingWidget::slotLoadNormalMode() {
    applyStyleSheet(COLOR_MODE_NORMAL, KORVA_STYLESHEET_NORMAL);
}

void SettingWidget::slotLoadDarkMode() {
    applyStyleSheet(COLOR_MODE_DARK, KORVA_STYLESHEET_DARK);
}

void SettingWidget::slotLoadSystemMode() {
    if (ReadAppsUseLightTheme() == 0) {
        slotLoadDarkMode();
    } else {
        slotLoadNormalMode();
    }
}

// Look

void SettingWidget::setDropShadow() {
    // Painted beneath each panel by the page (not a graphics effect, which on X left its
    // blurred edge painted twice where a control inside the panel changed).
    const QColor color(QString::fromLatin1(colorMode == COLOR_MODE_DARK ? kShadowDark : kShadowLight));
    for (QWidget* panel : {ui.connectionSettingWidget, ui.systemSettingWidget}) {
        PaintedShadow* shadow = PaintedShadow::of(panel);
        if (shadow == nullptr) {
            shadow = new PaintedShadow(panel, kPanelCornerRadius);
            shadow->setOffset(QPointF(0, 2));
            shadow->setBlurRadius(kShadowBlurRadius);
        }
        shadow->setColor(color);
    }
}

void SettingWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) {
        const int mode = SystemContext::GetSettingManager()->colorMode();
        if (mode != colorMode) {
            colorMode = mode;
            setModeIcons();
            setDropShadow();
        }
    } else if (event->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
        relayoutTexts();
    }
    QWidget::changeEvent(event);
}

void SettingWidget::relayoutTexts() {
    ui.colorModeComboBox->setItemText(0, ZRStringConstant::tr(kFollowSystemKey));
    ui.colorModeComboBox->setItemText(1, ZRStringConstant::tr(kNormalModeKey));
    ui.colorModeComboBox->setItemText(2, ZRStringConstant::tr(kDarkModeKey));
    ui.languageComboBox->setItemText(0, ZRStringConstant::tr(kFollowSystemKey));

    const QFont font(QString::fromLatin1(kMeasureFontFamily), kLogsFontPointSize, QFont::Normal, false);
    const int width = QFontMetrics(font).boundingRect(QRect(), Qt::AlignRight, ui.btnLogs->text()).width();
    ui.btnLogs->setFixedWidth(width + kLogsExtraWidth);

    for (QLabel* label : {ui.labelAutoRun, ui.labelReconnection, ui.labelNATTraversal}) {
        label->setToolTip(label->text());
    }
    fitTexts();
}

void SettingWidget::fitTexts() {
    // The logs button's width (the form's, or the measure of its text) is not taken in the
    // button's own font: it is widened where the text and the picture beside it need more.
    TextFit::fixWidth(ui.btnLogs, ui.btnLogs->maximumWidth(), TextFit::buttonWidth(ui.btnLogs));
    // The captions of both panels keep one column width, so that the switches and the
    // selectors stand under each other: the form's width, or what the widest caption needs
    // on one line in the language in force.
    QLabel* const captions[] = {ui.labelAutoRun, ui.labelReconnection, ui.labelNATTraversal, ui.label_5,
                                ui.label_66};
    int needed = 0;
    for (QLabel* caption : captions) {
        needed = std::max(needed, TextFit::labelWidth(caption));
    }
    for (QLabel* caption : captions) {
        TextFit::fixWidth(caption, kCaptionWidth, needed);
    }
    // The two selectors keep one width too: the form's, or what the widest row of either
    // needs.
    const int selectors =
        std::max(TextFit::comboWidth(ui.languageComboBox), TextFit::comboWidth(ui.colorModeComboBox));
    for (QComboBox* selector : {ui.languageComboBox, ui.colorModeComboBox}) {
        selector->setMinimumWidth(std::max(kSelectorWidth, selectors));
        selector->setMaximumWidth(std::max(kSelectorMaximumWidth, selectors));
    }
}
