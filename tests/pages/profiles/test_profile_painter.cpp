// The Profiles page's row painter: row colours and lines in both colour modes, the badge,
// the icons' places and what a release on them reports, tool tips, the icons while a
// connection is busy, the placeholder row, and the records kept per row.
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "GuiTest.h"
#include "ProfileRecords.h"
#include "ProfileTreeDelegate.h"
#include "ProfilesTest.h"

using namespace profilestest;

namespace {

QImage paintedViewport(QTreeWidget* list) {
    return list->viewport()->grab().toImage();
}

QRect cellRect(QTreeWidget* list, int row, int column) {
    return list->visualRect(list->model()->index(row, column));
}

QColor pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// True when the colours differ by at most 2 in every channel.
bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

// The colour of #AARRGGBB drawn over an opaque background.
QColor over(const QColor& top, const QColor& background) {
    const double a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + background.redF() * (1 - a),
                            top.greenF() * a + background.greenF() * (1 - a),
                            top.blueF() * a + background.blueF() * (1 - a));
}

QString toolTipAt(QTreeWidget* list, const QPoint& pos) {
    // A hidden tool tip fades out first; start from none.
    QToolTip::hideText();
    guitest::waitFor([] { return !QToolTip::isVisible(); }, 2000);
    QHelpEvent event(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list->viewport(), &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The painter with a count of the icon records it keeps.
class CountingDelegate : public ProfileTreeDelegate {
public:
    using ProfileTreeDelegate::ProfileTreeDelegate;
    int records() const {
        return buttonRecords[0].size() + buttonRecords[1].size() + buttonRecords[2].size();
    }
};

// A bare list with the painter and four rows, for what the page's slots would answer.
struct BareList {
    BareList() {
        list.setColumnCount(4);
        list.resize(800, 400);
        delegate = new CountingDelegate(&list);
        list.setItemDelegate(delegate);
        list.setColumnWidth(0, 10);
        list.setColumnWidth(1, 320);
        list.setColumnWidth(2, 320);
        list.setColumnWidth(3, 150);
        for (int i = 0; i < 4; ++i) {
            auto* item = new QTreeWidgetItem;
            item->setData(1, 101, i + 1);
            item->setData(1, 102, QStringLiteral("Row %1").arg(i));
            item->setData(1, 104, 4);
            item->setText(2, QStringLiteral("Wireguard VPN"));
            list.addTopLevelItem(item);
        }
        guitest::showAndExpose(&list);
        list.viewport()->repaint();
    }
    QTreeWidget list;
    CountingDelegate* delegate;
};

} // namespace

class ProfilePainterTest : public ProfilesTest {};

TEST_F(ProfilePainterTest, RowColoursAndLinesInBothModes) {
    seedNumbered(3);
    auto page = makePage();
    QTreeWidget* list = tree(*page);
    const QColor white(QStringLiteral("#FFFFFF"));
    const QColor line = over(QColor(QStringLiteral("#141D2529")), white);

    list->viewport()->repaint();
    QImage image = paintedViewport(list);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const QRect cell = cellRect(list, row, 2);
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.center().y()), white));
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.bottom()), line));
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.bottom() - 1), white));
    }
    EXPECT_TRUE(near(pixel(image, cellRect(list, 0, 2).right() - 5, cellRect(list, 0, 2).top()), line));

    guitest::applyColorMode(2);
    list->viewport()->repaint();
    image = paintedViewport(list);
    const QColor even(QStringLiteral("#212C3D"));
    const QColor odd(QStringLiteral("#1B2535"));
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const QRect cell = cellRect(list, row, 2);
        const QColor background = row % 2 == 0 ? even : odd;
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.center().y()), background));
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.bottom()), background));
        EXPECT_TRUE(near(pixel(image, cell.right() - 5, cell.top()), background));
    }
}

