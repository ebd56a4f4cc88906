// Export for an ordinary user while the client runs as root: the store's copy and the
// exported file are read and written as the user, so the user can read what they exported
// and no link the user planted leads root into another file. A throwaway user of the
// machine plays the invoking user, with the store in that user's data folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppContext.h"
#include "InvokingUser.h"
#include "SystemContext.h"
#include "ThrowawayUser.h"
#include "TransferTest.h"

using namespace transfertest;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

uid_t OwnerOf(const QString& path) {
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
}

class TransferAsUser : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ASSERT_EQ(user.error(), "");
        original = QString::fromLocal8Bit(app()->GetDataPath());
        ASSERT_EQ(app()->Stop(), 0);
        ASSERT_TRUE(SetInvokingUserForTesting(user.uid));
        const std::string data = user.home + "/.config/Halvex/Korva VPN";
        ASSERT_EQ(MakeUserFolderPath(data), 0);
        ASSERT_EQ(app()->SetDataPath((data + "/").c_str()), 0);
        ASSERT_EQ(app()->Start(), 0);
        exports = QString::fromStdString(user.home) + QStringLiteral("/exports");
        ASSERT_TRUE(QDir().mkpath(exports));
        ASSERT_TRUE(user.own(exports.toStdString()));
        rootOnly = QDir::current().filePath(QStringLiteral("root-only"));
        ASSERT_TRUE(QDir().mkpath(rootOnly));
        ASSERT_EQ(chmod(QFile::encodeName(rootOnly).constData(), 0700), 0);
        writeBytes(rootOnly + QStringLiteral("/secret"), "root's own");
    }
    void TearDown() override {
        app()->Stop();
        SetInvokingUserForTesting(static_cast<uid_t>(-1));
        app()->SetDataPath(QFile::encodeName(original).constData());
        app()->Start();
        TransferTest::TearDown();
    }
    // Exports through the page's own steps; the error prompt's text, if one showed.
    QString exportTo(const QString& path) {
        auto page = makePage();
        return errorDuring([&] { page->exportToFile(path); });
    }

    testsupport::ThrowawayUser user;
    QString original;
    QString exports;
    QString rootOnly;
};

TEST_F(TransferAsUser, TheExportedFileIsTheUsers) {
    seedStore({{VPN_TYPE_WIREGUARD, "wg_home"}, {VPN_TYPE_OPENVPN, "ovpn_lab"}});
    EXPECT_EQ(OwnerOf(storePath()), user.uid) << "the store itself is the user's";
    const QString exported = exports + QStringLiteral("/profiles.cfg");
    ASSERT_EQ(exportTo(exported), QString());
    EXPECT_EQ(OwnerOf(exported), user.uid);
    EXPECT_EQ(QFileInfo(exported).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_EQ(encipherBytes(readBytes(exported)), storeBytes());
    const QByteArray path = QFile::encodeName(exported);
    EXPECT_EQ(user.runAs([&] { return access(path.constData(), R_OK); }), 0) << "the user reads it";
    EXPECT_FALSE(
        QFileInfo::exists(QString::fromLocal8Bit(app()->GetDataPath()) + QStringLiteral("tempvpn.db")));
    EXPECT_EQ(workingFiles(), QStringList());
}

TEST_F(TransferAsUser, NoLinkLeadsRootIntoAnotherFile) {
    seedStore({{VPN_TYPE_IPSEC, "office"}});
    const QString secret = rootOnly + QStringLiteral("/secret");
    // The chosen file and the store's copy are links the user planted to root's file.
    const QString exported = exports + QStringLiteral("/linked.cfg");
    const QString copy = QString::fromLocal8Bit(app()->GetDataPath()) + QStringLiteral("tempvpn.db");
    for (const QString& link : {exported, copy}) {
        ASSERT_TRUE(QFile::link(secret, link));
        ASSERT_EQ(lchown(QFile::encodeName(link).constData(), user.uid, user.gid), 0);
    }
    ASSERT_EQ(exportTo(exported), QString());
    EXPECT_EQ(readBytes(secret), QByteArray("root's own"));
    EXPECT_FALSE(QFileInfo(exported).isSymLink());
    EXPECT_EQ(OwnerOf(exported), user.uid);
    EXPECT_EQ(encipherBytes(readBytes(exported)), storeBytes()) << "the store, not root's file";

    // A folder only root may write is none of the user's to export into.
    const QString intoRoot = rootOnly + QStringLiteral("/profiles.cfg");
    EXPECT_FALSE(exportTo(intoRoot).isEmpty()) << "the failure is said";
    EXPECT_FALSE(QFileInfo::exists(intoRoot));
    EXPECT_EQ(QDir(rootOnly).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("secret")});
}

