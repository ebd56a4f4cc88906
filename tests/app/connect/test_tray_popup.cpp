// The tray status pop-up: its form, the status table in both colour modes, the figures
// with the unit the home page gives them, the elided profile name, the buttons, closing
// on deactivation, the compact chart, and a colour change while not connected.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "GuiTest.h"
#include "PaintedShadow.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "VPNBarChart.h"
#include "VPNMenuDialog.h"

namespace {

class TrayPopup : public ::testing::Test {
protected:
    void TearDown() override {
        popup.reset();
        guitest::applyColorMode(1);
    }
    VPNMenuDialog* open() {
        popup = std::make_unique<VPNMenuDialog>();
        EXPECT_TRUE(guitest::showAndExpose(popup.get()));
        popup->activateWindow();
        return popup.get();
    }
    template <typename T = QWidget> T* w(const char* name) { return guitest::child<T>(popup.get(), name); }
    QString text(const char* name) { return guitest::childText(popup.get(), name); }
    void report(int status, const QString& name = QStringLiteral("office"),
                const QString& time = QStringLiteral("1h 2m 5s"),
                const QString& up = QStringLiteral("12.35 MB"),
                const QString& down = QStringLiteral("1.50 GB")) {
        QVector<double> upload(24, 0.0), download(24, 0.0);
        upload[9] = 3;
        popup->slotUpdateConnectInfo(status, name, time, up, down, upload, download);
    }

    std::unique_ptr<VPNMenuDialog> popup;
};

TEST_F(TrayPopup, FormAsBuilt) {
    open();
    EXPECT_EQ(popup->size(), QSize(304, 409));
    EXPECT_EQ(w("menuWidget")->geometry(), QRect(24, 24, 256, 361));
    EXPECT_EQ(w("chartWidget")->size(), QSize(224, 50));
    EXPECT_EQ(text("labelStatusTitle"), QStringLiteral("Status"));
    EXPECT_EQ(text("labelTimeTitle"), QStringLiteral("Time"));
    EXPECT_EQ(text("labelNow"), QStringLiteral("Now"));
    EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("No Connection"));
    EXPECT_EQ(text("btnConnect"), QStringLiteral("Connect"));
    EXPECT_EQ(text("btnShow"), QStringLiteral("Show"));
    EXPECT_EQ(text("btnQuit"), QStringLiteral("Quit"));
    EXPECT_EQ(w("labelPoint")->size(), QSize(6, 6));
    EXPECT_TRUE(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(popup->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(popup->testAttribute(Qt::WA_TranslucentBackground));
    // The shown pop-up has the compact chart, all hours empty.
    auto* chart = w<VPNBarChart>("chartWidget");
    EXPECT_TRUE(chart->isCompactMode());
}

TEST_F(TrayPopup, StatusTableInBothColourModes) {
    const struct {
        int status;
        const char* label;
        const char* styleLight;
        const char* styleDark;
        const char* pointLight;
        const char* pointDark;
        const char* button;
        bool figures; // the reported time and figures, else "--"
    } rows[] = {
        {0, "No Connection", "#labelConnectStatus{color:#1D2529;}", "#labelConnectStatus{color:#AFB2B8;}",
         "#labelPoint{background:#1D2529;border-radius:3px}",
         "#labelPoint{background:#AFB2B8;border-radius:3px}", "Connect", false},
        {1, "Connecting...", "#labelConnectStatus{color:#1D2529;}", "#labelConnectStatus{color:#AFB2B8;}",
         "#labelPoint{background:#1D2529;border-radius:3px}",
         "#labelPoint{background:#AFB2B8;border-radius:3px}", "Connecting...", false},
        {2, "Connected", "#labelConnectStatus{color:#0DC901;}", "#labelConnectStatus{color:#0DC901;}",
         "#labelPoint{background:#0DC901;border-radius:3px}",
         "#labelPoint{background:#0DC901;border-radius:3px}", "Disconnect", true},
        {3, "Disconnected", "#labelConnectStatus{color:#FF3F65;}", "#labelConnectStatus{color:#FF3F65;}",
         "#labelPoint{background:#FF3F65;border-radius:3px}",
         "#labelPoint{background:#FF3F65;border-radius:3px}", "Connect", false},
    };
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        open();
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " status " << row.status);
            report(row.status);
            EXPECT_EQ(popup->currentStatus(), row.status);
            EXPECT_EQ(text("labelConnectStatus"), QString::fromLatin1(row.label));
            EXPECT_EQ(w("labelConnectStatus")->styleSheet(),
                      QString::fromLatin1(mode == 2 ? row.styleDark : row.styleLight));
            EXPECT_EQ(w("labelPoint")->styleSheet(),
                      QString::fromLatin1(mode == 2 ? row.pointDark : row.pointLight));
            EXPECT_EQ(text("btnConnect"), QString::fromLatin1(row.button));
            if (row.figures) {
                EXPECT_EQ(text("labelConnTime"), QStringLiteral("1h 2m 5s"));
                EXPECT_EQ(text("labelUpload"), QStringLiteral("12.35"));
                EXPECT_EQ(text("label_5"), QStringLiteral("MB"));
                EXPECT_EQ(text("labelDownload"), QStringLiteral("1.50"));
                EXPECT_EQ(text("label_2"), QStringLiteral("GB")) << "the unit that belongs to the figure";
            } else if (row.status != 1) {
                EXPECT_EQ(text("labelConnTime"), QStringLiteral("--"));
                EXPECT_EQ(text("labelUpload"), QStringLiteral("--"));
                EXPECT_EQ(text("labelDownload"), QStringLiteral("--"));
                EXPECT_EQ(text("label_2"), QStringLiteral("MB"));
            }
        }
        // Connecting keeps the figures it had; an unknown status changes nothing.
        report(2);
        report(1, QStringLiteral("office"), QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"));
        EXPECT_EQ(text("labelConnTime"), QStringLiteral("1h 2m 5s"));
        report(7, QStringLiteral("office"));
        EXPECT_EQ(text("labelConnectStatus"), QStringLiteral("Connecting..."));
        EXPECT_EQ(popup->currentStatus(), 7);
        popup.reset();
    }
}

