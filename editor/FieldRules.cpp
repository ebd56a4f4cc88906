#include "FieldRules.h"

#include <QLabel>
#include <QLineEdit>
#include <cstring>

#include "EditorTexts.h"
#include "StrUtils.h"
#include "ZRInputIpLineEdit.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

using namespace EditorTexts;

namespace FieldRules {

bool check(const Table& table, Until until) {
    bool passed = true;
    for (const FieldRule& row : table) {
        if (row.passes()) {
            continue;
        }
        passed = false;
        if (row.warningLabel != nullptr && row.warning != nullptr) {
            row.warningLabel->setText(ZRStringConstant::tr(row.warning));
        }
        if (row.field != nullptr) {
            mark(row.field);
        }
        if (until == Until::FirstFailure) {
            break;
        }
    }
    return passed;
}

std::function<bool()> matches(const QRegExp& rule, const QString& text) {
    return [rule, text] { return rule.exactMatch(text); };
}

std::function<bool()> emptyOrMatches(const QRegExp& rule, const QString& text) {
    return [rule, text] { return text.isEmpty() || rule.exactMatch(text); };
}

QRegExp rule(const char* pattern) {
    return QRegExp(QString::fromLatin1(pattern), Qt::CaseSensitive, QRegExp::RegExp);
}

int checkProfileName(const char* name, int kind) {
    const int length = name != nullptr ? static_cast<int>(strlen(name)) : 0;
    if (length == 0) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameEmptyLine);
        return -1;
    }
    const int limit = kind == 4 ? kWireGuardNameMaxBytes : kNameMaxBytes;
    if (length > limit) {
        ZRWLog(kLogModule, kLogLevel, kNameTooLongLine, length);
        return -1;
    }
    int characters = 0;
    if (Utf8CheckAndCount(name, &characters) == 0) {
        return -1;
    }
    int codePoints[kNameMaxBytes];
    const int count = Utf8ToCodePoints(name, codePoints, kNameMaxBytes);
    bool invalid = count <= 0;
    for (int i = 0; i < count; ++i) {
        invalid = invalid || codePoints[i] < 0 || codePoints[i] > kNameMaxCodePoint;
    }
    if (invalid) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameInvalidLine);
        return -1;
    }
    bool allSpaces = true;
    bool ideograph = false;
    for (int i = 0; i < count; ++i) {
        allSpaces = allSpaces && codePoints[i] == ' ';
        ideograph = ideograph || (codePoints[i] >= kIdeographFirst && codePoints[i] <= kIdeographLast);
    }
    if (allSpaces) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameAllSpaceLine);
        return -1;
    }
    if (ideograph) {
        ZRWLog(kLogModule, kLogLevel, "%s", kNameIdeographLine);
        return -1;
    }
    return 0;
}

void mark(QWidget* field) {
    if (auto* address = qobject_cast<ZRInputIpLineEdit*>(field)) {
        markAddress(address);
    } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        markLineEdit(edit);
    } else {
        markFrame(field);
    }
}

void markLineEdit(QLineEdit* field) {
    field->setStyleSheet(QString::fromLatin1(kLineEditError));
}

void markAddress(ZRInputIpLineEdit* field) {
    field->setStyleSheet(QString::fromLatin1(kAddressError));
}

void markFrame(QWidget* frame) {
    frame->setStyleSheet(QString::fromLatin1(kFrameError));
}

void showWarning(QLabel* label, QLineEdit* field, const char* key) {
    label->setText(ZRStringConstant::tr(key));
    markLineEdit(field);
}

} // namespace FieldRules
