// The credentials prompt: its form, Confirm's table over the two fields and Remember Me
// (frames, the stored row with the password only when remembered, the signals), texts too
// long for their fields or that would be stored changed (a NUL, a lone surrogate), a row that
// cannot be read, the focus frames, the placeholders, Close, Esc, the warning, and the
// kinds whose credentials are not stored.
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "AccountLoginDialog.h"
#include "ConnectTestSupport.h"

using namespace connecttest;

namespace {

class LoginDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guitest::startAppContext());
        hometest::clearStore();
        guitest::applyColorMode(1);
        OpenVPNProfile profile;
        profile.needPwd = 1;
        profile.user = "old";
        profile.password = "old-pw";
        configId = addOpenVPNProfile(profile);
    }
    void open(int vpnType = 3) {
        dialog = std::make_unique<AccountLoginDialog>(configId, vpnType);
        confirmed = std::make_unique<QSignalSpy>(dialog.get(), SIGNAL(signalConfirm()));
        closed = std::make_unique<QSignalSpy>(dialog.get(), SIGNAL(signalClose()));
        ASSERT_TRUE(guitest::showAndExpose(dialog.get()));
    }
    template <typename T = QWidget> T* w(const char* name) { return guitest::child<T>(dialog.get(), name); }
    OpenVPNInfo row() {
        OpenVPNInfo info;
        EXPECT_EQ(hometest::app()->GetOpenVPNContext()->GetOpenVPNInfoByID(configId, &info), 0);
        return info;
    }
    // Typed key by key; text outside ASCII arrives as an input method would give it.
    void type(const char* edit, const QString& text) {
        auto* field = w<QLineEdit>(edit);
        field->clear();
        bool ascii = true;
        // Non-ASCII text and control characters arrive as a paste would bring them.
        for (const QChar c : text) {
            ascii = ascii && c.unicode() < 0x80 && c.unicode() >= 0x20;
        }
        if (ascii) {
            QTest::keyClicks(field, text);
        } else {
            field->insert(text);
        }
    }
    void confirm() { QTest::mouseClick(w<QPushButton>("btnLogin"), Qt::LeftButton); }

    int configId = 0;
    std::unique_ptr<AccountLoginDialog> dialog;
    std::unique_ptr<QSignalSpy> confirmed;
    std::unique_ptr<QSignalSpy> closed;
};

const char* const kRed = "#widgetPassword, #widgetAccount{border:1px solid red }";
const char* const kBlue = "#widgetPassword, #widgetAccount{border:1px solid "
                          "#04B0FF}QLineEdit{border:none}QLabel:QLineEdit{border:none}";
const char* const kNone = "#widgetPassword, #widgetAccount{border:none}";

