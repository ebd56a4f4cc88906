// The field rules: what each line edit lets a person type, which texts each rule accepts,
// the mark and message of a failure and what clears them, the profile-name rule with its
// log lines, the name-uniqueness and remote-subnet rules, and the small text functions.
#include <QLabel>
#include <algorithm>
#include <cstring>

#include "AppContext.h"
#include "EditorTestSupport.h"
#include "SystemContext.h"

using editortest::chooseKind;
using editortest::click;
using editortest::EditorTest;
using editortest::TestEditor;
using editortest::typeAddress;
using editortest::typeInto;

namespace {

using Field = std::function<QLineEdit*(Ui::ProfileConfigDialog&)>;

// What typing key by key leaves in a field.
struct Typed {
    const char* field;
    const char* typed;
    const char* result;
};

const Typed kTyping[] = {
    {"lineEditPeerPort", "0", ""},
    {"lineEditPeerPort", "1", "1"},
    {"lineEditPeerPort", "65535", "65535"},
    {"lineEditPeerPort", "655351", "65535"},
    {"lineEditPeerPort", "65536", "6553"},
    {"lineEditPeerPort", "080", "80"},
    {"lineEditWireGuardInterPort", "0", ""},
    {"lineEditWireGuardInterPort", "51820", "51820"},
    {"lineEditWireGuardKeepAlive", "0", "0"},
    {"lineEditWireGuardKeepAlive", "00", "0"},
    {"lineEditWireGuardKeepAlive", "25", "25"},
    {"lineEditWireGuardKeepAlive", "65536", "6553"},
    {"lineEditSubMask", "33", "3"},
    {"lineEditSubMask", "32", "32"},
    {"lineEditSubMask", "0", "0"},
    {"lineEditSubMask", "00", "0"},
    {"lineEditDPDPeriod", "99999", "99999"},
    {"lineEditDPDPeriod", "123456", "12345"},
    {"lineEditDPDPeriod", "007", "007"},
    {"lineEditDPDPeriod", "1a", "1"},
    {"lineEditProfileName", "Home_1", "Home_1"},
    {"lineEditProfileName", "a b-c.d", "abcd"},
    {"lineEditProfileName", "Büro", "Büro"},
    {"lineEditProfileName", "한국어", "한국어"},
    // The pre-shared key takes every printable character.
    {"lineEditPSK", "p@ss w0rd", "p@ss w0rd"},
    {"lineEditPSK", "psk-0123.+/=", "psk-0123.+/="},
    {"lineEditPSK", "{\"$x\"}#'\\`~!%^&*()[]<>?|;:,", "{\"$x\"}#'\\`~!%^&*()[]<>?|;:,"},
    {"lineEditPSK", "Grüße", "Grüße"},
    // The remote network's mask has no typing limit; its save judges it.
    {"lineEditRemoteNetworkMask", "abc", "abc"},
};

TEST_F(EditorTest, EachFieldTakesOnlyWhatItsRuleCanComplete) {
    TestEditor editor;
    for (const Typed& t : kTyping) {
        auto* field = editor.findChild<QLineEdit*>(QString::fromLatin1(t.field));
        ASSERT_NE(field, nullptr) << t.field;
        typeInto(field, QString::fromUtf8(t.typed));
        EXPECT_EQ(field->text(), QString::fromUtf8(t.result)) << t.field << " typed " << t.typed;
    }
}

// A rule judged at Confirm: the texts it accepts and refuses, and how its failure shows on
// the form: the marked widget with its sheet, the message, and what typing leaves.
struct JudgedRule {
    const char* name;
    std::function<bool(TestEditor&, const QString&)> passes; // null: the kind's save holds the rule
    std::vector<std::string> good;
    std::vector<std::string> bad;
    std::function<void(TestEditor&)> fail; // marks the failure as the saves do
    std::function<QWidget*(Ui::ProfileConfigDialog&)> marked;
    const char* markSheet;
    std::function<QLabel*(Ui::ProfileConfigDialog&)> warning; // null: no message
    const char* message;
    Field typedInto;              // the field the person types into afterwards
    const char* sheetAfterTyping; // the marked widget's sheet then
};

const char* const kLineError = "QLineEdit{border:1px solid red }";
const char* const kAddressError = "ZRInputIpLineEdit{border:1px solid red }";
const char* const kFrameError =
    "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#btnOpenVPNImport{border:1px solid red }";
const char* const kLineNormal = "QLineEdit{border:none}QLineEdit:focus{border:1px solid #04B0FF}";
const char* const kFocusFrame = "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#widgetDPDNum,"
                                "#widgetKeepAlive{border:1px solid #04B0FF}QLineEdit{border:none}"
                                "QLineEdit:focus{border:none}";
const char* const kPlainFrame =
    "QWidget#widgetFileName,#widgetPassword,#widgetSSLPassword,#widgetDPDNum,"
    "#widgetKeepAlive{border:none }QLineEdit{border:none}QLineEdit:focus{border:none}";

std::string repeat(const char* piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

QString text(const std::string& utf8) {
    return QString::fromUtf8(utf8.c_str());
}

bool nameRule(TestEditor& editor, const QString& name, int kind) {
    return editor.checkProfileName(name.toUtf8().constData(), kind) == 0;
}

std::vector<JudgedRule> judgedRules() {
    return {
        {"IPv4 address",
         [](TestEditor& e, const QString& t) { return e.ipRule().exactMatch(t); },
         {"0.0.0.0", "255.255.255.255", "192.168.1.1", "010.001.0.1"},
         {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", " 1.2.3.4", "1.2.3.4/24"},
         [](TestEditor& e) { e.markAddress(e.form().lineEditEndpoint); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditEndpoint; },
         kAddressError,
         nullptr,
         nullptr,
         // Typing into an address editor leaves its mark: only its focus handling removes it.
         [](Ui::ProfileConfigDialog& u) { return u.lineEditEndpoint->findChild<QLineEdit*>(); },
         kAddressError},
        {"port",
         [](TestEditor& e, const QString& t) { return e.portRule().exactMatch(t); },
         {"1", "80", "8080", "65535"},
         {"", "0", "080", "65536", "-1", "1 "},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditPeerPort); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPeerPort; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPeerPort; },
         kLineNormal},
        {"listen port",
         [](TestEditor& e, const QString& t) { return e.portRule().exactMatch(t); },
         {"51820"},
         {"0"},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditWireGuardInterPort); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardInterPort; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardInterPort; },
         kLineNormal},
        {"mask",
         [](TestEditor& e, const QString& t) { return e.maskRule().exactMatch(t); },
         {"0", "9", "24", "32"},
         {"", "00", "033", "33", "-1"},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditSubMask); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditSubMask; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditSubMask; },
         kLineNormal},
        {"remote network mask",
         [](TestEditor& e, const QString& t) { return e.maskRule().exactMatch(t); },
         {"16"},
         {"abc"},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditRemoteNetworkMask); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditRemoteNetworkMask; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditRemoteNetworkMask; },
         kLineNormal},
        {"user name",
         [](TestEditor& e, const QString& t) { return e.userRule().exactMatch(t); },
         {"a", "a_1", "ABCdef_123", repeat("u", 20)},
         {"", repeat("u", 21), "a-b", "a b", "é"},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditUserName); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditUserName; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditUserName; },
         kLineNormal},
        {"SSL VPN user name",
         [](TestEditor& e, const QString& t) { return e.userRule().exactMatch(t); },
         {"vpn_user"},
         {"vpn-user"},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditSSLUserName); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditSSLUserName; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditSSLUserName; },
         kLineNormal},
        {"password",
         [](TestEditor& e, const QString& t) { return e.passwordRule().exactMatch(t); },
         {"x", "p'w d", repeat("\xc3\xbf", 64), repeat("p", 64)},
         {"", repeat("p", 65), "\xe2\x82\xac"},
         [](TestEditor& e) { e.markFrame(e.form().widgetPassword); },
         [](Ui::ProfileConfigDialog& u) { return u.widgetPassword; },
         kFrameError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPassword; },
         kFocusFrame},
        {"SSL VPN password",
         [](TestEditor& e, const QString& t) { return e.passwordRule().exactMatch(t); },
         {"secret"},
         {repeat("s", 65)},
         [](TestEditor& e) { e.markFrame(e.form().widgetSSLPassword); },
         [](Ui::ProfileConfigDialog& u) { return u.widgetSSLPassword; },
         kFrameError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditSSLPassword; },
         kFocusFrame},
        {"profile name",
         [](TestEditor& e, const QString& t) { return nameRule(e, t, 1); },
         {"Office_1", repeat("a", 128), repeat("\xc3\xa9", 64), "\xed\x95\x9c\xea\xb5\xad", " a"},
         {"", repeat("a", 129), repeat("\xc3\xa9", 65), "\xe4\xb8\xad", "   "},
         [](TestEditor& e) {
             e.showWarning(e.form().labelNameWarning, e.form().lineEditProfileName,
                           "ZRVPN_PROFILE_NAME_VALID_TIP");
         },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditProfileName; },
         kLineError,
         [](Ui::ProfileConfigDialog& u) { return u.labelNameWarning; },
         "Invalid input characters, please enter 1-128 letters, numbers, or underscores.",
         [](Ui::ProfileConfigDialog& u) { return u.lineEditProfileName; },
         kLineNormal},
        {"WireGuard profile name",
         [](TestEditor& e, const QString& t) { return nameRule(e, t, 4); },
         {repeat("w", 32)},
         {repeat("w", 33), ""},
         [](TestEditor& e) {
             e.showWarning(e.form().labelNameWarning, e.form().lineEditProfileName,
                           "ZRVPN_PROFILE_WIREGUARD_VALID_TIP");
         },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditProfileName; },
         kLineError,
         [](Ui::ProfileConfigDialog& u) { return u.labelNameWarning; },
         "Invalid input characters, please enter 1-32 letters, numbers, or underscores.",
         [](Ui::ProfileConfigDialog& u) { return u.lineEditProfileName; },
         kLineNormal},
        {"pre-shared key",
         [](TestEditor& e, const QString& t) { return nameRule(e, t, 1); },
         {"secret_1"},
         {"", repeat("k", 129)},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditPSK); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPSK; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPSK; },
         kLineNormal},
        {"peer public key",
         nullptr,
         {},
         {},
         [](TestEditor& e) {
             e.showWarning(e.form().labelPublicKeyWarning, e.form().lineEditPubKey,
                           "ZRVPN_PROFILE_NAME_LENGTH_TIP");
         },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPubKey; },
         kLineError,
         [](Ui::ProfileConfigDialog& u) { return u.labelPublicKeyWarning; },
         "The string length is not 44.",
         [](Ui::ProfileConfigDialog& u) { return u.lineEditPubKey; },
         kLineNormal},
        {"private key",
         nullptr,
         {},
         {},
         [](TestEditor& e) {
             e.showWarning(e.form().labelPriKeyWarning, e.form().lineEditWireGuardPriKey,
                           "ZRVPN_PROFILE_NAME_LENGTH_TIP");
         },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardPriKey; },
         kLineError,
         [](Ui::ProfileConfigDialog& u) { return u.labelPriKeyWarning; },
         "The string length is not 44.",
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardPriKey; },
         kLineNormal},
        {"interface public key",
         nullptr,
         {},
         {},
         [](TestEditor& e) {
             e.showWarning(e.form().labelPubKeyWarning, e.form().lineEditWireGuardPubKey,
                           "ZRVPN_PROFILE_NAME_LENGTH_TIP");
         },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardPubKey; },
         kLineError,
         [](Ui::ProfileConfigDialog& u) { return u.labelPubKeyWarning; },
         "The string length is not 44.",
         [](Ui::ProfileConfigDialog& u) { return u.lineEditWireGuardPubKey; },
         kLineNormal},
        {"DPD period",
         nullptr,
         {},
         {},
         [](TestEditor& e) { e.markLineEdit(e.form().lineEditDPDPeriod); },
         [](Ui::ProfileConfigDialog& u) { return u.lineEditDPDPeriod; },
         kLineError,
         nullptr,
         nullptr,
         [](Ui::ProfileConfigDialog& u) { return u.lineEditDPDPeriod; },
         kPlainFrame},
    };
}

