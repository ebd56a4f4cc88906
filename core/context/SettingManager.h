// Holds the colour mode whose style sheet is applied and relays notifications between
// parts of the program that do not know each other.
#pragma once

#include <QMetaType>
#include <QObject>

#include "ProfileRecords.h"

// The settings row travels by value in signalRestoreSystemInfo.
Q_DECLARE_METATYPE(SETTINGINFO)

class SettingManager : public QObject {
    Q_OBJECT
public:
    SettingManager();
    ~SettingManager() override;

    // -1 until a style sheet has been applied, then 1 (normal) or 2 (dark).
    int colorMode() const;
    void setColorMode(int mode);

    void notifySystemColorModeChanged();
    void notifySystemLanguageChanged();
    // Emits signalRestoreSystemInfo with a copy of the row.
    void notifyRestoreSystemInfo(const SETTINGINFO* info);
    void notifyAddNewProfile();

signals:
    void signalSystemColorModeChanged();
    void signalSystemLanguageChanged();
    void signalRestoreSystemInfo(SETTINGINFO info);
    void signalAddNewProfile();

private:
    int appliedColorMode;
};
