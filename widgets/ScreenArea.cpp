#include "ScreenArea.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect availableAreaOf(const QWidget* widget) {
    QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QPoint clampIntoArea(const QPoint& pos, const QSize& size, const QRect& area) {
    // The lower bound comes last, so the top-left corner wins over the bottom-right.
    const int x = std::max(area.left(), std::min(pos.x(), area.right() - size.width()));
    const int y = std::max(area.top(), std::min(pos.y(), area.bottom() - size.height()));
    return QPoint(x, y);
}
