// The modal error prompt: a title bar with a close button, one wrapped message and an
// optional bar with Cancel and Retry. Every button closes it; Retry first reports.
#pragma once

#include "ZRBaseDialog.h"
#include "ui_ZRErrorDialog.h"

class ZRErrorDialog : public ZRBaseDialog {
    Q_OBJECT
public:
    explicit ZRErrorDialog(QWidget* parent = nullptr);
    ~ZRErrorDialog() override;

    void setTitle(const QString& text);
    void setContent(const QString& text);
    // Shows or hides the bar with Cancel and Retry (hidden on a new dialog).
    void setButtonsVisible(bool visible);

signals:
    void signalRetry();

protected slots:
    void slotButtonClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Ui::ZRErrorDialog ui;
};
