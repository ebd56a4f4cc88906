#include "ActiveProfileTreeDelegate.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPen>
#include <QSvgRenderer>
#include <QToolTip>

#include "HomeResources.h"
#include "PixelFont.h"
#include "ZRStringConstant.h"

namespace {

struct Palette {
    const char* rowBackground;
    const char* cardFill;
    const char* nameText;
    const char* detailText;
    const char* uncheckedImage;
};
const Palette kLight = {"#FFFFFF", "#F5F7FA", "#1D2529", "#A31D2529", HomeResources::kCheckUnselectedLight};
const Palette kDark = {"#262F3E", "#394456", "#FFFFFF", "#CCFFFFFF", HomeResources::kCheckUnselectedDark};
const char* const kProfileBorder = "#3473F6";
const char* const kAddBorder = "#A2A5A9";
const char* const kAddText = "#007AFF";

const int kCardInset = 8;
const qreal kCardRadius = 8;
const int kNamePoints = 11;
const int kDetailPoints = 9;
const int kTextLeft = 24;
const int kNameWidth = 500;
const int kLineHeight = 24;
const int kSeparatorWidth = 20;
const int kKindWidth = 220;
const int kCheckSize = 20;
const int kCheckFromRight = 44;
const int kAddIconSize = 24;
const int kAddTextLeft = 60;
const int kAddTextHeight = 30;

// The brand font at the pixel size of `points` on a 96-dpi screen, at any dpi, as the
// style sheets' texts around the rows.
QFont brandFont(int points, int weight) {
    return pixelFont(QLatin1String(HomeResources::kBrandFamily), points, weight);
}

void drawSvg(QPainter* painter, const char* path, const QRect& box) {
    QSvgRenderer renderer(QString::fromLatin1(path));
    if (renderer.isValid()) {
        renderer.render(painter, QRectF(box));
    }
}

// The card, filled, with an optional border pen.
void drawCard(QPainter* painter, const QRect& card, const QColor& fill, const QPen& pen) {
    painter->save();
    painter->setPen(pen);
    painter->setBrush(fill);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawRoundedRect(card, kCardRadius, kCardRadius, Qt::AbsoluteSize);
    painter->restore();
}

QPen borderPen(const char* color, Qt::PenStyle style) {
    return QPen(QBrush(QColor(color)), 1.0, style, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

ActiveProfileTreeDelegate::ActiveProfileTreeDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void ActiveProfileTreeDelegate::setColorMode(int mode) {
    darkMode = mode == 2;
}

bool ActiveProfileTreeDelegate::isDarkMode() const {
    return darkMode;
}

void ActiveProfileTreeDelegate::slotColorModeChanged(int iColorMode) {
    setColorMode(iColorMode);
}

QRect ActiveProfileTreeDelegate::nameRect(const QModelIndex& index) const {
    return nameRects.value(index);
}

void ActiveProfileTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    QStyledItemDelegate::paint(painter, option, index);

    const Palette& palette = darkMode ? kDark : kLight;
    const QRect row = option.rect;
    const QRect card = row.adjusted(kCardInset, kCardInset, -kCardInset, -kCardInset);
    const int mid = card.top() + card.height() / 2;
    const int x = card.left();

    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(palette.rowBackground));
    painter->drawRect(row);
    painter->restore();

    const QColor cardFill(palette.cardFill);
    drawCard(painter, card, cardFill, Qt::NoPen);

    const bool highlighted = item.state & (QStyle::State_MouseOver | QStyle::State_Selected);
    if (index.data(AddRowRole).toBool()) {
        if (highlighted) {
            drawCard(painter, card, cardFill, borderPen(kAddBorder, Qt::DashLine));
        }
        drawSvg(painter, HomeResources::kAddIcon, QRect(x + kTextLeft, mid - 12, kAddIconSize, kAddIconSize));
        painter->save();
        const QRect textBox(x + kAddTextLeft, mid - 12, kNameWidth, kAddTextHeight);
        painter->setFont(brandFont(kNamePoints, QFont::Bold));
        painter->setPen(QColor(kAddText));
        const QString text = painter->fontMetrics().elidedText(ZRStringConstant::tr("ZRVPN_ADD_NEW_PROFILE"),
                                                               Qt::ElideRight, textBox.width());
        painter->drawText(textBox, Qt::AlignLeft | Qt::AlignBottom, text);
        nameRects[index] = textBox;
        painter->restore();
        return;
    }

    if (highlighted) {
        drawCard(painter, card, cardFill, borderPen(kProfileBorder, Qt::SolidLine));
    }

    painter->save();
    const QRect nameBox(x + kTextLeft, mid - 16, kNameWidth, kLineHeight);
    painter->setFont(brandFont(kNamePoints, QFont::Bold));
    painter->setPen(QColor(palette.nameText));
    painter->drawText(
        nameBox, Qt::AlignLeft | Qt::AlignBottom,
        painter->fontMetrics().elidedText(index.data(NameRole).toString(), Qt::ElideRight, kNameWidth));
    nameRects[index] = nameBox;
    painter->restore();

    painter->save();
    const QFont detailFont = brandFont(kDetailPoints, QFont::Normal);
    painter->setFont(detailFont);
    painter->setPen(QColor(palette.detailText));
    const QString server = index.data(ServerRole).toString();
    const int serverWidth = QFontMetrics(detailFont).boundingRect(QRect(), Qt::AlignLeft, server).width();
    painter->drawText(QRect(x + kTextLeft, mid, serverWidth, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      server);
    painter->drawText(QRect(x + kTextLeft + kSeparatorWidth + serverWidth, mid, kKindWidth, kLineHeight),
                      Qt::AlignLeft | Qt::AlignVCenter, index.data(KindRole).toString());
    painter->drawText(QRect(x + kTextLeft + serverWidth, mid, kSeparatorWidth, kLineHeight), Qt::AlignCenter,
                      QStringLiteral("|"));
    painter->restore();

    const bool selected = item.state & QStyle::State_Selected;
    drawSvg(painter, selected ? HomeResources::kCheckSelected : palette.uncheckedImage,
            QRect(card.right() - kCheckFromRight, mid - 10, kCheckSize, kCheckSize));
}

bool ActiveProfileTreeDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                          const QStyleOptionViewItem&, const QModelIndex& index) {
    if (event == nullptr || view == nullptr) {
        return false;
    }
    if (event->type() == QEvent::ToolTip) {
        auto found = nameRects.constFind(index);
        if (found != nameRects.constEnd() && found.value().contains(event->pos())) {
            QToolTip::showText(QCursor::pos(), index.data(NameRole).toString());
        }
    }
    return true;
}
