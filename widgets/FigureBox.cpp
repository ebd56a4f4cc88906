#include "FigureBox.h"

#include <QEvent>
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
}

QSize FigureBox::sizeHint() const {
    readHint = label->sizeHint();
    return readHint;
}

QSize FigureBox::minimumSizeHint() const {
    readMinimumHint = label->minimumSizeHint();
    return readMinimumHint;
}

void FigureBox::passOnHintChange() {
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
