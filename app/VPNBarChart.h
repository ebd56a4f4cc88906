// The traffic of the 24 hours of the day as 24 rounded bars with three axis labels.
// The normal geometry, on the home page, shows a pop-up with the hour, upload and
// download of the bar under the pointer; the compact geometry, in the tray pop-up,
// shows none. The chart only draws what it is given: two series of hourly values in
// MiB, upload first.
#pragma once

#include <QBitArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QVector>
#include <QWidget>
#include <memory>

#include "VPNBarChartDetail.h"

class VPNBarChart : public QWidget {
    Q_OBJECT
public:
    enum { HourCount = 24 };

    explicit VPNBarChart(QWidget* parent = nullptr);
    ~VPNBarChart() override;

    // Keeps copies of both series and lays the bars out for the chart's current size.
    // A series of fewer than 24 values counts the missing hours as 0; values past the
    // 24th are not drawn. True when what the chart draws changed (a bar's size, or whether
    // a bar is drawn as active).
    bool setFlowData(const QVector<double>& upload, const QVector<double>& download);
    // Two series of 24 zeros.
    void clearFlowData();
    // The geometry follows at the next setFlowData.
    void setCompactMode(bool compact);
    bool isCompactMode() const;

    // "0:00am" ... "12:00am", "1:00pm" ... "11:00pm"; the short form drops ":00".
    static QString hourLabel(int hour, bool shortForm);

    // The bars' rectangles in hour order, as last laid out.
    const QList<QRect>& barRectangles() const;
    // The hover pop-up (a top-level window of its own), made when it is first needed: a
    // chart that nobody hovers costs no window.
    VPNBarChartDetail* detail();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The value of an hour, 0 where the series holds none.
    static double valueAt(const QVector<double>& series, int hour);

    QVector<double> uploadFlow;
    QVector<double> downloadFlow;
    QList<QRect> barRects;
    QBitArray activeBars; // the hours with upload, drawn in the active colour
    QPoint hoverPos;
    std::unique_ptr<VPNBarChartDetail> detailPopup;
    bool compactMode = false;
};
