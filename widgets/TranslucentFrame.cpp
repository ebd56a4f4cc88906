#include "TranslucentFrame.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QVector>
#include <QWidget>
#include <QX11Info>
#include <algorithm>
#include <cmath>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

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

// Gives the window's X input region the region (in the window's coordinates), or the whole
// window again for an empty one. A window mask (QWidget::setMask) sets the bounding shape
// alone: the input shape follows the same outline, so that what the window does not show
// takes no clicks either, also where a window manager hands the input region on to the
// frame it puts around the window.
void SetInputShape(QWidget* window, const QRegion& region) {
    if (!QX11Info::isPlatformX11() || !window->testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    auto* connection = static_cast<xcb_connection_t*>(QX11Info::connection());
    const xcb_query_extension_reply_t* shape =
        connection != nullptr ? xcb_get_extension_data(connection, &xcb_shape_id) : nullptr;
    if (shape == nullptr || shape->present == 0) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (region.isEmpty()) {
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
    } else {
        // The server counts in device pixels.
        const qreal ratio = window->devicePixelRatioF();
        std::vector<xcb_rectangle_t> rectangles;
        for (const QRect& rect : region) {
            const QRect device =
                QRectF(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio)
                    .toAlignedRect();
            rectangles.push_back({static_cast<int16_t>(device.x()), static_cast<int16_t>(device.y()),
                                  static_cast<uint16_t>(device.width()),
                                  static_cast<uint16_t>(device.height())});
        }
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, id,
                             0, 0, static_cast<uint32_t>(rectangles.size()), rectangles.data());
    }
    xcb_flush(connection);
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
            SetInputShape(window, QRegion());
        }
        return;
    }
    const QRect now = outline();
    if (now == shapedOutline) {
        return;
    }
    shapedOutline = now;
    const QRegion shape = OpaqueRoundedRegion(now, corner);
    window->setMask(shape);
    SetInputShape(window, shape);
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
