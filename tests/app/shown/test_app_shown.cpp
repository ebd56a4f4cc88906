#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "PlacedClient.h"

namespace {

const char* const kNoticeVariable = "KORVA_SHOWN_NOTICE";

// The client program with the sandbox's home and the offscreen platform, placed in the
// sandbox, where it works and its log goes.
void startClient(QProcess& client, bool notice) {
    const std::string program = testsupport::PlaceClient(QDir::currentPath().toStdString());
    ASSERT_FALSE(program.empty());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QString::fromLatin1(kNoticeVariable));
    if (notice) {
        environment.insert(QString::fromLatin1(kNoticeVariable), QStringLiteral("1"));
    }
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::SeparateChannels);
    client.start(QString::fromStdString(program), QStringList());
    ASSERT_TRUE(client.waitForStarted(10000));
}

TEST(ShownNoticeTest, TheClientWritesTheNoticeOnceItsWindowIsPaintedAndEnds) {
    QProcess client;
    startClient(client, true);
    ASSERT_TRUE(client.waitForFinished(60000)) << "the client did not end after its window was shown";
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0);
    // The client's log lines go to standard output as well, the notice on a line of its own.
    const QByteArray output = client.readAllStandardOutput();
    EXPECT_EQ(output.count("\nkorva-vpn: main window shown\n"), 1) << output.toStdString();
    // The frame it counts shows the stored settings: it comes after their restore.
    const int restored = output.indexOf("System :: Set theme mode to");
    EXPECT_GE(restored, 0) << output.toStdString();
    EXPECT_GT(output.indexOf("korva-vpn: main window shown"), restored) << output.toStdString();
}

TEST(ShownNoticeTest, WithoutTheVariableTheClientWritesNothingAndStaysOpen) {
    QProcess client;
    startClient(client, false);
    EXPECT_FALSE(client.waitForFinished(4000)) << "the client ended by itself";
    // SIGTERM closes it as a close from the system does.
    client.terminate();
    ASSERT_TRUE(client.waitForFinished(30000));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_FALSE(client.readAllStandardOutput().contains("main window shown"));
}

} // namespace
