// The client's dialogs and pop-ups in every language and both colour modes, each opened as
// the client opens it: the error prompt with each of its messages, the credentials prompt
// after refused credentials, the profile chooser, the delete confirmation, the log viewer,
// the tray pop-up in each connection status and the chart's hover pop-up. Every text is
// shown whole.
#include <QApplication>
#include <gtest/gtest.h>

#include <functional>

#include "AccountLoginDialog.h"
#include "ActiveProfileDialog.h"
#include "AppConstants.h"
#include "DeleteProfileDialog.h"
#include "GuiTest.h"
#include "SettingLogDialog.h"
#include "TextsTest.h"
#include "VPNBarChartDetail.h"
#include "VPNMenuDialog.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"

using namespace textstest;

namespace {

class TextsDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { storeProfiles(); }
    void TearDown() override {
        guitest::useLanguage(QStringLiteral("en"));
        guitest::applyColorMode(1);
    }

    // Opens the dialog that `open` builds in every language and mode and checks it.
    static void everyLanguageAndMode(const char* what,
                                     const std::function<void(const QString& where)>& check) {
        for (const Mode& mode : kModes) {
            guitest::applyColorMode(mode.value);
            for (const char* code : kLanguages) {
                ASSERT_TRUE(guitest::useLanguage(QLatin1String(code)));
                check(QStringLiteral("%1 %2 %3")
                          .arg(QLatin1String(code), QLatin1String(mode.name), QLatin1String(what)));
            }
        }
    }

    static void open(QWidget* dialog, const QString& where) {
        ASSERT_TRUE(guitest::showAndExpose(dialog)) << where.toStdString();
        expectWhole(dialog, where);
        dialog->hide();
    }
};

TEST_F(TextsDialogs, TheErrorPromptWithEachMessage) {
    everyLanguageAndMode("error prompt", [](const QString& where) {
        {
            ZRErrorDialog prompt;
            prompt.setButtonsVisible(true);
            open(&prompt, where + QStringLiteral(" no adapter"));
        }
        const QString messages[] = {
            ZRStringConstant::tr(AppConstants::kTapCreationFailedKey),
            ZRStringConstant::tr("ZRVPN_IMPORT_FAILED"),
            ZRStringConstant::tr("ZRVPN_IMPORT_NOT_PROFILE_FILE"),
            ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_NAME").arg(QStringLiteral("../Office")),
            ZRStringConstant::tr("ZRVPN_IMPORT_INVALID_PROFILE").arg(QStringLiteral("Office")),
            ZRStringConstant::tr("ZRVPN_SETTING_AUTOSTART_FAILED"),
        };
        for (const QString& message : messages) {
            ZRErrorDialog prompt;
            prompt.setContent(message);
            open(&prompt, where + QStringLiteral(" \"") + message + QLatin1Char('"'));
        }
    });
}

TEST_F(TextsDialogs, TheHomePagesPopUps) {
    everyLanguageAndMode("home pop-ups", [](const QString& where) {
        {
            AccountLoginDialog prompt(1, 3);
            prompt.setWarningVisible(true);
            prompt.setUserName(QStringLiteral("alice"));
            prompt.setRememberChecked(true);
            open(&prompt, where + QStringLiteral(" credentials"));
        }
        {
            ActiveProfileDialog chooser;
            chooser.setCurrentProfileName(QStringLiteral("Home"));
            open(&chooser, where + QStringLiteral(" chooser"));
        }
        {
            VPNBarChartDetail detail;
            detail.setData(QStringLiteral("2:00pm"), 64, 1536);
            open(&detail, where + QStringLiteral(" chart detail"));
        }
        const QVector<double> day(24, 1.0);
        for (int status = 0; status <= 3; ++status) {
            VPNMenuDialog popup;
            ASSERT_TRUE(guitest::showAndExpose(&popup));
            popup.slotUpdateConnectInfo(status, QStringLiteral("Home"), QStringLiteral("1h 2m 5s"),
                                        QStringLiteral("12.35"), QStringLiteral("1.50"), day, day);
            expectWhole(&popup, where + QStringLiteral(" tray pop-up, status %1").arg(status));
            popup.hide();
        }
    });
}

TEST_F(TextsDialogs, TheProfilesAndSettingsPagesDialogs) {
    everyLanguageAndMode("pages' dialogs", [](const QString& where) {
        {
            DeleteProfileDialog confirm(0, QStringLiteral("Office"));
            open(&confirm, where + QStringLiteral(" delete"));
        }
        {
            SettingLogDialog viewer;
            open(&viewer, where + QStringLiteral(" log viewer"));
        }
    });
}

} // namespace
