#include "ProfileTreeDelegate.h"

#include <QAbstractItemView>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QToolTip>
#include <QWidget>

#include "AppContext.h"
#include "PixelFont.h"
#include "ProfilePageConstants.h"
#include "SystemContext.h"
#include "ZRStringConstant.h"

using namespace ProfilePage;

namespace {

const char* const kDarkOddRow = "#1B2535";
const char* const kDarkEvenRow = "#212C3D";
const char* const kLightRow = "#FFFFFF";
const char* const kLightLine = "#141D2529";
const char* const kDarkPlaceholderLine = "#29FFFFFF";
const char* const kBadgeFill = "#CAF3C8";
const char* const kBadgeText = "#0DC901";
const char* const kNoProfileTextDark = "#A3FFFFFF";
const char* const kNoProfileTextLight = "#661D2529";
const char* const kBadgeFontFamily = "Halvex Vento";

// The name keeps this much of its cell free for the badge.
const int kNameReserve = 101;
const int kBadgeGap = 4;
const int kBadgeWidth = 85;
const int kBadgeHeight = 26;
const int kBadgeRadius = 4;
const int kBadgeTextInset = 4;
const int kBadgeTextWidth = 77;
const int kBadgeFontPointSize = 10;

const int kIconOffset[3] = {30, 60, 0}; // edit, delete, connect, from the cell's left edge
const int kIconHitWidth = 20;
const int kIconSize = 24;

const int kPictureLeft = -12;
const int kPictureTop = 100;
const int kPictureSize = 80;
const int kNoProfileTextLeft = -72;
const int kNoProfileTextTop = 183;
const int kNoProfileTextWidth = 200;
const int kNoProfileTextHeight = 16;

bool connectionBusy() {
    const int status = SystemContext::Instance()->GetAppContext()->GetConnectStatus();
    return status == CONNECT_STATUS_CONNECTING || status == CONNECT_STATUS_CONNECTED;
}

bool isPlaceholderCell(const QModelIndex& index) {
    return index.data(kRoleProfileID).toInt() == kPlaceholderID;
}

bool isMouseEvent(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

} // namespace

ProfileTreeDelegate::ProfileTreeDelegate(QObject* parent)
    : QStyledItemDelegate(parent), connectIcon(QString::fromLatin1(kConnectIcon)),
      disconnectIcon(QString::fromLatin1(kDisconnectIcon)) {}

ProfileTreeDelegate::~ProfileTreeDelegate() = default;

void ProfileTreeDelegate::setColorMode(int mode) {
    dark = mode == COLOR_MODE_DARK;
}

QWidget* ProfileTreeDelegate::parentWidget() const {
    return qobject_cast<QWidget*>(parent());
}

void ProfileTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QRect rect = option.rect;
    const bool placeholder = isPlaceholderCell(index);
    const bool oddRow = index.row() % 2 == 1;

    if (dark) {
        painter->fillRect(rect, QColor(oddRow || placeholder ? kDarkOddRow : kDarkEvenRow));
    } else {
        painter->fillRect(rect, QColor(kLightRow));
    }

    switch (index.column()) {
    case kColumnAction:
        if (!placeholder) {
            drawActionButtons(painter, index, EditButton, rect);
            drawActionButtons(painter, index, DeleteButton, rect);
            drawActionButtons(painter, index, ConnectButton, rect);
        }
        break;
    case kColumnName:
        drawNameAndBadge(painter, index, rect);
        break;
    case kColumnType:
        if (placeholder) {
            drawPlaceholder(painter, rect);
        }
        break;
    default:
        break;
    }

    if (!dark) {
        painter->save();
        painter->setPen(QColor(kLightLine));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (index.row() == 0) {
            painter->drawLine(rect.topLeft(), rect.topRight());
        }
        painter->restore();
    } else if (placeholder && index.row() == 0) {
        painter->save();
        painter->setPen(QColor(kDarkPlaceholderLine));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->restore();
    }

    // The kind label of column 2 and whatever the style draws for the item's state.
    QStyledItemDelegate::paint(painter, option, index);
}

void ProfileTreeDelegate::drawNameAndBadge(QPainter* painter, const QModelIndex& index,
                                           const QRect& rect) const {
    const QString name = index.data(kRoleProfileName).toString();
    const QString elided =
        painter->fontMetrics().elidedText(name, Qt::ElideRight, rect.width() - kNameReserve);
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, elided);
    if (!index.data(kRoleConnected).toBool()) {
        return;
    }
    painter->save();
    const QFont badgeFont = pixelFont(QString::fromLatin1(kBadgeFontFamily), kBadgeFontPointSize);
    const int nameWidth = QFontMetrics(badgeFont).boundingRect(QRect(), Qt::AlignLeft, elided).width();
    const QRect badge(rect.left() + nameWidth + kBadgeGap, rect.top() + (rect.height() - kBadgeHeight) / 2,
                      kBadgeWidth, kBadgeHeight);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(kBadgeFill));
    painter->drawRoundedRect(badge, kBadgeRadius, kBadgeRadius, Qt::AbsoluteSize);
    const QRect textBox(badge.left() + kBadgeTextInset, badge.top(), kBadgeTextWidth, badge.height());
    const QString text = painter->fontMetrics().elidedText(ZRStringConstant::tr("ZRVPN_CONNECTED"),
                                                           Qt::ElideRight, kBadgeTextWidth);
    painter->setPen(QColor(kBadgeText));
    painter->drawText(textBox, Qt::AlignCenter, text);
    painter->restore();
}

