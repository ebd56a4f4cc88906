#include "ZRHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

#include "WidgetResources.h"

namespace {
QPushButton* createArrow(QWidget* parent, const char* style) {
    auto* arrow = new QPushButton(parent);
    arrow->hide();
    arrow->setFixedSize(8, 8);
    arrow->setStyleSheet(QString::fromLatin1(style));
    return arrow;
}
} // namespace

ZRHeaderView::ZRHeaderView(int checkColumn, int sortColumn, Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent), checkColumn(checkColumn), checkBoxWidget(this),
      sortColumn(sortColumn) {
    checkBoxWidget.hide();
    // A new header shows the down arrow highlighted.
    sortUpButton = createArrow(this, WidgetResources::kSortUpNormal);
    sortDownButton = createArrow(this, WidgetResources::kSortDownHover);
}

ZRHeaderView::~ZRHeaderView() = default;

void ZRHeaderView::setCheckBoxLeft(int x) {
    checkBoxLeft = x;
}

void ZRHeaderView::setSortOffset(int offset) {
    sortOffset = offset;
}

void ZRHeaderView::setCheckEx(bool bCheck) {
    if (bCheck != boxChecked) {
        boxChecked = bCheck;
        updateSection(checkColumn);
    }
}

void ZRHeaderView::setSortType(int iSortType) {
    if (iSortType != sortState) {
        sortState = iSortType;
        updateSection(sortColumn);
    }
}

void ZRHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();

    if (logicalIndex == checkColumn) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = rect;
        option.rect.setLeft(checkBoxLeft);
        option.state = (boxChecked ? QStyle::State_On : QStyle::State_Off) | QStyle::State_Enabled;
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, &checkBoxWidget);
    } else if (logicalIndex == sortColumn) {
        // The two arrows meet at the section's vertical centre.
        painter->save();
        painter->translate(rect.left() + sortOffset, rect.center().y() - sortUpButton->height());
        const QWidget::RenderFlags flags = QWidget::DrawWindowBackground | QWidget::DrawChildren;
        sortUpButton->render(painter, QPoint(), QRegion(), flags);
        painter->translate(0, sortUpButton->height());
        sortDownButton->render(painter, QPoint(), QRegion(), flags);
        painter->restore();
    }
}

void ZRHeaderView::mousePressEvent(QMouseEvent* event) {
    // Past the last section the index is -1, which counts as a column given as -1.
    const int index = visualIndexAt(event->pos().x());
    if (index == checkColumn) {
        boxChecked = !boxChecked;
        updateSection(checkColumn);
        emit signalStateChanged(boxChecked);
    } else if (index == sortColumn) {
        sortState = (sortState + 1) % 3;
        sortUpButton->setStyleSheet(QString::fromLatin1(
            sortState == SortUp ? WidgetResources::kSortUpHover : WidgetResources::kSortUpNormal));
        sortDownButton->setStyleSheet(QString::fromLatin1(
            sortState == SortDown ? WidgetResources::kSortDownHover : WidgetResources::kSortDownNormal));
        updateSection(sortColumn);
        emit signalSortChanged(sortState);
    }
    QHeaderView::mousePressEvent(event);
}

void ZRHeaderView::mouseMoveEvent(QMouseEvent* event) {
    const int index = visualIndexAt(event->pos().x());
    if (QWidget* parent = parentWidget()) {
        parent->setCursor(index == checkColumn || index == sortColumn ? Qt::PointingHandCursor
                                                                      : Qt::ArrowCursor);
    }
    QHeaderView::mouseMoveEvent(event);
}
