// The window tests' own helpers: a modal dialog is answered instead of blocking the test,
// and the colour modes and languages switch as the client switches them.
#include "GuiTest.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "SystemContext.h"
#include "ZRToastDialog.h"
#include "zrwlog.h"

TEST(GuiSupport, AnswersTheModalDialogOfTheRightClass) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                    QMessageBox::Yes | QMessageBox::No);
    guitest::answerNextModal(
        [](QWidget* modal) { static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); },
        "QMessageBox");
    EXPECT_EQ(box.exec(), QMessageBox::Yes);
}

TEST(GuiSupport, ColourModeAndLanguageSwitch) {
    guitest::applyColorMode(2);
    EXPECT_EQ(SystemContext::GetSettingManager()->colorMode(), 2);
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    guitest::applyColorMode(1);
    EXPECT_EQ(SystemContext::GetSettingManager()->colorMode(), 1);

    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("de")));
    EXPECT_EQ(QApplication::translate("ZRErrorDialog", "Cancel"), QStringLiteral("Abbrechen"));
    ASSERT_TRUE(guitest::useLanguage(QStringLiteral("en")));
    EXPECT_EQ(QApplication::translate("ZRStringConstant", "ZRVPN_CONNECT"), QStringLiteral("Connect"));
    EXPECT_FALSE(guitest::useLanguage(QStringLiteral("xx")));
}

TEST(GuiSupport, BundleProgramIsWrittenExecutable) {
    ASSERT_TRUE(guitest::writeBundleProgram(QStringLiteral("bin/Wireguard/wg"), "#!/bin/sh\necho ok\n"));
    QFileInfo info(QStringLiteral("bin/Wireguard/wg"));
    EXPECT_TRUE(info.isExecutable());
}

TEST(GuiSupport, FindsVisibleWidgetsAndWaitsForConditions) {
    QDialog dialog;
    auto* label = new QLabel(QStringLiteral("x"), &dialog);
    label->setObjectName(QStringLiteral("statusLabel"));
    EXPECT_EQ(guitest::findWidget<QLabel>(QStringLiteral("statusLabel")), nullptr);
    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    EXPECT_EQ(guitest::findWidget<QLabel>(QStringLiteral("statusLabel")), label);
    EXPECT_EQ(guitest::findWidget<QDialog>(), &dialog);

    QTimer::singleShot(20, label, [label] { label->setText(QStringLiteral("done")); });
    EXPECT_TRUE(guitest::waitFor([label] { return label->text() == QLatin1String("done"); }, 5000));
    EXPECT_FALSE(guitest::waitFor([] { return false; }, 50));
}

TEST(GuiSupport, ClosesEveryModalThatAnActionOpens) {
    QString seen;
    const int closed = guitest::closeModalsDuring(
        [] {
            QMessageBox first(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("first"));
            first.exec();
            QMessageBox second(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("second"));
            second.exec();
        },
        "QMessageBox", [&seen](QWidget* modal) { seen += static_cast<QMessageBox*>(modal)->text(); });
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(seen, QStringLiteral("firstsecond"));
    EXPECT_EQ(guitest::closeModalsDuring([] {}), 0);
}

TEST(GuiSupport, LogMarkReadsOnlyWhatWasWrittenAfterIt) {
    ASSERT_TRUE(guitest::startAppContext());
    ASSERT_TRUE(guitest::startAppContext());
    const guitest::LogMark mark;
    EXPECT_TRUE(mark.added().isEmpty());
    ZRWLog(6, 3, "VPN :: a line for the mark \n");
    EXPECT_EQ(mark.added().count(QStringLiteral("VPN :: a line for the mark \n")), 1);
    EXPECT_TRUE(guitest::logText().contains(QStringLiteral("VPN :: a line for the mark \n")));
}

TEST(GuiSupport, ReadsChildTextsAndTheToastWhileItShows) {
    QDialog dialog;
    auto* label = new QLabel(QStringLiteral("a label"), &dialog);
    label->setObjectName(QStringLiteral("labelName"));
    auto* button = new QPushButton(QStringLiteral("a button"), &dialog);
    button->setObjectName(QStringLiteral("btnName"));
    EXPECT_EQ(guitest::child<QPushButton>(&dialog, "btnName"), button);
    EXPECT_EQ(guitest::childText(&dialog, "labelName"), QStringLiteral("a label"));
    EXPECT_EQ(guitest::childText(&dialog, "btnName"), QStringLiteral("a button"));

    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    EXPECT_TRUE(guitest::toastText().isEmpty());
    ZRToastDialog::instance()->showToast(&dialog, QStringLiteral("said"), 100);
    EXPECT_TRUE(guitest::waitFor([] { return guitest::toastText() == QStringLiteral("said"); }, 5000));
    EXPECT_TRUE(guitest::waitFor([] { return guitest::toastText().isEmpty(); }, 5000));
}
