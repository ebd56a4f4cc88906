// The chooser's row painter, read from painted pixels: background, card and border
// colours in both palettes, the dashed add row, the check marks, the places of the
// texts, eliding and clipping, and the tool tip over the name.
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QSvgRenderer>
#include <QTest>
#include <QToolTip>
#include <QTreeView>
#include <gtest/gtest.h>

#include "ActiveProfileTreeDelegate.h"
#include "GuiTest.h"
#include "HomeTestSupport.h"

using hometest::blend;
using hometest::near;
using Role = ActiveProfileTreeDelegate::Role;

namespace {

const int kWidth = 800;
const int kHeight = 78;

struct Row {
    QString name;
    QString server;
    QString kind;
    bool addRow = false;
};

class RowPainterTest : public ::testing::Test {
protected:
    QModelIndex add(const Row& row) {
        auto* item = new QStandardItem;
        if (row.addRow) {
            item->setData(true, Role::AddRowRole);
        } else {
            item->setData(row.name, Role::NameRole);
            item->setData(row.kind, Role::KindRole);
            item->setData(row.server, Role::ServerRole);
            item->setData(7, Role::ProfileIdRole);
        }
        model.appendRow(item);
        return item->index();
    }
    QImage paint(const QModelIndex& index, QStyle::State state) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32);
        image.fill(Qt::magenta);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, kWidth, kHeight);
        option.state = QStyle::State_Enabled | state;
        QPainter painter(&image);
        delegate.paint(&painter, option, index);
        return image;
    }
    // The picture as the painter draws it into its 20 x 20 (or 24 x 24) box.
    static QImage svg(const char* path, int size) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QSvgRenderer(QString::fromLatin1(path)).render(&painter, QRectF(0, 0, size, size));
        return image;
    }
    // The share of pixels in `box` that match the picture drawn over `under`.
    static double matchesPicture(const QImage& image, const QRect& box, const QImage& picture,
                                 const QColor& under) {
        int same = 0;
        for (int y = 0; y < box.height(); ++y) {
            for (int x = 0; x < box.width(); ++x) {
                const QColor p = picture.pixelColor(x, y);
                if (near(image.pixelColor(box.x() + x, box.y() + y), blend(p, p.alpha(), under), 24)) {
                    ++same;
                }
            }
        }
        return double(same) / (box.width() * box.height());
    }
    // Pixels of a colour in a region.
    static int count(const QImage& image, const QRect& region, const QColor& color, int tolerance = 40) {
        int n = 0;
        for (int y = region.top(); y <= region.bottom(); ++y) {
            for (int x = region.left(); x <= region.right(); ++x) {
                n += near(image.pixelColor(x, y), color, tolerance) ? 1 : 0;
            }
        }
        return n;
    }

    QStandardItemModel model;
    ActiveProfileTreeDelegate delegate;
};

TEST_F(RowPainterTest, CardsAndBordersInBothPalettes) {
    const QModelIndex profile = add({"office", "vpn.example.org", "Openvpn"});
    const QModelIndex addRow = add({{}, {}, {}, true});
    struct Palette {
        int mode;
        QColor background, card;
    };
    for (const Palette& p : {Palette{1, QColor("#FFFFFF"), QColor("#F5F7FA")},
                             Palette{2, QColor("#262F3E"), QColor("#394456")}}) {
        delegate.setColorMode(p.mode);
        QImage plain = paint(profile, QStyle::State_None);
        EXPECT_EQ(plain.pixelColor(2, 2), p.background) << p.mode;
        EXPECT_EQ(plain.pixelColor(kWidth - 3, kHeight - 3), p.background) << p.mode;
        EXPECT_EQ(plain.pixelColor(400, 60), p.card) << p.mode;
        // Rounded card: its corner pixel shows the row background.
        EXPECT_EQ(plain.pixelColor(8, 8), p.background) << p.mode;
        EXPECT_EQ(plain.pixelColor(400, 8).name(), plain.pixelColor(400, 60).name()) << "no border";

        for (QStyle::State state : {QStyle::State_MouseOver, QStyle::State_Selected}) {
            const QImage bordered = paint(profile, state);
            // A 1 px pen on the card's edge covers half of the pixel row on either side.
            EXPECT_TRUE(near(bordered.pixelColor(400, 8), blend(QColor("#3473F6"), 128, p.card), 20))
                << p.mode << " " << bordered.pixelColor(400, 8).name().toStdString();
            EXPECT_TRUE(near(bordered.pixelColor(8, 39), blend(QColor("#3473F6"), 128, p.card), 20))
                << p.mode;
        }

        // The add row's border is dashed: along its top edge both border and card show.
        const QImage dashed = paint(addRow, QStyle::State_MouseOver);
        const QColor dashColour = blend(QColor("#A2A5A9"), 128, p.card);
        const QRect topEdge(40, 8, 700, 1);
        EXPECT_GT(count(dashed, topEdge, dashColour, 12), 100) << p.mode;
        EXPECT_GT(count(dashed, topEdge, p.card, 6), 100) << p.mode;
        const QImage undashed = paint(addRow, QStyle::State_None);
        EXPECT_EQ(count(undashed, topEdge, dashColour, 12), 0) << p.mode;
    }
}

