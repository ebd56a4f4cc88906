#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "ApplicationStyleSheet.h"
#include "GuiTest.h"
#include "KorvaResourcePaths.h"

namespace {

// The application's style beneath the style sheets: counts how often widgets are polished.
class CountingStyle : public QProxyStyle {
public:
    using QProxyStyle::polish;
    void polish(QWidget* widget) override {
        ++polishes;
        QProxyStyle::polish(widget);
    }
    int polishes = 0;
};

class StyleChangeCounter : public QObject {
public:
    int changes = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched->isWidgetType() && event->type() == QEvent::StyleChange) {
            ++changes;
        }
        return false;
    }
};

// A new sheet polishes every widget again; the sheet the application holds already does
// not, but still reaches every widget as a style change (on which widgets that colour
// themselves read the colour mode).
TEST(ApplicationStyleSheetTest, TheSameSheetAgainPolishesNothingAndStillSendsTheStyleChange) {
    auto* style = new CountingStyle;
    QApplication::setStyle(style);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("label"));
    layout->addWidget(label);
    layout->addWidget(new QPushButton(QStringLiteral("button")));
    ASSERT_TRUE(guitest::showAndExpose(&window));
    StyleChangeCounter counter;
    qApp->installEventFilter(&counter);

    const QString dark = ReadStyleSheet(KORVA_STYLESHEET_DARK);
    const QString normal = ReadStyleSheet(KORVA_STYLESHEET_NORMAL);
    ASSERT_FALSE(dark.isEmpty());
    ASSERT_FALSE(normal.isEmpty());
    SetApplicationStyleSheet(qApp, dark);
    EXPECT_EQ(qApp->styleSheet(), dark);
    EXPECT_GE(style->polishes, 3);
    EXPECT_GE(counter.changes, 3);

    style->polishes = 0;
    counter.changes = 0;
    SetApplicationStyleSheet(qApp, dark);
    EXPECT_EQ(style->polishes, 0);
    EXPECT_GE(counter.changes, 3) << "every widget gets the style change";

    SetApplicationStyleSheet(qApp, normal);
    EXPECT_EQ(qApp->styleSheet(), normal);
    EXPECT_GE(style->polishes, 3);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(QStringLiteral("#FF1D2529")));
    qApp->removeEventFilter(&counter);
    SetApplicationStyleSheet(qApp, QString());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

// A widget's own sheet: set again unchanged it polishes nothing; a changed one takes effect.
TEST(ApplicationStyleSheetTest, AWidgetsSameSheetAgainPolishesNothing) {
    auto* style = new CountingStyle;
    QApplication::setStyle(style);
    SetApplicationStyleSheet(qApp, ReadStyleSheet(KORVA_STYLESHEET_NORMAL));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("label"));
    layout->addWidget(label);
    ASSERT_TRUE(guitest::showAndExpose(&window));
    const QString red = QStringLiteral("QLabel{color:#FF0000;}");
    SetWidgetStyleSheet(label, red);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));

    style->polishes = 0;
    SetWidgetStyleSheet(label, red);
    EXPECT_EQ(style->polishes, 0);
    EXPECT_EQ(label->styleSheet(), red);

    SetWidgetStyleSheet(label, QStringLiteral("QLabel{color:#0000FF;}"));
    EXPECT_GE(style->polishes, 1);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
    SetApplicationStyleSheet(qApp, QString());
}

TEST(ApplicationStyleSheetTest, ReadsAResourceWholeAndGivesNothingForAMissingOne) {
    EXPECT_TRUE(ReadStyleSheet(KORVA_STYLESHEET_DARK).contains(QStringLiteral("ZRVPNClient")));
    EXPECT_TRUE(ReadStyleSheet(":/no/such/sheet.qss").isEmpty());
}

} // namespace
