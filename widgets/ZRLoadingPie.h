// A small busy indicator: ten dots of decreasing size on a circle, turned a tenth of a
// turn every 50 ms. Mode 0 is large (80 x 100, with a caption), mode 1 small (24 x 24).
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>

class ZRLoadingPie : public QDialog {
    Q_OBJECT
public:
    enum { ModeLarge = 0, ModeSmall = 1 };

    ZRLoadingPie(QWidget* parent, int mode);
    ~ZRLoadingPie() override;

protected slots:
    void slotUpdataLoading();
    void slotStartLoading();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Takes the picture of what lies beneath (underlay), or drops it where the screen blends.
    void takeUnderlay();

    QTimer timer;
    int step = 0;
    int mode;
    // What the parent's window shows beneath the spinner, painted under the dots where no
    // compositing manager shows the spinner's transparent square see-through (null where
    // one does).
    QPixmap underlay;
};
