#include "UserFileDialog.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "InvokingUser.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "UserProgram.h"
#include "ZRErrorDialog.h"
#include "ZRStringConstant.h"
#include "zrwlog.h"

namespace {

constexpr const char kProgram[] = "bin/file-dialog";
constexpr const char kFailedKey[] = "ZRVPN_FILE_DIALOG_FAILED";
constexpr const char kFailedLine[] = "System :: The file dialog cannot be shown: %s\n";
constexpr int kLogModule = 6;
constexpr int kLogLevel = 3;
// A path longer than the system takes is no answer.
constexpr int kMaxAnswer = 4096;

bool gInProcessForTesting = false;

// Holds back the user's input to the client's windows while another program shows the
// dialog, as a modal dialog would; painting, timers and closes from the system go on.
class InputBlocker : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

void ShowFailure(QWidget* parent, const std::string& reason) {
    ZRWLog(kLogModule, kLogLevel, kFailedLine, reason.c_str());
    ZRErrorDialog prompt(parent);
    prompt.setContent(ZRStringConstant::tr(kFailedKey));
    prompt.exec();
}

// Waits for the program's end, ending it first when asked to.
int Reap(pid_t pid, bool end) {
    if (end) {
        kill(pid, SIGTERM);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

QString ChooseInProgram(QWidget* parent, const UserFileChoice& choice) {
    const int colorMode =
        SystemContext::GetSettingManager() != nullptr ? SystemContext::GetSettingManager()->colorMode() : 1;
    QWidget* window = parent != nullptr ? parent->window() : nullptr;
    const unsigned long parentWindow =
        window != nullptr && QGuiApplication::platformName() == QLatin1String("xcb")
            ? static_cast<unsigned long>(window->winId())
            : 0;
    std::vector<std::string> args = {
        QDir::current().absoluteFilePath(QString::fromLatin1(kProgram)).toStdString()};
    for (const QString& argument : UserFileDialogArguments(choice, colorMode, parentWindow)) {
        args.push_back(argument.toStdString());
    }
    StartedUserProgram started;
    std::string error;
    if (!StartAsInvokingUser(args, UserProgramEnvironment(), &started, &error)) {
        ShowFailure(parent, error);
        return QString();
    }
    QByteArray answer;
    bool tooLong = false;
    bool ended = false;
    QEventLoop loop;
    QSocketNotifier notifier(started.output, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char buffer[1024];
        for (;;) {
            const ssize_t count = read(started.output, buffer, sizeof(buffer));
            if (count > 0) {
                if (answer.size() + count > kMaxAnswer) {
                    tooLong = true;
                } else {
                    answer.append(buffer, static_cast<int>(count));
                }
                continue;
            }
            if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                ended = true;
                notifier.setEnabled(false);
                loop.quit();
            }
            if (count == 0 || errno != EINTR) {
                return;
            }
        }
    });
    InputBlocker blocker;
    qApp->installEventFilter(&blocker);
    // A quit of the client (QCoreApplication::exit) ends this loop as well; the program
    // is ended then.
    loop.exec();
    qApp->removeEventFilter(&blocker);
    notifier.setEnabled(false);
    close(started.output);
    const int status = Reap(started.pid, !ended);
    if (!ended) {
        return QString();
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
        return QString(); // cancelled
    }
    const QString path = tooLong ? QString() : ReadUserFileDialogAnswer(answer);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || path.isEmpty()) {
        const std::string reason =
            WIFEXITED(status) ? "the dialog program ended with " + std::to_string(WEXITSTATUS(status))
                              : "the dialog program was ended by signal " + std::to_string(WTERMSIG(status));
        ShowFailure(parent, WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "its answer is no path" : reason);
        return QString();
    }
    return path;
}

} // namespace

QString ChooseUserFile(QWidget* parent, const UserFileChoice& choice) {
    if (GetInvokingUser().elevated && !gInProcessForTesting) {
        return ChooseInProgram(parent, choice);
    }
    QFileDialog dialog(parent);
    PrepareUserFileDialog(&dialog, choice);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}

void ShowFileDialogsInProcessForTesting(bool inProcess) {
    gInProcessForTesting = inProcess;
}
