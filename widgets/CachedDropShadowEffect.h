// A drop shadow whose blurred image is made once per size of the widget it belongs to.
// QGraphicsDropShadowEffect blurs the widget's whole picture again on every paint, so a
// label that changes each second inside a card or the main window costs a full blur each
// second. Here only the widget's picture is taken on each paint, and the shadow, which only
// depends on the widget's outline, comes from the cached image; it is made again when the
// widget's size, or the shadow's colour, offset or blur radius, changes.
#pragma once

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QPoint>
#include <QSize>

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
    void renderShadow(const QPixmap& source);

    QImage shadow;      // in device pixels
    QPoint shadowDelta; // where the shadow lies from the top left of the widget's picture
    QSize madeFor;      // the size of the widget's picture the shadow was made for
    int renders = 0;
};
