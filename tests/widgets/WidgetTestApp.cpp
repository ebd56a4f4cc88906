#include "WidgetTestApp.h"

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "SystemContext.h"

namespace {
int argc = 1;
char arg0[] = "widget-test";
char* argv[] = {arg0, nullptr};

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app = new QApplication(argc, argv); }
    void TearDown() override {
        delete app;
        app = nullptr;
    }

private:
    QApplication* app = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace

namespace widgettest {

void applyColorMode(int mode, QWidget* widget) {
    SystemContext::GetSettingManager()->setColorMode(mode);
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(widget, &styleChange);
}

bool showAndExpose(QWidget* widget) {
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

void closeNextModal() {
    QTimer::singleShot(20, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        } else {
            closeNextModal();
        }
    });
}

} // namespace widgettest
