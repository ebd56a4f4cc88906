#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "CachedDropShadowEffect.h"

namespace {

// A card as the pages have them: a rounded, opaque body with a changing label, on a
// translucent surface that shows the card's shadow around it.
struct Surface {
    QWidget window;
    QWidget* card = new QWidget(&window);
    QLabel* label = new QLabel(QStringLiteral("00:00:01"), card);

    explicit Surface(QGraphicsEffect* shadow) {
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize(320, 220);
        card->setObjectName(QStringLiteral("card"));
        card->setStyleSheet(QStringLiteral("#card { background: #FFFFFF; border-radius: 10px; }"));
        card->setAttribute(Qt::WA_StyledBackground);
        card->setGeometry(40, 40, 240, 140);
        auto* layout = new QVBoxLayout(card);
        layout->addWidget(label);
        card->setGraphicsEffect(shadow);
    }

    QImage picture() {
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

template <typename Effect> Effect* shadowOf(QColor color) {
    auto* effect = new Effect;
    effect->setColor(color);
    effect->setOffset(0, 2);
    effect->setBlurRadius(24);
    return effect;
}

int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qAlpha(p) - qAlpha(q)), std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

TEST(CachedDropShadowTest, LooksLikeTheDropShadowInEachColourMode) {
    for (const QColor& color :
         {QColor(QStringLiteral("#FF000000")), QColor(0, 0, 0, 40), QColor(10, 20, 40, 120)}) {
        Surface plain(shadowOf<QGraphicsDropShadowEffect>(color));
        Surface cached(shadowOf<CachedDropShadowEffect>(color));
        const QImage expected = plain.picture();
        const QImage shown = cached.picture();
        ASSERT_EQ(expected.size(), shown.size());
        // The shadow reaches well beyond the card, and the two agree to rounding.
        EXPECT_GT(qAlpha(expected.pixel(160, 40 + 140 + 8)), 0) << color.name(QColor::HexArgb).toStdString();
        EXPECT_LE(largestDifference(expected, shown), 4) << color.name(QColor::HexArgb).toStdString();
    }
}

TEST(CachedDropShadowTest, IsMadeOncePerSizeAndNotOnEachPaint) {
    auto* effect = shadowOf<CachedDropShadowEffect>(QColor(QStringLiteral("#FF000000")));
    Surface surface(effect);
    surface.picture();
    EXPECT_EQ(effect->renderCount(), 1);
    // The label changes each second: the card is painted again, the shadow is not made again.
    for (int second = 2; second <= 5; ++second) {
        surface.label->setText(QStringLiteral("00:00:0%1").arg(second));
        const QImage image = surface.picture();
        EXPECT_EQ(effect->renderCount(), 1);
        EXPECT_GT(qAlpha(image.pixel(160, 40 + 140 + 8)), 0);
    }
    // A new size, colour or radius makes it again, and it follows the new outline.
    surface.card->resize(200, 100);
    const QImage smaller = surface.picture();
    EXPECT_EQ(effect->renderCount(), 2);
    Surface reference(shadowOf<QGraphicsDropShadowEffect>(QColor(QStringLiteral("#FF000000"))));
    reference.card->resize(200, 100);
    reference.label->setText(surface.label->text());
    EXPECT_LE(largestDifference(reference.picture(), smaller), 4);
    effect->setBlurRadius(12);
    surface.picture();
    EXPECT_EQ(effect->renderCount(), 3);
    effect->setColor(QColor(0, 0, 0, 60));
    surface.picture();
    EXPECT_EQ(effect->renderCount(), 4);
}

// The main window's frame has a shadow and so do the cards laid out inside it: each card
// and its shadow stay where the card lies, as with Qt's own drop shadow.
template <typename Effect> struct NestedSurface {
    QWidget window;
    QWidget* frame = new QWidget(&window);
    QWidget* card = new QWidget(frame);
    QLabel* label = new QLabel(QStringLiteral("Connected"), card);

    NestedSurface() {
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize(420, 320);
        frame->setObjectName(QStringLiteral("frame"));
        frame->setStyleSheet(QStringLiteral("#frame { background: #F4F6FA; border-radius: 8px; }"
                                            "#card { background: #FFFFFF; border-radius: 10px; }"));
        frame->setAttribute(Qt::WA_StyledBackground);
        frame->setGeometry(20, 20, 380, 280);
        card->setObjectName(QStringLiteral("card"));
        card->setAttribute(Qt::WA_StyledBackground);
        card->setGeometry(90, 70, 200, 120);
        auto* layout = new QVBoxLayout(card);
        layout->addWidget(label);
        frame->setGraphicsEffect(shadowOf<Effect>(QColor(QStringLiteral("#A09BA1AA"))));
        card->setGraphicsEffect(shadowOf<Effect>(QColor(0, 0, 0, 60)));
    }

    QImage picture() {
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

TEST(CachedDropShadowTest, NestedShadowsKeepEachCardInPlace) {
    NestedSurface<QGraphicsDropShadowEffect> plain;
    NestedSurface<CachedDropShadowEffect> cached;
    const QImage expected = plain.picture();
    // Twice: the first paint makes the shadows, the second draws them from the cache.
    for (int paint = 0; paint < 2; ++paint) {
        const QImage shown = cached.picture();
        ASSERT_EQ(expected.size(), shown.size());
        // The card's white body lies at its place in the frame, not beyond it.
        EXPECT_EQ(QColor(shown.pixel(20 + 90 + 100, 20 + 70 + 60)), QColor(Qt::white)) << paint;
        EXPECT_LE(largestDifference(expected, shown), 4) << paint;
    }
    // The window as the screen shows it: painted through its backing store and grabbed.
    plain.window.show();
    cached.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain.window));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cached.window));
    const auto grabbed = [](QWidget& window) {
        return window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    EXPECT_LE(largestDifference(grabbed(plain.window), grabbed(cached.window)), 4);
}

} // namespace
