// The pager: its records label and page buttons for each case, clicks and "Go to".
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "ZRPageNavigator.h"

namespace {

// The one key the pager looks up, with its English text.
class RecordsTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (QByteArray(context) == "ZRStringConstant" &&
            QByteArray(source) == "ZRVPN_PROFILE_SHOWING_RECORDS") {
            return QStringLiteral("Showing %1-%2 of %3 records");
        }
        return QString();
    }
    bool isEmpty() const override { return false; }
};

class Pager : public ZRPageNavigator {
public:
    explicit Pager(bool showGoto = false) : ZRPageNavigator(nullptr, true, showGoto, 1) {}
    QString label() const { return recordsLabel->text(); }
    QPushButton* prev() const { return prevButton; }
    QPushButton* next() const { return nextButton; }
    QPushButton* rightEllipsis() const { return rightEllipsisButton; }
    QLineEdit* gotoBox() const { return gotoEdit; }
    // The visible page buttons left to right, "..." for an ellipsis, the current page in [].
    QString buttons() const {
        QStringList shown;
        for (int i = 0; i < pagerLayout->count(); ++i) {
            auto* button = qobject_cast<QPushButton*>(pagerLayout->itemAt(i)->widget());
            if (button == nullptr || button == prevButton || button == nextButton ||
                !button->isVisibleTo(this)) {
                continue;
            }
            const bool current = button->property("currentPage").toString() == "true";
            shown.append(current ? "[" + button->text() + "]" : button->text());
        }
        return shown.join(' ');
    }
    QPushButton* pageButton(const QString& text) const {
        for (auto* button : findChildren<QPushButton*>()) {
            if (button->text() == text && button != leftEllipsisButton && button != rightEllipsisButton) {
                return button;
            }
        }
        return nullptr;
    }
};

class PagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        translator = new RecordsTranslator;
        QApplication::installTranslator(translator);
    }
    static void TearDownTestSuite() {
        QApplication::removeTranslator(translator);
        delete translator;
    }
    static RecordsTranslator* translator;
};
RecordsTranslator* PagerTest::translator = nullptr;

struct PagerCase {
    int total, pageSize, buttonCount, page;
    const char* label;
    const char* buttons;
    bool prevActs, nextActs;
};

TEST_F(PagerTest, LabelAndButtonsForEachSetUp) {
    const PagerCase cases[] = {
        {20, 7, 3, 1, "Showing 01-07 of 20 records", "[1] 2 3", false, true},
        {20, 7, 3, 2, "Showing 08-14 of 20 records", "1 [2] 3", true, true},
        {20, 7, 3, 3, "Showing 15-20 of 20 records", "1 2 [3]", true, false},
        {100, 7, 7, 1, "Showing 01-07 of 100 records", "[1] 2 3 4 5 6 ... 15", false, true},
        {100, 7, 7, 7, "Showing 43-49 of 100 records", "1 ... 5 6 [7] 8 9 ... 15", true, true},
        {100, 7, 7, 15, "Showing 99-100 of 100 records", "1 ... 10 11 12 13 14 [15]", true, false},
        {70, 7, 7, 4, "Showing 22-28 of 70 records", "1 2 3 [4] 5 6 ... 10", true, true},
        {70, 7, 7, 5, "Showing 29-35 of 70 records", "1 ... 3 4 [5] 6 7 ... 10", true, true},
        {70, 7, 7, 6, "Showing 36-42 of 70 records", "1 ... 4 5 [6] 7 8 ... 10", true, true},
        {70, 7, 7, 7, "Showing 43-49 of 70 records", "1 ... 5 6 [7] 8 9 10", true, true},
        {9, 9, 1, 1, "Showing 01-09 of 9 records", "[1]", false, false},
        {20, 10, 2, 1, "Showing 01-10 of 20 records", "[1] 2", false, true},
        {20, 10, 2, 2, "Showing 11-20 of 20 records", "1 [2]", true, false},
        {20, 9, 3, 2, "Showing 10-18 of 20 records", "1 [2] 3", true, true},
        {0, 7, 1, 1, "Showing 0-0 of 0 records", "1", false, false},
        {7, 7, 1, 9, "Showing 01-07 of 7 records", "[1]", false, false},
    };
    for (const PagerCase& c : cases) {
        const QString what = QString("%1 records, %2 a page, %3 buttons, page %4")
                                 .arg(c.total)
                                 .arg(c.pageSize)
                                 .arg(c.buttonCount)
                                 .arg(c.page);
        Pager pager;
        QSignalSpy changed(&pager, &ZRPageNavigator::currentPageChanged);
        pager.setupPages(c.total, c.pageSize, c.page, c.buttonCount);
        EXPECT_EQ(pager.label(), c.label) << qPrintable(what);
        EXPECT_EQ(pager.buttons(), c.buttons) << qPrintable(what);
        EXPECT_EQ(pager.prev()->isCheckable(), c.prevActs) << qPrintable(what);
        EXPECT_EQ(pager.next()->isCheckable(), c.nextActs) << qPrintable(what);
        EXPECT_EQ(pager.prev()->cursor().shape(), c.prevActs ? Qt::PointingHandCursor : Qt::ForbiddenCursor);
        EXPECT_EQ(changed.count(), 0) << "set-up does not signal";
    }
}

