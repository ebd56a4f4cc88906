// Confirm: the save of the selected kind between its two log lines, the reload signal and
// the close after a save that stored the profile, and after an edit that changed the kind
// the removal of the profile's previous kind row and file. The kinds' saves are stood in
// for; the rows and files are real, in a store started in the test's own folders.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <cstring>

#include "AppContext.h"
#include "EditorTestSupport.h"
#include "IPSecVPNContext.h"
#include "IPSecVPNInfo.h"
#include "NetworkAdapters.h"
#include "OpenVPNContext.h"
#include "SystemContext.h"
#include "WireGuardContext.h"

using editortest::chooseKind;
using editortest::click;
using editortest::EditorTest;
using editortest::TestEditor;
using editortest::typeInto;

namespace {

AppContext* app() {
    return SystemContext::Instance()->GetAppContext();
}

// The application context started once for the binary, its store in the test's own folders.
class StoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(guitest::startAppContext()); }
    void TearDown() override {
        app()->Stop();
        SetNetworkAdapterSource(nullptr);
    }
};
const auto* const storeEnvironment = ::testing::AddGlobalTestEnvironment(new StoreEnvironment);

void writeFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("client\n");
}

QString ovpnPath(const QString& name) {
    return QStringLiteral("./Config/openvpn/%1.ovpn").arg(name);
}

QString confPath(const QString& name) {
    return QStringLiteral("./Config/wireguard/%1.conf").arg(name);
}

// Stores a kind row as an earlier save left it, with its configuration file; the row's id.
int storeKindRow(int kind, const QString& name) {
    switch (kind) {
    case 1: {
        IPSecVPNInfo info;
        info.SetRemoteAddrs("9.9.9.9");
        info.SetPSKSecret("secret");
        EXPECT_EQ(app()->GetIPSecVPNContext()->AddIPSecInfo(&info, 1), 0);
        return info.GetID();
    }
    case 2:
    case 3: {
        OpenVPNInfo info;
        std::strcpy(info.ServerIP, "5.6.7.8");
        EXPECT_EQ(app()->GetOpenVPNContext()->AddOpenVPNInfo(&info, 1), 0);
        writeFile(ovpnPath(name));
        return info.ID;
    }
    default: {
        WireGuardVPNInfo info;
        std::strcpy(info.WanIP, "1.2.3.4");
        EXPECT_EQ(app()->GetWireGuardContext()->AddWireGuardInfo(&info, 1), 0);
        writeFile(confPath(name));
        return info.ID;
    }
    }
}

bool kindRowExists(int kind, int id) {
    switch (kind) {
    case 1: {
        IPSecVPNInfo info;
        app()->GetIPSecVPNContext()->GetIPSecInfoByID(id, &info);
        return info.GetRemoteAddrs() == "9.9.9.9";
    }
    case 2:
    case 3: {
        OpenVPNInfo info;
        app()->GetOpenVPNContext()->GetOpenVPNInfoByID(id, &info);
        return std::strcmp(info.ServerIP, "5.6.7.8") == 0;
    }
    default: {
        WireGuardVPNInfo info;
        app()->GetWireGuardContext()->GetWireGuardInfoByID(id, &info);
        return std::strcmp(info.WanIP, "1.2.3.4") == 0;
    }
    }
}

bool kindFileExists(int kind, const QString& name) {
    return kind == 1 || QFileInfo(kind == 4 ? confPath(name) : ovpnPath(name)).isFile();
}

