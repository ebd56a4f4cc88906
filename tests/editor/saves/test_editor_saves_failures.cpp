// A save is whole or nothing: made to fail at each of its steps (writing the file, the
// kind row, the profile row, putting the file in place, the commit), it leaves the earlier
// profile, its rows and its files as they were, leaves no file behind, says so on the form,
// and stores everything on the next try.
#include <QSignalSpy>

#include "IPCSqlite.h"
#include "SavesTestSupport.h"

using namespace savestest;
using editortest::EditorTest;

namespace {

const auto* const storeEnvironment = ::testing::AddGlobalTestEnvironment(new StoreEnvironment);

const char* const kKindTables[] = {"", "ZRIPSECVPN", "OPENVPN", "OPENVPN", "ZRWIREGUARDVPN"};

// Fills the page of a kind with a profile of that name.
void fillKind(SaveEditor& editor, int kind, const QString& name) {
    if (kind == 1) {
        IPSecForm form;
        form.name = name;
        form.server = QStringLiteral("203.0.113.1");
        form.remote = QStringLiteral("192.168.10.0/24");
        form.psk = QStringLiteral("psk");
        fillIPSec(editor, form);
    } else if (kind == 4) {
        WireGuardForm form = requiredWireGuardForm(name, QStringLiteral("51820"));
        form.publicKey = kPublicKey;
        fillWireGuard(editor, form);
    } else {
        writeFile(QStringLiteral("source.ovpn"), "client\nremote 203.0.113.5 1194\nauth-user-pass\n");
        OpenVPNForm form;
        form.name = name;
        form.source = QStringLiteral("source.ovpn");
        form.userName = QStringLiteral("alice");
        form.password = QStringLiteral("pw");
        fillOpenVPN(editor, kind, form);
    }
}

// Changes what every kind's save writes: the server's address.
void changeServer(SaveEditor& editor, int kind) {
    typeAddress(kind == 1 ? editor.form().lineEditIpOrHost : editor.form().lineEditEndpoint,
                QStringLiteral("203.0.113.77"));
}

QString fileOf(int kind, const QString& name) {
    return kind == 4 ? QStringLiteral("Config/wireguard/%1.conf").arg(name)
                     : QStringLiteral("Config/openvpn/%1.ovpn").arg(name);
}

// The ways a save is made to fail, and how each is undone.
enum class Fault { KindRow, ProfileRow, Commit, FileInPlace };

void injectFault(Fault fault, int kind, const QString& newName) {
    switch (fault) {
    case Fault::KindRow:
        execSql(std::string("CREATE TRIGGER fault_update BEFORE UPDATE ON ") + kKindTables[kind] +
                " BEGIN SELECT RAISE(ABORT, 'injected'); END;");
        break;
    case Fault::ProfileRow:
        execSql("CREATE TRIGGER fault_update BEFORE UPDATE ON PROFILE BEGIN SELECT RAISE(ABORT, 'injected'); "
                "END;");
        break;
    case Fault::Commit: {
        // A deferred foreign key that the profile row's update breaks fails the commit.
        execSql(
            "CREATE TABLE FAULT_PARENT (ID INTEGER PRIMARY KEY);"
            "CREATE TABLE FAULT_CHILD (P INTEGER REFERENCES FAULT_PARENT(ID) DEFERRABLE INITIALLY DEFERRED);"
            "CREATE TRIGGER fault_update AFTER UPDATE ON PROFILE BEGIN INSERT INTO FAULT_CHILD VALUES (7); "
            "END;");
        int unused = 0;
        ASSERT_EQ(app()->GetSqlite()->ExecQuery(&unused, "PRAGMA foreign_keys = ON",
                                                [](void*, int, char**, char**) { return 0; }),
                  0);
        break;
    }
    case Fault::FileInPlace:
        // The new name's place is taken by a folder that holds a file.
        writeFile(fileOf(kind, newName) + QStringLiteral("/inside"), "x");
        break;
    }
}

void removeFault(Fault fault, int kind, const QString& newName) {
    execSql("DROP TRIGGER IF EXISTS fault_update; DROP TABLE IF EXISTS FAULT_CHILD; DROP TABLE IF EXISTS "
            "FAULT_PARENT;");
    int unused = 0;
    app()->GetSqlite()->ExecQuery(&unused, "PRAGMA foreign_keys = OFF",
                                  [](void*, int, char**, char**) { return 0; });
    if (fault == Fault::FileInPlace) {
        QDir(fileOf(kind, newName)).removeRecursively();
    }
}

const struct {
    Fault fault;
    const char* what;
    const char* logLine;
} kFaults[] = {
    {Fault::KindRow, "the kind row", "System :: Profile not saved: the rows cannot be written\n"},
    {Fault::ProfileRow, "the profile row", "System :: Profile not saved: the rows cannot be written\n"},
    {Fault::Commit, "the commit", "System :: Profile not saved: the rows cannot be committed\n"},
    {Fault::FileInPlace, "the file's place",
     "System :: Profile not saved: the configuration file cannot be replaced\n"},
};

TEST_F(EditorTest, EditFailingAtEachStepLeavesTheProfileAsItWas) {
    for (int kind = 1; kind <= 4; ++kind) {
        const QString name = QStringLiteral("Kept_%1").arg(kind);
        const QString newName = QStringLiteral("Renamed_%1").arg(kind);
        {
            auto editor = openNew();
            fillKind(*editor, kind, name);
            ASSERT_TRUE(confirm(*editor)) << log();
        }
        for (const auto& f : kFaults) {
            if (kind == 1 && f.fault == Fault::FileInPlace) {
                continue; // an IPsec profile has no file
            }
            SCOPED_TRACE(testing::Message() << "kind " << kind << ", failing at " << f.what);
            const Snapshot before = snapshot();
            auto editor = openStored(name);
            QSignalSpy reload(editor.get(), SIGNAL(signalLoadProfileList()));
            changeServer(*editor, kind);
            typeInto(editor->form().lineEditProfileName, newName);
            injectFault(f.fault, kind, newName);
            const size_t logBefore = log().size();
            EXPECT_FALSE(confirm(*editor));
            removeFault(f.fault, kind, newName);
            EXPECT_EQ(snapshot(), before);
            EXPECT_EQ(reload.count(), 0);
            EXPECT_NE(log().find(f.logLine, logBefore), std::string::npos) << log().substr(logBefore);
            if (kind == 1 && f.fault == Fault::KindRow) {
                // The first failure's toast shows at once; later ones queue behind it.
                EXPECT_EQ(toastText(),
                          QStringLiteral("The profile could not be saved. Nothing was changed."));
            }
        }
        // The same edit, with nothing in its way, is stored whole.
        auto editor = openStored(name);
        changeServer(*editor, kind);
        typeInto(editor->form().lineEditProfileName, newName);
        ASSERT_TRUE(confirm(*editor)) << log();
        EXPECT_EQ(storedProfile(name).ProfileID, 0);
        EXPECT_NE(storedProfile(newName).ProfileID, 0);
        if (kind != 1) {
            EXPECT_FALSE(QFile::exists(fileOf(kind, name)));
            EXPECT_TRUE(readFile(fileOf(kind, newName)).contains("203.0.113.77"));
        }
    }
}

TEST_F(EditorTest, AddFailingLeavesNoRowAndNoFile) {
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        const QString name = QStringLiteral("Added_%1").arg(kind);
        const Snapshot before = snapshot();
        auto editor = openNew();
        fillKind(*editor, kind, name);
        // The profile row's insert fails after the kind row's has run.
        execSql("CREATE TRIGGER fault_insert BEFORE INSERT ON PROFILE BEGIN SELECT RAISE(ABORT, 'injected'); "
                "END;");
        EXPECT_FALSE(confirm(*editor));
        execSql("DROP TRIGGER fault_insert;");
        EXPECT_EQ(snapshot(), before);
        if (kind == 1) {
            continue;
        }
        // The file cannot be written: its folder's place is taken by a file.
        const QString folder = QFileInfo(fileOf(kind, name)).path();
        const QString aside = folder + QStringLiteral(".aside");
        ASSERT_TRUE(QDir().rename(folder, aside));
        writeFile(folder, "not a folder");
        const Snapshot blocked = snapshot();
        const size_t logBefore = log().size();
        EXPECT_FALSE(confirm(*editor));
        EXPECT_EQ(snapshot(), blocked);
        EXPECT_NE(
            log().find("System :: Profile not saved: the configuration file cannot be written\n", logBefore),
            std::string::npos);
        QFile::remove(folder);
        ASSERT_TRUE(QDir().rename(aside, folder));
        ASSERT_TRUE(confirm(*editor)) << log();
        EXPECT_TRUE(QFileInfo(fileOf(kind, name)).isFile());
    }
}

} // namespace
