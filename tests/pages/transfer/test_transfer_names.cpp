// One table of profile names, each run through both ways a name comes in: the import of a
// profile file on the Profiles page, and the editor's Confirm on a stored profile opened
// unchanged. Both give the name the same verdict: a name the import takes can be saved
// again as it is, and a name the editor refuses is refused at import, with the import's
// message and the store as it was.
#include <QLabel>
#include <sqlite3.h>

#include "SavesTestSupport.h"
#include "TransferTest.h"

using namespace transfertest;

namespace {

struct NameCase {
    std::string label;
    QString name;
    int kind;
    bool accepted;
};

QString withCharacter(const char* before, uint character, const char* after) {
    return QLatin1String(before) + QString::fromUcs4(&character, 1) + QLatin1String(after);
}

std::vector<NameCase> nameCases() {
    const int ipsec = VPN_TYPE_IPSEC;
    const int wireguard = VPN_TYPE_WIREGUARD;
    std::vector<NameCase> cases = {
        {"word characters", QStringLiteral("office_1"), ipsec, true},
        {"word characters, WireGuard", QStringLiteral("wg_home"), wireguard, true},
        {"a space inside", QStringLiteral("Office Berlin"), ipsec, true},
        {"a leading space", QStringLiteral(" lab"), ipsec, true},
        {"a name like a file's", QStringLiteral("vpn.db"), ipsec, true},
        {"a dot in a WireGuard name", QStringLiteral("vpn.db"), wireguard, false},
        {"a space in a WireGuard name", QStringLiteral("wg home"), wireguard, false},
        {"letters of other scripts", QStringLiteral("Straße_Ünïcode"), ipsec, true},
        {"Cyrillic, WireGuard", QStringLiteral("Привет"), wireguard, true},
        {"Hangul", QStringLiteral("한국어"), ipsec, true},
        {"Katakana", QStringLiteral("カタカナ"), ipsec, true},
        {"Hebrew", QStringLiteral("שלום"), ipsec, true},
        {"a letter with its combining accent", QStringLiteral("cafe\u0301"), wireguard, true},
        {"128 bytes", QString(128, QLatin1Char('a')), ipsec, true},
        {"129 bytes", QString(129, QLatin1Char('a')), ipsec, false},
        {"32 bytes, WireGuard", QString(32, QLatin1Char('w')), wireguard, true},
        {"33 bytes, WireGuard", QString(33, QLatin1Char('w')), wireguard, false},
        {"an ideograph", QStringLiteral("vpn中"), ipsec, false},
        {"outside the first plane", QStringLiteral("vpn\U0001F600"), ipsec, false},
        {"only spaces", QStringLiteral("   "), ipsec, false},
        {"a separator", QStringLiteral("a/b"), ipsec, false},
        {"the parent folder", QStringLiteral("../up"), ipsec, false},
        {"a leading dash", QStringLiteral("-flag"), ipsec, false},
        {"a leading dot", QStringLiteral(".hidden"), ipsec, false},
        {"a quote", QStringLiteral("o'neil"), ipsec, false},
        {"a shell metacharacter", QStringLiteral("a;b"), ipsec, false},
        {"shows as safeexe.png", QStringLiteral("safe\u202Egnp.exe"), ipsec, false},
        {"a zero-width space", QStringLiteral("a\u200Bb"), ipsec, false},
        {"a soft hyphen", QStringLiteral("a\u00ADb"), ipsec, false},
        {"a no-break space", QStringLiteral("Office\u00A0Berlin"), ipsec, false},
        {"an ideographic space", QStringLiteral("a\u3000b"), ipsec, false},
        {"a line separator", QStringLiteral("a\u2028b"), ipsec, false},
        {"a next-line control", QStringLiteral("a\u0085b"), ipsec, false},
        {"an invisible Hangul filler, WireGuard", QStringLiteral("a\u3164b"), wireguard, false},
        {"a combining grapheme joiner, WireGuard", QStringLiteral("a\u034Fb"), wireguard, false},
        {"a stroke drawn over a letter", QStringLiteral("a\u0338b"), ipsec, false},
        {"a circle drawn around a letter", QStringLiteral("a\u20DDb"), ipsec, false},
        {"a leading combining mark, WireGuard", QStringLiteral("\u0301abc"), wireguard, false},
        {"an unassigned character", QStringLiteral("a\u0378b"), ipsec, false},
    };
    // Every bidirectional control, in a name of each rule.
    const uint controls[] = {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066,
                             0x2067, 0x2068, 0x2069, 0x200E, 0x200F, 0x061C};
    for (uint control : controls) {
        const int kind = control % 2 == 0 ? ipsec : wireguard;
        cases.push_back({"bidirectional control U+" + QString::number(control, 16).toUpper().toStdString(),
                         withCharacter("vpn", control, "gnp"), kind, false});
    }
    return cases;
}

// A profile file holding the one profile under the name, enciphered.
void writeProfileFile(const QString& target, const QString& name, int kind) {
    const QByteArray utf8 = name.toUtf8();
    TransferTest::makeStoreFile(QStringLiteral("names.db"), {{kind, "placeholder"}}, [&utf8](sqlite3* db) {
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE PROFILE SET ProfileName = ?", -1, &statement, nullptr),
                  SQLITE_OK);
        sqlite3_bind_text(statement, 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_finalize(statement);
    });
    TransferTest::encipher(QStringLiteral("names.db"), target);
}

class TransferNames : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        // The IPsec page offers a local address, so that its save hinges on the name.
        SetNetworkAdapterSource(savestest::testAdapters);
    }
};

TEST_F(TransferNames, TheImportAndTheEditorGiveEveryNameTheSameVerdict) {
    for (const NameCase& c : nameCases()) {
        SCOPED_TRACE(c.label);
        SetUp();
        writeProfileFile(QStringLiteral("names.cfg"), c.name, c.kind);
        const QByteArray before = storeBytes();
        auto page = makePage();
        int imported = 0;
        const QString message =
            errorDuring([&] { imported = page->importFromFile(QStringLiteral("names.cfg")); });
        EXPECT_EQ(imported == 0, c.accepted) << message.toStdString();
        if (imported == 0) {
            EXPECT_EQ(storeNames(), QStringList{c.name});
        } else {
            EXPECT_TRUE(
                message.startsWith(QStringLiteral("The file holds a profile whose name cannot be used: ")))
                << message.toStdString();
            EXPECT_EQ(storeBytes(), before);
            // The same name stored by other means, as an earlier version may have left it.
            seedStore({{c.kind, c.name.toStdString()}});
        }

        // The editor, opened on the stored profile and confirmed unchanged.
        auto editor = savestest::openStored(c.name);
        ASSERT_EQ(editor->form().lineEditProfileName->text(), c.name);
        const bool saved = savestest::confirm(*editor);
        EXPECT_EQ(saved, c.accepted) << editor->form().labelNameWarning->text().toStdString();
        if (!saved) {
            EXPECT_FALSE(editor->form().labelNameWarning->text().isEmpty());
        } else {
            EXPECT_EQ(storeNames(), QStringList{c.name});
        }
    }
}

} // namespace
