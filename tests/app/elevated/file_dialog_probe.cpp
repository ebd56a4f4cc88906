// Shows the client's file dialog, set up as the client sets it up, on a folder and a file in
// it, and tries everything the dialog offers that changes files there: its delete, rename
// and new-folder actions, and its own slots behind them. Says on standard output whose
// process it is and what the dialog listed and offered:
//   uid=U rows=N delete=0|1 rename=0|1 newfolder=0|1
// Offscreen; the test runs it as the user the client works for, as the client runs its
// file dialog program.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <unistd.h>

#include "UserFileDialog.h"

namespace {

bool Offered(QFileDialog& dialog, const char* name) {
    auto* action = dialog.findChild<QAction*>(QLatin1String(name));
    return action != nullptr && action->isEnabled() && action->isVisible();
}

} // namespace

// The probe runs with the small environment the client gives its dialog program, without
// the sanitizer options the suite sets: like the suite, it does not count what Qt's platform
// plug-in leaves allocated at exit as a leak (in a build without the sanitizer nothing reads
// this).
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char* argv[]) {
    if (argc != 3) {
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);

    QFileDialog dialog;
    UserFileChoice choice;
    choice.caption = QStringLiteral("Select Profile");
    choice.filter = QStringLiteral("*.cfg");
    choice.folder = folder;
    PrepareUserFileDialog(&dialog, choice);
    auto* model = dialog.findChild<QFileSystemModel*>();
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded,
                     [&](const QString& path) { loaded = loaded || path == folder; });
    dialog.show();
    // Any question the dialog asks (delete this file?) is answered yes.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                if (box->isVisible()) {
                    box->done(QMessageBox::Yes);
                }
            }
        }
    });
    answer.start(20);
    QElapsedTimer waited;
    waited.start();
    while (!loaded && waited.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const int rows = model->rowCount(model->index(folder));
    auto* newFolderButton = dialog.findChild<QToolButton*>(QStringLiteral("newFolderButton"));
    const bool newFolder =
        Offered(dialog, "qt_new_folder_action") ||
        (newFolderButton != nullptr && newFolderButton->isVisible() && newFolderButton->isEnabled());
    std::printf("uid=%u rows=%d delete=%d rename=%d newfolder=%d\n", static_cast<unsigned>(geteuid()), rows,
                Offered(dialog, "qt_delete_action") ? 1 : 0, Offered(dialog, "qt_rename_action") ? 1 : 0,
                newFolder ? 1 : 0);
    std::fflush(stdout);

    // What a right-click, the Delete key or the New Folder button would reach.
    dialog.selectFile(file);
    QApplication::processEvents();
    for (const char* name : {"qt_delete_action", "qt_new_folder_action"}) {
        if (auto* action = dialog.findChild<QAction*>(QLatin1String(name))) {
            action->trigger();
        }
    }
    QMetaObject::invokeMethod(&dialog, "_q_deleteCurrent");
    QMetaObject::invokeMethod(&dialog, "_q_createDirectory");
    QApplication::processEvents();
    return 0;
}