TEST_F(EditorTest, EachRuleJudgesItsTableAndItsFailureShowsUntilTyping) {
    for (const JudgedRule& rule : judgedRules()) {
        SCOPED_TRACE(rule.name);
        TestEditor editor;
        if (rule.passes) {
            for (const std::string& good : rule.good) {
                EXPECT_TRUE(rule.passes(editor, text(good))) << "refused: " << good;
            }
            for (const std::string& bad : rule.bad) {
                EXPECT_FALSE(rule.passes(editor, text(bad))) << "accepted: " << bad;
            }
        }
        Ui::ProfileConfigDialog& u = editor.form();
        rule.fail(editor);
        EXPECT_EQ(rule.marked(u)->styleSheet(), QString::fromLatin1(rule.markSheet));
        if (rule.warning) {
            EXPECT_EQ(rule.warning(u)->text(), QString::fromLatin1(rule.message));
        }
        QTest::keyClicks(rule.typedInto(u), QStringLiteral("1"));
        EXPECT_EQ(rule.marked(u)->styleSheet(), QString::fromLatin1(rule.sheetAfterTyping));
        if (rule.warning) {
            EXPECT_TRUE(rule.warning(u)->text().isEmpty());
        }
    }
}

TEST_F(EditorTest, FileMarkGoesWhenTheFileNameChanges) {
    TestEditor editor;
    Ui::ProfileConfigDialog& u = editor.form();
    editor.markFrame(u.widgetFileName);
    editor.markFrame(u.btnOpenVPNImport);
    EXPECT_EQ(u.btnOpenVPNImport->styleSheet(), QString::fromLatin1(kFrameError));
    u.lineEditImportFile->setText(QStringLiteral("office.ovpn"));
    EXPECT_EQ(u.widgetFileName->styleSheet(), QString::fromLatin1(kPlainFrame));
    EXPECT_EQ(u.btnOpenVPNImport->styleSheet(), QString::fromLatin1(kPlainFrame));
}

