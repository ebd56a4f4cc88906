// The hourly traffic chart: bar geometry in both geometries, colours by upload and
// hover, the hover pop-up with its texts and place, and series shorter than a day.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "GuiTest.h"
#include "HomeTestSupport.h"
#include "PaintedShadow.h"
#include "VPNBarChart.h"
#include "VPNBarChartDetail.h"

using hometest::blend;
using hometest::near;

namespace {

QVector<double> hours(std::initializer_list<std::pair<int, double>> values, int size = 24) {
    QVector<double> series(size, 0.0);
    for (const auto& value : values) {
        series[value.first] = value.second;
    }
    return series;
}

void moveMouse(QWidget* widget, const QPoint& pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

QColor pixel(const QImage& image, const QPoint& at) {
    return image.pixelColor(at);
}

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::applyColorMode(1); }
    void TearDown() override { guitest::applyColorMode(1); }
};

TEST_F(ChartTest, BarsAreLaidOutForEachGeometry) {
    struct Case {
        const char* name;
        bool compact;
        QSize size;
        QVector<double> upload;
        QVector<double> download;
        int hour;
        QRect bar;
    };
    const Case cases[] = {
        // Normal at the home page's size: spacing (354 - 312 - 22) / 23 = 0, base 76.
        {"idle hour is a stub", false, {354, 100}, hours({}), hours({}), 0, {11, 70, 13, 6}},
        {"last idle hour", false, {354, 100}, hours({}), hours({}), 23, {13 * 23 + 11, 70, 13, 6}},
        {"busiest hour reaches the top",
         false,
         {354, 100},
         hours({{5, 0.005}}),
         hours({}),
         5,
         {76, 0, 13, 76}},
        {"half of the busiest", false, {354, 100}, hours({{1, 4}}), hours({{2, 2}}), 2, {37, 35, 13, 41}},
        {"download counts toward the height",
         false,
         {354, 100},
         hours({{3, 1}}),
         hours({{3, 1}, {4, 2}}),
         4,
         {63, 0, 13, 76}},
        // Wider: spacing (600 - 312 - 22) / 23 = 11.
        {"spacing from the width", false, {600, 100}, hours({}), hours({}), 2, {2 * 24 + 11, 70, 13, 6}},
        // Compact, as in the tray pop-up: spacing (224 - 168 - 10) / 23 = 2, base 30.
        {"compact stub", true, {224, 50}, hours({}), hours({}), 1, {14, 24, 7, 6}},
        {"compact keeps small traffic a stub",
         true,
         {224, 50},
         hours({{5, 0.005}}),
         hours({}),
         5,
         {50, 24, 7, 6}},
        {"compact busiest hour", true, {224, 50}, hours({{23, 2}}), hours({}), 23, {23 * 9 + 5, 0, 7, 30}},
        {"negative values stay stubs", false, {354, 100}, hours({{0, -3}}), hours({}), 0, {11, 70, 13, 6}},
    };
    for (const Case& c : cases) {
        VPNBarChart chart;
        chart.resize(c.size);
        chart.setCompactMode(c.compact);
        chart.setFlowData(c.upload, c.download);
        ASSERT_EQ(chart.barRectangles().size(), 24) << c.name;
        EXPECT_EQ(chart.barRectangles()[c.hour], c.bar) << c.name;
    }
}

