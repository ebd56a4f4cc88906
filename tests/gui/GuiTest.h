// Shared set-up of the client's window tests: one QApplication for the whole binary,
// with the resource bundle, the brand font and the English texts, as the client starts;
// and helpers that drive modal dialogs so that a test never blocks on one.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

#include "PrintQString.h"

namespace guitest {

// Applies a colour mode as the Settings page does: the mode that SettingManager holds,
// then the mode's style sheet for the whole application (1 normal, 2 dark).
void applyColorMode(int mode);

// Installs the translation of a language code ("en", "de", ...) in place of the current
// one; the widgets receive their language change. False when the file does not load.
bool useLanguage(const QString& code);

// Shows a top-level widget and waits until the platform has exposed it.
bool showAndExpose(QWidget* widget);

// Runs `answer` on the next modal widget (optionally only one whose class inherits
// `className`) as soon as it is shown: the answer clicks, types or closes it. Call it
// before the action that opens the dialog. Gives up after `timeoutMs`.
void answerNextModal(std::function<void(QWidget* modal)> answer, const char* className = nullptr,
                     int timeoutMs = 5000);

// Closes the next modal widget as soon as it appears.
void closeNextModal();

// Runs `action` and closes every modal widget (of a class that inherits `className`, when
// given) that shows meanwhile, first handing it to `seen` when given; the number closed.
// For an action that may or may not ask something: 0 when nothing showed.
int closeModalsDuring(const std::function<void()>& action, const char* className = nullptr,
                      const std::function<void(QWidget* modal)>& seen = nullptr);

// Processes events until `condition` holds; false when it still does not after `timeoutMs`.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// The visible widget of class T (and object name `name`, when given) among the children of
// every top-level widget, the top-level widgets themselves included; nullptr when none.
template <typename T> T* findWidget(const QString& name = QString()) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) {
            continue;
        }
        if (T* self = qobject_cast<T*>(top); self && (name.isEmpty() || top->objectName() == name)) {
            return self;
        }
        for (T* child : top->findChildren<T*>(name)) {
            if (child->isVisible()) {
                return child;
            }
        }
    }
    return nullptr;
}

// The child of `parent` of class T with the object name; a test failure when there is none.
template <typename T = QWidget> T* child(const QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// The text of the label or button child of `parent` with the object name; empty when there
// is neither.
QString childText(const QObject* parent, const char* name);

// The text of the shared toast while it shows; empty while it does not.
QString toastText();

// Closes the window from inside the application's event loop, as the tray pop-up's Quit or
// a close from the system arrives, and returns the loop's exit code.
int closeFromEventLoop(QWidget* window);

// Starts the application context once for the whole test binary (later calls do nothing),
// with a TAP adapter as the machine's only adapter, so that the OpenVPN context runs no
// adapter script. False when the start failed.
bool startAppContext();

// This run's log file as text (what the log library wrote since the binary started).
QString logText();

// The log lines written after the mark was taken: take one before an action, read what
// the action logged.
class LogMark {
public:
    LogMark();
    QString added() const;

private:
    int length;
};

// Writes an executable file (a test double of a bundle program) below the working folder,
// making its folders; `relativePath` as "bin/Wireguard/wg". False when it cannot be written.
bool writeBundleProgram(const QString& relativePath, const QByteArray& content);

} // namespace guitest
