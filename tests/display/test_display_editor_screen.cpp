// The profile editor on a laptop's screen (the lane runs this on 1280x800 and 1366x768):
// the window fits the screen's available height, its form scrolls between the title and
// the button row, and on each kind's page the last rows are scrolled to with the wheel and
// take a click at their place in the window, as a person's click does: a switch toggles,
// "Add more Gateway" adds a row, a field takes the focus. In dark mode the drop-down lists
// are dark to their top edge.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include <functional>

#include "EditorTestSupport.h"
#include "ScreenCheck.h"
#include "SettingWidget.h"

namespace {

using editortest::TestEditor;

// Turns the wheel over the form until the widget lies wholly inside its view, as a person
// scrolls to a row; false when the form scrolls no further.
bool scrollTo(Ui::ProfileConfigDialog& u, QWidget* target) {
    QWidget* view = u.scrollArea->viewport();
    for (int turn = 0; turn < 200; ++turn) {
        const QRect inView(target->mapTo(view, QPoint(0, 0)), target->size());
        if (view->rect().contains(inView)) {
            return true;
        }
        const QPoint at = view->rect().center();
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, inView.top() < 0 ? 120 : -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QApplication::processEvents();
    }
    return false;
}

// A click at a point of the widget, delivered to the editor's window there: it reaches
// whatever the window shows at that point, as a click on the screen does.
void clickAt(QWidget* editor, QWidget* target) {
    const bool toggle = target->inherits("QRadioButton");
    const QPoint inTarget = toggle ? QPoint(qMin(8, target->width() / 2), target->height() / 2)
                                   : QPoint(target->width() / 2, target->height() / 2);
    QTest::mouseClick(editor->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      target->mapTo(editor, inTarget));
    QApplication::processEvents();
}

// The light pixels the X server shows in the band above a drop-down list, inside its
// window's edge (the list's top margin).
int lightAlongTop(screen::XServer& server, QWidget* list) {
    const QRect band(list->mapToGlobal(QPoint(2, 1)), QSize(list->width() - 4, 3));
    const QImage shown = server.picture(band);
    int light = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            light += qGray(shown.pixel(x, y)) > 160 ? 1 : 0;
        }
    }
    return light;
}

class EditorOnScreen : public editortest::EditorTest {
protected:
    // Shows the editor as its caller does, active, on the kind's page.
    void open(TestEditor& editor, int page) {
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        editor.activateWindow();
        if (!screen::waitUntil([&] { return QApplication::activeWindow() == &editor; }, 2000)) {
            QApplication::setActiveWindow(&editor);
        }
        ASSERT_EQ(QApplication::activeWindow(), &editor);
        editortest::chooseKind(editor.form().comboBoxVPNType, page);
        ASSERT_EQ(editor.form().stackedWidgetVPNType->currentIndex(), page);
    }
};

TEST_F(EditorOnScreen, LastRowsOfEachPageScrollIntoViewAndTakeClicks) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // One step: the widget to scroll to and click (found when the step comes: a row added
    // by an earlier step), and what the click must have done.
    struct Step {
        const char* name;
        std::function<QWidget*(TestEditor&)> target;
        std::function<bool(TestEditor&, QWidget*)> done;
    };
    const auto switchedOff = [](TestEditor&, QWidget* w) {
        return !static_cast<QAbstractButton*>(w)->isChecked();
    };
    const auto switchedOn = [](TestEditor&, QWidget* w) {
        return static_cast<QAbstractButton*>(w)->isChecked();
    };
    const auto focused = [](TestEditor&, QWidget* w) { return QApplication::focusWidget() == w; };
    // Full traffic switched off shows the first row; the add button adds a second.
    const auto addsRow = [](QWidget* Ui::ProfileConfigDialog::*rows) {
        return [rows](TestEditor& e, QWidget*) { return TestEditor::rowMasks(e.form().*rows).size() == 2; };
    };
    const auto lastMask = [](QWidget* Ui::ProfileConfigDialog::*rows) {
        return [rows](TestEditor& e) -> QWidget* {
            const QList<QLineEdit*> masks = TestEditor::rowMasks(e.form().*rows);
            return masks.isEmpty() ? nullptr : masks.last();
        };
    };
    const struct {
        int page;
        std::vector<Step> steps;
    } pages[] = {
        {0,
         {{"DPD switch", [](TestEditor& e) { return e.form().btnDPD; }, switchedOn},
          {"DPD period", [](TestEditor& e) { return e.form().lineEditDPDPeriod; }, focused}}},
        {1,
         {{"SSL full traffic", [](TestEditor& e) { return e.form().btnSSLFullTraffic; }, switchedOff},
          {"SSL add gateway", [](TestEditor& e) { return e.form().btnSSLAddGateway; },
           addsRow(&Ui::ProfileConfigDialog::sslGatewayWidget)},
          {"SSL gateway mask", lastMask(&Ui::ProfileConfigDialog::sslGatewayWidget), focused}}},
        {2,
         {{"OpenVPN full traffic", [](TestEditor& e) { return e.form().btnOpenFullTraffic; }, switchedOff},
          {"OpenVPN add gateway", [](TestEditor& e) { return e.form().btnAddGateway; },
           addsRow(&Ui::ProfileConfigDialog::gatewayWidget)},
          {"OpenVPN gateway mask", lastMask(&Ui::ProfileConfigDialog::gatewayWidget), focused}}},
        {3,
         {{"WireGuard keepalive", [](TestEditor& e) { return e.form().lineEditWireGuardKeepAlive; }, focused},
          {"WireGuard full traffic", [](TestEditor& e) { return e.form().btnWireGuardFullTraffic; },
           switchedOff},
          {"WireGuard add gateway", [](TestEditor& e) { return e.form().btnWireGuardAddGateway; },
           addsRow(&Ui::ProfileConfigDialog::wireguardGatewayWidget)},
          {"WireGuard gateway mask", lastMask(&Ui::ProfileConfigDialog::wireguardGatewayWidget), focused}}},
    };
    for (const auto& page : pages) {
        TestEditor editor;
        open(editor, page.page);
        Ui::ProfileConfigDialog& u = editor.form();
        // The whole window, its button row with it, lies on the screen.
        EXPECT_LE(editor.height(), area.height()) << page.page;
        EXPECT_TRUE(
            area.contains(QRect(u.bottomWidget_2->mapToGlobal(QPoint(0, 0)), u.bottomWidget_2->size())))
            << "the button row lies off the screen on page " << page.page;
        for (const Step& step : page.steps) {
            QWidget* target = step.target(editor);
            ASSERT_NE(target, nullptr) << step.name;
            ASSERT_TRUE(scrollTo(u, target)) << step.name << ": the form does not scroll to it";
            // What the window shows at the middle of the row is the row itself.
            const QPoint middle = target->mapTo(&editor, target->rect().center());
            QWidget* shown = editor.childAt(middle);
            EXPECT_TRUE(shown == target || target->isAncestorOf(shown))
                << step.name << ": the window shows "
                << (shown ? shown->objectName().toStdString() : "nothing") << " there";
            clickAt(&editor, target);
            EXPECT_TRUE(step.done(editor, target)) << step.name << ": the click reached nothing";
        }
        editor.close();
    }
}

