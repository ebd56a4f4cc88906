#include "SettingManager.h"

#include <QMetaType>

SettingManager::SettingManager() : QObject(nullptr), appliedColorMode(-1) {
    // The settings row also travels queued when a receiver lives on another thread.
    qRegisterMetaType<SETTINGINFO>();
}

SettingManager::~SettingManager() = default;

int SettingManager::colorMode() const {
    return appliedColorMode;
}

void SettingManager::setColorMode(int mode) {
    appliedColorMode = mode;
}

void SettingManager::notifySystemColorModeChanged() {
    emit signalSystemColorModeChanged();
}

void SettingManager::notifySystemLanguageChanged() {
    emit signalSystemLanguageChanged();
}

void SettingManager::notifyRestoreSystemInfo(const SETTINGINFO* info) {
    if (info == nullptr) {
        return;
    }
    SETTINGINFO copy = *info;
    emit signalRestoreSystemInfo(copy);
}

void SettingManager::notifyAddNewProfile() {
    emit signalAddNewProfile();
}
