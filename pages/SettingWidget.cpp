#include "SettingWidget.h"

#include "SettingManager.h"
#include "SystemContext.h"

SettingWidget::SettingWidget(QWidget* parent) : QWidget(parent) {
    SettingManager* manager = SystemContext::GetSettingManager();
    connect(manager, SIGNAL(signalSystemColorModeChanged()), this, SLOT(slotLoadSystemMode()));
    connect(manager, SIGNAL(signalSystemLanguageChanged()), this, SLOT(slotLoadSystemLanguage()));
    connect(manager, SIGNAL(signalRestoreSystemInfo(SETTINGINFO)), this,
            SLOT(slotRestoreSystemInfo(SETTINGINFO)));
}

SettingWidget::~SettingWidget() = default;

void SettingWidget::slotRestoreSystemInfo(SETTINGINFO) {}

void SettingWidget::slotLoadSystemMode() {}

void SettingWidget::slotLoadSystemLanguage() {}
