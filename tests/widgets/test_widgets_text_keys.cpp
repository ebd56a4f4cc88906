// Text keys looked up through ZRStringConstant with and without the English file.
#include <QApplication>
#include <QLabel>
#include <QTranslator>
#include <gtest/gtest.h>

#include "BareApp.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "ZRPageNavigator.h"
#include "ZRStringConstant.h"

namespace {

// Without the GUI base, whose application has the English texts installed from the start.
class TextKeys : public ::testing::Test {
protected:
    static void SetUpTestSuite() { guitest::bareApp(); }
};

TEST_F(TextKeys, WithoutATranslatorEveryKeyShowsAsItStands) {
    EXPECT_STREQ(ZRStringConstant::staticMetaObject.className(), "ZRStringConstant");
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECTING"), "ZRVPN_CONNECTING");
    EXPECT_EQ(ZRStringConstant::tr("aes128"), "aes128");
}

TEST_F(TextKeys, TheEnglishFileGivesTheTextsAndThePagerItsLabel) {
    korvaInitResources();
    QTranslator english;
    ASSERT_TRUE(english.load(KORVA_TRANSLATION_PREFIX "en", KORVA_TRANSLATION_DIR));
    QApplication::installTranslator(&english);

    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_CONNECTING"), "Connecting...");
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_APP_NAME"), "Korva VPN");
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_PROFILE_DELETE_TITLE").arg("office"), "Delete office");
    EXPECT_EQ(ZRStringConstant::tr("aes128"), "aes128");
    EXPECT_EQ(ZRStringConstant::tr("ZRVPN_NOT_A_KEY"), "ZRVPN_NOT_A_KEY");

    ZRPageNavigator pager(nullptr, true, false, 1);
    pager.setupPages(20, 7, 1, 3);
    EXPECT_EQ(pager.findChild<QLabel*>()->text(), "Showing 01-07 of 20 records");

    QApplication::removeTranslator(&english);
}

} // namespace
