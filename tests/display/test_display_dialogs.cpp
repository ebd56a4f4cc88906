// The dialogs over the main window on a display, opened as a person opens them: each one is
// drawn on the screen in its own colours at its title, above whatever lies behind it (the
// profile editor above its shadow backdrop, also after a change of colour mode), in both
// colour modes, and Esc closes it. The keyboard: Return confirms the credentials prompt
// and the profile chooser's selected row; in the editor Return never closes it unsaved
// (it runs Confirm); Esc cancels each without a word to its caller. Offscreen, the
// keyboard and the closing alone.
#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTreeWidget>

#include "AccountLoginDialog.h"
#include "ActiveProfileDialog.h"
#include "HomeWidget.h"
#include "NetworkAdapters.h"
#include "ProfileEditorOpener.h"
#include "ProfilesTest.h"
#include "SavesTestSupport.h"
#include "ScreenCheck.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "ZRErrorDialog.h"
#include "ZRVPNClient.h"

namespace {

using profilestest::Icon;

// The top-level plain dialog, other than `modal`, that shows behind it: the editor's
// backdrop.
QDialog* backdropOf(QWidget* modal) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != modal && top->isVisible() && top->metaObject() == &QDialog::staticMetaObject) {
            return static_cast<QDialog*>(top);
        }
    }
    return nullptr;
}

// Presses a key where a person's key press goes: to the widget with the focus.
void press(int key) {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr) {
        target = QApplication::activeModalWidget();
    }
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key));
}

// Waits until the dialog is the active window, where keys go. A window manager may keep the
// focus where it was for a window that no real input asked for (the tests' key presses
// reach Qt, not the X server): the dialog is then made active within Qt.
void activate(QWidget* dialog) {
    dialog->activateWindow();
    if (!screen::waitUntil([dialog] { return QApplication::activeWindow() == dialog; }, 2000)) {
        QApplication::setActiveWindow(dialog);
    }
    ASSERT_EQ(QApplication::activeWindow(), dialog);
}

QString focusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
}

class DialogsOnDisplay : public profilestest::ProfilesTest {
protected:
    void SetUp() override {
        profilestest::ProfilesTest::SetUp();
        // The real editor, with its form open to the test; the IPsec page finds a local address.
        SetNetworkAdapterSource(savestest::testAdapters);
        setProfileEditorFactory(
            [this](QWidget* parent, bool edit, const QString& name, int profileID, int configID, int kind) {
                auto* made = new savestest::SaveEditor(edit, name, profileID, configID, kind, parent);
                editor = made;
                return static_cast<QDialog*>(made);
            });
    }
    // The main window over the profiles seeded so far, as after the start.
    void showWindow() {
        window = std::make_unique<ZRVPNClient>();
        ASSERT_TRUE(guitest::showAndExpose(window.get()));
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        home = guitest::child<HomeWidget>(window.get(), "homeWidget");
        profiles = window->profilePage();
        SETTINGINFO settings;
        SystemContext::Instance()->GetAppContext()->GetSettingInfo(&settings);
        SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
    }
    void TearDown() override {
        window.reset();
        guitest::applyColorMode(1);
        SetNetworkAdapterSource([] { return std::vector<NetworkAdapter>{guitest::tapAdapter()}; });
        profilestest::ProfilesTest::TearDown();
    }

    void tab(const char* name) {
        QTest::mouseClick(guitest::child<QPushButton>(window.get(), name), Qt::LeftButton);
    }

    // The dialog at its title on the screen, in its own colours.
    void expectTitleShown(QWidget* modal, const QString& step) {
        if (!server.connected()) {
            return;
        }
        ASSERT_TRUE(QTest::qWaitForWindowExposed(modal));
        QWidget* title = guitest::child(modal, "titleWidget");
        QString report;
        EXPECT_TRUE(screen::waitShown(title, server, step, &report))
            << step.toStdString() << ": " << report.toStdString();
    }

    void expectAboveBackdrop(QWidget* modal, const QString& step) {
        QDialog* backdrop = backdropOf(modal);
        ASSERT_NE(backdrop, nullptr) << step.toStdString();
        if (server.connected()) {
            const auto above = [&] {
                return server.stackedAbove(static_cast<quint32>(modal->winId()),
                                           static_cast<quint32>(backdrop->winId()));
            };
            EXPECT_TRUE(screen::waitUntil(above, 30000))
                << step.toStdString() << " on " << screen::displayKind().toStdString();
            if (screen::displayKind() == QLatin1String("openbox")) {
                // A click on the backdrop's shadow raises it: the editor comes along above it.
                // The raise is the window manager's to carry out: it has, once it answers a
                // question asked after it.
                server.raise(static_cast<quint32>(backdrop->winId()));
                ASSERT_TRUE(server.syncWindowManager()) << "openbox did not answer";
                EXPECT_TRUE(screen::waitUntil(above, 30000))
                    << step.toStdString() << " after the backdrop was raised";
            }
        }
        expectTitleShown(modal, step);
    }

