// The queued toast: queue order and timing, duplicates, placement and styles.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

#include "GuiTest.h"
#include "ZRToastDialog.h"

namespace {

struct Shown {
    QString text;
    qint64 startMs;
    int intervalMs;
};

class Toast : public ::testing::Test {
protected:
    void SetUp() override {
        toast = ZRToastDialog::instance();
        ZRToastDialog::setDefaultParent(nullptr);
        anchor.setGeometry(100, 100, 400, 300);
        ASSERT_TRUE(guitest::showAndExpose(&anchor));
        ASSERT_FALSE(timer()->isActive()) << "a previous test left a toast showing";
    }
    void TearDown() override { waitUntilHidden(); }

    QTimer* timer() const { return toast->findChild<QTimer*>(); }
    QLabel* iconLabel() const {
        return qobject_cast<QLabel*>(toast->findChild<QHBoxLayout*>()->itemAt(0)->widget());
    }
    QLabel* textLabel() const {
        return qobject_cast<QLabel*>(toast->findChild<QHBoxLayout*>()->itemAt(1)->widget());
    }

    // Follows the toast until it hides: every text shown (a restart of the timer with
    // the same text counts as a new toast), when it started and the timer's interval.
    // The toast's times are what these tests measure, so it is sampled every 5 ms of real
    // time rather than waited for.
    std::vector<Shown> followUntilHidden(qint64* hiddenAtMs) {
        std::vector<Shown> shown;
        QElapsedTimer clock;
        clock.start();
        int lastRemaining = -1;
        while (toast->isVisible() && clock.elapsed() < 20000) {
            const int remaining = timer()->remainingTime();
            const bool restarted = lastRemaining >= 0 && remaining > lastRemaining + 50;
            if (shown.empty() || shown.back().text != textLabel()->text() || restarted) {
                shown.push_back({textLabel()->text(), clock.elapsed(), timer()->interval()});
            }
            lastRemaining = remaining;
            QTest::qWait(5);
        }
        *hiddenAtMs = clock.elapsed();
        return shown;
    }

    void waitUntilHidden() {
        guitest::waitFor([this] { return !toast->isVisible(); }, 20000);
    }

    ZRToastDialog* toast = nullptr;
    QWidget anchor;
};

TEST_F(Toast, ABurstShowsTheFirstInFullTheMiddleBrieflyAndTheLastInFull) {
    toast->showToast(&anchor, "first", 1500);
    toast->showToast(&anchor, "second", 1500);
    toast->showToast(&anchor, "third", 1500);
    qint64 hiddenAt = 0;
    const std::vector<Shown> shown = followUntilHidden(&hiddenAt);

    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "first");
    EXPECT_EQ(shown[1].text, "second");
    EXPECT_EQ(shown[2].text, "third");
    EXPECT_EQ(shown[0].intervalMs, 1500);
    EXPECT_EQ(shown[1].intervalMs, 500);
    EXPECT_EQ(shown[2].intervalMs, 1500);
    // Generous lower bounds only: a loaded machine may run late, never much early.
    EXPECT_GE(shown[1].startMs - shown[0].startMs, 1300);
    EXPECT_GE(shown[2].startMs - shown[1].startMs, 400);
    EXPECT_GE(hiddenAt - shown[2].startMs, 1300);
    EXPECT_FALSE(timer()->isActive());
}

TEST_F(Toast, ARepeatedTextIsDroppedOnlyAgainstTheLastWaitingToast) {
    toast->showToast(&anchor, "showing", 300);
    toast->showToast(&anchor, "same", 300);
    toast->showToast(&anchor, "same", 300);
    qint64 hiddenAt = 0;
    std::vector<Shown> shown = followUntilHidden(&hiddenAt);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "same");
    EXPECT_EQ(shown[1].intervalMs, 300) << "shown once, as the last toast";

    // Asked again while it shows and nothing waits: it is queued and shown again.
    toast->showToast(&anchor, "first", 300);
    toast->showToast(&anchor, "again", 300);
    ASSERT_TRUE(QTest::qWaitFor([this] { return textLabel()->text() == "again"; }, 10000));
    toast->showToast(&anchor, "again", 700);
    shown = followUntilHidden(&hiddenAt);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "again");
    EXPECT_EQ(shown[1].text, "again");
    EXPECT_EQ(shown[1].intervalMs, 700);
}

