// Fonts that code sets for drawing or measuring text, in pixels as the style sheets give
// theirs. A point size grows with the desktop's dpi (a HiDPI X desktop sets `Xft.dpi: 192`,
// which doubles it) while every text of the style sheets keeps its pixel size: such a
// font would stand twice as large as the rest of the window, and a width measured in it
// would be twice too wide.
#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QString>
#include <QtMath>

// The pixel size a point size has on a screen of 96 dpi, the size the window is drawn
// for: 9 points are 12 pixels, 10 are 13, 11 are 15, 14 are 19.
constexpr int pixelsOfPoints(int points) {
    return (points * 96 + 36) / 72;
}

// The family at the pixel size of `points` on a 96-dpi screen, at any dpi.
inline QFont pixelFont(const QString& family, int points, int weight = QFont::Normal, bool italic = false) {
    QFont font(family);
    font.setPixelSize(pixelsOfPoints(points));
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}

// The application's font in the family, at the pixel size its point size has on a 96-dpi
// screen: the texts that no style sheet gives a size keep theirs beside the others.
inline QFont pixelApplicationFont(const QString& family) {
    QFont font = QGuiApplication::font();
    font.setFamily(family);
    if (font.pixelSize() <= 0 && font.pointSizeF() > 0) {
        font.setPixelSize(qRound(font.pointSizeF() * 96 / 72));
    }
    return font;
}
