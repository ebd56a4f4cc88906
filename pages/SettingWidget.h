// Stands in for the Settings page until the page itself is built.
#pragma once

#include <QWidget>

#include "ProfileRecords.h"

class SettingWidget : public QWidget {
    Q_OBJECT
public:
    explicit SettingWidget(QWidget* parent = nullptr);
    ~SettingWidget() override;

public slots:
    void slotRestoreSystemInfo(SETTINGINFO info);
    void slotLoadSystemMode();
    void slotLoadSystemLanguage();
};
