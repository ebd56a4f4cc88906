// The bundle's file dialog program (bin/file-dialog). The client, running as root, starts it
// as the user it works for to show the import's, the export's and the editor's file dialog:
// what the dialog lists and does is then what that user may. It shows the dialog the
// arguments describe (UserFileDialog.h), in the client's colour mode and above the client's
// window, and writes the chosen path followed by a NUL to its standard output. Exit code 0
// with a path, 1 when nothing was chosen, 2 when the arguments are not the client's.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontDatabase>
#include <QWindow>
#include <cstdio>
#include <unistd.h>

#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "UserFileDialog.h"

namespace {

constexpr const char kGLIntegrationVariable[] = "QT_XCB_GL_INTEGRATION";

bool WriteAll(const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, left);
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    UserFileChoice choice;
    int colorMode = 1;
    unsigned long parentWindow = 0;
    if (!ParseUserFileDialogArguments(arguments, &choice, &colorMode, &parentWindow)) {
        std::fprintf(stderr, "file-dialog: these are not the client's arguments\n");
        return 2;
    }
    // The dialog draws with the raster engine alone, as the client does.
    if (!qEnvironmentVariableIsSet(kGLIntegrationVariable)) {
        qputenv(kGLIntegrationVariable, "none");
    }
    // The arguments are the client's own, not Qt's.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    korvaInitResources();
    const int fontId = korvaAddResourceFont(QStringLiteral(KORVA_BRAND_FONT_REGULAR));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (!families.isEmpty()) {
        QFont font;
        font.setFamily(families.first());
        QApplication::setFont(font);
    }
    QFile sheet(QString::fromLatin1(colorMode == 2 ? KORVA_STYLESHEET_DARK : KORVA_STYLESHEET_NORMAL));
    if (sheet.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }

    QFileDialog dialog;
    PrepareUserFileDialog(&dialog, choice);
    if (parentWindow != 0) {
        dialog.winId();
        if (QWindow* handle = dialog.windowHandle()) {
            handle->setTransientParent(QWindow::fromWinId(static_cast<WId>(parentWindow)));
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return 1;
    }
    return WriteAll(UserFileDialogAnswer(dialog.selectedFiles().first())) ? 0 : 1;
}
