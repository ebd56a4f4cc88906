// The frameless dialog base (placement, dragging, shadow) and the error prompt.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "PaintedShadow.h"
#include "SystemContext.h"
#include "ZRBaseDialog.h"
#include "ZRErrorDialog.h"

namespace {

// A dialog base with a body widget, as the program's dialogs build it.
class BodyDialog : public ZRBaseDialog {
public:
    explicit BodyDialog(QWidget* parent = nullptr, int blur = 24) : ZRBaseDialog(parent) {
        body = new QWidget(this);
        body->setGeometry(24, 24, 100, 60);
        setFramelessStyle();
        setShadow(body, blur);
    }
    PaintedShadow* shadow() const { return PaintedShadow::of(body); }
    bool isDragging() const { return dragging; }
    QWidget* body;
};

QRect screenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses at `local`, moves the mouse by `delta` with the same buttons held, releases.
void drag(QWidget* dialog, const QPoint& local, const QPoint& delta, Qt::MouseButtons buttons) {
    const QPoint globalStart = dialog->mapToGlobal(local);
    sendMouse(dialog, QEvent::MouseButtonPress, local, Qt::LeftButton, buttons);
    QMouseEvent move(QEvent::MouseMove, local + delta, globalStart + delta, Qt::NoButton, buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(dialog, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + delta, globalStart + delta, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog, &release);
}

// Sets the colour mode the widgets read and sends the dialog a style change, as the Settings
// page does when it replaces the style sheet, without the sheet itself: what the dialog base
// does at a style change alone.
void applyColorMode(int mode, QWidget* widget) {
    SystemContext::GetSettingManager()->setColorMode(mode);
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(widget, &styleChange);
}

class DialogBase : public ::testing::Test {
protected:
    void SetUp() override { SystemContext::GetSettingManager()->setColorMode(-1); }
};

struct PlacementCase {
    const char* what;
    QRect parentGeometry; // null: no parent
    QSize dialogSize;
    QPoint expected; // (-1, -1): the area's bottom-right limit for this size
};

TEST_F(DialogBase, PlacesTheDialogOverItsParentInsideTheScreenArea) {
    const QRect area = screenArea();
    const PlacementCase cases[] = {
        {"centred on the parent", QRect(100, 100, 400, 300), QSize(200, 100), QPoint(200, 200)},
        {"parent at the bottom-right edge", QRect(area.right() - 150, area.bottom() - 80, 200, 100),
         QSize(300, 200), QPoint(area.right() - 300, area.bottom() - 200)},
        {"larger than the screen area", QRect(100, 100, 200, 100), area.size() + QSize(200, 200),
         area.topLeft()},
    };
    for (const PlacementCase& c : cases) {
        QWidget parent;
        parent.setGeometry(c.parentGeometry);
        ASSERT_TRUE(guitest::showAndExpose(&parent)) << c.what;
        BodyDialog dialog(&parent);
        dialog.resize(c.dialogSize);
        dialog.show();
        EXPECT_EQ(dialog.pos(), c.expected) << c.what;
    }
}

TEST_F(DialogBase, WithoutParentTheDialogStaysWhereItWas) {
    BodyDialog dialog;
    dialog.resize(200, 100);
    dialog.move(33, 44);
    dialog.show();
    EXPECT_EQ(dialog.pos(), QPoint(33, 44));
    dialog.resize(300, 150);
    EXPECT_EQ(dialog.pos(), QPoint(33, 44));
}

TEST_F(DialogBase, ResizingAShownDialogCentresItAgain) {
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    ASSERT_TRUE(guitest::showAndExpose(&parent));
    BodyDialog dialog(&parent);
    dialog.resize(200, 100);
    dialog.show();
    dialog.move(10, 10);
    dialog.resize(100, 50);
    EXPECT_EQ(dialog.pos(), QPoint(250, 225));
}

TEST_F(DialogBase, DragsOnlyWithTheLeftButtonAloneInsideTheDragRectangle) {
    struct Case {
        const char* what;
        bool setRect;
        QPoint press;
        Qt::MouseButtons buttons;
        bool moves;
    };
    const Case cases[] = {
        {"left press inside", true, QPoint(10, 10), Qt::LeftButton, true},
        {"press on the rectangle's edge", true, QPoint(99, 29), Qt::LeftButton, true},
        {"left and right held", true, QPoint(10, 10), Qt::LeftButton | Qt::RightButton, false},
        {"left press outside", true, QPoint(10, 50), Qt::LeftButton, false},
        {"no drag rectangle set", false, QPoint(10, 10), Qt::LeftButton, false},
    };
    for (const Case& c : cases) {
        BodyDialog dialog;
        dialog.resize(200, 120);
        dialog.move(100, 100);
        if (c.setRect) {
            dialog.setDragRect(QRect(0, 0, 100, 30));
        }
        ASSERT_TRUE(guitest::showAndExpose(&dialog)) << c.what;
        drag(&dialog, c.press, QPoint(50, 40), c.buttons);
        EXPECT_EQ(dialog.pos(), c.moves ? QPoint(150, 140) : QPoint(100, 100)) << c.what;
        EXPECT_FALSE(dialog.isDragging()) << c.what << ": a release ends the drag";
    }
}

TEST_F(DialogBase, ShadowIsLightUntilAStyleChangeBringsAnotherColourMode) {
    BodyDialog dialog(nullptr, 7);
    PaintedShadow* shadow = dialog.shadow();
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(dialog.body->graphicsEffect(), nullptr) << "the shadow is painted, not a graphics effect";
    EXPECT_EQ(shadow->color(), QColor("#A09BA1AA"));
    EXPECT_EQ(shadow->offset(), QPointF(0, 2));
    EXPECT_EQ(shadow->blurRadius(), 7);
    EXPECT_EQ(shadow->cornerRadius(), 8);
    EXPECT_EQ(shadow->shape(), PaintedShadow::Shape::Picture);

    // SettingManager still holds -1: nothing to redo.
    applyColorMode(-1, &dialog);
    EXPECT_EQ(shadow->blurRadius(), 7);

    applyColorMode(2, &dialog);
    ASSERT_EQ(dialog.shadow(), shadow) << "one shadow, recoloured";
    EXPECT_EQ(shadow->color(), QColor("#FF000000"));
    EXPECT_EQ(shadow->blurRadius(), 24) << "a restyled shadow always has blur 24";

    shadow->setBlurRadius(7);
    applyColorMode(2, &dialog);
    EXPECT_EQ(shadow->blurRadius(), 7) << "a style change without a new mode leaves the shadow";

    applyColorMode(1, &dialog);
    EXPECT_EQ(shadow->color(), QColor("#A09BA1AA"));
    EXPECT_EQ(shadow->blurRadius(), 24);
    EXPECT_EQ(dialog.findChildren<PaintedShadow*>().size(), 1);
}

TEST_F(DialogBase, ANewDialogRedoesItsShadowAtTheFirstStyleChangeOnceAModeIsApplied) {
    SystemContext::GetSettingManager()->setColorMode(1);
    BodyDialog dialog(nullptr, 7);
    applyColorMode(1, &dialog);
    EXPECT_EQ(dialog.shadow()->blurRadius(), 24);
    EXPECT_EQ(dialog.shadow()->color(), QColor("#A09BA1AA"));
}

class ErrorPrompt : public DialogBase {};

TEST_F(ErrorPrompt, FormHasTheFixedBodyTitleAndMessageWithTheButtonBarHidden) {
    ZRErrorDialog dialog;
    EXPECT_EQ(dialog.objectName(), "ZRErrorDialog");
    EXPECT_EQ(dialog.size(), QSize(568, 239));
    auto* body = dialog.findChild<QWidget*>("dialogWidget");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->minimumSize(), QSize(520, 191));
    EXPECT_EQ(body->maximumSize(), QSize(520, 191));
    EXPECT_EQ(dialog.findChild<QLabel*>("labelTitle")->text(), "Error");
    EXPECT_EQ(dialog.findChild<QLabel*>("labelContent")->text(),
              "No TAP network adapter can be used. Press \"Retry\" to create a new adapter and try again.");
    EXPECT_EQ(dialog.findChild<QPushButton*>("btnCancel")->text(), "Cancel");
    EXPECT_EQ(dialog.findChild<QPushButton*>("btnConfirm")->text(), "Retry");
    EXPECT_TRUE(dialog.findChild<QPushButton*>("btnClose")->text().isEmpty());
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(dialog.testAttribute(Qt::WA_TranslucentBackground));

    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    EXPECT_FALSE(dialog.findChild<QWidget*>("bottomWidget")->isVisible());
    dialog.setButtonsVisible(true);
    EXPECT_TRUE(dialog.findChild<QWidget*>("bottomWidget")->isVisible());
}

TEST_F(ErrorPrompt, RetryReportsWhileStillShownThenEveryButtonCloses) {
    for (const char* buttonName : {"btnConfirm", "btnCancel", "btnClose"}) {
        ZRErrorDialog dialog;
        dialog.setButtonsVisible(true);
        bool shownAtRetry = false;
        QObject::connect(&dialog, &ZRErrorDialog::signalRetry,
                         [&dialog, &shownAtRetry] { shownAtRetry = dialog.isVisible(); });
        QSignalSpy retry(&dialog, &ZRErrorDialog::signalRetry);
        auto* button = dialog.findChild<QPushButton*>(buttonName);
        QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
        dialog.exec();
        EXPECT_FALSE(dialog.isVisible()) << buttonName;
        const bool isRetry = QByteArray(buttonName) == "btnConfirm";
        EXPECT_EQ(retry.count(), isRetry ? 1 : 0) << buttonName;
        EXPECT_EQ(shownAtRetry, isRetry) << buttonName;
    }
}

TEST_F(ErrorPrompt, DragsByTheTitleBarOnlyAndKeepsItsBodyForLongTexts) {
    ZRErrorDialog dialog;
    dialog.setContent(QString("Creating the TAP network adapter failed! ").repeated(12));
    ASSERT_TRUE(guitest::showAndExpose(&dialog));
    auto* title = dialog.findChild<QWidget*>("titleWidget");
    auto* content = dialog.findChild<QLabel*>("labelContent");
    EXPECT_EQ(dialog.findChild<QWidget*>("dialogWidget")->size(), QSize(520, 191));
    EXPECT_TRUE(content->text().startsWith("Creating the TAP network adapter failed!"));

    const QPoint start = dialog.pos();
    drag(&dialog, content->mapTo(&dialog, QPoint(5, 5)), QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(dialog.pos(), start);
    drag(&dialog, title->mapTo(&dialog, QPoint(5, 5)), QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));
}

} // namespace