TEST_F(ProfilePainterTest, TheConnectedRowShowsItsBadgeAndTheDisconnectIcon) {
    const std::vector<int> ids = seed({{"Office", 4}, {"Lab", 3}});
    setConnection(CONNECT_STATUS_CONNECTED, ids[0]);
    auto page = makePage();
    QTreeWidget* list = tree(*page);
    list->viewport()->repaint();
    const QImage image = paintedViewport(list);

    // Row 1 is "Office": the badge starts 4 px after the name measured at 13 px (10 points
    // on a 96-dpi screen).
    const QRect cell = cellRect(list, 1, 1);
    QFont badgeFont(QStringLiteral("Halvex Vento"));
    badgeFont.setPixelSize(13);
    const int nameWidth =
        QFontMetrics(badgeFont).boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("Office")).width();
    const int badgeLeft = cell.left() + nameWidth + 4;
    const int y = cell.center().y();
    const QColor green(QStringLiteral("#CAF3C8"));
    EXPECT_TRUE(near(pixel(image, badgeLeft + 2, y), green));
    EXPECT_TRUE(near(pixel(image, badgeLeft + 82, y), green));
    EXPECT_FALSE(near(pixel(image, badgeLeft + 87, y), green));
    EXPECT_FALSE(near(pixel(image, badgeLeft + 2, cell.top() + 3), green));
    // Its text is green on the badge.
    bool greenText = false;
    for (int x = badgeLeft + 4; x < badgeLeft + 81; ++x) {
        greenText = greenText || near(pixel(image, x, cell.center().y()), QColor(QStringLiteral("#0DC901")));
    }
    EXPECT_TRUE(greenText);
    // No badge on the other row.
    EXPECT_FALSE(
        near(pixel(image, cellRect(list, 0, 1).left() + 40, cellRect(list, 0, 1).top() + 15), green));

    auto* delegate = qobject_cast<ProfileTreeDelegate*>(list->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_TRUE(
        delegate->buttonRect(ProfileTreeDelegate::ConnectButton, list->model()->index(0, 3)).isEmpty());
    EXPECT_FALSE(
        delegate->buttonRect(ProfileTreeDelegate::ConnectButton, list->model()->index(1, 3)).isEmpty());
    EXPECT_EQ(toolTipAt(list, iconCentre(*page, 1, Icon::Connect)), QStringLiteral("Disconnect"));
    EXPECT_EQ(toolTipAt(list, iconCentre(*page, 0, Icon::Connect)), QString());
    // Where row 0's connect icon would be, the row's background shows.
    const QPoint hidden = iconCentre(*page, 0, Icon::Connect);
    EXPECT_TRUE(
        near(pixel(paintedViewport(list), hidden.x(), hidden.y()), QColor(QStringLiteral("#FFFFFF"))));
}

TEST_F(ProfilePainterTest, IconsSitAtTheirOffsetsAndAReleaseReportsItsRow) {
    BareList bare;
    QTreeWidget* list = &bare.list;
    QSignalSpy edits(bare.delegate, SIGNAL(signalEditButtonClicked(int)));
    QSignalSpy deletes(bare.delegate, SIGNAL(signalDeleteButtonClicked(int)));
    QSignalSpy connects(bare.delegate, SIGNAL(signalConnectButtonClicked(int)));

    const QModelIndex action = list->model()->index(2, 3);
    const QRect cell = list->visualRect(action);
    EXPECT_EQ(bare.delegate->buttonRect(ProfileTreeDelegate::ConnectButton, action),
              QRect(cell.x(), cell.y(), 20, cell.height()));
    EXPECT_EQ(bare.delegate->buttonRect(ProfileTreeDelegate::EditButton, action),
              QRect(cell.x() + 30, cell.y(), 20, cell.height()));
    EXPECT_EQ(bare.delegate->buttonRect(ProfileTreeDelegate::DeleteButton, action),
              QRect(cell.x() + 60, cell.y(), 20, cell.height()));

    QWidget* viewport = list->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 40, cell.center().y()));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 70, cell.center().y()));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 10, cell.center().y()));
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits.at(0).at(0).toInt(), 2);
    ASSERT_EQ(deletes.size(), 1);
    EXPECT_EQ(deletes.at(0).at(0).toInt(), 2);
    ASSERT_EQ(connects.size(), 1);
    EXPECT_EQ(connects.at(0).at(0).toInt(), 2);

    // A press on an icon released beside it, a release beside the icons, and clicks in the other columns
    // report nothing and select no row.
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 40, cell.center().y()));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 110, cell.center().y()));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 110, cell.center().y()));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(cell.x() + 55, cell.center().y()));
    for (int column = 0; column < 3; ++column) {
        const QRect other = list->visualRect(list->model()->index(1, column));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, other.center());
    }
    EXPECT_EQ(edits.size() + deletes.size() + connects.size(), 3);
    EXPECT_TRUE(list->selectedItems().isEmpty());

    EXPECT_EQ(toolTipAt(list, QPoint(cell.x() + 40, cell.center().y())), QStringLiteral("Edit"));
    EXPECT_EQ(toolTipAt(list, QPoint(cell.x() + 70, cell.center().y())), QStringLiteral("Delete"));
    EXPECT_EQ(toolTipAt(list, QPoint(cell.x() + 10, cell.center().y())), QStringLiteral("Connect"));
    EXPECT_EQ(toolTipAt(list, QPoint(cell.x() + 110, cell.center().y())), QString());
    EXPECT_EQ(list->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ProfilePainterTest, RecordsAreKeptPerRowAcrossReloads) {
    BareList bare;
    QTreeWidget* list = &bare.list;
    for (int reload = 0; reload < 20; ++reload) {
        QTreeWidgetItem* item = list->takeTopLevelItem(0);
        delete item;
        auto* fresh = new QTreeWidgetItem;
        fresh->setData(1, 101, 100 + reload);
        list->addTopLevelItem(fresh);
        list->viewport()->repaint();
    }
    // Three icons for each of the four rows, whatever the number of reloads.
    EXPECT_EQ(bare.delegate->records(), 12);
}

