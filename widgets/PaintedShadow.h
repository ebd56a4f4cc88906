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
//
// A see-through widget (the tray pop-up's body) lets its shadow show through it, and the
// shadow then holds what the widget holds: Qt's effect blurs the alpha of the widget's whole
// picture. In the picture shape the shadow is made so, by the steps of Qt's drop shadow
// filter, from the widget's picture taken once (at its first paint, and again at each new
// size, style, colour, offset or radius, at each show, or when asked); a text that changes
// each second inside it does not make it again. Where the widget is see-through, what it
// holds is blended over the shadow directly rather than through a picture of its own, which
// may differ from the effect by a level of a colour channel.
#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

class PaintedShadow : public QObject {
    Q_OBJECT
public:
    // The shadow of `target`, painted by its parent widget; it lives as long as the target.
    PaintedShadow(QWidget* target, qreal cornerRadius, const QMargins& inset = QMargins());
    // What the shadow is the blur of.
    enum class Shape {
        Outline, // the rounded outline, opaque
        Picture, // the alpha of the widget's picture with all it holds
    };
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
    Shape shape() const;
    void setShape(Shape value);
    // In the picture shape: the widget's look changed beyond what may go without a new
    // shadow; its picture is taken again at the next paint.
    void retakePicture();
    // In the picture shape: the widget is an opaque body whose children all lie inside it,
    // so that its own background alone gives the shadow. The picture is then taken without
    // the children (a dialog's long list is not drawn a second time for it) and kept for
    // every widget of the same `kind`, by size, colour, offset, radius and pixel ratio, so
    // that a dialog opened again finds its shadow made. An empty kind: the whole picture,
    // for this widget alone.
    void setSharedBody(const QString& kind);
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
    void paintPicture(QPainter* painter, const QRect& exposed);
    void repaintShadow();

    QWidget* shadowed;
    QWidget* holder;
    qreal corner;
    QMargins inset;
    QColor shadowColor{63, 63, 63, 180};
    qreal radius = 1;
    QPointF shift{8, 8};
    bool shown = true;
    Shape shapeKind = Shape::Outline;
    QImage picture;   // the shadow in the picture shape, null until the next paint takes it
    QString bodyKind; // see setSharedBody
    QRect lastRect;   // where the shadow was last shown, for the repaint after a move
};
