// The translucent windows on the screen, around their bodies and at their rounded corners:
// the main window (and the spinner over its home page), the dialogs (the credentials prompt,
// the profile chooser, the delete dialog, the error prompt, the log viewer, the import's
// progress, the traffic chart's detail), the tray pop-up, the toast, and the profile editor
// over its shadow backdrop. The root window is given a plain
// colour; where a window paints nothing the screen must show what lies beneath, never the
// black an X server without a compositing manager shows for a transparent pixel, and where
// it paints, what it paints. Without a compositing manager (Xvfb alone, openbox alone) each
// window is cut to its body and paints no shadow; with one (openbox and xcompmgr) it keeps
// its shadow margin, blended over what lies beneath. A compositing manager that starts or
// stops while the main window shows is followed.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "AccountLoginDialog.h"
#include "ActiveProfileDialog.h"
#include "AppConstants.h"
#include "DeleteProfileDialog.h"
#include "GuiTest.h"
#include "HomeWidget.h"
#include "ImportProgressDialog.h"
#include "ProfileConfigDialog.h"
#include "ScreenCheck.h"
#include "SettingLogDialog.h"
#include "TranslucentFrame.h"
#include "VPNBarChartDetail.h"
#include "VPNMenuDialog.h"
#include "ZRErrorDialog.h"
#include "ZRLoadingPie.h"
#include "ZRToastDialog.h"
#include "ZRVPNClient.h"

namespace {

// The root window's colour: far from black and from every colour the windows paint.
const QRgb kRootColour = qRgb(0xC0, 0x30, 0xC0);
// A channel that differs by more than this counts as a different pixel.
const int kTolerance = 10;

bool compositorRuns() {
    return qgetenv("KORVA_TEST_COMPOSITOR") == "xcompmgr";
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= kTolerance && std::abs(qGreen(a) - qGreen(b)) <= kTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTolerance;
}

bool blackish(QRgb pixel) {
    return qRed(pixel) < 24 && qGreen(pixel) < 24 && qBlue(pixel) < 24;
}

// What the window paints, its window shape left aside.
QImage paintedWhole(QWidget* window) {
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    window->render(&image, QPoint(), QRegion(),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    return image.convertToFormat(QImage::Format_ARGB32);
}

class FramesOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (!screen::onDisplay()) {
            GTEST_SKIP() << "reads the X server's screen";
        }
        ASSERT_TRUE(server.connected());
        ASSERT_TRUE(guitest::startAppContext());
        guitest::applyColorMode(1);
        server.setRootColour(kRootColour);
    }
    void TearDown() override { guitest::applyColorMode(1); }

    // What the screen shows where no window lies (a compositing manager paints the root
    // with a colour of its own).
    QRgb beneath() const {
        const QRect corner = QGuiApplication::primaryScreen()->geometry().adjusted(0, 0, -1, -1);
        return server.picture(QRect(corner.bottomRight(), QSize(1, 1))).pixel(0, 0);
    }

    QRect placeOf(QWidget* window) const {
        return QRect(server.origin(static_cast<quint32>(window->winId())), window->size());
    }

