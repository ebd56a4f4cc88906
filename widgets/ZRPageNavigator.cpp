#include "ZRPageNavigator.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>

#include "ApplicationStyleSheet.h"
#include "WidgetResources.h"
#include "ZRStringConstant.h"

namespace {
const char* const kHoverRule = "QPushButton:hover{background:#1A0492EB; color: #FF04B0FF;}";
const char* const kCurrentPageRule =
    "QPushButton[currentPage=\"true\"]{background:#FF0492EB; color: #FFFFFFFF;}";
const char* const kBaseRuleDark =
    "QPushButton{border: none; background:#1BFFFFFF;border-radius: 4px;color: #A3FFFFFF;}";
const char* const kBaseRuleLight =
    "QPushButton{border: none; background:#FFFFFFFF;border-radius: 4px;color: #A31D2529;}";
const char* const kLabelDark = "QLabel{color:#FFFFFFFF}";
const char* const kLabelLight = "QLabel{color:#FF1D2529}";
const char* const kGotoEditStyle =
    "QLineEdit{border-radius: 2px;border: none; color: rgba(255,255,255,0.64); background-color: #404040;}";
const char* const kCurrentPageProperty = "currentPage";
const int kPageButtonSize = 28;
// Room on each side of a page number too long for the square button.
const int kPageNumberPadding = 8;

// A first record of 1 to 9 is written with a leading zero, and then so is a last one
// below 10.
QString recordNumber(int value) {
    return value >= 0 && value < 10 ? QStringLiteral("0%1").arg(value) : QString::number(value);
}
} // namespace

ZRPageNavigator::ZRPageNavigator(QWidget* parent, bool showPrevNext, bool showGoto, int colorMode)
    : QWidget(parent, Qt::WindowFlags()) {
    setFixedHeight(28);
    buttonGroup = new QButtonGroup(this);
    pagerLayout = new QHBoxLayout(this);
    pagerLayout->setSpacing(6);
    pagerLayout->setContentsMargins(0, 0, 0, 0);
    recordsLabel = new QLabel(this);
    recordsLabel->setObjectName(QStringLiteral("recordsLabel"));

    prevButton = createPageButton();
    firstPageButton = createPageButton();
    buttonGroup->addButton(firstPageButton);
    leftEllipsisButton = createPageButton();
    leftEllipsisButton->setText(QStringLiteral("..."));
    rightEllipsisButton = createPageButton();
    rightEllipsisButton->setText(QStringLiteral("..."));
    lastPageButton = createPageButton();
    buttonGroup->addButton(lastPageButton);
    nextButton = createPageButton();

    gotoLabel = new QLabel(QStringLiteral("Go to"), this);
    gotoEdit = new QLineEdit(this);
    gotoEdit->installEventFilter(this);
    gotoEdit->setFixedSize(57, 28);
    gotoEdit->setAlignment(Qt::AlignCenter);
    gotoEdit->setValidator(new QIntValidator(1, 10000, gotoEdit));
    gotoEdit->setStyleSheet(QString::fromLatin1(kGotoEditStyle));
    pageLabel = new QLabel(QStringLiteral("page"), this);
    pageLabel->hide();

    setColorMode(colorMode);

    if (!showGoto) {
        gotoLabel->hide();
        gotoEdit->hide();
    }
    if (!showPrevNext) {
        prevButton->hide();
        nextButton->hide();
        firstPageButton->hide();
    }

    // The row is laid out from the start, as for no records: a pager shown before its pages
    // are set up (or whose owner could not count them) shows its records text beside its
    // buttons, never over them. The set-up adds the numbered middle buttons between the
    // ellipses.
    QFont font(QStringLiteral("Halvex Vento"));
    font.setWeight(QFont::Bold);
    recordsLabel->setFont(font);
    gotoLabel->setFont(font);
    firstPageButton->setText(QStringLiteral("1"));
    leftEllipsisButton->hide();
    rightEllipsisButton->hide();
    pagerLayout->addWidget(recordsLabel);
    recordsSpacer = new QSpacerItem(12, 12, QSizePolicy::Fixed, QSizePolicy::Minimum);
    pagerLayout->addSpacerItem(recordsSpacer);
    pagerLayout->addWidget(prevButton);
    pagerLayout->addWidget(firstPageButton);
    pagerLayout->addWidget(leftEllipsisButton);
    pagerLayout->addWidget(rightEllipsisButton);
    pagerLayout->addWidget(lastPageButton);
    pagerLayout->addWidget(nextButton);
    gotoSpacer = new QSpacerItem(12, 12, QSizePolicy::Fixed, QSizePolicy::Minimum);
    pagerLayout->addSpacerItem(gotoSpacer);
    pagerLayout->addWidget(gotoLabel);
    pagerLayout->addWidget(gotoEdit);
    pagerLayout->addWidget(pageLabel);
    pagerLayout->addStretch();
    setCurrentPageSilently(1);
}