TEST_F(EditorOnScreen, DropDownListsFollowTheDarkStyleToTheirTop) {
    screen::XServer server;
    if (!server.connected()) {
        GTEST_SKIP() << "no X server";
    }
    guitest::applyColorMode(2);
    TestEditor editor;
    open(editor, 0);
    Ui::ProfileConfigDialog& u = editor.form();
    // The kind selector (a translucent list) and a proposal selector (an opaque one).
    for (QComboBox* combo : {u.comboBoxVPNType, u.comboBoxEncryption}) {
        ASSERT_TRUE(scrollTo(u, combo));
        combo->showPopup();
        QWidget* list = combo->view()->window();
        ASSERT_TRUE(screen::waitUntil([list] { return list->isVisible(); }, 3000));
        ASSERT_TRUE(screen::waitShown(combo->view(), server, combo->objectName()));
        EXPECT_EQ(lightAlongTop(server, list), 0)
            << combo->objectName().toStdString() << ": a light strip along the list's top";
        combo->hidePopup();
    }
    editor.close();
    guitest::applyColorMode(1);
}

// The Settings page's language and colour-mode lists in both colour modes: every row as the
// item rules give it, 36 px high, each below the one before.
TEST_F(EditorOnScreen, SettingsListsKeepTheirRows) {
    screen::XServer server;
    if (!server.connected()) {
        GTEST_SKIP() << "no X server";
    }
    for (const int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        SettingWidget page;
        ASSERT_TRUE(guitest::showAndExpose(&page));
        for (const char* name : {"languageComboBox", "colorModeComboBox"}) {
            auto* combo = page.findChild<QComboBox*>(QString::fromLatin1(name));
            ASSERT_NE(combo, nullptr) << name;
            combo->showPopup();
            QWidget* list = combo->view()->window();
            ASSERT_TRUE(screen::waitUntil([list] { return list->isVisible(); }, 3000)) << name;
            ASSERT_TRUE(screen::waitShown(combo->view(), server, combo->objectName()));
            QAbstractItemView* view = combo->view();
            for (int row = 0; row < combo->count(); ++row) {
                const QModelIndex index = combo->model()->index(row, 0);
                const QRect rect = view->visualRect(index);
                EXPECT_EQ(rect.height(), 36) << name << " row " << row << " in mode " << mode;
                if (row > 0) {
                    EXPECT_EQ(rect.top(), view->visualRect(combo->model()->index(row - 1, 0)).bottom() + 1)
                        << name << " row " << row << " lies on the row before it in mode " << mode;
                }
            }
            if (mode == 2) {
                EXPECT_EQ(lightAlongTop(server, list), 0) << name << ": a light band above the dark list";
            }
            combo->hidePopup();
            ASSERT_TRUE(screen::waitUntil([list] { return !list->isVisible(); }, 3000)) << name;
        }
        page.close();
    }
    guitest::applyColorMode(1);
}

} // namespace
