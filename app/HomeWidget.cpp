#include "HomeWidget.h"

#include "SettingManager.h"
#include "SystemContext.h"

HomeWidget::HomeWidget(QWidget* parent) : QWidget(parent) {
    connect(SystemContext::GetSettingManager(), SIGNAL(signalRestoreSystemInfo(SETTINGINFO)), this,
            SLOT(slotRestoreHomeInfo(SETTINGINFO)));
}

HomeWidget::~HomeWidget() = default;

void HomeWidget::clickConnectButton() {}

void HomeWidget::connectProfileByName(QString) {}

TunnelRoads* HomeWidget::tunnelRoads() {
    return &roads;
}

void HomeWidget::slotRestoreHomeInfo(SETTINGINFO) {}
