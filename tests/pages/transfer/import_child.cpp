// The client side of the test that kills a process in the middle of an import: it starts
// the application context on the data folder its environment names, says "started", waits
// for a line on its standard input, then imports the file and ends itself with SIGKILL
// once the given number of profiles has been merged into the still open transaction.
// With "quit" it asks the application to quit instead, as the tray's Quit does, and says
// how the import ended. It is a program of its own, not a test binary, so it sets up its
// application as the client does instead of through the GUI test base.
//   import_child FILE ROWS [quit]
#include <QApplication>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

#include "AppContext.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "NetworkAdapters.h"
#include "ProfileWidget.h"
#include "SystemContext.h"

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 4 && std::string(argv[3]) == "quit")) {
        std::fprintf(stderr, "usage: import_child FILE ROWS [quit]\n");
        return 2;
    }
    const bool quit = argc == 4;
    QApplication app(argc, argv);
    korvaInitResources();
    QTranslator english;
    english.load(QStringLiteral(KORVA_TRANSLATION_PREFIX "en"), QStringLiteral(KORVA_TRANSLATION_DIR));
    QApplication::installTranslator(&english);
    SetNetworkAdapterSource([] {
        NetworkAdapter tap;
        tap.name = "tap0";
        tap.description = "TAP-Windows Adapter V9";
        return std::vector<NetworkAdapter>{tap};
    });
    if (SystemContext::Instance()->GetAppContext()->Start() != 0) {
        return 3;
    }
    ProfileWidget page;
    const int killAt = std::atoi(argv[2]);
    ProfileWidget::setImportRowHook([killAt, quit](int merged) {
        if (merged == killAt && quit) {
            // From the import's worker: the quit reaches the window's event loop.
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        } else if (merged == killAt) {
            kill(getpid(), SIGKILL);
        }
    });
    std::printf("started\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    const int result = page.importFromFile(QString::fromLocal8Bit(argv[1]));
    std::printf("finished %d\n", result);
    return 0;
}
