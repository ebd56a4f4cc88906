#include "PaintedShadow.h"

#include <QEvent>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <cmath>

// Qt's drop shadow blurs the alpha of the widget's picture with this function, which
// QtWidgets exports; the shadow here is blurred by the same function with the same
// arguments, so that it looks as Qt's own.
Q_WIDGETS_EXPORT void qt_blurImage(QPainter* p, QImage& blurImage, qreal radius, bool quality, bool alphaOnly,
                                   int transposed = 0);

namespace {

// The blur reaches about three radii past the outline, and a corner's rounding reaches as
// far again along each side: beyond that every row (or column) of a side is the same.
// Outlines longer than this are made at this length, of the same parity, and stretched.
int StraightLength(qreal cornerRadius, qreal blurRadius) {
    return 2 * static_cast<int>(std::ceil(cornerRadius + 4 * blurRadius)) + 8;
}

struct ImageKey {
    QSize size;    // the image, in device pixels
    QRect outline; // in the image, in device pixels, shifted by the offset
    qreal corner;
    qreal radius;
    QRgb color;
    bool operator==(const ImageKey& other) const {
        return size == other.size && outline == other.outline && corner == other.corner &&
               radius == other.radius && color == other.color;
    }
};

uint qHash(const ImageKey& key, uint seed = 0) {
    return ::qHash(key.size.width(), seed) ^ ::qHash(key.size.height() << 12, seed) ^
           ::qHash(key.outline.x() ^ (key.outline.y() << 8) ^ (key.outline.width() << 16), seed) ^
           ::qHash(key.outline.height(), seed) ^ ::qHash(key.color, seed) ^ ::qHash(key.radius, seed) ^
           ::qHash(key.corner, seed);
}

// The images made so far. A few are ever in use at once (the main window's frame, the
// cards, in two colour modes); the set is dropped when it grows past that.
const int kKeptImages = 24;
QHash<ImageKey, QImage>& Images() {
    static QHash<ImageKey, QImage> images;
    return images;
}
int madeCount = 0;

// As QGraphicsDropShadowEffect draws: the outline opaque in an image of the shadow's
// bounding size, its alpha blurred, coloured by the shadow's colour.
QImage MakeImage(const ImageKey& key, qreal dpr) {
    QImage outline(key.size, QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(key.outline), key.corner * dpr, key.corner * dpr);
    }
    QImage alpha(key.size, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        qt_blurImage(&painter, outline, key.radius * dpr, false, true);
    }
    QImage image(key.size, QImage::Format_ARGB32_Premultiplied);
    const QColor color = QColor::fromRgba(key.color);
    const int r = color.red();
    const int g = color.green();
    const int b = color.blue();
    const int a = color.alpha();
    for (int y = 0; y < key.size.height(); ++y) {
        const uchar* in = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < key.size.width(); ++x) {
            const int shade = (in[x] * a + 127) / 255;
            out[x] = qRgba((r * shade + 127) / 255, (g * shade + 127) / 255, (b * shade + 127) / 255, shade);
        }
    }
    image.setDevicePixelRatio(dpr);
    ++madeCount;
    return image;
}

} // namespace

PaintedShadow::PaintedShadow(QWidget* target, qreal cornerRadius, const QMargins& insetMargins)
    : QObject(target), shadowed(target), holder(target->parentWidget()), corner(cornerRadius),
      inset(insetMargins) {
    setObjectName(QStringLiteral("paintedShadow"));
    shadowed->installEventFilter(this);
    if (holder != nullptr) {
        holder->installEventFilter(this);
    }
    repaintShadow();
}

PaintedShadow::~PaintedShadow() {
    if (holder != nullptr) {
        holder->removeEventFilter(this);
        holder->update(lastRect);
    }
}

PaintedShadow* PaintedShadow::of(const QWidget* target) {
    return target->findChild<PaintedShadow*>(QString(), Qt::FindDirectChildrenOnly);
}

QWidget* PaintedShadow::target() const {
    return shadowed;
}

QColor PaintedShadow::color() const {
    return shadowColor;
}

void PaintedShadow::setColor(const QColor& value) {
    if (value != shadowColor) {
        shadowColor = value;
        repaintShadow();
    }
}

qreal PaintedShadow::blurRadius() const {
    return radius;
}

void PaintedShadow::setBlurRadius(qreal value) {
    if (value != radius) {
        radius = value;
        repaintShadow();
    }
}

