// Shared set-up of the widget tests: one QApplication for the whole binary (created
// before the first test by a GoogleTest environment) and small helpers.
#pragma once

#include <QString>
#include <QWidget>
#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace widgettest {

// Sets the colour mode the widgets read and sends them a style change, as the
// Settings page does when it replaces the style sheet.
void applyColorMode(int mode, QWidget* widget);

// Shows a top-level widget and waits until the platform has exposed it.
bool showAndExpose(QWidget* widget);

// Closes the next modal dialog (a message box) as soon as it appears.
void closeNextModal();

} // namespace widgettest
