// The part of a screen that windows may cover (the screen less its panels).
#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

// The available area of the screen that holds the widget; of the primary screen when
// the widget is null.
QRect availableAreaOf(const QWidget* widget);

// Keeps a window of the given size at `pos` inside `area` as far as it fits; a window
// larger than the area gets the area's top-left corner.
QPoint clampIntoArea(const QPoint& pos, const QSize& size, const QRect& area);
