// The application's style sheet, set so that the same sheet twice costs nothing: setting a
// sheet repolishes every widget, which for the main window with its three pages is most of
// the client's start, and the Settings page applies the stored colour mode's sheet once
// more when the settings are restored.
#pragma once

#include <QString>

class QApplication;
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
