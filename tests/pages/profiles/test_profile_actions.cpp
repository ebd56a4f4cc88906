// The row actions of the Profiles page, through the row icons, the confirmation dialog
// and the Add button: the editor opened for the row's kind in any language, deletes that
// remove the profile, its kind row and its file together or not at all, the profile in
// use refused, and the page reloaded or stepped back as it must.
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include "AppContext.h"
#include "DeleteProfileDialog.h"
#include "GuiTest.h"
#include "ProfilesTest.h"

using namespace profilestest;

namespace {

const int kMarkRole = 999;

void answerDelete(const char* buttonName, std::function<void()> before = nullptr) {
    guitest::answerNextModal(
        [buttonName, before](QWidget* modal) {
            if (before) {
                before();
            }
            modal->findChild<QPushButton*>(QString::fromLatin1(buttonName))->click();
        },
        "DeleteProfileDialog");
}

void markRows(QTreeWidget* list) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        list->topLevelItem(i)->setData(0, kMarkRole, true);
    }
}

bool rowsMarked(QTreeWidget* list) {
    return list->topLevelItemCount() > 0 && list->topLevelItem(0)->data(0, kMarkRole).toBool();
}

} // namespace

class ProfileActionsTest : public ProfilesTest {};

TEST_F(ProfileActionsTest, EditOpensTheEditorForTheRowsKindInEitherLanguage) {
    const std::vector<int> ids = seed({{"ipsec_a", 1}, {"ssl_b", 2}, {"openvpn_c", 3}, {"wireguard_d", 4}});
    auto page = makePage();
    // Rows newest first: wireguard, openvpn, ssl, ipsec.
    const int kinds[] = {4, 3, 2, 1};
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(switchLanguage(language));
        for (int row = 0; row < 4; ++row) {
            editorCalls.clear();
            // The label is what a person reads; the row's kind decides.
            tree(*page)->topLevelItem(row)->setText(2, QStringLiteral("IPSec VPN"));
            clickIcon(*page, row, Icon::Edit);
            ASSERT_EQ(editorCalls.size(), 1u) << "row " << row;
            const EditorCall& call = editorCalls.front();
            const int profileID = ids[static_cast<size_t>(3 - row)];
            EXPECT_TRUE(call.editMode);
            EXPECT_EQ(call.vpnType, kinds[row]);
            EXPECT_EQ(call.profileID, profileID);
            EXPECT_EQ(call.configID, configIdOf(profileID));
            EXPECT_EQ(call.name, rowNames(*page).at(row));
        }
    }
}

TEST_F(ProfileActionsTest, ConfirmedDeleteRemovesProfileKindRowAndFileInEitherLanguage) {
    struct Case {
        int vpnType;
        const char* table;
        bool hasFile;
    };
    const Case cases[] = {
        {4, "ZRWIREGUARDVPN", true}, {3, "OPENVPN", true}, {2, "OPENVPN", true}, {1, "ZRIPSECVPN", false}};
    for (const char* language : {"en", "de"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(language) + " kind " + std::to_string(c.vpnType));
            ASSERT_TRUE(switchLanguage("en"));
            const Seed bystander{"Bystander_" + std::to_string(c.vpnType) + language, c.vpnType};
            const Seed target{"Target_" + std::to_string(c.vpnType) + language, c.vpnType};
            const std::vector<int> ids = seed({bystander, target});
            QString bystanderFile;
            QString targetFile;
            if (c.hasFile) {
                bystanderFile = writeConfigFile(bystander);
                targetFile = writeConfigFile(target);
            }
            const int targetConfig = configIdOf(ids[1]);
            const int bystanderConfig = configIdOf(ids[0]);
            auto page = makePage();
            // Filled in English, deleted in the other language.
            ASSERT_TRUE(switchLanguage(language));
            ASSERT_EQ(rowNames(*page).value(0), QString::fromStdString(target.name));

            answerDelete("btnConfirm");
            clickIcon(*page, 0, Icon::Delete);

            EXPECT_FALSE(hasRow("PROFILE", ids[1]));
            EXPECT_FALSE(hasRow(c.table, targetConfig));
            EXPECT_TRUE(hasRow("PROFILE", ids[0]));
            EXPECT_TRUE(hasRow(c.table, bystanderConfig));
            if (c.hasFile) {
                EXPECT_FALSE(QFileInfo::exists(targetFile));
                EXPECT_TRUE(QFileInfo::exists(bystanderFile));
            }
            EXPECT_FALSE(rowNames(*page).contains(QString::fromStdString(target.name)));
            EXPECT_TRUE(rowNames(*page).contains(QString::fromStdString(bystander.name)));
        }
    }
}

