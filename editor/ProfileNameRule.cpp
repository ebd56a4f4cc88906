#include "ProfileNameRule.h"

#include <QChar>
#include <QRegExp>
#include <QString>
#include <QVector>

#include "EditorTexts.h"
#include "FieldRules.h"
#include "WireGuardContext.h"
#include "zrwlog.h"

using namespace EditorTexts;

namespace ProfileNameRule {

namespace {

constexpr int kWireGuard = 4;
constexpr uint kPlainSpace = 0x20;
// The combining class of the marks drawn over the character before them (a stroke, a
// slash, a ring through it).
constexpr int kOverlayCombiningClass = 1;

// Letters and marks that show as nothing: the combining grapheme joiner, the Hangul
// fillers, the Khmer inherent vowels, the Mongolian variation selectors, the variation
// selectors and the Braille blank.
bool isBlankLetterOrMark(uint c) {
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180F) || c == 0x2800 || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFFA0 || (c >= 0xE0100 && c <= 0xE01EF);
}

bool isMark(QChar::Category category) {
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

} // namespace

bool showsAsSomethingElse(const char* name) {
    const QVector<uint> characters = QString::fromUtf8(name).toUcs4();
    for (int i = 0; i < characters.size(); ++i) {
        const uint c = characters[i];
        const QChar::Category category = QChar::category(c);
        switch (category) {
        // Controls; format characters, among them the bidirectional controls (U+202A to
        // U+202E, U+2066 to U+2069, U+200E, U+200F, U+061C) and the zero-width ones; the
        // line and paragraph separators; characters without a meaning yet; marks drawn
        // around their neighbour.
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Mark_Enclosing:
            return true;
        case QChar::Separator_Space:
            if (c != kPlainSpace) {
                return true;
            }
            break;
        default:
            break;
        }
        if ((i == 0 && isMark(category)) || QChar::combiningClass(c) == kOverlayCombiningClass ||
            isBlankLetterOrMark(c)) {
            return true;
        }
    }
    return false;
}

bool accepts(const char* name, int kind) {
    if (kind == kWireGuard) {
        // A WireGuard name is tested as the Part's WireGuard save does: empty, the word
        // rule, then the profile-name rule.
        if (name == nullptr || name[0] == '\0' ||
            !FieldRules::rule(kWordPattern).exactMatch(QString::fromUtf8(name))) {
            return false;
        }
    }
    if (FieldRules::checkProfileName(name, kind) != 0) {
        return false;
    }
    // The name names the profile's files and reaches the tunnels' command lines.
    if (!IsValidTunnelName(name)) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameNotFileNameLine);
        return false;
    }
    if (showsAsSomethingElse(name)) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameShowsOtherwiseLine);
        return false;
    }
    return true;
}

} // namespace ProfileNameRule
