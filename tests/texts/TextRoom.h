// Whether the texts of a window are shown whole: every visible label, push button, radio
// button, check box and combo box is measured with its own font metrics against the room
// its geometry and style give the text, and no text may be elided ("…"), wider or taller
// than that room, cut off by a widget around it, or drawn over a picture of the button.
#pragma once

#include <QString>
#include <QWidget>

#include <string>
#include <vector>

namespace textroom {

struct Fault {
    QString widget; // the object path from the window, e.g. "SettingWidget/labelAutoRun"
    QString text;
    QString what; // what is wrong, with the figures
};

// Every fault of the window's visible widgets (the window shown and laid out). Widgets
// inside a scroll area are measured against their own room only, as scrolling reaches
// them. Not measured: labels that only separate two fields (no letter or digit), and radio
// buttons drawn as switches (their text empty or the form's "RadioButton", which lies
// outside the switch by design).
std::vector<Fault> faults(QWidget* window);

// The faults as lines for a test failure, each prefixed with `where`.
std::string describe(const std::vector<Fault>& faults, const QString& where);

} // namespace textroom