TEST_F(ProfileActionsTest, DeleteWithoutAConfigurationFileOrWithAnUnknownKind) {
    const std::vector<int> ids = seed({{"NoFile", 4}, {"Strange", 9}});
    auto page = makePage();
    answerDelete("btnConfirm");
    clickIcon(*page, 0, Icon::Delete); // the unknown kind: its PROFILE row goes
    EXPECT_FALSE(hasRow("PROFILE", ids[1]));
    answerDelete("btnConfirm");
    clickIcon(*page, 0, Icon::Delete);
    EXPECT_FALSE(hasRow("PROFILE", ids[0]));
    EXPECT_EQ(count("ZRWIREGUARDVPN"), 0);
    EXPECT_EQ(tree(*page)->topLevelItem(0)->data(1, 101).toInt(), -1);
}

TEST_F(ProfileActionsTest, ConfigurationFileNamesCannotLeaveTheirFolder) {
    QFile outside(QStringLiteral("Config/precious.conf"));
    QDir().mkpath(QStringLiteral("Config/wireguard"));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.close();
    const std::vector<int> ids = seed({{"../precious", 4}});
    auto page = makePage();
    answerDelete("btnConfirm");
    clickIcon(*page, 0, Icon::Delete);
    EXPECT_FALSE(hasRow("PROFILE", ids[0]));
    EXPECT_TRUE(outside.exists());
}

TEST_F(ProfileActionsTest, CancelOrCloseDeletesNothingAndKeepsThePage) {
    const std::vector<int> ids = seed({{"Keep", 4}});
    const QString file = writeConfigFile({"Keep", 4});
    auto page = makePage();
    for (const char* choice : {"btnCancel", "btnClose"}) {
        SCOPED_TRACE(choice);
        markRows(tree(*page));
        answerDelete(choice);
        clickIcon(*page, 0, Icon::Delete);
        EXPECT_TRUE(hasRow("PROFILE", ids[0]));
        EXPECT_EQ(count("ZRWIREGUARDVPN"), 1);
        EXPECT_TRUE(QFileInfo::exists(file));
        EXPECT_TRUE(rowsMarked(tree(*page)));
    }
}

TEST_F(ProfileActionsTest, TheProfileInUseIsRefusedForEditAndDeleteButNotForConnect) {
    const std::vector<int> ids = seed({{"Other", 3}, {"Current", 4}});
    auto page = makePage();
    QSignalSpy connects(page.get(), SIGNAL(signalConnectProfile(QString)));
    for (int status = 0; status <= 3; ++status) {
        setConnection(status, ids[1]);
        page->updateConnectStatus(status);
        const bool busy = status == 1 || status == 2;
        for (int row : {0, 1}) {
            SCOPED_TRACE("status " + std::to_string(status) + " row " + std::to_string(row));
            const bool inUse = busy && row == 0;
            waitForToastGone();

            editorCalls.clear();
            clickIcon(*page, row, Icon::Edit);
            EXPECT_EQ(editorCalls.size(), inUse ? 0u : 1u);
            EXPECT_EQ(guitest::toastText(),
                      inUse ? QStringLiteral("The profile is currently in use.") : QString());
            waitForToastGone();

            if (inUse) {
                EXPECT_EQ(guitest::closeModalsDuring([&] { clickIcon(*page, row, Icon::Delete); }), 0);
                EXPECT_EQ(guitest::toastText(), QStringLiteral("The profile is currently in use."));
            } else {
                bool asked = false;
                guitest::answerNextModal(
                    [&asked](QWidget* modal) {
                        asked = true;
                        modal->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
                    },
                    "DeleteProfileDialog");
                clickIcon(*page, row, Icon::Delete);
                EXPECT_TRUE(asked);
                EXPECT_EQ(guitest::toastText(), QString());
            }
            EXPECT_EQ(count("PROFILE"), 2);

            // Connect is never refused here; a hidden connect icon is not clicked.
            connects.clear();
            clickIcon(*page, row, Icon::Connect);
            if (!busy || row == 0) {
                ASSERT_EQ(connects.size(), 1);
                EXPECT_EQ(connects.at(0).at(0).toString(), rowNames(*page).at(row));
            } else {
                EXPECT_EQ(connects.size(), 0);
            }
        }
    }
}

TEST_F(ProfileActionsTest, ConfirmRepeatsTheInUseTest) {
    const std::vector<int> ids = seed({{"Starting", 4}});
    const QString file = writeConfigFile({"Starting", 4});
    auto page = makePage();
    waitForToastGone();
    // The connection starts while the question is open.
    answerDelete("btnConfirm", [&] { setConnection(CONNECT_STATUS_CONNECTING, ids[0]); });
    clickIcon(*page, 0, Icon::Delete);
    EXPECT_TRUE(hasRow("PROFILE", ids[0]));
    EXPECT_EQ(count("ZRWIREGUARDVPN"), 1);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(guitest::toastText(), QStringLiteral("The profile is currently in use."));
}

