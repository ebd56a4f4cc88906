// The application's style sheet, set so that the same sheet twice costs nothing: setting a
// sheet repolishes every widget, which for the main window with its three pages is most of
// the client's start, and the Settings page applies the stored colour mode's sheet once
// more when the settings are restored.
#pragma once

#include <QString>

class QApplication;
class QComboBox;
class QWidget;

// The text of a style sheet resource (":/..."), read whole as UTF-8; empty when it cannot
// be read.
QString ReadStyleSheet(const char* resource);

// Sets `sheet` on the application. When the application holds that very sheet already,
// its widgets are not polished again: each only gets the style change event that a new
// sheet sends it, on which the widgets that colour themselves read the colour mode.
void SetApplicationStyleSheet(QApplication* app, const QString& sheet);

// Sets `sheet` on the widget unless it holds that very sheet already: a widget's sheet
// repolishes it and all it holds even when it is the same, and the colour mode's first
// application at start gives most widgets the sheets they were made with.
void SetWidgetStyleSheet(QWidget* widget, const QString& sheet);

// Lets the application's style sheet reach the window of the combo's drop-down list. Qt
// leaves that window out of the application's sheet unless it holds a sheet of its own,
// so it would paint the band above the list (the list's top margin) and its edge in the
// light palette in both colour modes; the sheets give it its colours
// (QComboBoxPrivateContainer).
void StyleDropDownList(QComboBox* combo);