QPointF PaintedShadow::offset() const {
    return shift;
}

void PaintedShadow::setOffset(const QPointF& value) {
    if (value != shift) {
        shift = value;
        repaintShadow();
    }
}

qreal PaintedShadow::cornerRadius() const {
    return corner;
}

int PaintedShadow::imagesMade() {
    return madeCount;
}

// As Qt's drop shadow bounds itself: the widget's rectangle united with that rectangle
// moved by the offset and grown by the blur radius.
QRect PaintedShadow::shadowRect() const {
    const QRectF own(shadowed->geometry());
    return own.united(own.translated(shift).adjusted(-radius, -radius, radius, radius)).toAlignedRect();
}

void PaintedShadow::repaintShadow() {
    if (holder == nullptr) {
        return;
    }
    const QRect now = shadowed->isVisibleTo(holder) ? shadowRect() : QRect();
    holder->update(lastRect.united(now));
    lastRect = now;
}

bool PaintedShadow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == holder && event->type() == QEvent::Paint) {
        if (shadowed->isVisibleTo(holder)) {
            const QRect exposed = static_cast<QPaintEvent*>(event)->rect();
            if (exposed.intersects(shadowRect())) {
                QPainter painter(holder);
                paint(&painter, exposed);
            }
        }
    } else if (watched == shadowed) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            repaintShadow();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PaintedShadow::paint(QPainter* painter, const QRect& exposed) {
    if (radius <= 0 && shift.isNull()) {
        return;
    }
    const qreal dpr = holder->devicePixelRatioF();
    const QRect bounds = shadowRect();
    const QRect outline = shadowed->geometry().marginsRemoved(inset);
    if (outline.isEmpty()) {
        return;
    }
    // In device pixels, relative to the image: where the outline lies once moved by the
    // offset, and how much of its middle the image leaves out.
    const QPoint shiftPixels = (shift * dpr).toPoint();
    const QRect full((outline.topLeft() - bounds.topLeft()) * dpr + shiftPixels, outline.size() * dpr);
    const int straight = static_cast<int>(StraightLength(corner, radius) * dpr);
    const int cutX = full.width() > straight + 1 ? (full.width() - straight) / 2 * 2 : 0;
    const int cutY = full.height() > straight + 1 ? (full.height() - straight) / 2 * 2 : 0;
    const QSize fullSize = bounds.size() * dpr;

    ImageKey key{QSize(fullSize.width() - cutX, fullSize.height() - cutY),
                 QRect(full.topLeft(), QSize(full.width() - cutX, full.height() - cutY)), corner, radius,
                 shadowColor.rgba()};
    QHash<ImageKey, QImage>& images = Images();
    auto found = images.constFind(key);
    if (found == images.constEnd()) {
        if (images.size() >= kKeptImages) {
            images.clear();
        }
        found = images.insert(key, MakeImage(key, dpr));
    }
    const QImage& image = *found;

    // Three bands each way: the image's part before its middle row (column), the middle
    // one stretched over what the image leaves out, and the part after it. The middle of
    // both lies inside the outline, under the widget, and is not drawn.
    const int middleX = key.outline.center().x();
    const int middleY = key.outline.center().y();
    struct Band {
        int from;  // in the image, device pixels
        int size;  // in the image
        int drawn; // in the picture, device pixels
    };
    const Band columns[] = {{0, middleX, middleX},
                            {middleX, 1, 1 + cutX},
                            {middleX + 1, key.size.width() - middleX - 1, key.size.width() - middleX - 1}};
    const Band rows[] = {{0, middleY, middleY},
                         {middleY, 1, 1 + cutY},
                         {middleY + 1, key.size.height() - middleY - 1, key.size.height() - middleY - 1}};
    const QRectF visible(exposed);
    qreal top = bounds.top();
    for (int row = 0; row < 3; ++row) {
        const qreal height = rows[row].drawn / dpr;
        qreal left = bounds.left();
        for (int column = 0; column < 3; ++column) {
            const qreal width = columns[column].drawn / dpr;
            const QRectF place(left, top, width, height);
            const bool middle = row == 1 && column == 1 && (cutX > 0 || cutY > 0);
            if (!middle && columns[column].size > 0 && rows[row].size > 0 && place.intersects(visible)) {
                painter->drawImage(
                    place, image,
                    QRectF(columns[column].from, rows[row].from, columns[column].size, rows[row].size));
            }
            left += width;
        }
        top += height;
    }
}
