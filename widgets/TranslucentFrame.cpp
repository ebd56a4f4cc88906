#include "TranslucentFrame.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QVector>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "Compositing.h"

namespace {

// The rectangle with rounded corners, less every pixel that the rounding leaves partly
// transparent when painted antialiased (as the style sheets paint it).
QRegion OpaqueRoundedRegion(const QRect& rect, qreal radius) {
    const int reach = std::min({static_cast<int>(std::ceil(radius)), rect.width() / 2, rect.height() / 2});
    if (reach <= 0 || rect.isEmpty()) {
        return QRegion(rect);
    }
    // A small rounded square of the same radius has the same corners as the large outline.
    const int side = 2 * reach + 4;
    QImage sample(side, side, QImage::Format_ARGB32_Premultiplied);
    sample.fill(Qt::transparent);
    {
        QPainter painter(&sample);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(0, 0, side, side), radius, radius);
    }
    // For each of the corner's rows, how many pixels at its start are not wholly covered.
    QVector<int> cut(reach);
    for (int y = 0; y < reach; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(sample.constScanLine(y));
        int x = 0;
        while (x < reach && qAlpha(row[x]) < 255) {
            ++x;
        }
        cut[y] = x;
    }
    QVector<QRect> rows;
    const auto band = [&rect, &rows](int y, int inset) {
        rows.append(QRect(rect.left() + inset, y, rect.width() - 2 * inset, 1));
    };
    for (int y = 0; y < reach; ++y) {
        band(rect.top() + y, cut[y]);
    }
    rows.append(QRect(rect.left(), rect.top() + reach, rect.width(), rect.height() - 2 * reach));
    for (int y = reach - 1; y >= 0; --y) {
        band(rect.bottom() - y, cut[y]);
    }
    QRegion region;
    region.setRects(rows.constData(), rows.size());
    return region;
}

} // namespace

TranslucentFrame::TranslucentFrame(QWidget* window, QWidget* body, qreal cornerRadius, const QMargins& inset,
                                   ShadowSwitch shadow)
    : TranslucentFrame(
          window,
          [window, body, inset] {
              const QPoint at = body == window ? QPoint(0, 0) : body->mapTo(window, QPoint(0, 0));
              return QRect(at, body->size()).marginsRemoved(inset);
          },
          cornerRadius, std::move(shadow)) {
    this->body = body;
    if (body != window) {
        body->installEventFilter(this);
    }
}

TranslucentFrame::TranslucentFrame(QWidget* window, Outline outline, qreal cornerRadius, ShadowSwitch shadow)
    : QObject(window), window(window), bodyOutline(std::move(outline)), corner(cornerRadius),
      shadowSwitch(std::move(shadow)) {
    setObjectName(QStringLiteral("translucentFrame"));
    window->installEventFilter(this);
    connect(Compositing::instance(), &Compositing::changed, this, [this] {
        if (this->window->isVisible()) {
            apply();
        }
    });
}

TranslucentFrame* TranslucentFrame::of(const QWidget* window) {
    return window->findChild<TranslucentFrame*>(QStringLiteral("translucentFrame"),
                                                Qt::FindDirectChildrenOnly);
}

bool TranslucentFrame::blended() const {
    return isBlended;
}

QRect TranslucentFrame::outline() const {
    return bodyOutline();
}

void TranslucentFrame::apply() {
    const bool blends = Compositing::instance()->blendsFor(window);
    if (blends != isBlended) {
        isBlended = blends;
        if (shadowSwitch) {
            shadowSwitch(blends);
        }
    }
    reshape();
}

void TranslucentFrame::reshape() {
    if (isBlended) {
        if (!shapedOutline.isNull()) {
            shapedOutline = QRect();
            window->clearMask();
        }
        return;
    }
    const QRect now = outline();
    if (now == shapedOutline) {
        return;
    }
    shapedOutline = now;
    window->setMask(OpaqueRoundedRegion(now, corner));
}

bool TranslucentFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == window && type == QEvent::Show) {
        apply();
    } else if (!isBlended &&
               (type == QEvent::Resize || type == QEvent::Move || type == QEvent::LayoutRequest) &&
               (watched == body || (watched == window && type == QEvent::Resize))) {
        reshape();
    }
    return QObject::eventFilter(watched, event);
}
