// The Profiles page: the stored profiles seven to a page in a four-column list drawn by
// ProfileTreeDelegate, a pager under it, two arrows in the header that cycle a sort by
// name, and Export, Import and Add above it. Every reload reads the PROFILE table again;
// the row of the profile being connected or connected is marked. A row's icons edit,
// delete or connect its profile; Add opens the profile editor. Export writes the whole
// store into one enciphered file; Import merges such a file into the store, all of it in
// one transaction or nothing, under names made unique.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <vector>

#include "ImportFileCheck.h"
#include "ImportProgressDialog.h"
#include "ProfileRecords.h"
#include "ui_ProfileWidget.h"

class AppContext;
class IPCSqliteReader;
class ProfileTreeDelegate;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class ZRPageNavigator;
struct ProfileInfo;
struct WireGuardVPNInfo;

class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    explicit ProfileWidget(QWidget* parent = nullptr);
    ~ProfileWidget() override;

    // Marks the current profile's row while the status is 1 (connecting) or 2 (connected)
    // and clears every mark otherwise, then repaints the list.
    void updateConnectStatus(int status);
    // Opens the profile editor to add a profile; a save reloads the list from page 1.
    void showAddProfileDialog();

    // Fills the current page in database order; leaves the pager alone.
    void loadProfileList();
    // Replaces the pager by a new one.
    void initPageNavigator();
    // Sets the pager up for the stored profiles, showing the page: 0, or -1 when the store
    // cannot be read (the pager is then left as it was).
    int updatePageCount(int page);

    // What Export and Import do once their file dialog has given the file: the store
    // enciphered into the file, or the file's profiles merged into the store and the list
    // shown from page 1. 0, or -1 after a message that says why. The import's work runs
    // beside the window, which shows its progress meanwhile; the call returns when it ends.
    int exportToFile(const QString& path);
    int importFromFile(const QString& path);

    // Runs after each profile an import has merged into its still open transaction, with
    // the number merged so far (tests end the process there). It runs on the import's
    // worker thread.
    static void setImportRowHook(std::function<void(int merged)> hook);

signals:
    void signalConnectProfile(QString name);

public slots:
    // Reloads from page 1: the editor's signalLoadProfileList() after a profile was added.
    void slotCurrentPage();