QPushButton* ZRPageNavigator::createPageButton() {
    auto* button = new QPushButton(this);
    button->setFixedSize(kPageButtonSize, kPageButtonSize);
    button->setCursor(Qt::PointingHandCursor);
    button->installEventFilter(this);
    return button;
}

void ZRPageNavigator::setupPages(int totalRecords, int pageSize, int currentPage, int buttonCount) {
    // A page size below 1 would divide by zero; such a pager counts one record a page.
    this->totalRecords = std::max(0, totalRecords);
    this->pageSize = std::max(1, pageSize);
    this->buttonCount = buttonCount;
    pageCount = (this->totalRecords + this->pageSize - 1) / this->pageSize;

    int at = pagerLayout->indexOf(rightEllipsisButton);
    for (int n = 2; n <= buttonCount - 1; ++n) {
        QPushButton* button = createPageButton();
        buttonGroup->addButton(button);
        button->setText(QString::number(n));
        pagerLayout->insertWidget(at++, button);
    }
    lastPageButton->setText(QString::number(pageCount));

    setCurrentPageSilently(currentPage);
    updateRecordsLabel(this->totalRecords, this->pageSize);
}

void ZRPageNavigator::updateRecordsLabel(int totalRecords, int pageSize) {
    totalRecords = std::max(0, totalRecords);
    pageSize = std::max(1, pageSize);
    int first = pageSize * (activePage - 1) + 1;
    const int last = activePage == pageCount ? totalRecords : pageSize * activePage;
    if (last < first || first < 0) {
        first = 0;
    }
    const bool padded = first >= 1 && first <= 9;
    recordsLabel->setText(ZRStringConstant::tr("ZRVPN_PROFILE_SHOWING_RECORDS")
                              .arg(padded ? recordNumber(first) : QString::number(first),
                                   padded ? recordNumber(last) : QString::number(last),
                                   QString::number(totalRecords)));
}

QList<int> ZRPageNavigator::visiblePageNumbers() {
    const int half = (buttonCount - 1) / 2;
    const int p = activePage;
    const int n = pageCount;
    bool left = false;
    bool right = false;
    if (buttonCount < n) {
        left = p > buttonCount - half;
        right = p < n - half;
    }
    int from;
    int to;
    if (left && right) {
        const int h = buttonCount / 2;
        from = p - h + 1;
        to = p + h - 1;
    } else if (left) {
        from = n - buttonCount + 2;
        to = n - 1;
    } else if (right) {
        from = 2;
        to = buttonCount - 1;
    } else {
        from = 2;
        to = n - 1;
    }
    leftGap = left;
    rightGap = right;
    QList<int> numbers;
    for (int page = from; page <= to; ++page) {
        numbers.append(page);
    }
    return numbers;
}

QList<QPushButton*> ZRPageNavigator::middlePageButtons() const {
    QList<QPushButton*> middle;
    const QList<QAbstractButton*> buttons = buttonGroup->buttons();
    const int count = std::min(buttons.size(), pageCount);
    for (int i = 0; i < count; ++i) {
        auto* button = static_cast<QPushButton*>(buttons.at(i));
        if (button != firstPageButton && button != lastPageButton) {
            middle.append(button);
        }
    }
    return middle;
}

void ZRPageNavigator::setCurrentPage(int page) {
    selectPage(page);
    emit currentPageChanged(activePage == 0 ? 1 : activePage);
}

void ZRPageNavigator::setCurrentPageSilently(int page) {
    selectPage(page);
}