    // The windows, from the bottom up, on the screen as they paint over what lies beneath,
    // in an area a little larger than all of them.
    void expectOnScreen(const std::vector<QWidget*>& windows, const QString& step) {
        for (QWidget* window : windows) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << step.toStdString();
            ASSERT_TRUE(screen::waitUntil(
                [&] { return server.viewable(static_cast<quint32>(window->winId())); }, 30000));
        }
        const QRgb under = beneath();
        EXPECT_FALSE(blackish(under));
        QRect area;
        for (QWidget* window : windows) {
            area |= placeOf(window);
        }
        area = area.adjusted(-8, -8, 8, 8) & QGuiApplication::primaryScreen()->geometry();
        QImage expected(area.size(), QImage::Format_ARGB32);
        expected.fill(under);
        QImage coverage(area.size(), QImage::Format_ARGB32_Premultiplied);
        coverage.fill(Qt::transparent);
        {
            QPainter onto(&expected);
            QPainter covering(&coverage);
            for (QWidget* window : windows) {
                const QImage painted = window->grab().toImage();
                onto.drawImage(placeOf(window).topLeft() - area.topLeft(), painted);
                covering.drawImage(placeOf(window).topLeft() - area.topLeft(), painted);
            }
        }
        const bool blended = compositorRuns();
        int compared = 0;
        int differing = 0;
        int black = 0;
        QImage shown;
        QElapsedTimer clock;
        clock.start();
        do {
            QApplication::processEvents();
            // A window closed a moment ago is off the screen once Qt's requests are carried out.
            screen::syncQt();
            shown = server.picture(area);
            ASSERT_EQ(shown.size(), area.size());
            compared = differing = black = 0;
            for (int y = 0; y < area.height(); ++y) {
                for (int x = 0; x < area.width(); ++x) {
                    const int alpha = qAlpha(coverage.pixel(x, y));
                    const QRgb screenPixel = shown.pixel(x, y);
                    const QRgb want = expected.pixel(x, y);
                    ++compared;
                    bool right = near(screenPixel, want);
                    // Without a compositing manager a pixel the window paints in part is cut
                    // by the window shape (what lies beneath shows) or shown whole.
                    if (!blended && alpha > 0 && alpha < 255) {
                        right = right || near(screenPixel, under);
                    }
                    if (!right) {
                        ++differing;
                        black += (alpha < 255 && blackish(screenPixel) && !blackish(want)) ? 1 : 0;
                    }
                }
            }
            if (differing <= 40) {
                break;
            }
            QThread::msleep(20);
        } while (clock.elapsed() < 30000);
        EXPECT_EQ(black, 0) << step.toStdString() << ": black where the windows paint nothing or in part";
        EXPECT_LE(differing, 40) << step.toStdString() << ": " << differing << " of " << compared
                                 << " pixels differ (frames-" << step.toStdString() << "-*.png)";
        if (differing > 40) {
            expected.save(QStringLiteral("frames-%1-expected.png").arg(step));
            shown.save(QStringLiteral("frames-%1-screen.png").arg(step));
        }
    }

    // The window's frame decided as the display asks: cut to its body without a shadow
    // where no compositing manager runs, whole with its shadow margin where one does.
    void expectFrame(QWidget* window, const QString& step, bool hasShadow = true) {
        TranslucentFrame* frame = TranslucentFrame::of(window);
        ASSERT_NE(frame, nullptr) << step.toStdString();
        EXPECT_EQ(frame->blended(), compositorRuns()) << step.toStdString();
        const QImage painted = paintedWhole(window);
        const QRect body = frame->outline();
        int shadow = 0;
        int opaqueCut = 0;
        const QRegion shape = window->mask();
        for (int y = 0; y < painted.height(); ++y) {
            for (int x = 0; x < painted.width(); ++x) {
                const int alpha = qAlpha(painted.pixel(x, y));
                shadow += (alpha > 0 && !body.contains(x, y)) ? 1 : 0;
                opaqueCut += (alpha == 255 && !shape.contains(QPoint(x, y))) ? 1 : 0;
            }
        }
        if (frame->blended()) {
            EXPECT_TRUE(shape.isEmpty()) << step.toStdString();
            if (hasShadow) {
                EXPECT_GT(shadow, 2 * (body.width() + body.height()))
                    << step.toStdString() << ": no shadow margin";
            }
        } else {
            EXPECT_FALSE(shape.isEmpty()) << step.toStdString();
            EXPECT_EQ(shadow, 0) << step.toStdString() << ": a shadow outside the body";
            EXPECT_EQ(opaqueCut, 0) << step.toStdString() << ": the shape cuts into the body";
        }
    }

    screen::XServer server;
};

TEST_F(FramesOnDisplay, MainWindowAndTheSpinnerOverItsHomePage) {
    for (const int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        const QString step = QStringLiteral("mainwindow-%1").arg(mode);
        ZRVPNClient window;
        window.move(60, 60);
        ASSERT_TRUE(guitest::showAndExpose(&window));
        expectFrame(&window, step);
        expectOnScreen({&window}, step);

        auto* home = guitest::child<HomeWidget>(&window, "homeWidget");
        home->showConnecting();
        auto* spinner = guitest::findWidget<ZRLoadingPie>();
        ASSERT_NE(spinner, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(spinner));
        expectOnScreen({&window, spinner}, step + QStringLiteral("-spinner"));
        home->showNotConnected();
        home->stopLoading();
    }
}

