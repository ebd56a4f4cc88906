#include "ZRBaseDialog.h"

#include <QColor>
#include <QMouseEvent>
#include <QStyle>

#include "PaintedShadow.h"
#include "ScreenArea.h"
#include "SystemContext.h"
#include "TranslucentFrame.h"

namespace {
const char* const kDarkShadowColor = "#FF000000";
const char* const kLightShadowColor = "#A09BA1AA";
const int kRestyledBlurRadius = 24;
// The rounding of the dialogs' bodies in both style sheets.
const qreal kBodyCornerRadius = 8;
} // namespace

ZRBaseDialog::ZRBaseDialog(QWidget* parent) : QDialog(parent, Qt::WindowFlags()) {
    installEventFilter(this);
}

ZRBaseDialog::~ZRBaseDialog() = default;

void ZRBaseDialog::setDragRect(const QRect& rect) {
    dragRect = rect;
}

void ZRBaseDialog::setFramelessStyle() {
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ZRBaseDialog::setShadow(QWidget* target, int blurRadius) {
    if (target == nullptr) {
        return;
    }
    if (shadowTarget == nullptr) {
        // Where no compositing manager shows the translucent margin around the body, the
        // dialog is cut to its body without a shadow.
        new TranslucentFrame(this, target, kBodyCornerRadius, QMargins(), [this](bool shown) {
            if (PaintedShadow* shadow = shadowTarget != nullptr ? PaintedShadow::of(shadowTarget) : nullptr) {
                shadow->setShown(shown);
            }
            blendingChanged(shown);
        });
    }
    shadowTarget = target;
    // Painted by the dialog beneath its body from the body's picture, taken once per size,
    // style and colour: the shadow the effect would draw, for opaque and see-through bodies
    // alike, without drawing the body twice on each repaint.
    PaintedShadow* shadow = PaintedShadow::of(target);
    if (shadow == nullptr) {
        shadow = new PaintedShadow(target, kBodyCornerRadius);
        shadow->setShape(PaintedShadow::Shape::Picture);
    }
    shadow->setShown(TranslucentFrame::of(this)->blended());
    shadow->setColor(QColor(colorMode == 2 ? kDarkShadowColor : kLightShadowColor));
    shadow->setOffset(QPointF(0, 2));
    shadow->setBlurRadius(blurRadius);
}

void ZRBaseDialog::centerOnParent() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) {
        return;
    }
    const QRect parentRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
    const QPoint centred =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), parentRect).topLeft();
    move(clampIntoArea(centred, size(), availableAreaOf(parent)));
}

void ZRBaseDialog::mousePressEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::LeftButton && dragRect.contains(event->pos())) {
        dragging = true;
        dragOffset = event->globalPos() - pos();
    }
}

void ZRBaseDialog::mouseReleaseEvent(QMouseEvent*) {
    dragging = false;
}

void ZRBaseDialog::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::LeftButton && dragging) {
        move(event->globalPos() - dragOffset);
    }
}

void ZRBaseDialog::resizeEvent(QResizeEvent* event) {
    centerOnParent();
    QDialog::resizeEvent(event);
}

void ZRBaseDialog::showEvent(QShowEvent* event) {
    centerOnParent();
    setAttribute(Qt::WA_Mapped);
    QDialog::showEvent(event);
}

void ZRBaseDialog::blendingChanged(bool) {}

void ZRBaseDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) {
        const int mode = SystemContext::GetSettingManager()->colorMode();
        if (mode != colorMode) {
            colorMode = mode;
            setShadow(shadowTarget, kRestyledBlurRadius);
        }
    }
    QWidget::changeEvent(event);
}
