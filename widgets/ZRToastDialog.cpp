#include "ZRToastDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMutex>
#include <QMutexLocker>

#include "ScreenArea.h"
#include "TranslucentFrame.h"

namespace {
ZRToastDialog* toastInstance = nullptr;
QMutex toastInstanceMutex;

const char* const kDefaultTextStyle =
    "QLabel{padding-left: 16px;padding-right: 16px;padding-top: 8px;padding-bottom: 8px;color: "
    "#ffffff;background-color: #F46055;font: 11pt Halvex Vento;}";
const char* const kIconStyle = "QLabel{max-height: 16px;max-width: 16px;min-height: 16px;min-width: 16px;}";
const float kDefaultVerticalRatio = 0.8f;
// A toast that waits behind others shows for at most this long.
const int kQueuedToastMs = 500;
// The rounding of the toast's body in its styles.
const qreal kBodyCornerRadius = 5;

// A type outside 0 to 4 would pick an icon that does not exist: show text only.
int knownType(int type) {
    return type >= ZRToastDialog::TypePreset0 && type <= ZRToastDialog::TypeTextOnly
               ? type
               : ZRToastDialog::TypeTextOnly;
}
} // namespace

QPointer<QWidget> ZRToastDialog::defaultParent;

ZRToastDialog* ZRToastDialog::instance() {
    if (toastInstance != nullptr) {
        return toastInstance;
    }
    QMutexLocker locker(&toastInstanceMutex);
    if (toastInstance == nullptr) {
        toastInstance = new ZRToastDialog(nullptr);
    }
    return toastInstance;
}

void ZRToastDialog::setDefaultParent(QWidget* widget) {
    defaultParent = widget;
}

ZRToastDialog::ZRToastDialog(QWidget* parent)
    : QDialog(parent, Qt::WindowFlags()), containerWidget(new QWidget(this)),
      textLabel(new QLabel(containerWidget)), iconLabel(new QLabel(containerWidget)), timer(this),
      textStyle(QString::fromLatin1(kDefaultTextStyle)) {
    auto* layout = new QHBoxLayout(containerWidget);
    layout->addWidget(iconLabel);
    layout->addWidget(textLabel);
    textLabel->setStyleSheet(textStyle);
    iconLabel->hide();
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    // Where no compositing manager shows the rounded corners see-through, the toast is cut
    // to its body.
    new TranslucentFrame(this, containerWidget, kBodyCornerRadius);
    connect(&timer, SIGNAL(timeout()), this, SLOT(slotTimeOut()));
}

ZRToastDialog::~ZRToastDialog() = default;

void ZRToastDialog::showToast(QWidget* widget, const QString& text, int durationMs) {
    showToastEx(widget, text, durationMs, TypeTextOnly, QString(), QString(), QString(), QString(),
                kDefaultVerticalRatio);
}

void ZRToastDialog::showDefaultToast(const QString& text, int durationMs) {
    showToast(defaultParent, text, durationMs);
}

void ZRToastDialog::showTypedToast(QWidget* widget, const QString& text, int durationMs, int type,
                                   const QString& containerStyle, const QString& textStyle,
                                   const QString& iconStyle, const QString& iconPath, float ratio) {
    showToastEx(widget, text, durationMs, type, containerStyle, textStyle, iconStyle, iconPath, ratio);
}

void ZRToastDialog::showPresetToast0(QWidget* widget, const QString& text, int durationMs) {
    showToastEx(widget, text, durationMs, TypePreset0, QString(), QString(), QString(), QString(),
                kDefaultVerticalRatio);
}

void ZRToastDialog::showPresetToast1(QWidget* widget, const QString& text, int durationMs) {
    showToastEx(widget, text, durationMs, TypePreset1, QString(), QString(), QString(), QString(),
                kDefaultVerticalRatio);
}

void ZRToastDialog::showPresetToast2(QWidget* widget, const QString& text, int durationMs) {
    showToastEx(widget, text, durationMs, TypePreset2, QString(), QString(), QString(), QString(),
                kDefaultVerticalRatio);
}

void ZRToastDialog::showCustomToast(QWidget* widget, const QString& text, const QString& containerStyle,
                                    const QString& textStyle, const QString& iconStyle,
                                    const QString& iconPath, float ratio, int durationMs) {
    showToastEx(widget, text, durationMs, TypeCustom, containerStyle, textStyle, iconStyle, iconPath, ratio);
}