TEST_F(Toast, IsPlacedOverItsAnchorAndKeptInsideTheScreenArea) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    toast->showToast(&anchor, "placed", 200);
    EXPECT_EQ(toast->pos(), QPoint(100 + (400 - toast->width()) / 2, 100 + 240));
    waitUntilHidden();

    QWidget low;
    low.setGeometry(100, area.bottom() - 100, 400, 300);
    ASSERT_TRUE(guitest::showAndExpose(&low));
    toast->showToast(&low, "low", 200);
    EXPECT_EQ(toast->y(), area.bottom() - toast->height());
    waitUntilHidden();

    // No widget and no default parent: the null anchor, placed by the clamping alone.
    toast->showToast(nullptr, "nowhere", 200);
    EXPECT_EQ(toast->pos(), area.topLeft());
}

TEST_F(Toast, AWaitingToastIsPlacedOverItsOwnAnchorWhenItsTurnComes) {
    QWidget other;
    other.setGeometry(300, 50, 200, 100);
    ASSERT_TRUE(guitest::showAndExpose(&other));
    toast->showToast(&anchor, "one toast", 200);
    toast->showToast(&other, "toast one", 200);
    ASSERT_TRUE(QTest::qWaitFor([this] { return textLabel()->text() == "toast one"; }, 10000));
    EXPECT_EQ(toast->pos(), QPoint(300 + (200 - toast->width()) / 2, 50 + 80));
}

TEST_F(Toast, TextOnlyToastsHideTheIconAndUnknownTypesShowNoIcon) {
    toast->showPresetToast0(&anchor, "with icon", 200);
    EXPECT_TRUE(iconLabel()->isVisibleTo(toast));
    toast->showToast(&anchor, "text only", 200);
    ASSERT_TRUE(QTest::qWaitFor([this] { return textLabel()->text() == "text only"; }, 10000));
    EXPECT_FALSE(iconLabel()->isVisibleTo(toast));
    waitUntilHidden();

    toast->showTypedToast(&anchor, "odd type", 200, 7, QString(), QString(), QString(), QString(), 0.8f);
    EXPECT_FALSE(iconLabel()->isVisibleTo(toast));
    EXPECT_EQ(textLabel()->text(), "odd type");
}

TEST_F(Toast, StoredStylesChangeOnlyWhereANewStyleIsGiven) {
    const QString defaultText = textLabel()->styleSheet();
    EXPECT_TRUE(defaultText.contains("background-color: #F46055"));

    const QString container = ".QWidget{     border-radius:5px;     background-color: #262F3E;}";
    toast->setToastStyles(container, QString(), QString(), QString(), QString());
    toast->showToast(&anchor, "dark", 200);
    EXPECT_EQ(textLabel()->styleSheet(), defaultText);
    EXPECT_EQ(toast->findChild<QHBoxLayout*>()->parentWidget()->styleSheet(), container);
    waitUntilHidden();

    // A custom toast brings its own styles; the next ordinary one has the stored ones.
    const QString own = "QLabel{color: #00FF00;}";
    toast->showCustomToast(&anchor, "custom", QString(), own, QString(), QString(), 0.5f, 200);
    EXPECT_EQ(textLabel()->styleSheet(), own);
    waitUntilHidden();
    toast->showToast(&anchor, "plain", 200);
    EXPECT_EQ(textLabel()->styleSheet(), defaultText);
}

} // namespace