TEST_F(ChartTest, GeometryFollowsTheSizeAndModeOfTheLastSetFlowData) {
    VPNBarChart chart;
    chart.resize(354, 100);
    chart.setFlowData(hours({}), hours({}));
    chart.resize(600, 200);
    EXPECT_EQ(chart.barRectangles()[0], QRect(11, 70, 13, 6)) << "a resize alone lays out nothing";
    chart.setCompactMode(true);
    EXPECT_EQ(chart.barRectangles()[0], QRect(11, 70, 13, 6));
    chart.clearFlowData();
    EXPECT_EQ(chart.barRectangles()[0], QRect(5, 174, 7, 6));
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The data come once a second while connected: the chart is painted again only when its
// bars change in a way that shows (a height, or a bar turning active), not for every
// second's small increase or the same data again.
TEST_F(ChartTest, PaintsAgainOnlyWhenWhatItShowsChanged) {
    VPNBarChart chart;
    chart.resize(354, 100);
    chart.setFlowData(hours({{3, 40}}), hours({{3, 40}}));
    ASSERT_TRUE(guitest::showAndExpose(&chart));
    QApplication::processEvents();
    PaintCounter counter(&chart);
    const struct {
        const char* name;
        QVector<double> upload;
        QVector<double> download;
        bool painted;
    } steps[] = {
        {"the same data", hours({{3, 40}}), hours({{3, 40}}), false},
        {"a rise too small to move a pixel", hours({{3, 40.01}}), hours({{3, 40.01}}), false},
        {"another hour grows", hours({{3, 40.01}, {4, 30}}), hours({{3, 40.01}}), true},
        {"download only, in an idle hour", hours({{3, 40.01}, {4, 30}}), hours({{3, 40.01}, {5, 0.001}}),
         false},
        {"an hour turns active", hours({{3, 40.01}, {4, 30}, {5, 0.001}}), hours({{3, 40.01}, {5, 0.001}}),
         true},
    };
    for (const auto& step : steps) {
        counter.paints = 0;
        chart.setFlowData(step.upload, step.download);
        QApplication::processEvents();
        EXPECT_EQ(counter.paints > 0, step.painted) << step.name;
    }
}

TEST_F(ChartTest, SeriesShorterOrLongerThanADayAreSafe) {
    VPNBarChart chart;
    chart.resize(354, 100);
    chart.show();
    chart.setFlowData(QVector<double>{5.0}, QVector<double>());
    ASSERT_EQ(chart.barRectangles().size(), 24);
    EXPECT_EQ(chart.barRectangles()[0], QRect(11, 0, 13, 76));
    EXPECT_EQ(chart.barRectangles()[23].height(), 6);

    // Painting and hovering the hours the series lacks read no value.
    const QImage image = chart.grab().toImage();
    EXPECT_TRUE(near(pixel(image, chart.barRectangles()[0].center()), QColor("#0492EB")));
    const QColor background = pixel(image, QPoint(1, 1));
    EXPECT_TRUE(
        near(pixel(image, chart.barRectangles()[20].center()), blend(QColor("#1D2529"), 0x3D, background)));
    moveMouse(&chart, chart.barRectangles()[20].center());
    EXPECT_EQ(chart.detail()->findChild<QLabel*>("labelUpload")->text(), QStringLiteral("0.00MB"));
    leave(&chart);

    chart.setFlowData(QVector<double>(30, 1.0), QVector<double>(30, 1.0));
    EXPECT_EQ(chart.barRectangles().size(), 24);

    // A value that is no number does not spoil the other hours.
    chart.setFlowData(hours({{0, std::numeric_limits<double>::infinity()}, {1, 2}}),
                      hours({{2, std::nan("")}}));
    EXPECT_EQ(chart.barRectangles()[0].height(), 6);
    EXPECT_EQ(chart.barRectangles()[1], QRect(24, 0, 13, 76));
    EXPECT_EQ(chart.barRectangles()[2].height(), 6);
}

TEST_F(ChartTest, BarColourFollowsUploadAndHover) {
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        VPNBarChart chart;
        chart.resize(600, 100);
        ASSERT_TRUE(guitest::showAndExpose(&chart));
        // Hour 3 uploads, hour 4 only downloads, hour 5 is idle.
        chart.setFlowData(hours({{3, 2}}), hours({{4, 3}}));
        const QList<QRect> bars = chart.barRectangles();
        EXPECT_EQ(bars[4].height(), 6 + 70 * 3 / 3) << "download alone still sets the height";

        QImage image = chart.grab().toImage();
        const QColor background = pixel(image, QPoint(1, 1));
        const QColor idle = mode == 2 ? QColor("#37455C") : blend(QColor("#1D2529"), 0x3D, background);
        EXPECT_TRUE(near(pixel(image, bars[3].center()), QColor("#0492EB"))) << mode;
        EXPECT_TRUE(near(pixel(image, bars[4].center()), idle)) << mode;
        EXPECT_TRUE(near(pixel(image, bars[5].center()), idle)) << mode;

        moveMouse(&chart, bars[3].center());
        image = chart.grab().toImage();
        EXPECT_TRUE(near(pixel(image, bars[3].center()), QColor("#72C1F3"))) << mode;
        moveMouse(&chart, bars[4].center());
        image = chart.grab().toImage();
        EXPECT_TRUE(near(pixel(image, bars[4].center()), idle)) << "no hover colour without upload";
        EXPECT_TRUE(near(pixel(image, bars[3].center()), QColor("#0492EB")));
        leave(&chart);
        image = chart.grab().toImage();
        EXPECT_TRUE(near(pixel(image, bars[3].center()), QColor("#0492EB")));
    }
}