void ZRPageNavigator::selectPage(int page) {
    page = std::min(std::max(1, page), pageCount);
    activePage = page;
    gotoEdit->setText(QString::number(page));

    const QList<QPushButton*> middle = middlePageButtons();
    const QList<int> numbers = visiblePageNumbers();
    for (int i = 0; i < middle.size() && i < numbers.size(); ++i) {
        middle.at(i)->setText(QString::number(numbers.at(i)));
    }

    lastPageButton->setVisible(pageCount >= 2);
    leftEllipsisButton->setVisible(leftGap);
    rightEllipsisButton->setVisible(rightGap);

    const QList<QAbstractButton*> buttons = buttonGroup->buttons();
    for (QAbstractButton* button : buttons) {
        const bool current = button->text().toInt() == page;
        button->setProperty(kCurrentPageProperty, current ? QStringLiteral("true") : QStringLiteral("false"));
        // Setting a style sheet makes the style read the property again.
        button->setStyleSheet(QStringLiteral("/**/"));
        // A square holds a number of two digits; a longer one widens its button.
        button->ensurePolished();
        button->setFixedWidth(
            std::max(kPageButtonSize,
                     QFontMetrics(button->font()).horizontalAdvance(button->text()) + kPageNumberPadding));
    }

    // Previous and next act only while checkable; at an end they are inert.
    for (QPushButton* button : {prevButton, nextButton}) {
        button->setCursor(Qt::PointingHandCursor);
        button->setCheckable(true);
    }
    if (page <= 1) {
        prevButton->setCheckable(false);
        prevButton->setCursor(Qt::ForbiddenCursor);
    }
    if (page == pageCount) {
        nextButton->setCheckable(false);
        nextButton->setCursor(Qt::ForbiddenCursor);
    }
}

int ZRPageNavigator::gotoPageValue() const {
    return gotoEdit->text().isEmpty() ? -1 : gotoEdit->text().toInt();
}

void ZRPageNavigator::setPageCount(int pageCount) {
    this->pageCount = pageCount;
}

void ZRPageNavigator::setColorMode(int colorMode) {
    const bool dark = colorMode == 2;
    SetWidgetStyleSheet(this, QString::fromLatin1(kHoverRule) + QString::fromLatin1(kCurrentPageRule) +
                                  QString::fromLatin1(dark ? kBaseRuleDark : kBaseRuleLight));
    SetWidgetStyleSheet(prevButton, QString::fromLatin1(dark ? WidgetResources::kPagerPrevDark
                                                             : WidgetResources::kPagerPrevLight));
    SetWidgetStyleSheet(nextButton, QString::fromLatin1(dark ? WidgetResources::kPagerNextDark
                                                             : WidgetResources::kPagerNextLight));
    const QString labelStyle = QString::fromLatin1(dark ? kLabelDark : kLabelLight);
    SetWidgetStyleSheet(recordsLabel, labelStyle);
    SetWidgetStyleSheet(gotoLabel, labelStyle);
}

bool ZRPageNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const int p = activePage;
        const int jump = buttonCount - 2;
        bool chosen = true;
        if (watched == prevButton) {
            chosen = prevButton->isCheckable();
            if (chosen) {
                setCurrentPage(p - 1);
            }
        } else if (watched == nextButton) {
            chosen = nextButton->isCheckable();
            if (chosen) {
                setCurrentPage(p + 1);
            }
        } else if (watched == leftEllipsisButton) {
            setCurrentPage(p - jump);
        } else if (watched == rightEllipsisButton) {
            setCurrentPage(p + jump);
        } else if (auto* button = qobject_cast<QAbstractButton*>(watched);
                   button != nullptr && buttonGroup->buttons().contains(button)) {
            setCurrentPage(button->text().toInt());
        } else {
            chosen = false;
        }
        if (chosen) {
            updateRecordsLabel(totalRecords, pageSize);
        }
        // Passed on, so previous and next also toggle their checked state.
        return false;
    }
    if (event->type() == QEvent::KeyRelease && watched == gotoEdit) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            setCurrentPage(std::max(1, gotoEdit->text().toInt()));
            updateRecordsLabel(totalRecords, pageSize);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
