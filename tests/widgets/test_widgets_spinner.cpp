// The busy spinner: its sizes, its step count and timer, and where dot 0 is drawn.
#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "ZRLoadingPie.h"

namespace {

class Spinner : public ZRLoadingPie {
public:
    explicit Spinner(int mode) : ZRLoadingPie(nullptr, mode) {}
    using ZRLoadingPie::slotStartLoading;
    using ZRLoadingPie::slotUpdataLoading;
    int currentStep() const { return step; }
    QTimer& tick() { return timer; }
    QImage paintAt(int atStep) {
        step = atStep;
        QImage image(size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image;
    }
};

TEST(Spinner, ModesGiveTheirFixedSizesAndTheLargeOneItsCaption) {
    Spinner large(ZRLoadingPie::ModeLarge);
    EXPECT_EQ(large.size(), QSize(80, 100));
    auto* caption = large.findChild<QLabel*>();
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "Loading...");
    EXPECT_EQ(caption->pos(), QPoint(10, 80));

    Spinner small(ZRLoadingPie::ModeSmall);
    EXPECT_EQ(small.size(), QSize(24, 24));
    EXPECT_EQ(small.findChild<QLabel*>(), nullptr);
    EXPECT_TRUE(small.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(small.windowFlags().testFlag(Qt::Tool));
}

TEST(Spinner, StepsWrapAfterTenTicksAndAStartRestartsTheCount) {
    Spinner spinner(ZRLoadingPie::ModeSmall);
    spinner.slotStartLoading();
    EXPECT_TRUE(spinner.tick().isActive());
    EXPECT_EQ(spinner.tick().interval(), 50);
    spinner.tick().stop();
    for (int i = 1; i <= 10; ++i) {
        spinner.slotUpdataLoading();
        EXPECT_EQ(spinner.currentStep(), i % 10);
    }
    spinner.slotUpdataLoading();
    spinner.slotUpdataLoading();
    spinner.slotStartLoading();
    EXPECT_EQ(spinner.currentStep(), 0);
    QSignalSpy ticks(&spinner.tick(), &QTimer::timeout);
    spinner.slotStartLoading();
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_GE(spinner.currentStep(), 1);
}

TEST(Spinner, ClosingStopsTheAnimationAndShowingDoesNotRestartIt) {
    Spinner spinner(ZRLoadingPie::ModeSmall);
    ASSERT_TRUE(guitest::showAndExpose(&spinner));
    spinner.slotStartLoading();
    spinner.close();
    EXPECT_FALSE(spinner.tick().isActive());
    spinner.show();
    EXPECT_FALSE(spinner.tick().isActive());
}

TEST(Spinner, AtStepZeroTheLargestDotLiesStraightBelowTheCentre) {
    Spinner spinner(ZRLoadingPie::ModeSmall);
    // Centre (12, 12), radius 8: dot 0 covers (9.6, 17.6) to (14.4, 22.4).
    const QImage atZero = spinner.paintAt(0);
    const QColor dot = atZero.pixelColor(12, 20);
    EXPECT_EQ(dot.rgb(), QColor(52, 115, 246).rgb());
    EXPECT_GT(dot.alpha(), 200);
    EXPECT_EQ(atZero.pixelColor(12, 12).alpha(), 0) << "the centre stays empty";

    // Five steps on, the pattern has turned half a turn: dot 0 is straight above.
    const QImage atFive = spinner.paintAt(5);
    EXPECT_GT(atFive.pixelColor(12, 4).alpha(), 200);
    // Dot 5 (3.2 wide) lies below then, shrunk toward its square's top-left corner.
    EXPECT_GT(atFive.pixelColor(11, 19).alpha(), 200);
    EXPECT_EQ(atFive.pixelColor(13, 21).alpha(), 0);
}

} // namespace
