#include "PaintedShadow.h"

#include <QEvent>
#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QVector>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <utility>

// Qt's drop shadow blurs the alpha of the widget's picture with this function, which
// QtWidgets exports; the shadow here is blurred by the same function with the same
// arguments, so that it looks as Qt's own.
Q_WIDGETS_EXPORT void qt_blurImage(QPainter* p, QImage& blurImage, qreal radius, bool quality, bool alphaOnly,
                                   int transposed = 0);

namespace {

// How far along a side a corner's rounding still shows in the blurred shadow: the blur
// reaches about three radii. Past it every row (or column) of a side is the same.
int CornerReach(qreal cornerRadius, qreal blurRadius) {
    return static_cast<int>(std::ceil(cornerRadius + 3 * blurRadius)) + 2;
}
// The run of identical columns (rows) that the image keeps in the middle of a long side,
// from which the side is drawn: short, so that the image stays small.
const int kMiddleRun = 2;

struct ImageKey {
    QSize size;    // the image, in logical pixels
    QRect outline; // in the image, moved by the offset
    qreal corner;
    qreal radius;
    QRgb color;
    qreal dpr;
    bool operator==(const ImageKey& other) const {
        return size == other.size && outline == other.outline && corner == other.corner &&
               radius == other.radius && color == other.color && dpr == other.dpr;
    }
};

uint qHash(const ImageKey& key, uint seed = 0) {
    return ::qHash(key.size.width(), seed) ^ ::qHash(key.size.height() << 12, seed) ^
           ::qHash(key.outline.x() ^ (key.outline.y() << 8) ^ (key.outline.width() << 16), seed) ^
           ::qHash(key.outline.height(), seed) ^ ::qHash(key.color, seed) ^ ::qHash(key.radius, seed) ^
           ::qHash(key.corner, seed) ^ ::qHash(key.dpr, seed);
}

// The images made so far. A few are ever in use at once (the main window's frame, the
// cards, in two colour modes); the set is dropped when it grows past that.
const int kKeptImages = 24;
QHash<ImageKey, QImage>& Images() {
    static QHash<ImageKey, QImage> images;
    return images;
}
int madeCount = 0;

// The pictures of shared bodies (setSharedBody): a dialog in each colour mode, a size or
// two; dropped when they grow past that.
struct BodyKey {
    QString kind;
    QSize size; // of the shadow's bounds, in logical pixels
    QRgb color;
    QPointF offset;
    qreal radius;
    qreal dpr;
    bool operator==(const BodyKey& other) const {
        return kind == other.kind && size == other.size && color == other.color && offset == other.offset &&
               radius == other.radius && dpr == other.dpr;
    }
};

uint qHash(const BodyKey& key, uint seed = 0) {
    return ::qHash(key.kind, seed) ^ ::qHash(key.size.width() ^ (key.size.height() << 14), seed) ^
           ::qHash(key.color, seed) ^ ::qHash(key.offset.x(), seed) ^ ::qHash(key.offset.y() * 3, seed) ^
           ::qHash(key.radius, seed) ^ ::qHash(key.dpr, seed);
}

const int kKeptBodies = 8;
QHash<BodyKey, QImage>& Bodies() {
    static QHash<BodyKey, QImage> bodies;
    return bodies;
}

// As QPixmapDropShadowFilter draws the shadow of a picture (`source`, already moved by the
// offset): its alpha blurred, coloured by the shadow's colour.
QImage BlurredShadow(QImage source, qreal radius, QRgb rgba, qreal dpr) {
    const QSize pixels = source.size();
    QImage alpha(pixels, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        qt_blurImage(&painter, source, radius * dpr, false, true);
    }
    // Each of the 256 shades of the blurred alpha in the shadow's colour, premultiplied.
    QRgb shades[256];
    const QColor color = QColor::fromRgba(rgba);
    for (int level = 0; level < 256; ++level) {
        const int shade = (level * color.alpha() + 127) / 255;
        shades[level] = qRgba((color.red() * shade + 127) / 255, (color.green() * shade + 127) / 255,
                              (color.blue() * shade + 127) / 255, shade);
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* in = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            out[x] = shades[in[x]];
        }
    }
    image.setDevicePixelRatio(dpr);
    ++madeCount;
    return image;
}

// As QGraphicsDropShadowEffect draws: the outline opaque in an image of the shadow's
// bounding size, its alpha blurred, coloured by the shadow's colour.
QImage MakeImage(const ImageKey& key) {
    const QSize pixels = key.size * key.dpr;
    QImage outline(pixels, QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.scale(key.dpr, key.dpr);
        painter.drawRoundedRect(QRectF(key.outline), key.corner, key.corner);
    }
    return BlurredShadow(std::move(outline), key.radius, key.color, key.dpr);
}

