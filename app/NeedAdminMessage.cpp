#include "NeedAdminMessage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "AppConstants.h"
#include "KorvaResources.h"
#include "SystemSettings.h"
#include "ZRStringConstant.h"

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// The translation of the system's language, installed while the message shows.
bool LoadSystemTranslation(QTranslator& translator) {
    const QString code = QString::fromStdString(TranslationCodeForLanguage(GetUserDefaultUILanguage()));
    return translator.load(QStringLiteral(KORVA_TRANSLATION_PREFIX) + code,
                           QStringLiteral(KORVA_TRANSLATION_DIR));
}

} // namespace

void ShowNeedAdminMessage(int argc, char** argv, const std::string& reason) {
    std::fprintf(stderr, "%s\n(%s)\n", AppConstants::kNeedAdminText, reason.c_str());
    if (!HasDisplay()) {
        return;
    }
    int count = argc;
    QApplication app(count, argv);
    korvaInitResources();
    QTranslator translator;
    if (LoadSystemTranslation(translator)) {
        QApplication::installTranslator(&translator);
    }
    QMessageBox::critical(nullptr, ZRStringConstant::tr(AppConstants::kAppNameKey),
                          ZRStringConstant::tr(AppConstants::kNeedAdminKey));
}

void ShowInstanceLockMessage(const std::string& reason) {
    std::fprintf(stderr, "%s\n(%s)\n", AppConstants::kInstanceLockFailedText, reason.c_str());
    if (!HasDisplay() || QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return;
    }
    QTranslator translator;
    if (LoadSystemTranslation(translator)) {
        QApplication::installTranslator(&translator);
    }
    QMessageBox::critical(nullptr, ZRStringConstant::tr(AppConstants::kAppNameKey),
                          ZRStringConstant::tr(AppConstants::kInstanceLockFailedKey) +
                              QStringLiteral("\n\n(") + QString::fromLocal8Bit(reason.c_str()) +
                              QLatin1Char(')'));
    QApplication::removeTranslator(&translator);
}

std::string TranslationCodeForLanguage(unsigned languageId) {
    struct Entry {
        unsigned primary;
        const char* code;
    };
    // Primary language ids (the low ten bits of a Windows language id).
    static const Entry kCodes[] = {{0x05, "cs"}, {0x13, "nl"}, {0x0C, "fr"}, {0x07, "de"}, {0x0E, "hu"},
                                   {0x10, "it"}, {0x11, "ja"}, {0x12, "ko"}, {0x15, "pl"}, {0x16, "pt"},
                                   {0x19, "ru"}, {0x1B, "sk"}, {0x0A, "es"}, {0x04, "zh"}, {0x1F, "tr"}};
    const unsigned primary = languageId & 0x3FFu;
    for (const Entry& entry : kCodes) {
        if (entry.primary == primary) {
            return entry.code;
        }
    }
    return "en";
}
