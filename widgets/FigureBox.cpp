#include "FigureBox.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QLayoutItem>

FigureBox* FigureBox::hold(QLabel* label) {
    QWidget* parent = label != nullptr ? label->parentWidget() : nullptr;
    if (parent == nullptr || parent->layout() == nullptr) {
        return nullptr;
    }
    auto* box = new FigureBox(label);
    QLayoutItem* place = parent->layout()->replaceWidget(label, box);
    if (place == nullptr) {
        delete box;
        return nullptr;
    }
    delete place;
    const QRect geometry = label->geometry();
    label->setParent(box);
    label->move(0, 0);
    label->show();
    box->setGeometry(geometry);
    box->show();
    return box;
}

FigureBox::FigureBox(QLabel* label)
    : QWidget(label->parentWidget()), label(label), readHint(label->sizeHint()),
      readMinimumHint(label->minimumSizeHint()) {
    setObjectName(label->objectName() + QLatin1String("Box"));
    setSizePolicy(label->sizePolicy());
    setMinimumSize(label->minimumSize());
    setMaximumSize(label->maximumSize());
    noteRead();
}

bool FigureBox::Look::operator==(const Look& other) const {
    return contents == other.contents && margin == other.margin && indent == other.indent &&
           frame == other.frame && alignment == other.alignment && minimum == other.minimum &&
           font == other.font;
}

FigureBox::Look FigureBox::currentLook() const {
    Look look;
    look.font = label->font();
    look.contents = label->contentsMargins();
    look.margin = label->margin();
    look.indent = label->indent();
    look.frame = label->frameWidth();
    look.alignment = static_cast<int>(label->alignment());
    look.minimum = label->minimumSize();
    return look;
}

QSizeF FigureBox::lineSize() const {
    // Rich text, a selectable text, a shortcut's mark, a tab or a line break: the label lays
    // such a text out otherwise.
    const Qt::TextInteractionFlags selectable =
        Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::TextEditable;
    if (label->wordWrap() || label->textFormat() == Qt::RichText ||
        (label->textInteractionFlags() & selectable)) {
        return QSizeF();
    }
    const QString text = label->text();
    for (const QChar c : text) {
        if (c == QLatin1Char('<') || c == QLatin1Char('&') || c == QLatin1Char('\t') ||
            c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            return QSizeF();
        }
    }
    // The line as the label lays it out for its hints, unrounded: wherever the label's
    // alignment puts a line of this size, its hints come out the same.
    return QFontMetricsF(label->font()).boundingRect(QRectF(0, 0, 2000, 2000), 0, text).size();
}

void FigureBox::noteRead() const {
    readLook = currentLook();
    readLine = lineSize();
}

QSize FigureBox::sizeHint() const {
    readHint = label->sizeHint();
    noteRead();
    return readHint;
}

QSize FigureBox::minimumSizeHint() const {
    readMinimumHint = label->minimumSizeHint();
    noteRead();
    return readMinimumHint;
}

void FigureBox::passOnHintChange() {
    if (readLine.isValid() && currentLook() == readLook) {
        const QSizeF line = lineSize();
        if (line.width() == readLine.width() && line.height() == readLine.height()) {
            return;
        }
    }
    if (label->sizeHint() != readHint || label->minimumSizeHint() != readMinimumHint) {
        updateGeometry();
    }
}

bool FigureBox::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::LayoutRequest:
        // The label's text, font or style changed while the box was shown.
        passOnHintChange();
        return true;
    case QEvent::Show:
        // What changed while the box was hidden asked nobody for a layout.
        passOnHintChange();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void FigureBox::resizeEvent(QResizeEvent*) {
    label->setGeometry(rect());
}
