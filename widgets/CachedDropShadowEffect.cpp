#include "CachedDropShadowEffect.h"

#include <QGraphicsBlurEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <cmath>

CachedDropShadowEffect::CachedDropShadowEffect(QObject* parent) : QGraphicsDropShadowEffect(parent) {
    const auto forget = [this] { madeFor = QSize(); };
    connect(this, &QGraphicsDropShadowEffect::colorChanged, this, forget);
    connect(this, &QGraphicsDropShadowEffect::offsetChanged, this, forget);
    connect(this, &QGraphicsDropShadowEffect::blurRadiusChanged, this, forget);
}

void CachedDropShadowEffect::sourceChanged(ChangeFlags flags) {
    if (flags & SourceBoundingRectChanged) {
        madeFor = QSize();
    }
    QGraphicsDropShadowEffect::sourceChanged(flags);
}

namespace {

// Qt's blur effect blurs by 2.5 times its radius; the drop shadow by its radius itself.
constexpr qreal kBlurEffectRadiusScale = 2.5;

} // namespace

// The outline of the widget's picture in the shadow's colour, blurred as the drop shadow
// blurs it (the same blur of the same radius); placed relative to the picture's top left.
void CachedDropShadowEffect::renderShadow(const QPixmap& source) {
    madeFor = source.size();
    ++renders;
    QImage outline(source.size(), QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        painter.drawPixmap(0, 0, source);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(outline.rect(), color());
    }
    const int pad = static_cast<int>(std::ceil(blurRadius())) + 1;
    QGraphicsScene scene;
    auto* item = new QGraphicsPixmapItem(QPixmap::fromImage(outline));
    auto* blur = new QGraphicsBlurEffect;
    blur->setBlurRadius(blurRadius() / kBlurEffectRadiusScale);
    item->setGraphicsEffect(blur);
    scene.addItem(item);
    const QRectF area(-pad, -pad, outline.width() + 2 * pad, outline.height() + 2 * pad);
    scene.setSceneRect(area);
    shadow = QImage(area.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter painter(&shadow);
        scene.render(&painter, QRectF(QPointF(0, 0), area.size()), area);
    }
    shadowDelta = QPoint(-pad, -pad) + offset().toPoint();
}

// As Qt's drop shadow draws itself: the widget's picture in device coordinates, drawn with
// the painter's transform set aside, the shadow beneath it; only the blur is kept. The
// widget is drawn from that picture: painting it once more through drawSource after taking
// its picture misplaced widgets inside it that have shadows of their own.
void CachedDropShadowEffect::draw(QPainter* painter) {
    if (blurRadius() <= 0 && offset().isNull()) {
        drawSource(painter);
        return;
    }
    QPoint topLeft;
    const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &topLeft, NoPad);
    if (source.isNull()) {
        return;
    }
    if (madeFor != source.size() || shadow.isNull()) {
        renderShadow(source);
    }
    const QTransform kept = painter->worldTransform();
    painter->setWorldTransform(QTransform());
    painter->drawImage(topLeft + shadowDelta, shadow);
    painter->drawPixmap(topLeft, source);
    painter->setWorldTransform(kept);
}
