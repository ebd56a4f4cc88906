// A drop shadow whose blurred image is made once per size of the widget it belongs to.
// QGraphicsDropShadowEffect blurs the widget's whole picture again on every paint, so a
// label that changes each second inside a card or the main window costs a full blur each
// second. Here the widget itself is painted directly and the shadow, which only depends on
// the widget's outline, comes from the cached image; it is made again when the widget's
// size, or the shadow's colour, offset or blur radius, changes.
#pragma once

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QRect>

class CachedDropShadowEffect : public QGraphicsDropShadowEffect {
    Q_OBJECT

public:
    explicit CachedDropShadowEffect(QObject* parent = nullptr);

    // How often the shadow was made (for tests).
    int renderCount() const { return renders; }

protected:
    void draw(QPainter* painter) override;
    void sourceChanged(ChangeFlags flags) override;

private:
    void renderShadow();

    QImage shadow; // in device pixels, placed at shadowTopLeft
    QPoint shadowTopLeft;
    QRect madeFor; // the source's device rectangle the shadow was made for
    int renders = 0;
};
