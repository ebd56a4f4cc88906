// The parts of the file dialog that the client and the bundle's file dialog program share:
// the dialog's set-up, the program's arguments and its answer. Nothing here touches the
// client's context, so the program runs none of the client's start.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QToolButton>
#include <utility>

#include "UserFileDialog.h"

namespace {

constexpr const char kSave[] = "--save";
constexpr const char kCaption[] = "--caption";
constexpr const char kFolder[] = "--folder";
constexpr const char kFilter[] = "--filter";
constexpr const char kSuffix[] = "--suffix";
constexpr const char kSelect[] = "--select";
constexpr const char kDark[] = "--dark";
constexpr const char kParent[] = "--parent";

} // namespace

void PrepareUserFileDialog(QFileDialog* dialog, const UserFileChoice& choice) {
    dialog->setWindowTitle(choice.caption);
    dialog->setNameFilter(choice.filter);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    // Read-only: the list offers no rename and no delete, and the New Folder button goes.
    dialog->setOption(QFileDialog::ReadOnly, true);
    if (!choice.folder.isEmpty()) {
        dialog->setDirectory(choice.folder);
    }
    if (choice.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        if (!choice.defaultSuffix.isEmpty()) {
            dialog->setDefaultSuffix(choice.defaultSuffix);
        }
        if (!choice.selectedFile.isEmpty()) {
            dialog->selectFile(choice.selectedFile);
        }
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    if (auto* newFolder = dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton"))) {
        newFolder->hide();
    }
    for (const char* name : {"qt_new_folder_action", "qt_rename_action", "qt_delete_action"}) {
        if (auto* action = dialog->findChild<QAction*>(QLatin1String(name))) {
            action->setEnabled(false);
            action->setVisible(false);
        }
    }
}

QStringList UserFileDialogArguments(const UserFileChoice& choice, int colorMode, unsigned long parentWindow) {
    QStringList arguments;
    if (choice.save) {
        arguments << QString::fromLatin1(kSave);
    }
    const std::pair<const char*, const QString*> values[] = {{kCaption, &choice.caption},
                                                             {kFolder, &choice.folder},
                                                             {kFilter, &choice.filter},
                                                             {kSuffix, &choice.defaultSuffix},
                                                             {kSelect, &choice.selectedFile}};
    for (const auto& value : values) {
        if (!value.second->isEmpty()) {
            arguments << QString::fromLatin1(value.first) << *value.second;
        }
    }
    if (colorMode == 2) {
        arguments << QString::fromLatin1(kDark);
    }
    if (parentWindow != 0) {
        arguments << QString::fromLatin1(kParent) << QString::number(parentWindow);
    }
    return arguments;
}

bool ParseUserFileDialogArguments(const QStringList& arguments, UserFileChoice* choice, int* colorMode,
                                  unsigned long* parentWindow) {
    *choice = UserFileChoice();
    *colorMode = 1;
    *parentWindow = 0;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String(kSave)) {
            choice->save = true;
            continue;
        }
        if (name == QLatin1String(kDark)) {
            *colorMode = 2;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return false;
        }
        const QString& value = arguments[++i];
        if (name == QLatin1String(kCaption)) {
            choice->caption = value;
        } else if (name == QLatin1String(kFolder)) {
            choice->folder = value;
        } else if (name == QLatin1String(kFilter)) {
            choice->filter = value;
        } else if (name == QLatin1String(kSuffix)) {
            choice->defaultSuffix = value;
        } else if (name == QLatin1String(kSelect)) {
            choice->selectedFile = value;
        } else if (name == QLatin1String(kParent)) {
            bool ok = false;
            *parentWindow = value.toULong(&ok);
            if (!ok) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

QByteArray UserFileDialogAnswer(const QString& path) {
    QByteArray answer = QFile::encodeName(path);
    answer.append('\0');
    return answer;
}

QString ReadUserFileDialogAnswer(const QByteArray& answer) {
    if (answer.size() < 2 || answer.indexOf('\0') != answer.size() - 1) {
        return QString();
    }
    return QFile::decodeName(answer.left(answer.size() - 1));
}
