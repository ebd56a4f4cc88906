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
//
// The label measures a new text three times for its hints. A plain one-line text, in the
// font and with the margins of the text the layouts last read, gives the hints that text
// gave when its line has the same size to the fraction of a pixel: the box measures that
// line once and asks the label only when it differs.
#pragma once

#include <QFont>
#include <QMargins>
#include <QSize>
#include <QSizeF>
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
    // What, besides its text's size, the label's hints follow.
    struct Look {
        QFont font;
        QMargins contents;
        int margin = 0;
        int indent = 0;
        int frame = 0;
        int alignment = 0;
        QSize minimum;
        bool operator==(const Look& other) const;
    };
    Look currentLook() const;
    // The size of the label's text on one line, or an invalid size for a text that the
    // label does not lay out as plain text on one line.
    QSizeF lineSize() const;
    // Notes the label's look and text's size as the layouts read the hints.
    void noteRead() const;

    QLabel* label;
    // The label's hints as the layouts last read them through the box.
    mutable QSize readHint;
    mutable QSize readMinimumHint;
    // The label's look and its text's line as they were when the hints were read.
    mutable Look readLook;
    mutable QSizeF readLine;
};
