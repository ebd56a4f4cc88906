// The window on a HiDPI X desktop (the lane runs this with `Xft.dpi: 192`): texts that code
// draws keep their size beside the style sheets' texts, which are given in pixels. The
// traffic chart's axis labels, read back from the X server, stand no taller than a
// 13-pixel label of the style sheet and lie whole inside the chart, uncut at its ends.
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

#include "GuiTest.h"
#include "ScreenCheck.h"
#include "VPNBarChart.h"

namespace {

// The rows and columns of the picture's area where anything darker than the white
// background is drawn.
struct Ink {
    int top = -1;
    int bottom = -1;
    int left = -1;
    int right = -1;
    int height() const { return top < 0 ? 0 : bottom - top + 1; }
};

Ink inkIn(const QImage& picture, const QRect& area) {
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (qMin(c.red(), qMin(c.green(), c.blue())) >= 200) {
                continue;
            }
            ink.top = ink.top < 0 ? y : ink.top;
            ink.bottom = y;
            ink.left = ink.left < 0 ? x : qMin(ink.left, x);
            ink.right = qMax(ink.right, x);
        }
    }
    return ink;
}

TEST(HiDpiDesktop, ChartAxisLabelsKeepTheirSizeBesideTheStyleSheetsTexts) {
    if (!screen::onDisplay()) {
        GTEST_SKIP() << "no X server";
    }
    ASSERT_EQ(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY()), 192)
        << "the desktop's dpi did not reach the client";
    guitest::applyColorMode(1);
    screen::XServer server;
    ASSERT_TRUE(server.connected());

    QWidget window;
    window.setObjectName(QStringLiteral("hidpiWindow"));
    window.setStyleSheet(QStringLiteral("QWidget#hidpiWindow{background:#FFFFFF}"));
    auto* layout = new QHBoxLayout(&window);
    // The home page's chart at its size in the form, beside a label of the style sheet's
    // 13-pixel text.
    auto* chart = new VPNBarChart(&window);
    chart->setFixedSize(620, 120);
    auto* label = new QLabel(QStringLiteral("12AM"), &window);
    label->setObjectName(QStringLiteral("labelContent"));
    layout->addWidget(chart);
    layout->addWidget(label);
    ASSERT_TRUE(guitest::showAndExpose(&window));
    chart->clearFlowData();
    ASSERT_TRUE(screen::waitShown(&window, server, QStringLiteral("hidpi-chart")));

    const QImage shown = server.picture(screen::placeOnScreen(&window, server));
    const QPoint chartAt = chart->mapTo(&window, QPoint(0, 0));
    // The labels' strip: below the bars' base line, 24 pixels above the chart's bottom.
    const QRect strip(chartAt.x(), chartAt.y() + chart->height() - 16, chart->width(), 16);
    const Ink axis = inkIn(shown, strip);
    const Ink text = inkIn(shown, QRect(label->mapTo(&window, QPoint(0, 0)), label->size()));
    ASSERT_GT(axis.height(), 0) << "no axis label on the screen";
    ASSERT_GT(text.height(), 0) << "no label text on the screen";
    EXPECT_LE(axis.height(), text.height()) << "the axis labels stand taller than the window's small text";
    // "0AM" and "11PM" lie whole inside the chart: nothing drawn in its first and last
    // columns, where a text too wide for its box is cut.
    EXPECT_GT(axis.left, strip.left()) << "the first label is cut at the chart's left end";
    EXPECT_LT(axis.right, strip.right()) << "the last label is cut at the chart's right end";
    EXPECT_LT(axis.bottom, strip.bottom()) << "the labels are cut at the chart's bottom";
}

} // namespace
