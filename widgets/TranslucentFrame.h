// A translucent top-level window whose body lies inside a transparent margin (that holds
// the body's drop shadow) or has rounded corners over a transparent background. Where the
// window's screen does not blend translucent pixels (X11 without a compositing manager, see
// Compositing), the server would show that margin and those corners black: the window is
// then cut to its body's rounded outline by a window shape (QWidget::setMask), and its
// shadow is turned off. Where the screen blends, the window stays as it was made.
//
// The choice is made at each show of the window and again whenever a compositing manager
// starts or stops; while the window is cut, the shape follows the body's size and place.
// The shape keeps only the pixels the body paints opaque: a corner pixel that the rounding
// leaves partly transparent would show darkened over black, so it is cut too.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <functional>

class QWidget;

class TranslucentFrame : public QObject {
    Q_OBJECT
public:
    // Turns the window's shadow on (true) or off.
    using ShadowSwitch = std::function<void(bool shown)>;
    // Where the body lies, in the window's coordinates.
    using Outline = std::function<QRect()>;

    // The body is `body` (a widget of the window, or the window itself): its rectangle less
    // `inset`, with corners rounded by `cornerRadius`. The frame lives as long as the window.
    TranslucentFrame(QWidget* window, QWidget* body, qreal cornerRadius, const QMargins& inset = QMargins(),
                     ShadowSwitch shadow = ShadowSwitch());
    TranslucentFrame(QWidget* window, Outline outline, qreal cornerRadius,
                     ShadowSwitch shadow = ShadowSwitch());

    // The frame of the window, or null.
    static TranslucentFrame* of(const QWidget* window);

    // False while the window is cut to its body (no compositing manager), true otherwise.
    bool blended() const;
    // The body's outline in the window's coordinates.
    QRect outline() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Decides again whether the screen blends, and shapes the window for the answer.
    void apply();
    // Shapes the window for the current answer (the body may have moved or grown).
    void reshape();

    QWidget* window;
    QWidget* body = nullptr;
    Outline bodyOutline;
    qreal corner;
    ShadowSwitch shadowSwitch;
    bool isBlended = true;
    QRect shapedOutline; // the outline of the shape in force, empty while none is
};