TEST_F(FramesOnDisplay, DialogsTrayPopUpAndToast) {
    ImportProgress progress;
    const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
        {"credentials", [] { return new AccountLoginDialog(1, 3); }},
        {"profile-chooser", [] { return new ActiveProfileDialog(); }},
        {"delete-dialog", [] { return new DeleteProfileDialog(0, QStringLiteral("Office")); }},
        {"error-prompt", [] { return new ZRErrorDialog(); }},
        {"log-viewer", [] { return new SettingLogDialog(); }},
        {"tray-popup", [] { return new VPNMenuDialog(); }},
        {"import-progress", [&progress] { return new ImportProgressDialog(&progress); }},
        {"chart-detail", [] { return new VPNBarChartDetail(); }},
    };
    for (const int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        for (const auto& made : windows) {
            const QString step = QStringLiteral("%1-%2").arg(QLatin1String(made.first)).arg(mode);
            std::unique_ptr<QWidget> dialog(made.second());
            dialog->move(200, 150);
            dialog->show();
            expectFrame(dialog.get(), step);
            expectOnScreen({dialog.get()}, step);
        }
    }
    // The toast in the main window's styles.
    guitest::applyColorMode(1);
    ZRToastDialog* toast = ZRToastDialog::instance();
    toast->setToastStyles(QLatin1String(AppConstants::kToastContainerLight),
                          QLatin1String(AppConstants::kToastTextLight), QString(), QString(), QString());
    toast->move(300, 300);
    toast->showToast(nullptr, QStringLiteral("The profile is currently in use."), 60000);
    expectFrame(toast, QStringLiteral("toast"), false);
    expectOnScreen({toast}, QStringLiteral("toast"));
    toast->hide();
}

TEST_F(FramesOnDisplay, EditorOverItsBackdrop) {
    ProfileConfigDialog editor(nullptr, false, QString(), 0, 0, 1);
    editor.move(200, 40);
    editor.show();
    QDialog* backdrop = nullptr;
    ASSERT_TRUE(screen::waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != &editor && top->isVisible() && top->metaObject() == &QDialog::staticMetaObject) {
                backdrop = static_cast<QDialog*>(top);
            }
        }
        return backdrop != nullptr;
    }));
    ASSERT_TRUE(screen::waitUntil([&] {
        return server.stackedAbove(static_cast<quint32>(editor.winId()),
                                   static_cast<quint32>(backdrop->winId()));
    }));
    expectFrame(backdrop, QStringLiteral("editor-backdrop"));
    expectOnScreen({backdrop, &editor}, QStringLiteral("editor"));
}

// Presses of the mouse as the X server delivers them, through XTEST: where the pointer is,
// the window that takes the press (not the one asked for) gets it.
class FakePointer {
public:
    FakePointer() {
        connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection) == 0) {
            root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        }
    }
    ~FakePointer() { xcb_disconnect(connection); }
    FakePointer(const FakePointer&) = delete;
    FakePointer& operator=(const FakePointer&) = delete;

    bool connected() const { return root != 0; }
    // The window's shape of that kind (bounding or input) as the server holds it.
    QRegion shape(quint32 window, xcb_shape_sk_t kind) const {
        QRegion region;
        xcb_shape_get_rectangles_reply_t* reply = xcb_shape_get_rectangles_reply(
            connection, xcb_shape_get_rectangles(connection, window, kind), nullptr);
        if (reply != nullptr) {
            const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(reply);
            for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i) {
                region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            }
            free(reply);
        }
        return region;
    }
    void click(const QPoint& global) const {
        xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root,
                            static_cast<int16_t>(global.x()), static_cast<int16_t>(global.y()), 0);
        xcb_test_fake_input(connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        // A round trip: the server has taken the presses when its answer comes.
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

private:
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
};

// Each window that a press reached, with the press's place on the screen.
class PressLog : public QObject {
public:
    std::vector<std::pair<QWidget*, QPoint>> presses;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            presses.emplace_back(static_cast<QWidget*>(watched)->window(),
                                 static_cast<QMouseEvent*>(event)->globalPos());
        }
        return false;
    }
};

