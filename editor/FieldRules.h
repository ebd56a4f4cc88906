// The editor's field rules at Confirm: a page's rules stand in a table of (field, rule,
// warning), and one routine checks a table and marks what fails. A failure marks its field
// by the field's kind (a red border on a line edit, an address editor or a frame) and, where
// the table gives a warning, shows its text in the field's warning label. Also the
// profile-name rule with its log lines, and the patterns as QRegExp.
#pragma once

#include <QRegExp>
#include <QString>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QWidget;
class ZRInputIpLineEdit;

namespace FieldRules {

// One row of a table: the field a failure marks (none: the failure shows nothing), the
// rule its value must pass, judged when the check reaches the row, and the warning that
// goes with the mark: a text key shown in a label.
struct FieldRule {
    QWidget* field;
    std::function<bool()> passes;
    const char* warning = nullptr;
    QLabel* warningLabel = nullptr;
};
using Table = std::vector<FieldRule>;

// How far a check goes: every row, with every failure marked at once, or up to the first
// failure, which alone is marked and ends the check.
enum class Until { EveryRow, FirstFailure };

// Checks the rows in their order and marks what fails; true when every row checked passed.
bool check(const Table& table, Until until);

// A rule that the text matches as a whole; one that passes an empty text too.
std::function<bool()> matches(const QRegExp& rule, const QString& text);
std::function<bool()> emptyOrMatches(const QRegExp& rule, const QString& text);

// A case-sensitive rule of a pattern.
QRegExp rule(const char* pattern);

// The profile-name rule on a UTF-8 name: 0 when it passes, -1 (with its log line) when it
// fails. Only kind 4 (WireGuard) changes the rule: 32 bytes instead of 128.
int checkProfileName(const char* name, int kind);

// The marks of a failure: by the field's kind, or the given one.
void mark(QWidget* field);
void markLineEdit(QLineEdit* field);
void markAddress(ZRInputIpLineEdit* field);
void markFrame(QWidget* frame);
// Shows a key's text in a warning label and marks the field.
void showWarning(QLabel* label, QLineEdit* field, const char* key);

} // namespace FieldRules
