// The place in a layout of a label whose text changes often (the connection time, each
// second while connected). A QLabel whose text changes asks its parent for a new layout,
// and Qt then lays out every level up to the window (each widget whose minimum and maximum
// sizes differ passes the request on), to find the same geometry as before and repaint one
// label. In a box, which has no layout of its own, the label's request ends at the box: the
// box passes it on only when the label's size hints differ from those the layouts last
// read, so the layout is the one the label would have had without the box. With the brand
// font's digits all of one width that is when the figure gains or loses a digit.
//
// The box stands where the label stood, with the label's size policy, minimum and maximum
// sizes, and gives the label all of its room. For labels without word wrap.
#pragma once

#include <QSize>
#include <QWidget>

class QLabel;

class FigureBox : public QWidget {
    Q_OBJECT
public:
    // Puts the label into a new box in its place in its parent's layout. Null, with the
    // label left as it was, when the label is in no layout.
    static FigureBox* hold(QLabel* label);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    explicit FigureBox(QLabel* label);
    // Passes a new layout on when the label's hints differ from those last read.
    void passOnHintChange();

    QLabel* label;
    // The label's hints as the layouts last read them through the box.
    mutable QSize readHint;
    mutable QSize readMinimumHint;
};
