// The check-box and sort header: clicks, slots, drawing and the -1 columns.
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "ZRHeaderView.h"

namespace {

class Header : public ZRHeaderView {
public:
    Header(int checkColumn, int sortColumn) : ZRHeaderView(checkColumn, sortColumn, Qt::Horizontal) {}
    bool checked() const { return boxChecked; }
    int sort() const { return sortState; }
    QString upStyle() const { return sortUpButton->styleSheet(); }
    QString downStyle() const { return sortDownButton->styleSheet(); }
};

QString arrow(const char* file) {
    return QString(
               "QPushButton{border:none;background-color:transparent;image: url(:/Korva VPN/resources/%1);}")
        .arg(file);
}

// A three-column table whose header is the one under test.
class HeaderTest : public ::testing::Test {
protected:
    void build(int checkColumn, int sortColumn) {
        model.setColumnCount(3);
        model.setRowCount(2);
        header = new Header(checkColumn, sortColumn);
        view.setHorizontalHeader(header);
        view.resize(600, 200);
        for (int column = 0; column < 3; ++column) {
            header->resizeSection(column, 120);
        }
        view.setModel(&model);
        ASSERT_TRUE(guitest::showAndExpose(&view));
    }
    QPoint centreOf(int column) const {
        return QPoint(header->sectionViewportPosition(column) + 60, header->height() / 2);
    }
    void click(const QPoint& at) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    QImage picture() const { return header->viewport()->grab().toImage(); }

    QStandardItemModel model;
    QTableView view;
    Header* header = nullptr;
};

TEST_F(HeaderTest, ClicksOnTheSortSectionStepUpDownNoneWithTheirArrows) {
    build(0, 2);
    EXPECT_EQ(header->upStyle(), arrow("sortUpNormal.svg"));
    EXPECT_EQ(header->downStyle(), arrow("sortDownHover.svg")) << "a new header highlights the down arrow";
    QSignalSpy sorted(header, &ZRHeaderView::signalSortChanged);
    QSignalSpy toggled(header, &ZRHeaderView::signalStateChanged);

    struct Step {
        int state;
        const char* up;
        const char* down;
    };
    const Step steps[] = {{1, "sortUpHover.svg", "sortDownNormal.svg"},
                          {2, "sortUpNormal.svg", "sortDownHover.svg"},
                          {0, "sortUpNormal.svg", "sortDownNormal.svg"}};
    for (const Step& step : steps) {
        click(centreOf(2));
        ASSERT_EQ(sorted.count(), 1);
        EXPECT_EQ(sorted.takeFirst().at(0).toInt(), step.state);
        EXPECT_EQ(header->upStyle(), arrow(step.up));
        EXPECT_EQ(header->downStyle(), arrow(step.down));
    }
    click(centreOf(1));
    EXPECT_EQ(sorted.count(), 0);
    EXPECT_EQ(toggled.count(), 0);
}

TEST_F(HeaderTest, ClicksOnTheCheckSectionToggleTheBoxAndItsPicture) {
    build(0, 2);
    QSignalSpy toggled(header, &ZRHeaderView::signalStateChanged);
    const QImage unticked = picture();
    click(centreOf(0));
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_TRUE(toggled.takeFirst().at(0).toBool());
    EXPECT_NE(picture(), unticked) << "the box is drawn ticked";
    click(centreOf(0));
    EXPECT_FALSE(toggled.takeFirst().at(0).toBool());
    EXPECT_EQ(picture(), unticked);
}

TEST_F(HeaderTest, SlotsChangeTheStateWithoutSignals) {
    build(0, 2);
    QSignalSpy toggled(header, &ZRHeaderView::signalStateChanged);
    QSignalSpy sorted(header, &ZRHeaderView::signalSortChanged);
    const QImage unticked = picture();
    header->setCheckEx(true);
    EXPECT_TRUE(header->checked());
    EXPECT_NE(picture(), unticked);
    header->setCheckEx(true);
    EXPECT_TRUE(header->checked());
    header->setSortType(2);
    EXPECT_EQ(header->sort(), 2);
    EXPECT_EQ(header->downStyle(), arrow("sortDownHover.svg"));
    EXPECT_EQ(header->upStyle(), arrow("sortUpNormal.svg"));
    EXPECT_EQ(toggled.count(), 0);
    EXPECT_EQ(sorted.count(), 0);
}

TEST_F(HeaderTest, WithoutColumnsItPaintsPlainlyAndThePlaceBeyondTheSectionsCountsAsColumnMinusOne) {
    build(-1, -1);
    QSignalSpy toggled(header, &ZRHeaderView::signalStateChanged);
    QSignalSpy sorted(header, &ZRHeaderView::signalSortChanged);
    for (int column = 0; column < 3; ++column) {
        click(centreOf(column));
    }
    EXPECT_EQ(toggled.count(), 0);
    EXPECT_EQ(sorted.count(), 0);

    const QPoint beyond(header->length() + 20, header->height() / 2);
    ASSERT_LT(beyond.x(), header->viewport()->width());
    QTest::mouseMove(header->viewport(), centreOf(1));
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(header->viewport(), beyond);
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
    click(beyond);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    EXPECT_EQ(sorted.count(), 0);
}

} // namespace
