// SystemCloseSignals: SIGTERM and SIGINT reach the event loop through the self-pipe and
// close the window once, or end the loop when no window is set; the previous handlers
// come back with the object.
#include "PlatformTestSupport.h"
#include "SystemCloseSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <csignal>

using namespace platformtest;

namespace {

// Stands in for the main window: counts the calls of its close() slot.
class Closable : public QObject {
    Q_OBJECT
public:
    int closes = 0;
public slots:
    bool close() {
        ++closes;
        return true;
    }
};

TEST(SystemCloseSignals, ASignalClosesTheWindowOnceAndTheOldHandlersReturn) {
    // The handlers before the object: ignoring keeps a stray signal from ending the test.
    struct sigaction ignore {};
    struct sigaction previousTerm {};
    struct sigaction previousInt {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGTERM, &ignore, &previousTerm);
    sigaction(SIGINT, &ignore, &previousInt);

    LogCapture log;
    Closable window;
    {
        SystemCloseSignals closeSignals;
        ASSERT_TRUE(closeSignals.install());
        closeSignals.setWindow(&window);
        raise(SIGTERM);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.closes > 0; }, 10000));
        // The byte is in the pipe when raise returns: one pass of the loop would see it.
        raise(SIGINT);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.closes, 1) << "the program is stopping already";
    }
    EXPECT_EQ(log.Text(), "System :: Close requested by signal 15\n");
    for (int number : {SIGTERM, SIGINT}) {
        struct sigaction now {};
        sigaction(number, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_IGN) << number;
    }
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGINT, &previousInt, nullptr);
}

TEST(SystemCloseSignals, WithoutAWindowASignalEndsTheEventLoop) {
    LogCapture log;
    SystemCloseSignals closeSignals;
    ASSERT_TRUE(closeSignals.install());
    QTimer::singleShot(0, [] { raise(SIGINT); });
    // A signal that never reaches the loop fails the test instead of hanging it.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(log.Text(), "System :: Close requested by signal 2\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_close_signals.moc"