// Without a compositing manager the window is cut to its body, and what it does not show
// takes no clicks either: a click in the margin around the body (where the shadow lies
// with a compositing manager) reaches the window beneath, a click on the body the client.
TEST_F(FramesOnDisplay, AClickBesideTheBodyReachesTheWindowBeneath) {
    if (compositorRuns()) {
        GTEST_SKIP() << "with a compositing manager the margin shows the window's shadow";
    }
    FakePointer pointer;
    ASSERT_TRUE(pointer.connected());
    QWidget beneath;
    beneath.setObjectName(QStringLiteral("beneath"));
    beneath.setGeometry(20, 40, 1100, 780);
    ASSERT_TRUE(guitest::showAndExpose(&beneath));
    ZRVPNClient window;
    window.move(60, 80);
    ASSERT_TRUE(guitest::showAndExpose(&window));
    ASSERT_FALSE(TranslucentFrame::of(&window)->blended());
    const auto client = static_cast<quint32>(window.winId());
    const auto under = static_cast<quint32>(beneath.winId());

    // The input region is the shape's own outline, not the whole window.
    const QRegion input = pointer.shape(client, XCB_SHAPE_SK_INPUT);
    EXPECT_TRUE(input.xored(pointer.shape(client, XCB_SHAPE_SK_BOUNDING)).isEmpty());
    EXPECT_TRUE(input.xored(window.mask()).isEmpty());

    PressLog log;
    qApp->installEventFilter(&log);
    const QRect place(server.origin(client), window.size());
    const QRect body = TranslucentFrame::of(&window)->outline().translated(place.topLeft());
    const int margin = body.left() - place.left();
    ASSERT_GT(margin, 4);
    const struct {
        const char* where;
        QPoint at;
        bool toClient;
    } clicks[] = {
        {"left margin", QPoint(place.left() + margin / 2, place.center().y()), false},
        {"top margin", QPoint(place.center().x(), place.top() + margin / 2), false},
        {"right margin", QPoint(place.right() - margin / 2, place.center().y()), false},
        {"bottom margin", QPoint(place.center().x(), place.bottom() - margin / 2), false},
        {"outside the top-left corner's rounding", body.topLeft(), false},
        // The top bar, which no child takes: the client's own (it drags the window).
        {"body", QPoint(body.center().x(), body.top() + 8), true},
    };
    for (const auto& c : clicks) {
        // A window manager raises the window clicked: the client is put back on top first.
        server.raise(server.topLevelOf(client));
        ASSERT_TRUE(screen::waitUntil(
            [&] { return server.stackedAbove(server.topLevelOf(client), server.topLevelOf(under)); }, 3000));
        log.presses.clear();
        pointer.click(c.at);
        ASSERT_TRUE(screen::waitUntil([&] { return !log.presses.empty(); }, 3000)) << c.where;
        EXPECT_EQ(log.presses.front().first, c.toClient ? static_cast<QWidget*>(&window) : &beneath)
            << c.where << ": reached " << log.presses.front().first->objectName().toStdString();
        EXPECT_EQ(log.presses.front().second, c.at) << c.where;
    }
    qApp->removeEventFilter(&log);
}

// A compositing manager that starts while the window shows gets the window's shadow margin;
// when it stops, the window is cut to its body again.
TEST_F(FramesOnDisplay, FollowsACompositingManagerThatStartsAndStops) {
    if (compositorRuns()) {
        GTEST_SKIP() << "a compositing manager runs for the whole test here";
    }
    ZRVPNClient window;
    window.move(60, 60);
    ASSERT_TRUE(guitest::showAndExpose(&window));
    TranslucentFrame* frame = TranslucentFrame::of(&window);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->blended());

    QProcess manager;
    manager.start(QStringLiteral("xcompmgr"), QStringList());
    ASSERT_TRUE(manager.waitForStarted());
    EXPECT_TRUE(screen::waitUntil([&] { return frame->blended(); }, 10000));
    EXPECT_TRUE(window.mask().isEmpty());
    // Its input region is the whole window again, as its shape.
    FakePointer shapes;
    const auto id = static_cast<quint32>(window.winId());
    EXPECT_TRUE(screen::waitUntil(
        [&] {
            return shapes.shape(id, XCB_SHAPE_SK_INPUT).xored(QRect(QPoint(0, 0), window.size())).isEmpty();
        },
        3000));

    manager.terminate();
    ASSERT_TRUE(manager.waitForFinished());
    EXPECT_TRUE(screen::waitUntil([&] { return !frame->blended(); }, 10000));
    EXPECT_FALSE(window.mask().isEmpty());
    EXPECT_TRUE(screen::waitUntil(
        [&] { return shapes.shape(id, XCB_SHAPE_SK_INPUT).xored(window.mask()).isEmpty(); }, 3000));
    expectOnScreen({&window}, QStringLiteral("mainwindow-after-compositor"));
}

} // namespace