// Root imports for the user who started the client only a file of that user's own: a
// file of another (root's, in the user's own folder) is refused, the same file imports once
// it is the user's.
TEST_F(TransferAsUser, AnImportReadsOnlyAFileOfTheUserWhoStartedIt) {
    seedStore({{VPN_TYPE_IPSEC, "office"}});
    const QString file = exports + QStringLiteral("/theirs.cfg");
    writeBytes(file, encipherBytes(makeStoreFile(
                         exports + QStringLiteral("/theirs.db"),
                         {{VPN_TYPE_WIREGUARD, "wg_theirs"}, {VPN_TYPE_OPENVPN, "ovpn_theirs"}})));
    ASSERT_EQ(OwnerOf(file), 0u);
    auto page = makePage();
    const QByteArray store = storeBytes();
    EXPECT_EQ(
        errorDuring([&] { EXPECT_EQ(page->importFromFile(file), -1); }),
        QStringLiteral("This file belongs to another user. Copy it into a folder of your own and import "
                       "the copy. Nothing was imported."));
    EXPECT_EQ(storeBytes(), store);
    ASSERT_TRUE(user.own(file.toStdString()));
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(file), 0); }), QString());
    EXPECT_EQ(storeNames().size(), 3);
}

// Two users of the machine: the author of a shared profile file and the one who imports it.
class TransferBetweenUsers : public TransferAsUser {
protected:
    // The store's row changed as its user can, with sqlite3 beside the editor.
    static void editStore(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(storePath()).constData(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    // The client now runs for the importing user, with that user's store.
    void switchToImporter() {
        ASSERT_EQ(importer.error(), "");
        ASSERT_EQ(app()->Stop(), 0);
        ASSERT_TRUE(SetInvokingUserForTesting(importer.uid));
        const std::string data = importer.home + "/.config/Halvex/Korva VPN";
        ASSERT_EQ(MakeUserFolderPath(data), 0);
        ASSERT_EQ(app()->SetDataPath((data + "/").c_str()), 0);
        ASSERT_EQ(app()->Start(), 0);
    }

    testsupport::ThrowawayUser importer;
};

// A DNS value that wg-quick and resolvconf would run as a command, put into the author's
// store beside the editor and exported, travels no further: the other user's import
// refuses the file, naming the profile and the field, and merges nothing.
TEST_F(TransferBetweenUsers, AnImportRefusesAProfileWhoseValueItsKeyDoesNotTake) {
    seedStore({{VPN_TYPE_IPSEC, "office"}, {VPN_TYPE_WIREGUARD, "wg_home"}});
    editStore("UPDATE ZRWIREGUARDVPN SET DNS = '10.9.231.1,1:$(id>/tmp/korva-dns-marker)'");
    const QString exported = exports + QStringLiteral("/shared.cfg");
    ASSERT_EQ(exportTo(exported), QString());

    switchToImporter();
    const QString received = QString::fromStdString(importer.home) + QStringLiteral("/shared.cfg");
    ASSERT_TRUE(QFile::copy(exported, received));
    ASSERT_TRUE(importer.own(received.toStdString()));
    auto page = makePage();
    const QByteArray store = storeBytes();
    EXPECT_EQ(errorDuring([&] { EXPECT_EQ(page->importFromFile(received), -1); }),
              QStringLiteral("The file holds a profile with a value that is not allowed: wg_home (DNS). "
                             "Nothing was imported."));
    EXPECT_EQ(storeBytes(), store);
    EXPECT_EQ(storeNames(), QStringList());
}

} // namespace
