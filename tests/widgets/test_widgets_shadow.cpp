#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "PaintedShadow.h"

namespace {

enum class Shadow { QtEffect, Painted };

// A frame as the main window has it (its rounded body inside a margin that its layout
// leaves for the shadow) holding a card as the pages have them, on a translucent window.
// Each gets the drop shadow either as Qt's graphics effect or painted beneath it.
struct Surface {
    QWidget window;
    // What the frame stands on: nothing (a translucent window) or a desktop's colour.
    QWidget* desk = new QWidget(&window);
    QWidget* frame = new QWidget(desk);
    QWidget* body = new QWidget(frame);
    QWidget* card = new QWidget(body);
    QLabel* label = new QLabel(QStringLiteral("0h 0m 1s"), card);

    Surface(Shadow kind, QColor frameColor, QColor cardColor, QSize size = QSize(520, 400),
            bool onDesk = false) {
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize(size);
        window.setStyleSheet(QStringLiteral("#body { background: #F5F7FA; border-radius: 16px; }"
                                            "#card { background: #FFFFFF; border-radius: 8px; }"
                                            "#desk { background: #808890; }"));
        desk->setObjectName(onDesk ? QStringLiteral("desk") : QString());
        desk->setAttribute(Qt::WA_StyledBackground, onDesk);
        desk->setGeometry(window.rect());
        body->setObjectName(QStringLiteral("body"));
        card->setObjectName(QStringLiteral("card"));
        auto* frameLayout = new QHBoxLayout(frame);
        frameLayout->setContentsMargins(24, 24, 24, 24);
        frameLayout->addWidget(body);
        auto* bodyLayout = new QVBoxLayout(body);
        bodyLayout->setContentsMargins(40, 40, 40, 40);
        bodyLayout->addWidget(card);
        auto* cardLayout = new QVBoxLayout(card);
        cardLayout->addWidget(label);
        frame->setGeometry(window.rect());
        if (kind == Shadow::QtEffect) {
            frame->setGraphicsEffect(effect(frameColor));
            card->setGraphicsEffect(effect(cardColor));
        } else {
            setUp(new PaintedShadow(frame, 16, frameLayout->contentsMargins()), frameColor);
            setUp(new PaintedShadow(card, 8), cardColor);
        }
        frame->layout()->activate();
        body->layout()->activate();
    }

    static QGraphicsDropShadowEffect* effect(QColor color) {
        auto* shadow = new QGraphicsDropShadowEffect;
        shadow->setColor(color);
        shadow->setOffset(0, 2);
        shadow->setBlurRadius(24);
        return shadow;
    }

    static void setUp(PaintedShadow* shadow, QColor color) {
        shadow->setColor(color);
        shadow->setOffset(QPointF(0, 2));
        shadow->setBlurRadius(24);
    }