TEST_F(EditorTest, AddressMarkStaysWhileTypingAndGoesWithTheFocus) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    QApplication::setActiveWindow(&editor);
    Ui::ProfileConfigDialog& u = editor.form();
    editor.markAddress(u.lineEditIpOrHost);
    QLineEdit* octet = u.lineEditIpOrHost->findChild<QLineEdit*>();
    QTest::keyClicks(octet, QStringLiteral("10"));
    EXPECT_EQ(u.lineEditIpOrHost->styleSheet(), QString::fromLatin1(kAddressError));
    octet->setFocus();
    u.lineEditProfileName->setFocus();
    EXPECT_EQ(u.lineEditIpOrHost->styleSheet(), QStringLiteral("ZRInputIpLineEdit{border:none}"));
}

// The profile-name rule: its result and the one log line of each refusal.
struct NameCase {
    int kind;
    std::string name;
    int result;
    const char* line; // nullptr: no line
};

TEST_F(EditorTest, ProfileNameRuleRefusesWithItsLogLine) {
    const NameCase cases[] = {
        {2, repeat("a", 128), 0, nullptr},
        {2, repeat("a", 129), -1, "System :: proflie name set value is too long, [length:129]\n"},
        {4, repeat("a", 32), 0, nullptr},
        {4, repeat("a", 33), -1, "System :: proflie name set value is too long, [length:33]\n"},
        {1, repeat("\xc3\xa9", 64), 0, nullptr},
        {1, repeat("\xc3\xa9", 65), -1, "System :: proflie name set value is too long, [length:130]\n"},
        {4, repeat("\xc3\xa9", 17), -1, "System :: proflie name set value is too long, [length:34]\n"},
        {3, "", -1, "System :: proflie name is Empty\n"},
        {3, "\xef\xbc\xa1", -1, "System :: profile name set value is invalid\n"},      // U+FF21
        {3, "a\xf0\x9f\x98\x80", -1, "System :: profile name set value is invalid\n"}, // U+1F600
        {3, "\xee\x80\x80", -1, "System :: profile name set value is invalid\n"},      // U+E000
        {3, "ab\xe4\xb8\xad", -1, "System :: profile name invalid\n"},                 // U+4E2D
        {3, "\xe9\xbe\xa5", -1, "System :: profile name invalid\n"},                   // U+9FA5
        {3, "\xe9\xbe\xa6", 0, nullptr},                                               // U+9FA6
        {3, "\xe3\x90\x80", 0, nullptr},                                               // U+3400
        {3, "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4", 0, nullptr},                       // Hangul
        {3, "\xe3\x82\xab\xe3\x83\x8a", 0, nullptr},                                   // Katakana
        {3, "   ", -1, "System :: profile name set value is all space\n"},
        {3, " a", 0, nullptr},
        {3, "a ", 0, nullptr},
        {3, "\xff", -1, nullptr},
        {3, "\xc3\x41", -1, nullptr},
    };
    TestEditor editor;
    for (const NameCase& c : cases) {
        const size_t before = log().size();
        EXPECT_EQ(editor.checkProfileName(c.name.c_str(), c.kind), c.result) << c.name << " kind " << c.kind;
        const std::string written = log().substr(before);
        if (c.line == nullptr) {
            EXPECT_TRUE(written.empty()) << written;
        } else {
            EXPECT_NE(written.find(c.line), std::string::npos) << written;
            EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << written;
        }
    }
    EXPECT_EQ(editor.checkProfileName(nullptr, 1), -1);
}