TEST_F(EditorTest, ConfirmRunsTheSelectedKindsSaveBetweenItsLogLines) {
    for (int kind = 1; kind <= 4; ++kind) {
        for (bool stored : {false, true}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << (stored ? " stored" : " refused"));
            TestEditor editor;
            editor.saveResult = stored;
            QSignalSpy reload(&editor, SIGNAL(signalLoadProfileList()));
            ASSERT_TRUE(guitest::showAndExpose(&editor));
            QApplication::setActiveWindow(&editor);
            chooseKind(editor.form().comboBoxVPNType, kind - 1);
            typeInto(editor.form().lineEditProfileName, QStringLiteral("Office"));
            const size_t before = log().size();
            click(editor.form().btnConfirm);

            EXPECT_EQ(editor.savedKinds, std::vector<int>{kind});
            const std::string written = log().substr(before);
            const size_t start = written.find("System :: Start Saving Profile\n");
            const size_t save = written.find("Test :: save of kind " + std::to_string(kind) + "\n");
            const size_t end = written.find("System :: Ending Saving Profile\n");
            ASSERT_NE(start, std::string::npos) << written;
            ASSERT_NE(save, std::string::npos) << written;
            ASSERT_NE(end, std::string::npos) << written;
            EXPECT_LT(start, save);
            EXPECT_LT(save, end);
            EXPECT_EQ(reload.count(), stored ? 1 : 0);
            EXPECT_EQ(editor.isVisible(), !stored);
            if (!stored) {
                // The focus went to Confirm, so that no field kept it during the save.
                EXPECT_EQ(QApplication::focusWidget(), editor.form().btnConfirm);
                // A refused save leaves everything for a second try.
                EXPECT_EQ(editor.form().lineEditProfileName->text(), QStringLiteral("Office"));
                editor.saveResult = true;
                click(editor.form().btnConfirm);
                EXPECT_EQ(reload.count(), 1);
                EXPECT_FALSE(editor.isVisible());
            }
        }
    }
}

// An edit of a profile of one kind confirmed as another kind (or the same), renamed or not,
// with the new kind's save storing the profile or refusing it.
struct KindChange {
    int oldKind;
    int newKind;
    bool renamed;
    bool stored;
    bool rowRemoved;
    bool fileRemoved;
};

const KindChange kKindChanges[] = {
    {4, 1, false, true, true, true},    // WireGuard to IPsec: row and .conf go
    {4, 3, true, true, true, true},     // WireGuard to OpenVPN, renamed
    {4, 2, false, false, false, false}, // the new kind's save refused: everything stays
    {3, 2, false, true, true, false},   // OpenVPN to SSL VPN, same name: the .ovpn is the new kind's
    {3, 2, true, true, true, true},     // ... renamed: the old name's .ovpn goes
    {2, 3, false, true, true, false},   // SSL VPN to OpenVPN, same name
    {2, 4, false, true, true, true},    // SSL VPN to WireGuard: the .ovpn goes
    {3, 1, false, true, true, true},    // OpenVPN to IPsec
    {3, 1, false, false, false, false}, // ... refused
    {1, 3, false, true, true, false},   // IPsec to OpenVPN: its row goes (it has no file)
    {1, 4, true, true, true, false},    // IPsec to WireGuard, renamed
    {1, 1, true, true, false, false},   // same kind, renamed: nothing removed here
    {3, 3, true, true, false, false},   // same kind, renamed
    {4, 4, false, true, false, false},  // same kind
};

TEST_F(EditorTest, KindChangingEditRemovesThePreviousKindOnlyAfterAStoredSave) {
    int profile = 0;
    for (const KindChange& change : kKindChanges) {
        const QString name = QStringLiteral("Profile_%1").arg(++profile);
        SCOPED_TRACE(testing::Message()
                     << name.toStdString() << ": kind " << change.oldKind << " to " << change.newKind
                     << (change.renamed ? " renamed" : "") << (change.stored ? "" : " refused"));
        const int configID = storeKindRow(change.oldKind, name);
        ASSERT_GT(configID, 0);
        // A file of the same name in the other kind's folder belongs to no one here.
        writeFile(change.oldKind == 4 ? ovpnPath(name) : confPath(name));

        TestEditor editor(true, name, 100 + profile, configID, change.oldKind);
        editor.saveResult = change.stored;
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        chooseKind(editor.form().comboBoxVPNType, change.newKind - 1);
        if (change.renamed) {
            typeInto(editor.form().lineEditProfileName, name + QStringLiteral("_new"));
        }
        click(editor.form().btnConfirm);

        EXPECT_EQ(editor.savedKinds, std::vector<int>{change.newKind});
        EXPECT_EQ(editor.isVisible(), !change.stored);
        EXPECT_EQ(kindRowExists(change.oldKind, configID), !change.rowRemoved);
        EXPECT_EQ(kindFileExists(change.oldKind, name), !change.fileRemoved);
        EXPECT_TRUE(QFileInfo(change.oldKind == 4 ? ovpnPath(name) : confPath(name)).isFile());
    }
}

