#include "CachedDropShadowEffect.h"

#include <QGraphicsBlurEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <cmath>

CachedDropShadowEffect::CachedDropShadowEffect(QObject* parent) : QGraphicsDropShadowEffect(parent) {
    const auto forget = [this] { madeFor = QRect(); };
    connect(this, &QGraphicsDropShadowEffect::colorChanged, this, forget);
    connect(this, &QGraphicsDropShadowEffect::offsetChanged, this, forget);
    connect(this, &QGraphicsDropShadowEffect::blurRadiusChanged, this, forget);
}

void CachedDropShadowEffect::sourceChanged(ChangeFlags flags) {
    if (flags & SourceBoundingRectChanged) {
        madeFor = QRect();
    }
    QGraphicsDropShadowEffect::sourceChanged(flags);
}

namespace {

// Qt's blur effect blurs by 2.5 times its radius; the drop shadow by its radius itself.
constexpr qreal kBlurEffectRadiusScale = 2.5;

} // namespace

// The outline of the widget's picture in the shadow's colour, blurred as the drop shadow
// blurs it (the same blur of the same radius), at the shadow's offset.
void CachedDropShadowEffect::renderShadow() {
    QPoint sourceTopLeft;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &sourceTopLeft, NoPad);
    madeFor = sourceBoundingRect(Qt::LogicalCoordinates).toAlignedRect();
    ++renders;
    if (source.isNull()) {
        shadow = QImage();
        return;
    }
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
    shadowTopLeft = sourceTopLeft + QPoint(-pad, -pad) + offset().toPoint();
}

void CachedDropShadowEffect::draw(QPainter* painter) {
    if (blurRadius() <= 0 && offset().isNull()) {
        drawSource(painter);
        return;
    }
    if (madeFor != sourceBoundingRect(Qt::LogicalCoordinates).toAlignedRect() || madeFor.isNull()) {
        renderShadow();
    }
    // A source with nothing to show (hidden, or of no size) is passed on as it is.
    if (!shadow.isNull() && painter->isActive()) {
        painter->drawImage(shadowTopLeft, shadow);
    }
    drawSource(painter);
}