TEST_F(ChartTest, HoverShowsTheBarsHourAndValuesAboveIt) {
    VPNBarChart chart;
    chart.resize(600, 100);
    ASSERT_TRUE(guitest::showAndExpose(&chart));
    chart.setFlowData(hours({{13, 1536}}), hours({{13, 12.3456}}));
    VPNBarChartDetail* popup = chart.detail();
    EXPECT_EQ(popup->parent(), nullptr);

    const QRect bar = chart.barRectangles()[13];
    const QPoint at = bar.center();
    moveMouse(&chart, at);
    ASSERT_TRUE(popup->isVisible());
    EXPECT_FALSE(popup->isModal());
    EXPECT_EQ(popup->findChild<QLabel*>("labelTime")->text(), QStringLiteral("1:00pm"));
    EXPECT_EQ(popup->findChild<QLabel*>("labelUpload")->text(), QStringLiteral("1.50GB"));
    EXPECT_EQ(popup->findChild<QLabel*>("labelDownload")->text(), QStringLiteral("12.35MB"));
    const QPoint global = chart.mapToGlobal(at);
    EXPECT_EQ(popup->pos(), QPoint(global.x() - popup->width() + 45, chart.mapToGlobal(QPoint(0, 76)).y() -
                                                                         bar.height() - popup->height() - 8));

    // Edges count as inside; the gap between two bars does not.
    moveMouse(&chart, bar.topLeft());
    EXPECT_TRUE(popup->isVisible());
    moveMouse(&chart, QPoint(bar.right() + 3, bar.bottom()));
    EXPECT_FALSE(popup->isVisible());
    moveMouse(&chart, at);
    EXPECT_TRUE(popup->isVisible());
    leave(&chart);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(ChartTest, CompactChartShowsNoPopup) {
    VPNBarChart chart;
    chart.resize(224, 50);
    chart.setCompactMode(true);
    ASSERT_TRUE(guitest::showAndExpose(&chart));
    chart.setFlowData(hours({{2, 3}}), hours({}));
    moveMouse(&chart, chart.barRectangles()[2].center());
    EXPECT_FALSE(chart.detail()->isVisible());
    const QImage image = chart.grab().toImage();
    EXPECT_TRUE(near(pixel(image, chart.barRectangles()[2].center()), QColor("#72C1F3")));
}

TEST(ChartTexts, HourLabels) {
    const struct {
        int hour;
        bool shortForm;
        const char* text;
    } cases[] = {{0, false, "0:00am"},   {9, false, "9:00am"}, {12, false, "12:00am"}, {13, false, "1:00pm"},
                 {23, false, "11:00pm"}, {5, true, "5am"},     {12, true, "12am"},     {15, true, "3pm"}};
    for (const auto& c : cases) {
        EXPECT_EQ(VPNBarChart::hourLabel(c.hour, c.shortForm), QString::fromLatin1(c.text)) << c.hour;
    }
}

TEST(ChartTexts, PopupValues) {
    const struct {
        double mib;
        const char* text;
    } cases[] = {{0, "0.00MB"},      {12.3456, "12.35MB"}, {1024, "1024.00MB"},
                 {1024.5, "1.00GB"}, {1536, "1.50GB"},     {3 * 1024 * 1024, "3072.00GB"}};
    for (const auto& c : cases) {
        EXPECT_EQ(VPNBarChartDetail::trafficText(c.mib), QString::fromLatin1(c.text)) << c.mib;
    }
    VPNBarChartDetail popup;
    popup.setData(QStringLiteral("7:00am"), 1536, 0.5);
    EXPECT_EQ(popup.findChild<QLabel*>("labelTime")->text(), QStringLiteral("7:00am"));
    EXPECT_EQ(popup.findChild<QLabel*>("labelUpload")->text(), QStringLiteral("1.50GB"));
    EXPECT_EQ(popup.findChild<QLabel*>("labelDownload")->text(), QStringLiteral("0.50MB"));
}

TEST_F(ChartTest, PopupBodyFollowsTheColourModeAndKeepsItsShadow) {
    VPNBarChartDetail popup;
    QWidget* body = popup.findChild<QWidget*>("dialogWidget");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->size(), QSize(207, 82));
    guitest::applyColorMode(2);
    EXPECT_EQ(body->styleSheet(),
              QStringLiteral("#dialogWidget{background:#1FFFFFFF}QLabel{color:#FFFFFFFF}"));
    guitest::applyColorMode(1);
    EXPECT_EQ(body->styleSheet(),
              QStringLiteral("#dialogWidget{background:#A3000000}QLabel{color:#FFFFFFFF}"));
    PaintedShadow* shadow = PaintedShadow::of(body);
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->blurRadius(), 7);
    // The see-through body shows its shadow through it, with its texts' shadows.
    EXPECT_EQ(shadow->shape(), PaintedShadow::Shape::Picture);
}

} // namespace
