#include "SettingWidget.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QListView>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "AppContext.h"
#include "ApplicationStyleSheet.h"
#include "KorvaResourcePaths.h"
#include "PaintedShadow.h"
#include "PixelFont.h"
#include "ProfilePageConstants.h"
#include "SettingChoices.h"
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
// Lays the list's rows out again each time the list opens. The list's window has a style
// sheet of its own (so that the band above the list takes the colour mode's rules); rows laid
// out before the window was first shown were measured without the item rules.
class RowsLaidOutOnShow : public QObject {
public:
    explicit RowsLaidOutOnShow(QListView* view) : QObject(view), view(view) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            // Turning uniform sizes off and on again drops the row size measured earlier.
            const bool uniform = view->uniformItemSizes();
            view->setUniformItemSizes(!uniform);
            view->setUniformItemSizes(uniform);
            view->doItemsLayout();
            growToShowEveryRow(static_cast<QWidget*>(watched));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // The list's window was sized from the rows as first measured: it grows, within the
    // screen, by what the rows now need beyond the list's height.
    void growToShowEveryRow(QWidget* popup) const {
        int rows = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            rows += view->sizeHintForRow(row);
        }
        const int missing = rows - view->viewport()->height();
        if (missing <= 0) {
            return;
        }
        // Down as far as the screen allows, then up for the rest, as the list opens.
        const QRect available = popup->screen()->availableGeometry();
        QRect geometry = popup->geometry();
        const int down = std::max(0, std::min(missing, available.bottom() - geometry.bottom()));
        const int up = std::max(0, std::min(missing - down, geometry.top() - available.top()));
        geometry.adjust(0, -up, 0, down);
        popup->setGeometry(geometry);
    }

    QListView* view;
};

void styleSelectorPopup(QComboBox* selector) {
    auto* view = new QListView();
    selector->setView(view);
    // Rows drawn by the style sheet's item rules, not as menu entries with a check mark.
    selector->setItemDelegate(new QStyledItemDelegate(selector));
    QWidget* popup = selector->view()->window();
    popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    popup->setAttribute(Qt::WA_TranslucentBackground);
    StyleDropDownList(selector);
    popup->installEventFilter(new RowsLaidOutOnShow(view));
}

} // namespace

SettingWidget::SettingWidget(QWidget* parent, SettingChoices* shown)
    : QWidget(parent, Qt::WindowFlags()), choices(shown != nullptr ? shown : new SettingChoices(this)) {
    ui.setupUi(this);
    initLanguageComboBox();
    initColorModeComboBox();
    // The choices in force (the stored row, once restored) before the selectors report
    // changes of their own.
    showSwitches();
    showLanguageRow(choices->languageRow());
    showColorModeRow(choices->colorModeRow());

    connect(ui.languageComboBox, SIGNAL(currentIndexChanged(int)), this, SLOT(slotReloadTranslation(int)));
    connect(ui.colorModeComboBox, SIGNAL(activated(int)), this, SLOT(slotLoadColorMode(int)));
    connect(ui.btnLogs, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnNAT, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnReconnection, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(ui.btnAutoStart, SIGNAL(clicked()), this, SLOT(slotButtonClicked()));
    connect(choices, &SettingChoices::switchesChanged, this, &SettingWidget::showSwitches);
    connect(choices, &SettingChoices::languageRowChanged, this, &SettingWidget::showLanguageRow);
    connect(choices, &SettingChoices::colorModeRowChanged, this, &SettingWidget::showColorModeRow);

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

void SettingWidget::takeSwitches() {
    choices->setSwitches(ui.btnAutoStart->isChecked(), ui.btnReconnection->isChecked(),
                         ui.btnNAT->isChecked());
}

int SettingWidget::saveSettingInfo() {
    takeSwitches();
    return choices->save();
}

void SettingWidget::slotRestoreSystemInfo(SETTINGINFO info) {
    choices->restore(info);
}

void SettingWidget::showSwitches() {
    ui.btnAutoStart->setChecked(choices->autoStart());
    ui.btnReconnection->setChecked(choices->reconnection());
    ui.btnNAT->setChecked(choices->natTraversal());
}

void SettingWidget::showLanguageRow(int row) {
    // The selector follows the choice: making the row current runs nothing again.
    const QSignalBlocker blocker(ui.languageComboBox);
    ui.languageComboBox->setCurrentIndex(row);
}

void SettingWidget::showColorModeRow(int row) {
    ui.colorModeComboBox->setCurrentIndex(row);
}

void SettingWidget::slotButtonClicked() {
    QObject* button = sender();
    if (button == ui.btnLogs) {
        SettingLogDialog dialog(this);
        dialog.loadLogFile(appContext()->GetLogPath());
        dialog.exec();
    } else if (button == ui.btnAutoStart) {
        const bool on = ui.btnAutoStart->isChecked();
        // The entry is named after the program file, as it always was: the application's
        // name is the one the desktop shows, which the client sets for its windows.
        const QByteArray name =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toLocal8Bit();
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

// Language and colour mode

bool SettingWidget::installTranslation(const QString& code) {
    return SettingChoices::installTranslation(code);
}

void SettingWidget::slotReloadTranslation(int row) {
    takeSwitches();
    choices->chooseLanguage(row);
}

void SettingWidget::slotLoadColorMode(int mode) {
    takeSwitches();
    choices->chooseColorMode(mode);
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

    // Measured in the pixels the style sheets give, so that the width keeps to the text at any dpi.
    const QFont font = pixelFont(QString::fromLatin1(kMeasureFontFamily), kLogsFontPointSize);
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
