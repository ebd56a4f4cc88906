// The Settings page: three switches (start with the system, automatic reconnection, NAT
// traversal), the language and colour-mode selectors, and the button that opens the log
// viewer. Every change is stored in settings row 1 at once. The page shows and changes the
// program's SettingChoices, which apply the row once at start and follow the system's
// interface language and app theme: the language always, the theme while the stored
// colour mode is "follow the system".
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "ProfileRecords.h"
#include "ui_SettingWidget.h"

class SettingChoices;

class SettingWidget : public QWidget {
    Q_OBJECT
public:
    // Shows the given choices (the main window's), or choices of its own when none are
    // given.
    explicit SettingWidget(QWidget* parent = nullptr, SettingChoices* choices = nullptr);
    ~SettingWidget() override;

    // Keeps the mouse wheel from changing either selector's row.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Writes the switches and selectors into settings row 1 (its other fields as stored):
    // 0, or -1 when the store fails.
    int saveSettingInfo();

    // The language rows: the translation code of a row (1 "en" to 16 "tr"), empty for
    // row 0 and rows outside the table; the code whose Windows language id equals the
    // given one exactly, else "en".
    static QString languageCode(int row);
    static QString languageCodeForId(uint16_t languageId);
    static constexpr int kLanguageRows = LANGUAGE_TYPE_LAST + 1;

    // The style sheet resource that a stored colour mode applies: the dark sheet for 2, the
    // normal one for 1, and for 0 (or a value outside the table) the one that the system's
    // theme asks for.
    static const char* styleSheetForStoredMode(int storedMode);

protected slots:
    void slotReloadTranslation(int row);
    void slotButtonClicked();
    void slotLoadColorMode(int mode);
    void slotRestoreSystemInfo(SETTINGINFO info);
    // The choices taken elsewhere (the restore) shown on the switches and selectors.
    void showSwitches();
    void showLanguageRow(int row);
    void showColorModeRow(int row);

protected:
    void changeEvent(QEvent* event) override;

    void initLanguageComboBox();
    void initColorModeComboBox();
    void relayoutTexts();
    // Gives the captions and the selectors the width their texts need (the form's as the least).
    void fitTexts();
    void setDropShadow();
    void setModeIcons();
    // The switches as the page shows them, taken into the choices that the store writes.
    void takeSwitches();
    // SettingChoices::installTranslation.
    static bool installTranslation(const QString& code);

    Ui::SettingWidget ui;
    SettingChoices* choices;
    // The colour mode last drawn: -1, then the SettingManager's mode at a style change.
    int colorMode = -1;
};
