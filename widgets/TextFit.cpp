#include "TextFit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMargins>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QVector>

#include <algorithm>

namespace TextFit {

namespace {

// Wider and taller than any text of the client.
const int kUnbounded = 1 << 20;
// Room for the combo box's measure: any width wider than its decorations.
const int kProbeWidth = 1000;
// A measured text width is whole pixels of a width with fractions: one more pixel keeps
// the text on the lines it was measured on.
const int kRounding = 1;

// What a label leaves around its text, as QLabel lays its text out: its contents margins
// (frame and style-sheet padding), its margin, and its indent on the sides of its
// alignment (half an "x" where it has a frame and no indent of its own).
QMargins insets(const QLabel* label) {
    const QRect contents = label->contentsRect();
    const int margin = label->margin();
    QMargins insets(contents.left() + margin, contents.top() + margin,
                    label->width() - 1 - contents.right() + margin,
                    label->height() - 1 - contents.bottom() + margin);
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0) {
        indent = QFontMetrics(label->font()).horizontalAdvance(QLatin1Char('x')) / 2 - margin;
    }
    if (indent > 0) {
        const Qt::Alignment alignment = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
        insets.setLeft(insets.left() + ((alignment & Qt::AlignLeft) ? indent : 0));
        insets.setRight(insets.right() + ((alignment & Qt::AlignRight) ? indent : 0));
        insets.setTop(insets.top() + ((alignment & Qt::AlignTop) ? indent : 0));
        insets.setBottom(insets.bottom() + ((alignment & Qt::AlignBottom) ? indent : 0));
    }
    return insets;
}

// Raises the widget's minimum width to its layout's whenever the layout is asked again.
class ContentWidth : public QObject {
public:
    explicit ContentWidth(QWidget* widget)
        : QObject(widget), widget(widget), formWidth(widget->minimumWidth()) {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) &&
            widget->layout() != nullptr) {
            const int width = std::max(formWidth, widget->layout()->totalMinimumSize().width());
            if (width != widget->minimumWidth()) {
                widget->setMinimumWidth(width);
            }
        }
        return false;
    }

private:
    QWidget* widget;
    int formWidth;
};

QSize textAndIcon(const QAbstractButton* button, const QString& text) {
    QSize size = QFontMetrics(button->font()).size(Qt::TextShowMnemonic, text);
    if (!button->icon().isNull()) {
        size.rwidth() += button->iconSize().width() + 4;
        size.setHeight(std::max(size.height(), button->iconSize().height()));
    }
    return size;
}

// Whether the text holds a character of a Chinese, Japanese or Korean script.
bool hasWideScript(const QString& text) {
    for (uint code : text.toUcs4()) {
        switch (QChar::script(code)) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
        case QChar::Script_Bopomofo:
            return true;
        default:
            break;
        }
    }
    return false;
}

// More than the text's advance in any font of `em` pixels: a character of these scripts is
// one em wide (full width), no other character of a language's name is wider, and a
// quarter em more each covers the rounding of the font's advances.
int wideScriptBound(const QString& text, int em) {
    return text.toUcs4().size() * (em + (em + 3) / 4);
}

} // namespace

int labelWidth(QLabel* label) {
    return labelWidth(label, label->text());
}

int labelWidth(QLabel* label, const QString& text) {
    label->ensurePolished();
    const QFontMetrics metrics(label->font());
    const int width =
        metrics.boundingRect(QRect(0, 0, kUnbounded, kUnbounded), Qt::TextExpandTabs, text).width();
    const QMargins around = insets(label);
    return width + kRounding + around.left() + around.right();
}

int longestWordWidth(QLabel* label) {
    label->ensurePolished();
    const QFontMetrics metrics(label->font());
    // Wrapped at one pixel, every word stands on a line of its own; no word is broken.
    const int word =
        metrics.boundingRect(QRect(0, 0, 1, kUnbounded), Qt::TextWordWrap | Qt::TextExpandTabs, label->text())
            .width();
    const QMargins around = insets(label);
    return word + kRounding + around.left() + around.right();
}

int labelHeight(QLabel* label, int width) {
    label->ensurePolished();
    const QFontMetrics metrics(label->font());
    const QMargins around = insets(label);
    const int flags = Qt::TextExpandTabs | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const int textWidth =
        label->wordWrap() ? std::max(1, width - around.left() - around.right()) : kUnbounded;
    return metrics.boundingRect(QRect(0, 0, textWidth, kUnbounded), flags, label->text()).height() +
           around.top() + around.bottom();
}

int buttonWidth(QPushButton* button) {
    return buttonWidth(button, button->text());
}

int buttonWidth(QPushButton* button, const QString& text) {
    button->ensurePolished();
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
    option.text = text;
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    const QSize contents = textAndIcon(button, text);
    int widest = 0;
    for (bool enabled : {true, false}) {
        option.state.setFlag(QStyle::State_Enabled, enabled);
        widest = std::max(
            widest,
            button->style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, button).width());
    }
    return widest;
}

int toggleWidth(QAbstractButton* button) {
    button->ensurePolished();
    return button->sizeHint().width();
}

int comboWidth(QComboBox* combo) {
    combo->ensurePolished();
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.rect = QRect(0, 0, kProbeWidth, std::max(combo->height(), 1));
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.iconSize = combo->iconSize();
    option.subControls = QStyle::SC_All;
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const int decorations = kProbeWidth - field.width();
    const QFontMetrics metrics(combo->font());
    const int em = QFontInfo(combo->font()).pixelSize();
    // The style draws a row's text one pixel in from the field's edge, after its icon and
    // four pixels.
    const auto around = [combo](int row) {
        return 1 + (combo->itemIcon(row).isNull() ? 0 : combo->iconSize().width() + 4);
    };
    int widest = 0;
    QVector<int> wideScriptRows;
    for (int row = 0; row < combo->count(); ++row) {
        if (hasWideScript(combo->itemText(row))) {
            wideScriptRows.append(row);
        } else {
            widest = std::max(widest, around(row) + metrics.horizontalAdvance(combo->itemText(row)));
        }
    }
    // A row in a Chinese, Japanese or Korean script is measured only where it could be the
    // widest: its characters need a fallback font of several megabytes, which measuring
    // them loads. None of them is wider than a few pixels more than the font's size.
    for (int row : wideScriptRows) {
        const QString text = combo->itemText(row);
        if (around(row) + wideScriptBound(text, em) > widest) {
            widest = std::max(widest, around(row) + metrics.horizontalAdvance(text));
        }
    }
    return widest + decorations;
}

void fixWidth(QWidget* widget, int formWidth, int needed) {
    widget->setFixedWidth(std::max(formWidth, needed));
}

void widenWithContent(QWidget* widget) {
    new ContentWidth(widget);
}

} // namespace TextFit