void ProfileTreeDelegate::drawPlaceholder(QPainter* painter, const QRect& rect) const {
    painter->save();
    const QPixmap picture(QString::fromLatin1(dark ? kNoDataDarkImage : kNoDataImage));
    const QRect pictureRect(rect.left() + kPictureLeft, rect.top() + kPictureTop, kPictureSize, kPictureSize);
    painter->drawPixmap(pictureRect, picture);
    const QRect textBox(rect.left() + kNoProfileTextLeft, rect.top() + kNoProfileTextTop, kNoProfileTextWidth,
                        kNoProfileTextHeight);
    painter->setPen(QColor(dark ? kNoProfileTextDark : kNoProfileTextLight));
    painter->drawText(textBox, Qt::AlignCenter, ZRStringConstant::tr("ZRVPN_NO_PROFILE"));
    painter->restore();
}

QStyleOptionButton ProfileTreeDelegate::createButtonOption(const QString& iconPath) {
    QStyleOptionButton option;
    option.state = QStyle::State_Enabled;
    option.features = QStyleOptionButton::Flat;
    option.icon = QIcon(iconPath);
    option.iconSize = QSize(kIconSize, kIconSize);
    option.palette.setColor(QPalette::ButtonText, Qt::black);
    return option;
}

void ProfileTreeDelegate::setButtonOptionState(QStyleOptionButton& option) {
    option.state |= QStyle::State_Enabled;
    option.state &= ~QStyle::State_ReadOnly;
}

void ProfileTreeDelegate::drawActionButtons(QPainter* painter, const QModelIndex& index, ActionButton button,
                                            const QRect& rect) const {
    QMap<CellKey, QStyleOptionButton>& records = buttonRecords[button];
    const CellKey key(index.row(), index.column());
    auto record = records.find(key);
    if (button == ConnectButton) {
        const bool busy = connectionBusy();
        if (busy && !index.data(kRoleConnected).toBool()) {
            // No icon while another profile's connection is made or up, and no place that
            // a click could reach either.
            records.remove(key);
            return;
        }
        const QString icon = QString::fromLatin1(busy ? kDisconnectIcon : kConnectIcon);
        if (record == records.end()) {
            record = records.insert(key, createButtonOption(icon));
        } else {
            // The two icons are loaded once; handing one over shares it.
            record->icon = busy ? disconnectIcon : connectIcon;
        }
    } else if (record == records.end()) {
        record = records.insert(
            key, createButtonOption(QString::fromLatin1(button == EditButton ? kEditIcon : kDeleteIcon)));
    }
    setButtonOptionState(*record);
    record->rect = QRect(rect.x() + kIconOffset[button], rect.y(), kIconHitWidth, rect.height());
    QWidget* widget = parentWidget();
    QStyle* style = widget != nullptr ? widget->style() : nullptr;
    if (style != nullptr) {
        style->drawControl(QStyle::CE_PushButton, &*record, painter, nullptr);
    }
}

QRect ProfileTreeDelegate::buttonRect(ActionButton button, const QModelIndex& index) const {
    const auto record = buttonRecords[button].constFind(CellKey(index.row(), index.column()));
    return record == buttonRecords[button].constEnd() ? QRect() : record->rect;
}

int ProfileTreeDelegate::hitButton(const QPoint& pos, const QModelIndex& index) const {
    for (ActionButton button : {EditButton, DeleteButton, ConnectButton}) {
        if (buttonRect(button, index).contains(pos)) {
            return button;
        }
    }
    return -1;
}

bool ProfileTreeDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                      const QStyleOptionViewItem& option, const QModelIndex& index) {
    Q_UNUSED(model);
    QWidget* widget = parentWidget();
    if (index.column() != kColumnAction) {
        if (widget != nullptr) {
            widget->setCursor(Qt::ArrowCursor);
        }
        return true;
    }
    if (event == nullptr || !isMouseEvent(event)) {
        return false;
    }
    const QPoint pos = static_cast<QMouseEvent*>(event)->pos();
    const int hit = hitButton(pos, index);
    if (event->type() == QEvent::MouseButtonRelease && hit >= 0 && option.rect.contains(pos)) {
        const int row = index.row();
        if (hit == EditButton) {
            emit signalEditButtonClicked(row);
        } else if (hit == DeleteButton) {
            emit signalDeleteButtonClicked(row);
        } else {
            emit signalConnectButtonClicked(row);
        }
    }
    return true;
}

bool ProfileTreeDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    Q_UNUSED(option);
    if (event == nullptr || view == nullptr) {
        return false;
    }
    if (event->type() != QEvent::ToolTip) {
        return true;
    }
    QWidget* widget = parentWidget();
    const int hit = index.column() == kColumnAction ? hitButton(event->pos(), index) : -1;
    QString tip;
    if (hit == EditButton) {
        tip = ZRStringConstant::tr("ZRVPN_PROFILE_EDIT");
    } else if (hit == DeleteButton) {
        tip = ZRStringConstant::tr("ZRVPN_PROFILE_DELETE");
    } else if (hit == ConnectButton) {
        tip =
            ZRStringConstant::tr(index.data(kRoleConnected).toBool() ? "ZRVPN_DISCONNECT" : "ZRVPN_CONNECT");
    }
    if (widget != nullptr) {
        widget->setCursor(hit >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    if (hit < 0 && index.column() == kColumnName) {
        tip = index.data(kRoleProfileName).toString();
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(QCursor::pos(), tip);
    }
    return true;
}