TEST_F(TrayPopup, ALongNameIsElidedWithTheWholeNameAsToolTip) {
    open();
    const QString name = QStringLiteral("a profile name far too long for the pop-up's narrow label");
    report(2, name);
    EXPECT_TRUE(text("labelProfile").endsWith(QChar(0x2026)));
    EXPECT_EQ(w("labelProfile")->toolTip(), name);
    // A bare figure from an older report is taken in MB.
    report(2, QStringLiteral("office"), QStringLiteral("0h 0m 1s"), QStringLiteral("3.00"),
           QStringLiteral("- -"));
    EXPECT_EQ(text("labelUpload"), QStringLiteral("3.00"));
    EXPECT_EQ(text("label_5"), QStringLiteral("MB"));
    EXPECT_EQ(text("labelDownload"), QStringLiteral("- -"));
}

TEST_F(TrayPopup, ButtonsReportAndShowAndQuitClose) {
    open();
    QSignalSpy connectSpy(popup.get(), SIGNAL(signalConnectBtnClicked()));
    QSignalSpy showSpy(popup.get(), SIGNAL(signalShowBtnClicked()));
    QSignalSpy quitSpy(popup.get(), SIGNAL(signalQuitBtnClicked()));
    QTest::mouseClick(w<QPushButton>("btnConnect"), Qt::LeftButton);
    EXPECT_EQ(connectSpy.count(), 1);
    EXPECT_TRUE(popup->isVisible()) << "Connect leaves the pop-up open";
    bool visibleAtSignal = false;
    QObject::connect(popup.get(), &VPNMenuDialog::signalShowBtnClicked,
                     [this, &visibleAtSignal] { visibleAtSignal = popup->isVisible(); });
    QTest::mouseClick(w<QPushButton>("btnShow"), Qt::LeftButton);
    EXPECT_EQ(showSpy.count(), 1);
    EXPECT_TRUE(visibleAtSignal) << "the signal comes before the close";
    EXPECT_FALSE(popup->isVisible());
    open();
    QSignalSpy quitAgain(popup.get(), SIGNAL(signalQuitBtnClicked()));
    QTest::mouseClick(w<QPushButton>("btnQuit"), Qt::LeftButton);
    EXPECT_EQ(quitAgain.count(), 1);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(TrayPopup, ClosesWhenItLosesActivation) {
    open();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(popup.get(), &deactivate);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(TrayPopup, DarkModeWhileNotConnectedRecoloursTheTextAtOnceAndTheDotAtTheNextReport) {
    open();
    report(0);
    guitest::applyColorMode(2);
    EXPECT_EQ(w("labelConnectStatus")->styleSheet(), QStringLiteral("#labelConnectStatus{color:#AFB2B8;}"));
    EXPECT_EQ(w("labelPoint")->styleSheet(),
              QStringLiteral("#labelPoint{background:#1D2529;border-radius:3px}"));
    report(0);
    EXPECT_EQ(w("labelPoint")->styleSheet(),
              QStringLiteral("#labelPoint{background:#AFB2B8;border-radius:3px}"));
}

// The body is see-through: its shadow, painted from the body's picture, shows through it.
// The figures that change each second are repainted over the same shadow; a new status
// makes it again.
TEST_F(TrayPopup, ShadowIsTheBodysPictureMadeAgainOnlyWhenMoreThanTheFiguresChange) {
    open();
    EXPECT_EQ(w("menuWidget")->graphicsEffect(), nullptr);
    PaintedShadow* shadow = PaintedShadow::of(w("menuWidget"));
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->shape(), PaintedShadow::Shape::Picture);
    EXPECT_EQ(shadow->color(), QColor(QStringLiteral("#A09BA1AA")));
    EXPECT_EQ(shadow->offset(), QPointF(0, 2));
    EXPECT_EQ(shadow->blurRadius(), 24);

    report(2);
    popup->grab();
    const int made = PaintedShadow::imagesMade();
    report(2, QStringLiteral("office"), QStringLiteral("1h 2m 6s"), QStringLiteral("12.36 MB"),
           QStringLiteral("1.51 GB"));
    popup->grab();
    EXPECT_EQ(PaintedShadow::imagesMade(), made);
    report(3);
    popup->grab();
    EXPECT_EQ(PaintedShadow::imagesMade(), made + 1);
}

} // namespace
