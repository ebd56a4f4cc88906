// Shared set-up of the Profiles page tests: the application context started once on the
// sandbox's data folder, a store emptied before every test and seeded in one transaction,
// a stand-in for the profile editor that records how the page opens it, and helpers that
// reach the page's widgets as a person does (rows, pager buttons, sort arrows, row icons).
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "ProfileWidget.h"
#include "ZRPageNavigator.h"

struct sqlite3;

namespace profilestest {

// The stand-in editor: a plain dialog with the editor's reload signal.
class FakeEditor : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    // Stores a profile as the editor's save does, reports it and closes.
    void saveProfile(const char* name, int vpnType);

signals:
    void signalLoadProfileList();
};

// How the page opened the editor.
struct EditorCall {
    bool editMode;
    QString name;
    int profileID;
    int configID;
    int vpnType;
};

struct Seed {
    std::string name;
    int vpnType;
};

// The row icons by their offset from the action cell's left edge.
enum class Icon { Connect = 0, Edit = 30, Delete = 60 };

class ProfilesTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // A second connection to the store's file, for seeding and looking.
    static sqlite3* db();
    static void exec(const std::string& sql);
    static int count(const std::string& table);
    static bool hasRow(const std::string& table, int id);
    // Adds the profiles in this order (the last one is the newest) with a kind row each;
    // returns their ProfileIDs.
    static std::vector<int> seed(const std::vector<Seed>& profiles);
    static std::vector<int> seedNumbered(int count, const char* prefix = "Profile");
    // Writes the profile's configuration file where the editor keeps it; its path.
    static QString writeConfigFile(const Seed& profile);
    static int configIdOf(int profileID);

    // A shown page of the main window's page size.
    std::unique_ptr<ProfileWidget> makePage();
    static QTreeWidget* tree(ProfileWidget& page);
    static QStringList rowNames(ProfileWidget& page);
    static ZRPageNavigator* pager(ProfileWidget& page);
    static QWidget* pageWidget(ProfileWidget& page);
    static QPushButton* button(ProfileWidget& page, const char* objectName);
    // The pager's page button of that number (a numbered button that is shown).
    static QPushButton* pagerButton(ProfileWidget& page, int number);
    static void clickPagerPage(ProfileWidget& page, int number);
    // The page number the pager shows as current, or 0.
    static int pagerCurrentPage(ProfileWidget& page);
    static QString recordsLabel(ProfileWidget& page);
    static QPushButton* sortArrow(ProfileWidget& page, bool up);
    // The centre of a row's icon in the viewport (the list is painted first).
    static QPoint iconCentre(ProfileWidget& page, int row, Icon icon);
    static void clickIcon(ProfileWidget& page, int row, Icon icon);
    // Waits until no toast shows, so that the next one shows at once.
    static void waitForToastGone();
    // Installs a language and lets the widgets take the change, which reaches them posted.
    static bool switchLanguage(const char* code);
    // Sets the connection state the page and the painter read.
    static void setConnection(int status, int currentProfileID);

    std::vector<EditorCall> editorCalls;
    // Runs on the editor once it shows; the default closes it without saving.
    std::function<void(FakeEditor*)> editorAction;
};

} // namespace profilestest