TEST_F(PagerTest, AnEmptyPagerReportsPageOne) {
    Pager pager;
    pager.setupPages(0, 7, 1, 1);
    QSignalSpy changed(&pager, &ZRPageNavigator::currentPageChanged);
    pager.setCurrentPage(3);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 1);
}

TEST_F(PagerTest, APageSizeOfZeroCountsOneRecordAPage) {
    Pager pager;
    pager.setupPages(5, 0, 2, 5);
    EXPECT_EQ(pager.label(), "Showing 02-02 of 5 records");
    EXPECT_EQ(pager.buttons(), "1 [2] 3 4 5");
    pager.updateRecordsLabel(5, 0);
    EXPECT_EQ(pager.label(), "Showing 02-02 of 5 records");
}

TEST_F(PagerTest, ANegativeTotalCountsAsNoRecords) {
    Pager pager;
    pager.setupPages(-5, 7, 1, 1);
    EXPECT_EQ(pager.label(), "Showing 0-0 of 0 records");
    EXPECT_EQ(pager.buttons(), "1");
    pager.updateRecordsLabel(-5, 7);
    EXPECT_EQ(pager.label(), "Showing 0-0 of 0 records");
}

TEST_F(PagerTest, ClicksSelectPagesAndSignalThem) {
    Pager pager;
    pager.setupPages(100, 7, 3, 7);
    ASSERT_TRUE(guitest::showAndExpose(&pager));
    QSignalSpy changed(&pager, &ZRPageNavigator::currentPageChanged);

    QTest::mouseClick(pager.rightEllipsis(), Qt::LeftButton);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 8);
    EXPECT_EQ(pager.buttons(), "1 ... 6 7 [8] 9 10 ... 15");
    EXPECT_EQ(pager.label(), "Showing 50-56 of 100 records");

    QTest::mouseClick(pager.pageButton("10"), Qt::LeftButton);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 10);
    EXPECT_EQ(pager.buttons(), "1 ... 8 9 [10] 11 12 ... 15");

    QTest::mouseClick(pager.pageButton("15"), Qt::LeftButton);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 15);
    QTest::mouseClick(pager.next(), Qt::LeftButton);
    EXPECT_EQ(changed.count(), 0) << "next is inert on the last page";
    QTest::mouseClick(pager.prev(), Qt::LeftButton);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 14);
    EXPECT_EQ(pager.label(), "Showing 92-98 of 100 records");

    QTest::mouseClick(pager.pageButton("1"), Qt::LeftButton);
    EXPECT_EQ(changed.takeFirst().at(0).toInt(), 1);
    QTest::mouseClick(pager.prev(), Qt::LeftButton);
    EXPECT_EQ(changed.count(), 0) << "previous is inert on page 1";
}