TEST_F(EditorTest, NameMustBelongToNoOtherProfile) {
    AppContext* app = SystemContext::Instance()->GetAppContext();
    app->ClearProfileList();
    for (const char* name : {"Home", "Office"}) {
        ProfileInfo profile;
        std::strcpy(profile.ProfileName, name);
        app->AddProfile(profile);
    }
    const struct {
        bool edit;
        const char* openedWith;
        const char* typed;
        bool passes;
    } cases[] = {
        {false, "", "Home", false},   {false, "", "home", true},       {false, "", "Cafe", true},
        {true, "Home", "Home", true}, {true, "Home", "Office", false}, {true, "Home", "Home_2", true},
    };
    for (const auto& c : cases) {
        TestEditor editor(c.edit, QString::fromLatin1(c.openedWith), c.edit ? 5 : 0, c.edit ? 6 : 0,
                          c.edit ? 1 : 0);
        Ui::ProfileConfigDialog& u = editor.form();
        typeInto(u.lineEditProfileName, QString::fromLatin1(c.typed));
        EXPECT_EQ(editor.checkNameUniqueness(), c.passes) << c.typed;
        if (c.passes) {
            EXPECT_TRUE(u.labelNameWarning->text().isEmpty());
        } else {
            EXPECT_EQ(u.labelNameWarning->text(), QStringLiteral("The name already exists."));
            EXPECT_EQ(u.lineEditProfileName->styleSheet(), QString::fromLatin1(kLineError));
            QTest::keyClicks(u.lineEditProfileName, QStringLiteral("x"));
            EXPECT_TRUE(u.labelNameWarning->text().isEmpty());
            EXPECT_EQ(u.lineEditProfileName->styleSheet(), QString::fromLatin1(kLineNormal));
        }
    }
    app->ClearProfileList();
}