    int profileCount() { return count("PROFILE"); }

    screen::XServer server;
    std::unique_ptr<ZRVPNClient> window;
    HomeWidget* home = nullptr;
    ProfileWidget* profiles = nullptr;
    QPointer<savestest::SaveEditor> editor;
};

TEST_F(DialogsOnDisplay, EachDialogIsDrawnAboveWhatLiesBehindItAndEscClosesIt) {
    const std::vector<int> ids = seed({{"office", 3}, {"home", 4}});
    const int configId = configIdOf(ids[0]);
    showWindow();
    struct Case {
        const char* className;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"ProfileConfigDialog",
         [&] {
             tab("btnProfile");
             QTest::mouseClick(button(*profiles, "btnAddProfile"), Qt::LeftButton);
         }},
        {"DeleteProfileDialog",
         [&] {
             tab("btnProfile");
             clickIcon(*profiles, 0, Icon::Delete);
         }},
        {"SettingLogDialog",
         [&] {
             tab("btnSetting");
             QTest::mouseClick(guitest::child<QPushButton>(window.get(), "btnLogs"), Qt::LeftButton);
         }},
        {"ActiveProfileDialog",
         [&] {
             tab("btnHome");
             QTest::mouseClick(guitest::child<QPushButton>(home, "btnSelectProfile"), Qt::LeftButton);
         }},
        {"AccountLoginDialog",
         [&] {
             tab("btnHome");
             AccountLoginDialog prompt(configId, VPN_TYPE_OPENVPN, home);
             prompt.exec();
         }},
        {"ZRErrorDialog",
         [&] {
             tab("btnHome");
             ZRErrorDialog error(home);
             error.exec();
         }},
    };
    for (int mode : {1, 2}) {
        guitest::applyColorMode(mode);
        for (const Case& c : cases) {
            const QString step = QStringLiteral("%1-%2").arg(QLatin1String(c.className)).arg(mode);
            bool answered = false;
            QPointer<QWidget> shown;
            guitest::answerNextModal(
                [&](QWidget* modal) {
                    answered = true;
                    shown = modal;
                    activate(modal);
                    if (QLatin1String(c.className) == QLatin1String("ProfileConfigDialog")) {
                        expectAboveBackdrop(modal, step);
                        // A change of colour mode makes the backdrop anew: still beneath.
                        guitest::applyColorMode(3 - mode);
                        QCoreApplication::processEvents();
                        expectAboveBackdrop(modal, step + QStringLiteral("-restyled"));
                        guitest::applyColorMode(mode);
                        QCoreApplication::processEvents();
                    } else {
                        expectTitleShown(modal, step);
                    }
                    press(Qt::Key_Escape);
                },
                c.className);
            c.open();
            EXPECT_TRUE(answered) << step.toStdString();
            EXPECT_TRUE(shown.isNull() || shown->isHidden())
                << step.toStdString() << ": Esc did not close it";
            EXPECT_EQ(backdropOf(nullptr), nullptr) << step.toStdString() << ": a backdrop stayed";
            if (server.connected()) {
                QString report;
                EXPECT_TRUE(screen::waitShown(window->centralWidget(), server,
                                              step + QStringLiteral("-after"), &report))
                    << step.toStdString() << ": " << report.toStdString();
            }
        }
    }
    EXPECT_EQ(profileCount(), 2) << "Esc deleted or added nothing";
}

