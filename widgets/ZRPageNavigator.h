// A one-row pager: a label with the records shown, previous, the first page, an
// ellipsis, numbered middle pages, an ellipsis, the last page, next, and optionally a
// "Go to" box. It emits currentPageChanged; its owner loads the page's rows.
#pragma once

#include <QList>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

class ZRPageNavigator : public QWidget {
    Q_OBJECT
public:
    ZRPageNavigator(QWidget* parent, bool showPrevNext, bool showGoto, int colorMode);

    // Sets the row up for these numbers and shows the page without signalling. Run it
    // once per pager: every run adds a new set of middle buttons.
    void setupPages(int totalRecords, int pageSize, int currentPage, int buttonCount);
    void setCurrentPage(int page);
    void setCurrentPageSilently(int page);
    void updateRecordsLabel(int totalRecords, int pageSize);
    void setColorMode(int colorMode);
    QList<int> visiblePageNumbers();
    QList<QPushButton*> middlePageButtons() const;
    QPushButton* createPageButton();
    int gotoPageValue() const;
    void setPageCount(int pageCount);

signals:
    void currentPageChanged(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    void selectPage(int page);

    QButtonGroup* buttonGroup;
    QLabel* recordsLabel;
    QPushButton* prevButton;
    QPushButton* nextButton;
    QPushButton* firstPageButton;
    QPushButton* lastPageButton;
    QPushButton* leftEllipsisButton;
    QPushButton* rightEllipsisButton;
    QSpacerItem* gotoSpacer;
    QSpacerItem* recordsSpacer;
    QLabel* gotoLabel;
    QLabel* pageLabel;
    QLineEdit* gotoEdit;
    QHBoxLayout* pagerLayout;
    int activePage = 0;
    int buttonCount = 0;
    int pageCount = 0;
    int totalRecords = 0;
    int pageSize = 1;
    bool leftGap = false;
    bool rightGap = false;
};