// One axis of the shadow: where, from the start of the shadow's bounds, its parts lie.
// Along a long side the image leaves out all but a run of identical columns (rows) in the
// middle, and that run is drawn over the part left out. The cut is even, so that the
// image's far corner lies on the same pixel grid as in the full picture, as the blur
// (which halves the picture first) needs for the same result.
struct Axis {
    int length = 0;    // of the bounds
    int before = 0;    // the outline's start
    int after = 0;     // the outline's end
    int corner = 0;    // the rounding, which only the corners show inside the outline
    int runStart = -1; // where the run of identical columns starts (-1: nothing left out)
    int runEnd = -1;   // where the part that the run stands for ends
    int run = 0;       // the run's length in the image

    Axis(int boundsLength, int outlineStart, int outlineLength, int rounding, int reach)
        : length(boundsLength), before(outlineStart), after(outlineStart + outlineLength), corner(rounding) {
        const int left = outlineStart + reach;
        const int right = outlineStart + outlineLength - reach;
        if (right - left > 2 * kMiddleRun) {
            const int cut = (right - left - kMiddleRun) / 2 * 2;
            runStart = left;
            runEnd = right;
            run = right - left - cut;
        }
    }
    int imageLength() const { return runStart < 0 ? length : length - (runEnd - runStart) + run; }
    // The image position of a position before or after the run.
    int toImage(int at) const { return runStart < 0 || at <= runStart ? at : at - (runEnd - runStart) + run; }
    // The cuts of this axis, in order: bounds, outline edge, rounding, run, ..., bounds.
    QVector<int> cuts() const {
        QVector<int> points{0, before, before + corner};
        if (runStart >= 0) {
            points << runStart << runEnd;
        }
        points << after - corner << after << length;
        // An outline smaller than its rounding: the cuts stay in order.
        for (int i = 1; i < points.size(); ++i) {
            points[i] = std::max(points[i], points[i - 1]);
        }
        return points;
    }
    bool isRun(int from, int to) const { return runStart >= 0 && from == runStart && to == runEnd; }
};

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
        picture = QImage();
        repaintShadow();
    }
}

qreal PaintedShadow::blurRadius() const {
    return radius;
}

void PaintedShadow::setBlurRadius(qreal value) {
    if (value != radius) {
        radius = value;
        picture = QImage();
        repaintShadow();
    }
}

QPointF PaintedShadow::offset() const {
    return shift;
}

void PaintedShadow::setOffset(const QPointF& value) {
    if (value != shift) {
        shift = value;
        picture = QImage();
        repaintShadow();
    }
}

qreal PaintedShadow::cornerRadius() const {
    return corner;
}

PaintedShadow::Shape PaintedShadow::shape() const {
    return shapeKind;
}

void PaintedShadow::setShape(Shape value) {
    if (value != shapeKind) {
        shapeKind = value;
        picture = QImage();
        repaintShadow();
    }
}

void PaintedShadow::setSharedBody(const QString& kind) {
    if (kind != bodyKind) {
        bodyKind = kind;
        picture = QImage();
        repaintShadow();
    }
}

void PaintedShadow::retakePicture() {
    if (shapeKind == Shape::Picture) {
        picture = QImage();
        repaintShadow();
    }
}

bool PaintedShadow::isShown() const {
    return shown;
}