TEST_F(EditorTest, AddingNeverRemovesAnything) {
    const int wireGuard = storeKindRow(4, QStringLiteral("Kept_wg"));
    const int openVPN = storeKindRow(3, QStringLiteral("Kept_ovpn"));
    const int ipsec = storeKindRow(1, QStringLiteral("Kept_ipsec"));
    // Files under an empty name would be what an add names; they stay too.
    writeFile(QStringLiteral("./Config/openvpn/.ovpn"));
    writeFile(QStringLiteral("./Config/wireguard/.conf"));
    for (int kind = 1; kind <= 4; ++kind) {
        TestEditor editor;
        editor.saveResult = true;
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        chooseKind(editor.form().comboBoxVPNType, kind - 1);
        typeInto(editor.form().lineEditProfileName, QStringLiteral("Kept_ovpn"));
        click(editor.form().btnConfirm);
        EXPECT_FALSE(editor.isVisible());
    }
    EXPECT_TRUE(kindRowExists(4, wireGuard));
    EXPECT_TRUE(kindRowExists(3, openVPN));
    EXPECT_TRUE(kindRowExists(1, ipsec));
    EXPECT_TRUE(QFileInfo(confPath(QStringLiteral("Kept_wg"))).isFile());
    EXPECT_TRUE(QFileInfo(ovpnPath(QStringLiteral("Kept_ovpn"))).isFile());
    EXPECT_TRUE(QFileInfo(QStringLiteral("./Config/openvpn/.ovpn")).isFile());
    EXPECT_TRUE(QFileInfo(QStringLiteral("./Config/wireguard/.conf")).isFile());
}

TEST_F(EditorTest, StoredNamesThatAreNoFileNamesReachNoFile) {
    // A name taken from an imported store may hold a separator; the clean-up then
    // touches no file outside the kind's folder.
    writeFile(QStringLiteral("./Config/outside.ovpn"));
    writeFile(QStringLiteral("./Config/outside.conf"));
    for (int kind : {3, 4}) {
        const QString name = QStringLiteral("../outside");
        const int configID = storeKindRow(kind == 3 ? 3 : 4, QStringLiteral("inside_%1").arg(kind));
        TestEditor editor(true, name, 50 + kind, configID, kind);
        editor.saveResult = true;
        ASSERT_TRUE(guitest::showAndExpose(&editor));
        chooseKind(editor.form().comboBoxVPNType, 0);
        click(editor.form().btnConfirm);
        EXPECT_FALSE(kindRowExists(kind, configID));
    }
    EXPECT_TRUE(QFileInfo(QStringLiteral("./Config/outside.ovpn")).isFile());
    EXPECT_TRUE(QFileInfo(QStringLiteral("./Config/outside.conf")).isFile());
    const struct {
        const char* name;
        bool usable;
    } names[] = {{"Office_1", true}, {"", false},     {".", false},   {"..", false}, {"a/b", false},
                 {"a\\b", false},    {"a\tb", false}, {"Büro", true}, {"a b", true}};
    for (const auto& n : names) {
        EXPECT_EQ(
            !TestEditor::profileFilePath("./Config/openvpn", QString::fromUtf8(n.name), ".ovpn").isEmpty(),
            n.usable)
            << n.name;
    }
    EXPECT_EQ(TestEditor::profileFilePath("./Config/openvpn", QStringLiteral("Office_1"), ".ovpn"),
              QStringLiteral("./Config/openvpn/Office_1.ovpn"));
}

} // namespace