protected slots:
    void slotCurrentPageChanged(int iPage);
    void slotSortBtnClicked();
    void slotButtonClicked();

    void slotEditButtonClicked(int iIndex);
    void slotDeleteButtonClicked(int iIndex);
    void slotConnectButtonClicked(int iIndex);
    void slotEditWireGuardVPN(int iIndex);
    void slotEditSSLVPN(int iIndex);
    void slotEditOpenVPN(int iIndex);
    void slotEditIPSecVPN(int iIndex);
    void slotDeleteProfile(int iIndex);
    // Each deletes the row's profile with its kind's row in one transaction, then its
    // configuration file; false when nothing was deleted.
    bool slotDeleteWireGuardVPN(int iIndex);
    bool slotDeleteSSLVPN(int iIndex);
    bool slotDeleteOpenVPN(int iIndex);
    bool slotDeleteIPSecVPN(int iIndex);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

    void initHeaderView();
    // The first fill, from the cached list the constructor has read.
    void initProfileList();
    // Fills the current page in the order given (positions in the cached list).
    void loadSortedProfileList(const std::vector<uint32_t>* order);
    // Steps 2 on of a plain fill, from the cached list just read.
    void fillFromCachedList();
    // Adds the items of the current page's rows, in the order given (positions in the cached
    // list) or the list's own; a page past the last one becomes the last.
    void addPageRows(const std::vector<uint32_t>* order = nullptr);
    // Sets the pager up for the profiles of the cached list, as updatePageCount does after
    // its read: a reload that has just read the list does not read it again.
    void setUpPages(int page);
    void addPlaceholderRow();
    QTreeWidgetItem* createRow(const ProfileInfo& profile, bool connected) const;
    void setRowStyle(const char* style);
    // Empties the context's cached list and reads the PROFILE table into it: 0, or the
    // store's failure (logged). listRead says whether the last read succeeded.
    int readProfileList();
    void setColumnWidths(QTreeWidget* list, int count, int width, const QMap<int, int>& fixedWidths);
    void placeSortArrows();
    void applySortImages();
    void setDropShadow();
    void relayoutTexts();
    // Export, Import and Add as wide as the measure of their texts, or as their texts need.
    void fitButtonWidths();
    // The item of a row of the current page, or null for a row that is not there or the
    // placeholder.
    QTreeWidgetItem* profileRow(int iIndex) const;
    // True, after the toast, when the row's profile is being connected or is connected.
    bool refuseProfileInUse(const QTreeWidgetItem* item);
    void openEditor(int iIndex, int vpnType);
    bool deleteProfileOfKind(int iIndex, int vpnType);

    // Export and import. The working files lie in ./Config and the data folder; the
    // deciphered copies of an import are removed on every way out.
    void runExport();
    void runImport();
    int encryptFile(const QString& path);
    // Export's steps on the user's files: the copy of the store enciphered through a
    // descriptor opened as the user, and the enciphered file written to the chosen place as
    // the user (0 / true on success).
    int encryptUserFile(const QString& path);
    bool copyToUserFile(const QString& source, const QString& target);
    int decryptFile(const QString& path);
    bool copyFile(const QString& source, const QString& target, bool overwrite);
    int deleteFile(const QString& path);
    // Removes what an earlier import may have left: the deciphered file under either name
    // and the cipher's temporary files. 0, or -1 when one of them stays.
    int deleteImportLeftovers();
    // Opens the file the user chose for reading without following a link or blocking, once
    // it was found to be a regular file (of the user who started the client, in an elevated
    // run) of a size an export can have: the descriptor, or -1 with importProblem saying why.
    int openImportFile(const QString& path);
    // Runs the import of the opened file on a worker thread while the progress dialog
    // shows: 0, or -1 with importProblem saying why.
    int runImportJob(int fd);
    // The worker's part: the file deciphered, checked and merged.
    int importFromDescriptor(int fd);
    // The merge of the deciphered file: checked whole first, then every profile copied in
    // one transaction. 0, or -1 with nothing merged and importProblem saying why. It runs
    // on the import's worker thread and touches no widget.
    int importProfiles(const QString& path);
    int importIPSecInfo(ProfileInfo profile, IPCSqliteReader& reader);
    int importOpenVPNInfo(ProfileInfo profile, IPCSqliteReader& reader);
    int importWireGuardInfo(ProfileInfo profile, IPCSqliteReader& reader);
    int writeWireGuardConfig(const ProfileInfo& profile, const WireGuardVPNInfo& info);
    // Brings every WireGuard file the merge wrote to the disk at once: 0, or -1.
    int syncImportedFiles();
    // Gives the profile the first name that neither the store nor this import holds:
    // the name itself, else name_1, name_2, ...; true when the name was taken.
    bool makeNameUnique(ProfileInfo& profile);
    void showTransferError(const QString& text);
    QString importErrorText() const;

    static AppContext* appContext();
    static QString kindLabel(int vpnType);
    static int buttonCount(int profiles);

    Ui::ProfileWidget ui;
    ProfileTreeDelegate* delegate = nullptr;
    ZRPageNavigator* pageNavigator = nullptr;
    QPushButton* sortUpButton = nullptr;
    QPushButton* sortDownButton = nullptr;
    // 0 database order, 1 names descending, 2 names ascending.
    int sortState = 0;
    QStringList headerTitles;
    // 0 until the first paging: the first page before any paging.
    int currentPage = 0;
    // The last read of the list succeeded.
    bool listRead = false;
    // The ColorMode the page last applied; -1 until the first style change that brings one.
    int colorMode = -1;

    // Why the last import was refused.
    ImportFileProblem importProblem;
    // The running import's progress for the window, and the window's request that it stop
    // (the client quits); the import that was stopped so shows no message.
    ImportProgress importProgress;
    std::atomic<bool> importCancel{false};
    bool importInterrupted = false;
    // The store's profiles as the worker read them after a merge, for the page to show;
    // importListUnread when that read failed.
    std::vector<ProfileInfo> mergedProfiles;
    bool importListUnread = false;
    // An import while its transaction is open: the names taken so far, and the WireGuard
    // files written, with what each replaced, so that an import undone leaves them as
    // they were.
    struct WrittenFile {
        QString path;
        bool existed = false;
        QByteArray previous;
    };
    struct ImportRun {
        std::unordered_set<std::string> names;
        std::vector<WrittenFile> files;
    };
    ImportRun importRun;
};