TEST_F(ProfilePainterTest, ALongNameIsCutAndItsToolTipShowsItWhole) {
    const std::string longName =
        "Datacenter_East_Frankfurt_Backup_Tunnel_With_A_Name_Much_Longer_Than_Its_Column";
    seed({{longName, 4}});
    auto page = makePage();
    QTreeWidget* list = tree(*page);
    list->viewport()->repaint();
    const QImage image = paintedViewport(list);
    const QRect cell = cellRect(list, 0, 1);
    // The last 101 px of the name's cell stay free.
    for (int x = cell.right() - 100; x <= cell.right(); ++x) {
        for (int y = cell.top() + 2; y < cell.bottom() - 1; ++y) {
            ASSERT_TRUE(near(pixel(image, x, y), QColor(QStringLiteral("#FFFFFF")))) << x << "," << y;
        }
    }
    EXPECT_EQ(toolTipAt(list, QPoint(cell.left() + 20, cell.center().y())), QString::fromStdString(longName));
    EXPECT_EQ(toolTipAt(list, cellRect(list, 0, 2).center()), QString());
}

TEST_F(ProfilePainterTest, ThePlaceholderRowHasThePictureAndNoIcons) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        auto page = makePage();
        guitest::applyColorMode(mode);
        QTreeWidget* list = tree(*page);
        list->viewport()->repaint();
        const QImage image = paintedViewport(list);
        const QRect type = cellRect(list, 0, 2);
        const QColor background(QString::fromLatin1(mode == 2 ? "#1B2535" : "#FFFFFF"));
        // Something is drawn in the picture's square and in the text box, nothing right of them.
        auto drawnIn = [&](const QRect& area) {
            for (int x = area.left(); x <= area.right(); ++x) {
                for (int y = area.top(); y <= area.bottom(); ++y) {
                    if (!near(pixel(image, x, y), background)) {
                        return true;
                    }
                }
            }
            return false;
        };
        EXPECT_TRUE(drawnIn(QRect(type.left() - 12, type.top() + 100, 80, 80)));
        EXPECT_TRUE(drawnIn(QRect(type.left() - 72, type.top() + 183, 200, 16)));
        EXPECT_FALSE(drawnIn(QRect(type.left() + 140, type.top() + 100, 60, 100)));
        EXPECT_FALSE(drawnIn(QRect(cellRect(list, 0, 3).left(), type.top() + 20, 100, 20)));

        auto* delegate = qobject_cast<ProfileTreeDelegate*>(list->itemDelegate());
        QSignalSpy any(delegate, SIGNAL(signalConnectButtonClicked(int)));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(cellRect(list, 0, 3).left() + 10, type.top() + 26));
        EXPECT_EQ(any.size(), 0);
        guitest::applyColorMode(1);
    }
}
