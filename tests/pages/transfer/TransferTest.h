// Shared set-up of the export and import tests: the application context started once on
// the sandbox's data folder, the store emptied before every test, profile files made from
// small stores of their own, and helpers that answer the file dialogs and the error
// prompt as a person does and read back what the store holds.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "ProfileRecords.h"
#include "ProfileWidget.h"

struct sqlite3;

namespace transfertest {

// The page with its protected members reachable.
class Page : public ProfileWidget {
public:
    using ProfileWidget::slotButtonClicked;
};

// A profile of a source store: its kind and name.
struct Source {
    int vpnType;
    std::string name;
};

class TransferTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<Page> makePage();

    // A store file of its own at the path with the profiles, each with a full kind row;
    // `edit` then changes it through a plain connection. Returns the file's bytes.
    static QByteArray makeStoreFile(const QString& path, const std::vector<Source>& profiles,
                                    const std::function<void(sqlite3*)>& edit = nullptr);
    // The file enciphered as Export does it, written to `target`.
    static void encipher(const QString& plain, const QString& target);
    static QByteArray encipherBytes(const QByteArray& plain);
    static QByteArray readBytes(const QString& path);
    static void writeBytes(const QString& path, const QByteArray& bytes);

    // The live store's file, its canonical content (every profile with its kind row but
    // the ids, sorted by name) and its names newest first.
    static QString storePath();
    static QByteArray storeBytes();
    static QStringList storeDump();
    static QStringList storeNames();
    // A plain connection to the live store.
    static void exec(const std::string& sql);
    // Adds profiles to the live store as the editor does, with their WireGuard files.
    static void seedStore(const std::vector<Source>& profiles);

    // The WireGuard files in ./Config/wireguard, by name with their text.
    static QStringList wireGuardFiles();
    // The import's and export's working files that are still there.
    static QStringList workingFiles();

    // Runs the action; the next error prompt that shows is closed and its message returned
    // (empty when none showed).
    static QString errorDuring(const std::function<void()>& action);
    // Answers the next file dialog with the path (accepted), or cancels it for an empty
    // path; `seen` receives the dialog's caption, filter and suggested name.
    struct DialogSeen {
        QString caption;
        QStringList filters;
        QString suggested;
        bool save = false;
    };
    static void answerFileDialog(const QString& path, DialogSeen* seen = nullptr);
};

} // namespace transfertest