TEST_F(ProfileActionsTest, AFailedDeleteLeavesProfileKindRowAndFile) {
    const std::vector<int> ids = seed({{"Guarded", 4}});
    const QString file = writeConfigFile({"Guarded", 4});
    exec("CREATE TRIGGER refuse BEFORE DELETE ON ZRWIREGUARDVPN BEGIN SELECT RAISE(ABORT, 'refused'); END");
    auto page = makePage();
    markRows(tree(*page));
    answerDelete("btnConfirm");
    const guitest::LogMark mark;
    clickIcon(*page, 0, Icon::Delete);
    exec("DROP TRIGGER refuse");
    EXPECT_TRUE(hasRow("PROFILE", ids[0]));
    EXPECT_EQ(count("ZRWIREGUARDVPN"), 1);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(rowsMarked(tree(*page)));
    EXPECT_TRUE(mark.added().contains(
        QStringLiteral("Can't delete wireguardinfo from table ZRWIREGUARDVPN: refused")));
}

TEST_F(ProfileActionsTest, DeletingTheOnlyRowOfTheLastPageShowsThePageBefore) {
    seedNumbered(15);
    auto page = makePage();
    clickPagerPage(*page, 3);
    ASSERT_EQ(rowNames(*page), QStringList{QStringLiteral("Profile_01")});
    answerDelete("btnConfirm");
    clickIcon(*page, 0, Icon::Delete);
    EXPECT_EQ(rowNames(*page).size(), 7);
    EXPECT_EQ(rowNames(*page).first(), QStringLiteral("Profile_08"));
    EXPECT_EQ(pagerCurrentPage(*page), 2);
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 08-14 of 14 records"));
}

TEST_F(ProfileActionsTest, TheStepBackLandsOnAPageThatExists) {
    const std::vector<int> ids = seedNumbered(15);
    auto page = makePage();
    clickPagerPage(*page, 3);
    // Two profiles of page 2 go another way while page 3 shows.
    exec("DELETE FROM PROFILE WHERE ProfileID IN (" + std::to_string(ids[3]) + ", " + std::to_string(ids[4]) +
         ")");
    answerDelete("btnConfirm");
    clickIcon(*page, 0, Icon::Delete);
    EXPECT_EQ(rowNames(*page).size(), 5);
    EXPECT_EQ(pagerCurrentPage(*page), 2);
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 08-12 of 12 records"));
}

TEST_F(ProfileActionsTest, AddOpensTheEditorInAddModeAndASaveReloadsFromPageOne) {
    seedNumbered(10);
    auto page = makePage();
    clickPagerPage(*page, 2);
    editorAction = [](FakeEditor* editor) { editor->saveProfile("Added", 4); };
    QTest::mouseClick(button(*page, "btnAddProfile"), Qt::LeftButton);
    ASSERT_EQ(editorCalls.size(), 1u);
    EXPECT_FALSE(editorCalls[0].editMode);
    EXPECT_TRUE(editorCalls[0].name.isEmpty());
    EXPECT_EQ(editorCalls[0].profileID, 0);
    EXPECT_EQ(editorCalls[0].configID, 0);
    EXPECT_EQ(editorCalls[0].vpnType, 0);
    EXPECT_EQ(rowNames(*page).first(), QStringLiteral("Added"));
    EXPECT_EQ(pagerCurrentPage(*page), 1);
    EXPECT_EQ(recordsLabel(*page), QStringLiteral("Showing 01-07 of 11 records"));

    // The main window's request does the same; a cancelled editor changes nothing.
    editorAction = [](FakeEditor* editor) { editor->reject(); };
    markRows(tree(*page));
    page->showAddProfileDialog();
    EXPECT_EQ(editorCalls.size(), 2u);
    EXPECT_FALSE(editorCalls[1].editMode);
    EXPECT_TRUE(rowsMarked(tree(*page)));
}

TEST_F(ProfileActionsTest, EditReloadsTheCurrentPageWhenTheEditorCloses) {
    const std::vector<int> ids = seedNumbered(10);
    auto page = makePage();
    clickPagerPage(*page, 2);
    markRows(tree(*page));
    clickIcon(*page, 0, Icon::Edit); // cancelled
    EXPECT_FALSE(rowsMarked(tree(*page)));
    EXPECT_EQ(rowNames(*page).first(), QStringLiteral("Profile_03"));

    editorAction = [&](FakeEditor* editor) {
        exec("UPDATE PROFILE SET ProfileName = 'Renamed' WHERE ProfileID = " + std::to_string(ids[2]));
        editor->accept();
    };
    clickIcon(*page, 0, Icon::Edit);
    EXPECT_EQ(rowNames(*page).first(), QStringLiteral("Renamed"));
    EXPECT_EQ(pagerCurrentPage(*page), 2);
}
