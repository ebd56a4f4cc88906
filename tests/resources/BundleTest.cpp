// Every icon, image, style sheet, font and translation that the client names is in
// the resource bundle and loads.
#include "BareApp.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"

#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QSvgRenderer>
#include <gtest/gtest.h>

namespace {

class BundleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        guitest::bareApp();
        korvaInitResources();
    }
};

// Images named by the windows, pages, painters and style sheets, under ":/Korva VPN/resources/".
const char* const kSvgImages[] = {
    "Left.svg",
    "LeftNormalLight.svg",
    "Right.svg",
    "RightNormalLight.svg",
    "sortUpNormal.svg",
    "sortUpHover.svg",
    "sortDownNormal.svg",
    "sortDownHover.svg",
    "addBlue.svg",
    "cancel.svg",
    "changeHover.svg",
    "changeLight.svg",
    "connect.svg",
    "disconnect.svg",
    "download.svg",
    "upload.svg",
    "eyeClose.svg",
    "eyeCloseLight.svg",
    "eyeOpen.svg",
    "eyeOpenLight.svg",
    "file.svg",
    "lockLight.svg",
    "userLight.svg",
    "pc.svg",
    "selectNormal.svg",
    "selectedLight.svg",
    "unselectedLight.svg",
    "warning.svg",
    "logo.svg",
    "SystemLight.svg",
    "system.svg",
    "darkMode.svg",
    "darkModeLight.svg",
    "lightMode.svg",
    "normalModeLight.svg",
    "checkHover.svg",
    "checkLight.svg",
    "checkNormal.svg",
    "uncheckDark.svg",
    "uncheckHover.svg",
    "uncheckLight.svg",
    "close.svg",
    "closeLight.svg",
    "closeNormal.svg",
    "closePress.svg",
    "minNormal.svg",
    "minPress.svg",
    "downArrow.svg",
    "downArrowLight.svg",
    "exportGreyDark.svg",
    "exportGreyLight.svg",
    "home.svg",
    "homeHover.svg",
    "homeHoverLight.svg",
    "homeLight.svg",
    "profiles.svg",
    "profilesHover.svg",
    "profilesHoverLight.svg",
    "profilesLight.svg",
    "settings.svg",
    "settingsHover.svg",
    "settingsHoverLight.svg",
    "settingsLight.svg",
    "log.svg",
    "logHover.svg",
};

struct Png {
    const char* name;
    int width;
    int height;
};

const Png kPngImages[] = {
    {"deleteNormal.png", 24, 24},
    {"editNormal.png", 24, 24},
    {"lockDark.png", 24, 24},
    {"userDark.png", 24, 24},
    {"NoData.png", 80, 80},
    {"NoDataDark.png", 80, 80},
    {"SwitchOn.png", 40, 24},
    {"SwitchOff.png", 40, 24},
    {"SwitchOffDark.png", 40, 24},
    {"switchOnHover.png", 40, 24},
    {"switchOffLightHover.png", 40, 24},
    {"switchOffHover.png", 40, 24},
    {"sortUp.png", 8, 8},
    {"sortUpDark.png", 8, 8},
    {"sortDown.png", 8, 8},
    {"sortDownDark.png", 8, 8},
    {"sortUpHover.png", 8, 8},
    {"sortUpHoverDark.png", 8, 8},
    {"sortDownHover.png", 8, 8},
    {"sortDownHoverDark.png", 8, 8},
};

TEST_F(BundleTest, EverySvgImageIsThereAndRenders) {
    for (const char* name : kSvgImages) {
        const QString path = QStringLiteral(KORVA_IMAGE_DIR) + QString::fromLatin1(name);
        ASSERT_TRUE(QFile::exists(path)) << name;
        QSvgRenderer renderer(path);
        EXPECT_TRUE(renderer.isValid()) << name;
        EXPECT_FALSE(renderer.defaultSize().isEmpty()) << name;
    }
}

TEST_F(BundleTest, EveryPngImageIsThereAtItsSize) {
    for (const Png& png : kPngImages) {
        const QString path = QStringLiteral(KORVA_IMAGE_DIR) + QString::fromLatin1(png.name);
        QImage image(path);
        ASSERT_FALSE(image.isNull()) << png.name;
        EXPECT_EQ(image.width(), png.width) << png.name;
        EXPECT_EQ(image.height(), png.height) << png.name;
        EXPECT_TRUE(image.hasAlphaChannel()) << png.name;
    }
}

TEST_F(BundleTest, TrayIconPathWithoutLeadingSlashResolves) {
    // The tray icon is loaded as ":Korva VPN/resources/logo.svg".
    EXPECT_TRUE(QFile::exists(QStringLiteral(":Korva VPN/resources/logo.svg")));
}

TEST_F(BundleTest, StyleSheetsAndTranslationsAreThere) {
    EXPECT_TRUE(QFile::exists(QStringLiteral(KORVA_STYLESHEET_NORMAL)));
    EXPECT_TRUE(QFile::exists(QStringLiteral(KORVA_STYLESHEET_DARK)));
    const char* const codes[] = {"en", "cs", "nl", "fr", "de", "hu", "it", "ja",
                                 "ko", "pl", "pt", "ru", "sk", "es", "zh", "tr"};
    for (const char* code : codes) {
        const QString path = QStringLiteral(KORVA_TRANSLATION_DIR "/" KORVA_TRANSLATION_PREFIX) +
                             QString::fromLatin1(code) + QStringLiteral(KORVA_TRANSLATION_SUFFIX);
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
}

TEST_F(BundleTest, BrandFontHasItsFourFaces) {
    EXPECT_TRUE(QFile::exists(QStringLiteral(KORVA_FONT_DIR "LICENSE.txt")));
    // The face the program registers at start, by this very path.
    const int regular =
        QFontDatabase::addApplicationFont(QStringLiteral(":/Korva VPN/resources/Fonts/HalvexVento_Rg.ttf"));
    ASSERT_GE(regular, 0);
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(regular), QStringList{KORVA_BRAND_FONT_FAMILY});
    QFontDatabase::removeApplicationFont(regular);
    // As the program registers it: where the bundle holds it, without a copy; a face that
    // is not in the bundle is not added.
    const int inPlace = korvaAddResourceFont(QStringLiteral(KORVA_BRAND_FONT_REGULAR));
    ASSERT_GE(inPlace, 0);
    EXPECT_EQ(QFontDatabase::applicationFontFamilies(inPlace), QStringList{KORVA_BRAND_FONT_FAMILY});
    QFontDatabase::removeApplicationFont(inPlace);
    EXPECT_EQ(korvaAddResourceFont(QStringLiteral(KORVA_FONT_DIR "NoSuchFace.ttf")), -1);
    ASSERT_EQ(korvaLoadBrandFonts(), 4);
    QFontDatabase fonts;
    ASSERT_TRUE(fonts.families().contains(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
    const QStringList styles = fonts.styles(QStringLiteral(KORVA_BRAND_FONT_FAMILY));
    for (const char* style : {"Regular", "Bold", "Italic", "Bold Italic"})
        EXPECT_TRUE(styles.contains(QString::fromLatin1(style)))
            << style << " in " << styles.join(",").toStdString();
    EXPECT_TRUE(fonts.bold(QStringLiteral(KORVA_BRAND_FONT_FAMILY), QStringLiteral("Bold")));
    EXPECT_TRUE(fonts.italic(QStringLiteral(KORVA_BRAND_FONT_FAMILY), QStringLiteral("Italic")));
}

} // namespace