TEST_F(EditorTest, RemoteSubnetRuleMarksEveryFailingRowAndBuildsTheText) {
    TestEditor editor;
    ASSERT_TRUE(guitest::showAndExpose(&editor));
    Ui::ProfileConfigDialog& u = editor.form();
    chooseKind(u.comboBoxVPNType, 2);
    QString subnets = QStringLiteral("untouched");
    // No row: passes with an empty text.
    EXPECT_TRUE(editor.checkRemoteSubnets(subnets, editor.rowAddresses(u.gatewayWidget),
                                          editor.rowMasks(u.gatewayWidget), true));
    EXPECT_TRUE(subnets.isEmpty());

    click(u.btnOpenFullTraffic);
    click(u.btnAddGateway);
    click(u.btnAddGateway);
    const auto addresses = editor.rowAddresses(u.gatewayWidget);
    const auto masks = editor.rowMasks(u.gatewayWidget);
    ASSERT_EQ(addresses.size(), 3);
    typeAddress(addresses[0], QStringLiteral("10.0.0.0"));
    typeInto(masks[0], QStringLiteral("24"));
    typeAddress(addresses[1], QStringLiteral("192.168.1.0"));
    typeAddress(addresses[2], QStringLiteral("172.16.."));
    typeInto(masks[2], QStringLiteral("12"));

    // Full traffic on: nothing tested, nothing marked, an empty text.
    EXPECT_TRUE(editor.checkRemoteSubnets(subnets, addresses, masks, false));
    EXPECT_TRUE(subnets.isEmpty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(masks[i]->styleSheet(), QString::fromLatin1(kLineError));
        EXPECT_NE(addresses[i]->styleSheet(), QString::fromLatin1(kAddressError));
    }

    EXPECT_FALSE(editor.checkRemoteSubnets(subnets, addresses, masks, true));
    EXPECT_EQ(subnets, QStringLiteral("10.0.0.0/24, 192.168.1.0/, 172.16../12"));
    EXPECT_NE(addresses[0]->styleSheet(), QString::fromLatin1(kAddressError));
    EXPECT_NE(masks[0]->styleSheet(), QString::fromLatin1(kLineError));
    EXPECT_NE(addresses[1]->styleSheet(), QString::fromLatin1(kAddressError));
    EXPECT_EQ(masks[1]->styleSheet(), QString::fromLatin1(kLineError));
    EXPECT_EQ(addresses[2]->styleSheet(), QString::fromLatin1(kAddressError));
    EXPECT_NE(masks[2]->styleSheet(), QString::fromLatin1(kLineError));
    // Typing into a marked mask takes its mark away.
    QTest::keyClicks(masks[1], QStringLiteral("2"));
    EXPECT_EQ(masks[1]->styleSheet(), QString::fromLatin1(kLineNormal));

    typeAddress(addresses[2], QStringLiteral("172.16.0.0"));
    EXPECT_TRUE(editor.checkRemoteSubnets(subnets, addresses.mid(0, 1), masks.mid(0, 1), true));
    EXPECT_EQ(subnets, QStringLiteral("10.0.0.0/24"));
}