    QImage picture() {
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

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

const QColor kBlack(QStringLiteral("#FF000000"));
const QColor kLightCard(QStringLiteral("#A0E1E1E1"));
const QColor kLightDialog(QStringLiteral("#A09BA1AA"));

// The light and dark cards' shadows inside the frame's, at a size where the frame's image is
// whole and at one where it is stretched along every side.
TEST(PaintedShadowTest, LooksAsQtsDropShadowInEachColourMode) {
    for (const QSize size : {QSize(520, 400), QSize(978, 648), QSize(1201, 777)}) {
        for (const QColor& card : {kLightCard, kBlack, kLightDialog}) {
            Surface effect(Shadow::QtEffect, kBlack, card, size);
            Surface painted(Shadow::Painted, kBlack, card, size);
            const QImage expected = effect.picture();
            const QImage shown = painted.picture();
            ASSERT_EQ(expected.size(), shown.size());
            const std::string what = card.name(QColor::HexArgb).toStdString() + " at " +
                                     std::to_string(size.width()) + "x" + std::to_string(size.height());
            // The shadows reach well beyond the frame's body and the card.
            EXPECT_GT(qAlpha(shown.pixel(size.width() / 2, size.height() - 16)), 0) << what;
            const QRect card0 = painted.card->geometry().translated(painted.body->pos());
            EXPECT_GT(qAlpha(shown.pixel(24 + card0.center().x(), 24 + card0.bottom() + 8)), 0) << what;
            EXPECT_LE(largestDifference(expected, shown), 3) << what;
        }
    }
}

// The image is made once per size and colour: a label that changes each second repaints
// the card without making it again, and a show of the page again makes none.
TEST(PaintedShadowTest, IsMadeOncePerSizeNotOnEachPaint) {
    Surface painted(Shadow::Painted, kBlack, kLightCard);
    painted.picture();
    const int made = PaintedShadow::imagesMade();
    for (int second = 2; second <= 5; ++second) {
        painted.label->setText(QStringLiteral("0h 0m %1s").arg(second));
        painted.picture();
    }
    painted.card->hide();
    painted.card->show();
    painted.picture();
    EXPECT_EQ(PaintedShadow::imagesMade(), made);

    // A new size (a card too short now for its sides to be stretched) or colour makes a new
    // image, which again looks as Qt's.
    painted.window.resize(560, 270);
    painted.desk->setGeometry(painted.window.rect());
    painted.frame->setGeometry(painted.window.rect());
    painted.frame->layout()->activate();
    painted.body->layout()->activate();
    painted.picture();
    const int resized = PaintedShadow::imagesMade();
    EXPECT_GT(resized, made);
    PaintedShadow::of(painted.card)->setColor(kBlack);
    const QImage shown = painted.picture();
    EXPECT_EQ(PaintedShadow::imagesMade(), resized + 1);
    Surface effect(Shadow::QtEffect, kBlack, kBlack, QSize(560, 270));
    effect.label->setText(painted.label->text());
    EXPECT_LE(largestDifference(effect.picture(), shown), 3);
}

// A hidden card has no shadow; its shadow comes back with it, and follows its place.
TEST(PaintedShadowTest, FollowsTheWidgetsVisibilityAndPlace) {
    Surface painted(Shadow::Painted, kBlack, kBlack);
    const QRect card = painted.card->geometry().translated(painted.body->pos() + painted.frame->pos());
    const QPoint below(card.center().x(), card.bottom() + 10);
    EXPECT_GT(qAlpha(painted.picture().pixel(below)), 200);
    painted.card->hide();
    // Beneath the card now lies the frame's body, opaque and without a shadow in it.
    EXPECT_EQ(QColor(painted.picture().pixel(below)), QColor(QStringLiteral("#F5F7FA")));
    painted.card->show();
    EXPECT_GT(qAlpha(painted.picture().pixel(below)), 200);
    EXPECT_NE(QColor(painted.picture().pixel(below)), QColor(QStringLiteral("#F5F7FA")));
    ASSERT_NE(PaintedShadow::of(painted.card), nullptr);
    EXPECT_EQ(PaintedShadow::of(painted.card)->shadowRect(),
              painted.card->geometry().adjusted(-24, -22, 24, 26));
    delete PaintedShadow::of(painted.card);
    EXPECT_EQ(PaintedShadow::of(painted.card), nullptr);
    EXPECT_EQ(QColor(painted.picture().pixel(below)), QColor(QStringLiteral("#F5F7FA")));
}

// The window as the screen shows it, painted through its backing store: a change inside
// the card repaints only part of it, and the shadows stay as Qt's.
TEST(PaintedShadowTest, ThroughTheBackingStoreAsWithQtsEffect) {
    // The offscreen platform's backing store has no alpha channel and clears nothing: the
    // frames stand on a desktop's colour, as a compositor would show them.
    Surface effect(Shadow::QtEffect, kBlack, kLightCard, QSize(520, 400), true);
    Surface painted(Shadow::Painted, kBlack, kLightCard, QSize(520, 400), true);
    effect.window.show();
    painted.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&effect.window));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&painted.window));
    // What the window's backing store holds, as the screen shows it.
    const auto shown = [](QWidget& window) {
        return window.screen()
            ->grabWindow(window.winId())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    const QImage before = shown(painted.window);
    EXPECT_LE(largestDifference(shown(effect.window), before), 3);
    effect.label->setText(QStringLiteral("1h 2m 3s"));
    painted.label->setText(QStringLiteral("1h 2m 3s"));
    QApplication::processEvents();
    const QImage afterEffect = shown(effect.window);
    const QImage afterPainted = shown(painted.window);
    EXPECT_LE(largestDifference(afterEffect, afterPainted), 3);
    EXPECT_NE(afterPainted, before);
}

// A see-through body, as the tray pop-up's, holding an opaque button and a text, on a
// translucent window: its shadow shows through it, with the shadows of what it holds.
struct SeeThrough {
    QWidget window;
    QWidget* body = new QWidget(&window);
    QWidget* button = new QWidget(body);
    QLabel* label = new QLabel(QStringLiteral("12.35"), body);

