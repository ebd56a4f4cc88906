// The room a widget's text needs. The forms give labels, buttons and combo boxes sizes that
// hold their English texts in the fonts they were drawn with; other languages and other
// fonts need more. These measures let a form keep its sizes as minimums and widen (or,
// for a label that wraps, heighten) a widget to what its text needs in the font that the
// application style sheet gives it: each measure polishes the widget first.
#pragma once

class QAbstractButton;
class QComboBox;
class QLabel;
class QPushButton;
class QString;
class QWidget;

namespace TextFit {

// The width the label needs to show its text (or `text`) on one line: the text, the
// label's margin and indent, and its contents margins (frame and style-sheet padding).
int labelWidth(QLabel* label);
int labelWidth(QLabel* label, const QString& text);

// The narrowest width at which the label, wrapping between words, shows every word whole:
// its longest word and its margins.
int longestWordWidth(QLabel* label);

// The height the label needs to show its text, wrapped between words when the label
// wraps, at the given width.
int labelHeight(QLabel* label, int width);

// The width a push button needs for its text (or `text`) and icon in each state that its
// style sheet may draw with other padding (enabled and disabled): the wider of the two.
int buttonWidth(QPushButton* button);
int buttonWidth(QPushButton* button, const QString& text);

// The width a radio button or check box needs for its indicator, text and icon.
int toggleWidth(QAbstractButton* button);

// The width a combo box needs to show each of its rows whole once that row is chosen.
int comboWidth(QComboBox* combo);

// Gives the widget exactly max(formWidth, needed) pixels of width.
void fixWidth(QWidget* widget, int formWidth, int needed);

// Keeps a widget with a layout at least as wide as its content needs, where a minimum width
// of its own (the form's) would let its layout squeeze the content: whenever the layout is
// asked again, the widget's minimum width becomes the wider of the one it had when this was
// called and the layout's. A language whose texts need more room widens it (and a window
// holding it), and one that needs less gives the form's width back.
void widenWithContent(QWidget* widget);

} // namespace TextFit