void ZRToastDialog::showToastEx(QWidget* widget, const QString& text, int durationMs, int type,
                                const QString& containerStyle, const QString& textStyle,
                                const QString& iconStyle, const QString& iconPath, float ratio) {
    type = knownType(type);
    const QRect anchor = anchorRectOf(widget != nullptr ? widget : defaultParent.data());
    if (timer.isActive()) {
        // Only the last waiting toast is compared, never the one showing.
        if (queue.isEmpty() || queue.last().text != text) {
            queue.append(ZRToastItem{text, anchor, durationMs, type, containerStyle, textStyle, iconStyle,
                                     iconPath, ratio});
        }
        return;
    }
    setVerticalRatio(ratio);
    setToastIcon(type, iconPath);
    applyToastStyles(type, containerStyle, textStyle, iconStyle);
    setToastText(text, anchor);
    show();
    timer.start(durationMs);
}

void ZRToastDialog::setToastStyles(const QString& containerStyle, const QString& textStyle,
                                   const QString& iconPath0, const QString& iconPath1,
                                   const QString& iconPath2) {
    if (!containerStyle.isEmpty()) {
        containerWidget->setStyleSheet(containerStyle);
        this->containerStyle = containerStyle;
    }
    if (!textStyle.isEmpty()) {
        textLabel->setStyleSheet(textStyle);
        this->textStyle = textStyle;
    }
    iconStyle = QString::fromLatin1(kIconStyle);
    iconLabel->setStyleSheet(iconStyle);
    const QString paths[3] = {iconPath0, iconPath1, iconPath2};
    for (int i = 0; i < 3; ++i) {
        presetIcons[i] = QPixmap();
        presetIcons[i].load(paths[i]);
    }
}

QRect ZRToastDialog::anchorRectOf(QWidget* widget) const {
    if (widget == nullptr) {
        return QRect();
    }
    const QRect local = widget->rect();
    return QRect(widget->mapToGlobal(local.topLeft()), local.size());
}

void ZRToastDialog::setVerticalRatio(float ratio) {
    verticalRatio = ratio;
}

void ZRToastDialog::setToastIcon(int type, const QString& iconPath) {
    iconLabel->setVisible(type != TypeTextOnly);
    if (type == TypeCustom) {
        iconLabel->setPixmap(QPixmap(iconPath));
    } else if (type >= TypePreset0 && type <= TypePreset2) {
        iconLabel->setPixmap(presetIcons[type]);
    }
}

void ZRToastDialog::applyToastStyles(int type, const QString& containerStyle, const QString& textStyle,
                                     const QString& iconStyle) {
    if (type == TypeCustom) {
        containerWidget->setStyleSheet(containerStyle);
        textLabel->setStyleSheet(textStyle);
        iconLabel->setStyleSheet(iconStyle);
    } else {
        containerWidget->setStyleSheet(this->containerStyle);
        textLabel->setStyleSheet(this->textStyle);
        iconLabel->setStyleSheet(this->iconStyle);
    }
    iconLabel->adjustSize();
}

void ZRToastDialog::setToastText(const QString& text, const QRect& anchor) {
    anchorRect = anchor;
    textLabel->setText(text);
    iconLabel->adjustSize();
    textLabel->adjustSize();
    containerWidget->adjustSize();
    adjustSize();
}

void ZRToastDialog::slotTimeOut() {
    if (queue.isEmpty()) {
        hide();
        timer.stop();
        return;
    }
    const ZRToastItem item = queue.takeFirst();
    setVerticalRatio(item.verticalRatio);
    setToastIcon(item.toastType, item.iconPath);
    applyToastStyles(item.toastType, item.containerStyle, item.textStyle, item.iconStyle);
    setToastText(item.text, item.anchorRect);
    // A next toast of the same size gets no resize event; it is placed over its own
    // anchor all the same.
    placeOverAnchor();
    timer.start(queue.isEmpty() ? item.durationMs : qMin(kQueuedToastMs, item.durationMs));
}

void ZRToastDialog::placeOverAnchor() {
    const int x = anchorRect.x() + (anchorRect.width() - width()) / 2;
    const int y = anchorRect.y() + static_cast<int>(anchorRect.height() * verticalRatio);
    move(clampIntoArea(QPoint(x, y), size(), availableAreaOf(defaultParent.data())));
}

bool ZRToastDialog::event(QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        setAttribute(Qt::WA_Mapped);
        placeOverAnchor();
    }
    return QWidget::event(event);
}
