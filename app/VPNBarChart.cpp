#include "VPNBarChart.h"

#include <QBitArray>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "HomeResources.h"
#include "PixelFont.h"
#include "SystemContext.h"

namespace {

// The two geometries: bar width, distance of the base line from the bottom, the room
// left at the sides, the first bar's left edge, and the largest total below which
// every bar stays a stub.
struct Geometry {
    int barWidth;
    int baseOffset;
    int sideRoom;
    int firstLeft;
    double scaleThreshold;
};
const Geometry kNormal = {13, 24, 22, 11, 1e-10};
const Geometry kCompact = {7, 20, 10, 5, 0.01};

const int kStubHeight = 6;
const qreal kBarRadius = 2;
// The axis labels: 9 points on a 96-dpi screen, at any dpi.
const int kAxisFontPoints = 9;
const int kAxisBoxWidth = 32;
const int kAxisBoxHeight = 16;
const int kDetailOffsetX = 45;
const int kDetailGap = 8;

} // namespace

VPNBarChart::VPNBarChart(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

VPNBarChart::~VPNBarChart() = default;

double VPNBarChart::valueAt(const QVector<double>& series, int hour) {
    if (hour < 0 || hour >= series.size()) {
        return 0;
    }
    return series[hour];
}

bool VPNBarChart::setFlowData(const QVector<double>& upload, const QVector<double>& download) {
    uploadFlow = upload;
    downloadFlow = download;

    // A value that is no finite number counts as nothing transferred.
    double totals[HourCount];
    double max = 0;
    for (int i = 0; i < HourCount; ++i) {
        const double total = valueAt(uploadFlow, i) + valueAt(downloadFlow, i);
        totals[i] = std::isfinite(total) ? total : 0;
        if (totals[i] > max) {
            max = totals[i];
        }
    }

    const Geometry& g = compactMode ? kCompact : kNormal;
    const int base = height() - g.baseOffset;
    const int spacing = (width() - g.barWidth * HourCount - g.sideRoom) / (HourCount - 1);
    QList<QRect> bars;
    bars.reserve(HourCount);
    QBitArray uploaded(HourCount);
    for (int i = 0; i < HourCount; ++i) {
        int barHeight = kStubHeight;
        if (totals[i] > 0 && max >= g.scaleThreshold) {
            barHeight = kStubHeight + static_cast<int>((base - kStubHeight) * totals[i] / max);
        }
        const int left = (spacing + g.barWidth) * i + g.firstLeft;
        bars.append(QRect(left, base - barHeight, g.barWidth, barHeight));
        uploaded.setBit(i, valueAt(uploadFlow, i) != 0);
    }
    // The data come each second while connected; the chart is painted again only when what
    // it shows changed: a bar's size, or whether a bar is drawn as active.
    if (bars == barRects && uploaded == activeBars) {
        return false;
    }
    barRects = bars;
    activeBars = uploaded;
    update();
    return true;
}

void VPNBarChart::clearFlowData() {
    setFlowData(QVector<double>(HourCount, 0.0), QVector<double>(HourCount, 0.0));
}

void VPNBarChart::setCompactMode(bool compact) {
    compactMode = compact;
}

bool VPNBarChart::isCompactMode() const {
    return compactMode;
}

QString VPNBarChart::hourLabel(int hour, bool shortForm) {
    if (hour <= 12) {
        return QString::number(hour) + QLatin1String(shortForm ? "am" : ":00am");
    }
    return QString::number(hour - 12) + QLatin1String(shortForm ? "pm" : ":00pm");
}

const QList<QRect>& VPNBarChart::barRectangles() const {
    return barRects;
}

VPNBarChartDetail* VPNBarChart::detail() {
    if (!detailPopup) {
        detailPopup = std::make_unique<VPNBarChartDetail>(nullptr);
    }
    return detailPopup.get();
}

void VPNBarChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = SystemContext::GetSettingManager()->colorMode() == COLOR_MODE_DARK;

    painter.save();
    for (int i = 0; i < barRects.size(); ++i) {
        const QRect& bar = barRects[i];
        if (valueAt(uploadFlow, i) != 0) {
            const QColor color(bar.contains(hoverPos) ? HomeResources::kBarHover : HomeResources::kBarActive);
            painter.setPen(color);
            painter.setBrush(color);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(dark ? HomeResources::kBarIdleDark : HomeResources::kBarIdleLight));
        }
        painter.drawRoundedRect(bar, kBarRadius, kBarRadius, Qt::AbsoluteSize);
    }
    painter.restore();

    painter.setFont(pixelFont(QLatin1String(HomeResources::kBrandFamily), kAxisFontPoints));
    painter.setPen(QColor(dark ? HomeResources::kAxisDark : HomeResources::kAxisLight));
    const int w = width();
    const int top = height() - kAxisBoxHeight;
    const struct {
        int x;
        const char* text;
    } labels[] = {{w / 2 - 5, "12AM"}, {0, "0AM"}, {w - kAxisBoxWidth, "11PM"}};
    for (const auto& label : labels) {
        // Centred in its box; a text wider than the box is drawn whole, not cut.
        painter.drawText(QRect(label.x, top, kAxisBoxWidth, kAxisBoxHeight),
                         Qt::AlignCenter | Qt::TextDontClip, QLatin1String(label.text));
    }
}

void VPNBarChart::mouseMoveEvent(QMouseEvent* event) {
    hoverPos = event->pos();
    update();
    for (int i = 0; i < barRects.size(); ++i) {
        const QRect& bar = barRects[i];
        if (!bar.contains(hoverPos)) {
            continue;
        }
        if (compactMode) {
            break;
        }
        VPNBarChartDetail* popup = detail();
        popup->setData(hourLabel(i, false), valueAt(uploadFlow, i), valueAt(downloadFlow, i));
        const int x = event->globalPos().x() - popup->width() + kDetailOffsetX;
        const int y = mapToGlobal(QPoint(0, height() - kNormal.baseOffset)).y() - bar.height() -
                      popup->height() - kDetailGap;
        popup->move(x, y);
        popup->show();
        return;
    }
    if (detailPopup && detailPopup->isVisible()) {
        detailPopup->hide();
    }
}

void VPNBarChart::leaveEvent(QEvent*) {
    hoverPos = QPoint(-1, -1);
    // Repaint so that the bar last under the pointer loses its hover colour.
    update();
    if (detailPopup && detailPopup->isVisible()) {
        detailPopup->hide();
    }
}
