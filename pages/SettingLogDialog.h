// The log viewer: a modal window that shows this run's log file as plain text, read once
// when the path is handed over. Lines logged while it is open do not appear; nothing typed
// into the view is written anywhere.
#pragma once

#include <QRect>
#include <QSize>

#include "ZRBaseDialog.h"
#include "ui_SettingLogDialog.h"

class SettingLogDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit SettingLogDialog(QWidget* parent = nullptr);
    ~SettingLogDialog() override;

    // Reads the file at the path (local 8-bit) and shows its text; a file that cannot be
    // opened leaves the view empty.
    void loadLogFile(const char* path);

    // The minimum size for a screen's available area: 0.9 of the area where it is lower
    // than the form's minimum, else the form's minimum itself.
    static QSize fittedMinimumSize(const QRect& available, const QSize& minimum);

protected slots:
    void slotButtonClicked();

protected:
    void showEvent(QShowEvent* event) override;

    Ui::SettingLogDialog ui;
};