TEST_F(LoginDialog, FormAsBuilt) {
    open();
    EXPECT_EQ(dialog->size(), QSize(568, 348));
    EXPECT_EQ(w("dialogWidget")->size(), QSize(520, 300));
    EXPECT_EQ(w<QLabel>("labelTitle")->text(), QStringLiteral("Credentials"));
    EXPECT_EQ(w<QLineEdit>("lineEditAccount")->placeholderText(), QStringLiteral("User Name"));
    EXPECT_EQ(w<QLineEdit>("lineEditPassword")->placeholderText(), QStringLiteral("Password"));
    EXPECT_EQ(w<QLineEdit>("lineEditPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w<QAbstractButton>("btnRemember")->text(), QStringLiteral("Remember Me"));
    EXPECT_FALSE(w<QAbstractButton>("btnRemember")->isChecked());
    EXPECT_EQ(w<QAbstractButton>("btnLogin")->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(w("widgetAccount")->size(), QSize(300, 32));
    EXPECT_EQ(w("widgetPassword")->size(), QSize(300, 32));
    EXPECT_FALSE(w("labelWarning")->isVisible());
    EXPECT_FALSE(w("btnShowPwd")->isVisible());
    EXPECT_TRUE(w<QAbstractButton>("btnShowPwd")->isCheckable());
    EXPECT_EQ(w<QLineEdit>("lineEditAccount")->palette().color(QPalette::Active, QPalette::PlaceholderText),
              QColor(QStringLiteral("#9BA1AA")));
    EXPECT_EQ(w<QLineEdit>("lineEditPassword")->palette().color(QPalette::Active, QPalette::PlaceholderText),
              QColor(QStringLiteral("#9BA1AA")));
    dialog->setWarningVisible(true);
    EXPECT_TRUE(w("labelWarning")->isVisible());
    EXPECT_EQ(w<QLabel>("labelWarning")->text(), QStringLiteral("Wrong credentials.Try again..."));
    // The warning's text (5 px of padding) starts where the boxes start.
    QApplication::processEvents();
    EXPECT_NEAR(w("labelWarning")->mapTo(dialog.get(), QPoint(5, 0)).x(),
                w("widgetAccount")->mapTo(dialog.get(), QPoint(0, 0)).x(), 2);
}

TEST_F(LoginDialog, ConfirmTable) {
    const struct {
        const char* what;
        QString user;
        QString password;
        bool remember;
        bool stored;
        bool redUser;
        bool redPassword;
    } cases[] = {
        {"both empty", "", "", true, false, true, true},
        {"no password", "alice", "", false, false, false, true},
        {"no user name", "", "pw", false, false, true, false},
        {"blanks count as filled, not remembered", " ", " ", false, true, false, false},
        {"remembered, quote and non-ASCII", "bj\xc3\xb6rn", "it's", true, true, false, false},
        {"user name of 128 bytes", QString(128, QLatin1Char('u')), "pw", false, false, true, false},
        {"password of 64 two-byte characters", "alice", QString(64, QChar(0x00e9)), false, false, false,
         true},
        {"a line break pasted into the user name", "alice\nroot", "pw", false, false, true, false},
        {"a carriage return pasted into the password", "alice", "pw\rx", false, false, false, true},
        {"both at 127 bytes", QString(127, QLatin1Char('u')), QString(63, QChar(0x00e9)) + "x", true, true,
         false, false},
        // Text that UTF-8 or the stored field would change is refused, not stored changed.
        {"a NUL pasted into the password", "alice", QStringLiteral("pw") + QChar(0) + "x", true, false, false,
         true},
        {"a lone surrogate in the user name", QStringLiteral("al") + QChar(0xd800) + "ice", "pw", true, false,
         true, false},
        {"a surrogate pair is a character like any other", "alice", QString::fromUtf8("pw\xf0\x9f\x98\x80"),
         true, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const OpenVPNInfo before = row();
        open();
        type("lineEditAccount", c.user);
        type("lineEditPassword", c.password);
        w<QAbstractButton>("btnRemember")->setChecked(c.remember);
        w("btnLogin")->setFocus();
        confirm();
        const OpenVPNInfo after = row();
        EXPECT_EQ(confirmed->count(), c.stored ? 1 : 0);
        EXPECT_EQ(closed->count(), 0);
        EXPECT_EQ(dialog->isVisible(), !c.stored);
        EXPECT_EQ(w("widgetAccount")->styleSheet() == QLatin1String(kRed), c.redUser);
        EXPECT_EQ(w("widgetPassword")->styleSheet() == QLatin1String(kRed), c.redPassword);
        if (c.stored) {
            EXPECT_EQ(QString::fromUtf8(after.UserName), c.user);
            // A password not to be remembered is not kept, nor the one remembered before;
            // the connect takes it from the prompt.
            EXPECT_EQ(QString::fromUtf8(after.UserPwd), c.remember ? c.password : QString());
            EXPECT_EQ(dialog->typedPassword(), c.password);
            EXPECT_EQ(after.RememberMe, c.remember ? 1 : 0);
            // Every other column keeps the value read.
            EXPECT_EQ(after.NeedPwd, before.NeedPwd);
            EXPECT_STREQ(after.ServerIP, before.ServerIP);
            EXPECT_EQ(after.VPNConfig, before.VPNConfig);
        } else {
            EXPECT_STREQ(after.UserName, before.UserName);
            EXPECT_STREQ(after.UserPwd, before.UserPwd);
            EXPECT_EQ(after.RememberMe, before.RememberMe);
        }
        dialog.reset();
    }
}

TEST_F(LoginDialog, FocusFramesFollowTheEdits) {
    open();
    confirm(); // both red
    w("lineEditAccount")->setFocus();
    EXPECT_EQ(w("widgetAccount")->styleSheet(), QLatin1String(kBlue));
    EXPECT_EQ(w("widgetPassword")->styleSheet(), QLatin1String(kRed))
        << "stays red until its edit takes focus";
    w("lineEditPassword")->setFocus();
    EXPECT_EQ(w("widgetAccount")->styleSheet(), QLatin1String(kNone));
    EXPECT_EQ(w("widgetPassword")->styleSheet(), QLatin1String(kBlue));
}

TEST_F(LoginDialog, CloseAndEscape) {
    open();
    QTest::mouseClick(w<QPushButton>("btnClose"), Qt::LeftButton);
    EXPECT_EQ(closed->count(), 1);
    EXPECT_EQ(confirmed->count(), 0);
    EXPECT_FALSE(dialog->isVisible());

    open();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(closed->count(), 0);
    EXPECT_EQ(confirmed->count(), 0);
}

TEST_F(LoginDialog, AnUnreadableRowKeepsThePromptOpen) {
    open();
    type("lineEditAccount", QStringLiteral("alice"));
    type("lineEditPassword", QStringLiteral("pw"));
    {
        hometest::UnreadableTable gone("OPENVPN");
        confirm();
        EXPECT_EQ(confirmed->count(), 0);
        EXPECT_TRUE(dialog->isVisible());
    }
    confirm();
    EXPECT_EQ(confirmed->count(), 1);
}

TEST_F(LoginDialog, OtherKindsAreConfirmedWithoutStoring) {
    open(VPN_TYPE_WIREGUARD);
    type("lineEditAccount", QStringLiteral("alice"));
    type("lineEditPassword", QStringLiteral("pw"));
    confirm();
    EXPECT_EQ(confirmed->count(), 1);
    EXPECT_STREQ(row().UserName, "old");
}

TEST_F(LoginDialog, ShowPasswordButtonSwitchesTheEcho) {
    open();
    auto* button = w<QPushButton>("btnShowPwd");
    button->click();
    EXPECT_EQ(w<QLineEdit>("lineEditPassword")->echoMode(), QLineEdit::Normal);
    button->click();
    EXPECT_EQ(w<QLineEdit>("lineEditPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
