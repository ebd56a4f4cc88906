#include "GuiTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "AppContext.h"
#include "KorvaResourcePaths.h"
#include "KorvaResources.h"
#include "PixelFont.h"
#include "SystemContext.h"
#include "ZRToastDialog.h"

namespace {
int argc = 1;
char arg0[] = "gui-test";
char* argv[] = {arg0, nullptr};

QTranslator* translator = nullptr;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        app = new QApplication(argc, argv);
        korvaInitResources();
        if (korvaLoadBrandFonts() > 0) {
            QApplication::setFont(pixelApplicationFont(QStringLiteral(KORVA_BRAND_FONT_FAMILY)));
        }
        guitest::useLanguage(QStringLiteral("en"));
    }
    void TearDown() override {
        delete app;
        app = nullptr;
        translator = nullptr;
    }

private:
    QApplication* app = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void pollModal(std::function<void(QWidget*)> answer, QByteArray className, QElapsedTimer clock,
               int timeoutMs) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && (className.isEmpty() || modal->inherits(className.constData()))) {
        answer(modal);
        return;
    }
    if (clock.elapsed() > timeoutMs) {
        ADD_FAILURE() << "no modal widget " << className.constData() << " appeared";
        return;
    }
    QTimer::singleShot(10, [=] { pollModal(answer, className, clock, timeoutMs); });
}

} // namespace

namespace guitest {

void applyColorMode(int mode) {
    SystemContext::GetSettingManager()->setColorMode(mode);
    QFile sheet(QString::fromLatin1(mode == 2 ? KORVA_STYLESHEET_DARK : KORVA_STYLESHEET_NORMAL));
    if (sheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
}

bool useLanguage(const QString& code) {
    auto* next = new QTranslator(qApp);
    if (!next->load(QStringLiteral(KORVA_TRANSLATION_PREFIX) + code, QStringLiteral(KORVA_TRANSLATION_DIR))) {
        delete next;
        return false;
    }
    if (translator) {
        QApplication::removeTranslator(translator);
        delete translator;
    }
    translator = next;
    QApplication::installTranslator(translator);
    return true;
}

bool showAndExpose(QWidget* widget) {
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

void answerNextModal(std::function<void(QWidget*)> answer, const char* className, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const QByteArray name = className ? QByteArray(className) : QByteArray();
    QTimer::singleShot(0, [=] { pollModal(answer, name, clock, timeoutMs); });
}

void closeNextModal() {
    answerNextModal([](QWidget* modal) { modal->close(); });
}

int closeModalsDuring(const std::function<void()>& action, const char* className,
                      const std::function<void(QWidget*)>& seen) {
    int closed = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&closed, className, &seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible() && (className == nullptr || modal->inherits(className))) {
            ++closed;
            if (seen) {
                seen(modal);
            }
            modal->close();
        }
    });
    closer.start(5);
    action();
    // A dialog that the action opens through a queued call shows while the posted events run.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return closed;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

QString childText(const QObject* parent, const char* name) {
    QObject* found = parent->findChild<QObject*>(QLatin1String(name));
    if (auto* label = qobject_cast<QLabel*>(found)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(found)) {
        return button->text();
    }
    ADD_FAILURE() << "no label or button " << name;
    return QString();
}

QString toastText() {
    ZRToastDialog* toast = ZRToastDialog::instance();
    if (!toast->isVisible()) {
        return QString();
    }
    QString text;
    for (QLabel* label : toast->findChildren<QLabel*>()) {
        text += label->text();
    }
    return text;
}

int closeFromEventLoop(QWidget* window) {
    QTimer::singleShot(0, window, [window] { window->close(); });
    return QApplication::exec();
}

bool startAppContext() {
    SetNetworkAdapterSource([] { return std::vector<NetworkAdapter>{tapAdapter()}; });
    AppContext* app = SystemContext::Instance()->GetAppContext();
    return app->IsStarted() != 0 || app->Start() == 0;
}

QString logText() {
    QFile file(QString::fromLocal8Bit(SystemContext::Instance()->GetAppContext()->GetLogPath()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

LogMark::LogMark() : length(logText().size()) {}

QString LogMark::added() const {
    return logText().mid(length);
}

bool writeBundleProgram(const QString& relativePath, const QByteArray& content) {
    const QString path = QDir::current().filePath(relativePath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        return false;
    }
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                               QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

} // namespace guitest
