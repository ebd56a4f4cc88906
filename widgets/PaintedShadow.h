// A drop shadow painted beneath a widget by the widget that holds it, from an image made
// once per size. It looks as QGraphicsDropShadowEffect's shadow of the widget's rounded
// outline (the same blur of the same radius, offset and colour), but a graphics effect
// renders the widget and all it holds into an image of its own on every paint, so that a
// label changing each second inside a card or the main window's frame costs a whole
// picture of it and a blur each time. Here the widget paints itself as any other widget;
// its parent paints the shadow beneath it before its children, and only where a repaint
// reaches the shadow.
//
// The outline is the widget's rectangle less an inset (the room a layout leaves for the
// shadow inside the widget itself), with rounded corners; what lies inside it is taken to
// be opaque, as the cards and the main window's frame are. For a large outline the image
// holds its corners and one row and column of each side, which are the same all along it,
// and the sides are stretched from them.
#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPointF>
#include <QRect>

class QPainter;
class QWidget;

class PaintedShadow : public QObject {
    Q_OBJECT
public:
    // The shadow of `target`, painted by its parent widget; it lives as long as the target.
    PaintedShadow(QWidget* target, qreal cornerRadius, const QMargins& inset = QMargins());
    ~PaintedShadow() override;

    // The shadow that `target` has, or null.
    static PaintedShadow* of(const QWidget* target);

    QWidget* target() const;
    QColor color() const;
    void setColor(const QColor& value);
    qreal blurRadius() const;
    void setBlurRadius(qreal value);
    QPointF offset() const;
    void setOffset(const QPointF& value);
    qreal cornerRadius() const;
    // Whether the shadow is painted (on by default): a window cut to its body, where no
    // compositing manager blends its margin, shows none.
    bool isShown() const;
    void setShown(bool value);

    // Where the shadow's image lies, in the parent's coordinates.
    QRect shadowRect() const;

    // How many shadow images the program has made (for tests and the benchmark).
    static int imagesMade();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paint(QPainter* painter, const QRect& exposed);
    void repaintShadow();

    QWidget* shadowed;
    QWidget* holder;
    qreal corner;
    QMargins inset;
    QColor shadowColor{63, 63, 63, 180};
    qreal radius = 1;
    QPointF shift{8, 8};
    bool shown = true;
    QRect lastRect; // where the shadow was last shown, for the repaint after a move
};