    SeeThrough(Shadow kind, QColor bodyColor, QColor shadowColor) {
        window.setAttribute(Qt::WA_TranslucentBackground);
        window.resize(304, 409);
        window.setStyleSheet(QStringLiteral("#body { background: %1; border-radius: 8px; }"
                                            "#button { background: #0492EB; border-radius: 4px; }"
                                            "QLabel { color: #FFFFFF; font-size: 13px; }")
                                 .arg(bodyColor.name(QColor::HexArgb)));
        body->setObjectName(QStringLiteral("body"));
        button->setObjectName(QStringLiteral("button"));
        button->setAttribute(Qt::WA_StyledBackground);
        body->setGeometry(24, 24, 256, 361);
        button->setGeometry(16, 300, 224, 32);
        label->setGeometry(16, 40, 120, 26);
        if (kind == Shadow::QtEffect) {
            body->setGraphicsEffect(Surface::effect(shadowColor));
        } else {
            auto* shadow = new PaintedShadow(body, 8);
            shadow->setShape(PaintedShadow::Shape::Picture);
            Surface::setUp(shadow, shadowColor);
        }
    }

    QImage picture() {
        QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

// The tray pop-up's see-through bodies in both colour modes and the chart's hover pop-up's,
// under the light and the dark shadow.
TEST(PaintedShadowTest, PictureShapeLooksAsQtsDropShadowOfASeeThroughBody) {
    for (const char* body : {"#B31B2535", "#A3EBEBEA", "#1FFFFFFF", "#A3000000"}) {
        for (const QColor& color : {kBlack, kLightDialog}) {
            SeeThrough effect(Shadow::QtEffect, QColor(QLatin1String(body)), color);
            SeeThrough painted(Shadow::Painted, QColor(QLatin1String(body)), color);
            const QImage shown = painted.picture();
            const std::string what =
                std::string(body) + " under " + color.name(QColor::HexArgb).toStdString();
            EXPECT_LE(largestDifference(effect.picture(), shown), 3) << what;
            // The shadow shows through the body: beside the button more of it than beside the text.
            EXPECT_GT(qAlpha(shown.pixel(24 + 128, 24 + 290)), qAlpha(shown.pixel(24 + 200, 24 + 150)))
                << what;
        }
    }
}

// The picture is taken once: a text that changes inside the body repaints it over the same
// shadow; a new size or an asked retake takes it again, as Qt's effect then looks.
TEST(PaintedShadowTest, PictureIsTakenAgainOnlyForANewSizeOrWhenAsked) {
    SeeThrough painted(Shadow::Painted, QColor(QStringLiteral("#B31B2535")), kBlack);
    painted.picture();
    const int made = PaintedShadow::imagesMade();
    painted.label->setText(QStringLiteral("12.36"));
    painted.picture();
    EXPECT_EQ(PaintedShadow::imagesMade(), made);

    painted.button->hide();
    PaintedShadow::of(painted.body)->retakePicture();
    const QImage retaken = painted.picture();
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 1);
    SeeThrough effect(Shadow::QtEffect, QColor(QStringLiteral("#B31B2535")), kBlack);
    effect.label->setText(QStringLiteral("12.36"));
    effect.button->hide();
    EXPECT_LE(largestDifference(effect.picture(), retaken), 3);

    painted.body->resize(256, 300);
    effect.body->resize(256, 300);
    const QImage resized = painted.picture();
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 2);
    EXPECT_LE(largestDifference(effect.picture(), resized), 3);
}

// An opaque body, as a dialog's: marked as shared, its shadow is the whole picture's to the
// bit, taken without what it holds, and a body of the same kind shown later (the dialog
// opened again) finds it made; another size or colour makes its own.
TEST(PaintedShadowTest, SharedBodyIsTheWholePicturesShadowMadeOncePerSizeAndColour) {
    const QString kind = QStringLiteral("opaque dialog body");
    for (const char* body : {"#FFFFFFFF", "#FF1B2535"}) {
        SeeThrough whole(Shadow::Painted, QColor(QLatin1String(body)), kLightDialog);
        SeeThrough shared(Shadow::Painted, QColor(QLatin1String(body)), kLightDialog);
        PaintedShadow::of(shared.body)->setSharedBody(kind + QLatin1String(body));
        EXPECT_EQ(whole.picture(), shared.picture()) << body;
    }
    const auto opening = [&kind](QColor shadowColor, int height) {
        SeeThrough dialog(Shadow::Painted, QColor(QStringLiteral("#FFFFFFFF")), shadowColor);
        PaintedShadow::of(dialog.body)->setSharedBody(kind);
        dialog.body->resize(256, height);
        return dialog.picture();
    };
    const QImage first = opening(kBlack, 361);
    const int made = PaintedShadow::imagesMade();
    EXPECT_EQ(opening(kBlack, 361), first);
    EXPECT_EQ(PaintedShadow::imagesMade(), made);
    opening(kLightDialog, 361);
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 1);
    opening(kBlack, 300);
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 2);
    EXPECT_EQ(opening(kBlack, 361), first);
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 2);
}

} // namespace
