// The base of every dialog of the program: a frameless translucent window, a drop
// shadow around the dialog's body that follows the colour mode, dragging by a title
// rectangle, and centring on the parent on every show and resize.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

class ZRBaseDialog : public QDialog {
    Q_OBJECT
public:
    explicit ZRBaseDialog(QWidget* parent = nullptr);
    ~ZRBaseDialog() override;

    // The rectangle, in dialog coordinates, in which a left press starts a drag.
    void setDragRect(const QRect& rect);
    // Frameless dialog window with a translucent background.
    void setFramelessStyle();
    // Gives the target a drop shadow coloured for the remembered colour mode: a
    // PaintedShadow of the target's picture.
    void setShadow(QWidget* target, int blurRadius);
    // Centres the dialog on its parent, kept inside the parent screen's available area.
    void centerOnParent();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Called when the dialog is cut to its body without a shadow (false: no compositing
    // manager blends its translucent pixels) or shown whole again (true).
    virtual void blendingChanged(bool blended);

    // The colour mode the current shadow was made for (2 dark, anything else light).
    int colorMode = -1;
    bool dragging = false;
    QPoint dragOffset;
    QRect dragRect;
    QWidget* shadowTarget = nullptr;
};