TEST_F(RowPainterTest, CheckMarkShowsTheSelection) {
    const QModelIndex profile = add({"office", "vpn.example.org", "Openvpn"});
    const QRect box(kWidth - 53, 29, 20, 20);
    struct Case {
        int mode;
        QStyle::State state;
        const char* picture;
        QColor card;
    };
    const Case cases[] = {
        {1, QStyle::State_Selected, ":/Korva VPN/resources/selectedLight.svg", QColor("#F5F7FA")},
        {1, QStyle::State_None, ":/Korva VPN/resources/unselectedLight.svg", QColor("#F5F7FA")},
        {1, QStyle::State_MouseOver, ":/Korva VPN/resources/unselectedLight.svg", QColor("#F5F7FA")},
        {2, QStyle::State_Selected, ":/Korva VPN/resources/selectedLight.svg", QColor("#394456")},
        {2, QStyle::State_None, ":/Korva VPN/resources/selectNormal.svg", QColor("#394456")},
    };
    for (const Case& c : cases) {
        delegate.setColorMode(c.mode);
        const QImage image = paint(profile, c.state);
        EXPECT_GT(matchesPicture(image, box, svg(c.picture, 20), c.card), 0.97) << c.mode << " " << c.picture;
    }
    // The three pictures differ, so the check above tells them apart.
    EXPECT_NE(svg(":/Korva VPN/resources/selectedLight.svg", 20),
              svg(":/Korva VPN/resources/unselectedLight.svg", 20));
    EXPECT_NE(svg(":/Korva VPN/resources/unselectedLight.svg", 20),
              svg(":/Korva VPN/resources/selectNormal.svg", 20));
}

TEST_F(RowPainterTest, TextsStandInTheirBoxes) {
    delegate.setColorMode(1);
    const QModelIndex profile = add({"office", "vpn.example.org", "Openvpn"});
    const QModelIndex addRow = add({{}, {}, {}, true});
    const QImage image = paint(profile, QStyle::State_None);
    EXPECT_EQ(delegate.nameRect(profile), QRect(32, 23, 500, 24));
    const QColor nameColour("#1D2529");
    const QColor detailColour = blend(QColor("#1D2529"), 0xA3, QColor("#F5F7FA"));
    EXPECT_GT(count(image, QRect(32, 23, 500, 16), nameColour), 10) << "the name on the upper line";
    // The name box ends at 46; the detail line below it is lighter.
    EXPECT_EQ(count(image, QRect(32, 47, 500, 16), nameColour, 20), 0) << "only lighter text below";
    EXPECT_GT(count(image, QRect(32, 47, 300, 16), detailColour, 24), 10) << "the detail line";
    EXPECT_EQ(count(image, QRect(12, 12, 18, 54), nameColour, 60), 0) << "nothing left of the texts";

    const QImage add = paint(addRow, QStyle::State_None);
    EXPECT_EQ(delegate.nameRect(addRow), QRect(68, 27, 500, 30));
    EXPECT_GT(count(add, QRect(68, 27, 500, 30), QColor("#007AFF")), 10) << "Add New Profile";
    EXPECT_GT(matchesPicture(add, QRect(32, 27, 24, 24), svg(":/Korva VPN/resources/addBlue.svg", 24),
                             QColor("#F5F7FA")),
              0.97);
}