void PaintedShadow::setShown(bool value) {
    if (value != shown) {
        shown = value;
        repaintShadow();
    }
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
        if (shown && shadowed->isVisibleTo(holder)) {
            const QRect bounds = shadowRect();
            if (shapeKind == Shape::Picture) {
                // A see-through widget shows its shadow wherever it is repainted.
                const QRect exposed = static_cast<QPaintEvent*>(event)->rect();
                if (exposed.intersects(bounds)) {
                    QPainter painter(holder);
                    paintPicture(&painter, exposed);
                }
            } else {
                // A repaint inside the widget, away from its rounded corners (a label that
                // changes), reaches no part of the shadow that shows: each rectangle of the
                // repaint is looked at, so that labels changing in several cards at once
                // paint no shadow either.
                const QRect outline = shadowed->geometry().marginsRemoved(inset);
                const int rounding = static_cast<int>(std::ceil(corner));
                const QRect rows = outline.adjusted(rounding, 0, -rounding, 0);
                const QRect columns = outline.adjusted(0, rounding, 0, -rounding);
                QRect reached;
                for (const QRect& part : static_cast<QPaintEvent*>(event)->region()) {
                    if (!rows.contains(part) && !columns.contains(part)) {
                        reached |= part & bounds;
                    }
                }
                if (!reached.isEmpty()) {
                    QPainter painter(holder);
                    paint(&painter, reached);
                }
            }
        }
    } else if (watched == shadowed) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            // A new size, or a look that may have changed while the widget was hidden.
            picture = QImage();
            repaintShadow();
            break;
        case QEvent::Move:
        case QEvent::Hide:
            repaintShadow();
            break;
        case QEvent::StyleChange:
            retakePicture();
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
    const QRect bounds = shadowRect();
    const QRect outline = shadowed->geometry().marginsRemoved(inset);
    if (outline.isEmpty()) {
        return;
    }
    const QPoint moved = shift.toPoint();
    const int rounding = static_cast<int>(std::ceil(corner));
    const int reach = CornerReach(corner, radius);
    // The axes follow the outline as the shadow moves it; what the widget covers is the
    // outline where it stands.
    const Axis across(bounds.width(), outline.left() - bounds.left() + moved.x(), outline.width(), rounding,
                      reach);
    const Axis down(bounds.height(), outline.top() - bounds.top() + moved.y(), outline.height(), rounding,
                    reach);

    const qreal dpr = holder->devicePixelRatioF();
    ImageKey key{QSize(across.imageLength(), down.imageLength()),
                 QRect(across.toImage(across.before), down.toImage(down.before),
                       across.toImage(across.after) - across.toImage(across.before),
                       down.toImage(down.after) - down.toImage(down.before)),
                 corner,
                 radius,
                 shadowColor.rgba(),
                 dpr};
    QHash<ImageKey, QImage>& images = Images();
    auto found = images.constFind(key);
    if (found == images.constEnd()) {
        if (images.size() >= kKeptImages) {
            images.clear();
        }
        found = images.insert(key, MakeImage(key));
    }
    const QImage& image = *found;

    // The covered part: the widget's outline less its rounded corners.
    const QRect covered = outline.translated(-bounds.topLeft());
    const QRect coveredRows = covered.adjusted(0, rounding, 0, -rounding);
    const QRect coveredColumns = covered.adjusted(rounding, 0, -rounding, 0);
    const QVector<int> xs = across.cuts();
    const QVector<int> ys = down.cuts();
    for (int row = 0; row + 1 < ys.size(); ++row) {
        const int top = ys[row];
        const int bottom = ys[row + 1];
        for (int column = 0; column + 1 < xs.size(); ++column) {
            const int left = xs[column];
            const int right = xs[column + 1];
            const QRect cell(left, top, right - left, bottom - top);
            if (cell.isEmpty() || coveredRows.contains(cell) || coveredColumns.contains(cell) ||
                !cell.translated(bounds.topLeft()).intersects(exposed)) {
                continue;
            }
            // A cell over the part left out is the image's run of identical columns (rows)
            // stretched over it; any other cell is a piece of the image as it is.
            const bool runX = across.isRun(left, right);
            const bool runY = down.isRun(top, bottom);
            const QRectF source(runX ? across.runStart : across.toImage(left),
                                runY ? down.runStart : down.toImage(top), runX ? across.run : cell.width(),
                                runY ? down.run : cell.height());
            painter->drawImage(QRectF(cell.translated(bounds.topLeft())), image,
                               QRectF(source.topLeft() * dpr, source.size() * dpr));
        }
    }
}

void PaintedShadow::paintPicture(QPainter* painter, const QRect& exposed) {
    if (radius <= 0 && shift.isNull()) {
        return;
    }
    const QRect bounds = shadowRect();
    const qreal dpr = holder->devicePixelRatioF();
    const BodyKey key{bodyKind, bounds.size(), shadowColor.rgba(), shift, radius, dpr};
    if ((picture.isNull() || picture.devicePixelRatio() != dpr) && !bodyKind.isEmpty()) {
        picture = Bodies().value(key);
    }
    if (picture.isNull() || picture.devicePixelRatio() != dpr) {
        // As the effect takes it: the widget with all it holds in an image of the shadow's
        // bounds, at its place there, then moved by the offset. A shared body's children
        // add nothing to its picture's alpha: its own background is taken alone.
        QImage taken(bounds.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        taken.setDevicePixelRatio(dpr);
        taken.fill(Qt::transparent);
        shadowed->render(&taken, shadowed->pos() - bounds.topLeft(), QRegion(),
                         bodyKind.isEmpty() ? QWidget::DrawChildren : QWidget::RenderFlags());
        // Then the steps of Qt's drop shadow filter, each as it takes it, so that the shadow
        // is the effect's to the last bit.
        QImage moved(taken.size(), QImage::Format_ARGB32_Premultiplied);
        moved.setDevicePixelRatio(dpr);
        moved.fill(Qt::transparent);
        {
            QPainter mover(&moved);
            mover.setCompositionMode(QPainter::CompositionMode_Source);
            mover.drawImage(shift, taken);
        }
        QImage blurred(moved.size(), QImage::Format_ARGB32_Premultiplied);
        blurred.setDevicePixelRatio(dpr);
        blurred.fill(Qt::transparent);
        {
            QPainter blurrer(&blurred);
            qt_blurImage(&blurrer, moved, radius * dpr, false, true);
        }
        {
            QPainter colourer(&blurred);
            colourer.setCompositionMode(QPainter::CompositionMode_SourceIn);
            colourer.fillRect(blurred.rect(), shadowColor);
        }
        picture = std::move(blurred);
        ++madeCount;
        if (!bodyKind.isEmpty()) {
            QHash<BodyKey, QImage>& bodies = Bodies();
            if (bodies.size() >= kKeptBodies) {
                bodies.clear();
            }
            bodies.insert(key, picture);
        }
    }
    const QRect part = exposed & bounds;
    painter->drawImage(QRectF(part), picture,
                       QRectF(QPointF(part.topLeft() - bounds.topLeft()) * dpr, QSizeF(part.size()) * dpr));
}
