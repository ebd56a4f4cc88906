// The screenshot program on the display: every window of the client, in both colour
// modes, read back from the X server once shown, and compared there with what the window
// paints; the program fails naming any window the screen shows otherwise.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ScreenshotsOnDisplay, EveryWindowShowsWhatItPaintsInBothColourModes) {
    if (qgetenv("QT_QPA_PLATFORM") != "xcb") {
        GTEST_SKIP() << "runs on an X server only";
    }
    int argc = 1;
    char name[] = "display-screenshots";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    // In the sandbox's working folder, which is kept when the test fails: the pictures of a
    // window the screen shows otherwise stay there to be looked at.
    QTemporaryDir scratch(QDir::currentPath() + QStringLiteral("/screenshots-XXXXXX"));
    scratch.setAutoRemove(false);
    ASSERT_TRUE(scratch.isValid());
    QProcess tool;
    tool.setWorkingDirectory(scratch.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), scratch.path());
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(KORVA_SCREENSHOTS), {QStringLiteral("--screen"), QStringLiteral("shots")});
    // Every window in both colour modes: some 20 s on an idle machine, minutes on a loaded one.
    ASSERT_TRUE(tool.waitForFinished(600000)) << "the screenshot program did not end within 10 minutes";
    const QString output = QString::fromLocal8Bit(tool.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(tool.readAllStandardError());
    EXPECT_EQ(tool.exitCode(), 0) << errors.right(4000).toStdString();

    const QRegularExpressionMatch summary =
        QRegularExpression(QStringLiteral("(\\d+) windows read back from the X server, (\\d+) of them"))
            .match(output);
    ASSERT_TRUE(summary.hasMatch()) << output.right(2000).toStdString();
    EXPECT_GE(summary.captured(1).toInt(), 100);
    EXPECT_EQ(summary.captured(2).toInt(), 0);
    // Both kinds of picture of every window of the client, in both modes.
    const QDir shots(scratch.filePath(QStringLiteral("shots")));
    for (const char* window :
         {"mainwindow-home", "mainwindow-profiles", "mainwindow-settings", "editor-window", "credentials",
          "profile-chooser", "tray-connected", "delete-dialog", "settings-log", "error-prompt"}) {
        for (const char* mode : {"normal", "dark"}) {
            for (const char* kind : {"", "-screen"}) {
                const QString file =
                    QStringLiteral("%1-%2%3.png")
                        .arg(QLatin1String(window), QLatin1String(mode), QLatin1String(kind));
                EXPECT_TRUE(shots.exists(file)) << file.toStdString();
            }
        }
    }
}
