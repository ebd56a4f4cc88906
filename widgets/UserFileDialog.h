// The file dialogs of the import, the export and the editor's ".ovpn" import. The client runs
// as root; in an elevated run the dialog is shown by a program of the bundle
// ("bin/file-dialog") that runs as the user the client works for, so that it lists only what
// that user may list and whatever it does is done with that user's rights. It hands the
// chosen path back, which the client then opens as the user. In any other run the same
// dialog runs in the client. Either way the dialog is read-only: no rename, delete or new
// folder.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

struct UserFileChoice {
    // A file to write (the export), else one existing file to read.
    bool save = false;
    QString caption;
    // The folder the dialog starts in; empty: the working folder of whoever shows it (the
    // user's home for the bundle's program).
    QString folder;
    QString filter;
    // Added to a name typed without one (save only).
    QString defaultSuffix;
    // The name suggested (save only).
    QString selectedFile;
};

// Sets the dialog up for the choice: its mode, title, folder, filter and suggested name,
// Qt's own widget dialog, read-only, and without its New Folder button.
void PrepareUserFileDialog(QFileDialog* dialog, const UserFileChoice& choice);

// The arguments of the bundle's file dialog program for a choice, in the colour mode given
// (2 dark, else light), placed above the X window parentWindow (0: none); and back. The
// program accepts nothing else.
QStringList UserFileDialogArguments(const UserFileChoice& choice, int colorMode, unsigned long parentWindow);
bool ParseUserFileDialogArguments(const QStringList& arguments, UserFileChoice* choice, int* colorMode,
                                  unsigned long* parentWindow);

// The chosen path as the program writes it (its bytes and a NUL) and back: empty when the
// answer is not exactly one non-empty path.
QByteArray UserFileDialogAnswer(const QString& path);
QString ReadUserFileDialogAnswer(const QByteArray& answer);

// Lets the user choose a file and returns its path; empty when none was chosen. While the
// bundle's program shows the dialog the client's windows keep being drawn and take no
// input. A dialog that cannot be shown is logged and said in an error prompt over parent.
QString ChooseUserFile(QWidget* parent, const UserFileChoice& choice);

// Tests that work for another user without a display for the bundle's program: the dialogs
// run in the client as in a run for the process's own user.
void ShowFileDialogsInProcessForTesting(bool inProcess);
