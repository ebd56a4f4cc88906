// What the client keeps for a running openvpn outside the profile's files: a management
// password file made for each connect in a folder of the client's run folder that nobody
// else may write (a link, a folder open to others or another user's folder is refused), the
// removal of those files, and the start-up clean-up that also takes the tunnels' DNS away through the
// bundle's tunnel-dns.
#include <QRegularExpression>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OpenVPNRunFolder.h"
#include "TunnelTestSupport.h"

namespace {

class OpenVPNRunFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("KORVA_RUN_DIR");
        saved = previous != nullptr ? previous : "";
        folder = project.path + "/run/openvpn";
        QDir().mkpath(QString::fromStdString(project.path + "/run"));
        setenv("KORVA_RUN_DIR", (project.path + "/run").c_str(), 1);
    }
    void TearDown() override { setenv("KORVA_RUN_DIR", saved.c_str(), 1); }
    static mode_t Mode(const std::string& path) {
        struct stat info;
        return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
    QStringList Files() const {
        return QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    ProjectFolder project;
    std::string folder;
    std::string saved;
};

TEST_F(OpenVPNRunFolderTest, EachConnectGetsAPasswordFileOfItsOwnThatOnlyTheOwnerReads) {
    EXPECT_EQ(OpenVPNRunFolder::Path(), folder);
    OpenVPNRunFolder::ManagementSecret first;
    OpenVPNRunFolder::ManagementSecret second;
    ASSERT_TRUE(OpenVPNRunFolder::MakeManagementSecret(&first));
    ASSERT_TRUE(OpenVPNRunFolder::MakeManagementSecret(&second));
    EXPECT_EQ(Mode(folder), 0700u);
    for (const auto* secret : {&first, &second}) {
        EXPECT_EQ(secret->path.rfind(folder + "/management-", 0), 0u) << secret->path;
        EXPECT_EQ(Mode(secret->path), 0600u);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                        .match(QString::fromStdString(secret->password))
                        .hasMatch());
        EXPECT_EQ(ReadText(secret->path), secret->password + "\n");
    }
    EXPECT_NE(first.path, second.path);
    EXPECT_NE(first.password, second.password);

    // Every password file goes, nothing else of the folder.
    ASSERT_TRUE(WriteText(folder + "/other", "kept"));
    OpenVPNRunFolder::RemoveManagementSecrets();
    EXPECT_EQ(Files(), QStringList{QStringLiteral("other")});
}

TEST_F(OpenVPNRunFolderTest, AFolderSomeoneElseCouldWriteIsRefused) {
    const std::string elsewhere = project.path + "/elsewhere";
    const struct {
        const char* what;
        std::function<void()> make;
    } cases[] = {
        {"a link to a folder",
         [&] {
             QDir().mkpath(QString::fromStdString(elsewhere));
             ASSERT_EQ(symlink(elsewhere.c_str(), folder.c_str()), 0);
         }},
        {"a folder others may write",
         [&] {
             QDir().mkpath(QString::fromStdString(folder));
             ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
         }},
        {"another user's folder",
         [&] {
             QDir().mkpath(QString::fromStdString(folder));
             ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
         }},
        {"a file", [&] { ASSERT_TRUE(WriteText(folder, "")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        OpenVPNRunFolder::ManagementSecret secret;
        EXPECT_FALSE(OpenVPNRunFolder::MakeManagementSecret(&secret));
        EXPECT_TRUE(secret.path.empty());
        EXPECT_TRUE(QDir(QString::fromStdString(elsewhere)).isEmpty());
        unlink(folder.c_str());
        rmdir(folder.c_str());
    }
    EXPECT_NE(project.Log().find("is not the client's own"), std::string::npos) << project.Log();
}

TEST_F(OpenVPNRunFolderTest, TheStartUpCleanUpTakesThePasswordFilesAndTheTunnelsDnsAway) {
    OpenVPNRunFolder::ManagementSecret secret;
    ASSERT_TRUE(OpenVPNRunFolder::MakeManagementSecret(&secret));
    // Without the bundle's DNS script only the files go, without a word.
    OpenVPNRunFolder::RemoveLeftovers();
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(project.Log(), "");

    ASSERT_TRUE(OpenVPNRunFolder::MakeManagementSecret(&secret));
    project.Script("bin/OpenVPN/tunnel-dns", "echo \"$@\" >> '" + project.path + "/dns-calls'\n");
    OpenVPNRunFolder::RemoveLeftovers();
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(ReadText(project.path + "/dns-calls"), "clean\n");

    // A script that fails is said in the log.
    project.Script("bin/OpenVPN/tunnel-dns", "exit 1\n");
    OpenVPNRunFolder::WithdrawTunnelDNS();
    EXPECT_NE(project.Log().find("OpenVPN :: the DNS of the tunnel could not be taken away\n"),
              std::string::npos);
}

} // namespace