TEST(EditorTextFunctions, NetmaskBinaryAndTrim) {
    const struct {
        int length;
        const char* netmask;
    } masks[] = {{0, "0.0.0.0"},          {1, "128.0.0.0"},        {8, "255.0.0.0"}, {24, "255.255.255.0"},
                 {25, "255.255.255.128"}, {32, "255.255.255.255"}, {33, ""},         {-1, ""}};
    for (const auto& m : masks) {
        EXPECT_EQ(ProfileConfigDialog::maskLengthToNetmask(m.length), QString::fromLatin1(m.netmask))
            << m.length;
    }
    const struct {
        const char* digits;
        int value;
    } numbers[] = {{"", 0},           {"0", 0},          {"1", 1},  {"10", 2},
                   {"11111111", 255}, {"10000000", 128}, {"12", 0}, {"1 1", 0}};
    for (const auto& n : numbers) {
        EXPECT_EQ(ProfileConfigDialog::binaryToInt(n.digits), n.value) << n.digits;
    }
    const struct {
        const char* raw;
        const char* trimmed;
    } texts[] = {
        {"", ""}, {" \t\n\v\f\r", ""}, {"key\n", "key"}, {"\r\n key = a \t", "key = a"}, {"a b", "a b"}};
    for (const auto& t : texts) {
        std::string text = t.raw;
        EXPECT_EQ(&ProfileConfigDialog::trimString(text), &text);
        EXPECT_EQ(text, t.trimmed) << t.raw;
    }
}

} // namespace