TEST_F(DialogsOnDisplay, CredentialsPromptReturnConfirmsEscCancels) {
    const int configId = configIdOf(seed({{"office", 3}})[0]);
    showWindow();
    for (bool confirm : {true, false}) {
        AccountLoginDialog prompt(configId, VPN_TYPE_OPENVPN, home);
        QSignalSpy confirmed(&prompt, SIGNAL(signalConfirm()));
        QSignalSpy closed(&prompt, SIGNAL(signalClose()));
        guitest::answerNextModal(
            [&](QWidget* modal) {
                activate(modal);
                // Typing starts in the user name; Tab goes on to the password.
                EXPECT_EQ(focusName(), QStringLiteral("lineEditAccount"));
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("alice"));
                press(Qt::Key_Tab);
                EXPECT_EQ(focusName(), QStringLiteral("lineEditPassword"));
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("s3cret"));
                press(confirm ? Qt::Key_Return : Qt::Key_Escape);
            },
            "AccountLoginDialog");
        prompt.exec();
        EXPECT_FALSE(prompt.isVisible());
        EXPECT_EQ(confirmed.count(), confirm ? 1 : 0);
        EXPECT_EQ(closed.count(), 0);
    }
    std::vector<std::string> stored;
    sqlite3_exec(
        db(),
        ("SELECT UserName || '/' || UserPwd FROM OPENVPN WHERE ID = " + std::to_string(configId)).c_str(),
        [](void* out, int, char** values, char**) {
            static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "");
            return 0;
        },
        &stored, nullptr);
    // Remember Me is off: the user name is stored, the password kept for that connect only.
    EXPECT_EQ(stored, std::vector<std::string>{"alice/"}) << "Return stored what was typed";
}

TEST_F(DialogsOnDisplay, ProfileChooserReturnConfirmsTheSelectedRowEscCancels) {
    seed({{"first", 4}, {"second", 4}}); // listed newest first: second, first
    showWindow();
    for (bool confirm : {true, false}) {
        ActiveProfileDialog chooser(home);
        chooser.setCurrentProfileName(QStringLiteral("second"));
        QSignalSpy chosen(&chooser,
                          SIGNAL(signalProfileChoosed(int, QString, int, int, QString, QString, int)));
        guitest::answerNextModal(
            [&](QWidget* modal) {
                activate(modal);
                EXPECT_EQ(focusName(), QStringLiteral("activeProfileTreeWidget"));
                press(Qt::Key_Down);
                press(confirm ? Qt::Key_Return : Qt::Key_Escape);
            },
            "ActiveProfileDialog");
        chooser.exec();
        EXPECT_FALSE(chooser.isVisible());
        ASSERT_EQ(chosen.count(), confirm ? 1 : 0);
        if (confirm) {
            EXPECT_EQ(chosen.at(0).at(1).toString(), QStringLiteral("first"));
        }
    }
}

TEST_F(DialogsOnDisplay, EditorReturnNeverClosesItUnsavedEscCancels) {
    showWindow();
    tab("btnProfile");
    const auto openEditor = [&](std::function<void(savestest::SaveEditor&)> answer) {
        guitest::answerNextModal(
            [&, answer](QWidget*) {
                ASSERT_FALSE(editor.isNull());
                activate(editor);
                answer(*editor);
            },
            "ProfileConfigDialog");
        QTest::mouseClick(button(*profiles, "btnAddProfile"), Qt::LeftButton);
    };
    // Return in a field of an incomplete profile: Confirm's checks mark it, the dialog
    // stays open and nothing is stored; Return once it is complete saves and closes.
    openEditor([&](savestest::SaveEditor& dialog) {
        Ui::ProfileConfigDialog& u = dialog.form();
        QTest::mouseClick(u.lineEditProfileName, Qt::LeftButton);
        savestest::typeText(u.lineEditProfileName, QStringLiteral("Office"));
        press(Qt::Key_Return);
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.isVisible()) << "Return closed the editor unsaved";
        EXPECT_EQ(profileCount(), 0);

        savestest::IPSecForm form;
        form.server = QStringLiteral("203.0.113.1");
        form.remote = QStringLiteral("192.168.10.0/24");
        form.psk = QStringLiteral("Pre_shared_1");
        savestest::fillIPSec(dialog, form);
        QTest::mouseClick(u.lineEditPSK, Qt::LeftButton);
        press(Qt::Key_Return);
    });
    EXPECT_TRUE(editor.isNull() || editor->isHidden());
    EXPECT_EQ(rowNames(*profiles), QStringList{QStringLiteral("Office")});

    // Esc leaves without saving, whatever was typed.
    openEditor([&](savestest::SaveEditor& dialog) {
        QTest::mouseClick(dialog.form().lineEditProfileName, Qt::LeftButton);
        savestest::typeText(dialog.form().lineEditProfileName, QStringLiteral("Other"));
        press(Qt::Key_Escape);
    });
    EXPECT_TRUE(editor.isNull() || editor->isHidden());
    EXPECT_EQ(profileCount(), 1);
}

} // namespace
