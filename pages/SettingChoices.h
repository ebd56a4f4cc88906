// The Settings page's choices that hold for the whole program: the three switches as
// stored, the language row with its translation installed, and the colour-mode row with
// its style sheet applied, following the system's theme while that row says so. The
// interface language follows the system's on every change of it, whatever the row.
//
// The main window holds one from its start, so that the stored row is in force before the
// window's first frame whether or not the Settings page has been built; the page shows
// the choices and changes them. A page made on its own makes its own.
#pragma once

#include <QObject>
#include <QString>

#include "ProfileRecords.h"

class SettingChoices : public QObject {
    Q_OBJECT
public:
    // Follows the setting manager's restore, its system theme changes (while the colour
    // mode row is 0, as it is until a restore says otherwise) and its system language
    // changes.
    explicit SettingChoices(QObject* parent = nullptr);
    ~SettingChoices() override;

    bool autoStart() const { return autoStartOn; }
    bool reconnection() const { return reconnectionOn; }
    bool natTraversal() const { return natTraversalOn; }
    // The language selector's row (0 follows the system, 1 to 16 a translation; -1 for a
    // row outside the table) and the colour-mode selector's (0 system, 1 normal, 2 dark).
    int languageRow() const { return language; }
    int colorModeRow() const { return colorMode; }

    void setSwitches(bool autoStart, bool reconnection, bool natTraversal);

    // Writes the switches and both rows into settings row 1 (its other fields as stored):
    // 0, or -1 when the store fails.
    int save();

    // The row's translation installed (the system's for row 0), then the row stored.
    void chooseLanguage(int row);
    // The mode's style sheet applied (the system's theme followed from then on for row 0,
    // no longer for 1 and 2), its log line, then the row stored. A row outside the table
    // is only stored again.
    void chooseColorMode(int mode);

    // Loads the code's translation into a new translator and puts it in place of the one
    // installed; a file that does not load keeps the one installed. True when loaded.
    static bool installTranslation(const QString& code);
    // The text of a style sheet resource, read once for as long as it is the last one asked
    // for.
    static QString readStyleSheet(const char* resource);

public slots:
    // The stored row applied once at start: the switches as stored (on only for 1), then
    // the language and the colour mode, each following the system when its stored value
    // lies outside its range (a damaged or foreign row).
    void restore(SETTINGINFO info);
    void loadSystemLanguage();
    void loadSystemMode();

signals:
    // Each is sent when the choice is taken, before it is applied.
    void switchesChanged();
    void languageRowChanged(int row);
    void colorModeRowChanged(int row);

private:
    void applyStyleSheet(int mode, const char* resource);

    bool autoStartOn = false;
    bool reconnectionOn = false;
    bool natTraversalOn = false;
    int language = 0;
    int colorMode = 0;
};
