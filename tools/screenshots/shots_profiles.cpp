// The Profiles page's pictures: the page with 0, 1, 7, 20 and 10,000 profiles, sorted, with one
// row connected, the delete confirmation and an import's progress. The profiles live in a store of their own
// in a temporary folder, so the pictures never touch a real profile database.
#include "Shots.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <vector>

#include "AppContext.h"
#include "DeleteProfileDialog.h"
#include "ImportProgressDialog.h"
#include "NetworkAdapters.h"
#include "ProfileWidget.h"
#include "SystemContext.h"
#include "ZRPageNavigator.h"

using namespace shots;

namespace {

const char* const kNames[] = {"Office_Berlin", "Home_Lab",       "Branch_Oslo",   "Datacenter_East",
                              "Backup_Link",   "Lisbon_Kiosk",   "Warehouse_7",   "Customer_Portal",
                              "Test_Bench",    "alpha_gateway",  "Zurich_HQ",     "Mobile_Team",
                              "Edge_Router_3", "Vienna_Archive", "Remote_Desk",   "Partner_Access",
                              "Lab_WireGuard", "ci_runner",      "Factory_Floor", "Sales_Demo"};

// Leaves exactly the first `count` profiles of the list in the store.
void fill(int count) {
    IPCSqlite* store = SystemContext::Instance()->GetAppContext()->GetSqlite();
    std::vector<ProfileInfo> present;
    store->GetProfileList(present);
    // A long list is written in one transaction.
    const bool many = count > 20 || present.size() > 20;
    if (many) {
        store->BeginTransaction();
    }
    for (ProfileInfo& profile : present) {
        store->DeleteProfile(&profile);
    }
    for (int i = 0; i < count; ++i) {
        ProfileInfo profile;
        if (i < 20) {
            std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s", kNames[i]);
        } else {
            std::snprintf(profile.ProfileName, sizeof(profile.ProfileName), "%s_%d", kNames[i % 20], i);
        }
        profile.ProfileType = 1 + i % 4;
        profile.ConfigID = i + 1;
        store->InsertProfile(&profile);
    }
    if (many) {
        store->CommitTransaction();
    }
}

// The page at the main window's page size, given the colour mode as the Settings page
// gives it when it applies a style sheet.
ProfileWidget* newPage() {
    auto* page = new ProfileWidget;
    page->setAttribute(Qt::WA_DeleteOnClose);
    page->resize(887, 602);
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(page, &styleChange);
    return page;
}

void savePage(const Mode& mode, const Save& save, ProfileWidget* page, const QString& name) {
    save(name, picture(page, mode.window, 0));
    page->close();
}

} // namespace

KORVA_SHOTS(profiles) {
    ScratchStore store;
    if (!store.started()) {
        return;
    }
    AppContext* app = SystemContext::Instance()->GetAppContext();

    for (int count : {0, 1, 7, 20}) {
        fill(count);
        savePage(mode, save, newPage(), QStringLiteral("profiles-%1").arg(count));
    }

    // 20 profiles, the second page, sorted by name ascending (two clicks on an arrow).
    fill(20);
    {
        ProfileWidget* page = newPage();
        page->show();
        settle();
        QMetaObject::invokeMethod(page, "slotCurrentPageChanged", Q_ARG(int, 2));
        auto arrows = page->findChild<QTreeWidget*>(QStringLiteral("profileTreeWidget"))
                          ->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
        for (int click = 0; click < 2 && !arrows.isEmpty(); ++click) {
            arrows.first()->click();
        }
        savePage(mode, save, page, QStringLiteral("profiles-20-sorted"));
    }

    // A long list on a page in its middle: the pager's widest row, numbers of four digits.
    fill(10000);
    {
        ProfileWidget* page = newPage();
        page->show();
        settle();
        if (auto* pager = page->findChild<ZRPageNavigator*>()) {
            pager->setCurrentPage(715);
            pager->updateRecordsLabel(10000, 7);
        }
        savePage(mode, save, page, QStringLiteral("profiles-10000"));
    }
    fill(20);

    // One row connected: its badge and the disconnect icon; the other rows have no
    // connect icon meanwhile.
    {
        std::vector<ProfileInfo> list;
        app->GetSqlite()->GetProfileList(list);
        app->SetCurrentProfile(list.at(2));
        app->SetConnectStatus(CONNECT_STATUS_CONNECTED);
        ProfileWidget* page = newPage();
        page->updateConnectStatus(CONNECT_STATUS_CONNECTED);
        savePage(mode, save, page, QStringLiteral("profiles-connected"));
        app->SetConnectStatus(CONNECT_STATUS_NOT_CONNECTED);
    }

    for (const char* name :
         {"Office_Berlin", "Datacenter_East_Frankfurt_Backup_Tunnel_With_A_Very_Long_Name"}) {
        DeleteProfileDialog dialog(0, QString::fromLatin1(name));
        QEvent styleChange(QEvent::StyleChange);
        QApplication::sendEvent(&dialog, &styleChange);
        const bool longName = name[0] == 'D';
        save(QLatin1String(longName ? "delete-dialog-long-name" : "delete-dialog"),
             picture(&dialog, mode.window, 0));
        dialog.hide();
    }

    // An import's progress: reading and checking the file, then the count of profiles.
    ImportProgress progress;
    for (const bool merging : {false, true}) {
        progress.stage = merging ? ImportProgress::Merging : ImportProgress::Reading;
        progress.total = 1000;
        progress.done = merging ? 640 : 0;
        ImportProgressDialog dialog(&progress);
        QEvent styleChange(QEvent::StyleChange);
        QApplication::sendEvent(&dialog, &styleChange);
        save(QLatin1String(merging ? "import-progress" : "import-progress-reading"),
             picture(&dialog, mode.window, 0));
        dialog.finish();
    }
}