TEST_F(PagerTest, GoToBoxSelectsTheTypedPageOnEnterClamped) {
    struct Case {
        const char* typed;
        int page;
    };
    for (const Case& c : {Case{"99", 15}, Case{"", 1}, Case{"4", 4}}) {
        Pager pager(true);
        pager.setupPages(100, 7, 2, 7);
        ASSERT_TRUE(guitest::showAndExpose(&pager));
        QSignalSpy changed(&pager, &ZRPageNavigator::currentPageChanged);
        pager.gotoBox()->setText(c.typed);
        QTest::keyClick(pager.gotoBox(), Qt::Key_Return);
        ASSERT_EQ(changed.count(), 1) << c.typed;
        EXPECT_EQ(changed.at(0).at(0).toInt(), c.page) << c.typed;
        EXPECT_EQ(pager.gotoBox()->text(), QString::number(c.page));
    }
}

TEST_F(PagerTest, ColourModesSetTheButtonAndLabelStyles) {
    Pager pager;
    pager.setColorMode(2);
    EXPECT_TRUE(pager.styleSheet().endsWith(
        "QPushButton{border: none; background:#1BFFFFFF;border-radius: 4px;color: #A3FFFFFF;}"));
    EXPECT_EQ(pager.prev()->styleSheet(), "image: url(:/Korva VPN/resources/Left.svg);");
    EXPECT_EQ(pager.next()->styleSheet(), "image: url(:/Korva VPN/resources/Right.svg);");
    pager.setColorMode(1);
    EXPECT_TRUE(pager.styleSheet().startsWith("QPushButton:hover{background:#1A0492EB; color: #FF04B0FF;}"));
    EXPECT_TRUE(pager.styleSheet().endsWith(
        "QPushButton{border: none; background:#FFFFFFFF;border-radius: 4px;color: #A31D2529;}"));
    EXPECT_EQ(pager.prev()->styleSheet(), "image: url(:/Korva VPN/resources/LeftNormalLight.svg);");
    EXPECT_EQ(pager.findChild<QLabel*>()->styleSheet(), "QLabel{color:#FF1D2529}");
}

// What the pager shows, whether or not its pages were set up, at the width its row asks
// for: the records text whole and beside the buttons, each page number whole in its button.
TEST_F(PagerTest, TheRecordsTextAndPageNumbersAreWholeAndApart) {
    const struct {
        int total, page, buttonCount; // total -1: the pages are never set up
        const char* label;
    } cases[] = {
        {-1, 0, 0, "Showing 0-0 of 0 records"},
        {0, 1, 1, "Showing 0-0 of 0 records"},
        {1, 1, 1, "Showing 01-01 of 1 records"},
        {20, 2, 3, "Showing 08-14 of 20 records"},
        {10000, 715, 7, "Showing 4999-5005 of 10000 records"},
    };
    for (const auto& c : cases) {
        Pager pager;
        if (c.total >= 0) {
            pager.setupPages(c.total, 7, c.page, c.buttonCount);
        } else {
            // As the Profiles page writes it after a change of language.
            pager.updateRecordsLabel(0, 7);
        }
        ASSERT_TRUE(guitest::showAndExpose(&pager));
        QCoreApplication::processEvents();
        const QString what = QString::number(c.total);
        EXPECT_EQ(pager.label(), c.label) << qPrintable(what);
        auto* label = pager.findChild<QLabel*>(QStringLiteral("recordsLabel"));
        ASSERT_NE(label, nullptr);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << qPrintable(what);
        QList<QWidget*> shown{label};
        for (QPushButton* button : pager.findChildren<QPushButton*>()) {
            if (button->isVisible()) {
                EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                    << qPrintable(what + " " + button->text());
                shown.append(button);
            }
        }
        EXPECT_GE(shown.size(), 4) << qPrintable(what); // the label, previous, a page, next
        for (int i = 0; i < shown.size(); ++i) {
            EXPECT_TRUE(pager.rect().contains(shown[i]->geometry())) << qPrintable(what);
            for (int j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry())) << qPrintable(
                    what + " " + shown[i]->objectName() + shown[i]->property("text").toString() + " / " +
                    shown[j]->property("text").toString());
            }
        }
    }
}

} // namespace
