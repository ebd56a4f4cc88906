// A header that can draw a check box in one section (a click toggles it) and a pair of
// sort arrows in another (a click steps none, up, down). -1 leaves a column out.
#pragma once

#include <QCheckBox>
#include <QHeaderView>

class QPushButton;

class ZRHeaderView : public QHeaderView {
    Q_OBJECT
public:
    enum { SortNone = 0, SortUp = 1, SortDown = 2 };

    ZRHeaderView(int checkColumn, int sortColumn, Qt::Orientation orientation, QWidget* parent = nullptr);
    ~ZRHeaderView() override;

    void setCheckBoxLeft(int x);
    void setSortOffset(int offset);

signals:
    void signalStateChanged(bool checked);
    void signalSortChanged(int sortType);

public slots:
    void setCheckEx(bool bCheck);
    void setSortType(int iSortType);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

    bool boxChecked = false;
    int checkBoxLeft = 12;
    int checkColumn;
    // Handed to the style when the box is drawn, for the style sheet's context; never shown.
    QCheckBox checkBoxWidget;
    int sortState = SortNone;
    int sortColumn;
    int sortOffset = 0;
    QPushButton* sortUpButton;
    QPushButton* sortDownButton;
};
