// A label held in a figure box: a new text of the same size asks nothing of the layouts
// above it, a text of another size lays them out as it would without the box (the label
// never cut, its neighbours moved), also when it changed while hidden.
#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

#include "FigureBox.h"
#include "GuiTest.h"

namespace {

// Counts the layout requests a widget receives.
class LayoutRequests : public QObject {
public:
    explicit LayoutRequests(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) {
            ++count;
        }
        return false;
    }
};

void settle() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A window with a row: a title, the figure, its unit, and the rest of the row empty.
struct Row {
    QWidget window;
    QWidget* row = new QWidget(&window);
    QLabel* title = new QLabel(QStringLiteral("Time:"), row);
    QLabel* figure = new QLabel(QStringLiteral("0h 0m 12s"), row);
    QLabel* unit = new QLabel(QStringLiteral("MB"), row);
    FigureBox* box = nullptr;

    Row() {
        auto* outer = new QVBoxLayout(&window);
        outer->addWidget(row);
        auto* line = new QHBoxLayout(row);
        line->addWidget(title);
        line->addWidget(figure);
        line->addWidget(unit);
        line->addStretch();
        figure->setObjectName(QStringLiteral("figure"));
        figure->setMinimumHeight(24);
        figure->setMaximumHeight(24);
        box = FigureBox::hold(figure);
        window.resize(400, 80);
        window.show();
        settle();
    }
};

TEST(FigureBox, TakesTheLabelsPlaceAndGivesItAllItsRoom) {
    Row row;
    ASSERT_NE(row.box, nullptr);
    EXPECT_EQ(row.box->objectName(), QStringLiteral("figureBox"));
    EXPECT_EQ(row.figure->parentWidget(), row.box);
    EXPECT_EQ(row.row->layout()->indexOf(row.box), 1);
    EXPECT_EQ(row.row->layout()->indexOf(row.figure), -1);
    EXPECT_EQ(row.box->minimumHeight(), 24);
    EXPECT_EQ(row.box->maximumHeight(), 24);
    EXPECT_TRUE(row.figure->isVisible());
    EXPECT_EQ(row.figure->geometry(), row.box->rect());
    EXPECT_GE(row.figure->width(), row.figure->sizeHint().width());
    EXPECT_EQ(row.unit->x(), row.box->geometry().right() + 1 + row.row->layout()->spacing());

    QLabel alone(QStringLiteral("no layout"));
    EXPECT_EQ(FigureBox::hold(&alone), nullptr);
    EXPECT_EQ(alone.parentWidget(), nullptr);
}

TEST(FigureBox, LaysOutOnlyWhenTheTextNeedsAnotherSize) {
    struct Case {
        const char* what;
        QString text;
        bool layout;
    };
    const Case cases[] = {
        {"the same characters in another order", QStringLiteral("0h 0m 21s"), false},
        {"the same text", QStringLiteral("0h 0m 21s"), false},
        {"a longer text", QStringLiteral("10h 59m 59s and more"), true},
        {"the same length again", QStringLiteral("10h 95m 95s and more"), false},
        {"a shorter text", QStringLiteral("1s"), true},
    };
    Row row;
    LayoutRequests requests(row.row);
    for (const Case& c : cases) {
        requests.count = 0;
        const int unitBefore = row.unit->x();
        row.figure->setText(c.text);
        settle();
        EXPECT_EQ(row.figure->text(), c.text) << c.what;
        EXPECT_EQ(requests.count > 0, c.layout) << c.what;
        EXPECT_EQ(row.figure->geometry(), row.box->rect()) << c.what;
        EXPECT_EQ(row.box->width(), row.figure->sizeHint().width()) << c.what << ": sized as without the box";
        EXPECT_EQ(row.unit->x(), row.box->geometry().right() + 1 + row.row->layout()->spacing()) << c.what;
        if (!c.layout) {
            EXPECT_EQ(row.unit->x(), unitBefore) << c.what;
        }
    }
}

// What else the label's hints follow: with the text as it was, or a text of the same size,
// each change is laid out as without the box.
TEST(FigureBox, LaysOutForEachChangeOfTheLabelsLookBesideItsText) {
    struct Case {
        const char* what;
        std::function<void(QLabel*)> change;
    };
    const Case cases[] = {
        {"a margin", [](QLabel* label) { label->setMargin(9); }},
        {"an indent", [](QLabel* label) { label->setIndent(14); }},
        {"a larger font", [](QLabel* label) { label->setStyleSheet(QStringLiteral("font-size: 30px;")); }},
        {"contents margins", [](QLabel* label) { label->setContentsMargins(5, 0, 7, 0); }},
        {"a least width", [](QLabel* label) { label->setMinimumWidth(180); }},
        {"rich text of the same characters",
         [](QLabel* label) { label->setText(QStringLiteral("<b>0h</b> 0m 12s")); }},
    };
    for (const Case& c : cases) {
        Row row;
        const int before = row.box->width();
        c.change(row.figure);
        row.figure->setText(row.figure->text() == QStringLiteral("0h 0m 12s") ? QStringLiteral("0h 0m 21s")
                                                                              : row.figure->text());
        settle();
        EXPECT_NE(row.figure->sizeHint().width(), before) << c.what;
        EXPECT_EQ(row.box->width(), row.figure->sizeHint().width()) << c.what << ": sized as without the box";
        EXPECT_EQ(row.figure->geometry(), row.box->rect()) << c.what;
        EXPECT_EQ(row.unit->x(), row.box->geometry().right() + 1 + row.row->layout()->spacing()) << c.what;
    }
}

TEST(FigureBox, TextChangedWhileHiddenIsLaidOutWhenShown) {
    Row row;
    row.window.hide();
    row.figure->setText(QStringLiteral("a much longer text than before"));
    row.window.show();
    settle();
    EXPECT_EQ(row.box->width(), row.figure->sizeHint().width());
    EXPECT_EQ(row.figure->geometry(), row.box->rect());
    EXPECT_EQ(row.unit->x(), row.box->geometry().right() + 1 + row.row->layout()->spacing());
}

} // namespace
