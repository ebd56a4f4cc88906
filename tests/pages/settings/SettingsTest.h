// Shared set-up of the Settings page tests: the application context started once on the
// sandbox's data folder, settings row 1 set to known values before every test, and helpers
// that reach the page's widgets as a person does and read back what the page stored and
// logged.
#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

#include "GuiTest.h"
#include "ProfileRecords.h"
#include "SettingWidget.h"

namespace settingstest {

// The page with its protected members reachable.
class Page : public SettingWidget {
public:
    using SettingWidget::installTranslation;
    using SettingWidget::slotReloadTranslation;
    using SettingWidget::slotRestoreSystemInfo;
};

class SettingsTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // A shown page of the main window's page size, the stored row restored on it.
    std::unique_ptr<Page> makePage();

    static SETTINGINFO storedRow();
    static void storeRow(const SETTINGINFO& row);
    // The store's file as it is on disk.
    static QByteArray storeBytes();
    // This run's log lines (without their time stamps) written since the test began.
    QStringList newLogLines() const;

    static QRadioButton* switchButton(SettingWidget& page, const char* name);
    static QComboBox* selector(SettingWidget& page, const char* name);
    // Chooses a row as a person does: the popup opened and the row clicked, which picks
    // it also when it is the current one.
    static void chooseRow(QComboBox* selector, int row);
    // Lets posted events (language changes, queued signals) reach their receivers.
    static void settle();

    // The translation table of the source tree: (context, source, code) to text, with
    // English for the keys from keys.tsv and for texts whose source is English.
    static QString translated(const QString& context, const QString& source, const QString& code);

    // The system's interface language, as the locale file gives it ("de_DE.UTF-8").
    static void setSystemLocale(const char* locale);

    // A row with every field set, SelectedName holding a quote.
    static SETTINGINFO knownRow();

private:
    guitest::LogMark logMark;
};

} // namespace settingstest