TEST_F(RowPainterTest, LongTextsAreElidedOrClipped) {
    delegate.setColorMode(1);
    const QModelIndex longName = add({QString(200, QLatin1Char('W')), "10.0.0.1", "Openvpn"});
    const QModelIndex longKind = add({"office", "10.0.0.1", QString(200, QLatin1Char('K'))});
    const QModelIndex longServer = add({"office", QString(60, QLatin1Char('8')), "Openvpn"});
    const QColor nameColour("#1D2529");
    const QColor detailColour = blend(QColor("#1D2529"), 0xA3, QColor("#F5F7FA"));

    const QImage named = paint(longName, QStyle::State_None);
    EXPECT_GT(count(named, QRect(500, 23, 32, 24), nameColour), 0) << "the name runs to its box's end";
    EXPECT_EQ(count(named, QRect(533, 23, 200, 24), nameColour, 60), 0) << "and no further";

    QFont detail(QStringLiteral("Halvex Vento"));
    detail.setPixelSize(12); // 9 points on a 96-dpi screen
    const int serverWidth = QFontMetrics(detail).boundingRect(QRect(), Qt::AlignLeft, "10.0.0.1").width();
    const QImage kinded = paint(longKind, QStyle::State_None);
    const int kindEnd = 8 + 44 + serverWidth + 220;
    EXPECT_GT(count(kinded, QRect(kindEnd - 30, 39, 30, 24), detailColour, 24), 0);
    EXPECT_EQ(count(kinded, QRect(kindEnd + 1, 39, 150, 24), detailColour, 60), 0) << "cut at 220 px";

    // A long server address pushes the separator and the kind to the right.
    const QImage pushed = paint(longServer, QStyle::State_None);
    const int longWidth = QFontMetrics(detail).boundingRect(QRect(), Qt::AlignLeft, QString(60, '8')).width();
    EXPECT_GT(longWidth, 300);
    EXPECT_GT(count(pushed, QRect(8 + 44 + longWidth, 39, 60, 24), detailColour, 24), 0)
        << "the kind after it";
}

TEST_F(RowPainterTest, ToolTipOnlyOverTheName) {
    const QString name = QString(200, QLatin1Char('N'));
    const QModelIndex profile = add({name, "10.0.0.1", "Openvpn"});
    QTreeView view;
    view.setModel(&model);
    paint(profile, QStyle::State_None);
    QStyleOptionViewItem option;

    EXPECT_FALSE(delegate.helpEvent(nullptr, &view, option, profile));
    QHelpEvent inside(QEvent::ToolTip, QPoint(100, 30), QPoint(100, 30));
    EXPECT_FALSE(delegate.helpEvent(&inside, nullptr, option, profile));

    QHelpEvent outside(QEvent::ToolTip, QPoint(100, 60), QPoint(100, 60));
    EXPECT_TRUE(delegate.helpEvent(&outside, &view, option, profile));
    EXPECT_FALSE(QToolTip::isVisible());

    QHelpEvent other(QEvent::WhatsThis, QPoint(100, 30), QPoint(100, 30));
    EXPECT_TRUE(delegate.helpEvent(&other, &view, option, profile));
    EXPECT_FALSE(QToolTip::isVisible());

    EXPECT_TRUE(delegate.helpEvent(&inside, &view, option, profile));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), name) << "the whole name, though it was elided";
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));

    // A row never painted has no name box.
    const QModelIndex unpainted = add({"later", "10.0.0.2", "Openvpn"});
    EXPECT_TRUE(delegate.helpEvent(&inside, &view, option, unpainted));
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST(RowPainterMode, OnlyTwoIsDark) {
    ActiveProfileTreeDelegate delegate;
    EXPECT_FALSE(delegate.isDarkMode());
    for (int mode : {-1, 0, 1, 2, 3}) {
        delegate.slotColorModeChanged(mode);
        EXPECT_EQ(delegate.isDarkMode(), mode == 2) << mode;
    }
}

} // namespace
